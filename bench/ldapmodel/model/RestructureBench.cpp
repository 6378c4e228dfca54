// Restructuring a subtree of 1,000 entries with the pause set to 0, beside
// the OpenLDAP command-line tools on the same server in the same run: the
// leaves-first subtree delete beside ldapdelete -r, the subtree copy beside
// ldapsearch and ldapadd of the same entries, an import of 1,000 modify
// change records beside ldapmodify.

#include "BenchTiming.h"
#include "ldapmodel/support/FinishWaiter.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "model/SubtreeOutcome.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 1000;
constexpr int kRounds = 3;
const std::string kBase = dirtest::sample::kBaseDn;

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;
using bench::median;
using dirtest::TestDirectoryServer;

// ou=<name> with kEntries devices, ten under each of kEntries / 10 units.
std::string subtreeLdif(const std::string& name, const std::string& parent, bool changeRecords)
{
    const std::string add = changeRecords ? "changetype: add\n" : "";
    const std::string root = "ou=" + name + "," + parent;
    std::string ldif = "dn: " + root + "\n" + add + "objectClass: organizationalUnit\nou: " + name + "\n\n";
    for (int unit = 0; unit < kEntries / 10 - 1; ++unit) {
        const std::string unitDn = "ou=u" + std::to_string(unit) + "," + root;
        ldif += "dn: " + unitDn + "\n" + add + "objectClass: organizationalUnit\nou: u" + std::to_string(unit) +
                "\n\n";
        for (int n = 0; n < 9; ++n) {
            const std::string cn = "d" + std::to_string(unit) + "-" + std::to_string(n);
            ldif += "dn: cn=" + cn + "," + unitDn + "\n" + add + "objectClass: device\ncn: " + cn +
                    "\ndescription: entry " + cn + "\n\n";
        }
    }
    // 1 + 99 * 10 + 9 = 1,000 entries.
    for (int n = 0; n < 9; ++n)
        ldif += "dn: cn=top" + std::to_string(n) + "," + root + "\n" + add + "objectClass: device\ncn: top" +
                std::to_string(n) + "\n\n";
    return ldif;
}

bool run(const std::vector<std::string>& argv, const std::string& input)
{
    std::string output;
    const int code = TestDirectoryServer::runProcess(argv, input, output, 600);
    if (code != 0)
        std::fprintf(stderr, "%s: %s\n", argv[0].c_str(), output.c_str());
    return code == 0;
}

std::vector<std::string> tool(const TestDirectoryServer& server, const char* name)
{
    return {name, "-x", "-H", server.uri(), "-D", TestDirectoryServer::adminDn(), "-w",
            TestDirectoryServer::adminPassword()};
}

bool fill(const TestDirectoryServer& server, const std::string& name, const std::string& parent)
{
    std::vector<std::string> argv = tool(server, "ldapmodify");
    return run(argv, subtreeLdif(name, parent, true));
}

void report(const char* what, const std::vector<double>& model, const std::vector<double>& bare, const char* bareName)
{
    std::printf("%s (%d entries, median of %d):\n", what, kEntries, kRounds);
    std::printf("  Dirlook:   %8.1f ms\n", median(model));
    std::printf("  %-9s %8.1f ms\n", bareName, median(bare));
    std::printf("  ratio:     %8.2f\n", median(model) / median(bare));
}

} // namespace

int main()
{
    ::signal(SIGPIPE, SIG_IGN);
    dirtest::ScriptedMessageBoxes boxes;
    TestDirectoryServer server(TestDirectoryServer::Content::Empty);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the directory server: %s\n", server.lastError().c_str());
        return 1;
    }
    ldapmodel::Model& model = ldapmodel::Model::instance();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(kBase));
    model.setBindDN(util::fromUtf8(TestDirectoryServer::adminDn()));
    model.setPassword(util::fromUtf8(TestDirectoryServer::adminPassword()));
    ldapmodel::Preferences preferences;
    preferences.resultPauseMilliseconds = 0;
    model.setPreferences(preferences);
    if (model.connect(false) != 0)
        return 1;
    memorylib::gc_ptr<modeltest::FinishWaiter> waiter = new modeltest::FinishWaiter();
    model.setProgressObserver(waiter);

    // 1. Subtree delete, leaves first, beside ldapdelete -r.
    std::vector<double> modelTimes;
    std::vector<double> bareTimes;
    for (int round = 0; round < kRounds; ++round) {
        if (!fill(server, "del", kBase))
            return 1;
        Clock::time_point start = Clock::now();
        model.deleteSubtree(util::fromUtf8("ou=del," + kBase));
        waiter->wait();
        model.waitBackground();
        modelTimes.push_back(millisecondsSince(start));
        const ldapmodel::SubtreeOutcome outcome = model.takeSubtreeOutcome();
        if (outcome.end != ldapmodel::SubtreeOutcome::End::Complete || outcome.done.size() != kEntries)
            return 1;
        if (!fill(server, "del", kBase))
            return 1;
        std::vector<std::string> argv = tool(server, "ldapdelete");
        argv.insert(argv.end(), {"-r", "ou=del," + kBase});
        start = Clock::now();
        if (!run(argv, ""))
            return 1;
        bareTimes.push_back(millisecondsSince(start));
    }
    report("subtree delete", modelTimes, bareTimes, "ldapdelete -r:");

    // 2. Subtree copy, beside ldapsearch of the subtree and ldapadd of the copies.
    if (!fill(server, "src", kBase) || !run(tool(server, "ldapmodify"),
                                           "dn: ou=dst," + kBase + "\nchangetype: add\nobjectClass: "
                                           "organizationalUnit\nou: dst\n"))
        return 1;
    modelTimes.clear();
    bareTimes.clear();
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        model.copySubtree(util::fromUtf8("ou=src," + kBase), util::fromUtf8("ou=dst," + kBase));
        waiter->wait();
        model.waitBackground();
        modelTimes.push_back(millisecondsSince(start));
        if (model.takeSubtreeOutcome().done.size() != kEntries)
            return 1;
        std::vector<std::string> clear = tool(server, "ldapdelete");
        clear.insert(clear.end(), {"-r", "ou=src,ou=dst," + kBase});
        if (!run(clear, ""))
            return 1;

        start = Clock::now();
        std::string dump;
        std::vector<std::string> search = tool(server, "ldapsearch");
        search.insert(search.end(), {"-LLL", "-o", "ldif-wrap=no", "-b", "ou=src," + kBase, "(objectclass=*)", "*"});
        if (TestDirectoryServer::runProcess(search, "", dump, 600) != 0)
            return 1;
        // The same entries under their new parent.
        std::string copies;
        for (std::size_t at = 0; at < dump.size();) {
            std::size_t end = dump.find('\n', at);
            std::string line = dump.substr(at, end == std::string::npos ? std::string::npos : end - at);
            if (line.rfind("dn: ", 0) == 0)
                line = line.substr(0, line.size() - kBase.size()) + "ou=dst," + kBase;
            copies += line + "\n";
            at = end == std::string::npos ? dump.size() : end + 1;
        }
        std::vector<std::string> add = tool(server, "ldapmodify");
        add.push_back("-a");
        if (!run(add, copies))
            return 1;
        bareTimes.push_back(millisecondsSince(start));
        if (!run(clear, ""))
            return 1;
    }
    report("subtree copy", modelTimes, bareTimes, "ldapsearch+ldapadd:");

    // 3. Import of modify change records, beside ldapmodify.
    std::string pattern = (std::filesystem::temp_directory_path() / "dirlook-restructure-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const std::filesystem::path directory = pattern;
    std::string changes;
    const std::string src = "ou=src," + kBase;
    for (int unit = 0; unit < kEntries / 10 - 1; ++unit) {
        for (int n = 0; n < 9; ++n) {
            const std::string cn = "d" + std::to_string(unit) + "-" + std::to_string(n);
            changes += "dn: cn=" + cn + ",ou=u" + std::to_string(unit) + "," + src +
                       "\nchangetype: modify\nreplace: description\ndescription: changed\n-\n\n";
        }
    }
    const int changeCount = (kEntries / 10 - 1) * 9;
    std::ofstream(directory / "changes.ldif", std::ios::binary) << changes;
    modelTimes.clear();
    bareTimes.clear();
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        model.importLdif((directory / "changes.ldif").wstring());
        waiter->wait();
        model.waitBackground();
        modelTimes.push_back(millisecondsSince(start));
        if (model.getImportChangeCount() != changeCount)
            return 1;
        start = Clock::now();
        if (!run(tool(server, "ldapmodify"), changes))
            return 1;
        bareTimes.push_back(millisecondsSince(start));
    }
    std::printf("(%d modify records)\n", changeCount);
    report("change-record import", modelTimes, bareTimes, "ldapmodify:");
    std::filesystem::remove_all(directory);
    return 0;
}
