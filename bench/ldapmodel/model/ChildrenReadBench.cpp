// Reads the children of a node with 1,000 children in the background
// through Model::readChildren and compares the time with the floor set by
// the 10 ms pause per message.

#include "ldapmodel/support/FinishWaiter.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kChildren = 1000;
constexpr int kRounds = 3;
constexpr double kPauseMilliseconds = 10.0;
const std::string kParentDn = std::string("ou=bench,") + dirtest::sample::kBaseDn;

using Clock = std::chrono::steady_clock;

bool addChildren(const dirtest::TestDirectoryServer& server)
{
    std::string ldif = "dn: " + kParentDn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: bench\n\n";
    for (int i = 0; i < kChildren; ++i) {
        std::string cn = "node" + std::to_string(i);
        ldif += "dn: cn=" + cn + "," + kParentDn + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n\n";
    }
    std::string output;
    if (!server.runLdapmodify(ldif, output)) {
        std::fprintf(stderr, "ldapmodify failed: %s\n", output.c_str());
        return false;
    }
    return true;
}

} // namespace

int main()
{
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Empty);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the directory server: %s\n", server.lastError().c_str());
        return 1;
    }
    if (!addChildren(server))
        return 1;

    ldapmodel::Model& model = ldapmodel::Model::instance();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(dirtest::sample::kBaseDn));
    model.setBindDN(util::fromUtf8(dirtest::TestDirectoryServer::adminDn()));
    model.setPassword(util::fromUtf8(dirtest::TestDirectoryServer::adminPassword()));
    if (model.connect(false) != 0)
        return 1;
    memorylib::gc_ptr<modeltest::FinishWaiter> waiter = new modeltest::FinishWaiter();
    model.setTreeObserver(waiter);
    model.setProgressObserver(waiter);
    const std::wstring parent = util::fromUtf8(kParentDn);
    model.getEntry(parent);  // the parent read is not part of the measure

    const double floor = kChildren * kPauseMilliseconds;
    const double messageFloor = (kChildren + 1) * kPauseMilliseconds;  // entries and the final result
    std::vector<double> totals;
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        model.readChildren(parent);
        int found = waiter->wait();
        double total = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        model.waitBackground();
        if (found != kChildren) {
            std::fprintf(stderr, "round %d: %d children instead of %d\n", round, found, kChildren);
            return 1;
        }
        totals.push_back(total);
        std::printf("round %d: %.1f ms\n", round + 1, total);
    }
    // What the platform's sleep alone costs for the same number of pauses.
    Clock::time_point sleepStart = Clock::now();
    for (int i = 0; i < kChildren + 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double sleepOnly = std::chrono::duration<double, std::milli>(Clock::now() - sleepStart).count();

    std::sort(totals.begin(), totals.end());
    const double median = totals[totals.size() / 2];
    const double overhead = (median - floor) / floor * 100.0;
    std::printf("children read in the background: %d\n", kChildren);
    std::printf("median total:                    %.1f ms\n", median);
    std::printf("floor (%d x 10 ms):            %.1f ms\n", kChildren, floor);
    std::printf("overhead above the floor:        %.2f %% (%s 5 %%)\n", overhead, overhead < 5.0 ? "under" : "NOT under");
    std::printf("messages incl. final result:     %d (floor %.1f ms, overhead %.2f %%)\n", kChildren + 1,
                messageFloor, (median - messageFloor) / messageFloor * 100.0);
    std::printf("%d x sleep_for(10 ms) alone:     %.1f ms (the platform's share of the overhead)\n", kChildren + 1,
                sleepOnly);
    std::printf("worker's own cost beyond sleeps: %.1f ms (%.2f %% of the floor)\n", median - sleepOnly,
                (median - sleepOnly) / floor * 100.0);
    model.disconnect();
    return 0;
}
