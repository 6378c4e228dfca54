#pragma once

#include "handles/gc_ptr.h"
#include "model/Preferences.h"
#include "records/LDAPEntry.h"
#include "session/TlsSettings.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ldapmodel {

class LdapSession;

// The connect, read and search steps Model and Server share: a bound
// session, entries read through a DN-keyed cache, and searches whose entries
// are filed under their parent.
class DirectoryReader {
public:
    using Cache = std::map<std::wstring, memorylib::gc_ptr<LDAPEntry>>;

    // cacheMutex guards the cache and the child lists and flags of its
    // entries; null when one thread alone uses them.
    DirectoryReader(LdapSession& session, Cache& cache, std::mutex* cacheMutex,
                    unsigned int sizeLimit);

    // A bound session with the time limit (0 = none) and the preferences'
    // time-outs applied, secured as tls says, or null when the connect
    // failed. connectResult gets the connect's code, 0 after a good one.
    static std::unique_ptr<LdapSession> openSession(const std::wstring& host, int port,
                                                    const std::wstring& bindDN,
                                                    const std::wstring& password, bool anonymous,
                                                    unsigned int timeLimit,
                                                    const Preferences& preferences,
                                                    const TlsSettings& tls, int& connectResult);

    // From the cache, or read from the server and filed (first filed wins);
    // empty when the read fails, which is not cached.
    memorylib::gc_ptr<LDAPEntry> getEntry(const std::wstring& dn);
    // Searches under base and files what it finds; the DNs become children
    // of parent (may be empty), whose list a one-level search replaces.
    // 0, the LDAP code (reported), or -1.
    int searchEntries(const memorylib::gc_ptr<LDAPEntry>& parent, const std::wstring& base,
                      const std::wstring& filter, int scope, bool withValues);

private:
    std::unique_lock<std::mutex> lockCache();

    LdapSession& m_session;
    Cache& m_cache;
    std::mutex* m_cacheMutex;
    unsigned int m_uSizeLimit;
};

} // namespace ldapmodel
