// Start-up as the desktop and the command line drive it: the options, the
// base-directory rule, connecting to a named profile, where help is found
// and the window placement kept between runs.

#include "dialogs/CDialogConnection.h"
#include "frame/CHelpWindow.h"
#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "profiles/Directories.h"
#include "services/Settings.h"
#include "startup/CommandLine.h"
#include "startup/Startup.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QSettings>
#include <QSplitter>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;
using ldapmodel::Directories;
using Outcome = ui::CommandLine::Outcome;
using Rule = ldapmodel::Directories::BaseRule;

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

ui::CommandLine commandLine(QStringList arguments)
{
    arguments.prepend(QStringLiteral("dirlook"));
    return ui::CommandLine(arguments);
}

// The profile names the connection chooser lists now.
QStringList chooserProfiles()
{
    CDialogConnection chooser;
    return dirtest::columnTexts(*chooser.getList(), 0);
}

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(CommandLineTest, ReadsTheOptionsAndRefusesWhatItCannotUse)
{
    struct Case {
        QStringList arguments;
        Outcome outcome;
        Rule rule;
        QString base;
        QString connect;
        QString textPart;
    };
    const Case cases[] = {
        {{}, Outcome::Run, Rule::Automatic, "", "", ""},
        {{"--connect", "Demo"}, Outcome::Run, Rule::Automatic, "", "Demo", ""},
        {{"--connect=My Server"}, Outcome::Run, Rule::Automatic, "", "My Server", ""},
        {{"--base-directory", "/srv/ldap", "--connect", "Demo"}, Outcome::Run, Rule::Requested,
         "/srv/ldap", "Demo", ""},
        {{"--user-data"}, Outcome::Run, Rule::UserData, "", "", ""},
        {{"--version"}, Outcome::ShowVersion, Rule::Automatic, "", "",
         "Dirlook " DIRLOOK_VERSION "\n"},
        {{"-v"}, Outcome::ShowVersion, Rule::Automatic, "", "", "Dirlook " DIRLOOK_VERSION "\n"},
        {{"--help"}, Outcome::ShowHelp, Rule::Automatic, "", "", "--base-directory <directory>"},
        {{"-h"}, Outcome::ShowHelp, Rule::Automatic, "", "", "--connect <name>"},
        {{"--bogus"}, Outcome::Error, Rule::Automatic, "", "", "dirlook: Unknown option 'bogus'."},
        {{"--connect"}, Outcome::Error, Rule::Automatic, "", "", "Missing value after '--connect'."},
        {{"--connect", ""}, Outcome::Error, Rule::Automatic, "", "", "--connect needs a profile name."},
        {{"stray"}, Outcome::Error, Rule::Automatic, "", "", "unexpected argument 'stray'"},
        {{"--base-directory", "/srv", "--user-data"}, Outcome::Error, Rule::Automatic, "", "",
         "exclude each other"},
    };
    for (const Case& c : cases) {
        const ui::CommandLine line = commandLine(c.arguments);
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(line.outcome(), c.outcome);
        EXPECT_EQ(line.baseRule(), c.rule);
        EXPECT_EQ(line.baseDirectory(), c.base);
        EXPECT_EQ(line.connectName(), c.connect);
        EXPECT_TRUE(line.text().contains(c.textPart)) << line.text().toStdString();
        if (c.outcome == Outcome::Error) {
            EXPECT_TRUE(line.text().endsWith(
                QStringLiteral("Try 'dirlook --help' for more information.\n")));
        }
    }
}

// Each case starts in a scratch folder of its own, with XDG_DATA_HOME
// pointing into it, and restores the working directory, the variable and
// the program's directories afterwards.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = util::toUtf8(Directories::currentWorkingDirectory());
        char pattern[] = "/tmp/dirlook-startup-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        ::setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    }

    void TearDown() override
    {
        auto model = ldapmodel::Model::getInstance();
        if (model->isConnected())
            model->disconnect();
        m_frame.reset();
        QCoreApplication::processEvents();
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        EXPECT_TRUE(Directories::changeWorkingDirectory(util::fromUtf8(m_previous)));
        Directories::setInstalledHelpDirectory(std::wstring());
        Directories::initialize();
        std::filesystem::remove_all(m_root);
    }

    // A folder under the scratch root, with a connections folder holding
    // profiles of the given names when any are given.
    std::string folder(const std::string& name, const QStringList& profiles = {}) const
    {
        const std::string path = m_root + "/" + name;
        std::filesystem::create_directories(path);
        if (!profiles.isEmpty())
            std::filesystem::create_directories(path + "/connections");
        for (const QString& profile : profiles)
            EXPECT_TRUE(dirtest::writeProfile(path + "/connections",
                                              dirtest::adminProfile(profile.toStdWString())));
        return path;
    }

    // Starts as main does: from working with arguments.
    bool start(const std::string& working, const QStringList& arguments, QString& error)
    {
        EXPECT_TRUE(Directories::changeWorkingDirectory(util::fromUtf8(working)));
        return ui::Startup::setUpDirectories(commandLine(arguments), error);
    }

    std::string base() const { return util::toUtf8(Directories::getBaseDirectory()); }
    std::string working() const { return util::toUtf8(Directories::currentWorkingDirectory()); }

    QString expectedTitle(const QString& name) const
    {
        const auto& server = TestDirectoryServer::shared();
        return QStringLiteral("Dirlook: ") + name + QStringLiteral(" ") + q(server.host())
               + QStringLiteral("/") + QString::number(server.port()) + QStringLiteral("/")
               + q(TestDirectoryServer::adminDn());
    }

    std::string m_previous;
    std::string m_root;
    std::optional<std::string> m_oldDataHome;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(StartupTest, AWorkingDirectoryWithAConnectionsFolderIsTheBase)
{
    const std::string here = folder("here", {"Here"});
    QString error;
    ASSERT_TRUE(start(here, {}, error)) << error.toStdString();
    EXPECT_EQ(base(), here);
    EXPECT_EQ(working(), here);
    EXPECT_EQ(chooserProfiles(), QStringList{QStringLiteral("Here")});
    EXPECT_FALSE(dirtest::fileExists(m_root + "/data/dirlook"));
}

TEST_F(StartupTest, BaseDirectoryOptionNamesTheBaseWhateverTheWorkingDirectoryHolds)
{
    const std::string here = folder("here", {"Here"});
    const std::string there = folder("there", {"There"});
    QString error;
    // Relative to the working directory, as a shell user types it.
    ASSERT_TRUE(start(here, {"--base-directory", "../there"}, error)) << error.toStdString();
    EXPECT_EQ(QDir::cleanPath(q(base())), q(there));
    EXPECT_EQ(working(), there);
    EXPECT_EQ(chooserProfiles(), QStringList{QStringLiteral("There")});

    // A folder without profiles yet is a base all the same.
    const std::string empty = folder("empty");
    ASSERT_TRUE(start(here, {"--base-directory", q(empty)}, error));
    EXPECT_EQ(base(), empty);
    EXPECT_EQ(chooserProfiles(), QStringList());

    EXPECT_FALSE(start(here, {"--base-directory", q(m_root + "/missing")}, error));
    EXPECT_EQ(error, q("dirlook: " + m_root + "/missing: no such directory.\n"));
}

TEST_F(StartupTest, ElsewhereTheUserDataDirectoryIsTheBaseCreatedForTheOwnerOnly)
{
    const std::string data = m_root + "/data/dirlook";
    const std::string nowhere = folder("nowhere");
    QString error;
    ASSERT_TRUE(start(nowhere, {}, error));
    EXPECT_EQ(base(), data);
    EXPECT_EQ(working(), data);
    EXPECT_EQ(modeOf(data), 0700u);
    EXPECT_EQ(util::toUtf8(Directories::getConnectionsDirectory()), data + "/connections");
    EXPECT_EQ(util::toUtf8(Directories::getConfigDirectory()), data + "/config");
    EXPECT_EQ(chooserProfiles(), QStringList());

    // Profiles saved there are found at the next start, from anywhere.
    Directories::ensureConnectionsDirectory();
    ASSERT_TRUE(dirtest::writeProfile(data + "/connections", dirtest::adminProfile(L"Saved")));
    ASSERT_TRUE(start(folder("elsewhere"), {}, error));
    EXPECT_EQ(chooserProfiles(), QStringList{QStringLiteral("Saved")});

    // The desktop entry's start ignores a connections folder where it starts.
    ASSERT_TRUE(start(folder("home", {"Home"}), {"--user-data"}, error));
    EXPECT_EQ(base(), data);
    EXPECT_EQ(chooserProfiles(), QStringList{QStringLiteral("Saved")});
}

TEST_F(StartupTest, ConnectOptionConnectsWithTheProfileAndSetsTheTitle)
{
    const std::string here = folder("here", {"Lab"});
    const ui::CommandLine line = commandLine({"--connect", "Lab"});
    QString error;
    ASSERT_TRUE(start(here, {"--connect", "Lab"}, error));
    m_frame = std::make_unique<CMainFrame>();
    ui::Startup::showMainWindow(*m_frame, line);
    EXPECT_TRUE(m_frame->isVisible());
    ASSERT_TRUE(dirtest::waitFor([this]() { return m_frame->windowTitle() != QStringLiteral("Dirlook"); }));
    EXPECT_EQ(m_frame->windowTitle(), expectedTitle(QStringLiteral("Lab")));
    EXPECT_TRUE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_NE(m_frame->getTreeView()->findNode(util::fromUtf8(TestDirectoryServer::baseDn())), nullptr);
    // No chooser was shown.
    EXPECT_TRUE(m_dialogs.dialogClasses().empty());
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(StartupTest, ConnectOptionReportsAnUnknownProfileAsTheChooserWould)
{
    const std::string here = folder("here", {"Lab"});
    QString error;
    ASSERT_TRUE(start(here, {}, error));
    m_frame = std::make_unique<CMainFrame>();
    ui::Startup::showMainWindow(*m_frame, commandLine({"--connect", "lab"}));
    ASSERT_TRUE(dirtest::waitFor([this]() { return !m_boxes.boxes().empty(); }));
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Warning");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Please select a connection");
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook"));
    EXPECT_FALSE(ldapmodel::Model::getInstance()->isConnected());

    // A server that does not answer: the model's own report, as after the chooser.
    dirtest::Profile closed = dirtest::adminProfile(L"Closed");
    closed.port = 1;
    ASSERT_TRUE(dirtest::writeProfile(here + "/connections", closed));
    m_boxes.clear();
    EXPECT_EQ(m_frame->connectToProfile(L"Closed"), -1);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook: Not connected"));
    EXPECT_FALSE(m_boxes.boxes().empty());
}

TEST_F(StartupTest, HelpIsLookedUpInTheBaseFirstThenInTheInstalledCopy)
{
    const std::string here = folder("here", {"Here"});
    const std::string installed = folder("share/dirlook/Help");
    ASSERT_TRUE(dirtest::writeBytes(installed + "/Dirlook.html",
                                    "<html><body><h1>Installed help</h1></body></html>"));
    QString error;
    ASSERT_TRUE(start(here, {}, error));
    Directories::setInstalledHelpDirectory(util::fromUtf8(installed));
    m_frame = std::make_unique<CMainFrame>();

    m_frame->OnHelpContents();
    CHelpWindow* window = CHelpWindow::windowOf(m_frame.get());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->getBrowser()->toPlainText().contains(QStringLiteral("Installed help")));

    std::filesystem::create_directories(here + "/Help");
    ASSERT_TRUE(dirtest::writeBytes(here + "/Help/Dirlook.html",
                                    "<html><body><h1>The base's own help</h1></body></html>"));
    m_frame->OnHelpContents();
    EXPECT_TRUE(window->getBrowser()->toPlainText().contains(QStringLiteral("The base's own help")));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

// ---- window placement ------------------------------------------------------------

class WindowPlacementTest : public StartupTest {
protected:
    void SetUp() override
    {
        StartupTest::SetUp();
        ui::openSettings()->remove(QStringLiteral("MainWindow"));
    }
    void TearDown() override
    {
        ui::openSettings()->remove(QStringLiteral("MainWindow"));
        StartupTest::TearDown();
    }
};

TEST_F(WindowPlacementTest, TheNextStartRestoresSizeAndSplittersOfTheLastWindowClosed)
{
    m_frame = std::make_unique<CMainFrame>();
    m_frame->show();
    QCoreApplication::processEvents();
    // A first start is laid out as designed.
    const QList<int> first = m_frame->getMainSplitter()->sizes();
    EXPECT_NEAR(double(first[0]) / (first[0] + first[1]), 1 / 3.5, 0.02);

    m_frame->resize(640, 480);
    QCoreApplication::processEvents();
    m_frame->getMainSplitter()->setSizes({400, 240});
    m_frame->getRightSplitter()->setSizes({100, 300});
    const QList<int> columns = m_frame->getMainSplitter()->sizes();
    const QList<int> rows = m_frame->getRightSplitter()->sizes();
    m_frame->close();
    m_frame.reset();

    m_frame = std::make_unique<CMainFrame>();
    EXPECT_EQ(m_frame->size(), QSize(640, 480));
    m_frame->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame->size(), QSize(640, 480));
    EXPECT_EQ(m_frame->getMainSplitter()->sizes(), columns);
    EXPECT_EQ(m_frame->getRightSplitter()->sizes(), rows);

    // The settings file keeps them in a group of their own.
    const auto settings = ui::openSettings();
    EXPECT_TRUE(settings->contains(QStringLiteral("MainWindow/geometry")));
    EXPECT_TRUE(settings->contains(QStringLiteral("MainWindow/splitter.MainSplitter")));
    EXPECT_TRUE(settings->contains(QStringLiteral("MainWindow/splitter.RightSplitter")));
}

} // namespace
