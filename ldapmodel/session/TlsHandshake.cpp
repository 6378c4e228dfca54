#include "session/TlsHandshake.h"

#include "session/LdapMemory.h"
#include "utilities/Util.h"
#include "utilities/WaitService.h"

#include <ldap.h>

#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ldapmodel {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{50};
// After the deadline libldap's own time-out ends the call; should it not,
// the socket is shut down this long after.
constexpr milliseconds kGrace{1000};

// The outcome of the helper's call.
struct HandshakeResult {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int code = LDAP_SUCCESS;
};

// Joins the helper however the wait ends.
class Joiner {
public:
    explicit Joiner(std::thread& thread) : m_thread(thread) {}
    ~Joiner()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    Joiner(const Joiner&) = delete;
    Joiner& operator=(const Joiner&) = delete;

private:
    std::thread& m_thread;
};

} // namespace

TlsHandshake::Outcome TlsHandshake::run(LDAP* handle, int socket, Clock::time_point deadline,
                                        const std::wstring& what, std::wstring& diagnostic)
{
    diagnostic.clear();
    // libldap bounds the handshake by the network time-out.
    const auto left = std::max(milliseconds(1), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
    timeval budget{};
    budget.tv_sec = static_cast<time_t>(left.count() / 1000);
    budget.tv_usec = static_cast<suseconds_t>((left.count() % 1000) * 1000);
    ldap_set_option(handle, LDAP_OPT_NETWORK_TIMEOUT, &budget);

    HandshakeResult result;
    std::thread helper([handle, &result]() {
        const int code = ldap_install_tls(handle);
        {
            std::lock_guard<std::mutex> lock(result.mutex);
            result.code = code;
            result.done = true;
        }
        result.finished.notify_all();
    });
    bool gaveUp = false;
    {
        Joiner joiner(helper);
        util::WaitScope wait(what);
        bool shutDown = false;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(result.mutex);
                if (result.finished.wait_for(lock, kSlice, [&result]() { return result.done; }))
                    break;
            }
            if (shutDown)
                continue;
            if (Clock::now() >= deadline + kGrace) {
                ::shutdown(socket, SHUT_RDWR);
                shutDown = true;
                continue;
            }
            if (wait.poll() != util::WaitAnswer::Continue) {
                ::shutdown(socket, SHUT_RDWR);
                shutDown = true;
                gaveUp = true;
            }
        }
    }
    if (result.code == LDAP_SUCCESS)
        return Outcome::Done;
    if (gaveUp)
        return Outcome::GivenUp;
    // libldap counts its time-out on its own clock: a slice's worth early is
    // the time-out too.
    if (Clock::now() + kSlice >= deadline)
        return Outcome::TimedOut;
    char* text = nullptr;
    if (ldap_get_option(handle, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS)
        text = nullptr;
    LdapMemory owned(text);
    // libldap 2.5 says "time-out" also when the peer hung up in the middle.
    if (owned.get() != nullptr && *owned.get() != '\0' && std::string(owned.get()) != "(unknown error code)")
        diagnostic = util::fromUtf8(owned.get());
    else if (result.code == LDAP_TIMEOUT || result.code == LDAP_SERVER_DOWN)
        diagnostic = L"The server ended the connection during the TLS handshake.";
    return Outcome::Failed;
}

} // namespace ldapmodel
