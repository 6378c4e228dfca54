#include "views/CListEntryAttributes.h"

#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "schema/ValueKind.h"
#include "values/AttributeRoles.h"
#include "values/PasswordHash.h"
#include "values/ValueToolTip.h"

#include <QContextMenuEvent>
#include <QKeySequence>
#include <QKeyEvent>
#include <QMenu>

#include <cwctype>
#include <memory>

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPEntry;
using ldapmodel::Model;
using memorylib::gc_ptr;

const QString& CListEntryAttributes::binaryNotice()
{
    static const QString notice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");
    return notice;
}

CListEntryAttributes::CListEntryAttributes(QWidget* parent)
    : CGridControl(parent)
{
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // A certificate opens in its viewer.
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int row = indexOfTopLevelItem(item);
        if (row >= 0 && ldapmodel::isCertificateAttribute(getItemString(row, 0).toStdWString()))
            OnValueViewCertificate();
    });
}

CListEntryAttributes::~CListEntryAttributes() = default;

int CListEntryAttributes::init()
{
    util::TraceScope trace(L"CListEntryAttributes::init");
    // Columns go in at the front: the value column first.
    insertColumn(QStringLiteral("Description"), 300);
    insertColumn(QStringLiteral("Attribute"), 200);
    return 0;
}

int CListEntryAttributes::fill()
{
    util::TraceScope trace(L"CListEntryAttributes::fill");
    DIRLOOK_GUARD(L"CListEntryAttributes.cpp");
    reset();
    gc_ptr<Model> model = Model::getInstance();
    if (model.getObject() == nullptr)
        return -1;
    gc_ptr<LDAPEntry> entry = model->getActiveEntry();
    if (entry.getObject() == nullptr)
        return 0;
    setUpdatesEnabled(false);
    for (const gc_ptr<LDAPAttribute>& attribute : entry->getUserAttributes()) {
        if (attribute.getObject() != nullptr)
            addAttributeRows(*attribute);
    }
    setUpdatesEnabled(true);
    return 0;
}

void CListEntryAttributes::addAttributeRows(LDAPAttribute& attribute)
{
    const QString name = QString::fromStdWString(attribute.getName());
    for (const auto& value : attribute.getValues()) {
        if (value.getObject() == nullptr)
            continue;
        const int row = setCell(getRowCount(), 0, name);
        setCell(row, 1, cellText(attribute.getName(), *value));
    }
}

QString CListEntryAttributes::cellText(const std::wstring& attributeName,
                                       const ldapmodel::LDAPAttributeValue& value)
{
    if (isBinaryAttribute(attributeName))
        return binaryNotice();
    // Passwords show their scheme only.
    if (ldapmodel::isPasswordAttribute(attributeName))
        return QString::fromStdString(ldapmodel::PasswordHash::maskedText(value.getByteString()));
    return QString::fromStdWString(value.toString());
}

bool CListEntryAttributes::isBinaryAttribute(const std::wstring& attributeName)
{
    // The schema knows the type; options ("userCertificate;binary") are not
    // part of it, and the binary option itself says how the value travels.
    const std::size_t semicolon = attributeName.find(L';');
    if (semicolon != std::wstring::npos) {
        std::wstring options = attributeName.substr(semicolon);
        for (wchar_t& c : options)
            c = static_cast<wchar_t>(std::towlower(c));
        options += L';';
        if (options.find(L";binary;") != std::wstring::npos)
            return true;
    }
    return ldapmodel::isBinaryKind(ldapmodel::getValueKindOfAttribute(attributeName.substr(0, semicolon)));
}

void CListEntryAttributes::reset()
{
    CGridControl::reset();
    m_iSelectedRow = -1;
    m_toolTips.clear();
}

gc_ptr<ldapmodel::LDAPAttributeValue> CListEntryAttributes::getValueOfRow(int row) const
{
    const int index = getValueIndexInAttribute(row);
    gc_ptr<Model> model = Model::getInstance();
    if (index < 0 || model.getObject() == nullptr)
        return gc_ptr<ldapmodel::LDAPAttributeValue>();
    const gc_ptr<LDAPEntry> entry = model->getActiveEntry();
    if (entry.getObject() == nullptr)
        return gc_ptr<ldapmodel::LDAPAttributeValue>();
    const gc_ptr<LDAPAttribute> attribute = entry->getAttribute(getItemString(row, 0).toStdWString());
    if (attribute.getObject() == nullptr)
        return gc_ptr<ldapmodel::LDAPAttributeValue>();
    return attribute->getValue(index);
}

QString CListEntryAttributes::toolTipForRow(int row)
{
    util::TraceScope trace(L"CListEntryAttributes::toolTipForRow");
    DIRLOOK_GUARD(L"CListEntryAttributes.cpp");
    const auto cached = m_toolTips.constFind(row);
    if (cached != m_toolTips.constEnd())
        return cached.value();
    QString text;
    const gc_ptr<ldapmodel::LDAPAttributeValue> value = getValueOfRow(row);
    if (value.getObject() != nullptr) {
        const std::wstring name = getItemString(row, 0).toStdWString();
        text = ValueToolTip::forValue(name, *value, getItemString(row, 1) == binaryNotice(),
                                      binaryNotice());
    }
    m_toolTips.insert(row, text);
    return text;
}

QString CListEntryAttributes::rowToolTip(int row)
{
    return toolTipForRow(row);
}

void CListEntryAttributes::updateFromModel(int)
{
    fill();
}

int CListEntryAttributes::getSelection(std::wstring& attributeName, std::wstring& valueText,
                                       int& valueIndex) const
{
    util::TraceScope trace(L"CListEntryAttributes::getSelection");
    const int row = getSelectedRowNumber();
    if (row < 0 || selectedItems().isEmpty()) {
        util::Log::getLog(L"ldapmodel")->write(L"CListEntryAttributes::getSelection no selection");
        return -1;
    }
    attributeName = getItemString(row, 0).toStdWString();
    valueText = getItemString(row, 1).toStdWString();
    valueIndex = getValueIndexInAttribute(row);
    return 0;
}

int CListEntryAttributes::getValueIndexInAttribute(int row) const
{
    if (row < 0 || row >= getRowCount())
        return -1;
    const QString name = getItemString(row, 0);
    int count = 0;
    // The row above the first reads as empty and ends the count.
    for (int current = row; current >= 0; --current) {
        if (getItemString(current, 0).compare(name, Qt::CaseInsensitive) != 0)
            break;
        ++count;
    }
    return count - 1;
}

int CListEntryAttributes::getValueIndexInAttribute() const
{
    return getValueIndexInAttribute(getSelectedRowNumber());
}

int CListEntryAttributes::selectRow(int row)
{
    if (CGridControl::selectRow(row) != 0)
        return -1;
    setFocus(Qt::OtherFocusReason);
    m_iSelectedRow = row;
    return 0;
}

QMenu* CListEntryAttributes::createContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("&Modify"), parent);
    auto add = [this, menu](const QString& text, const QKeySequence& keys, void (CListEntryAttributes::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, handler);
    };
    add(QStringLiteral("&Add Attribute"), QKeySequence(Qt::ALT | Qt::Key_A), &CListEntryAttributes::OnAttributeAdd);
    add(QStringLiteral("&Delete Attribute"), QKeySequence(Qt::ALT | Qt::Key_D), &CListEntryAttributes::OnAttributeDelete);
    menu->addSeparator();
    add(QStringLiteral("Add Value"), QKeySequence(Qt::SHIFT | Qt::Key_A), &CListEntryAttributes::OnValueAdd);
    add(QStringLiteral("Modify-Save Value"), QKeySequence(Qt::SHIFT | Qt::Key_M), &CListEntryAttributes::OnValueModify);
    add(QStringLiteral("Delete Value"), QKeySequence(Qt::SHIFT | Qt::Key_D), &CListEntryAttributes::OnValueDelete);
    menu->addSeparator();
    add(QStringLiteral("&Export"), QKeySequence(Qt::CTRL | Qt::Key_E), &CListEntryAttributes::OnLdifExport);
    menu->addSeparator();
    add(QStringLiteral("Refresh Entry"), QKeySequence(Qt::Key_F5), &CListEntryAttributes::OnEntryRefresh);
    menu->addSeparator();
    add(QStringLiteral("&Copy Value"), QKeySequence(QKeySequence::Copy), &CListEntryAttributes::OnCopyValue);
    add(QStringLiteral("Copy D&N"), QKeySequence(), &CListEntryAttributes::OnCopyDN);
    return menu;
}

void CListEntryAttributes::addValueViewerActions(QMenu& menu, int row)
{
    const std::wstring name = getItemString(row, 0).toStdWString();
    if (name.empty())
        return;
    if (ldapmodel::isCertificateAttribute(name)) {
        menu.addSeparator();
        connect(menu.addAction(QStringLiteral("View Certificate...")), &QAction::triggered, this,
                &CListEntryAttributes::OnValueViewCertificate);
    }
    if (ldapmodel::isPasswordAttribute(name)) {
        menu.addSeparator();
        connect(menu.addAction(QStringLiteral("Set Password...")), &QAction::triggered, this,
                &CListEntryAttributes::OnValueSetPassword);
        connect(menu.addAction(QStringLiteral("Check Password...")), &QAction::triggered, this,
                &CListEntryAttributes::OnValueCheckPassword);
    }
}

void CListEntryAttributes::contextMenuEvent(QContextMenuEvent* event)
{
    util::TraceScope trace(L"CListEntryAttributes::contextMenuEvent");
    DIRLOOK_GUARD(L"CListEntryAttributes.cpp");
    QPoint position = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard: the current row, if any.
        QTreeWidgetItem* current = currentItem();
        if (current == nullptr)
            return;
        position = visualItemRect(current).center();
    }
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    m_iContextRow = index.row();
    m_iContextColumn = index.column();
    setFocus(Qt::PopupFocusReason);
    selectRow(m_iContextRow);
    event->accept();

    std::unique_ptr<QMenu> menu(createContextMenu(this));
    addValueViewerActions(*menu, m_iContextRow);
    menu->exec(viewport()->mapToGlobal(position));
}

void CListEntryAttributes::keyPressEvent(QKeyEvent* event)
{
    // The list would copy the row's cells as shown; the value is copied whole.
    if (event->matches(QKeySequence::Copy)) {
        event->accept();
        OnCopyValue();
        return;
    }
    CGridControl::keyPressEvent(event);
}

CMainFrame* CListEntryAttributes::mainFrame() const
{
    return CMainFrame::fromWidget(this);
}

#define DIRLOOK_FORWARD_TO_FRAME(handler)                                   \
    void CListEntryAttributes::handler()                                    \
    {                                                                       \
        util::TraceScope trace(L"CListEntryAttributes::" #handler);         \
        if (CMainFrame* frame = mainFrame())                                \
            frame->handler();                                               \
    }

DIRLOOK_FORWARD_TO_FRAME(OnAttributeAdd)
DIRLOOK_FORWARD_TO_FRAME(OnAttributeDelete)
DIRLOOK_FORWARD_TO_FRAME(OnValueAdd)
DIRLOOK_FORWARD_TO_FRAME(OnValueModify)
DIRLOOK_FORWARD_TO_FRAME(OnValueDelete)
DIRLOOK_FORWARD_TO_FRAME(OnLdifExport)
DIRLOOK_FORWARD_TO_FRAME(OnEntryRefresh)
DIRLOOK_FORWARD_TO_FRAME(OnValueViewCertificate)
DIRLOOK_FORWARD_TO_FRAME(OnValueSetPassword)
DIRLOOK_FORWARD_TO_FRAME(OnValueCheckPassword)
DIRLOOK_FORWARD_TO_FRAME(OnCopyValue)
DIRLOOK_FORWARD_TO_FRAME(OnCopyDN)

#undef DIRLOOK_FORWARD_TO_FRAME
