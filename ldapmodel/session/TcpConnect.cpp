#include "session/TcpConnect.h"

#include "session/HostLookup.h"
#include "utilities/Util.h"
#include "utilities/WaitService.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ldapmodel {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{50};

std::wstring systemText(int error)
{
    return util::fromUtf8(std::strerror(error));
}

} // namespace

TcpConnect::Outcome TcpConnect::open(const std::string& host, int port, Clock::time_point deadline,
                                     const std::wstring& what, int& socket, std::wstring& diagnostic)
{
    socket = -1;
    diagnostic.clear();
    HostLookup lookup;
    switch (lookup.run(host, port, deadline, what)) {
    case HostLookup::Outcome::Found:
        break;
    case HostLookup::Outcome::Failed:
        diagnostic = lookup.diagnostic();
        return Outcome::Failed;
    case HostLookup::Outcome::TimedOut:
        return Outcome::TimedOut;
    case HostLookup::Outcome::GivenUp:
        return Outcome::GivenUp;
    }

    util::WaitScope wait(what);
    for (const HostAddress& address : lookup.addresses()) {
        const int fd = ::socket(address.family, address.socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
        if (fd < 0) {
            diagnostic = systemText(errno);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        int error = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0)
            error = errno;
        while (error == EINPROGRESS || error == EINTR) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            pollfd ready{fd, POLLOUT, 0};
            const int polled = ::poll(&ready, 1, static_cast<int>(std::clamp(left, milliseconds(0), kSlice).count()));
            if (polled > 0) {
                socklen_t length = sizeof error;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
                break;
            }
            if (polled < 0 && errno != EINTR) {
                error = errno;
                break;
            }
            if (Clock::now() >= deadline) {
                ::close(fd);
                return Outcome::TimedOut;
            }
            if (wait.poll() != util::WaitAnswer::Continue) {
                ::close(fd);
                return Outcome::GivenUp;
            }
        }
        if (error == 0) {
            socket = fd;
            return Outcome::Connected;
        }
        ::close(fd);
        diagnostic = systemText(error);
        if (Clock::now() >= deadline)
            return Outcome::TimedOut;
    }
    return Outcome::Failed;
}

} // namespace ldapmodel
