#pragma once

// A TCP listener on 127.0.0.1 that never accepts and never answers: the
// kernel completes the connect, and nothing ever comes back. With a full
// backlog further connects are not even completed (their SYNs are dropped).

namespace dirtest {

class SilentListener {
public:
    enum class Backlog { Free, Full };

    explicit SilentListener(Backlog backlog = Backlog::Free);
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return m_iPort; }

private:
    int m_iListener = -1;
    int m_iPort = 0;
    int m_fillers[4] = {-1, -1, -1, -1};
};

} // namespace dirtest
