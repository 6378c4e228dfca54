#include "handles/gc_ptr.h"
#include "profiles/ConnectionPropertyFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using ldapmodel::ConnectionPropertyFile;
using memorylib::gc_ptr;

namespace {

// The logger reads its switch once, on first use: turn it on for this program.
const std::string kLogPath = "/tmp/dirlook-profile-log-" + std::to_string(::getpid()) + ".txt";
const bool kLogSwitchedOn = ::setenv("DIRLOOK_LOG", kLogPath.c_str(), 1) == 0;

const std::string kWritten =
    "Name\t\t\tMy Server\r\n"
    "HostName\t\tldap.example.com\r\n"
    "PortNumber\t\t389\r\n"
    "UserDn\t\t\tcn=admin,dc=example,dc=com\r\n"
    "UserPassword\t\tsecret\r\n"
    "BaseDn\t\t\tdc=example,dc=com\r\n"
    "Anonymous\t\tfalse\r\n"
    "Filter\t\t\t(objectclass=*)\r\n"
    "ServerName\t\tServerName...\r\n";

class ConnectionPropertyFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    std::wstring wpath(const std::string& name) const
    {
        std::string p = path(name);
        return std::wstring(p.begin(), p.end());
    }

    static void writeBytes(const std::string& file, const std::string& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string readBytes(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Loads bytes written to a fresh file into a fresh profile.
    gc_ptr<ConnectionPropertyFile> loadBytes(const std::string& bytes, int& result)
    {
        writeBytes(path("p.connectionProperties"), bytes);
        gc_ptr<ConnectionPropertyFile> profile(
            new ConnectionPropertyFile(wpath("p.connectionProperties")));
        result = profile->load();
        return profile;
    }

    static void fillExample(ConnectionPropertyFile& profile)
    {
        profile.setName(L"My Server");
        profile.setHostName(L"ldap.example.com");
        profile.setPortNumber(389);
        profile.setUserDn(L"cn=admin,dc=example,dc=com");
        profile.setUserPassword(L"secret");
        profile.setBaseDn(L"dc=example,dc=com");
        profile.setAnonymous(false);
        profile.setFilter(L"(objectclass=*)");
        profile.setServerName(L"ServerName...");
    }

    // Marks every field, so a test can see which ones a load changed.
    static void fillMarkers(ConnectionPropertyFile& profile)
    {
        profile.setName(L"old name");
        profile.setHostName(L"old host");
        profile.setPortNumber(7);
        profile.setUserDn(L"old user");
        profile.setUserPassword(L"old password");
        profile.setBaseDn(L"old base");
        profile.setAnonymous(true);
        profile.setFilter(L"old filter");
        profile.setServerName(L"old server");
    }

    static void expectExample(const ConnectionPropertyFile& profile)
    {
        EXPECT_EQ(profile.getName(), L"My Server");
        EXPECT_EQ(profile.getHostName(), L"ldap.example.com");
        EXPECT_EQ(profile.getPortNumber(), 389);
        EXPECT_EQ(profile.getUserDn(), L"cn=admin,dc=example,dc=com");
        EXPECT_EQ(profile.getUserPassword(), L"secret");
        EXPECT_EQ(profile.getBaseDn(), L"dc=example,dc=com");
        EXPECT_FALSE(profile.getAnonymous());
        EXPECT_EQ(profile.getFilter(), L"(objectclass=*)");
        EXPECT_EQ(profile.getServerName(), L"ServerName...");
    }

    // The written example with one line replaced (1-based).
    static std::string exampleWithLine(int number, const std::string& line)
    {
        std::string result;
        std::size_t start = 0;
        for (int i = 1; i <= 9; ++i) {
            std::size_t end = kWritten.find("\r\n", start) + 2;
            result += i == number ? line : kWritten.substr(start, end - start);
            start = end;
        }
        return result;
    }

    std::string m_dir;
};

// --- Writing ------------------------------------------------------------

TEST_F(ConnectionPropertyFileTest, SaveWritesTheNineLinesByteForByteAndReadsBack)
{
    ConnectionPropertyFile profile(wpath("a.connectionProperties"));
    fillExample(profile);
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(readBytes(path("a.connectionProperties")), kWritten);

    gc_ptr<ConnectionPropertyFile> again(new ConnectionPropertyFile(wpath("a.connectionProperties")));
    ASSERT_EQ(again->load(), 0);
    expectExample(*again);
    EXPECT_EQ(again->getFileName(), wpath("a.connectionProperties"));
}

TEST_F(ConnectionPropertyFileTest, EmptyValuesAreWrittenAsDashAndOnlyThreeReadBackEmpty)
{
    ConnectionPropertyFile profile(wpath("e.connectionProperties"));
    profile.setPortNumber(-5);
    profile.setAnonymous(true);
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(readBytes(path("e.connectionProperties")),
              "Name\t\t\t-\r\nHostName\t\t-\r\nPortNumber\t\t-5\r\nUserDn\t\t\t-\r\n"
              "UserPassword\t\t-\r\nBaseDn\t\t\t-\r\nAnonymous\t\ttrue\r\nFilter\t\t\t-\r\n"
              "ServerName\t\t-\r\n");

    ConnectionPropertyFile again(wpath("e.connectionProperties"));
    fillMarkers(again);
    ASSERT_EQ(again.load(), 0);
    EXPECT_EQ(again.getName(), L"-");
    EXPECT_EQ(again.getHostName(), L"-");
    EXPECT_EQ(again.getPortNumber(), -5);
    EXPECT_EQ(again.getUserDn(), L"");
    EXPECT_EQ(again.getUserPassword(), L"");
    EXPECT_EQ(again.getBaseDn(), L"");
    EXPECT_TRUE(again.getAnonymous());
    EXPECT_EQ(again.getFilter(), L"-");
    EXPECT_EQ(again.getServerName(), L"-");
}

TEST_F(ConnectionPropertyFileTest, PortExtremesAreWrittenInPlainDecimal)
{
    ConnectionPropertyFile profile(wpath("x.connectionProperties"));
    fillExample(profile);
    profile.setPortNumber(INT32_MIN);
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(readBytes(path("x.connectionProperties")),
              exampleWithLine(3, "PortNumber\t\t-2147483648\r\n"));
    ConnectionPropertyFile again(wpath("x.connectionProperties"));
    ASSERT_EQ(again.load(), 0);
    EXPECT_EQ(again.getPortNumber(), INT32_MIN);
}

TEST_F(ConnectionPropertyFileTest, Latin1CharactersRoundTripAsSingleBytes)
{
    std::wstring name = L"J\u00fcrgen \u00c6r\u00f8 \u00ff\u00a0\u0080";
    std::wstring filter;
    for (wchar_t c = 0x21; c <= 0xFF; ++c)
        filter.push_back(c);
    ConnectionPropertyFile profile(wpath("l.connectionProperties"));
    fillExample(profile);
    profile.setName(name);
    profile.setFilter(filter);
    ASSERT_EQ(profile.save(), 0);

    std::string filterBytes;
    for (int c = 0x21; c <= 0xFF; ++c)
        filterBytes.push_back(static_cast<char>(c));
    std::string expected = exampleWithLine(1, "Name\t\t\tJ\xfcrgen \xc6r\xf8 \xff\xa0\x80\r\n");
    std::size_t filterLine = expected.find("Filter\t\t\t");
    expected.replace(filterLine, expected.find("\r\n", filterLine) - filterLine,
                     "Filter\t\t\t" + filterBytes);
    EXPECT_EQ(readBytes(path("l.connectionProperties")), expected);

    ConnectionPropertyFile again(wpath("l.connectionProperties"));
    ASSERT_EQ(again.load(), 0);
    EXPECT_EQ(again.getName(), name);
    EXPECT_EQ(again.getFilter(), filter);
}

TEST_F(ConnectionPropertyFileTest, CharactersAbove255AreWrittenAsQuestionMarks)
{
    ConnectionPropertyFile profile(wpath("u.connectionProperties"));
    fillExample(profile);
    profile.setName(L"\u0141\u00f3d\u017a \u20ac");
    profile.setUserPassword(L"p\U0001F600w");
    ASSERT_EQ(profile.save(), 0);
    std::string expected = exampleWithLine(1, "Name\t\t\t?\xf3" "d? ?\r\n");
    std::size_t password = expected.find("secret");
    expected.replace(password, 6, "p?w");
    EXPECT_EQ(readBytes(path("u.connectionProperties")), expected);

    ConnectionPropertyFile again(wpath("u.connectionProperties"));
    ASSERT_EQ(again.load(), 0);
    EXPECT_EQ(again.getName(), L"?\u00f3d? ?");
    EXPECT_EQ(again.getUserPassword(), L"p?w");

    // What the editor asks before it saves.
    EXPECT_EQ(ConnectionPropertyFile::firstUnstorableCharacter(L"\u00f3\u0141\u017a"), L'\u0141');
    EXPECT_EQ(ConnectionPropertyFile::firstUnstorableCharacter(L"J\u00fcrgen \u00ff"), L'\0');
}

TEST_F(ConnectionPropertyFileTest, LineFeedInsideAValueIsWrittenAsCrLf)
{
    ConnectionPropertyFile profile(wpath("n.connectionProperties"));
    fillExample(profile);
    profile.setServerName(L"one\ntwo");
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(readBytes(path("n.connectionProperties")),
              exampleWithLine(9, "ServerName\t\tone\r\ntwo\r\n"));
}

TEST_F(ConnectionPropertyFileTest, PasswordIsTheRestOfItsLine)
{
    // Spaces and tabs inside and at the end belong to the password, and the
    // lines after it still load.
    const std::wstring passwords[] = {L"pass word", L"a\tb c ", L"x" + std::wstring(1000, L'y') + L" z"};
    for (const std::wstring& password : passwords) {
        ConnectionPropertyFile profile(wpath("s.connectionProperties"));
        fillExample(profile);
        profile.setUserPassword(password);
        ASSERT_EQ(profile.save(), 0);
        EXPECT_EQ(readBytes(path("s.connectionProperties")),
                  exampleWithLine(5, "UserPassword\t\t" + std::string(password.begin(), password.end()) + "\r\n"));

        ConnectionPropertyFile again(wpath("s.connectionProperties"));
        fillMarkers(again);
        EXPECT_EQ(again.load(), 0);
        EXPECT_EQ(again.getUserPassword(), password);
        EXPECT_EQ(again.getBaseDn(), L"dc=example,dc=com");
        EXPECT_FALSE(again.getAnonymous());
        EXPECT_EQ(again.getFilter(), L"(objectclass=*)");
        EXPECT_EQ(again.getServerName(), L"ServerName...");
    }

    // Written before: one word after any run of blanks, "-" for none.
    int result = -2;
    auto profile = loadBytes(exampleWithLine(5, "UserPassword \t  secret\r\n"), result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);
    profile = loadBytes(exampleWithLine(5, "UserPassword\t\t-\r\n"), result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getUserPassword(), L"");
    EXPECT_EQ(profile->getBaseDn(), L"dc=example,dc=com");
}

TEST_F(ConnectionPropertyFileTest, SavedFileIsAlwaysOwnerOnly)
{
    const std::string names[] = {"new.connectionProperties", "open.connectionProperties"};
    writeBytes(path(names[1]), std::string(5000, 'x'));
    ASSERT_EQ(::chmod(path(names[1]).c_str(), 0644), 0);
    for (const std::string& name : names) {
        ConnectionPropertyFile profile(wpath(name));
        fillExample(profile);
        mode_t oldMask = ::umask(0);
        int result = profile.save();
        ::umask(oldMask);
        ASSERT_EQ(result, 0) << name;
        struct stat info {};
        ASSERT_EQ(::stat(path(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << name;
        EXPECT_EQ(readBytes(path(name)), kWritten) << name;
    }
    // Nothing else was left beside them.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir))
        files += entry.path().filename().string() == names[0] || entry.path().filename().string() == names[1] ? 1 : 100;
    EXPECT_EQ(files, 2u);
}

TEST_F(ConnectionPropertyFileTest, SaveReplacesALinkAndNeverWritesThroughIt)
{
    writeBytes(path("decoy.txt"), "decoy\n");
    ASSERT_EQ(::symlink(path("decoy.txt").c_str(), path("l.connectionProperties").c_str()), 0);
    ConnectionPropertyFile profile(wpath("l.connectionProperties"));
    fillExample(profile);
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(readBytes(path("decoy.txt")), "decoy\n");
    struct stat info {};
    ASSERT_EQ(::lstat(path("l.connectionProperties").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(readBytes(path("l.connectionProperties")), kWritten);
}

TEST_F(ConnectionPropertyFileTest, FailedSaveLeavesTheFileAsItWas)
{
    writeBytes(path("f.connectionProperties"), kWritten);
    ConnectionPropertyFile profile(wpath("f.connectionProperties"));
    fillExample(profile);
    profile.setHostName(L"other.example.com");

    // A file system that takes no more than 64 bytes per file, in a child
    // process (the limit would also stop this program's log).
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small {};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 64;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            ::_exit(2);
        const bool failed = profile.save() == -1 &&
                            profile.getSaveError().find(L"write error") != std::wstring::npos;
        ::_exit(failed ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readBytes(path("f.connectionProperties")), kWritten);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);

    ASSERT_EQ(profile.save(), 0);
    EXPECT_TRUE(profile.getSaveError().empty());
    EXPECT_EQ(readBytes(path("f.connectionProperties")),
              exampleWithLine(2, "HostName\t\tother.example.com\r\n"));
}

TEST_F(ConnectionPropertyFileTest, SaveFailsWithMinusOneWhenTheFileCantBeOpenedOrWritten)
{
    ConnectionPropertyFile missingDirectory(wpath("none/p.connectionProperties"));
    fillExample(missingDirectory);
    EXPECT_EQ(missingDirectory.save(), -1);
    EXPECT_FALSE(std::filesystem::exists(path("none")));

    ASSERT_EQ(::mkdir(path("d.connectionProperties").c_str(), 0700), 0);
    ConnectionPropertyFile directory(wpath("d.connectionProperties"));
    EXPECT_EQ(directory.save(), -1);
    EXPECT_EQ(directory.getSaveError(), L"is not a regular file");
    EXPECT_TRUE(std::filesystem::is_directory(path("d.connectionProperties")));

    // A device is not a profile to replace.
    ConnectionPropertyFile full(L"/dev/full");
    fillExample(full);
    EXPECT_EQ(full.save(), -1);
}

// --- Reading ------------------------------------------------------------

TEST_F(ConnectionPropertyFileTest, LoadOfAMissingOrUnreadableFileReturnsMinusOneAndChangesNothing)
{
    ConnectionPropertyFile missing(wpath("missing.connectionProperties"));
    fillMarkers(missing);
    EXPECT_EQ(missing.load(), -1);
    EXPECT_EQ(missing.getName(), L"old name");
    EXPECT_EQ(missing.getPortNumber(), 7);

    ASSERT_EQ(::mkdir(path("dir.connectionProperties").c_str(), 0700), 0);
    ConnectionPropertyFile directory(wpath("dir.connectionProperties"));
    EXPECT_EQ(directory.load(), -1);

    // A FIFO without a writer must not block the load.
    ASSERT_EQ(::mkfifo(path("fifo.connectionProperties").c_str(), 0600), 0);
    ConnectionPropertyFile fifo(wpath("fifo.connectionProperties"));
    EXPECT_EQ(fifo.load(), -1);
}

TEST_F(ConnectionPropertyFileTest, LineFeedOnlyAndSingleSpaceFilesLoadLikeTheWrittenForm)
{
    std::string lf = kWritten;
    for (std::size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at))
        lf.erase(at, 1);
    int result = -2;
    auto profile = loadBytes(lf, result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);

    std::string spaces =
        "Name My Server\nHostName ldap.example.com\nPortNumber 389\n"
        "UserDn cn=admin,dc=example,dc=com\nUserPassword secret\nBaseDn dc=example,dc=com\n"
        "Anonymous false\nFilter (objectclass=*)\nServerName ServerName...\n";
    profile = loadBytes(spaces, result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);

    // Mixed line ends, blank lines between entries, no line end at the end.
    std::string mixed = kWritten.substr(0, kWritten.size() - 2);
    mixed.insert(mixed.find("HostName"), "\r\n\n  \t\r\n");
    profile = loadBytes(mixed, result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);
}

TEST_F(ConnectionPropertyFileTest, ExtraLinesAfterServerNameAreIgnored)
{
    int result = -2;
    auto profile = loadBytes(kWritten + "Name\t\t\tSecond\r\ngarbage \x01\x02\r\n", result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);
}

// --- Security lines after the nine ------------------------------------------

TEST_F(ConnectionPropertyFileTest, ANineLineProfileIsUnchangedByLoadAndSaveAndHasNoSecurity)
{
    int result = -2;
    auto profile = loadBytes(kWritten, result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(profile->getSecurity(), ConnectionPropertyFile::Security::None);
    EXPECT_EQ(profile->getCaCertificate(), L"");
    ASSERT_EQ(profile->save(), 0);
    EXPECT_EQ(readBytes(path("p.connectionProperties")), kWritten);
}

TEST_F(ConnectionPropertyFileTest, SecurityAndCaCertificateLinesRoundTrip)
{
    using Security = ConnectionPropertyFile::Security;
    struct Case {
        Security security;
        std::wstring caFile;
        std::string extra;
    };
    const Case cases[] = {
        {Security::Ldaps, L"", "Security\t\tldaps\r\n"},
        {Security::StartTls, L"/etc/ldap/my ca.pem", "Security\t\tstarttls\r\nCACertificate\t\t/etc/ldap/my ca.pem\r\n"},
        {Security::None, L"/home/u/ca.crt", "CACertificate\t\t/home/u/ca.crt\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        ConnectionPropertyFile profile(wpath("s.connectionProperties"));
        fillExample(profile);
        profile.setSecurity(c.security);
        profile.setCaCertificate(c.caFile);
        ASSERT_EQ(profile.save(), 0);
        EXPECT_EQ(readBytes(path("s.connectionProperties")), kWritten + c.extra);

        gc_ptr<ConnectionPropertyFile> again(new ConnectionPropertyFile(wpath("s.connectionProperties")));
        ASSERT_EQ(again->load(), 0);
        expectExample(*again);
        EXPECT_EQ(again->getSecurity(), c.security);
        EXPECT_EQ(again->getCaCertificate(), c.caFile);
    }
}

TEST_F(ConnectionPropertyFileTest, ExtraLinesLoadInAnyOrderAmongUnknownOnes)
{
    int result = -2;
    auto profile = loadBytes(kWritten + "Comment\t\tsome later setting\r\nCACertificate\t/ca.pem\n"
                                        "Security starttls  \r\nPageSize\t\t500\r\n",
                             result);
    EXPECT_EQ(result, 0);
    expectExample(*profile);
    EXPECT_EQ(profile->getSecurity(), ConnectionPropertyFile::Security::StartTls);
    EXPECT_EQ(profile->getCaCertificate(), L"/ca.pem");
}

TEST_F(ConnectionPropertyFileTest, AnUnknownSecurityValueIsKeptAndNeverTakenForNone)
{
    // A later version's mode must not turn into clear text here.
    for (const std::string& value : {std::string("ldaps-with-client-cert"), std::string("LDAPS"), std::string("")}) {
        SCOPED_TRACE(value);
        int result = -2;
        auto profile = loadBytes(kWritten + "Security\t\t" + value + "\r\n", result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(profile->getSecurity(), ConnectionPropertyFile::Security::Unknown);
        ASSERT_EQ(profile->save(), 0);
        auto again = loadBytes(readBytes(path("p.connectionProperties")), result);
        EXPECT_EQ(again->getSecurity(), ConnectionPropertyFile::Security::Unknown);
        if (!value.empty()) {
            EXPECT_EQ(readBytes(path("p.connectionProperties")), kWritten + "Security\t\t" + value + "\r\n");
        }
    }
}

TEST_F(ConnectionPropertyFileTest, KeysOutOfOrderLoadUpToTheFirstMisplacedKey)
{
    // HostName and PortNumber swapped.
    std::string swapped = exampleWithLine(2, "PortNumber\t\t389\r\n");
    swapped = swapped.substr(0, swapped.find("PortNumber\t\t389\r\nUserDn")) +
              "HostName\t\tldap.example.com\r\n" +
              swapped.substr(swapped.find("UserDn"));
    ASSERT_NE(swapped.find("Name\t\t\tMy Server\r\nPortNumber"), std::string::npos);
    writeBytes(path("o.connectionProperties"), swapped);
    ConnectionPropertyFile profile(wpath("o.connectionProperties"));
    fillMarkers(profile);
    EXPECT_EQ(profile.load(), 1);
    EXPECT_EQ(profile.getName(), L"My Server");
    EXPECT_EQ(profile.getHostName(), L"old host");
    EXPECT_EQ(profile.getPortNumber(), 7);
    EXPECT_EQ(profile.getServerName(), L"old server");
}

TEST_F(ConnectionPropertyFileTest, MisspeltOrRecasedKeyOrMissingLineReturnsOne)
{
    const std::pair<int, std::string> cases[] = {
        {2, "hostname\t\tldap.example.com\r\n"},
        {2, "HostNam\t\tldap.example.com\r\n"},
        {2, "HostName:\t\tldap.example.com\r\n"},
        {6, ""},
    };
    for (const auto& [line, text] : cases) {
        writeBytes(path("k.connectionProperties"), exampleWithLine(line, text));
        ConnectionPropertyFile profile(wpath("k.connectionProperties"));
        fillMarkers(profile);
        EXPECT_EQ(profile.load(), 1) << text;
        EXPECT_EQ(profile.getServerName(), L"old server") << text;
        if (line == 6) {
            EXPECT_EQ(profile.getUserPassword(), L"secret");
            EXPECT_EQ(profile.getBaseDn(), L"old base");
        } else {
            EXPECT_EQ(profile.getName(), L"My Server");
            EXPECT_EQ(profile.getHostName(), L"old host");
        }
    }
}

TEST_F(ConnectionPropertyFileTest, EmptyTextValueStopsTheLoadWithoutStoringIt)
{
    const char* emptyLines[] = {"HostName\t\t\r\n", "HostName \t \r\n", "HostName\r\n"};
    for (const char* line : emptyLines) {
        writeBytes(path("v.connectionProperties"), exampleWithLine(2, line));
        ConnectionPropertyFile profile(wpath("v.connectionProperties"));
        fillMarkers(profile);
        EXPECT_EQ(profile.load(), 1) << line;
        EXPECT_EQ(profile.getName(), L"My Server");
        EXPECT_EQ(profile.getHostName(), L"old host");
    }
    int result = -2;
    loadBytes("", result);
    EXPECT_EQ(result, 1);
    loadBytes("Name", result);
    EXPECT_EQ(result, 1);
}

TEST_F(ConnectionPropertyFileTest, DashIsEmptiedOnlyForUserDnPasswordAndBaseDn)
{
    std::string text =
        "Name\t\t\t-\nHostName\t\t-\nPortNumber\t\t1\nUserDn\t\t\t-\nUserPassword\t\t-\n"
        "BaseDn\t\t\t-\nAnonymous\t\t-\nFilter\t\t\t-\nServerName\t\t-\n";
    int result = -2;
    auto profile = loadBytes(text, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getName(), L"-");
    EXPECT_EQ(profile->getHostName(), L"-");
    EXPECT_EQ(profile->getUserDn(), L"");
    EXPECT_EQ(profile->getUserPassword(), L"");
    EXPECT_EQ(profile->getBaseDn(), L"");
    EXPECT_FALSE(profile->getAnonymous());
    EXPECT_EQ(profile->getFilter(), L"-");
    EXPECT_EQ(profile->getServerName(), L"-");

    // "- " is not "-": trailing spaces and tabs stay part of a text value.
    profile = loadBytes(exampleWithLine(4, "UserDn\t\t\t- \t\r\n"), result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getUserDn(), L"- \t");
}

TEST_F(ConnectionPropertyFileTest, AnonymousIsTrueOnlyForLowerCaseTrue)
{
    const std::pair<const char*, bool> cases[] = {
        {"true", true}, {"TRUE", false}, {"True", false}, {"1", false}, {"truex", false}};
    for (const auto& [word, expected] : cases) {
        int result = -2;
        auto profile = loadBytes(exampleWithLine(7, std::string("Anonymous\t\t") + word + "\r\n"),
                                 result);
        EXPECT_EQ(result, 0) << word;
        EXPECT_EQ(profile->getAnonymous(), expected) << word;
    }
}

TEST_F(ConnectionPropertyFileTest, PortTakesTheLeadingDigitsOfItsWord)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"389x", 389},          {"x389", 0},          {"+636", 636},
        {"-12", -12},           {"-", 0},             {"0389", 389},
        {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}, {"2147483647", INT32_MAX}};
    for (const auto& [word, expected] : cases) {
        int result = -2;
        auto profile = loadBytes(exampleWithLine(3, std::string("PortNumber\t\t") + word + "\r\n"),
                                 result);
        EXPECT_EQ(result, 0) << word;
        EXPECT_EQ(profile->getPortNumber(), expected) << word;
    }
    // A second word on the port line is read as the next key.
    int result = -2;
    auto profile = loadBytes(exampleWithLine(3, "PortNumber\t\t389 636\r\n"), result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(profile->getPortNumber(), 389);
}

TEST_F(ConnectionPropertyFileTest, TextLineLimitIs254CharactersIncludingTheSeparator)
{
    // "\t\t" plus 252 characters: exactly 254, accepted.
    std::string host(252, 'h');
    int result = -2;
    auto profile = loadBytes(exampleWithLine(2, "HostName\t\t" + host + "\r\n"), result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getHostName(), std::wstring(host.begin(), host.end()));

    // One more: the value keeps its first 252 characters and the next key fails.
    writeBytes(path("long.connectionProperties"), exampleWithLine(2, "HostName\t\t" + host + "H\r\n"));
    ConnectionPropertyFile longer(wpath("long.connectionProperties"));
    fillMarkers(longer);
    EXPECT_EQ(longer.load(), 1);
    EXPECT_EQ(longer.getHostName(), std::wstring(host.begin(), host.end()));
    EXPECT_EQ(longer.getPortNumber(), 7);

    // The last line may overflow: the load still ends with 0.
    std::string server(300, 's');
    profile = loadBytes(exampleWithLine(9, "ServerName\t\t" + server + "\r\n"), result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getServerName(), std::wstring(252, L's'));
}

TEST_F(ConnectionPropertyFileTest, CarriageReturnNeverBecomesPartOfAValue)
{
    std::string text = exampleWithLine(1, "Name\t\t\tMy\r Server\r\r\n");
    text = text.substr(0, text.size() - 2) + "\r";  // last line ends in a lone CR
    int result = -2;
    auto profile = loadBytes(text, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getName(), L"My Server");
    EXPECT_EQ(profile->getServerName(), L"ServerName...");
}

TEST_F(ConnectionPropertyFileTest, NulBytesAreOrdinaryCharacters)
{
    std::string text = exampleWithLine(1, std::string("Name\t\t\ta\0b\r\n", 12));
    text = text.substr(0, text.find("UserPassword\t\t") + 14) + std::string("s\0x", 3) +
           text.substr(text.find("secret") + 6);
    int result = -2;
    auto profile = loadBytes(text, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(profile->getName(), std::wstring(L"a\0b", 3));
    EXPECT_EQ(profile->getUserPassword(), std::wstring(L"s\0x", 3));

    ASSERT_EQ(profile->save(), 0);
    EXPECT_EQ(readBytes(path("p.connectionProperties")), text);
}

TEST_F(ConnectionPropertyFileTest, JunkAndHugeInputLoadQuicklyWithOne)
{
    auto start = std::chrono::steady_clock::now();
    int result = -2;
    // 8 MB without a line end or a space.
    loadBytes(std::string(8 << 20, 'N'), result);
    EXPECT_EQ(result, 1);
    // A huge name line.
    auto profile = loadBytes("Name\t\t\t" + std::string(8 << 20, 'x'), result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(profile->getName(), std::wstring(251, L'x'));
    // A huge password word.
    loadBytes(kWritten.substr(0, kWritten.find("secret")) + std::string(8 << 20, 'p'), result);
    EXPECT_EQ(result, 1);
    // Binary junk.
    std::string junk;
    unsigned int seed = 12345;
    for (int i = 0; i < 100000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(seed >> 16));
    }
    loadBytes(junk, result);
    EXPECT_EQ(result, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(ConnectionPropertyFileTest, LogNamesTheProfileAndHostButNeverThePassword)
{
    ASSERT_TRUE(kLogSwitchedOn);
    ConnectionPropertyFile profile(wpath("logged.connectionProperties"));
    fillExample(profile);
    profile.setUserPassword(L"Pw-9f3kQ");
    ASSERT_EQ(profile.save(), 0);
    ConnectionPropertyFile again(wpath("logged.connectionProperties"));
    ASSERT_EQ(again.load(), 0);
    profile.setUserPassword(L"Pw-9f3kQ tail");
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(again.load(), 0);
    EXPECT_EQ(again.getUserPassword(), L"Pw-9f3kQ tail");

    std::string log = readBytes(kLogPath);
    ::unlink(kLogPath.c_str());
    EXPECT_NE(log.find(path("logged.connectionProperties")), std::string::npos) << log;
    EXPECT_NE(log.find("ldap.example.com"), std::string::npos) << log;
    EXPECT_EQ(log.find("Pw-9f3kQ"), std::string::npos) << log;
}

} // namespace
