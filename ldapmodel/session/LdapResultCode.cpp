#include "session/LdapResultCode.h"

#include <ldap.h>

namespace ldapmodel::resultcode {

static_assert(Success == LDAP_SUCCESS, "result codes");
static_assert(SizeLimitExceeded == LDAP_SIZELIMIT_EXCEEDED, "result codes");
static_assert(NoSuchObject == LDAP_NO_SUCH_OBJECT, "result codes");
static_assert(NotAllowedOnNonLeaf == LDAP_NOT_ALLOWED_ON_NONLEAF, "result codes");
static_assert(AlreadyExists == LDAP_ALREADY_EXISTS, "result codes");
// Client codes: -1, -5 and -8 carried as 81, 85 and 88.
static_assert(ServerDown == 80 - LDAP_SERVER_DOWN && Timeout == 80 - LDAP_TIMEOUT, "client codes");
static_assert(UserCancelled == 80 - LDAP_USER_CANCELLED, "client codes");

} // namespace ldapmodel::resultcode
