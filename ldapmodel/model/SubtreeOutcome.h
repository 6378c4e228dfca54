#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ldapmodel {

// What a walk over a subtree (SubtreeDelete, SubtreeCopy) asks of its caller.
struct SubtreeHooks {
    // Asked before each request; true ends the walk.
    std::function<bool()> stopRequested;
    // After each entry deleted or added, with its DN.
    std::function<void(const std::wstring& dn)> done;
    // Pause after each entry; 0 for none.
    int pauseMilliseconds = 0;
    // Entries per page of the walk's searches, for a server that offers
    // paged results; 0 reads in one request.
    unsigned int pageSize = 0;
};

// What a walk over a subtree did.
struct SubtreeOutcome {
    enum class End { Complete, Stopped, Failed };

    End end = End::Complete;
    // The entries deleted or added, in order.
    std::vector<std::wstring> done;
    // The entries the walk set out to handle (as far as it knew them).
    int total = 0;
    // Failed: the LDAP code, the entry it failed on and the server's
    // diagnostic message (may be empty).
    int code = 0;
    std::wstring failedDN;
    std::wstring diagnostic;
};

} // namespace ldapmodel
