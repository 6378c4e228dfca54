// LDIF writing and reading: synthetic entries (ten attributes each, a photo
// on every fourth) appended to a file one by one and parsed back without a
// server; beside them ldapsearch writing a loaded subtree of a test server
// to /dev/null, and the same subtree searched with LdapSession and written
// with LDAPLdifFile.
//
//   LdifBench [entries [server entries]]      defaults: 100000 10000
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "session/LdapSession.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace ldapmodel;
using Clock = std::chrono::steady_clock;
using dirtest::TestDirectoryServer;
using memorylib::gc_ptr;

namespace {

const char kBenchBase[] = "ou=Bench,dc=example,dc=com";

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds of this process (who = RUSAGE_SELF) or of its waited-for
// children (RUSAGE_CHILDREN).
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time, and the CPU time the work took, which the other load of a
// shared machine does not stretch. Rates are per wall second.
void report(const char* what, long entries, double bytes, double seconds, double cpu)
{
    std::printf("%-44s %7ld entries %7.3f s (cpu %6.3f s) %8.0f entries/s %7.1f MB/s\n", what, entries, seconds,
                cpu, entries / seconds, bytes / seconds / 1e6);
}

std::string photoBytes(int n)
{
    std::string photo(512, '\0');
    unsigned int state = 2166136261u ^ static_cast<unsigned int>(n);
    for (char& c : photo) {
        state = state * 16777619u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return photo;
}

std::string number(int n)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06d", n);
    return text;
}

// Ten attributes; every fourth entry has a jpegPhoto, the others a title.
gc_ptr<LDAPEntry> syntheticEntry(int n)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    const std::string id = number(n);
    entry->setDN(util::fromUtf8("uid=user" + id + "," + kBenchBase));
    auto add = [&](const char* name, const std::string& value) {
        entry->addAttributeValue(util::fromUtf8(name), new LDAPAttributeValue(value.data(), value.size()));
    };
    for (const char* objectClass : {"top", "person", "organizationalPerson", "inetOrgPerson"})
        add("objectClass", objectClass);
    add("uid", "user" + id);
    add("cn", "Bench User " + id);
    add("sn", "User" + id);
    add("givenName", n % 7 == 0 ? "J\xC3\xA9r\xC3\xB4me" : "Bench");
    add("mail", "user" + id + "@example.com");
    add("telephoneNumber", "+1 555 " + id);
    add("description", "Synthetic entry " + id +
                           " with a description long enough to be folded once or twice by the LDIF writer.");
    add("employeeNumber", std::to_string(100000 + n));
    if (n % 4 == 0)
        add("jpegPhoto", photoBytes(n));
    else
        add("title", "Engineer");
    return entry;
}

void registerPhoto()
{
    SyntaxRegistry::instance().seedKnownSyntaxes();
    gc_ptr<LDAPAttributeType> photo = new LDAPAttributeType();
    photo->setName(L"jpegPhoto");
    photo->setSyntaxOid(L"1.3.6.1.4.1.1466.115.121.1.28");
    LDAPSchema::instance().addAttributeType(photo);
}

void fileBenchmarks(int count, const std::filesystem::path& directory)
{
    std::vector<gc_ptr<LDAPEntry>> entries;
    entries.reserve(count);
    for (int n = 0; n < count; ++n)
        entries.push_back(syntheticEntry(n));

    Clock::time_point start = Clock::now();
    double cpu = cpuSeconds(RUSAGE_SELF);
    std::size_t recordBytes = 0;
    for (const gc_ptr<LDAPEntry>& entry : entries)
        recordBytes += LdifRecordWriter::entryRecord(*entry, LdifRecordWriter::FILE_LINE_WIDTH).size() + 1;
    report("record writer, in memory", count, static_cast<double>(recordBytes), secondsSince(start),
           cpuSeconds(RUSAGE_SELF) - cpu);

    const std::wstring fileName = (directory / "bench.ldif").wstring();
    LDAPLdifFile file(fileName);
    start = Clock::now();
    cpu = cpuSeconds(RUSAGE_SELF);
    for (const gc_ptr<LDAPEntry>& entry : entries) {
        if (file.appendEntry(entry) != 0) {
            std::fprintf(stderr, "append failed\n");
            std::exit(1);
        }
    }
    double seconds = secondsSince(start);
    const double fileBytes = static_cast<double>(std::filesystem::file_size(directory / "bench.ldif"));
    report("LDAPLdifFile::appendEntry (open per entry)", count, fileBytes, seconds, cpuSeconds(RUSAGE_SELF) - cpu);
    entries.clear();

    long records = 0;
    start = Clock::now();
    cpu = cpuSeconds(RUSAGE_SELF);
    file.readRecords([&](const std::string&, const std::string&) {
        ++records;
        return true;
    });
    report("readRecords (split into records)", records, fileBytes, secondsSince(start),
           cpuSeconds(RUSAGE_SELF) - cpu);

    long parsed = 0;
    long failed = 0;
    start = Clock::now();
    cpu = cpuSeconds(RUSAGE_SELF);
    file.readRecords([&](const std::string& record, const std::string&) {
        gc_ptr<LDAPEntry> entry = new LDAPEntry();
        if (LdifRecordReader::createFromLdifString(*entry, record) == 0)
            ++parsed;
        else
            ++failed;
        return true;
    });
    report("readRecords + createFromLdifString", parsed, fileBytes, secondsSince(start),
           cpuSeconds(RUSAGE_SELF) - cpu);
    if (failed != 0 || parsed != count)
        std::printf("  %ld records failed to parse, %ld parsed\n", failed, parsed);
}

// Loads count synthetic entries under ou=Bench with ldapadd.
bool loadServer(const TestDirectoryServer& server, int count)
{
    std::string ldif = "dn: " + std::string(kBenchBase) + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Bench\n\n";
    for (int n = 0; n < count; ++n) {
        std::string record = LdifRecordWriter::entryRecord(*syntheticEntry(n), 78);
        record.insert(record.find('\n') + 1, "changetype: add\n");
        ldif += record + "\n";
    }
    std::string output;
    return server.runLdapmodify(ldif, output) || (std::fprintf(stderr, "%s\n", output.c_str()), false);
}

void serverBenchmarks(int count, const std::filesystem::path& directory)
{
    TestDirectoryServer server(TestDirectoryServer::Content::Empty);
    if (!server.start()) {
        std::fprintf(stderr, "test server: %s\n", server.lastError().c_str());
        return;
    }
    Clock::time_point start = Clock::now();
    if (!loadServer(server, count))
        return;
    std::printf("(loaded %d entries with ldapmodify in %.1f s)\n", count, secondsSince(start));

    const std::string search = "ldapsearch -x -LLL -H " + server.uri() + " -D '" + TestDirectoryServer::adminDn() +
                               "' -w '" + TestDirectoryServer::adminPassword() + "' -b '" + kBenchBase + "'";
    std::string output;
    TestDirectoryServer::runProcess({"sh", "-c", search + " | wc -c"}, "", output);
    const double ldapsearchBytes = std::atof(output.c_str());
    double best = 1e9;
    double bestCpu = 0;
    for (int round = 0; round < 3; ++round) {
        start = Clock::now();
        double cpu = cpuSeconds(RUSAGE_CHILDREN);
        if (TestDirectoryServer::runProcess({"sh", "-c", search + " > /dev/null"}, "", output) != 0) {
            std::fprintf(stderr, "ldapsearch failed: %s\n", output.c_str());
            return;
        }
        if (secondsSince(start) < best) {
            best = secondsSince(start);
            bestCpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
        }
    }
    report("ldapsearch -LLL > /dev/null (best of 3)", count + 1, ldapsearchBytes, best, bestCpu);

    LdapSession session;
    if (session.connect(util::fromUtf8(server.host()), server.port(), util::fromUtf8(TestDirectoryServer::adminDn()),
                        util::fromUtf8(TestDirectoryServer::adminPassword()), false) != 0)
        return;
    best = 1e9;
    double bytes = 0;
    long written = 0;
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove(directory / "server.ldif");
        start = Clock::now();
        double cpu = cpuSeconds(RUSAGE_SELF);
        std::vector<gc_ptr<LDAPEntry>> entries;
        session.searchEntries(util::fromUtf8(kBenchBase), LdapSession::SCOPE_SUBTREE, L"(objectClass=*)", {}, false,
                              0, entries);
        LDAPLdifFile file((directory / "server.ldif").wstring());
        for (const gc_ptr<LDAPEntry>& entry : entries)
            file.appendEntry(entry);
        if (secondsSince(start) < best) {
            best = secondsSince(start);
            bestCpu = cpuSeconds(RUSAGE_SELF) - cpu;
        }
        written = static_cast<long>(entries.size());
        bytes = static_cast<double>(std::filesystem::file_size(directory / "server.ldif"));
    }
    report("LdapSession search + appendEntry (best of 3)", written, bytes, best, bestCpu);
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int serverCount = argc > 2 ? std::atoi(argv[2]) : 10000;
    char pattern[] = "/tmp/dirlook-ldif-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return 1;
    const std::filesystem::path directory = pattern;
    registerPhoto();

    fileBenchmarks(count, directory);
    if (serverCount > 0)
        serverBenchmarks(serverCount, directory);

    std::filesystem::remove_all(directory);
    return 0;
}
