#include "wizard/CWizardCreateEntryClasses.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "schema/LDAPSchema.h"
#include "utilities/MessageBox.h"
#include "wizard/CWizardCreateEntry.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

using ldapmodel::LDAPSchema;
using ldapmodel::Model;
using memorylib::gc_ptr;

CWizardCreateEntryClasses::CWizardCreateEntryClasses(CWizardCreateEntry* wizard)
    : QWizardPage(wizard)
    , m_pWizard(wizard)
{
    setTitle(QStringLiteral("Create New Entry Wizard Page 1/2"));

    m_pParentDN = new QLineEdit(this);
    m_pSchemaList = new QListWidget(this);
    m_pChosenList = new QListWidget(this);
    m_pSchemaList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pChosenList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pAddButton = new QPushButton(QStringLiteral("&Add Class >>"), this);
    m_pRemoveButton = new QPushButton(QStringLiteral("<< &Remove Class"), this);
    m_pAddButton->setAutoDefault(false);
    m_pRemoveButton->setAutoDefault(false);

    auto* parentLabel = new QLabel(QStringLiteral("Parent DN"), this);
    parentLabel->setBuddy(m_pParentDN);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pAddButton);
    buttons->addWidget(m_pRemoveButton);
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addWidget(parentLabel, 0, 0, 1, 3);
    layout->addWidget(m_pParentDN, 1, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("Schema Object Classes"), this), 2, 0);
    layout->addWidget(new QLabel(QStringLiteral("New Entry Object Classes"), this), 2, 2);
    layout->addWidget(m_pSchemaList, 3, 0);
    layout->addLayout(buttons, 3, 1);
    layout->addWidget(m_pChosenList, 3, 2);

    connect(m_pSchemaList, &QListWidget::currentTextChanged, this, [this](const QString& text) {
        if (!m_bRedrawing)
            m_strSelectedSchemaClass = text.toStdWString();
    });
    connect(m_pChosenList, &QListWidget::currentTextChanged, this, [this](const QString& text) {
        if (!m_bRedrawing)
            m_strSelectedChosenClass = text.toStdWString();
    });
    connect(m_pAddButton, &QPushButton::clicked, this, [this]() { OnAddClass(); });
    connect(m_pRemoveButton, &QPushButton::clicked, this, [this]() { OnRemoveClass(); });
}

CWizardCreateEntryClasses::~CWizardCreateEntryClasses() = default;

void CWizardCreateEntryClasses::initializePage()
{
    util::TraceScope trace(L"CWizardCreateEntryClasses::initializePage");
    DIRLOOK_GUARD(L"WizardCreateEntryClasses");
    m_listSchemaClasses.clear();
    m_schemaOrder.clear();
    m_listChosenClasses = m_pWizard->getChosenClasses();

    std::vector<std::wstring> schemaNames;
    gc_ptr<Model> model = Model::getInstance();
    gc_ptr<LDAPSchema> schema = model.getObject() != nullptr ? model->getSchema() : gc_ptr<LDAPSchema>();
    if (schema.getObject() != nullptr)
        schema->getObjectClassNames(schemaNames);

    const std::unordered_set<std::wstring> chosen(m_listChosenClasses.begin(), m_listChosenClasses.end());
    m_listSchemaClasses.reserve(schemaNames.size());
    for (std::size_t i = 0; i < schemaNames.size(); ++i) {
        m_schemaOrder.emplace(schemaNames[i], i);
        if (chosen.count(schemaNames[i]) == 0)
            m_listSchemaClasses.push_back(schemaNames[i]);
    }
    m_pParentDN->setText(QString::fromStdWString(m_pWizard->getParentDNText()));
    redrawLists();
    util::Log::getLog(L"ldaptree")->write(L"CWizardCreateEntryClasses::initializePage %d classes",
                                          static_cast<int>(schemaNames.size()));
}

void CWizardCreateEntryClasses::fillList(QListWidget& list, const std::vector<std::wstring>& names)
{
    list.clear();
    for (const std::wstring& name : names)
        list.addItem(QString::fromStdWString(name));
}

void CWizardCreateEntryClasses::redrawLists()
{
    m_bRedrawing = true;
    fillList(*m_pSchemaList, m_listSchemaClasses);
    fillList(*m_pChosenList, m_listChosenClasses);
    m_pSchemaList->setCurrentRow(-1);
    m_pChosenList->setCurrentRow(-1);
    m_bRedrawing = false;
    // A remembered name would otherwise be moved a second time.
    m_strSelectedSchemaClass.clear();
    m_strSelectedChosenClass.clear();
}

void CWizardCreateEntryClasses::returnToSchemaList(const std::wstring& name)
{
    auto known = m_schemaOrder.find(name);
    if (known == m_schemaOrder.end()) {
        m_listSchemaClasses.push_back(name);
        return;
    }
    const std::size_t position = known->second;
    auto before = std::find_if(m_listSchemaClasses.begin(), m_listSchemaClasses.end(),
                               [this, position](const std::wstring& other) {
                                   auto found = m_schemaOrder.find(other);
                                   return found != m_schemaOrder.end() && found->second > position;
                               });
    m_listSchemaClasses.insert(before, name);
}

int CWizardCreateEntryClasses::OnAddClass()
{
    util::TraceScope trace(L"CWizardCreateEntryClasses::OnAddClass");
    DIRLOOK_GUARD(L"WizardCreateEntryClasses");
    auto selected = std::find(m_listSchemaClasses.begin(), m_listSchemaClasses.end(), m_strSelectedSchemaClass);
    if (m_strSelectedSchemaClass.empty() || selected == m_listSchemaClasses.end()) {
        util::messageBox(L"Warning", L"Select an object class above, first", util::BoxIcon::Warning,
                         util::BoxButtons::OkCancel);
        return -1;
    }
    const std::wstring name = *selected;
    m_listSchemaClasses.erase(selected);
    m_listChosenClasses.push_back(name);
    redrawLists();
    return 0;
}

int CWizardCreateEntryClasses::OnRemoveClass()
{
    util::TraceScope trace(L"CWizardCreateEntryClasses::OnRemoveClass");
    DIRLOOK_GUARD(L"WizardCreateEntryClasses");
    auto selected = std::find(m_listChosenClasses.begin(), m_listChosenClasses.end(), m_strSelectedChosenClass);
    if (m_strSelectedChosenClass.empty() || selected == m_listChosenClasses.end()) {
        util::messageBox(L"Warning", L"Select an object class above, first", util::BoxIcon::Warning,
                         util::BoxButtons::OkCancel);
        return -1;
    }
    const std::wstring name = *selected;
    m_listChosenClasses.erase(selected);
    returnToSchemaList(name);
    redrawLists();
    return 0;
}

bool CWizardCreateEntryClasses::validatePage()
{
    util::TraceScope trace(L"CWizardCreateEntryClasses::validatePage");
    DIRLOOK_GUARD(L"WizardCreateEntryClasses");
    if (m_listChosenClasses.empty()) {
        util::messageBox(L"No classes selected",
                         L"Please select at least one nonabstract class\nfrom the object classes list on the left",
                         util::BoxIcon::Error, util::BoxButtons::Ok);
        return false;
    }
    m_pWizard->setChosenClasses(m_listChosenClasses);
    m_pWizard->setParentDNText(m_pParentDN->text().toStdWString());
    return true;
}
