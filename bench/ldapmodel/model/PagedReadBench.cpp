// Background reads of a container of 20,000 children, bound as a user the
// server gives at most 500 entries per search unless the user pages: the
// model's children read, the search dialog's subtree search and the subtree
// export, each read page by page (500 per page, pause 0) and timed beside
// ldapsearch -LLL -E pr=500/noprompt of the same search in the same run.
// Then the children read with the default 10 ms pause against its floor, and
// the memory that cached entries and read child lists take at 100,000.
//
//   PagedReadBench [--children N] [--pause-children N] [--memory-entries N]
//                  [--rounds N]       (0 skips a part)

#include "BenchTiming.h"
#include "ldapmodel/support/FinishWaiter.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "records/LDAPEntry.h"
#include "session/LdapSession.h"
#include "support/LargeContainer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;
using bench::median;

struct Options {
    int children = 20000;
    int pauseChildren = 20000;
    int memoryEntries = 100000;
    int rounds = 5;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    options.children = bench::countOption(argc, argv, "--children", options.children);
    options.pauseChildren = bench::countOption(argc, argv, "--pause-children", options.pauseChildren);
    options.memoryEntries = bench::countOption(argc, argv, "--memory-entries", options.memoryEntries);
    options.rounds = std::max(1, bench::countOption(argc, argv, "--rounds", options.rounds));
    return options;
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Comparison {
    const char* what;
    std::vector<double> model;
    std::vector<double> ldapsearch;
};

void printComparison(const Comparison& row)
{
    const double ours = median(row.model);
    const double theirs = median(row.ldapsearch);
    std::printf("  %-34s %9.1f ms   ldapsearch %9.1f ms   ratio %5.2f\n", row.what, ours, theirs, ours / theirs);
}

bool fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    return false;
}

ldapmodel::Model& connectedModel(const dirtest::TestDirectoryServer& server, const char* bindDn,
                                 const char* password, int pauseMilliseconds)
{
    ldapmodel::Model& model = ldapmodel::Model::instance();
    model.disconnect();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(dirtest::TestDirectoryServer::baseDn()));
    model.setBindDN(util::fromUtf8(bindDn));
    model.setPassword(util::fromUtf8(password));
    ldapmodel::Preferences preferences;
    preferences.resultPauseMilliseconds = pauseMilliseconds;
    model.setPreferences(preferences);
    model.connect(false);
    return model;
}

// 1. The three reads at pause 0 beside ldapsearch.
bool compareWithLdapsearch(const dirtest::TestDirectoryServer& server, const Options& options,
                           modeltest::FinishWaiter& waiter)
{
    dirtest::LargeContainer big(server, "Big", options.children);
    std::string error;
    if (!big.create(error))
        return fail("Cannot add the children:", error);
    const char* reader = dirtest::TestDirectoryServer::readerDn();
    const char* password = dirtest::TestDirectoryServer::readerPassword();
    ldapmodel::Model& model = connectedModel(server, reader, password, 0);
    if (!model.isConnected() || !model.offersPagedResults())
        return fail("No paged connection as the reader.");
    const std::wstring container = util::fromUtf8(big.dn());
    model.getEntry(container);  // the parent read is not part of the measure
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("paged-read-bench-" + std::to_string(::getpid()) + ".ldif");

    Comparison children{"children read (one level)", {}, {}};
    Comparison search{"search dialog's search (subtree)", {}, {}};
    Comparison exported{"subtree export to LDIF", {}, {}};
    const int entries = options.children + 1;  // the container and its children
    for (int round = 0; round < options.rounds; ++round) {
        std::string output;
        Clock::time_point start = Clock::now();
        model.readChildren(container);
        int found = waiter.wait();
        children.model.push_back(millisecondsSince(start));
        model.waitBackground();
        if (found != options.children)
            return fail("children read:", std::to_string(found));
        start = Clock::now();
        big.pagedSearch(reader, password, "one", {"(objectclass=*)", "hasSubordinates"}, 500, output);
        children.ldapsearch.push_back(millisecondsSince(start));
        if (dirtest::TestDirectoryServer::ldifDns(output).size() != static_cast<std::size_t>(options.children))
            return fail("ldapsearch one level:", output.substr(0, 400));

        start = Clock::now();
        model.searchSubtree(container, L"(objectclass=*)", {L"description"});
        found = waiter.wait();
        search.model.push_back(millisecondsSince(start));
        model.waitBackground();
        if (found != entries)
            return fail("subtree search:", std::to_string(found));
        start = Clock::now();
        big.pagedSearch(reader, password, "sub", {"-A", "(objectclass=*)", "description"}, 500, output);
        search.ldapsearch.push_back(millisecondsSince(start));

        std::filesystem::remove(file);
        model.setLdifFileName(file.wstring());
        start = Clock::now();
        model.exportSubtree(container, L"(objectclass=*)", {L"*"});
        waiter.wait();
        exported.model.push_back(millisecondsSince(start));
        model.waitBackground();
        if (model.getLdifResult() != 0)
            return fail("export result:", std::to_string(model.getLdifResult()));
        start = Clock::now();
        big.pagedSearch(reader, password, "sub", {"(objectclass=*)", "*"}, 500, output);
        exported.ldapsearch.push_back(millisecondsSince(start));
        if (dirtest::TestDirectoryServer::ldifDns(output).size() != static_cast<std::size_t>(entries))
            return fail("ldapsearch subtree:", output.substr(0, 400));
    }
    std::filesystem::remove(file);
    std::printf("%d children, bound as a user limited to 500 per search, pages of 500, pause 0 (median of %d):\n",
                options.children, options.rounds);
    printComparison(children);
    printComparison(search);
    printComparison(exported);
    return true;
}

// 2. The children read with the default pause, against its floor.
bool pauseOverhead(const dirtest::TestDirectoryServer& server, const Options& options, modeltest::FinishWaiter& waiter)
{
    dirtest::LargeContainer paused(server, "Paused", options.pauseChildren);
    std::string error;
    if (!paused.create(error))
        return fail("Cannot add the children:", error);
    ldapmodel::Model& model = connectedModel(server, dirtest::TestDirectoryServer::readerDn(),
                                             dirtest::TestDirectoryServer::readerPassword(),
                                             ldapmodel::Preferences().resultPauseMilliseconds);
    const std::wstring container = util::fromUtf8(paused.dn());
    model.getEntry(container);
    const int pause = model.getPreferences().resultPauseMilliseconds;
    const Clock::time_point start = Clock::now();
    model.readChildren(container);
    const int found = waiter.wait();
    const double total = millisecondsSince(start);
    model.waitBackground();
    if (found != options.pauseChildren)
        return fail("paused children read:", std::to_string(found));
    // Each entry and the final result are messages with a pause of their own.
    const double floor = (options.pauseChildren + 1) * static_cast<double>(pause);
    std::printf("children read with the default %d ms pause, %d children:\n", pause, options.pauseChildren);
    std::printf("  total %.1f ms, floor %.1f ms, above the floor %.1f ms (%.2f %%)\n", total, floor, total - floor,
                (total - floor) * 100.0 / floor);
    return true;
}

// 3. Memory: entries filed in the cache by a one-level read (names only),
// and a background children read's list of DNs.
bool memoryPerEntry(const dirtest::TestDirectoryServer& server, const Options& options, modeltest::FinishWaiter& waiter)
{
    dirtest::LargeContainer huge(server, "Huge", options.memoryEntries);
    std::string error;
    if (!huge.create(error))
        return fail("Cannot add the entries:", error);
    ldapmodel::Model& model = connectedModel(server, dirtest::TestDirectoryServer::adminDn(),
                                             dirtest::TestDirectoryServer::adminPassword(), 0);
    const std::wstring container = util::fromUtf8(huge.dn());
    model.getEntry(container);
    const std::size_t cachedBefore = model.getCacheSize();
    malloc_trim(0);
    std::size_t before = heapInUse();
    model.searchEntries(container, L"objectclass=*", ldapmodel::LdapSession::SCOPE_ONELEVEL, false);
    malloc_trim(0);
    const double perCached = static_cast<double>(heapInUse() - before) / options.memoryEntries;
    const std::size_t filed = model.getCacheSize() - cachedBefore;

    model.forgetEntry(container);
    model.getEntry(container);
    malloc_trim(0);
    before = heapInUse();
    model.readChildren(container);
    const int found = waiter.wait();
    model.waitBackground();
    malloc_trim(0);
    const double perChild = static_cast<double>(heapInUse() - before) / options.memoryEntries;
    if (filed != static_cast<std::size_t>(options.memoryEntries) || found != options.memoryEntries)
        return fail("memory reads:", std::to_string(filed) + " filed, " + std::to_string(found) + " children");
    const std::wstring sample = util::fromUtf8(huge.childDn(options.memoryEntries / 2));
    std::printf("memory at %d entries (DNs like %s, %zu characters, %zu bytes per character):\n",
                options.memoryEntries, huge.childDn(options.memoryEntries / 2).c_str(), sample.size(),
                sizeof(wchar_t));
    std::printf("  cached entry (one-level read, names only, with its place in the parent's list): %.0f bytes\n",
                perCached);
    std::printf("  child read in the background (the parent's list of DNs):                       %.0f bytes\n",
                perChild);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ::signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes
    const Options options = parseOptions(argc, argv);
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Sample);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the directory server: %s\n", server.lastError().c_str());
        return 1;
    }
    ldapmodel::Model& model = ldapmodel::Model::instance();
    memorylib::gc_ptr<modeltest::FinishWaiter> waiter = new modeltest::FinishWaiter();
    model.setTreeObserver(waiter);
    model.setSearchObserver(waiter);
    model.setProgressObserver(waiter);

    bool ok = true;
    if (options.children > 0)
        ok = compareWithLdapsearch(server, options, *waiter) && ok;
    if (ok && options.pauseChildren > 0)
        ok = pauseOverhead(server, options, *waiter) && ok;
    if (ok && options.memoryEntries > 0)
        ok = memoryPerEntry(server, options, *waiter) && ok;
    model.disconnect();
    if (!boxes.boxes().empty())
        std::fprintf(stderr, "%zu message boxes were shown\n", boxes.boxes().size());
    return ok ? 0 : 1;
}
