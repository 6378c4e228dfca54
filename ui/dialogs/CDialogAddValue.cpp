#include "dialogs/CDialogAddValue.h"

CDialogAddValue::CDialogAddValue(QWidget* parent)
    : CDialogValueBase(QStringLiteral("Add value"), false, L"DialogAddValue", parent)
{
    setObjectName(QStringLiteral("DialogAddValue"));
}

CDialogAddValue::~CDialogAddValue() = default;
