// Opens a node with 1,000 children through the tree view against a test
// server of its own: the click that makes the entry active, reads the
// children in the background behind the progress window and inserts them.
// The model's worker waits 10 ms per message, so 1,000 children cost at
// least 10 s; the figure that matters is the time above that floor. The
// model's own read, without a view or a progress window, is timed beside it
// to tell the view's share from the worker's (sleep overshoot, searches).

#include "BenchTiming.h"
#include "model/Model.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QTreeWidgetItem>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;

constexpr int kChildren = 1000;
constexpr double kFloorMilliseconds = kChildren * 10.0;

std::string childrenLdif()
{
    std::string ldif = "dn: ou=Bench,dc=example,dc=com\nchangetype: add\nobjectClass: organizationalUnit\nou: Bench\n\n";
    for (int n = 0; n < kChildren; ++n) {
        const std::string name = "child" + std::to_string(n);
        ldif += "dn: cn=" + name + ",ou=Bench,dc=example,dc=com\nchangetype: add\n"
                "objectClass: device\ncn: " + name + "\n\n";
    }
    return ldif;
}

// Processor time the calling (user-interface) thread has used.
double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

void report(const char* what, double milliseconds, int children, double modelMilliseconds,
            double cpuMilliseconds)
{
    const double overhead = milliseconds - kFloorMilliseconds;
    std::printf("%-22s %10.1f ms  floor %8.1f ms  above floor %8.1f ms (%5.2f %%)  %6.3f ms per child  children %d\n",
                what, milliseconds, kFloorMilliseconds, overhead, overhead * 100.0 / kFloorMilliseconds,
                milliseconds / kChildren, children);
    if (modelMilliseconds > 0)
        std::printf("%-22s %10.1f ms above the model's own read; user-interface thread busy %.1f ms\n", "",
                    milliseconds - modelMilliseconds, cpuMilliseconds);
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Empty);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the test directory server.\n%s\n", server.lastError().c_str());
        return 1;
    }
    std::string output;
    if (!server.runLdapmodify(childrenLdif(), output)) {
        std::fprintf(stderr, "Cannot add the children.\n%s\n", output.c_str());
        return 1;
    }

    std::printf("Tree view: opening a node with %d children (test server on port %d)\n", kChildren,
                server.port());
    memorylib::gc_ptr<ldapmodel::Model> model = ldapmodel::Model::getInstance();
    model->setHost(util::fromUtf8(server.host()));
    model->setPort(server.port());
    model->setBaseDN(util::fromUtf8(dirtest::TestDirectoryServer::baseDn()));
    model->setBindDN(util::fromUtf8(dirtest::TestDirectoryServer::adminDn()));
    model->setPassword(util::fromUtf8(dirtest::TestDirectoryServer::adminPassword()));
    if (model->connect(false) != 0) {
        std::fprintf(stderr, "Cannot connect.\n");
        return 1;
    }

    // The model alone: no observers, nobody waiting in a modal loop.
    const std::wstring benchDn = L"ou=Bench,dc=example,dc=com";
    model->setTreeObserver(memorylib::gc_ptr<ldapmodel::ModelObserver>());
    model->setProgressObserver(memorylib::gc_ptr<ldapmodel::ModelObserver>());
    auto modelStart = Clock::now();
    model->readChildren(benchDn);
    model->waitBackground();
    const double modelMilliseconds = millisecondsSince(modelStart);
    std::printf("Model alone: %d children read in %.1f ms\n", kChildren, modelMilliseconds);

    TreeControlView view;
    view.resize(400, 600);
    view.show();
    view.buildTree(model->getRootList(), L",");
    QTreeWidgetItem* node = view.insertPath(util::reverseCommaList(benchDn, L","));

    bool ok = true;
    auto start = Clock::now();
    double cpuStart = threadCpuMilliseconds();
    view.clickNode(node);
    QApplication::processEvents();
    double milliseconds = millisecondsSince(start);
    double cpu = threadCpuMilliseconds() - cpuStart;
    node = view.findNode(benchDn);
    int children = node != nullptr ? node->childCount() : 0;
    report("first click", milliseconds, children, modelMilliseconds, cpu);
    ok = ok && children == kChildren;

    for (int round = 1; round <= 2; ++round) {
        view.setCurrentItem(node);
        start = Clock::now();
        cpuStart = threadCpuMilliseconds();
        view.refreshSelectedNode();
        QApplication::processEvents();
        milliseconds = millisecondsSince(start);
        cpu = threadCpuMilliseconds() - cpuStart;
        node = view.findNode(benchDn);
        children = node != nullptr ? node->childCount() : 0;
        report(round == 1 ? "refresh 1" : "refresh 2", milliseconds, children, modelMilliseconds, cpu);
        ok = ok && children == kChildren;
    }

    model->disconnect();
    server.stop();
    return ok ? 0 : 1;
}
