// LDIF writing and reading: synthetic entries (ten attributes each, a photo
// on every fourth) appended to a file one by one and parsed back without a
// server; beside them ldapsearch writing a loaded subtree of a test server
// to /dev/null, and the same subtree searched with LdapSession and written
// with LDAPLdifFile. Then the import of one record with a 50 MB value (the
// most memory it adds, beside ldapadd's), and the reading of records with
// 10,000 to 40,000 attributes (beside ldapadd -n parsing the same file).
//
//   LdifBench [entries [server entries [value megabytes]]]   defaults: 100000 10000 50
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "session/LdapModList.h"
#include "session/LdapSession.h"
#include "support/TestDirectoryServer.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// Boxes of the import (refused records) go nowhere.
class QuietBoxes : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override { return request.defaultButton; }
};

// A "Vm...:" figure of /proc/self/status, in kB; -1 when missing.
long statusKilobytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

// The child's side of the large value measure ("--import-peak file host
// port errors"): imports the file through the Model into the server and
// prints how much resident memory the import added at its peak (the most
// minus the size at its start), in bytes. A process of its own, so that
// the heap that the other measures left behind does not hide any.
int importPeakChild(char** argv)
{
    QuietBoxes quiet;
    util::setMessageBoxService(&quiet);
    // The server drops a request this large; its write must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    Model& model = Model::instance();
    model.setHost(util::fromUtf8(argv[3]));
    model.setPort(std::atoi(argv[4]));
    model.setBindDN(util::fromUtf8(TestDirectoryServer::adminDn()));
    model.setPassword(util::fromUtf8(TestDirectoryServer::adminPassword()));
    model.setBaseDN(util::fromUtf8(TestDirectoryServer::baseDn()));
    if (model.connect(false) != 0)
        return 1;
    LDAPLdifFile ldif(util::fromUtf8(argv[2]));
    ldif.setErrorFileName(util::fromUtf8(argv[5]));
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts here
    const long before = statusKilobytes("VmRSS:");
    ldif.readEntries(model);
    const long peak = statusKilobytes("VmHWM:");
    if (before < 0 || peak < 0)
        return 1;
    std::printf("%lld\n", (peak - before) * 1024LL);
    return 0;
}

// Peak resident memory of a command (its whole process), in bytes.
long long commandPeak(const std::string& command)
{
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024LL;
}

// A file of one record whose single value of valueBytes bytes is written
// as the LDIF writer writes it: plain text, or binary in Base64 (jpegPhoto).
void writeLargeValueFile(const std::filesystem::path& path, const std::string& dn, std::size_t valueBytes,
                         bool binary)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "dn: " << dn << "\nobjectClass: device\ncn: large\n";
    std::string value(valueBytes, 'x');
    if (binary) {
        for (std::size_t i = 0; i < value.size(); ++i)
            value[i] = static_cast<char>((i * 2654435761u) >> 13);
        value = util::base64Encode(reinterpret_cast<const unsigned char*>(value.data()), value.size());
    } else {
        for (std::size_t i = 0; i < value.size(); ++i)
            value[i] = static_cast<char>('a' + i % 26);
    }
    std::string lines;
    LdifRecordWriter::appendFolded(lines, binary ? "jpegPhoto:: " : "description: ", value.data(), value.size(),
                                   binary ? 12 : 13, LdifRecordWriter::FILE_LINE_WIDTH);
    out << lines << "\n";
}

// Memory: one record with a large value imported through the Model into
// the test server (which refuses a request that large: the record then goes
// to the error file), beside ldapadd adding the same file.
void largeValueBenchmarks(const TestDirectoryServer& server, int megabytes, const std::filesystem::path& directory)
{
    const std::size_t valueBytes = static_cast<std::size_t>(megabytes) * 1000000u;
    const std::string dn = std::string("cn=large,") + TestDirectoryServer::baseDn();
    for (bool binary : {false, true}) {
        const std::filesystem::path file = directory / (binary ? "large-binary.ldif" : "large-text.ldif");
        writeLargeValueFile(file, dn, valueBytes, binary);
        const double fileBytes = static_cast<double>(std::filesystem::file_size(file));
        Clock::time_point start = Clock::now();
        std::string output;
        const int status =
            TestDirectoryServer::runProcess({"/proc/self/exe", "--import-peak", file.string(), server.host(),
                                             std::to_string(server.port()), (directory / "large-errors.txt").string()},
                                            "", output, 600);
        const long long growth = status == 0 ? std::atoll(output.c_str()) : -1;
        if (status != 0)
            std::fprintf(stderr, "the import measure failed (%d): %s\n", status, output.c_str());
        const double seconds = secondsSince(start);
        std::filesystem::remove(directory / "large-errors.txt");
        const std::string bind = " -H " + server.uri() + " -D '" + TestDirectoryServer::adminDn() + "' -w '" +
                                 TestDirectoryServer::adminPassword() + "'";
        const long long toolPeak = commandPeak("ldapadd -x -c" + bind + " -f " + file.string() + " >/dev/null 2>&1");
        const std::filesystem::path tiny = directory / "tiny.ldif";
        writeLargeValueFile(tiny, dn, 10, binary);
        const long long toolBase = commandPeak("ldapadd -x -c" + bind + " -f " + tiny.string() + " >/dev/null 2>&1");
        std::printf("import of one %d MB %s value (%.0f MB file): Dirlook adds %.0f MB at peak (%.1f x the value, "
                    "%.1f s); ldapadd adds %.0f MB (%.1f x)\n",
                    megabytes, binary ? "binary (Base64)" : "plain text", fileBytes / 1e6,
                    static_cast<double>(growth) / 1e6, static_cast<double>(growth) / static_cast<double>(valueBytes),
                    seconds, static_cast<double>(toolPeak - toolBase) / 1e6,
                    static_cast<double>(toolPeak - toolBase) / static_cast<double>(valueBytes));
        std::filesystem::remove(file);
    }
}

// Time: one record with many attributes, read into an entry and turned
// into the add request, beside ldapadd -n parsing the same file.
void manyAttributeBenchmarks(const std::filesystem::path& directory)
{
    for (int count : {10000, 20000, 40000}) {
        const std::filesystem::path file = directory / "wide.ldif";
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << "dn: cn=wide," << kBenchBase << "\nobjectClass: device\ncn: wide\n";
            for (int n = 0; n < count; ++n)
                out << "attr" << number(n) << ": value " << n << "\n";
        }
        Clock::time_point start = Clock::now();
        double cpu = cpuSeconds(RUSAGE_SELF);
        LDAPLdifFile ldif(file.wstring());
        std::size_t attributes = 0;
        ldif.readRecords([&](const std::string& record, const std::string&) {
            gc_ptr<LDAPEntry> entry = new LDAPEntry();
            if (LdifRecordReader::createFromLdifString(*entry, record) != 0)
                return false;
            LdapModList request;
            for (const gc_ptr<LDAPAttribute>& attribute : entry->getUserAttributes())
                request.addRecord(LdapModOperation::Add, attribute->getName(), attribute->getValues());
            attributes = request.size();
            return true;
        });
        const double seconds = secondsSince(start);
        const double used = cpuSeconds(RUSAGE_SELF) - cpu;
        std::string output;
        start = Clock::now();
        TestDirectoryServer::runProcess({"sh", "-c", "ldapadd -n -f " + file.string() + " >/dev/null"}, "", output);
        const double toolSeconds = secondsSince(start);
        std::printf("record with %5d attributes: read %.3f s (cpu %.3f s), %zu attributes in the request; "
                    "ldapadd -n %.3f s\n",
                    count, seconds, used, attributes, toolSeconds);
        std::filesystem::remove(file);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "--import-peak")
        return importPeakChild(argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int serverCount = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int valueMegabytes = argc > 3 ? std::atoi(argv[3]) : 50;
    char pattern[] = "/tmp/dirlook-ldif-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return 1;
    const std::filesystem::path directory = pattern;
    registerPhoto();

    fileBenchmarks(count, directory);
    if (serverCount > 0)
        serverBenchmarks(serverCount, directory);
    manyAttributeBenchmarks(directory);
    if (valueMegabytes > 0) {
        TestDirectoryServer server(TestDirectoryServer::Content::Empty);
        if (server.start())
            largeValueBenchmarks(server, valueMegabytes, directory);
        else
            std::fprintf(stderr, "test server: %s\n", server.lastError().c_str());
    }

    std::filesystem::remove_all(directory);
    return 0;
}
