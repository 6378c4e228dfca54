#include "wizard/CWizardCreateEntry.h"

#include "logging/Log.h"
#include "logging/Trace.h"
#include "services/DialogService.h"
#include "wizard/CWizardCreateEntryClasses.h"
#include "wizard/CWizardCreateEntryEdit.h"

CWizardCreateEntry::CWizardCreateEntry(QWidget* parent)
    : QWizard(parent)
{
    createPages();
}

CWizardCreateEntry::CWizardCreateEntry(const std::wstring& parentDN, QWidget* parent)
    : QWizard(parent)
{
    createPages();
    setParentDN(parentDN);
}

CWizardCreateEntry::~CWizardCreateEntry() = default;

void CWizardCreateEntry::createPages()
{
    setWindowTitle(QStringLiteral("Create New Entry"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    m_pClassesPage = new CWizardCreateEntryClasses(this);
    m_pEditPage = new CWizardCreateEntryEdit(this);
    setPage(ClassesPageId, m_pClassesPage);
    setPage(EditPageId, m_pEditPage);
    setStartId(ClassesPageId);
}

void CWizardCreateEntry::setParentDN(const std::wstring& parentDN)
{
    m_strParentDN = parentDN;
    m_strParentDNText = parentDN;
}

int CWizardCreateEntry::run()
{
    util::TraceScope trace(L"CWizardCreateEntry::run");
    util::Log::getLog(L"ldaptree")->write(L"CWizardCreateEntry::run parent %s", m_strParentDN.c_str());
    m_strNewRDN.clear();
    m_bEntryCreated = false;
    m_listChosenClasses.clear();
    m_strParentDNText = m_strParentDN;
    // Page 1 is filled here, so the wizard is ready before it is shown.
    restart();
    return ui::dialogs().exec(*this);
}

std::wstring CWizardCreateEntry::getNewDN() const
{
    if (m_strNewRDN.empty())
        return std::wstring();
    return m_strNewRDN + L"," + m_strParentDNText;
}

void CWizardCreateEntry::setFinished(const std::wstring& rdn, bool created)
{
    m_strNewRDN = rdn;
    m_bEntryCreated = created;
}
