#include "dialogs/CDialogSchema.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Trace.h"
#include "schema/SyntaxRegistry.h"
#include "utilities/Util.h"

#include <QCheckBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>
#include <vector>

using memorylib::gc_ptr;

namespace {

const QString& noDetails()
{
    static const QString text = QStringLiteral("No details");
    return text;
}

QStringList toStringList(const std::vector<std::wstring>& names)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(names.size()));
    for (const std::wstring& name : names)
        list << QString::fromStdWString(name);
    return list;
}

} // namespace

CDialogSchema::CDialogSchema(const gc_ptr<ldapmodel::LDAPSchema>& schema, QWidget* parent)
    : QDialog(parent), m_pSchema(schema)
{
    DIRLOOK_GUARD(L"DialogSchema");
    util::TraceScope trace(L"CDialogSchema::CDialogSchema");
    setObjectName(QStringLiteral("DialogSchema"));
    setWindowTitle(QStringLiteral("Schema"));
    setModal(true);

    auto* classGroup = new QGroupBox(QStringLiteral("Object Classes"), this);
    m_pObjectClassList = new QListWidget(classGroup);
    m_pAttributeTypeList = new QListWidget(classGroup);
    auto* typesLabel = new QLabel(QStringLiteral("Attribute Types"), classGroup);
    m_pShowAllBox = new QCheckBox(QStringLiteral("Show &All"), classGroup);
    auto* classLayout = new QGridLayout(classGroup);
    classLayout->addWidget(m_pObjectClassList, 1, 0);
    classLayout->addWidget(typesLabel, 0, 1);
    classLayout->addWidget(m_pAttributeTypeList, 1, 1);
    classLayout->addWidget(m_pShowAllBox, 2, 1);

    const ui::SyntaxFields syntax = ui::createSyntaxFields(this);
    m_pOidEdit = syntax.oid;
    m_pDescriptionEdit = syntax.description;
    m_pLengthEdit = syntax.length;

    m_pCloseButton = new QPushButton(QStringLiteral("&Close"), this);
    m_pCloseButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pCloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(classGroup, 1);
    layout->addWidget(syntax.group);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 330, 260));

    connect(m_pCloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pShowAllBox, &QCheckBox::clicked, this, [this]() { showAll(); });
    // Selections, not the current item: a list taking the focus makes its
    // first line current without anyone choosing it.
    connect(m_pObjectClassList, &QListWidget::itemSelectionChanged, this, [this]() {
        if (QListWidgetItem* item = ui::firstSelectedItem(*m_pObjectClassList))
            selectObjectClass(item->text().toStdWString());
    });
    connect(m_pObjectClassList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { selectObjectClass(item->text().toStdWString()); });
    connect(m_pAttributeTypeList, &QListWidget::itemSelectionChanged, this, [this]() {
        if (QListWidgetItem* item = ui::firstSelectedItem(*m_pAttributeTypeList))
            selectAttributeType(item->text().toStdWString());
    });

    if (m_pSchema.getObject() == nullptr)
        util::reportErrorAndExit(L"DialogSchema", __LINE__, L"Can't read schema");

    fillAllAttributeTypes();
    std::set<std::wstring> classNames;
    m_pSchema->getObjectClassNameSet(classNames);
    std::vector<std::wstring> sorted(classNames.begin(), classNames.end());
    m_pObjectClassList->addItems(toStringList(sorted));
}

CDialogSchema::~CDialogSchema() = default;

void CDialogSchema::fillAllAttributeTypes()
{
    std::vector<std::wstring> names;
    m_pSchema->getAttributeTypeNames(names);
    const QSignalBlocker blocker(m_pAttributeTypeList);
    m_pAttributeTypeList->clear();
    m_pAttributeTypeList->addItems(toStringList(names));
    m_pShowAllBox->setChecked(true);
}

void CDialogSchema::showAll()
{
    DIRLOOK_GUARD(L"DialogSchema");
    util::TraceScope trace(L"CDialogSchema::showAll");
    fillAllAttributeTypes();
}

void CDialogSchema::selectObjectClass(const std::wstring& name)
{
    DIRLOOK_GUARD(L"DialogSchema");
    util::TraceScope trace(L"CDialogSchema::selectObjectClass");
    // Required names first, then the optional ones, superiors' included.
    std::vector<std::wstring> required;
    std::vector<std::wstring> optional;
    if (!m_pSchema->collectClassAttributes(name, required, optional))
        return;
    const QSignalBlocker blocker(m_pAttributeTypeList);
    m_pAttributeTypeList->clear();
    for (const std::wstring& attribute : required) {
        auto* item = new QListWidgetItem(QString::fromStdWString(attribute), m_pAttributeTypeList);
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
        item->setToolTip(QStringLiteral("Required"));
    }
    for (const std::wstring& attribute : optional)
        new QListWidgetItem(QString::fromStdWString(attribute), m_pAttributeTypeList);
    m_pShowAllBox->setChecked(false);
}

void CDialogSchema::selectAttributeType(const std::wstring& name)
{
    DIRLOOK_GUARD(L"DialogSchema");
    util::TraceScope trace(L"CDialogSchema::selectAttributeType");
    if (name.empty() || ldapmodel::equalsIgnoreCase(name, m_strShownAttributeType))
        return;
    m_strShownAttributeType = name;

    QString oid = noDetails();
    gc_ptr<ldapmodel::LDAPAttributeType> type = m_pSchema->findAttributeType(name);
    if (type.getObject() != nullptr) {
        oid = QString::fromStdWString(type->getSyntaxOid());
        m_iSyntaxLength = type->getSyntaxLength();
    }
    m_pOidEdit->setText(oid);

    gc_ptr<ldapmodel::LDAPSyntaxObject> syntax =
        ldapmodel::SyntaxRegistry::instance().findSyntax(oid.toStdWString());
    m_pDescriptionEdit->setText(syntax.getObject() != nullptr
                                    ? QString::fromStdWString(syntax->getDescription())
                                    : noDetails());
    m_pLengthEdit->setText(m_iSyntaxLength >= 1 ? QString::number(m_iSyntaxLength) : QString());
}
