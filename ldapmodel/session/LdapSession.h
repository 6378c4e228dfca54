#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"

#include <memory>
#include <string>
#include <vector>

struct ldap;

namespace ldapmodel {

class LdapModList;
struct LdapSearchMessage;

// One LDAP session: owns the library handle from ldap_initialize to
// unbind, converts every DN, filter, name and password to UTF-8 and back,
// and turns results into entries, attributes and values. Returned codes
// are LDAP result codes with libldap's client codes moved to 81..97
// (see ldapResultCode); -1 means there was no handle or a bad argument.
// Only connect and setTimeLimit report (through reportLdapError); every
// other failure is left to the caller, who knows the step.
//
// Threads: libldap serialises calls on one handle, but ldap_result holds
// the handle's result lock while it waits, so ldap_abandon from another
// thread blocks until a message arrives. The background worker therefore
// owns the loop: it calls nextResult with a short wait, checks its stop
// flag between messages and calls abandon itself; the user-interface
// thread only sets that flag and sends nothing else meanwhile. connect,
// disconnect and setTimeLimit change the handle: never while a worker runs.
class LdapSession {
public:
    static constexpr int SCOPE_BASE = 0;
    static constexpr int SCOPE_ONELEVEL = 1;
    static constexpr int SCOPE_SUBTREE = 2;

    static constexpr int MESSAGE_SEARCH_ENTRY = 0x64;
    static constexpr int MESSAGE_SEARCH_RESULT = 0x65;
    static constexpr int WAIT_FOREVER = -1;

    LdapSession();
    ~LdapSession();
    LdapSession(const LdapSession&) = delete;
    LdapSession& operator=(const LdapSession&) = delete;

    // Opens the handle ("ldap://host:port"), sets protocol version 3 and
    // binds (anonymous: null DN and no password, whatever bindDn holds).
    // Reports "Cannot create a connection" (81), "Set Server Options" or
    // "Bind to server"; after a failure no handle is kept. 0 or -1.
    // An existing handle is released first. The reported code, or 0, is
    // kept for getConnectResult.
    int connect(const std::wstring& host, int port, const std::wstring& bindDn,
                const std::wstring& password, bool anonymous);
    int getConnectResult() const { return m_iConnectResult; }
    // Unbinds and forgets the handle; harmless without one.
    void disconnect();
    bool isConnected() const { return m_bConnected; }
    bool hasHandle() const { return m_pHandle != nullptr; }

    // Stored for asynchronous searches; with a handle also set as
    // LDAP_OPT_TIMELIMIT (a failure is reported with the library's text).
    // Returns the option's result code.
    int setTimeLimit(unsigned int seconds);
    unsigned int getTimeLimit() const { return m_uTimeLimit; }

    // ldap_search_ext_s; each entry of the result becomes an LDAPEntry with
    // its DN and, unless attrsOnly, its attributes as user attributes. An
    // empty attribute list asks for all user attributes. Returns the search
    // code: on 0 and on 4 (size limit exceeded) the entries that arrived are
    // kept; -1 when the library gave no DN for an entry (the entries before
    // it are kept).
    int searchEntries(const std::wstring& base, int scope, const std::wstring& filter,
                      const std::vector<std::wstring>& attributes, bool attrsOnly,
                      unsigned int sizeLimit,
                      std::vector<memorylib::gc_ptr<LDAPEntry>>& entries);

    // Base search of one entry ("objectclass=*") with values; appends the
    // attributes of the entry found that have values, in the server's
    // order. Returns the search code (0 with nothing appended when the
    // result holds no entry).
    int readAttributes(const std::wstring& dn, const std::vector<std::wstring>& attributes,
                       unsigned int sizeLimit,
                       std::vector<memorylib::gc_ptr<LDAPAttribute>>& attributesOut);

    // Base search, names only, no size limit; true when it succeeds and
    // holds an entry. Reports nothing.
    bool entryExists(const std::wstring& dn);

    // ldap_search_ext with the stored time limit; the message id goes to
    // messageId (0 on failure). Returns the code.
    int searchAsync(const std::wstring& base, int scope, const std::wstring& filter,
                    const std::vector<std::wstring>& attributes, bool attrsOnly,
                    unsigned int sizeLimit, int& messageId);
    // Takes one message of the search (ldap_result with LDAP_MSG_ONE),
    // waiting at most waitMilliseconds (WAIT_FOREVER: no time-out).
    // Returns the message type (>= 1), 0 when nothing came in time, -1 when
    // the search is over through an error (message.resultCode holds it).
    // Search entries give their DN, and with withValues an entry with
    // the user attributes; the final result gives its code.
    int nextResult(int messageId, bool withValues, int waitMilliseconds, LdapSearchMessage& message);
    // ldap_abandon_ext; returns its code.
    int abandon(int messageId);

    // Write requests; each returns the LDAP code and reports nothing.
    int addEntry(const std::wstring& dn, LdapModList& modifications);
    int modifyEntry(const std::wstring& dn, LdapModList& modifications);
    int deleteEntry(const std::wstring& dn);
    // Keeps the entry under its parent.
    int renameEntry(const std::wstring& dn, const std::wstring& newRdn, bool deleteOldRdn = true);

    // The authorisation identity of the bind ("" when anonymous).
    int whoAmI(std::wstring& authzId);

private:
    struct HandleCloser {
        void operator()(ldap* handle) const;
    };

    std::unique_ptr<ldap, HandleCloser> m_pHandle;
    bool m_bConnected = false;
    unsigned int m_uTimeLimit = 0;
    int m_iConnectResult = 0;
};

} // namespace ldapmodel
