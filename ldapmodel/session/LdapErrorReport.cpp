#include "session/LdapErrorReport.h"

#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <ldap.h>

namespace ldapmodel {

namespace {

// Client codes of libldap and where they land.
constexpr int FIRST_CLIENT_CODE = LDAP_SERVER_DOWN;       // -1
constexpr int LAST_CLIENT_CODE = LDAP_REFERRAL_LIMIT_EXCEEDED; // -17
constexpr int MAPPED_BASE = 80;                             // -1 -> 81
constexpr unsigned int LAST_REPORTED_CODE = 100;

static_assert(FIRST_CLIENT_CODE == -1 && LAST_CLIENT_CODE == -17,
              "libldap client codes moved");
static_assert(LDAP_TIMEOUT == -5 && LDAP_FILTER_ERROR == -7 && LDAP_LOCAL_ERROR == -2,
              "libldap client codes moved");

bool isClientCode(int code) { return code <= FIRST_CLIENT_CODE && code >= LAST_CLIENT_CODE; }

// Per thread: the worker's results never mix with the user interface's.
struct Diagnostic {
    int code = 0;
    std::wstring message;
};
thread_local Diagnostic lastDiagnostic;

bool isMappedClientCode(int code)
{
    return code >= MAPPED_BASE - FIRST_CLIENT_CODE && code <= MAPPED_BASE - LAST_CLIENT_CODE;
}

} // namespace

int ldapResultCode(int libraryCode)
{
    if (isClientCode(libraryCode))
        return MAPPED_BASE - libraryCode;
    return libraryCode;
}

int ldapOptionResultCode(int optionResult)
{
    if (optionResult == LDAP_OPT_SUCCESS)
        return LDAP_SUCCESS;
    return ldapResultCode(LDAP_LOCAL_ERROR);
}

std::wstring ldapErrorText(int code)
{
    int libraryCode = isMappedClientCode(code) ? MAPPED_BASE - code : code;
    const char* text = ldap_err2string(libraryCode);
    return text != nullptr ? util::fromUtf8(text) : std::wstring();
}

void reportLdapError(int code, const std::wstring& context)
{
    if (static_cast<unsigned int>(code) > LAST_REPORTED_CODE)
        return;
    // The user gave the wait up and knows.
    if (code == ldapResultCode(LDAP_USER_CANCELLED))
        return;
    std::wstring text = context + L". LDAPError " + std::to_wstring(code) + L": " + ldapErrorText(code);
    // Shown once: a later report of the same code may come from elsewhere.
    if (lastDiagnostic.code == code && !lastDiagnostic.message.empty())
        text += L"\n" + lastDiagnostic.message;
    lastDiagnostic = Diagnostic();
    util::messageBox(L"LDAP Message", text, util::BoxIcon::Warning, util::BoxButtons::Ok);
}

void setLastDiagnostic(int code, const std::wstring& message)
{
    lastDiagnostic.code = code;
    lastDiagnostic.message = message;
}

std::wstring lastDiagnosticFor(int code)
{
    return lastDiagnostic.code == code ? lastDiagnostic.message : std::wstring();
}

} // namespace ldapmodel
