// The error file of an import and the summary the import ends with.

#include "ldif/LdifErrorFile.h"
#include "ldif/LdifImportReport.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using dirtest::readFile;
using ldapmodel::LdifErrorFile;
using ldapmodel::LdifImportReport;

class LdifErrorFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-ldif-errors-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_directory = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_directory); }

    std::wstring path(const char* name) const { return (m_directory / name).wstring(); }

    std::filesystem::path m_directory;
};

TEST_F(LdifErrorFileTest, NumberedNamesGoBeforeTheExtension)
{
    EXPECT_EQ(LdifErrorFile::numberedName(L"LDIFError.txt", 1), L"LDIFError.txt");
    EXPECT_EQ(LdifErrorFile::numberedName(L"LDIFError.txt", 2), L"LDIFError-2.txt");
    EXPECT_EQ(LdifErrorFile::numberedName(L"/a.b/errors", 3), L"/a.b/errors-3");
    EXPECT_EQ(LdifErrorFile::numberedName(L"dir/.hidden", 2), L"dir/.hidden-2");
    EXPECT_EQ(LdifErrorFile::numberedName(L"x.tar.gz", 10), L"x.tar-10.gz");
}

TEST_F(LdifErrorFileTest, NothingIsMadeBeforeTheFirstRecord)
{
    LdifErrorFile file(path("errors.ldif"));
    EXPECT_EQ(file.getPath(), L"");
    EXPECT_EQ(file.getPreferredPath(), path("errors.ldif"));
    EXPECT_TRUE(std::filesystem::is_empty(m_directory));
}

TEST_F(LdifErrorFileTest, ARecordThatCantBeWrittenIsTakenOutAndCountedLost)
{
    // A file system that takes 100 bytes per file, in a child process.
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small {};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 100;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            ::_exit(2);
        LdifErrorFile file((m_directory / "errors.ldif").wstring());
        const bool first = file.append(L"dn: cn=a refused: one", "dn: cn=a\ncn: a\n");
        const bool second = file.append(L"dn: cn=b refused: two", "dn: cn=b\ndescription: " + std::string(100, 'x') + "\n");
        const bool third = file.append(L"dn: cn=c refused: three", "dn: cn=c\n");
        const bool told = file.getFailure().rfind(L"Can't write " + file.getPath() + L": ", 0) == 0;
        ::_exit(first && !second && !third && file.getWrittenCount() == 1 && file.getLostCount() == 2 && told ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // No half record behind.
    EXPECT_EQ(readFile(m_directory / "errors.ldif"), "# dn: cn=a refused: one\ndn: cn=a\ncn: a\n\n");
}

TEST_F(LdifErrorFileTest, AFileThatCantBeMadeLosesEveryRecordAndSaysWhy)
{
    LdifErrorFile file(path("missing/errors.ldif"));
    EXPECT_FALSE(file.append(L"dn: cn=a refused: one", "dn: cn=a\n"));
    EXPECT_FALSE(file.append(L"dn: cn=b refused: two", "dn: cn=b\n"));
    EXPECT_EQ(file.getLostCount(), 2);
    EXPECT_EQ(file.getPath(), L"");
    EXPECT_EQ(file.getFailure(), L"Can't create " + path("missing/errors.ldif") + L": No such file or directory");
}

TEST_F(LdifErrorFileTest, SummaryCountsTheRecordsByReasonAndSaysWhereTheyAre)
{
    LdifImportReport report(path("errors.ldif"));
    EXPECT_FALSE(report.needsAttention());
    report.countAdded();
    report.countAdded();
    report.refuse(L"cn=a,o=x", "dn: cn=a,o=x\n", 68, L"LDAPError 68: Already exists");
    report.refuse(L"cn=b,o=x", "dn: cn=b,o=x\n", 32, L"LDAPError 32: No such object");
    report.refuse(L"cn=c,o=x", "dn: cn=c,o=x\n", 68, L"LDAPError 68: Already exists");
    report.refuse(L"cn=d,o=x", "dn: cn=d,o=x\n", 0, L"a line holds a zero byte");
    EXPECT_TRUE(report.needsAttention());
    EXPECT_EQ(report.summary(L"/data/in.ldif"),
              L"Import of /data/in.ldif\n"
              L"2 records added, 4 refused.\n"
              L"    1 x a line holds a zero byte\n"
              L"    1 x LDAPError 32: No such object\n"
              L"    2 x LDAPError 68: Already exists\n"
              L"The records that were not added are in\n" +
                  path("errors.ldif"));
    EXPECT_EQ(readFile(m_directory / "errors.ldif"),
              "# dn: cn=a,o=x refused: LDAPError 68: Already exists\ndn: cn=a,o=x\n\n"
              "# dn: cn=b,o=x refused: LDAPError 32: No such object\ndn: cn=b,o=x\n\n"
              "# dn: cn=c,o=x refused: LDAPError 68: Already exists\ndn: cn=c,o=x\n\n"
              "# dn: cn=d,o=x refused: a line holds a zero byte\ndn: cn=d,o=x\n\n");
}

TEST_F(LdifErrorFileTest, SummaryOfAnImportThatEndedEarlyOrLostRecords)
{
    LdifImportReport unreadable(path("errors.ldif"));
    unreadable.countAdded();
    unreadable.stopAt(L"cn=a,o=x", "dn: cn=a,o=x\n-\n");
    EXPECT_TRUE(unreadable.needsAttention());
    EXPECT_EQ(unreadable.summary(L"in.ldif"),
              L"Import of in.ldif\n1 record added, 0 refused.\n"
              L"The import stopped at a record that can't be read (dn: cn=a,o=x).\n"
              L"The record that was not added is in\n" +
                  path("errors.ldif"));

    LdifImportReport lost(path("missing/errors.ldif"));
    lost.refuse(L"cn=a,o=x", "dn: cn=a,o=x\n", 68, L"LDAPError 68: Already exists");
    lost.setStopped();
    EXPECT_EQ(lost.getLostCount(), 1);
    EXPECT_EQ(lost.summary(L"in.ldif"),
              L"Import of in.ldif\n0 records added, 1 refused.\n"
              L"    1 x LDAPError 68: Already exists\n"
              L"The import was stopped before the end of the file.\n"
              L"1 record could not be kept in the error file and is lost:\n"
              L"Can't create " +
                  path("missing/errors.ldif") + L": No such file or directory");
}

} // namespace
