#pragma once

// A shown main window connected to the shared test server as its
// administrator, with a scratch subtree of the test's own and helpers that
// change the directory through a second connection.

#include "frame/CMainFrame.h"
#include "handles/gc_ptr.h"
#include "model/Model.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class TreeControlView;

namespace dirtest {

// Applies LDIF change records through ldapmodify; a failure is a test failure.
bool ldapModify(const std::string& ldif);
// Deletes dn and everything below it; false when there is nothing to delete.
bool deleteTree(const std::string& dn);
// Points model at the shared test server's base entry with the
// administrator bind.
void useTestServerAsAdmin(ldapmodel::Model& model);

class MainFrameFixture : public ::testing::Test {
protected:
    // Deletes the scratch subtree and drops the connection left behind.
    static void tearDownScratch(const std::string& scratch);

    // Points the model at the test server's base entry with the
    // administrator bind, shows a new main window and connects.
    void SetUp() override;
    void TearDown() override;

    TreeControlView* tree() const;
    // Clicks the nodes from the base entry down to dn, opening each.
    void open(const std::wstring& dn);
    // The labels of the tree's children of dn; empty when it has no node.
    QStringList childLabels(const std::string& dn) const;

    memorylib::gc_ptr<ldapmodel::Model> m_model;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace dirtest
