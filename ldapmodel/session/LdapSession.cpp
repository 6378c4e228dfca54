#include "session/LdapSession.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "schema/ValueKind.h"
#include "session/HostLookup.h"
#include "session/LdapBerElement.h"
#include "session/LdapBerval.h"
#include "session/LdapErrorReport.h"
#include "session/LdapMemory.h"
#include "session/LdapMessage.h"
#include "session/LdapModList.h"
#include "session/LdapPagedSearch.h"
#include "session/LdapSearchMessage.h"
#include "session/LdapValueList.h"
#include "session/ServerCertificateService.h"
#include "session/TcpConnect.h"
#include "session/TlsHandshake.h"
#include "session/TrustAnchors.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"
#include "utilities/WaitService.h"

#include <ldap.h>
#include <openldap.h>

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>

namespace ldapmodel {

static_assert(LdapSession::SCOPE_BASE == LDAP_SCOPE_BASE, "scope values");
static_assert(LdapSession::SCOPE_ONELEVEL == LDAP_SCOPE_ONELEVEL, "scope values");
static_assert(LdapSession::SCOPE_SUBTREE == LDAP_SCOPE_SUBTREE, "scope values");
static_assert(LdapSession::MESSAGE_SEARCH_ENTRY == LDAP_RES_SEARCH_ENTRY, "message types");
static_assert(LdapSession::MESSAGE_SEARCH_RESULT == LDAP_RES_SEARCH_RESULT, "message types");

namespace {

using AttributeList = std::vector<memorylib::gc_ptr<LDAPAttribute>>;

// A null-terminated UTF-8 attribute list; null for an empty list.
class AttributeNames {
public:
    explicit AttributeNames(const std::vector<std::wstring>& names)
    {
        m_names.reserve(names.size());
        for (const auto& name : names)
            m_names.push_back(util::toUtf8(name));
        m_pointers.reserve(m_names.size() + 1);
        for (auto& name : m_names)
            m_pointers.push_back(name.data());
        m_pointers.push_back(nullptr);
    }
    char** get() { return m_names.empty() ? nullptr : m_pointers.data(); }

private:
    std::vector<std::string> m_names;
    std::vector<char*> m_pointers;
};

int toLibrarySizeLimit(unsigned int sizeLimit)
{
    return static_cast<int>(std::min<unsigned int>(sizeLimit, INT_MAX));
}

// Attributes of one search entry that have values, in the server's order.
void collectAttributes(LDAP* handle, LDAPMessage* entry, AttributeList& attributes)
{
    LdapBerElement walk;
    for (LdapMemory name(ldap_first_attribute(handle, entry, walk.receive())); name.get() != nullptr;
         name.reset(ldap_next_attribute(handle, entry, walk.get()))) {
        LdapValueList values(ldap_get_values_len(handle, entry, name.get()));
        if (values.isNull() || values.get()[0] == nullptr)
            continue;
        memorylib::gc_ptr<LDAPAttribute> attribute =
            new LDAPAttribute(util::fromUtf8(name.get()), VALUEKIND_UNKNOWN);
        for (berval* const* value = values.get(); *value != nullptr; ++value)
            attribute->addValue(new LDAPAttributeValue(*value));
        attributes.push_back(attribute);
    }
}

struct ControlFree {
    void operator()(LDAPControl* control) const { ldap_control_free(control); }
};
struct ControlsFree {
    void operator()(LDAPControl** controls) const { ldap_controls_free(controls); }
};
struct BerFree {
    void operator()(BerElement* ber) const { ber_free(ber, 1); }
};

// The paged results control, not critical. libldap encodes no page of
// none, the request that ends a paged search on the server (RFC 2696):
// that one is encoded here with liblber.
int createPageControl(LDAP* handle, unsigned int pageSize, berval& cookie, LDAPControl*& control)
{
    if (pageSize > 0)
        return ldap_create_page_control(handle, static_cast<ber_int_t>(std::min<unsigned int>(pageSize, INT_MAX)),
                                        &cookie, 0, &control);
    std::unique_ptr<BerElement, BerFree> ber(ber_alloc_t(LBER_USE_DER));
    if (ber == nullptr)
        return LDAP_NO_MEMORY;
    berval value{};
    if (ber_printf(ber.get(), "{iO}", static_cast<ber_int_t>(0), &cookie) == -1 ||
        ber_flatten2(ber.get(), &value, 0) == -1)
        return LDAP_ENCODING_ERROR;
    return ldap_control_create(LDAP_CONTROL_PAGEDRESULTS, 0, &value, 1, &control);
}

// TRUE or FALSE in the entry's hasSubordinates; Unknown without one.
Subordinates subordinatesOf(LDAP* handle, LDAPMessage* entry)
{
    LdapValueList values(ldap_get_values_len(handle, entry, "hasSubordinates"));
    if (values.isNull() || values.get()[0] == nullptr)
        return Subordinates::Unknown;
    const berval* value = values.get()[0];
    const std::string text(value->bv_val, value->bv_len);
    if (strcasecmp(text.c_str(), "FALSE") == 0)
        return Subordinates::None;
    if (strcasecmp(text.c_str(), "TRUE") == 0)
        return Subordinates::Some;
    return Subordinates::Unknown;
}

// The paged results response among a final result's controls, if any.
void readPageResponse(LDAP* handle, LDAPControl** controls, LdapSearchMessage& message)
{
    LDAPControl* response = controls != nullptr ? ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr)
                                                : nullptr;
    if (response == nullptr)
        return;
    ber_int_t estimate = 0;
    berval cookie{};
    if (ldap_parse_pageresponse_control(handle, response, &estimate, &cookie) != LDAP_SUCCESS)
        return;
    LdapMemory owned(cookie.bv_val);
    message.paged = true;
    message.cookie.assign(cookie.bv_val != nullptr ? cookie.bv_val : "", cookie.bv_len);
}

// Hands the result code, with the server's diagnostic message (UTF-8, may
// be null) for a server result, to the error report; returns the code.
int noteResult(int code, const char* diagnostic)
{
    // Client codes (81 and up) come with no server message.
    const bool fromServer = code > LDAP_SUCCESS && code <= LDAP_OTHER;
    setLastDiagnostic(code, fromServer && diagnostic != nullptr ? util::fromUtf8(diagnostic) : std::wstring());
    return code;
}

// The same, with the message the handle kept from its last result.
int noteResult(LDAP* handle, int code)
{
    if (code <= LDAP_SUCCESS || code > LDAP_OTHER || handle == nullptr)
        return noteResult(code, nullptr);
    char* text = nullptr;
    if (ldap_get_option(handle, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS)
        text = nullptr;
    LdapMemory owned(text);
    return noteResult(code, owned.get());
}

// A host name that fits into an LDAP URL unchanged; IPv6 literals get
// their brackets.
bool hostForUrl(const std::wstring& host, std::string& urlHost)
{
    for (wchar_t c : host) {
        bool allowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                       (c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L'_' ||
                       c == L':' || c == L'%';
        if (!allowed)
            return false;
    }
    urlHost = util::toUtf8(host);
    if (urlHost.find(':') != std::string::npos)
        urlHost = "[" + urlHost + "]";
    return true;
}

using Clock = std::chrono::steady_clock;

timeval toTimeval(std::chrono::milliseconds span)
{
    timeval value{};
    value.tv_sec = static_cast<time_t>(span.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>((span.count() % 1000) * 1000);
    return value;
}

// The handle's socket, or -1 when it has none (never opened, or closed by
// the library after a failure).
int socketOf(LDAP* handle)
{
    int socket = -1;
    if (ldap_get_option(handle, LDAP_OPT_DESC, &socket) != LDAP_OPT_SUCCESS)
        return -1;
    return socket;
}

// No write may block: libldap keeps what it could not send and sends it
// while it waits for results.
void makeNonBlocking(int socket)
{
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) == 0)
        ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

// The library's code for the last failure on the handle.
int lastLibraryCode(LDAP* handle)
{
    int code = LDAP_OTHER;
    ldap_get_option(handle, LDAP_OPT_RESULT_CODE, &code);
    return code;
}

// "the root entry" for the empty DN, else the DN.
std::wstring entryName(const std::wstring& dn)
{
    return dn.empty() ? std::wstring(L"the root entry") : dn;
}

} // namespace

// Releases the handle at the end of a public call that lost the connection,
// so that nothing up the call's stack uses a released handle.
class LdapSession::CallScope {
public:
    explicit CallScope(LdapSession& session) : m_session(session) {}
    ~CallScope()
    {
        if (m_session.isLost())
            m_session.releaseHandle();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    LdapSession& m_session;
};

void LdapSession::HandleCloser::operator()(ldap* handle) const
{
    if (handle == nullptr)
        return;
    // The unbind request must not wait for a server that reads nothing.
    const int socket = socketOf(handle);
    if (socket >= 0)
        makeNonBlocking(socket);
    // libldap 2.5 frees every TLS option with the handle but this one.
    ldap_set_option(handle, LDAP_OPT_X_TLS_CACERT, nullptr);
    ldap_unbind_ext_s(handle, nullptr, nullptr);
}

LdapSession::LdapSession() = default;

LdapSession::~LdapSession() = default;

void LdapSession::setTimeouts(const Timeouts& timeouts)
{
    m_iConnectSeconds.store(timeouts.connectSeconds);
    m_iOperationSeconds.store(timeouts.operationSeconds);
}

LdapSession::Timeouts LdapSession::getTimeouts() const
{
    return {m_iConnectSeconds.load(), m_iOperationSeconds.load()};
}

ldap* LdapSession::usableHandle() const
{
    return isLost() ? nullptr : m_pHandle.get();
}

std::wstring LdapSession::serverName() const
{
    return m_strHost + L":" + std::to_wstring(m_iPort);
}

void LdapSession::markLost(int code)
{
    int expected = 0;
    if (!m_iLostCode.compare_exchange_strong(expected, code))
        return;
    util::Log::getLog(L"ldapmodel")->write(L"LdapSession connection to %s lost, code %d", serverName().c_str(),
                                          code);
    // A connect that fails is no lost connection: it just fails.
    if (m_bConnected.load() && m_lostHandler)
        m_lostHandler(code);
}

int LdapSession::noteFailure(int code)
{
    if (code == ldapResultCode(LDAP_SERVER_DOWN))
        markLost(code);
    return code;
}

void LdapSession::releaseHandle()
{
    m_iSocket.store(-1);
    m_pHandle.reset();
    m_bConnected.store(false);
}

void LdapSession::interrupt()
{
    const int socket = m_iSocket.load();
    if (socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
}

void LdapSession::giveUp(int messageId)
{
    if (ldap_abandon_ext(m_pHandle.get(), messageId, nullptr, nullptr) != LDAP_SUCCESS)
        markLost(ldapResultCode(LDAP_SERVER_DOWN));
}

int LdapSession::awaitResult(int messageId, const std::wstring& what, int timeoutSeconds,
                             LdapMessage& result)
{
    return awaitResultUntil(messageId, what, Clock::now() + std::chrono::seconds(timeoutSeconds), result);
}

int LdapSession::awaitResultUntil(int messageId, const std::wstring& what, Clock::time_point deadline,
                                  LdapMessage& result)
{
    LDAP* handle = m_pHandle.get();
    util::WaitScope wait(what);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        timeval slice = toTimeval(std::clamp(left, std::chrono::milliseconds(0),
                                             std::chrono::milliseconds(WAIT_SLICE_MILLISECONDS)));
        const int type = ldap_result(handle, messageId, LDAP_MSG_ALL, &slice, result.receive());
        if (type > 0) {
            // The result message of the chain (a search's follows its entries).
            int code = LDAP_SUCCESS;
            char* diagnostic = nullptr;
            const int parsed =
                ldap_parse_result(handle, result.get(), &code, nullptr, &diagnostic, nullptr, nullptr, 0);
            LdapMemory ownedDiagnostic(diagnostic);
            return noteResult(ldapResultCode(parsed == LDAP_SUCCESS ? code : parsed), ownedDiagnostic.get());
        }
        if (type < 0)
            return noteResult(noteFailure(ldapResultCode(lastLibraryCode(handle))), nullptr);
        // The library closes a connection whose write failed and then
        // waits on nothing: that is the server going away too.
        if (socketOf(handle) < 0)
            return noteFailure(ldapResultCode(LDAP_SERVER_DOWN));
        if (Clock::now() >= deadline) {
            giveUp(messageId);
            return ldapResultCode(LDAP_TIMEOUT);
        }
        const util::WaitAnswer answer = wait.poll();
        if (answer == util::WaitAnswer::Continue)
            continue;
        util::Log::getLog(L"ldapmodel")->write(L"LdapSession %s: %s given up", serverName().c_str(),
                                              what.c_str());
        giveUp(messageId);
        if (answer == util::WaitAnswer::Cancel)
            markLost(ldapResultCode(LDAP_USER_CANCELLED));
        return ldapResultCode(LDAP_USER_CANCELLED);
    }
}

int LdapSession::lookUpHost(Clock::time_point deadline)
{
    // libldap looks the host up again inside its connect, where no time-out
    // reaches; a resolver that has just answered answers again at once. A
    // name it doesn't know is left to libldap to report as it always has.
    HostLookup lookup;
    switch (lookup.run(util::toUtf8(m_strHost), m_iPort, deadline, L"Connecting to " + serverName() + L"...")) {
    case HostLookup::Outcome::Found:
    case HostLookup::Outcome::Failed:
        return LDAP_SUCCESS;
    case HostLookup::Outcome::TimedOut:
        break;
    case HostLookup::Outcome::GivenUp:
        return ldapResultCode(LDAP_USER_CANCELLED);
    }
    const int code = ldapResultCode(LDAP_TIMEOUT);
    setLastDiagnostic(code, L"The host name " + m_strHost + L" was not found in time.");
    reportLdapError(code, L"Bind to server");
    return code;
}

int LdapSession::openHandle(const std::string& url)
{
    LDAP* handle = nullptr;
    if (ldap_initialize(&handle, url.c_str()) != LDAP_SUCCESS && handle != nullptr) {
        ldap_unbind_ext_s(handle, nullptr, nullptr);
        handle = nullptr;
    }
    m_pHandle.reset(handle);
    if (m_pHandle == nullptr) {
        const int code = ldapResultCode(LDAP_SERVER_DOWN);
        reportLdapError(code, L"Cannot create a connection");
        return code;
    }
    return applyOptions();
}

int LdapSession::applyOptions()
{
    // Version 3; the TCP connect runs in the background and is bounded, and
    // so is any wait the library does on its own (libldap 2.5 waits for the
    // TLS handshake in slices of its network time-out only when asynchronous).
    int version = LDAP_VERSION3;
    int code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_PROTOCOL_VERSION, &version));
    const Timeouts timeouts = getTimeouts();
    timeval connectTimeout = toTimeval(std::chrono::seconds(timeouts.connectSeconds));
    timeval operationTimeout = toTimeval(std::chrono::seconds(timeouts.operationSeconds));
    if (code == LDAP_SUCCESS)
        code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_NETWORK_TIMEOUT, &connectTimeout));
    if (code == LDAP_SUCCESS)
        code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_TIMEOUT, &operationTimeout));
    if (code == LDAP_SUCCESS)
        code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_CONNECT_ASYNC, LDAP_OPT_ON));
    if (code != LDAP_SUCCESS) {
        reportLdapError(code, L"Set Server Options");
        releaseHandle();
        return code;
    }
    return LDAP_SUCCESS;
}

void LdapSession::abandonConnection()
{
    const int socket = m_iSocket.load();
    if (socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
    releaseHandle();
}

int LdapSession::connectSocket(const std::string& url, Clock::time_point deadline)
{
    const std::wstring context = L"Connect to " + serverName();
    int socket = -1;
    std::wstring diagnostic;
    const TcpConnect::Outcome outcome = TcpConnect::open(util::toUtf8(m_strHost), m_iPort, deadline,
                                                         L"Connecting to " + serverName() + L"...", socket,
                                                         diagnostic);
    int code = LDAP_SUCCESS;
    if (outcome == TcpConnect::Outcome::GivenUp)
        return ldapResultCode(LDAP_USER_CANCELLED);
    if (outcome == TcpConnect::Outcome::TimedOut)
        code = ldapResultCode(LDAP_TIMEOUT);
    else if (outcome == TcpConnect::Outcome::Failed)
        code = ldapResultCode(LDAP_SERVER_DOWN);
    if (code != LDAP_SUCCESS) {
        setLastDiagnostic(code, diagnostic);
        reportLdapError(code, context);
        return code;
    }
    // libldap takes the connected socket over.
    LDAP* handle = nullptr;
    if (ldap_init_fd(socket, LDAP_PROTO_TCP, url.c_str(), &handle) != LDAP_SUCCESS || handle == nullptr) {
        ::close(socket);
        code = ldapResultCode(LDAP_SERVER_DOWN);
        reportLdapError(code, L"Cannot create a connection");
        return code;
    }
    m_pHandle.reset(handle);
    m_iSocket.store(socket);
    return applyOptions();
}

int LdapSession::startTls(Clock::time_point deadline)
{
    int messageId = -1;
    int code = ldapResultCode(ldap_start_tls(m_pHandle.get(), nullptr, nullptr, &messageId));
    LdapMessage result;
    if (code == LDAP_SUCCESS)
        code = awaitResultUntil(messageId, L"Starting TLS with " + serverName() + L"...", deadline, result);
    if (code == LDAP_SUCCESS)
        return code;
    // Never on in clear text: the connect ends here.
    const bool refused = code > LDAP_SUCCESS && code <= LDAP_OTHER;
    reportLdapError(code, refused ? std::wstring(L"The server refused StartTLS; no bind was sent")
                                  : L"StartTLS with " + serverName());
    return code;
}

bool LdapSession::acceptCertificate(const TrustAnchors& trust)
{
    berval der{};
    if (ldap_get_option(m_pHandle.get(), LDAP_OPT_X_TLS_PEERCERT, &der) != LDAP_OPT_SUCCESS || der.bv_val == nullptr)
        return false;
    LdapMemory owned(der.bv_val);
    ServerCertificate certificate;
    certificate.host = m_strHost;
    certificate.port = m_iPort;
    certificate.der.assign(der.bv_val, der.bv_len);
    certificate.trustAnchors = trust.pem();
    const bool accepted = serverCertificateService().accept(certificate);
    util::Log::getLog(L"ldapmodel")->write(L"LdapSession %s: unverified certificate %s", serverName().c_str(),
                                          accepted ? L"accepted" : L"refused");
    return accepted;
}

int LdapSession::secureConnection(const std::string& url, Clock::time_point deadline)
{
    TrustAnchors trust;
    std::wstring error;
    if (!trust.prepare(m_tls.caFile, error)) {
        util::messageBox(L"Secure connection", error, util::BoxIcon::Warning, util::BoxButtons::Ok);
        return ldapResultCode(LDAP_LOCAL_ERROR);
    }
    std::wstring firstFailure;
    // libldap verifies first; a certificate it refuses is fetched once more
    // without verification, for the certificate service to judge.
    for (const bool verify : {true, false}) {
        int code = connectSocket(url, deadline);
        if (code != LDAP_SUCCESS)
            return code;
        int require = verify ? LDAP_OPT_X_TLS_DEMAND : LDAP_OPT_X_TLS_ALLOW;
        int subjectAltName = LDAP_OPT_X_TLS_ALLOW;  // a name in the certificate must match the host
        int client = 0;
        LDAP* handle = m_pHandle.get();
        code = ldapOptionResultCode(ldap_set_option(handle, LDAP_OPT_X_TLS_REQUIRE_CERT, &require));
        if (code == LDAP_SUCCESS)
            code = ldapOptionResultCode(ldap_set_option(handle, LDAP_OPT_X_TLS_REQUIRE_SAN, &subjectAltName));
        if (code == LDAP_SUCCESS)
            code = ldapOptionResultCode(ldap_set_option(
                handle, LDAP_OPT_X_TLS_CACERTFILE, trust.libraryFile().empty() ? nullptr : trust.libraryFile().c_str()));
        if (code == LDAP_SUCCESS)
            code = ldapOptionResultCode(ldap_set_option(handle, LDAP_OPT_X_TLS_CACERTDIR, nullptr));
        if (code == LDAP_SUCCESS && !trust.libraryCertificate().empty()) {
            berval certificate{trust.libraryCertificate().size(), const_cast<char*>(trust.libraryCertificate().data())};
            code = ldapOptionResultCode(ldap_set_option(handle, LDAP_OPT_X_TLS_CACERT, &certificate));
        }
        // A fresh context of this connection's own, built from the options above.
        if (code == LDAP_SUCCESS)
            code = ldapOptionResultCode(ldap_set_option(handle, LDAP_OPT_X_TLS_NEWCTX, &client));
        if (code != LDAP_SUCCESS) {
            noteResult(handle, code);
            reportLdapError(code, L"Set up TLS");
            abandonConnection();
            return code;
        }
        if (m_tls.mode == SecurityMode::StartTls)
            code = startTls(deadline);
        if (code != LDAP_SUCCESS) {
            abandonConnection();
            return code;
        }

        std::wstring diagnostic;
        const TlsHandshake::Outcome outcome = TlsHandshake::run(
            handle, m_iSocket.load(), deadline, L"Securing the connection to " + serverName() + L"...", diagnostic);
        if (outcome == TlsHandshake::Outcome::Done) {
            if (!verify && !acceptCertificate(trust)) {
                abandonConnection();
                return ldapResultCode(LDAP_USER_CANCELLED);
            }
            char* version = nullptr;
            char* cipher = nullptr;
            ldap_get_option(handle, LDAP_OPT_X_TLS_VERSION, &version);
            ldap_get_option(handle, LDAP_OPT_X_TLS_CIPHER, &cipher);
            LdapMemory ownedVersion(version);
            LdapMemory ownedCipher(cipher);
            m_strTlsVersion = version != nullptr ? util::fromUtf8(version) : std::wstring(L"TLS");
            m_strTlsCipher = cipher != nullptr ? util::fromUtf8(cipher) : std::wstring();
            return LDAP_SUCCESS;
        }
        abandonConnection();
        if (outcome == TlsHandshake::Outcome::GivenUp)
            return ldapResultCode(LDAP_USER_CANCELLED);
        const std::wstring context = L"TLS handshake with " + serverName();
        if (outcome == TlsHandshake::Outcome::TimedOut) {
            code = ldapResultCode(LDAP_TIMEOUT);
            reportLdapError(code, context);
            return code;
        }
        if (verify) {
            firstFailure = diagnostic;
            continue;
        }
        code = ldapResultCode(LDAP_CONNECT_ERROR);
        std::wstring detail = diagnostic.empty() ? firstFailure : diagnostic;
        if (m_tls.mode == SecurityMode::Ldaps)
            detail += std::wstring(detail.empty() ? L"" : L"\n")
                      + L"Does the server take LDAPS on this port? LDAPS is usually on port 636, StartTLS on 389.";
        setLastDiagnostic(code, detail);
        reportLdapError(code, context);
        return code;
    }
    return ldapResultCode(LDAP_CONNECT_ERROR);
}

int LdapSession::connect(const std::wstring& host, int port, const std::wstring& bindDn,
                         const std::wstring& password, bool anonymous)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::connect");
    disconnect();
    m_iLostCode.store(0);
    m_strHost = host;
    m_iPort = port;
    m_strTlsVersion.clear();
    m_strTlsCipher.clear();
    static const wchar_t* const kModes[] = {L"", L" LDAPS", L" StartTLS"};
    util::Log::getLog(L"ldapmodel")
        ->write(L"LdapSession::connect %s port %d%s%s", host.c_str(), port, kModes[static_cast<int>(m_tls.mode)],
                anonymous ? L" anonymous" : L"");

    std::string urlHost;
    if (port <= 0 || port > 65535 || !hostForUrl(host, urlHost)) {
        m_iConnectResult = ldapResultCode(LDAP_SERVER_DOWN);
        reportLdapError(m_iConnectResult, L"Cannot create a connection");
        return -1;
    }
    // The URL stays ldap:// for LDAPS too: the TLS handshake is run here,
    // bounded and watched, not inside the library's connect.
    const std::string url = "ldap://" + urlHost + ":" + std::to_string(port);
    const Timeouts timeouts = getTimeouts();
    int code = LDAP_SUCCESS;
    if (m_tls.mode == SecurityMode::None) {
        code = lookUpHost(Clock::now() + std::chrono::seconds(timeouts.connectSeconds));
        if (code == LDAP_SUCCESS)
            code = openHandle(url);
    } else
        code = secureConnection(url, Clock::now() + std::chrono::seconds(timeouts.connectSeconds));
    if (code != LDAP_SUCCESS) {
        m_iConnectResult = code;
        releaseHandle();
        return -1;
    }

    std::string dn;
    std::string secret;
    if (!anonymous) {
        dn = util::toUtf8(bindDn);
        secret = util::toUtf8(password);
    }
    berval credentials{};
    credentials.bv_len = secret.size();
    credentials.bv_val = anonymous ? nullptr : secret.data();
    int messageId = -1;
    code = ldapResultCode(ldap_sasl_bind(m_pHandle.get(), anonymous ? nullptr : dn.c_str(), LDAP_SASL_SIMPLE,
                                         &credentials, nullptr, nullptr, &messageId));
    std::fill(secret.begin(), secret.end(), '\0');
    // libldap 2.5 queues the bind while the connect runs; should it ask to
    // be called again instead, the server is out of reach for this purpose.
    if (code == LDAP_X_CONNECTING)
        code = ldapResultCode(LDAP_SERVER_DOWN);
    const int socket = socketOf(m_pHandle.get());
    if (code == LDAP_SUCCESS && socket >= 0) {
        makeNonBlocking(socket);
        m_iSocket.store(socket);
        LdapMessage result;
        code = awaitResult(messageId, L"Connecting to " + serverName() + L"...", timeouts.connectSeconds,
                           result);
    } else if (code == LDAP_SUCCESS) {
        code = ldapResultCode(LDAP_SERVER_DOWN);
    }
    if (code != LDAP_SUCCESS) {
        m_iConnectResult = code;
        if (code == ldapResultCode(LDAP_SERVER_DOWN) && m_tls.mode == SecurityMode::None && port == kLdapsPort)
            setLastDiagnostic(code, L"Port 636 is the usual port of LDAPS: should the connection's security be LDAPS?");
        reportLdapError(code, L"Bind to server");
        releaseHandle();
        return -1;
    }
    m_iConnectResult = 0;
    m_bConnected.store(true);
    return 0;
}

void LdapSession::disconnect()
{
    DIRLOOK_GUARD(L"LdapSession");
    if (m_pHandle != nullptr)
        util::Log::getLog(L"ldapmodel")->write(L"LdapSession::disconnect");
    releaseHandle();
}

int LdapSession::setTimeLimit(unsigned int seconds)
{
    DIRLOOK_GUARD(L"LdapSession");
    m_uTimeLimit = seconds;
    if (m_pHandle == nullptr)
        return 0;
    int limit = static_cast<int>(std::min<unsigned int>(seconds, INT_MAX));
    int code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_TIMELIMIT, &limit));
    if (code != LDAP_SUCCESS)
        reportLdapError(code, ldapErrorText(code));
    return code;
}

int LdapSession::searchEntries(const std::wstring& base, int scope, const std::wstring& filter,
                               const std::vector<std::wstring>& attributes, bool attrsOnly,
                               unsigned int sizeLimit,
                               std::vector<memorylib::gc_ptr<LDAPEntry>>& entries)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::searchEntries");
    CallScope call(*this);
    LDAP* handle = usableHandle();
    if (handle == nullptr)
        return -1;
    AttributeNames names(attributes);
    LdapMessage result;
    int code = search(base, scope, filter, names.get(), attrsOnly, sizeLimit, L"Searching " + entryName(base) + L"...",
                      result);
    if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED)
        return code;
    return appendEntries(result, attrsOnly, entries) ? code : -1;
}

int LdapSession::searchAllEntries(const std::wstring& base, int scope, const std::wstring& filter,
                                  const std::vector<std::wstring>& attributes, bool attrsOnly,
                                  unsigned int pageSize, std::vector<memorylib::gc_ptr<LDAPEntry>>& entries)
{
    if (pageSize == 0)
        return searchEntries(base, scope, filter, attributes, attrsOnly, 0, entries);
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::searchAllEntries");
    CallScope call(*this);
    std::string cookie;
    for (;;) {
        int messageId = 0;
        int code = searchPageAsync(base, scope, filter, attributes, attrsOnly, 0, pageSize, cookie, messageId);
        if (code != LDAP_SUCCESS)
            return code;
        LdapMessage result;
        code = awaitResult(messageId, L"Searching " + entryName(base) + L"...", m_iOperationSeconds.load(), result);
        // Listed, but not for this search: read it in one request.
        if (cookie.empty() && LdapPagedSearch::refusesPaging(code))
            return searchEntries(base, scope, filter, attributes, attrsOnly, 0, entries);
        if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED)
            return code;
        if (!appendEntries(result, attrsOnly, entries))
            return -1;
        LdapSearchMessage page;
        LDAPControl** controls = nullptr;
        if (ldap_parse_result(m_pHandle.get(), result.get(), nullptr, nullptr, nullptr, nullptr, &controls, 0) ==
            LDAP_SUCCESS) {
            readPageResponse(m_pHandle.get(), controls, page);
            ldap_controls_free(controls);
        }
        if (code != LDAP_SUCCESS || !page.paged || page.cookie.empty())
            return code;
        cookie = page.cookie;
    }
}

bool LdapSession::appendEntries(LdapMessage& result, bool attrsOnly,
                                std::vector<memorylib::gc_ptr<LDAPEntry>>& entries)
{
    LDAP* handle = m_pHandle.get();
    for (LDAPMessage* entry = ldap_first_entry(handle, result.get()); entry != nullptr;
         entry = ldap_next_entry(handle, entry)) {
        LdapMemory dn(ldap_get_dn(handle, entry));
        if (dn.get() == nullptr)
            return false;
        memorylib::gc_ptr<LDAPEntry> record = new LDAPEntry();
        record->setDN(util::fromUtf8(dn.get()));
        if (!attrsOnly) {
            AttributeList found;
            collectAttributes(handle, entry, found);
            record->appendUserAttributes(found);
        }
        entries.push_back(record);
    }
    return true;
}

int LdapSession::search(const std::wstring& base, int scope, const std::wstring& filter, char** attributes,
                        bool attrsOnly, unsigned int sizeLimit, const std::wstring& what, LdapMessage& result)
{
    int messageId = -1;
    const int code = ldapResultCode(ldap_search_ext(m_pHandle.get(), util::toUtf8(base).c_str(), scope,
                                                    util::toUtf8(filter).c_str(), attributes, attrsOnly ? 1 : 0,
                                                    nullptr, nullptr, nullptr, toLibrarySizeLimit(sizeLimit),
                                                    &messageId));
    if (code != LDAP_SUCCESS)
        return noteFailure(code);
    return awaitResult(messageId, what, m_iOperationSeconds.load(), result);
}

int LdapSession::request(const std::wstring& what, const std::function<int(LDAP*, int*)>& send,
                         LdapMessage& result)
{
    int messageId = -1;
    const int code = ldapResultCode(send(m_pHandle.get(), &messageId));
    if (code != LDAP_SUCCESS)
        return noteFailure(code);
    return awaitResult(messageId, what, m_iOperationSeconds.load(), result);
}

int LdapSession::readAttributes(const std::wstring& dn, const std::vector<std::wstring>& attributes,
                                unsigned int sizeLimit, AttributeList& attributesOut)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    LDAP* handle = usableHandle();
    if (handle == nullptr)
        return -1;
    AttributeNames names(attributes);
    LdapMessage result;
    int code = search(dn, LDAP_SCOPE_BASE, L"objectclass=*", names.get(), false, sizeLimit,
                      L"Reading " + entryName(dn) + L"...", result);
    if (code != LDAP_SUCCESS)
        return code;
    LDAPMessage* entry = ldap_first_entry(handle, result.get());
    if (entry != nullptr)
        collectAttributes(handle, entry, attributesOut);
    return code;
}

bool LdapSession::entryExists(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    LDAP* handle = usableHandle();
    if (handle == nullptr)
        return false;
    AttributeNames names({L"*"});
    LdapMessage result;
    int code = search(dn, LDAP_SCOPE_BASE, L"objectclass=*", names.get(), true, 0,
                      L"Looking up " + entryName(dn) + L"...", result);
    return code == LDAP_SUCCESS && ldap_first_entry(handle, result.get()) != nullptr;
}

int LdapSession::searchAsync(const std::wstring& base, int scope, const std::wstring& filter,
                             const std::vector<std::wstring>& attributes, bool attrsOnly,
                             unsigned int sizeLimit, int& messageId)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    messageId = 0;
    if (usableHandle() == nullptr)
        return -1;
    return sendSearch(base, scope, filter, attributes, attrsOnly, sizeLimit, nullptr, messageId);
}

int LdapSession::searchPageAsync(const std::wstring& base, int scope, const std::wstring& filter,
                                 const std::vector<std::wstring>& attributes, bool attrsOnly,
                                 unsigned int sizeLimit, unsigned int pageSize, const std::string& cookie,
                                 int& messageId)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    messageId = 0;
    LDAP* handle = usableHandle();
    if (handle == nullptr)
        return -1;
    berval position{};
    position.bv_len = cookie.size();
    position.bv_val = const_cast<char*>(cookie.data());
    LDAPControl* page = nullptr;
    const int created = createPageControl(handle, pageSize, position, page);
    if (created != LDAP_SUCCESS)
        return noteFailure(ldapResultCode(created));
    std::unique_ptr<LDAPControl, ControlFree> owned(page);
    LDAPControl* controls[] = {page, nullptr};
    return sendSearch(base, scope, filter, attributes, attrsOnly, sizeLimit, controls, messageId);
}

int LdapSession::sendSearch(const std::wstring& base, int scope, const std::wstring& filter,
                            const std::vector<std::wstring>& attributes, bool attrsOnly, unsigned int sizeLimit,
                            LDAPControl** serverControls, int& messageId)
{
    AttributeNames names(attributes);
    timeval timeLimit{};
    timeLimit.tv_sec = static_cast<time_t>(m_uTimeLimit);
    int id = 0;
    int code = ldapResultCode(ldap_search_ext(
        m_pHandle.get(), util::toUtf8(base).c_str(), scope, util::toUtf8(filter).c_str(), names.get(),
        attrsOnly ? 1 : 0, serverControls, nullptr, m_uTimeLimit > 0 ? &timeLimit : nullptr,
        toLibrarySizeLimit(sizeLimit), &id));
    if (code == LDAP_SUCCESS)
        messageId = id;
    return noteFailure(code);
}

int LdapSession::nextResult(int messageId, bool withValues, int waitMilliseconds,
                            LdapSearchMessage& message, bool readSubordinates)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    message = LdapSearchMessage();
    LDAP* handle = usableHandle();
    if (handle == nullptr) {
        message.resultCode = -1;
        return -1;
    }
    timeval wait{};
    if (waitMilliseconds >= 0)
        wait = toTimeval(std::chrono::milliseconds(waitMilliseconds));
    LdapMessage result;
    int type = ldap_result(handle, messageId, LDAP_MSG_ONE,
                           waitMilliseconds >= 0 ? &wait : nullptr, result.receive());
    if (type == 0 && socketOf(handle) < 0)
        type = -1;  // the library closed the connection after a failed write
    if (type == 0)
        return 0;
    if (type < 0) {
        message.resultCode = noteFailure(ldapResultCode(socketOf(handle) < 0 ? LDAP_SERVER_DOWN
                                                                             : lastLibraryCode(handle)));
        return -1;
    }
    message.type = type;
    if (type == LDAP_RES_SEARCH_ENTRY) {
        LdapMemory dn(ldap_get_dn(handle, result.get()));
        if (dn.get() != nullptr) {
            message.hasDn = true;
            message.dn = util::fromUtf8(dn.get());
            if (withValues) {
                message.entry = new LDAPEntry();
                message.entry->setDN(message.dn);
                AttributeList found;
                collectAttributes(handle, result.get(), found);
                message.entry->appendUserAttributes(found);
            }
            if (readSubordinates)
                message.subordinates = subordinatesOf(handle, result.get());
        }
    } else if (type == LDAP_RES_SEARCH_RESULT) {
        int code = LDAP_SUCCESS;
        LDAPControl** controls = nullptr;
        int parsed = ldap_parse_result(handle, result.get(), &code, nullptr, nullptr, nullptr, &controls, 0);
        std::unique_ptr<LDAPControl*, ControlsFree> ownedControls(controls);
        if (parsed == LDAP_SUCCESS)
            readPageResponse(handle, controls, message);
        message.resultCode = noteResult(handle, ldapResultCode(parsed == LDAP_SUCCESS ? code : parsed));
    }
    return type;
}

int LdapSession::abandon(int messageId)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    const int code = ldapResultCode(ldap_abandon_ext(m_pHandle.get(), messageId, nullptr, nullptr));
    // An abandon that cannot be sent leaves a request half written.
    if (code != LDAP_SUCCESS)
        markLost(ldapResultCode(LDAP_SERVER_DOWN));
    return code;
}

int LdapSession::addEntry(const std::wstring& dn, LdapModList& modifications)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::addEntry");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    const std::string target = util::toUtf8(dn);
    LdapMessage result;
    return request(L"Adding " + dn + L"...", [&](LDAP* handle, int* messageId) {
        return ldap_add_ext(handle, target.c_str(), modifications.get(), nullptr, nullptr, messageId);
    }, result);
}

int LdapSession::modifyEntry(const std::wstring& dn, LdapModList& modifications)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::modifyEntry");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    const std::string target = util::toUtf8(dn);
    LdapMessage result;
    return request(L"Modifying " + dn + L"...", [&](LDAP* handle, int* messageId) {
        return ldap_modify_ext(handle, target.c_str(), modifications.get(), nullptr, nullptr, messageId);
    }, result);
}

int LdapSession::deleteEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::deleteEntry");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    const std::string target = util::toUtf8(dn);
    LdapMessage result;
    return request(L"Deleting " + dn + L"...", [&](LDAP* handle, int* messageId) {
        return ldap_delete_ext(handle, target.c_str(), nullptr, nullptr, messageId);
    }, result);
}

int LdapSession::deleteSubtree(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::deleteSubtree");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    LDAPControl control{};
    control.ldctl_oid = const_cast<char*>(LDAP_CONTROL_X_TREE_DELETE);
    control.ldctl_iscritical = 1;
    LDAPControl* controls[] = {&control, nullptr};
    const std::string target = util::toUtf8(dn);
    LdapMessage result;
    return request(L"Deleting " + dn + L" and everything below it...", [&](LDAP* handle, int* messageId) {
        return ldap_delete_ext(handle, target.c_str(), controls, nullptr, messageId);
    }, result);
}

int LdapSession::renameEntry(const std::wstring& dn, const std::wstring& newRdn, bool deleteOldRdn)
{
    return moveEntry(dn, newRdn, std::nullopt, deleteOldRdn);
}

int LdapSession::moveEntry(const std::wstring& dn, const std::wstring& newRdn,
                           const std::optional<std::wstring>& newSuperior, bool deleteOldRdn)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::moveEntry");
    CallScope call(*this);
    if (usableHandle() == nullptr)
        return -1;
    const std::string target = util::toUtf8(dn);
    const std::string rdn = util::toUtf8(newRdn);
    const std::string superior = newSuperior ? util::toUtf8(*newSuperior) : std::string();
    LdapMessage result;
    const std::wstring what = newSuperior ? L"Moving " + dn + L"..." : L"Renaming " + dn + L"...";
    return request(what, [&](LDAP* handle, int* messageId) {
        return ldap_rename(handle, target.c_str(), rdn.c_str(), newSuperior ? superior.c_str() : nullptr,
                           deleteOldRdn ? 1 : 0, nullptr, nullptr, messageId);
    }, result);
}

int LdapSession::whoAmI(std::wstring& authzId)
{
    DIRLOOK_GUARD(L"LdapSession");
    CallScope call(*this);
    authzId.clear();
    LDAP* handle = usableHandle();
    if (handle == nullptr)
        return -1;
    LdapMessage result;
    const int code = request(L"Reading the bound identity...", [](LDAP* library, int* messageId) {
        return ldap_whoami(library, nullptr, nullptr, messageId);
    }, result);
    if (code != LDAP_SUCCESS)
        return code;
    LdapBerval identity;
    if (ldap_parse_whoami(handle, result.get(), identity.receive()) == LDAP_SUCCESS && identity.get() != nullptr &&
        identity.get()->bv_val != nullptr)
        authzId = util::fromUtf8(std::string(identity.get()->bv_val, identity.get()->bv_len));
    return code;
}

} // namespace ldapmodel
