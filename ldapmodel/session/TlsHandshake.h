#pragma once

#include <chrono>
#include <string>

struct ldap;

namespace ldapmodel {

// libldap's TLS handshake on a connection the handle has open. libldap 2.5
// runs the whole handshake in one call that waits up to its network
// time-out, and a call cut short by a shorter time-out can't be resumed. So
// the call runs on a helper thread, with the network time-out set to what
// is left until the deadline, while the calling thread asks the wait
// service between short slices; giving up shuts the socket down, which ends
// the call at once. The handle is used by the helper alone until run
// returns.
class TlsHandshake {
public:
    enum class Outcome {
        Done,      // the connection is encrypted (and, when libldap was asked
                   // to, its certificate verified)
        Failed,    // the handshake or the verification failed
        TimedOut,  // the deadline passed
        GivenUp    // the wait service said Stop or Cancel
    };

    // diagnostic: libldap's text for a failure, or a short one of our own.
    static Outcome run(ldap* handle, int socket, std::chrono::steady_clock::time_point deadline,
                       const std::wstring& what, std::wstring& diagnostic);
};

} // namespace ldapmodel
