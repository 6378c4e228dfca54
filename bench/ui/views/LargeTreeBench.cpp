// Opening a node of 20,000 children through the tree view, and the search
// dialog's search over it, bound as a user the server gives at most 500
// entries per search unless the user pages; both read page by page (500 per
// page, pause 0) behind the real progress window and are timed beside
// ldapsearch -LLL -E pr=500/noprompt of the same search in the same run.
// Then the tree view's read with the default 10 ms pause against its floor.
//
//   LargeTreeBench [--children N] [--pause-children N] [--rounds N]
//                  (0 skips a part)

#include "BenchTiming.h"
#include "dialogs/CDialogSearchRecord.h"
#include "model/Model.h"
#include "support/LargeContainer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QTreeWidgetItem>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;
using bench::median;

struct Options {
    int children = 20000;
    int pauseChildren = 20000;
    int rounds = 5;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    options.children = bench::countOption(argc, argv, "--children", options.children);
    options.pauseChildren = bench::countOption(argc, argv, "--pause-children", options.pauseChildren);
    options.rounds = std::max(1, bench::countOption(argc, argv, "--rounds", options.rounds));
    return options;
}

bool fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    return false;
}

void connectAsReader(ldapmodel::Model& model, const dirtest::TestDirectoryServer& server, int pauseMilliseconds)
{
    model.disconnect();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(dirtest::TestDirectoryServer::baseDn()));
    model.setBindDN(util::fromUtf8(dirtest::TestDirectoryServer::readerDn()));
    model.setPassword(util::fromUtf8(dirtest::TestDirectoryServer::readerPassword()));
    ldapmodel::Preferences preferences;
    preferences.resultPauseMilliseconds = pauseMilliseconds;
    model.setPreferences(preferences);
    model.connect(false);
}

// Opens the container's node (first time: a click, then a refresh) and
// returns the time until its children are in the tree; -1 on a wrong count.
double openInTree(TreeControlView& view, const std::wstring& container, int children, bool first)
{
    QTreeWidgetItem* node = view.findNode(container);
    const Clock::time_point start = Clock::now();
    if (first) {
        view.clickNode(node);
    } else {
        view.setCurrentItem(node);
        view.refreshSelectedNode();
    }
    QApplication::processEvents();
    const double total = millisecondsSince(start);
    node = view.findNode(container);
    return node != nullptr && node->childCount() == children ? total : -1.0;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes
    QApplication application(argc, argv);
    const Options options = parseOptions(argc, argv);
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Sample);
    if (!server.start()) {
        fail("Cannot start the directory server:", server.lastError());
        return 1;
    }
    const char* reader = dirtest::TestDirectoryServer::readerDn();
    const char* password = dirtest::TestDirectoryServer::readerPassword();
    memorylib::gc_ptr<ldapmodel::Model> model = ldapmodel::Model::getInstance();
    bool ok = true;

    if (options.children > 0) {
        dirtest::LargeContainer big(server, "Big", options.children);
        std::string error;
        if (!big.create(error)) {
            fail("Cannot add the children:", error);
            return 1;
        }
        connectAsReader(*model, server, 0);
        const std::wstring container = util::fromUtf8(big.dn());
        TreeControlView view;
        view.resize(400, 600);
        view.show();
        view.buildTree(model->getRootList(), L",");
        view.insertPath(util::reverseCommaList(container, L","));

        std::vector<double> tree, treeLdapsearch, search, searchLdapsearch;
        for (int round = 0; round < options.rounds && ok; ++round) {
            std::string output;
            const double opened = openInTree(view, container, options.children, round == 0);
            ok = opened >= 0 || fail("tree view: wrong number of children");
            tree.push_back(opened);
            Clock::time_point start = Clock::now();
            big.pagedSearch(reader, password, "one", {"(objectclass=*)", "hasSubordinates"}, 500, output);
            treeLdapsearch.push_back(millisecondsSince(start));

            CDialogSearchRecord dialog(model);
            dialog.setBaseDN(container);
            dialog.show();
            start = Clock::now();
            dialog.OnSearch();
            QApplication::processEvents();
            search.push_back(millisecondsSince(start));
            ok = ok && (dialog.getResults().size() == static_cast<std::size_t>(options.children + 1) ||
                        fail("search dialog: wrong number of lines"));
            start = Clock::now();
            big.pagedSearch(reader, password, "sub", {"-A", "(objectclass=*)", "description"}, 500, output);
            searchLdapsearch.push_back(millisecondsSince(start));
        }
        if (ok) {
            std::printf("%d children, bound as a user limited to 500 per search, pages of 500, pause 0 "
                        "(median of %d):\n",
                        options.children, options.rounds);
            std::printf("  %-34s %9.1f ms   ldapsearch %9.1f ms   ratio %5.2f\n", "tree view: node opened",
                        median(tree), median(treeLdapsearch), median(tree) / median(treeLdapsearch));
            std::printf("  %-34s %9.1f ms   ldapsearch %9.1f ms   ratio %5.2f\n", "search dialog: DNs listed",
                        median(search), median(searchLdapsearch), median(search) / median(searchLdapsearch));
        }
    }

    if (ok && options.pauseChildren > 0) {
        dirtest::LargeContainer paused(server, "Paused", options.pauseChildren);
        std::string error;
        if (!paused.create(error)) {
            fail("Cannot add the children:", error);
            return 1;
        }
        connectAsReader(*model, server, ldapmodel::Preferences().resultPauseMilliseconds);
        const int pause = model->getPreferences().resultPauseMilliseconds;
        const std::wstring container = util::fromUtf8(paused.dn());
        TreeControlView view;
        view.resize(400, 600);
        view.show();
        view.buildTree(model->getRootList(), L",");
        view.insertPath(util::reverseCommaList(container, L","));
        const double total = openInTree(view, container, options.pauseChildren, true);
        ok = total >= 0 || fail("paused tree view: wrong number of children");
        const double floor = (options.pauseChildren + 1) * static_cast<double>(pause);
        if (ok) {
            std::printf("tree view with the default %d ms pause, %d children:\n", pause, options.pauseChildren);
            std::printf("  total %.1f ms, floor %.1f ms, above the floor %.1f ms (%.2f %%)\n", total, floor,
                        total - floor, (total - floor) * 100.0 / floor);
        }
    }
    model->disconnect();
    server.stop();
    if (!boxes.boxes().empty())
        std::fprintf(stderr, "%zu message boxes were shown\n", boxes.boxes().size());
    return ok ? 0 : 1;
}
