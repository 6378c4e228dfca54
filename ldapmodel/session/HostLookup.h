#pragma once

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ldapmodel {

// One address a host name stands for, ready for socket() and connect().
struct HostAddress {
    int family = 0;
    int socketType = 0;
    int protocol = 0;
    sockaddr_storage address{};
    socklen_t length = 0;
};

// A host name looked up without blocking the caller beyond a deadline. The
// system's resolver can't be bounded or interrupted (an unreachable name
// server holds it for half a minute and more), so a name runs on a helper
// thread of its own while the caller asks the wait service between short
// slices; a lookup given up finishes on its own and is then forgotten.
// Numeric addresses are taken at once.
class HostLookup {
public:
    enum class Outcome {
        Found,
        Failed,    // the resolver's answer says why (diagnostic)
        TimedOut,  // the deadline passed
        GivenUp    // the wait service said Stop or Cancel
    };

    // Returns the resolver's getaddrinfo code, filling addresses on 0.
    using Resolver = std::function<int(const std::string& host, const std::string& service,
                                       std::vector<HostAddress>& addresses)>;

    // The system's resolver (getaddrinfo, stream sockets of any family).
    HostLookup();
    explicit HostLookup(Resolver resolver);

    // what: the wait's text, for the wait service; a numeric address needs
    // no wait.
    Outcome run(const std::string& host, int port, std::chrono::steady_clock::time_point deadline,
                const std::wstring& what);

    // After Found: every address, in the resolver's order.
    const std::vector<HostAddress>& addresses() const { return m_addresses; }
    // After Failed: the resolver's text.
    const std::wstring& diagnostic() const { return m_strDiagnostic; }

    static int systemResolver(const std::string& host, const std::string& service,
                              std::vector<HostAddress>& addresses);

private:
    Resolver m_resolver;
    std::vector<HostAddress> m_addresses;
    std::wstring m_strDiagnostic;
};

} // namespace ldapmodel
