#include "dialogs/CDialogAddAttribute.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "schema/ValueKind.h"
#include "services/DialogService.h"
#include "utilities/MessageBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;

namespace {

const QString& noDetails()
{
    static const QString text = QStringLiteral("No details");
    return text;
}

const std::wstring kBinaryMark = L"Binary";

memorylib::gc_ptr<util::Log> log()
{
    return util::Log::getLog(L"ldapmodel");
}

} // namespace

CDialogAddAttribute::CDialogAddAttribute(const gc_ptr<ldapmodel::Model>& model, QWidget* parent)
    : QDialog(parent), m_pModel(model)
{
    DIRLOOK_GUARD(L"DialogAddAttribute");
    util::TraceScope trace(L"CDialogAddAttribute::CDialogAddAttribute");
    setObjectName(QStringLiteral("DialogAddAttribute"));
    setWindowTitle(QStringLiteral("Add attribute"));
    setModal(true);

    auto* classGroup = new QGroupBox(QStringLiteral("Object Classes"), this);
    m_pObjectClassList = new QListWidget(classGroup);
    m_pAttributeTypeList = new QListWidget(classGroup);
    auto* typesCaption =
        new QLabel(QStringLiteral("Available attributes, for more, modify the schema"), classGroup);
    auto* classLayout = new QGridLayout(classGroup);
    classLayout->addWidget(typesCaption, 0, 1);
    classLayout->addWidget(m_pObjectClassList, 1, 0);
    classLayout->addWidget(m_pAttributeTypeList, 1, 1);

    const ui::SyntaxFields syntax = ui::createSyntaxFields(this);
    m_pOidEdit = syntax.oid;
    m_pDescriptionEdit = syntax.description;
    m_pLengthEdit = syntax.length;

    m_pValueCaption = new QLabel(QStringLiteral("First Value, for more, add in the active view"), this);
    m_pValueEdit = new QLineEdit(this);
    m_pValueCaption->setBuddy(m_pValueEdit);
    m_pLoadButton = new QPushButton(QStringLiteral("Load Binary value"), this);
    m_pLoadButton->setAutoDefault(false);
    m_pLanguageCaption = new QLabel(QStringLiteral("Language"), this);
    m_pLanguageEdit = new QLineEdit(this);
    m_pLanguageCaption->setBuddy(m_pLanguageEdit);
    m_pLanguageHint = new QLabel(QStringLiteral("only if required, eg: lang-en"), this);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* valueLayout = new QGridLayout;
    valueLayout->addWidget(m_pValueCaption, 0, 0, 1, 3);
    valueLayout->addWidget(m_pValueEdit, 1, 0, 1, 2);
    valueLayout->addWidget(m_pLoadButton, 1, 2);
    valueLayout->addWidget(m_pLanguageCaption, 2, 0);
    valueLayout->addWidget(m_pLanguageEdit, 2, 1);
    valueLayout->addWidget(m_pLanguageHint, 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(classGroup, 1);
    layout->addWidget(syntax.group);
    layout->addLayout(valueLayout);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 341, 224).expandedTo(sizeHint()));

    // Selections, not the current item: a list taking the focus makes its
    // first line current without anyone choosing it.
    connect(m_pObjectClassList, &QListWidget::itemSelectionChanged, this, [this]() {
        if (QListWidgetItem* item = ui::firstSelectedItem(*m_pObjectClassList))
            selectObjectClass(item->text().toStdWString());
    });
    connect(m_pAttributeTypeList, &QListWidget::itemSelectionChanged, this, [this]() {
        if (QListWidgetItem* item = ui::firstSelectedItem(*m_pAttributeTypeList))
            selectAttributeType(item->text().toStdWString());
    });
    connect(m_pLoadButton, &QPushButton::clicked, this, [this]() { OnLoadBinaryValue(); });
    connect(m_pOkButton, &QPushButton::clicked, this, &CDialogAddAttribute::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setBinaryMode(false);
    fillObjectClasses();
}

CDialogAddAttribute::~CDialogAddAttribute() = default;

void CDialogAddAttribute::fillObjectClasses()
{
    if (m_pModel.getObject() == nullptr)
        return;
    gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.getObject() == nullptr || entry->getDN().empty())
        return;
    gc_ptr<ldapmodel::LDAPAttribute> objectClasses = entry->getAttribute(L"objectclass");
    if (objectClasses.getObject() == nullptr) {
        util::messageBox(L"Active entry not valid, \r\nsearch for a valid entry",
                         L"Can't get the schema details", util::BoxIcon::None,
                         util::BoxButtons::OkCancel);
        return;
    }
    for (const gc_ptr<LDAPAttributeValue>& value : objectClasses->getValues()) {
        if (value.getObject() != nullptr)
            m_setObjectClassNames.insert(value->toString());
    }
    const QSignalBlocker blocker(m_pObjectClassList);
    for (const std::wstring& name : m_setObjectClassNames)
        m_pObjectClassList->addItem(QString::fromStdWString(name));
}

void CDialogAddAttribute::setBinaryMode(bool binary)
{
    m_pValueEdit->setVisible(!binary);
    m_pLanguageEdit->setVisible(!binary);
    m_pLoadButton->setVisible(binary);
}

void CDialogAddAttribute::selectObjectClass(const std::wstring& name)
{
    DIRLOOK_GUARD(L"DialogAddAttribute");
    util::TraceScope trace(L"CDialogAddAttribute::selectObjectClass");
    if (ldapmodel::equalsIgnoreCase(name, m_strObjectClassName))
        return;
    m_strObjectClassName = name;
    if (m_pModel.getObject() == nullptr)
        return;
    gc_ptr<ldapmodel::LDAPSchema> schema = m_pModel->getSchema();
    if (schema.getObject() == nullptr)
        return;
    gc_ptr<ldapmodel::LDAPObjectClass> objectClass = schema->findObjectClass(name);
    if (objectClass.getObject() == nullptr)
        return;
    m_listAttributeTypeNames.clear();
    objectClass->copyMayList(m_listAttributeTypeNames);
    const QSignalBlocker blocker(m_pAttributeTypeList);
    m_pAttributeTypeList->clear();
    for (const std::wstring& typeName : m_listAttributeTypeNames)
        m_pAttributeTypeList->addItem(QString::fromStdWString(typeName));
}

void CDialogAddAttribute::selectAttributeType(const std::wstring& name)
{
    DIRLOOK_GUARD(L"DialogAddAttribute");
    util::TraceScope trace(L"CDialogAddAttribute::selectAttributeType");
    if (ldapmodel::equalsIgnoreCase(name, m_strAttributeTypeName))
        return;
    m_strAttributeTypeName = name;
    if (m_pModel.getObject() == nullptr)
        return;
    gc_ptr<ldapmodel::LDAPSchema> schema = m_pModel->getSchema();
    if (schema.getObject() == nullptr)
        return;

    QString oid = noDetails();
    gc_ptr<ldapmodel::LDAPAttributeType> type = schema->findAttributeType(name);
    if (type.getObject() != nullptr) {
        m_strSyntaxOid = type->getSyntaxOid();
        m_iSyntaxLength = type->getSyntaxLength();
        oid = QString::fromStdWString(m_strSyntaxOid);
    }
    std::int32_t kind = ldapmodel::VALUEKIND_UNKNOWN;
    QString description = noDetails();
    gc_ptr<ldapmodel::LDAPSyntaxObject> syntax =
        ldapmodel::SyntaxRegistry::instance().findSyntax(oid.toStdWString());
    if (syntax.getObject() != nullptr) {
        m_strSyntaxDescription = syntax->getDescription();
        description = QString::fromStdWString(m_strSyntaxDescription);
        kind = syntax->getValueKind();
    }
    m_pOidEdit->setText(oid);
    m_pDescriptionEdit->setText(description);
    m_pLengthEdit->setText(m_iSyntaxLength > 0 ? QString::number(m_iSyntaxLength) : QString());
    setBinaryMode(ldapmodel::isBinaryKind(kind));

    // A value loaded for the type chosen before does not carry over.
    if (m_bBinaryLoaded)
        m_pValueEdit->clear();
    m_pValue = static_cast<LDAPAttributeValue*>(nullptr);
    m_bBinaryLoaded = false;
}

int CDialogAddAttribute::OnLoadBinaryValue()
{
    DIRLOOK_GUARD(L"DialogAddAttribute");
    util::TraceScope trace(L"CDialogAddAttribute::OnLoadBinaryValue");
    ui::FileDialogRequest request;
    request.filters << QStringLiteral("All Files (*.*)");
    request.kind = ui::FileDialogRequest::kValueFiles;
    std::optional<QString> path = ui::dialogs().getOpenFileName(this, request);
    if (!path) {
        m_bBinaryLoaded = false;
        return -1;
    }
    gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue();
    if (value->loadFromFile(path->toStdWString()) != 0)
        return -1;
    m_pValueEdit->setText(QString::fromStdWString(kBinaryMark));
    m_bBinaryLoaded = true;
    m_pValue = value;
    return 0;
}

void CDialogAddAttribute::accept()
{
    DIRLOOK_GUARD(L"DialogAddAttribute");
    util::TraceScope trace(L"CDialogAddAttribute::accept");
    gc_ptr<ldapmodel::LDAPSchema> schema =
        m_pModel.getObject() != nullptr ? m_pModel->getSchema() : gc_ptr<ldapmodel::LDAPSchema>();
    if (schema.getObject() == nullptr) {
        done(QDialog::Rejected);
        return;
    }
    QListWidgetItem* selected = ui::firstSelectedItem(*m_pAttributeTypeList);
    m_strAttributeTypeName = selected != nullptr ? selected->text().toStdWString() : std::wstring();
    const bool typeChosen = !m_strAttributeTypeName.empty();

    gc_ptr<LDAPAttributeValue> value;
    if (!ldapmodel::isBinaryKind(schema->getValueKindOfAttribute(m_strAttributeTypeName))) {
        m_strAttributeTextValue = m_pValueEdit->text().toStdWString();
        const std::wstring language = m_pLanguageEdit->text().toStdWString();
        if (!language.empty())
            m_strAttributeTypeName += L";" + language;
        if (!m_strAttributeTextValue.empty()) {
            if (m_strAttributeTextValue.compare(0, kBinaryMark.size(), kBinaryMark) != 0)
                value = new LDAPAttributeValue(m_strAttributeTextValue);
            else
                value = m_pValue;
        }
    } else {
        value = m_pValue;
    }
    if (value.getObject() == nullptr || !typeChosen) {
        log()->write(L"CDialogAddAttribute::accept no value, nothing added");
        done(QDialog::Rejected);
        return;
    }
    const std::wstring dn = m_pModel->getActiveEntryDN();
    log()->write(L"CDialogAddAttribute::accept %s to %s", m_strAttributeTypeName.c_str(),
                 dn.c_str());
    m_iAddResult = m_pModel->syn_addAttributeValue(dn, value, m_strAttributeTypeName);
    done(QDialog::Accepted);
}
