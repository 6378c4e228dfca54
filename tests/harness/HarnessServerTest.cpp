// The test directory server itself: sample data, accounts and access rights,
// second instances, restart, crash and clean-up.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/TestDirectoryServer.h"

using dirtest::TestDirectoryServer;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;
namespace sample = dirtest::sample;

namespace {

TestDirectoryServer& server() { return TestDirectoryServer::shared(); }

std::vector<std::string> dnsUnder(const TestDirectoryServer& s, const std::string& base,
                                  const std::string& scope) {
  std::string output;
  EXPECT_TRUE(s.runLdapsearch({"-b", base, "-s", scope, "(objectClass=*)", "1.1"}, output))
      << output;
  return TestDirectoryServer::ldifDns(output);
}

std::string uniqueName(const char* prefix) {
  static int counter = 0;
  return std::string(prefix) + std::to_string(++counter);
}

std::string addPersonLdif(const std::string& dn, const std::string& cn) {
  return "dn: " + dn + "\nchangetype: add\nobjectClass: inetOrgPerson\ncn: " + cn +
         "\nsn: Test\n\n";
}

}  // namespace

TEST(HarnessSampleData, AnonymousSearchSeesEveryEntry) {
  EXPECT_EQ(dnsUnder(server(), sample::kBaseDn, "sub").size(),
            static_cast<std::size_t>(sample::kEntryCount));
  EXPECT_EQ(dnsUnder(server(), sample::kBaseDn, "one").size(),
            static_cast<std::size_t>(sample::kBaseChildCount));
  EXPECT_EQ(dnsUnder(server(), sample::kPeopleDn, "one").size(),
            static_cast<std::size_t>(sample::kPeopleChildCount));
  EXPECT_EQ(dnsUnder(server(), sample::kGroupsDn, "one").size(),
            static_cast<std::size_t>(sample::kGroupsChildCount));
  EXPECT_EQ(dnsUnder(server(), sample::kDeptDn, "sub").size(),
            static_cast<std::size_t>(sample::kDeptSubtreeCount));
  EXPECT_EQ(dnsUnder(server(), sample::kSubDn, "sub").size(),
            static_cast<std::size_t>(sample::kSubSubtreeCount));
  EXPECT_THAT(dnsUnder(server(), sample::kDeepDn, "one"), ElementsAre(sample::kGammaDn));
}

TEST(HarnessSampleData, NumberedUsersExist) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch(
      {"-b", sample::kPeopleDn, "-s", "one", "(uid=user*)", "uid"}, output));
  EXPECT_EQ(TestDirectoryServer::ldifValues(output, "uid").size(),
            static_cast<std::size_t>(sample::kNumberedUserCount));
}

TEST(HarnessSampleData, MultiValuedAttributes) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kUser01Dn, "-s", "base"}, output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "cn"), ElementsAre(sample::kUser01Cn));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "description"),
              UnorderedElementsAre("First sample user", "Member of staff and admins",
                                   "Has three descriptions"));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "mail"),
              UnorderedElementsAre(sample::kUser01Mail1, sample::kUser01Mail2));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "telephoneNumber"),
              UnorderedElementsAre(sample::kUser01Phone1, sample::kUser01Phone2));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "employeeNumber"),
              ElementsAre(sample::kUser01EmployeeNumber));

  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kStaffGroupDn, "-s", "base"}, output));
  EXPECT_EQ(TestDirectoryServer::ldifValues(output, "member").size(),
            static_cast<std::size_t>(sample::kStaffMemberCount));
}

TEST(HarnessSampleData, ValuesThatNeedEncoding) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kUser03Dn, "-s", "base", "description"},
                                     output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "description"),
              ElementsAre("line one\nline two"));
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kUser04Dn, "-s", "base", "description"},
                                     output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "description"),
              UnorderedElementsAre(":starts with a colon", "<starts with a less-than sign",
                                   " starts with a space"));
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kUser05Dn, "-s", "base", "description"},
                                     output));
  const auto longValue = TestDirectoryServer::ldifValues(output, "description");
  ASSERT_EQ(longValue.size(), 1u);
  EXPECT_EQ(longValue[0].size(), 275u);
}

TEST(HarnessSampleData, NonAsciiDnsComeBack) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kJoseDn, "-s", "base", "cn"}, output))
      << output;
  EXPECT_THAT(TestDirectoryServer::ldifDns(output), ElementsAre(sample::kJoseDn));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "cn"), ElementsAre(sample::kJoseCn));

  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kLukaszDn, "-s", "base", "cn"}, output))
      << output;
  EXPECT_THAT(TestDirectoryServer::ldifDns(output), ElementsAre(sample::kLukaszDn));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "cn"), ElementsAre(sample::kLukaszCn));

  // Found by a filter on the non-ASCII value as well.
  ASSERT_TRUE(server().runLdapsearch(
      {"-b", sample::kPeopleDn, "(sn=\xC5\xBB\xC3\xB3\xC5\x82kiewski)", "1.1"}, output));
  EXPECT_THAT(TestDirectoryServer::ldifDns(output), ElementsAre(sample::kLukaszDn));
}

TEST(HarnessSampleData, BinaryValuesMatchTheFixtures) {
  const std::string photo = TestDirectoryServer::readDataFile(sample::kPhotoFile);
  ASSERT_EQ(photo.size(), 181u);
  EXPECT_NE(photo.find('\0'), std::string::npos);
  EXPECT_EQ(photo.substr(0, 3), "\xFF\xD8\xFF");
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kPhotoDn, "-s", "base", "jpegPhoto"},
                                     output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "jpegPhoto"), ElementsAre(photo));

  const std::string cert = TestDirectoryServer::readDataFile(sample::kCertFile);
  ASSERT_EQ(cert.size(), 434u);
  EXPECT_EQ(cert[0], '\x30');  // DER SEQUENCE
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kCertDn, "-s", "base", "userCertificate"},
                                     output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "userCertificate;binary"),
              ElementsAre(cert));
}

TEST(HarnessSampleData, RootDseAndSchemaAreReadable) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", "", "-s", "base", "namingContexts",
                                      "subschemaSubentry"},
                                     output));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "namingContexts"),
              ElementsAre(sample::kBaseDn));
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "subschemaSubentry"),
              ElementsAre("cn=Subschema"));
  ASSERT_TRUE(server().runLdapsearch({"-b", "cn=Subschema", "-s", "base", "objectClasses"},
                                     output));
  EXPECT_THAT(output, HasSubstr("NAME 'inetOrgPerson'"));
  EXPECT_THAT(output, HasSubstr("NAME 'posixAccount'"));
}

TEST(HarnessAccounts, ReaderReadsButCannotWrite) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-D", TestDirectoryServer::readerDn(), "-w",
                                      TestDirectoryServer::readerPassword(), "-b",
                                      sample::kUser01Dn, "-s", "base", "cn"},
                                     output))
      << output;
  EXPECT_THAT(TestDirectoryServer::ldifValues(output, "cn"), ElementsAre(sample::kUser01Cn));

  EXPECT_FALSE(server().runLdapmodify(
      std::string("dn: ") + sample::kUser01Dn +
          "\nchangetype: modify\nreplace: title\ntitle: Changed\n\n",
      output, TestDirectoryServer::readerDn(), TestDirectoryServer::readerPassword()));
  EXPECT_THAT(output, HasSubstr("Insufficient access (50)"));
  EXPECT_THAT(server().entryLdif(sample::kUser01Dn, {"title"}), Not(HasSubstr("Changed")));

  const std::string dn = "cn=" + uniqueName("reader-add-") + "," + sample::kPeopleDn;
  EXPECT_FALSE(server().runLdapmodify(addPersonLdif(dn, "x"), output,
                                      TestDirectoryServer::readerDn(),
                                      TestDirectoryServer::readerPassword()));
  EXPECT_THAT(output, HasSubstr("Insufficient access (50)"));
  EXPECT_FALSE(server().entryExists(dn));
}

TEST(HarnessAccounts, AnonymousCannotWrite) {
  std::string output;
  const std::string dn = "cn=" + uniqueName("anonymous-add-") + "," + sample::kPeopleDn;
  EXPECT_FALSE(server().runLdapmodify(addPersonLdif(dn, "x"), output, "", ""));
  EXPECT_FALSE(server().entryExists(dn));
}

TEST(HarnessAccounts, WrongPasswordIsRejected) {
  std::string output;
  EXPECT_FALSE(server().runLdapsearch({"-D", TestDirectoryServer::adminDn(), "-w", "wrong", "-b",
                                       sample::kBaseDn, "-s", "base"},
                                      output));
  EXPECT_THAT(output, HasSubstr("Invalid credentials (49)"));
  EXPECT_FALSE(server().runLdapsearch({"-D", TestDirectoryServer::readerDn(), "-w", "wrong",
                                       "-b", sample::kBaseDn, "-s", "base"},
                                      output));
  EXPECT_THAT(output, HasSubstr("Invalid credentials (49)"));
}

TEST(HarnessAccounts, PasswordsAreHiddenButUsableForBind) {
  std::string output;
  ASSERT_TRUE(server().runLdapsearch({"-b", sample::kUser02Dn, "-s", "base", "userPassword"},
                                     output));
  EXPECT_TRUE(TestDirectoryServer::ldifValues(output, "userPassword").empty());
  ASSERT_TRUE(server().runLdapsearch({"-D", TestDirectoryServer::readerDn(), "-w",
                                      TestDirectoryServer::readerPassword(), "-b",
                                      sample::kUser02Dn, "-s", "base", "userPassword"},
                                     output));
  EXPECT_TRUE(TestDirectoryServer::ldifValues(output, "userPassword").empty());
  EXPECT_TRUE(server().runLdapsearch({"-D", sample::kUser02Dn, "-w", sample::kUser02Password,
                                      "-b", sample::kBaseDn, "-s", "base", "1.1"},
                                     output))
      << output;
}

TEST(HarnessAccounts, AdminAddsModifiesAndDeletes) {
  const std::string cn = uniqueName("admin-add-");
  const std::string dn = "cn=" + cn + "," + sample::kPeopleDn;
  std::string output;
  ASSERT_TRUE(server().runLdapmodify(addPersonLdif(dn, cn), output)) << output;
  EXPECT_TRUE(server().entryExists(dn));

  ASSERT_TRUE(server().runLdapmodify(
      "dn: " + dn + "\nchangetype: modify\nadd: description\ndescription: one\ndescription: two\n\n",
      output))
      << output;
  EXPECT_THAT(TestDirectoryServer::ldifValues(server().entryLdif(dn), "description"),
              UnorderedElementsAre("one", "two"));
  // Operational attributes on request.
  EXPECT_EQ(TestDirectoryServer::ldifValues(server().entryLdif(dn, {"creatorsName"}),
                                            "creatorsName"),
            std::vector<std::string>{TestDirectoryServer::adminDn()});

  ASSERT_TRUE(server().runLdapmodify("dn: " + dn + "\nchangetype: delete\n\n", output))
      << output;
  EXPECT_FALSE(server().entryExists(dn));
}

TEST(HarnessInstances, EmptyInstanceRunsBesideTheShared) {
  TestDirectoryServer empty(TestDirectoryServer::Content::Empty);
  ASSERT_TRUE(empty.start()) << empty.lastError();
  EXPECT_NE(empty.port(), server().port());
  EXPECT_EQ(empty.uri(), "ldap://127.0.0.1:" + std::to_string(empty.port()));
  EXPECT_THAT(dnsUnder(empty, sample::kBaseDn, "sub"), ElementsAre(sample::kBaseDn));
  EXPECT_EQ(dnsUnder(server(), sample::kBaseDn, "sub").size(),
            static_cast<std::size_t>(sample::kEntryCount));

  // Writes go to one instance only.
  const std::string dn = std::string("ou=Imported,") + sample::kBaseDn;
  std::string output;
  ASSERT_TRUE(empty.runLdapmodify(
      "dn: " + dn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Imported\n\n",
      output))
      << output;
  EXPECT_TRUE(empty.entryExists(dn));
  EXPECT_FALSE(server().entryExists(dn));
}

TEST(HarnessInstances, BareInstanceHasNoEntries) {
  TestDirectoryServer bare(TestDirectoryServer::Content::Bare);
  ASSERT_TRUE(bare.start()) << bare.lastError();
  std::string output;
  EXPECT_FALSE(bare.runLdapsearch({"-b", sample::kBaseDn, "-s", "base"}, output));
  EXPECT_THAT(output, HasSubstr("No such object (32)"));
  // The base entry can be added by the admin.
  ASSERT_TRUE(bare.runLdapmodify(std::string("dn: ") + sample::kBaseDn +
                                     "\nchangetype: add\nobjectClass: dcObject\n"
                                     "objectClass: organization\ndc: example\no: Example\n\n",
                                 output))
      << output;
  EXPECT_TRUE(bare.entryExists(sample::kBaseDn));
}

TEST(HarnessLifecycle, RestartKeepsPortAndData) {
  TestDirectoryServer own;
  ASSERT_TRUE(own.start()) << own.lastError();
  const int port = own.port();
  EXPECT_TRUE(own.isRunning());
  const std::string dn = std::string("cn=Kept,") + sample::kPeopleDn;
  std::string output;
  ASSERT_TRUE(own.runLdapmodify(addPersonLdif(dn, "Kept"), output)) << output;

  own.stop();
  EXPECT_FALSE(own.isRunning());
  EXPECT_FALSE(own.runLdapsearch({"-b", "", "-s", "base"}, output));
  EXPECT_THAT(output, HasSubstr("Can't contact LDAP server (-1)"));

  ASSERT_TRUE(own.start()) << own.lastError();
  EXPECT_EQ(own.port(), port);
  EXPECT_TRUE(own.entryExists(dn));

  ASSERT_TRUE(own.restart()) << own.lastError();
  EXPECT_EQ(own.port(), port);
  EXPECT_TRUE(own.entryExists(dn));
}

TEST(HarnessLifecycle, KilledServerComesBackWithItsData) {
  TestDirectoryServer own;
  ASSERT_TRUE(own.start()) << own.lastError();
  const int port = own.port();
  const std::string dn = std::string("cn=Survivor,") + sample::kPeopleDn;
  std::string output;
  ASSERT_TRUE(own.runLdapmodify(addPersonLdif(dn, "Survivor"), output)) << output;

  own.kill();
  EXPECT_FALSE(own.isRunning());
  EXPECT_FALSE(own.runLdapsearch({"-b", "", "-s", "base"}, output));

  ASSERT_TRUE(own.start()) << own.lastError();
  EXPECT_EQ(own.port(), port);
  EXPECT_TRUE(own.entryExists(dn));
  EXPECT_EQ(dnsUnder(own, sample::kBaseDn, "sub").size(),
            static_cast<std::size_t>(sample::kEntryCount + 1));
}

TEST(HarnessLifecycle, StartRecoversFromACrashOutsideTheHarness) {
  TestDirectoryServer own(TestDirectoryServer::Content::Empty);
  ASSERT_TRUE(own.start()) << own.lastError();
  const int port = own.port();
  std::string output;
  ASSERT_EQ(TestDirectoryServer::runProcess(
                {"bash", TestDirectoryServer::scriptPath(), "kill", own.directory()}, "", output),
            0)
      << output;
  EXPECT_FALSE(own.isRunning());
  ASSERT_TRUE(own.start()) << own.lastError();
  EXPECT_EQ(own.port(), port);
  EXPECT_TRUE(own.entryExists(sample::kBaseDn));
}

TEST(HarnessLifecycle, ServerEndsWithItsOwnerProcess) {
  TestDirectoryServer own(TestDirectoryServer::Content::Bare);
  ASSERT_TRUE(own.start()) << own.lastError();
  own.stop();
  // Started on behalf of a shell that ends at once.
  std::string output;
  ASSERT_EQ(TestDirectoryServer::runProcess(
                {"bash", "-c", "bash \"$0\" start \"$1\" --owner $$", TestDirectoryServer::scriptPath(),
                 own.directory()},
                "", output),
            0)
      << output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::filesystem::exists(own.directory()) && std::chrono::steady_clock::now() < deadline) {
    own.runLdapsearch({"-b", "", "-s", "base"}, output);
  }
  // The harness marks its directories for removal with their owner.
  EXPECT_FALSE(std::filesystem::exists(own.directory()));
  EXPECT_FALSE(own.runLdapsearch({"-b", "", "-s", "base"}, output));
  EXPECT_THAT(output, HasSubstr("Can't contact LDAP server (-1)"));
}

TEST(HarnessLifecycle, ReloadRestoresTheInitialData) {
  TestDirectoryServer own;
  ASSERT_TRUE(own.start()) << own.lastError();
  const std::string dn = std::string("cn=Temporary,") + sample::kPeopleDn;
  std::string output;
  ASSERT_TRUE(own.runLdapmodify(addPersonLdif(dn, "Temporary"), output)) << output;
  ASSERT_TRUE(own.runLdapmodify(std::string("dn: ") + sample::kJoseDn + "\nchangetype: delete\n\n",
                                output))
      << output;

  ASSERT_TRUE(own.reload()) << own.lastError();
  EXPECT_FALSE(own.entryExists(dn));
  EXPECT_TRUE(own.entryExists(sample::kJoseDn));
}

TEST(HarnessLifecycle, DestructorStopsTheServerAndRemovesItsDirectory) {
  std::string directory;
  std::string uri;
  {
    TestDirectoryServer own(TestDirectoryServer::Content::Empty);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(own.start()) << own.lastError();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - begin);
    RecordProperty("start_ms", static_cast<int>(elapsed.count()));
    EXPECT_LT(elapsed.count(), 5000);
    directory = own.directory();
    uri = own.uri();
    EXPECT_TRUE(std::filesystem::exists(directory + "/slapd.d"));
  }
  EXPECT_FALSE(std::filesystem::exists(directory));
  std::string output;
  EXPECT_NE(TestDirectoryServer::runProcess({"ldapsearch", "-x", "-H", uri, "-b", "", "-s", "base"},
                                            "", output),
            0);
}

TEST(HarnessProcess, RunProcessPassesInputAndExitCode) {
  std::string output;
  EXPECT_EQ(TestDirectoryServer::runProcess({"cat"}, std::string("a\0b", 3), output), 0);
  EXPECT_EQ(output, std::string("a\0b", 3));
  const std::string big(1 << 20, 'x');
  EXPECT_EQ(TestDirectoryServer::runProcess({"cat"}, big, output), 0);
  EXPECT_EQ(output, big);
  EXPECT_EQ(TestDirectoryServer::runProcess({"sh", "-c", "echo out; echo err >&2; exit 7"}, "",
                                            output),
            7);
  EXPECT_EQ(output, "out\nerr\n");
  // A child that leaves without reading its input.
  EXPECT_EQ(TestDirectoryServer::runProcess({"true"}, big, output), 0);
}

TEST(HarnessProcess, RunProcessFailures) {
  std::string output;
  EXPECT_EQ(TestDirectoryServer::runProcess({"/nonexistent/program"}, "", output), -1);
  EXPECT_EQ(TestDirectoryServer::runProcess({}, "", output), -1);
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(TestDirectoryServer::runProcess({"sleep", "30"}, "", output, 1), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
}

TEST(HarnessLdif, ParsesFoldedAndEncodedLines) {
  const std::string ldif =
      "# comment\n"
      "dn:: Y249Sm9zw6k=\n"
      "cn: Jo\n"
      " s\n"
      "description:: bGluZSBvbmUKbGluZSB0d28=\n"
      "\n"
      "dn: cn=b\n"
      "CN: b\n";
  EXPECT_THAT(TestDirectoryServer::ldifDns(ldif), ElementsAre("cn=Jos\xC3\xA9", "cn=b"));
  EXPECT_THAT(TestDirectoryServer::ldifValues(ldif, "cn"), ElementsAre("Jos", "b"));
  EXPECT_THAT(TestDirectoryServer::ldifValues(ldif, "description"),
              ElementsAre("line one\nline two"));
  EXPECT_TRUE(TestDirectoryServer::ldifValues(ldif, "mail").empty());
}
