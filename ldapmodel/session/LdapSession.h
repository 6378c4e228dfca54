#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "session/TlsSettings.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ldap;
struct ldapcontrol;

namespace ldapmodel {

class LdapMessage;
class LdapModList;
class TrustAnchors;
struct LdapSearchMessage;

// One LDAP session: owns the library handle from ldap_initialize to
// unbind, converts every DN, filter, name and password to UTF-8 and back,
// and turns results into entries, attributes and values. Returned codes
// are LDAP result codes with libldap's client codes moved to 81..97
// (see ldapResultCode); -1 means there was no handle or a bad argument.
// Only connect and setTimeLimit report (through reportLdapError); every
// other failure is left to the caller, who knows the step.
//
// Waiting: no call waits without a bound. The socket is non-blocking
// (libldap finishes a long write while it waits for results) and the
// connect is asynchronous. Each synchronous call sends its request and
// waits for the result in short slices, up to the connect time-out (connect
// and bind) or the operation time-out (everything else), asking the wait
// service (utilities/WaitService.h) between slices. A time-out abandons the
// request and returns 85; a Stop from the service abandons it and returns
// 88 (user cancelled); a Cancel does the same and drops the connection.
//
// TLS (setTlsSettings): LDAPS and StartTLS run libldap's handshake on a
// fresh TLS context that trusts the system's CA bundle and the settings' CA
// file and checks the host name; StartTLS never falls back to clear text.
// A certificate libldap refuses is fetched once more on a second connection
// that does not verify it, and handed to the server certificate service
// (ServerCertificateService.h); the bind follows only when it accepts.
// Until then nothing is sent beyond the handshake.
//
// Lost connection: after 81 (server down), a Cancel or a failed abandon the
// session is lost: the handle is released at the end of that call, the lost
// handler (if any) is told once, and every later call returns -1 at once.
// A session whose connection broke must not be used again: libldap would
// open a new connection, unbound.
//
// Threads: libldap serialises calls on one handle, but ldap_result holds
// the handle's result lock while it waits, so ldap_abandon from another
// thread blocks until a message arrives. The background worker therefore
// owns the loop: it calls nextResult with a short wait, checks its stop
// flag between messages and calls abandon itself; the user-interface
// thread only sets that flag and sends nothing else meanwhile. connect,
// disconnect and setTimeLimit change the handle: never while a worker runs.
// isLost, isConnected and interrupt may be called from any thread.
class LdapSession {
public:
    static constexpr int SCOPE_BASE = 0;
    static constexpr int SCOPE_ONELEVEL = 1;
    static constexpr int SCOPE_SUBTREE = 2;

    static constexpr int MESSAGE_SEARCH_ENTRY = 0x64;
    static constexpr int MESSAGE_SEARCH_RESULT = 0x65;
    static constexpr int WAIT_FOREVER = -1;
    // The subtree delete control a server lists in its root DSE.
    static constexpr const wchar_t* SUBTREE_DELETE_CONTROL = L"1.2.840.113556.1.4.805";
    // How long one slice of a synchronous wait lasts at most.
    static constexpr int WAIT_SLICE_MILLISECONDS = 50;

    struct Timeouts {
        int connectSeconds = 10;    // TCP connect and bind
        int operationSeconds = 30;  // every other synchronous call
    };

    LdapSession();
    ~LdapSession();
    LdapSession(const LdapSession&) = delete;
    LdapSession& operator=(const LdapSession&) = delete;

    // Used by the next connect and every call after it; any thread.
    void setTimeouts(const Timeouts& timeouts);
    Timeouts getTimeouts() const;

    // How the next connect protects its connection; any time before it.
    void setTlsSettings(const TlsSettings& settings) { m_tls = settings; }
    const TlsSettings& getTlsSettings() const { return m_tls; }

    // Opens the handle ("ldap://host:port"), sets protocol version 3 and
    // the time-outs, and binds (anonymous: null DN and no password,
    // whatever bindDn holds) within the connect time-out. Reports "Cannot
    // create a connection" (81), "Set Server Options" or "Bind to server"
    // (85 after the time-out; a cancelled wait is not reported); after a
    // failure no handle is kept. 0 or -1. An existing handle is released
    // first. The reported code, or 0, is kept for getConnectResult.
    // With TLS the TCP connect, StartTLS and the handshake come first,
    // within the connect time-out together, then the bind within another
    // (a certificate question may lie between); their failures are
    // reported with what failed: the CA file (82), the TCP connect, the
    // server refusing StartTLS, the handshake (85 after the time-out). A
    // refused certificate or a cancelled wait gives 88 and no report.
    int connect(const std::wstring& host, int port, const std::wstring& bindDn,
                const std::wstring& password, bool anonymous);
    int getConnectResult() const { return m_iConnectResult; }
    // Unbinds and forgets the handle; harmless without one.
    void disconnect();
    bool isConnected() const { return m_bConnected.load() && !isLost(); }
    // After a good connect with TLS: the protocol and cipher libldap names
    // ("TLS1.3", "AES-256-GCM"). Empty without TLS. User-interface thread.
    bool isEncrypted() const { return !m_strTlsVersion.empty(); }
    const std::wstring& getTlsVersion() const { return m_strTlsVersion; }
    const std::wstring& getTlsCipher() const { return m_strTlsCipher; }
    bool hasHandle() const { return m_pHandle != nullptr; }

    // The connection broke or was given up (see the class comment); the
    // code is 81 or 88, 0 while not lost.
    bool isLost() const { return m_iLostCode.load() != 0; }
    int getLostCode() const { return m_iLostCode.load(); }
    // Called once with the code when an established connection is lost, on
    // the thread that noticed. Set before the session is shared.
    void setLostHandler(std::function<void(int code)> handler) { m_lostHandler = std::move(handler); }
    // Any thread: shuts the socket down, so that whatever waits on it
    // returns (the connection is then lost).
    void interrupt();

    // Stored for asynchronous searches; with a handle also set as
    // LDAP_OPT_TIMELIMIT (a failure is reported with the library's text).
    // Returns the option's result code.
    int setTimeLimit(unsigned int seconds);
    unsigned int getTimeLimit() const { return m_uTimeLimit; }

    // One search, its whole result waited for; each entry of the result
    // becomes an LDAPEntry with its DN and, unless attrsOnly, its attributes
    // as user attributes. An empty attribute list asks for all user
    // attributes. Returns the search code: on 0 and on 4 (size limit
    // exceeded) the entries that arrived are kept; -1 when the library gave
    // no DN for an entry (the entries before it are kept).
    int searchEntries(const std::wstring& base, int scope, const std::wstring& filter,
                      const std::vector<std::wstring>& attributes, bool attrsOnly,
                      unsigned int sizeLimit,
                      std::vector<memorylib::gc_ptr<LDAPEntry>>& entries);
    // searchEntries without a size limit of the caller's, read in pages of
    // pageSize with the simple paged results control when pageSize is not
    // 0, so that the server's limit per search doesn't cut it short. A
    // server that ignores the control answers in one page. Each page is
    // waited for as one request.
    int searchAllEntries(const std::wstring& base, int scope, const std::wstring& filter,
                         const std::vector<std::wstring>& attributes, bool attrsOnly, unsigned int pageSize,
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
    // The same with the simple paged results control (RFC 2696, not
    // critical): pageSize entries at most, continuing where cookie (empty
    // for the first page) says; a page size of 0 with the last cookie ends
    // the paged search on the server.
    int searchPageAsync(const std::wstring& base, int scope, const std::wstring& filter,
                        const std::vector<std::wstring>& attributes, bool attrsOnly,
                        unsigned int sizeLimit, unsigned int pageSize, const std::string& cookie,
                        int& messageId);
    // Takes one message of the search (ldap_result with LDAP_MSG_ONE),
    // waiting at most waitMilliseconds (WAIT_FOREVER: no time-out).
    // Returns the message type (>= 1), 0 when nothing came in time, -1 when
    // the search is over through an error (message.resultCode holds it).
    // Search entries give their DN, with withValues an entry with the user
    // attributes, and with readSubordinates what their hasSubordinates
    // says; the final result gives its code and any paged results response.
    int nextResult(int messageId, bool withValues, int waitMilliseconds, LdapSearchMessage& message,
                   bool readSubordinates = false);
    // ldap_abandon_ext; returns its code.
    int abandon(int messageId);

    // Write requests; each returns the LDAP code and reports nothing.
    int addEntry(const std::wstring& dn, LdapModList& modifications);
    int modifyEntry(const std::wstring& dn, LdapModList& modifications);
    int deleteEntry(const std::wstring& dn);
    // With the subtree delete control (critical): the entry and everything
    // below it in one request, on a server that lists the control.
    int deleteSubtree(const std::wstring& dn);
    // Keeps the entry under its parent.
    int renameEntry(const std::wstring& dn, const std::wstring& newRdn, bool deleteOldRdn = true);
    // One rename request that may also name a new parent (newSuperior);
    // without one the entry stays under its parent.
    int moveEntry(const std::wstring& dn, const std::wstring& newRdn,
                  const std::optional<std::wstring>& newSuperior, bool deleteOldRdn);

    // The authorisation identity of the bind ("" when anonymous).
    int whoAmI(std::wstring& authzId);

private:
    struct HandleCloser {
        void operator()(ldap* handle) const;
    };
    class CallScope;
    using Clock = std::chrono::steady_clock;

    // The handle when the session may send, else null.
    ldap* usableHandle() const;
    // Waits for the whole result of messageId within timeoutSeconds, asking
    // the wait service between slices. The operation's result code, or 81,
    // 85, 88 (see the class comment).
    int awaitResult(int messageId, const std::wstring& what, int timeoutSeconds,
                    LdapMessage& result);
    // awaitResult up to a deadline instead of a time-out.
    int awaitResultUntil(int messageId, const std::wstring& what, Clock::time_point deadline,
                         LdapMessage& result);
    // Appends the entries of a search result as searchEntries describes;
    // false when the library gave no DN for one.
    bool appendEntries(LdapMessage& result, bool attrsOnly, std::vector<memorylib::gc_ptr<LDAPEntry>>& entries);
    // The host looked up within the deadline before libldap connects to it;
    // reports a time-out, returns 88 when given up.
    int lookUpHost(Clock::time_point deadline);
    // ldap_initialize on url and the options every connection has; reports
    // and returns the code (no handle is kept after a failure).
    int openHandle(const std::string& url);
    // Those options on the handle; reports and releases it on failure.
    int applyOptions();
    // The TLS steps of connect; 0 or the code (reported, unless 88).
    int secureConnection(const std::string& url, Clock::time_point deadline);
    // Opens the TCP connection itself, waited for in slices, and hands it
    // to a new handle for url; reports.
    int connectSocket(const std::string& url, Clock::time_point deadline);
    // The StartTLS operation; a refusal is reported and ends the connect.
    int startTls(Clock::time_point deadline);
    // Hands the peer's certificate to the certificate service.
    bool acceptCertificate(const TrustAnchors& trust);
    // Shuts the socket down and releases the handle: nothing more is sent.
    void abandonConnection();
    // ldap_search_ext (no time limit of its own) and awaitResult.
    int search(const std::wstring& base, int scope, const std::wstring& filter, char** attributes,
               bool attrsOnly, unsigned int sizeLimit, const std::wstring& what, LdapMessage& result);
    // ldap_search_ext with the stored time limit and the server controls
    // (may be null). The code; the message id on success.
    int sendSearch(const std::wstring& base, int scope, const std::wstring& filter,
                   const std::vector<std::wstring>& attributes, bool attrsOnly, unsigned int sizeLimit,
                   ldapcontrol** serverControls, int& messageId);
    // send (a libldap call that gives a message id) and awaitResult.
    int request(const std::wstring& what, const std::function<int(ldap*, int*)>& send, LdapMessage& result);
    // Abandons messageId after a time-out or a Stop; a failed abandon
    // leaves the connection unusable (lost).
    void giveUp(int messageId);
    // Marks the session lost once (see the class comment).
    void markLost(int code);
    // A failure code of a call: 81 marks the session lost. Returns code.
    int noteFailure(int code);
    void releaseHandle();
    // The server for texts: "host:port".
    std::wstring serverName() const;

    std::unique_ptr<ldap, HandleCloser> m_pHandle;
    std::atomic<bool> m_bConnected{false};
    std::atomic<int> m_iLostCode{0};
    std::atomic<int> m_iSocket{-1};
    std::function<void(int)> m_lostHandler;
    std::atomic<int> m_iConnectSeconds{Timeouts().connectSeconds};
    std::atomic<int> m_iOperationSeconds{Timeouts().operationSeconds};
    std::wstring m_strHost;
    int m_iPort = 0;
    unsigned int m_uTimeLimit = 0;
    int m_iConnectResult = 0;
    TlsSettings m_tls;
    std::wstring m_strTlsVersion;
    std::wstring m_strTlsCipher;
};

} // namespace ldapmodel
