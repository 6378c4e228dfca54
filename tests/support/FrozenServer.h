#pragma once

// Holds a test directory server still with SIGSTOP, so that it accepts
// nothing and answers nothing, until released (SIGCONT).

#include <sys/types.h>

namespace dirtest {

class TestDirectoryServer;

// Pid of the server's slapd, 0 when it is not running.
pid_t serverPid(const TestDirectoryServer& server);

class FrozenServer {
public:
    explicit FrozenServer(const TestDirectoryServer& server);
    ~FrozenServer();
    FrozenServer(const FrozenServer&) = delete;
    FrozenServer& operator=(const FrozenServer&) = delete;

    void release();
    bool frozen() const { return m_pid > 0; }

private:
    // SIGSTOP takes effect asynchronously, thread by thread.
    bool waitAllThreadsStopped() const;

    pid_t m_pid;
};

} // namespace dirtest
