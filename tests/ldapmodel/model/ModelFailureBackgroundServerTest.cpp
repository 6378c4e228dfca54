// What the model does when the server or the import file misbehaves: Stop
// against a frozen server, a FIFO as import file, a request the server
// refuses by closing the connection, a server that goes away, and the pause
// between background results.

#include "ldapmodel/support/ModelTestSupport.h"
#include "model/Model.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "support/FrozenServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using dirtest::FrozenServer;
using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::RecordingObserver;
using modeltest::wide;
namespace sample = dirtest::sample;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs action after delay unless destroyed first; so that a test of code
// that waits for ever still ends.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds delay, std::function<void()> action)
        : m_thread([this, delay, action = std::move(action)] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_changed.wait_for(lock, delay, [this] { return m_bCancelled; }))
                  action();
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bCancelled = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bCancelled = false;
    std::thread m_thread;
};

std::string deviceRecord(const std::string& name, const std::string& description = std::string())
{
    std::string record = "dn: cn=" + name + "," + TestDirectoryServer::baseDn() + "\nobjectClass: device\ncn: " +
                         name + "\n";
    if (!description.empty())
        record += "description: " + description + "\n";
    return record + "\n";
}

std::string deviceDn(const std::string& name)
{
    return "cn=" + name + "," + TestDirectoryServer::baseDn();
}

class ModelFailureBackgroundServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        model->setPreferences(ldapmodel::Preferences());
        modeltest::pointAtServer(*model, server());
        ASSERT_EQ(model->connect(false), 0);
        tree = new RecordingObserver();
        progress = new RecordingObserver();
        model->setTreeObserver(tree);
        model->setProgressObserver(progress);
        modeltest::mainObserver()->clear();
        // Refused records go to LDIFError.txt in the working directory.
        directory = scratch.emplace("dirlook-failure").path();
        ASSERT_FALSE(directory.empty());
        boxes.clear();
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
        model->setPreferences(ldapmodel::Preferences());
        model->setTreeObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->waitBackground();  // drops the retired observers
        scratch.reset();
    }

    static TestDirectoryServer& server() { return TestDirectoryServer::shared(); }

    std::vector<int> lostNotifications() const
    {
        std::vector<int> kinds = modeltest::mainObserver()->kinds();
        kinds.erase(std::remove_if(kinds.begin(), kinds.end(),
                                   [](int kind) { return kind != ldapmodel::MODEL_UPDATE_CONNECTION_LOST; }),
                    kinds.end());
        return kinds;
    }

    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    gc_ptr<RecordingObserver> tree;
    gc_ptr<RecordingObserver> progress;
    std::optional<dirtest::ScratchWorkingDirectory> scratch;
    std::filesystem::path directory;
};

TEST_F(ModelFailureBackgroundServerTest, StopWithTheServerFrozenBeforeTheFirstReadReturnsWithinASecond)
{
    const std::wstring groups = wide(sample::kGroupsDn);
    ASSERT_EQ(model->findCachedEntry(groups).getObject(), nullptr);
    {
        FrozenServer frozen(server());
        ASSERT_TRUE(frozen.frozen());
        const pid_t pid = dirtest::serverPid(server());
        Watchdog thaw(std::chrono::seconds(5), [pid] { ::kill(pid, SIGCONT); });
        // The worker first reads the parent entry, which the server never sends.
        EXPECT_EQ(model->readChildren(groups), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(model->isRunning());
        const Clock::time_point start = Clock::now();
        model->requestStop();
        model->stopBackground();
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_FALSE(model->isRunning());
        EXPECT_EQ(progress->finishedCount(), 1);
        EXPECT_TRUE(tree->found().empty());
    }
    // The requests were abandoned; the connection is still good.
    EXPECT_TRUE(model->isConnected());
    EXPECT_TRUE(model->entryExists(groups));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelFailureBackgroundServerTest, FifoAsImportFileIsRefusedAtOnce)
{
    const std::filesystem::path fifo = directory / "pipe.ldif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Should the import open the FIFO, a writer that comes and goes lets the
    // open return.
    Watchdog writer(std::chrono::seconds(3), [fifo] {
        const int end = ::open(fifo.c_str(), O_RDWR);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(end);
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(model->importLdif(fifo.wstring()), -1);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_LT(secondsSince(start), 1.0);
    const std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Import ldif file");
    EXPECT_EQ(shown[0].text,
              L"Can't open the file\n" + fifo.wstring() + L"\nOnly a regular file can be imported.");
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_EQ(progress->steps(), 0);
}

TEST_F(ModelFailureBackgroundServerTest, HugeValueImportKeepsTheRecordInTheErrorFile)
{
    // The server closes the connection of a request above its incoming limit
    // (4 MB) while it is being written.
    const std::string huge(50u << 20, 'x');
    dirtest::writeFile(directory / "huge.ldif",
                       deviceRecord("hugebefore") + deviceRecord("huge", huge) + deviceRecord("hugeafter"));
    EXPECT_EQ(model->importLdif((directory / "huge.ldif").wstring()), 0);
    ASSERT_TRUE(progress->waitFinished(1, std::chrono::seconds(120)));
    model->waitBackground();

    EXPECT_TRUE(server().entryExists(deviceDn("hugebefore")));
    EXPECT_FALSE(server().entryExists(deviceDn("huge")));
    EXPECT_FALSE(server().entryExists(deviceDn("hugeafter")));
    // The refused record and the one the lost connection kept out are in the
    // error file, as they were read.
    const std::string errors = dirtest::readFile(directory / "LDIFError.txt");
    EXPECT_NE(errors.find("dn: " + deviceDn("huge") + "\n"), std::string::npos);
    EXPECT_NE(errors.find("description: " + huge + "\n"), std::string::npos);
    EXPECT_NE(errors.find("dn: " + deviceDn("hugeafter") + "\n"), std::string::npos);
    EXPECT_EQ(errors.find("dn: " + deviceDn("hugebefore") + "\n"), std::string::npos);
    EXPECT_NE(errors.find("LDAPError 81"), std::string::npos);
    // One summary at the end names the reason.
    const ldapmodel::LdifReport report = model->getLdifReport();
    EXPECT_EQ(report.getCaption(), L"Import ldif file");
    EXPECT_NE(report.getText().find(L"LDAPError 81: "), std::wstring::npos) << report.getText();

    // The model noticed that the connection is gone.
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(lostNotifications().size(), 1u);

    std::string output;
    EXPECT_TRUE(server().runLdapmodify("dn: " + deviceDn("hugebefore") + "\nchangetype: delete\n", output))
        << output;
}

TEST_F(ModelFailureBackgroundServerTest, HugeValueSavedFromAFileFailsWithServerDown)
{
    const std::string huge(20u << 20, '\x01');
    gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue(huge.data(), huge.size());
    EXPECT_EQ(model->syn_addAttributeValue(wide(sample::kUser01Dn), value, L"jpegPhoto"), 81);
    const std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(L"Add Attribute Value. LDAPError 81: ", 0), 0u);
    EXPECT_FALSE(model->isConnected());
    EXPECT_EQ(lostNotifications().size(), 1u);
    EXPECT_TRUE(modeltest::serverValues(sample::kUser01Dn, "jpegPhoto").empty());
}

TEST_F(ModelFailureBackgroundServerTest, ServerGoneIsAnnouncedOnceAndNotConnectedAgain)
{
    const std::wstring groups = wide(sample::kGroupsDn);
    server().stop();
    EXPECT_EQ(model->getEntry(groups).getObject(), nullptr);
    ASSERT_TRUE(server().start()) << server().lastError();
    EXPECT_FALSE(model->isConnected());
    EXPECT_TRUE(model->isConnectionLost());
    EXPECT_EQ(lostNotifications(), std::vector<int>{ldapmodel::MODEL_UPDATE_CONNECTION_LOST});
    // The server is back, but nothing goes to it behind the user's back.
    EXPECT_FALSE(model->entryExists(groups));
    EXPECT_EQ(model->getEntry(groups).getObject(), nullptr);
    EXPECT_EQ(model->readChildren(groups), -1);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    EXPECT_TRUE(tree->found().empty());
    const std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(L"Read entry from server. LDAPError 81: ", 0), 0u);
    EXPECT_EQ(lostNotifications().size(), 1u);

    // Dropped and connected again, the model works as before.
    model->disconnect();
    EXPECT_FALSE(model->isConnectionLost());
    ASSERT_EQ(model->connect(false), 0);
    EXPECT_NE(model->getEntry(groups).getObject(), nullptr);
}

TEST_F(ModelFailureBackgroundServerTest, PauseBetweenResultsComesFromThePreferences)
{
    const std::wstring groups = wide(sample::kGroupsDn);
    ASSERT_NE(model->getEntry(groups).getObject(), nullptr);
    ldapmodel::Preferences preferences;
    preferences.resultPauseMilliseconds = 150;
    model->setPreferences(preferences);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(model->readChildren(groups), 0);
    ASSERT_TRUE(progress->waitFinished());
    model->waitBackground();
    // Four children and the final result, each followed by the pause.
    EXPECT_GE(secondsSince(start), 0.7);
    EXPECT_EQ(tree->found().size(), static_cast<std::size_t>(sample::kGroupsChildCount));
}

} // namespace
