// Where start-up puts the base directory and how the user's data directory
// is found and made; the widget tests follow the rule through start-up.

#include "profiles/Directories.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using ldapmodel::Directories;
using Rule = ldapmodel::Directories::BaseRule;

namespace {

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool touch(const std::string& path)
{
    return static_cast<bool>(std::ofstream(path) << "\n");
}

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Sets an environment variable for the life of the object (unset when
// value is empty optional).
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, std::optional<std::string> value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvironmentValue()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class DirectoriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-directories-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        char buffer[4096];
        ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
        m_saved = buffer;
    }
    void TearDown() override
    {
        EXPECT_EQ(::chdir(m_saved.c_str()), 0);
        Directories::initialize();
        std::filesystem::remove_all(m_root);
    }

    std::string m_root;
    std::string m_saved;
};

TEST_F(DirectoriesTest, UserDataDirectoryFollowsXdgDataHomeElseHome)
{
    struct Case {
        std::optional<std::string> dataHome;
        std::string home;
        std::string expected;
    };
    const Case cases[] = {
        {std::string("/srv/data"), "/home/ann", "/srv/data/dirlook"},
        {std::string("/srv/data/"), "/home/ann", "/srv/data/dirlook"},
        {std::nullopt, "/home/ann", "/home/ann/.local/share/dirlook"},
        {std::string(""), "/home/ann", "/home/ann/.local/share/dirlook"},
        // A relative value is invalid and ignored.
        {std::string("data"), "/home/ann/", "/home/ann/.local/share/dirlook"},
    };
    for (const Case& c : cases) {
        EnvironmentValue dataHome("XDG_DATA_HOME", c.dataHome);
        EnvironmentValue home("HOME", c.home);
        EXPECT_EQ(Directories::userDataDirectory(), wide(c.expected))
            << (c.dataHome ? *c.dataHome : "(unset)") << " " << c.home;
    }
}

TEST_F(DirectoriesTest, BaseRuleTakesTheWorkingDirectoryOnlyWithAConnectionsFolder)
{
    EnvironmentValue dataHome("XDG_DATA_HOME", m_root + "/data");
    const std::string withProfiles = m_root + "/with";
    const std::string without = m_root + "/without";
    std::filesystem::create_directories(withProfiles + "/connections");
    std::filesystem::create_directories(without);
    // A file named "connections" is no connections folder.
    std::filesystem::create_directories(m_root + "/file");
    ASSERT_TRUE(touch(m_root + "/file/connections"));

    const std::wstring data = wide(m_root + "/data/dirlook");
    struct Case {
        Rule rule;
        std::string working;
        std::string requested;
        std::wstring expected;
    };
    const Case cases[] = {
        {Rule::Automatic, withProfiles, "", wide(withProfiles)},
        {Rule::Automatic, without, "", data},
        {Rule::Automatic, m_root + "/file", "", data},
        {Rule::Automatic, "", "", data},
        {Rule::UserData, withProfiles, "", data},
        {Rule::Requested, withProfiles, "/srv/ldap/", L"/srv/ldap"},
        {Rule::Requested, withProfiles, "work", wide(withProfiles + "/work")},
        {Rule::Requested, withProfiles, "", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Directories::chooseBaseDirectory(c.rule, wide(c.working), wide(c.requested)),
                  c.expected)
            << static_cast<int>(c.rule) << " in " << c.working << " asking " << c.requested;
    }
}

TEST_F(DirectoriesTest, PrivateDirectoriesAreMadeForTheOwnerOnly)
{
    const std::string nested = m_root + "/share/deeper/dirlook";
    ASSERT_TRUE(Directories::createPrivateDirectory(wide(nested)));
    EXPECT_EQ(modeOf(nested), 0700u);
    EXPECT_EQ(modeOf(m_root + "/share/deeper"), 0700u);

    // An existing folder keeps the mode its owner gave it.
    const std::string shared = m_root + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    EXPECT_TRUE(Directories::createPrivateDirectory(wide(shared)));
    EXPECT_EQ(modeOf(shared), 0755u);

    // A file in the way.
    ASSERT_TRUE(touch(m_root + "/plain"));
    EXPECT_FALSE(Directories::createPrivateDirectory(wide(m_root + "/plain/dirlook")));
    EXPECT_FALSE(Directories::createPrivateDirectory(L""));
}

} // namespace
