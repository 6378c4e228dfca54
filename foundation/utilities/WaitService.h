#pragma once

#include <chrono>
#include <string>

namespace util {

// What a wait should do next.
enum class WaitAnswer {
    Continue,  // keep waiting
    Stop,      // give the request up; the connection stays
    Cancel     // give the request up and drop the connection
};

// Every wait for a server goes through one service, like the message boxes.
// The waiting code calls begin once, waiting between short slices of the
// wait (on the waiting thread, with the time since begin), and end. The
// default never gives up; the user interface installs one that shows what
// it waits for and offers Cancel; a worker installs its own for its thread.
class WaitService {
public:
    virtual ~WaitService() = default;
    virtual void begin(const std::wstring& what) { (void)what; }
    virtual WaitAnswer waiting(const std::wstring& what, std::chrono::milliseconds elapsed) = 0;
    virtual void end() {}
};

// The service of the calling thread (see ThreadWaitService), else the one
// installed for the process, else the default. Never null.
WaitService& waitService();
// Installs the process-wide service (not owned); null restores the default.
void setWaitService(WaitService* service);

// Installs a service for the calling thread alone while it lives.
class ThreadWaitService {
public:
    explicit ThreadWaitService(WaitService& service);
    ~ThreadWaitService();
    ThreadWaitService(const ThreadWaitService&) = delete;
    ThreadWaitService& operator=(const ThreadWaitService&) = delete;

private:
    WaitService* m_pPrevious;
};

// One wait: begin on construction, end on destruction, poll in between.
class WaitScope {
public:
    explicit WaitScope(std::wstring what);
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

    // Asks the service; the time since construction goes with it.
    WaitAnswer poll();

private:
    WaitService& m_service;
    std::wstring m_strWhat;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace util
