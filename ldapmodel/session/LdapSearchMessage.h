#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPEntry.h"
#include "records/Subordinates.h"

#include <string>

namespace ldapmodel {

// One message of an asynchronous search, as LdapSession::nextResult hands
// it out.
struct LdapSearchMessage {
    // 0x64 search entry, 0x65 final result, anything else to be skipped.
    int type = 0;
    // Search entry: its DN, when the library could give one.
    bool hasDn = false;
    std::wstring dn;
    // Search entry read with values: DN and user attributes.
    memorylib::gc_ptr<LDAPEntry> entry;
    // Search entry read with its hasSubordinates.
    Subordinates subordinates = Subordinates::Unknown;
    // Final result: the search's result code (4: size limit exceeded).
    // Failure of the wait: the library's code.
    int resultCode = 0;
    // Final result carrying a paged results response: the cookie that asks
    // for the next page, empty after the last one.
    bool paged = false;
    std::string cookie;
};

} // namespace ldapmodel
