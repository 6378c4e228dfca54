#include "dialogs/CDialogModifyValue.h"

CDialogModifyValue::CDialogModifyValue(QWidget* parent)
    : CDialogValueBase(QStringLiteral("Modify value"), true, L"DialogModifyValue", parent)
{
    setObjectName(QStringLiteral("DialogModifyValue"));
}

CDialogModifyValue::~CDialogModifyValue() = default;

void CDialogModifyValue::setAttributeValue(
    const memorylib::gc_ptr<ldapmodel::LDAPAttributeValue>& value)
{
    m_pTextValue = value;
    m_pFileValue = value;
    updatePreview();
}

void CDialogModifyValue::setTextValue(const std::wstring& text)
{
    setEditText(text);
}
