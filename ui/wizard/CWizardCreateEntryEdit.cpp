#include "wizard/CWizardCreateEntryEdit.h"

#include "dialogs/CDialogEditInfo.h"
#include "dialogs/CDialogModifyValue.h"
#include "faults/FaultGuard.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPSchema.h"
#include "schema/ValueKind.h"
#include "services/DialogService.h"
#include "utilities/MessageBox.h"
#include "views/CGridControl.h"
#include "wizard/CWizardCreateEntry.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <unordered_set>

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPSchema;
using ldapmodel::Model;
using memorylib::gc_ptr;

namespace {

const wchar_t kObjectClass[] = L"objectclass";

gc_ptr<LDAPSchema> currentSchema()
{
    gc_ptr<Model> model = Model::getInstance();
    if (model.getObject() == nullptr)
        return gc_ptr<LDAPSchema>();
    return model->getSchema();
}

std::wstring lowered(const std::wstring& text)
{
    std::wstring result(text);
    for (wchar_t& c : result) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return result;
}

} // namespace

const QString& CWizardCreateEntryEdit::binaryNotice()
{
    static const QString notice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");
    return notice;
}

CWizardCreateEntryEdit::CWizardCreateEntryEdit(CWizardCreateEntry* wizard)
    : QWizardPage(wizard)
    , m_pWizard(wizard)
{
    setTitle(QStringLiteral("Create New Entry Wizard Page 2/2"));

    m_pParentDN = new QLineEdit(this);
    m_pParentDN->setReadOnly(true);
    m_pRdn = new QLineEdit(this);
    m_pRdn->setPlaceholderText(QStringLiteral("cn=smith"));
    m_pList = new CGridControl(this);
    // Columns go in at the front: the value column first.
    m_pList->insertColumn(QStringLiteral("Value"), 260);
    m_pList->insertColumn(QStringLiteral("Attribute Name"), 160);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);

    m_pMenu = new QMenu(QStringLiteral("&Create"), this);
    m_pEditValueAction = m_pMenu->addAction(QStringLiteral("&Edit Value"));
    connect(m_pEditValueAction, &QAction::triggered, this, [this]() { OnEditValue(); });
    connect(m_pList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { showContextMenu(position); });

    auto* parentLabel = new QLabel(QStringLiteral("Parent DN"), this);
    parentLabel->setBuddy(m_pParentDN);
    auto* rdnLabel = new QLabel(QStringLiteral("RDN"), this);
    rdnLabel->setBuddy(m_pRdn);
    auto* layout = new QGridLayout(this);
    layout->addWidget(parentLabel, 0, 0);
    layout->addWidget(m_pParentDN, 0, 1);
    layout->addWidget(rdnLabel, 1, 0);
    layout->addWidget(m_pRdn, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Edit Attributes"), this), 2, 0, 1, 2);
    layout->addWidget(m_pList, 3, 0, 1, 2);
}

CWizardCreateEntryEdit::~CWizardCreateEntryEdit() = default;

void CWizardCreateEntryEdit::initializePage()
{
    util::TraceScope trace(L"CWizardCreateEntryEdit::initializePage");
    DIRLOOK_GUARD(L"WizardCreateEntryEdit");
    m_pParentDN->setText(QString::fromStdWString(m_pWizard->getParentDNText()));
    buildAttributes();
    fillList();
}

void CWizardCreateEntryEdit::cleanupPage()
{
}

void CWizardCreateEntryEdit::buildAttributes()
{
    m_listMust.clear();
    m_listMay.clear();
    m_listAttributes.clear();
    m_pObjectClass = gc_ptr<LDAPAttribute>();

    gc_ptr<LDAPSchema> schema = currentSchema();
    const std::vector<std::wstring>& classes = m_pWizard->getChosenClasses();
    if (schema.getObject() != nullptr) {
        // A class's own lists leave out what its superiors require or allow
        // (inetOrgPerson's cn and sn come from person).
        for (const std::wstring& name : classes)
            schema->collectClassAttributes(name, m_listMust, m_listMay);
    }

    m_pObjectClass = new LDAPAttribute(kObjectClass, ldapmodel::getValueKindOfAttribute(kObjectClass));
    m_pObjectClass->setState(LDAPAttribute::ATTRIBUTE_NEW);
    for (const std::wstring& name : classes)
        m_pObjectClass->addValue(new LDAPAttributeValue(name));

    // A name named by several classes, or as both MUST and MAY, gets one
    // record; objectclass has its own.
    std::unordered_set<std::wstring> seen{kObjectClass};
    auto addRecord = [this, &seen, &schema](const std::wstring& name) {
        if (name.empty() || !seen.insert(lowered(name)).second)
            return;
        const std::int32_t kind = schema.getObject() != nullptr ? schema->getValueKindOfAttribute(name)
                                                                : ldapmodel::VALUEKIND_UNKNOWN;
        gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(name, kind);
        attribute->setState(LDAPAttribute::ATTRIBUTE_NEW);
        m_listAttributes.push_back(attribute);
    };
    for (const std::wstring& name : m_listMust)
        addRecord(name);
    for (const std::wstring& name : m_listMay)
        addRecord(name);
    util::Log::getLog(L"ldaptree")->write(L"CWizardCreateEntryEdit::buildAttributes %d must, %d may, %d records",
                                          static_cast<int>(m_listMust.size()),
                                          static_cast<int>(m_listMay.size()),
                                          static_cast<int>(m_listAttributes.size()));
}

bool CWizardCreateEntryEdit::isBinaryAttribute(const std::wstring& name) const
{
    gc_ptr<LDAPSchema> schema = currentSchema();
    if (schema.getObject() == nullptr)
        return false;
    return ldapmodel::isBinaryKind(schema->getValueKindOfAttribute(name));
}

void CWizardCreateEntryEdit::addRows(const gc_ptr<LDAPAttribute>& attribute, int record)
{
    const QString name = QString::fromStdWString(attribute->getName());
    const bool binary = isBinaryAttribute(attribute->getName());
    bool anyValue = false;
    for (const gc_ptr<LDAPAttributeValue>& value : attribute->getValues()) {
        if (value.getObject() == nullptr)
            continue;
        anyValue = true;
        const int row = m_pList->setCell(m_pList->getRowCount(), 0, name);
        m_pList->setCell(row, 1, binary ? binaryNotice() : QString::fromStdWString(value->toString()));
        m_rowRecords.push_back(record);
    }
    // An attribute still without a value shows one empty row to edit.
    if (!anyValue) {
        m_pList->setCell(m_pList->getRowCount(), 0, name);
        m_rowRecords.push_back(record);
    }
}

void CWizardCreateEntryEdit::fillList()
{
    m_pList->setUpdatesEnabled(false);
    // Row by row: clearing the whole model would go through the view's reset.
    while (m_pList->topLevelItemCount() > 0)
        delete m_pList->takeTopLevelItem(m_pList->topLevelItemCount() - 1);
    m_rowRecords.clear();
    if (m_pObjectClass.getObject() != nullptr)
        addRows(m_pObjectClass, -1);
    for (std::size_t i = 0; i < m_listAttributes.size(); ++i)
        addRows(m_listAttributes[i], static_cast<int>(i));
    m_pList->setUpdatesEnabled(true);
}

gc_ptr<LDAPAttribute> CWizardCreateEntryEdit::getRowAttribute(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rowRecords.size()))
        return gc_ptr<LDAPAttribute>();
    const int record = m_rowRecords[static_cast<std::size_t>(row)];
    if (record < 0)
        return m_pObjectClass;
    return m_listAttributes[static_cast<std::size_t>(record)];
}

void CWizardCreateEntryEdit::showContextMenu(const QPoint& position)
{
    m_pMenu->popup(m_pList->viewport()->mapToGlobal(position));
}

int CWizardCreateEntryEdit::OnEditValue()
{
    util::TraceScope trace(L"CWizardCreateEntryEdit::OnEditValue");
    DIRLOOK_GUARD(L"WizardCreateEntryEdit");
    const int row = m_pList->getSelectedRowNumber();
    gc_ptr<LDAPAttribute> attribute = getRowAttribute(row);
    if (attribute.getObject() == nullptr)
        return -1;
    const std::wstring name = attribute->getName();
    if (lowered(name) == kObjectClass) {
        util::messageBox(L"Warning", L"Can't modify objectclass attribute", util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return -1;
    }

    CDialogModifyValue dialog(this);
    dialog.setAttributeName(name);
    const bool binary = isBinaryAttribute(name);
    dialog.setBinary(binary);
    // The whole value, not the cell, which shows only its beginning.
    gc_ptr<LDAPAttributeValue> current = attribute->getValue(0);
    dialog.setTextValue(!binary && current.getObject() != nullptr ? current->toString()
                                                                  : m_pList->getItemString(row, 1).toStdWString());
    dialog.setAttributeValue(current);
    if (ui::dialogs().exec(dialog) != QDialog::Accepted)
        return -1;
    gc_ptr<LDAPAttributeValue> value = dialog.getAttributeValue();
    if (value.getObject() == nullptr)
        return -1;

    // Values are never taken out of a record: a fresh one replaces it.
    const int record = m_rowRecords[static_cast<std::size_t>(row)];
    gc_ptr<LDAPAttribute> replacement = new LDAPAttribute(name, attribute->getValueKind());
    replacement->setState(LDAPAttribute::ATTRIBUTE_NEW);
    replacement->addValue(value);
    m_listAttributes[static_cast<std::size_t>(record)] = replacement;
    fillList();
    util::Log::getLog(L"ldaptree")->write(L"CWizardCreateEntryEdit::OnEditValue %s", name.c_str());
    return 0;
}

void CWizardCreateEntryEdit::showRecord(const LDAPEntry& entry)
{
    CDialogEditInfo info(this);
    info.setTitle(entry.getDN());
    info.setText(ldapmodel::LdifRecordWriter::entryRecordText(entry));
    ui::dialogs().exec(info);
}

bool CWizardCreateEntryEdit::validatePage()
{
    util::TraceScope trace(L"CWizardCreateEntryEdit::validatePage");
    DIRLOOK_GUARD(L"WizardCreateEntryEdit");
    return finish() == 0;
}

int CWizardCreateEntryEdit::finish()
{
    const std::wstring rdn = m_pRdn->text().toStdWString();
    if (rdn.empty()) {
        util::messageBox(L"Warning", L"Please enter e relative dn", util::BoxIcon::Warning,
                         util::BoxButtons::OkCancel);
        return -1;
    }

    // Records without a value are left out by the entry.
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(rdn + L"," + m_pWizard->getParentDNText());
    for (const gc_ptr<LDAPAttribute>& attribute : m_listAttributes)
        entry->addAttribute(attribute);
    entry->addAttribute(m_pObjectClass);

    util::Log::getLog(L"ldaptree")->write(L"CWizardCreateEntryEdit::finish add %s", entry->getDN().c_str());
    gc_ptr<Model> model = Model::getInstance();
    const int result = model.getObject() != nullptr ? model->syn_addEntry(entry) : -1;
    if (result == 0) {
        util::messageBox(L"Entry created", L"Entry created.", util::BoxIcon::Information, util::BoxButtons::Ok);
        m_pWizard->setFinished(rdn, true);
        showRecord(*entry);
        return 0;
    }
    const util::BoxAnswer answer =
        util::messageBox(L"LDAP Message", L"Can't create object, do you want to modify the attributes?",
                         util::BoxIcon::Question, util::BoxButtons::OkCancel);
    if (answer == util::BoxAnswer::Ok)
        return -1;
    m_pWizard->setFinished(rdn, false);
    return 0;
}
