// Inserts 100,000 children under one node straight into the tree view, as
// the model's entry-found reports arrive (DN reversed, path inserted), with
// no server. Prints the time per child for growing counts, so that a cost
// that grows with the number of siblings shows up, and the same with the
// node expanded in a visible window.

#include "views/TreeControlView.h"

#include <QApplication>
#include <QTreeWidgetItem>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kParentDn[] = L"ou=Big,dc=example,dc=com";

std::wstring childDn(int n)
{
    wchar_t name[32];
    std::swprintf(name, sizeof name / sizeof name[0], L"cn=child%06d,", n);
    return name + std::wstring(kParentDn);
}

struct Run {
    double milliseconds = 0;
    int children = 0;
};

// Fills a fresh view with count children of one node; expanded shows the
// view and opens the node first.
Run insertChildren(int count, bool expanded)
{
    TreeControlView view;
    view.resize(400, 600);
    QTreeWidgetItem* parent = view.insertPath(L"dc=com,dc=example,ou=Big");
    if (expanded) {
        view.show();
        view.expandAll();
        QApplication::processEvents();
    }
    const auto start = Clock::now();
    for (int n = 0; n < count; ++n)
        view.onEntryFound(childDn(n));
    // Let the view lay itself out, as it would before the next paint.
    QApplication::processEvents();
    const auto end = Clock::now();
    Run run;
    run.milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    run.children = parent->childCount();
    // The same paths again must add nothing.
    for (int n = 0; n < count; n += 97)
        view.onEntryFound(childDn(n));
    if (parent->childCount() != run.children)
        run.children = -1;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    std::printf("Tree view: children inserted under one node (entry found, no server)\n");
    std::printf("%-10s %-9s %12s %16s\n", "children", "node", "total ms", "us per child");
    bool ok = true;
    for (const bool expanded : {false, true}) {
        for (const int count : {10000, 50000, 100000}) {
            const Run run = insertChildren(count, expanded);
            std::printf("%-10d %-9s %12.1f %16.2f\n", count, expanded ? "expanded" : "closed",
                        run.milliseconds, run.milliseconds * 1000.0 / count);
            if (run.children != count) {
                std::printf("  wrong number of children: %d\n", run.children);
                ok = false;
            }
        }
    }
    return ok ? 0 : 1;
}
