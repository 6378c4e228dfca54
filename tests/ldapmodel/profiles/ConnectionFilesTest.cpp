#include "handles/gc_ptr.h"
#include "profiles/ConnectionFiles.h"
#include "profiles/ConnectionPropertyFile.h"
#include "profiles/Directories.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using ldapmodel::ConnectionFiles;
using ldapmodel::ConnectionPropertyFile;
using ldapmodel::Directories;
using memorylib::gc_ptr;

namespace {

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string workingDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// Each test runs in a fresh base directory that is the working directory at
// start-up; the previous working directory is restored afterwards.
class ConnectionFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedDirectory = workingDirectory();
        ASSERT_FALSE(m_savedDirectory.empty());
        char pattern[] = "/tmp/dirlook-connections-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        ASSERT_EQ(::chdir(pattern), 0);
        m_base = workingDirectory();
        Directories::initialize();
    }

    void TearDown() override
    {
        EXPECT_EQ(::chdir(m_savedDirectory.c_str()), 0);
        std::filesystem::remove_all(m_base);
    }

    std::string connections() const { return m_base + "/connections"; }

    // Writes a profile file with the given Name line into directory.
    static void writeProfile(const std::string& directory, const std::string& fileName,
                             const std::wstring& name, const std::wstring& host = L"host")
    {
        ConnectionPropertyFile profile(wide(directory + "/" + fileName));
        profile.setName(name);
        profile.setHostName(host);
        profile.setPortNumber(389);
        profile.setFilter(L"(objectclass=*)");
        profile.setServerName(L"ServerName...");
        ASSERT_EQ(profile.save(), 0);
    }

    static void writeBytes(const std::string& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    gc_ptr<ConnectionFiles> scan()
    {
        return gc_ptr<ConnectionFiles>(
            new ConnectionFiles(Directories::getConnectionsDirectory(), ConnectionFiles::kPattern));
    }

    static std::vector<std::wstring> namesOf(const ConnectionFiles& files)
    {
        std::vector<std::wstring> names;
        for (const auto& profile : files.getProfiles())
            names.push_back(profile->getName());
        return names;
    }

    std::string m_savedDirectory;
    std::string m_base;
};

TEST_F(ConnectionFilesTest, StartUpDerivesTheDirectoriesFromTheWorkingDirectory)
{
    EXPECT_EQ(Directories::getBaseDirectory(), wide(m_base));
    EXPECT_EQ(Directories::getConnectionsDirectory(), wide(m_base + "/connections"));
    EXPECT_EQ(Directories::getConfigDirectory(), wide(m_base + "/config"));
    EXPECT_EQ(Directories::getLogDirectory(), wide(m_base + "/log"));
    EXPECT_EQ(Directories::getHelpDirectory(), wide(m_base + "/Help"));
    EXPECT_EQ(ConnectionFiles::profilePath(L"My Server"),
              wide(m_base + "/connections/My Server.connectionProperties"));
}

TEST_F(ConnectionFilesTest, WithoutConnectionsDirectoryTheListIsEmptyAndSavingCreatesIt)
{
    // A profile lying in the base directory is not the connections directory's.
    writeProfile(m_base, "Stray.connectionProperties", L"Stray");
    dirtest::ScriptedMessageBoxes boxes;
    auto files = scan();
    EXPECT_TRUE(files->getProfiles().empty());
    std::vector<std::wstring> fileNames;
    EXPECT_EQ(files->listFileNames(fileNames), -1);
    EXPECT_TRUE(fileNames.empty());
    EXPECT_FALSE(files->exists(L"Stray"));

    Directories::ensureConnectionsDirectory();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(modeOf(connections()), 0700u);
    ConnectionPropertyFile profile(ConnectionFiles::profilePath(L"First"));
    profile.setName(L"First");
    ASSERT_EQ(profile.save(), 0);
    EXPECT_EQ(modeOf(connections() + "/First.connectionProperties"), 0600u);

    files = scan();
    EXPECT_EQ(namesOf(*files), std::vector<std::wstring>{L"First"});
    EXPECT_EQ(files->listFileNames(fileNames), 0);
    EXPECT_EQ(fileNames, std::vector<std::wstring>{L"First.connectionProperties"});
}

TEST_F(ConnectionFilesTest, EnsureDirectoryLeavesAnExistingDirectoryAlone)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(connections().c_str(), 0755), 0);
    dirtest::ScriptedMessageBoxes boxes;
    Directories::ensureConnectionsDirectory();
    EXPECT_EQ(modeOf(connections()), 0755u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ConnectionFilesTest, EnsureDirectoryThatCantBeCreatedShowsDirectoryMissing)
{
    writeBytes(m_base + "/plainfile", "x");
    Directories::relocate(wide(m_base + "/plainfile/sub"));
    dirtest::ScriptedMessageBoxes boxes;
    Directories::ensureConnectionsDirectory();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"Directory missing");
    EXPECT_EQ(boxes.boxes()[0].text, L"Please re-install the program. Critical files are missing");
    EXPECT_EQ(boxes.boxes()[0].buttons, util::BoxButtons::Ok);

    ConnectionPropertyFile profile(ConnectionFiles::profilePath(L"Lost"));
    EXPECT_EQ(profile.save(), -1);
}

TEST_F(ConnectionFilesTest, ScanLoadsMatchingRegularFilesInByteOrderDamagedOnesIncluded)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "b.connectionProperties", L"Bravo", L"hb");
    writeProfile(connections(), "B.connectionProperties", L"Upper", L"hB");
    writeProfile(connections(), "a.connectionProperties", L"Alpha", L"ha");
    {
        // The file name is stored as UTF-8 on disk.
        ConnectionPropertyFile accented(wide(connections()) + L"/\u00e9t\u00e9.connectionProperties");
        accented.setName(L"\u00e9t\u00e9");
        ASSERT_EQ(accented.save(), 0);
        ASSERT_TRUE(std::filesystem::exists(connections() + "/\xc3\xa9t\xc3\xa9.connectionProperties"));
    }
    writeBytes(connections() + "/damaged.connectionProperties", "Name\t\t\tBroken\r\nHost x\r\n");
    writeProfile(connections(), "other.txt", L"Other");
    writeProfile(connections(), "lower.connectionproperties", L"Lower");
    ASSERT_EQ(::mkdir((connections() + "/dir.connectionProperties").c_str(), 0700), 0);

    auto files = scan();
    EXPECT_EQ(files->getPattern(), L"*.connectionProperties");
    EXPECT_EQ(files->getDirectory(), wide(connections()));
    EXPECT_EQ(namesOf(*files), (std::vector<std::wstring>{L"Upper", L"Alpha", L"Bravo", L"Broken",
                                                          L"\u00e9t\u00e9"}));
    const auto& profiles = files->getProfiles();
    EXPECT_EQ(profiles[0]->getFileName(), L"B.connectionProperties");
    EXPECT_EQ(profiles[1]->getHostName(), L"ha");
    EXPECT_EQ(profiles[3]->getHostName(), L"");
    EXPECT_EQ(profiles[3]->getPortNumber(), 0);

    std::vector<std::wstring> fileNames{L"kept"};
    EXPECT_EQ(files->listFileNames(fileNames), 0);
    EXPECT_EQ(fileNames, (std::vector<std::wstring>{L"kept", L"B.connectionProperties",
                                                    L"a.connectionProperties",
                                                    L"b.connectionProperties",
                                                    L"damaged.connectionProperties",
                                                    L"\u00e9t\u00e9.connectionProperties"}));
}

TEST_F(ConnectionFilesTest, WorkingDirectoryAfterScanAndList)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    // No match: the scan stays in the connections directory.
    auto files = scan();
    EXPECT_EQ(workingDirectory(), connections());

    ASSERT_EQ(::chdir(m_base.c_str()), 0);
    writeProfile(connections(), "One.connectionProperties", L"One");
    files = scan();
    EXPECT_EQ(workingDirectory(), m_base);

    // Listing moves there and stays, so bare file names resolve there.
    std::vector<std::wstring> fileNames;
    EXPECT_EQ(files->listFileNames(fileNames), 0);
    EXPECT_EQ(workingDirectory(), connections());
    ConnectionPropertyFile relative(fileNames.at(0));
    EXPECT_EQ(relative.load(), 0);
    EXPECT_EQ(relative.getName(), L"One");
}

TEST_F(ConnectionFilesTest, ScanWithoutAWorkingDirectoryWarnsAndStillReadsTheConnections)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "One.connectionProperties", L"One");
    std::string gone = m_base + "/gone";
    ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);

    dirtest::ScriptedMessageBoxes boxes;
    auto files = scan();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"Connections directory not found");
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Can't find the connections directory, windows error, please use the browse "
              L"button to point to the connections directory");
    EXPECT_EQ(boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);
    EXPECT_EQ(namesOf(*files), std::vector<std::wstring>{L"One"});
}

TEST_F(ConnectionFilesTest, FindAndExistsCompareCaseButRemoveIgnoresIt)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Test.connectionProperties", L"test");
    writeProfile(connections(), "Other.connectionProperties", L"\u00c9cole");
    auto files = scan();

    std::vector<std::wstring> fileNames;
    ASSERT_EQ(files->listFileNames(fileNames), 0);
    std::wstring profileName;
    ASSERT_TRUE(ConnectionFiles::profileNameOf(fileNames.at(1), profileName));
    EXPECT_EQ(profileName, L"Test");

    EXPECT_NE(files->findByName(L"test").get(), nullptr);
    EXPECT_EQ(files->findByName(L"test")->getFileName(), L"Test.connectionProperties");
    EXPECT_EQ(files->findByName(L"Test").get(), nullptr);
    EXPECT_TRUE(files->exists(L"test"));
    EXPECT_FALSE(files->exists(L"Test"));
    EXPECT_FALSE(files->exists(L"tes"));

    files->removeByName(L"Test");
    EXPECT_FALSE(std::filesystem::exists(connections() + "/Test.connectionProperties"));
    EXPECT_EQ(namesOf(*files), std::vector<std::wstring>{L"\u00c9cole"});

    files->removeByName(L"\u00e9COLE");
    EXPECT_FALSE(std::filesystem::exists(connections() + "/Other.connectionProperties"));
    EXPECT_TRUE(files->getProfiles().empty());
}

TEST_F(ConnectionFilesTest, DuplicateNamesFindTheFirstListedAndRemoveOnlyIt)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Zulu.connectionProperties", L"dup", L"zulu");
    writeProfile(connections(), "Alpha.connectionProperties", L"dup", L"alpha");
    auto files = scan();
    ASSERT_NE(files->findByName(L"dup").get(), nullptr);
    EXPECT_EQ(files->findByName(L"dup")->getHostName(), L"alpha");

    files->removeByName(L"DUP");
    EXPECT_FALSE(std::filesystem::exists(connections() + "/Alpha.connectionProperties"));
    EXPECT_TRUE(std::filesystem::exists(connections() + "/Zulu.connectionProperties"));
    EXPECT_EQ(files->findByName(L"dup")->getHostName(), L"zulu");
}

TEST_F(ConnectionFilesTest, RemoveOfAnUnknownNameDeletesNothing)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Keep.connectionProperties", L"Keep");
    auto files = scan();
    dirtest::ScriptedMessageBoxes boxes;
    files->removeByName(L"Kee");
    files->removeByName(L"Keep.connectionProperties");
    EXPECT_TRUE(std::filesystem::exists(connections() + "/Keep.connectionProperties"));
    EXPECT_EQ(files->getProfiles().size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ConnectionFilesTest, RemoveDeletesInTheConnectionsDirectoryWhateverTheWorkingDirectory)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Same.connectionProperties", L"Same");
    writeProfile(m_base, "Same.connectionProperties", L"Same");
    auto files = scan();
    ASSERT_EQ(::chdir(m_base.c_str()), 0);
    files->removeByName(L"Same");
    EXPECT_FALSE(std::filesystem::exists(connections() + "/Same.connectionProperties"));
    EXPECT_TRUE(std::filesystem::exists(m_base + "/Same.connectionProperties"));
}

TEST_F(ConnectionFilesTest, FileThatCantBeDeletedShowsTheSystemError)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Stuck.connectionProperties", L"Stuck");
    writeProfile(connections(), "Gone.connectionProperties", L"Gone");
    writeProfile(connections(), "Other.connectionProperties", L"Other");
    auto files = scan();
    // Replaced by a non-empty directory, which unlink refuses even for root.
    std::string stuck = connections() + "/Stuck.connectionProperties";
    ASSERT_EQ(::unlink(stuck.c_str()), 0);
    ASSERT_EQ(::mkdir(stuck.c_str(), 0700), 0);
    writeBytes(stuck + "/inside", "x");
    ASSERT_EQ(::unlink((connections() + "/Gone.connectionProperties").c_str()), 0);

    dirtest::ScriptedMessageBoxes boxes;
    files->removeByName(L"Stuck");
    files->removeByName(L"Gone");
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"Stuck.connectionProperties");
    EXPECT_EQ(boxes.boxes()[0].icon, util::BoxIcon::Information);
    EXPECT_NE(boxes.boxes()[0].text.find(wide(std::strerror(EISDIR))), std::wstring::npos)
        << std::string(boxes.boxes()[0].text.begin(), boxes.boxes()[0].text.end());
    EXPECT_EQ(boxes.boxes()[1].caption, L"Gone.connectionProperties");
    EXPECT_NE(boxes.boxes()[1].text.find(wide(std::strerror(ENOENT))), std::wstring::npos);
    EXPECT_TRUE(std::filesystem::exists(stuck + "/inside"));
    EXPECT_EQ(namesOf(*files), std::vector<std::wstring>{L"Other"});
}

TEST_F(ConnectionFilesTest, RelocateToAChosenFolderMakesItBaseAndConnections)
{
    std::string chosen = m_base + "/chosen";
    ASSERT_EQ(::mkdir(chosen.c_str(), 0700), 0);
    writeProfile(chosen, "Here.connectionProperties", L"Here");
    Directories::relocate(wide(chosen));
    EXPECT_EQ(Directories::getBaseDirectory(), wide(chosen));
    EXPECT_EQ(Directories::getConnectionsDirectory(), wide(chosen));
    EXPECT_EQ(workingDirectory(), chosen);
    EXPECT_EQ(ConnectionFiles::profilePath(L"X"), wide(chosen + "/X.connectionProperties"));
    EXPECT_EQ(namesOf(*scan()), std::vector<std::wstring>{L"Here"});
}

TEST_F(ConnectionFilesTest, RelocateWithoutAFolderPointsConnectionsAtTheBase)
{
    ASSERT_EQ(::mkdir(connections().c_str(), 0700), 0);
    writeProfile(connections(), "Inner.connectionProperties", L"Inner");
    writeProfile(m_base, "Outer.connectionProperties", L"Outer");
    std::string elsewhere = m_base + "/elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(elsewhere.c_str()), 0);

    Directories::relocate(std::nullopt);
    EXPECT_EQ(Directories::getBaseDirectory(), wide(m_base));
    EXPECT_EQ(Directories::getConnectionsDirectory(), wide(m_base));
    EXPECT_EQ(workingDirectory(), m_base);
    EXPECT_EQ(namesOf(*scan()), std::vector<std::wstring>{L"Outer"});
}

TEST_F(ConnectionFilesTest, ProfileNameIsThePartBeforeTheFirstExtension)
{
    std::wstring name = L"unchanged";
    EXPECT_TRUE(ConnectionFiles::profileNameOf(L"a.connectionProperties.connectionProperties", name));
    EXPECT_EQ(name, L"a");
    EXPECT_TRUE(ConnectionFiles::profileNameOf(L".connectionProperties", name));
    EXPECT_EQ(name, L"");
    name = L"unchanged";
    EXPECT_FALSE(ConnectionFiles::profileNameOf(L"notes.txt", name));
    EXPECT_FALSE(ConnectionFiles::profileNameOf(L"a.connectionproperties", name));
    EXPECT_EQ(name, L"unchanged");
}

} // namespace
