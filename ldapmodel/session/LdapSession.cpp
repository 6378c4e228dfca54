#include "session/LdapSession.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "schema/ValueKind.h"
#include "session/LdapBerElement.h"
#include "session/LdapBerval.h"
#include "session/LdapErrorReport.h"
#include "session/LdapMemory.h"
#include "session/LdapMessage.h"
#include "session/LdapModList.h"
#include "session/LdapSearchMessage.h"
#include "session/LdapValueList.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <sys/time.h>

#include <algorithm>
#include <climits>

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

// Hands the result code, with the server's diagnostic message for a server
// result, to the error report; returns the code.
int noteResult(LDAP* handle, int code)
{
    std::wstring message;
    // Client codes (81 and up) come with no server message, maybe a stale one.
    if (code > LDAP_SUCCESS && code <= LDAP_OTHER && handle != nullptr) {
        char* text = nullptr;
        if (ldap_get_option(handle, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) == LDAP_OPT_SUCCESS) {
            LdapMemory owned(text);
            if (owned.get() != nullptr)
                message = util::fromUtf8(owned.get());
        }
    }
    setLastDiagnostic(code, message);
    return code;
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

} // namespace

void LdapSession::HandleCloser::operator()(ldap* handle) const
{
    if (handle != nullptr)
        ldap_unbind_ext_s(handle, nullptr, nullptr);
}

LdapSession::LdapSession() = default;

LdapSession::~LdapSession() = default;

int LdapSession::connect(const std::wstring& host, int port, const std::wstring& bindDn,
                         const std::wstring& password, bool anonymous)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::connect");
    disconnect();
    util::Log::getLog(L"ldapmodel")
        ->write(L"LdapSession::connect %s port %d%s", host.c_str(), port,
                anonymous ? L" anonymous" : L"");

    std::string urlHost;
    LDAP* handle = nullptr;
    if (port > 0 && port <= 65535 && hostForUrl(host, urlHost)) {
        std::string url = "ldap://" + urlHost + ":" + std::to_string(port);
        if (ldap_initialize(&handle, url.c_str()) != LDAP_SUCCESS && handle != nullptr) {
            ldap_unbind_ext_s(handle, nullptr, nullptr);
            handle = nullptr;
        }
    }
    m_pHandle.reset(handle);
    if (m_pHandle == nullptr) {
        m_iConnectResult = ldapResultCode(LDAP_SERVER_DOWN);
        reportLdapError(m_iConnectResult, L"Cannot create a connection");
        return -1;
    }

    int version = LDAP_VERSION3;
    int code = ldapOptionResultCode(ldap_set_option(m_pHandle.get(), LDAP_OPT_PROTOCOL_VERSION, &version));
    if (code != LDAP_SUCCESS) {
        m_iConnectResult = code;
        reportLdapError(code, L"Set Server Options");
        m_pHandle.reset();
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
    code = noteResult(m_pHandle.get(),
                      ldapResultCode(ldap_sasl_bind_s(m_pHandle.get(), anonymous ? nullptr : dn.c_str(),
                                                      LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr)));
    std::fill(secret.begin(), secret.end(), '\0');
    if (code != LDAP_SUCCESS) {
        m_iConnectResult = code;
        reportLdapError(code, L"Bind to server");
        m_pHandle.reset();
        return -1;
    }
    m_iConnectResult = 0;
    m_bConnected = true;
    return 0;
}

void LdapSession::disconnect()
{
    DIRLOOK_GUARD(L"LdapSession");
    if (m_pHandle != nullptr)
        util::Log::getLog(L"ldapmodel")->write(L"LdapSession::disconnect");
    m_pHandle.reset();
    m_bConnected = false;
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
    if (m_pHandle == nullptr)
        return -1;
    LDAP* handle = m_pHandle.get();
    AttributeNames names(attributes);
    LdapMessage result;
    int code = ldapResultCode(ldap_search_ext_s(
        handle, util::toUtf8(base).c_str(), scope, util::toUtf8(filter).c_str(), names.get(),
        attrsOnly ? 1 : 0, nullptr, nullptr, nullptr, toLibrarySizeLimit(sizeLimit), result.receive()));
    noteResult(handle, code);
    if (code != LDAP_SUCCESS && code != LDAP_SIZELIMIT_EXCEEDED)
        return code;

    for (LDAPMessage* entry = ldap_first_entry(handle, result.get()); entry != nullptr;
         entry = ldap_next_entry(handle, entry)) {
        LdapMemory dn(ldap_get_dn(handle, entry));
        if (dn.get() == nullptr)
            return -1;
        memorylib::gc_ptr<LDAPEntry> record = new LDAPEntry();
        record->setDN(util::fromUtf8(dn.get()));
        if (!attrsOnly) {
            AttributeList found;
            collectAttributes(handle, entry, found);
            record->appendUserAttributes(found);
        }
        entries.push_back(record);
    }
    return code;
}

int LdapSession::readAttributes(const std::wstring& dn, const std::vector<std::wstring>& attributes,
                                unsigned int sizeLimit, AttributeList& attributesOut)
{
    DIRLOOK_GUARD(L"LdapSession");
    if (m_pHandle == nullptr)
        return -1;
    LDAP* handle = m_pHandle.get();
    AttributeNames names(attributes);
    LdapMessage result;
    int code = ldapResultCode(ldap_search_ext_s(
        handle, util::toUtf8(dn).c_str(), LDAP_SCOPE_BASE, "objectclass=*", names.get(), 0, nullptr,
        nullptr, nullptr, toLibrarySizeLimit(sizeLimit), result.receive()));
    noteResult(handle, code);
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
    if (m_pHandle == nullptr)
        return false;
    LDAP* handle = m_pHandle.get();
    AttributeNames names({L"*"});
    LdapMessage result;
    int code = ldap_search_ext_s(handle, util::toUtf8(dn).c_str(), LDAP_SCOPE_BASE, "objectclass=*",
                                 names.get(), 1, nullptr, nullptr, nullptr, 0, result.receive());
    return code == LDAP_SUCCESS && ldap_first_entry(handle, result.get()) != nullptr;
}

int LdapSession::searchAsync(const std::wstring& base, int scope, const std::wstring& filter,
                             const std::vector<std::wstring>& attributes, bool attrsOnly,
                             unsigned int sizeLimit, int& messageId)
{
    DIRLOOK_GUARD(L"LdapSession");
    messageId = 0;
    if (m_pHandle == nullptr)
        return -1;
    AttributeNames names(attributes);
    timeval timeLimit{};
    timeLimit.tv_sec = static_cast<time_t>(m_uTimeLimit);
    int id = 0;
    int code = ldapResultCode(ldap_search_ext(
        m_pHandle.get(), util::toUtf8(base).c_str(), scope, util::toUtf8(filter).c_str(), names.get(),
        attrsOnly ? 1 : 0, nullptr, nullptr, m_uTimeLimit > 0 ? &timeLimit : nullptr,
        toLibrarySizeLimit(sizeLimit), &id));
    if (code == LDAP_SUCCESS)
        messageId = id;
    return code;
}

int LdapSession::nextResult(int messageId, bool withValues, int waitMilliseconds,
                            LdapSearchMessage& message)
{
    DIRLOOK_GUARD(L"LdapSession");
    message = LdapSearchMessage();
    if (m_pHandle == nullptr) {
        message.resultCode = -1;
        return -1;
    }
    LDAP* handle = m_pHandle.get();
    timeval wait{};
    if (waitMilliseconds >= 0) {
        wait.tv_sec = waitMilliseconds / 1000;
        wait.tv_usec = static_cast<suseconds_t>(waitMilliseconds % 1000) * 1000;
    }
    LdapMessage result;
    int type = ldap_result(handle, messageId, LDAP_MSG_ONE,
                           waitMilliseconds >= 0 ? &wait : nullptr, result.receive());
    if (type == 0)
        return 0;
    if (type < 0) {
        int code = LDAP_OTHER;
        ldap_get_option(handle, LDAP_OPT_RESULT_CODE, &code);
        message.resultCode = ldapResultCode(code);
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
        }
    } else if (type == LDAP_RES_SEARCH_RESULT) {
        int code = LDAP_SUCCESS;
        int parsed = ldap_parse_result(handle, result.get(), &code, nullptr, nullptr, nullptr, nullptr, 0);
        message.resultCode = noteResult(handle, ldapResultCode(parsed == LDAP_SUCCESS ? code : parsed));
    }
    return type;
}

int LdapSession::abandon(int messageId)
{
    DIRLOOK_GUARD(L"LdapSession");
    if (m_pHandle == nullptr)
        return -1;
    return ldapResultCode(ldap_abandon_ext(m_pHandle.get(), messageId, nullptr, nullptr));
}

int LdapSession::addEntry(const std::wstring& dn, LdapModList& modifications)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::addEntry");
    if (m_pHandle == nullptr)
        return -1;
    return noteResult(m_pHandle.get(), ldapResultCode(ldap_add_ext_s(m_pHandle.get(), util::toUtf8(dn).c_str(),
                                                                     modifications.get(), nullptr, nullptr)));
}

int LdapSession::modifyEntry(const std::wstring& dn, LdapModList& modifications)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::modifyEntry");
    if (m_pHandle == nullptr)
        return -1;
    return noteResult(m_pHandle.get(), ldapResultCode(ldap_modify_ext_s(m_pHandle.get(), util::toUtf8(dn).c_str(),
                                                                        modifications.get(), nullptr, nullptr)));
}

int LdapSession::deleteEntry(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::deleteEntry");
    if (m_pHandle == nullptr)
        return -1;
    return noteResult(m_pHandle.get(),
                      ldapResultCode(ldap_delete_ext_s(m_pHandle.get(), util::toUtf8(dn).c_str(), nullptr, nullptr)));
}

int LdapSession::renameEntry(const std::wstring& dn, const std::wstring& newRdn, bool deleteOldRdn)
{
    DIRLOOK_GUARD(L"LdapSession");
    util::TraceScope trace(L"LdapSession::renameEntry");
    if (m_pHandle == nullptr)
        return -1;
    return noteResult(m_pHandle.get(),
                      ldapResultCode(ldap_rename_s(m_pHandle.get(), util::toUtf8(dn).c_str(),
                                                   util::toUtf8(newRdn).c_str(), nullptr, deleteOldRdn ? 1 : 0,
                                                   nullptr, nullptr)));
}

int LdapSession::whoAmI(std::wstring& authzId)
{
    DIRLOOK_GUARD(L"LdapSession");
    authzId.clear();
    if (m_pHandle == nullptr)
        return -1;
    LdapBerval identity;
    int code = ldapResultCode(ldap_whoami_s(m_pHandle.get(), identity.receive(), nullptr, nullptr));
    if (code == LDAP_SUCCESS && identity.get() != nullptr && identity.get()->bv_val != nullptr)
        authzId = util::fromUtf8(std::string(identity.get()->bv_val, identity.get()->bv_len));
    return code;
}

} // namespace ldapmodel
