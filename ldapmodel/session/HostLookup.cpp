#include "session/HostLookup.h"

#include "utilities/Util.h"
#include "utilities/WaitService.h"

#include <netdb.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace ldapmodel {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{50};

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

int lookUp(const std::string& host, const std::string& service, int flags, std::vector<HostAddress>& addresses)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (code != 0)
        return code;
    std::unique_ptr<addrinfo, AddressListDeleter> owned(found);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        HostAddress address;
        address.family = entry->ai_family;
        address.socketType = entry->ai_socktype;
        address.protocol = entry->ai_protocol;
        std::memcpy(&address.address, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        addresses.push_back(address);
    }
    return 0;
}

// Shared by the caller and the helper: whoever leaves last frees it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int code = 0;
    std::vector<HostAddress> addresses;
};

} // namespace

HostLookup::HostLookup() : m_resolver(&HostLookup::systemResolver) {}

HostLookup::HostLookup(Resolver resolver) : m_resolver(std::move(resolver)) {}

int HostLookup::systemResolver(const std::string& host, const std::string& service,
                               std::vector<HostAddress>& addresses)
{
    return lookUp(host, service, 0, addresses);
}

HostLookup::Outcome HostLookup::run(const std::string& host, int port, Clock::time_point deadline,
                                    const std::wstring& what)
{
    m_addresses.clear();
    m_strDiagnostic.clear();
    const std::string service = std::to_string(port);
    // An address needs no resolver and never waits.
    if (lookUp(host, service, AI_NUMERICHOST, m_addresses) == 0)
        return Outcome::Found;
    m_addresses.clear();

    auto pending = std::make_shared<PendingLookup>();
    auto resolve = [pending, resolver = m_resolver, host, service]() {
        std::vector<HostAddress> addresses;
        const int code = resolver(host, service, addresses);
        {
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->code = code;
            pending->addresses = std::move(addresses);
            pending->done = true;
        }
        pending->finished.notify_all();
    };
    try {
        std::thread(resolve).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup waits as libldap's would.
        resolve();
    }

    util::WaitScope wait(what);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(pending->mutex);
            const auto left = std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
            if (pending->finished.wait_for(lock, std::min(left, kSlice), [&pending]() { return pending->done; })) {
                if (pending->code != 0) {
                    m_strDiagnostic = util::fromUtf8(::gai_strerror(pending->code));
                    return Outcome::Failed;
                }
                m_addresses = std::move(pending->addresses);
                return Outcome::Found;
            }
        }
        if (Clock::now() >= deadline)
            return Outcome::TimedOut;
        if (wait.poll() != util::WaitAnswer::Continue)
            return Outcome::GivenUp;
    }
}

} // namespace ldapmodel
