#pragma once

#include <exception>
#include <new>
#include <utility>

namespace util {

// Fault codes the signal handlers map onto.
constexpr unsigned int FAULT_ACCESS_VIOLATION = 0xC0000005;
constexpr unsigned int FAULT_IN_PAGE_ERROR = 0xC0000006;
constexpr unsigned int FAULT_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr unsigned int FAULT_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr unsigned int FAULT_BREAKPOINT = 0x80000003;
constexpr unsigned int FAULT_STACK_OVERFLOW = 0xC00000FD;
// A C++ exception that escaped a guarded operation (the platform's code
// for C++ exceptions; its text is the table's "UNKNOWN_EXCEPTION").
constexpr unsigned int FAULT_CPP_EXCEPTION = 0xE06D7363;

// Installs the POSIX signal handlers (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGTRAP, on an alternate stack) that turn a processor fault into the
// fatal-error report of the innermost guarded operation. Idempotent.
void installFaultHandlers();

// Ignores SIGPIPE for the whole process, so that writing to a connection the
// peer has closed fails with EPIPE instead of ending the process. Call at
// start-up, before any thread starts.
void ignoreBrokenPipeSignal();

// Marks the innermost guarded operation (source file, line) for the report;
// kept per thread. The first guard of a thread installs the handlers and
// gives the thread an alternate signal stack.
class FaultGuard {
public:
    FaultGuard(const wchar_t* file, int line);
    ~FaultGuard();
    FaultGuard(const FaultGuard&) = delete;
    FaultGuard& operator=(const FaultGuard&) = delete;

    const wchar_t* file() const { return m_pFile; }
    int line() const { return m_iLine; }
    // The innermost guard of the calling thread, or null.
    static const FaultGuard* innermost();

private:
    const wchar_t* m_pFile;
    int m_iLine;
    FaultGuard* m_pOuter;
};

// Runs body under a guard; a C++ exception escaping it goes to the
// fatal-error report too.
[[noreturn]] void reportEscapedException(const wchar_t* file, int line, const char* what);

template <class Body>
auto guarded(const wchar_t* file, int line, Body&& body) -> decltype(body())
{
    FaultGuard guard(file, line);
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        reportEscapedException(file, line, e.what());
    } catch (...) {
        reportEscapedException(file, line, "unknown exception");
    }
}

} // namespace util

// Guards the rest of the enclosing function's scope against processor faults.
#define DIRLOOK_GUARD(file) ::util::FaultGuard dirlookFaultGuard_((file), __LINE__)
