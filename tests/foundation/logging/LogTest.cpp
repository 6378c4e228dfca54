#include "logging/Log.h"
#include "logging/Trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// A directory shared by a death test's parent and its re-executed child,
// passed through the environment variable name.
std::string sharedTempDir(const char* variable)
{
    if (const char* existing = std::getenv(variable))
        return existing;
    char pattern[] = "/tmp/dirlook-log-test-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (dir == nullptr)
        return std::string();
    ::setenv(variable, dir, 1);
    return dir;
}

std::vector<std::string> filesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* handle = ::opendir(dir.c_str())) {
        while (dirent* entry = ::readdir(handle)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(handle);
    }
    return names;
}

TEST(LogTest, EveryCategorySharesOneInstance)
{
    memorylib::gc_ptr<util::Log> model = util::Log::getLog(L"ldapmodel");
    memorylib::gc_ptr<util::Log> tree = util::Log::getLog(L"ldaptree");
    ASSERT_NE(model.getObject(), nullptr);
    EXPECT_EQ(model.getObject(), tree.getObject());
}

TEST(LogTest, InstanceSurvivesItsHandles)
{
    util::Log* first = nullptr;
    {
        memorylib::gc_ptr<util::Log> log = util::Log::getLog(L"ldapmodel");
        first = log.getObject();
    }
    memorylib::gc_ptr<util::Log> again = util::Log::getLog(L"ldapmodel");
    EXPECT_EQ(again.getObject(), first);
    // Handles taken on any thread leave no count to race on.
    EXPECT_EQ(again->getRefCount(), 0);
    again = nullptr;
    EXPECT_EQ(util::Log::getLog(L"ldaptree").getObject(), first);
}

TEST(LogTest, DeliveredConfigurationWritesNothing)
{
    if (std::getenv("DIRLOOK_LOG") != nullptr)
        GTEST_SKIP() << "DIRLOOK_LOG is set in this environment";
    memorylib::gc_ptr<util::Log> log = util::Log::getLog(L"ldapmodel");
    EXPECT_FALSE(log->isEnabled());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    log->write(L"Model::connect host= %s port= %d", L"ldap.example.com", 389);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(LogDeathTest, DeliveredConfigurationCreatesNoFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string dir = sharedTempDir("DIRLOOK_LOG_TEST_EMPTY_DIR");
    ASSERT_FALSE(dir.empty());
    EXPECT_EXIT(
        {
            ::unsetenv("DIRLOOK_LOG");
            if (::chdir(dir.c_str()) != 0)
                std::exit(2);
            memorylib::gc_ptr<util::Log> log = util::Log::getLog(L"ldaptree");
            log->write(L"CMainFrame::OnConnect %s", L"start");
            std::exit(log->isEnabled() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(filesIn(dir).empty());
    ::rmdir(dir.c_str());
    ::unsetenv("DIRLOOK_LOG_TEST_EMPTY_DIR");
}

TEST(LogDeathTest, DiagnosticConfigurationWritesTimeStampedLines)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string dir = sharedTempDir("DIRLOOK_LOG_TEST_DIR");
    ASSERT_FALSE(dir.empty());
    std::string path = dir + "/dirlook.log";
    ::setenv("DIRLOOK_LOG", path.c_str(), 1);
    EXPECT_EXIT(
        {
            memorylib::gc_ptr<util::Log> log = util::Log::getLog(L"ldapmodel");
            log->write(L"Model::connect host= %s port= %d", L"ldap.\u00e9xample.com", 389);
            log->write(L"Model::connect %5s|%-4d|%%", L"ab", 7);
            std::exit(log->isEnabled() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    ::unsetenv("DIRLOOK_LOG");

    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ";
    std::regex expected(stamp + "Model::connect host= ldap\\.\xC3\xA9xample\\.com port= 389\n" +
                        stamp + "Model::connect    ab\\|7   \\|%\n");
    EXPECT_TRUE(std::regex_match(content.str(), expected)) << content.str();

    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
    ::unsetenv("DIRLOOK_LOG_TEST_DIR");
}

TEST(TraceTest, PopOnEmptyTraceIsHarmless)
{
    util::traceTakeAll();
    util::tracePop();
    util::tracePop();
    EXPECT_EQ(util::traceTakeAll(), L"");
}

TEST(TraceTest, TakeAllGivesMostRecentFirstAndEmpties)
{
    util::traceTakeAll();
    util::tracePush(L"Model::connect");
    util::tracePush(L"LDAPEntry::read");
    EXPECT_EQ(util::traceTakeAll(), L"LDAPEntry::read\nModel::connect\n");
    EXPECT_EQ(util::traceTakeAll(), L"");
}

TEST(TraceTest, PopRemovesMostRecent)
{
    util::traceTakeAll();
    util::tracePush(L"A::outer");
    util::tracePush(L"B::inner");
    util::tracePop();
    EXPECT_EQ(util::traceTakeAll(), L"A::outer\n");
}

TEST(TraceTest, ScopePopsOnEveryReturnPath)
{
    util::traceTakeAll();
    util::TraceScope outer(L"Model::outer");
    try {
        util::TraceScope inner(L"Model::inner");
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
    }
    auto early = [](bool leave) {
        util::TraceScope scope(L"Model::early");
        if (leave)
            return 1;
        return 2;
    };
    early(true);
    early(false);
    util::tracePush(L"Model::probe");
    EXPECT_EQ(util::traceTakeAll(), L"Model::probe\nModel::outer\n");
}

TEST(TraceTest, WorkerThreadHasItsOwnTrace)
{
    util::traceTakeAll();
    util::TraceScope scope(L"CMainFrame::OnConnect");
    std::wstring workerTrace;
    std::thread worker([&workerTrace] {
        util::TraceScope workerScope(L"Model::readChildren");
        util::tracePop();
        util::tracePop();  // one too many: must not touch the other thread's trace
        util::tracePush(L"Model::worker");
        workerTrace = util::traceTakeAll();
    });
    worker.join();
    EXPECT_EQ(workerTrace, L"Model::worker\n");
    util::tracePush(L"Model::after");
    EXPECT_EQ(util::traceTakeAll(), L"Model::after\nCMainFrame::OnConnect\n");
}

} // namespace
