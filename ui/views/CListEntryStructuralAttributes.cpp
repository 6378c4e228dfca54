#include "views/CListEntryStructuralAttributes.h"

#include "faults/FaultGuard.h"
#include "logging/Trace.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "schema/ValueKind.h"
#include "model/Model.h"
#include "values/ValueToolTip.h"
#include "views/CListEntryAttributes.h"


using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPEntry;
using memorylib::gc_ptr;

CListEntryStructuralAttributes::CListEntryStructuralAttributes(QWidget* parent)
    : CGridControl(parent)
{
}

CListEntryStructuralAttributes::~CListEntryStructuralAttributes() = default;

int CListEntryStructuralAttributes::init()
{
    util::TraceScope trace(L"CListEntryStructuralAttributes::init");
    // Columns go in at the front: the value column first.
    insertColumn(QStringLiteral("Description"), 300);
    insertColumn(QStringLiteral("Attribute - Structural"), 200);
    return 0;
}

void CListEntryStructuralAttributes::reset()
{
    CGridControl::reset();
}

int CListEntryStructuralAttributes::fill()
{
    reset();
    return 0;
}

void CListEntryStructuralAttributes::updateFromModel(int)
{
    reset();
}

int CListEntryStructuralAttributes::addEntryRows(const gc_ptr<LDAPEntry>& entry)
{
    util::TraceScope trace(L"CListEntryStructuralAttributes::addEntryRows");
    DIRLOOK_GUARD(L"CListEntryStructuralAttributes.cpp");
    if (entry.getObject() == nullptr)
        return 0;
    int added = 0;
    for (const gc_ptr<LDAPAttribute>& attribute : entry->getOperationalAttributes()) {
        if (attribute.getObject() == nullptr)
            continue;
        const std::wstring name = attribute->getName();
        const QString shownName = QString::fromStdWString(name);
        const bool notice = QString::compare(shownName, QStringLiteral("entryUUID"), Qt::CaseInsensitive) == 0 &&
                            ldapmodel::isBinaryKind(ldapmodel::getValueKindOfAttribute(name));
        for (const auto& value : attribute->getValues()) {
            if (value.getObject() == nullptr)
                continue;
            const int row = setCell(getRowCount(), 0, shownName);
            setCell(row, 1, notice ? CListEntryAttributes::binaryNotice()
                                   : QString::fromStdWString(value->toString()));
            ++added;
        }
    }
    return added;
}

QString CListEntryStructuralAttributes::toolTipForRow(int row) const
{
    if (row < 0 || row >= getRowCount())
        return QString();
    const QString name = getItemString(row, 0);
    int index = 0;
    while (row - index - 1 >= 0 && getItemString(row - index - 1, 0) == name)
        ++index;
    const gc_ptr<ldapmodel::Model> model = ldapmodel::Model::getInstance();
    const gc_ptr<LDAPEntry> entry =
        model.getObject() != nullptr ? model->getActiveEntry() : gc_ptr<LDAPEntry>();
    if (entry.getObject() == nullptr)
        return QString();
    const gc_ptr<LDAPAttribute> attribute = entry->getAttribute(name.toStdWString());
    const gc_ptr<ldapmodel::LDAPAttributeValue> value =
        attribute.getObject() != nullptr ? attribute->getValue(index)
                                         : gc_ptr<ldapmodel::LDAPAttributeValue>();
    if (value.getObject() == nullptr)
        return QString();
    const QString notice = CListEntryAttributes::binaryNotice();
    return ValueToolTip::forValue(name.toStdWString(), *value, getItemString(row, 1) == notice,
                                  notice);
}

QString CListEntryStructuralAttributes::rowToolTip(int row)
{
    return toolTipForRow(row);
}
