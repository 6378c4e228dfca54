#pragma once

#include <string>

namespace ldapmodel {

// libldap reports client-side failures (server down, time-out, bad filter,
// ...) with the negative codes -1 to -17. They are carried through the
// program as 81 to 97, in the same order, so that a negative result keeps
// meaning a local failure and the error report can show them.
int ldapResultCode(int libraryCode);

// Result code for the outcome of ldap_set_option/ldap_get_option.
int ldapOptionResultCode(int optionResult);

// libldap's text for a result code; 81 to 97 give the text of the client
// code they stand for.
std::wstring ldapErrorText(int code);

// The one LDAP error report: "<context>. LDAPError <code>: <text>" in a
// warning box titled "LDAP Message" with an OK button. Codes that are
// greater than 100 as unsigned (negative ones included) show nothing, and
// neither does 88 (a wait the user cancelled). When the last result the
// session took on this thread carried the same code and a diagnostic
// message from the server, the message follows on a second line.
void reportLdapError(int code, const std::wstring& context);

// Kept by the session for the error report: the code of the last result it
// took on this thread and the server's diagnostic message with it (empty
// when none came).
void setLastDiagnostic(int code, const std::wstring& message);
// The server's diagnostic message kept on this thread when its code is
// code; empty otherwise. A worker hands it to the thread that reports.
std::wstring lastDiagnosticFor(int code);

} // namespace ldapmodel
