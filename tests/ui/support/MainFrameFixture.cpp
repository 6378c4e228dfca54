#include "ui/support/MainFrameFixture.h"

#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"
#include "views/TreeControlView.h"

#include <QCoreApplication>
#include <QTreeWidgetItem>

#include <vector>

namespace dirtest {

bool ldapModify(const std::string& ldif)
{
    std::string output;
    const bool done = TestDirectoryServer::shared().runLdapmodify(ldif, output);
    EXPECT_TRUE(done) << output;
    return done;
}

bool deleteTree(const std::string& dn)
{
    std::string output;
    const TestDirectoryServer& server = TestDirectoryServer::shared();
    return TestDirectoryServer::runProcess({"ldapdelete", "-x", "-r", "-H", server.uri(), "-D",
                                            TestDirectoryServer::adminDn(), "-w",
                                            TestDirectoryServer::adminPassword(), dn},
                                           "", output)
           == 0;
}

void useTestServerAsAdmin(ldapmodel::Model& model)
{
    const TestDirectoryServer& server = TestDirectoryServer::shared();
    model.setHost(util::fromUtf8(server.host()));
    model.setPort(server.port());
    model.setBaseDN(util::fromUtf8(sample::kBaseDn));
    model.setBindDN(util::fromUtf8(TestDirectoryServer::adminDn()));
    model.setPassword(util::fromUtf8(TestDirectoryServer::adminPassword()));
}

void MainFrameFixture::tearDownScratch(const std::string& scratch)
{
    deleteTree(scratch);
    if (ldapmodel::Model::instance().isConnected())
        ldapmodel::Model::instance().disconnect();
}

void MainFrameFixture::SetUp()
{
    m_model = ldapmodel::Model::getInstance();
    useTestServerAsAdmin(*m_model);
    m_model->setFilter(L"objectclass=*");
    m_frame = std::make_unique<CMainFrame>();
    m_frame->show();
    // Connecting fills the tree through the frame.
    ASSERT_EQ(m_model->connect(false), 0);
}

void MainFrameFixture::TearDown()
{
    m_model->waitBackground();
    m_model->disconnect();
    m_frame.reset();
    QCoreApplication::processEvents();
}

TreeControlView* MainFrameFixture::tree() const { return m_frame->getTreeView(); }

void MainFrameFixture::open(const std::wstring& dn)
{
    const std::wstring base = util::fromUtf8(sample::kBaseDn);
    std::vector<std::wstring> chain;
    for (std::wstring current = dn;;) {
        chain.insert(chain.begin(), current);
        if (current == base)
            break;
        current = CMainFrame::parentDNOf(current);
        ASSERT_FALSE(current.empty());
    }
    for (const std::wstring& step : chain) {
        QTreeWidgetItem* node = tree()->findNode(step);
        ASSERT_NE(node, nullptr) << util::toUtf8(step);
        tree()->clickNode(node);
    }
    ASSERT_EQ(m_model->getActiveEntryDN(), dn);
}

QStringList MainFrameFixture::childLabels(const std::string& dn) const
{
    QStringList labels;
    if (QTreeWidgetItem* node = tree()->findNode(util::fromUtf8(dn))) {
        for (int i = 0; i < node->childCount(); ++i)
            labels << node->child(i)->text(0);
    }
    return labels;
}

} // namespace dirtest
