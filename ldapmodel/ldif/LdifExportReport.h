#pragma once

#include <set>
#include <string>

namespace ldapmodel {

// The text an export ends with: nothing when every entry the search gave
// was written whole; otherwise how many entries were written and why the
// export ended early, and the attribute names left out of the records.
class LdifExportReport {
public:
    enum class End {
        Complete,       // the search's last result was a success
        StoppedByUser,  // the user (or a second request) stopped it
        Failed          // the search ended with a code: a limit, a lost connection
    };

    // failure: why the search ended when the export Failed
    // ("LDAPError 4: Size limit exceeded").
    static std::wstring text(const std::wstring& fileName, int written, End end, const std::wstring& failure,
                             const std::set<std::wstring>& skippedNames);
    // A name as it can be shown: control characters as "\xNN", cut after
    // 64 characters.
    static std::wstring printableName(const std::wstring& name);
};

} // namespace ldapmodel
