#pragma once

#include "model/SubtreeOutcome.h"

#include <string>

namespace ldapmodel {

class LdapSession;

// Copies an entry, or an entry with its subtree, under another parent: the
// entries are read with their user attributes (operational attributes are
// not copied) and added under their new DNs, parents before children. The
// copy keeps the entry's RDN. The first refusal ends the copy; what was
// added stays. A server that sends only part of the subtree (a size limit)
// gets nothing added.
class SubtreeCopy {
public:
    SubtreeCopy(LdapSession& session, const std::wstring& sourceDN, const std::wstring& parentDN,
                bool withSubtree, const SubtreeHooks& hooks);

    SubtreeOutcome run();

    // The DN the copy of sourceDN gets under parentDN.
    static std::wstring copyDN(const std::wstring& sourceDN, const std::wstring& parentDN);

private:
    LdapSession& m_session;
    std::wstring m_strSourceDN;
    std::wstring m_strParentDN;
    bool m_bWithSubtree;
    SubtreeHooks m_hooks;
};

} // namespace ldapmodel
