#pragma once

#include <chrono>
#include <string>

namespace ldapmodel {

// A TCP connection opened without blocking: each address of the host in
// turn, a non-blocking connect waited for in short slices up to a deadline,
// asking the wait service between them. libldap's own connect can't be used
// for TLS: it waits without slices, and its asynchronous form starts LDAPS'
// handshake inside the library where nobody can watch it.
class TcpConnect {
public:
    enum class Outcome {
        Connected,
        Failed,    // refused, unreachable, unknown host (diagnostic says)
        TimedOut,  // the deadline passed
        GivenUp    // the wait service said Stop or Cancel
    };

    // host: a name or address as for a URL, without brackets. On Connected
    // socket is the connected, non-blocking descriptor (the caller owns it).
    static Outcome open(const std::string& host, int port, std::chrono::steady_clock::time_point deadline,
                        const std::wstring& what, int& socket, std::wstring& diagnostic);
};

} // namespace ldapmodel
