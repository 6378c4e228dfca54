#pragma once

namespace ldapmodel {

// The LDAP result codes the program acts on, for code outside the session
// layer, which does not include ldap.h. Checked against ldap.h in
// LdapResultCode.cpp; client codes are carried as 81 to 97 (LdapErrorReport.h).
namespace resultcode {
constexpr int Success = 0;
constexpr int SizeLimitExceeded = 4;
constexpr int NoSuchObject = 32;
constexpr int NotAllowedOnNonLeaf = 66;
constexpr int AlreadyExists = 68;
constexpr int ServerDown = 81;
constexpr int Timeout = 85;
constexpr int UserCancelled = 88;
} // namespace resultcode

} // namespace ldapmodel
