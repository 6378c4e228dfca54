#pragma once

#include "handles/gc_ptr.h"
#include "views/CGridControl.h"

namespace ldapmodel {
class LDAPEntry;
}

// The structural view: one row per value of the active entry's operational
// attributes. The main frame fills it; its own fill only clears it.
class CListEntryStructuralAttributes : public CGridControl {
    Q_OBJECT

public:
    explicit CListEntryStructuralAttributes(QWidget* parent = nullptr);
    ~CListEntryStructuralAttributes() override;

    // Creates the two columns.
    int init();
    // Removes all rows.
    void reset() override;
    // Only clear the list.
    int fill();
    void updateFromModel(int kind);

    // Appends one row per operational value of entry (nothing for an empty
    // handle); an "entryUUID" of the binary syntax shows the binary notice.
    // Returns the number of rows added.
    int addEntryRows(const memorylib::gc_ptr<ldapmodel::LDAPEntry>& entry);

    // The tooltip of row's value, from the active entry: the local time of
    // a GeneralizedTime value; empty when there is none.
    QString toolTipForRow(int row) const;

protected:
    QString rowToolTip(int row) override;
};
