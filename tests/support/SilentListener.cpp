#include "support/SilentListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace dirtest {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

SilentListener::SilentListener(Backlog backlog)
{
    m_iListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_iListener < 0 || ::bind(m_iListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_iListener, 0) != 0 ||
        ::getsockname(m_iListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_iPort = ntohs(address.sin_port);
    if (backlog == Backlog::Free)
        return;
    // Connects that nobody accepts fill the queue.
    for (int& filler : m_fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in target = loopback(m_iPort);
        ::connect(filler, reinterpret_cast<sockaddr*>(&target), sizeof target);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

SilentListener::~SilentListener()
{
    for (int filler : m_fillers) {
        if (filler >= 0)
            ::close(filler);
    }
    if (m_iListener >= 0)
        ::close(m_iListener);
}

} // namespace dirtest
