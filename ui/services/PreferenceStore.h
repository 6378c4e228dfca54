#pragma once

// The preferences of the Preferences dialog: one table row per preference
// (its key in the settings file, its label, its range), read from and
// written to the settings file (Settings.h), group "Preferences". A
// preference that is missing or not a number takes its default; one out of
// range is brought into it. A new preference is one field of
// ldapmodel::Preferences and one row of fields() (a number) or switches()
// (yes or no, a check box; a stored value other than true or false takes
// the default).

#include "model/Preferences.h"

#include <QString>

#include <vector>

namespace ui {

class PreferenceStore {
public:
    struct Field {
        QString key;      // "ConnectTimeoutSeconds"
        QString label;    // the dialog's label
        int minimum;
        int maximum;
        int ldapmodel::Preferences::*member;
    };

    struct Switch {
        QString key;    // "LdifAsciiOnly"
        QString label;  // the check box's text
        bool ldapmodel::Preferences::*member;
    };

    static const std::vector<Field>& fields();
    static const std::vector<Switch>& switches();
    static ldapmodel::Preferences load();
    static void save(const ldapmodel::Preferences& preferences);
};

} // namespace ui
