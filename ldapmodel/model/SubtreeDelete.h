#pragma once

#include "model/SubtreeOutcome.h"

#include <string>

namespace ldapmodel {

class LdapSession;

// Deletes an entry with everything below it, leaves first, one delete
// request per entry: a subtree search (names only) lists the entries, which
// are deleted deepest first. A server that sends only part of a large
// subtree (a size limit) is searched again after each round, until the
// entry itself is gone; an entry refused as not a leaf in such a round
// waits for the next one. Any other refusal ends the walk; what was deleted
// stays deleted.
class SubtreeDelete {
public:
    SubtreeDelete(LdapSession& session, const std::wstring& rootDN, const SubtreeHooks& hooks);

    SubtreeOutcome run();

    // The entries below dn (dn itself not counted): 0 with below set, 4
    // when the server sent only part of them (below counts those), or the
    // search's code. pageSize as in SubtreeHooks.
    static int countBelow(LdapSession& session, const std::wstring& dn, unsigned int pageSize, int& below);

private:
    // One round; false when the walk is over.
    bool round(SubtreeOutcome& outcome);
    void fail(SubtreeOutcome& outcome, int code, const std::wstring& dn);

    LdapSession& m_session;
    std::wstring m_strRootDN;
    SubtreeHooks m_hooks;
    std::size_t m_uRootDepth = 0;
};

} // namespace ldapmodel
