#include "faults/FaultGuard.h"

#include "faults/FaultReport.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

namespace util {

namespace {

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr std::size_t ALT_STACK_SIZE = 128 * 1024;
// A fault this close below the lowest stack address is a stack overflow.
constexpr std::uintptr_t STACK_GUARD_SLACK = 1024 * 1024;

// Plain per-thread state, readable from the signal handler without
// triggering any initialisation.
thread_local FaultGuard* t_pInnermost = nullptr;
thread_local bool t_bThreadReady = false;
thread_local std::uintptr_t t_iStackLow = 0;
thread_local std::uintptr_t t_iStackHigh = 0;

// Owns the alternate signal stack this code gave a thread and takes it back
// when the thread ends. A stack someone else installed (a sanitizer's) is
// left alone.
class AltStack {
public:
    void install()
    {
        stack_t current{};
        if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0
            && current.ss_size >= ALT_STACK_SIZE / 2)
            return;
        long page = ::sysconf(_SC_PAGESIZE);
        std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
        std::size_t total = ALT_STACK_SIZE + pageSize;
        void* memory = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                              -1, 0);
        if (memory == MAP_FAILED)
            return;
        // The lowest page stays inaccessible, so a handler overflow faults.
        ::mprotect(memory, pageSize, PROT_NONE);
        stack_t stack{};
        stack.ss_sp = static_cast<char*>(memory) + pageSize;
        stack.ss_size = ALT_STACK_SIZE;
        stack.ss_flags = 0;
        if (::sigaltstack(&stack, nullptr) != 0) {
            ::munmap(memory, total);
            return;
        }
        m_pMemory = memory;
        m_iTotal = total;
        m_pStack = stack.ss_sp;
    }

    ~AltStack()
    {
        if (m_pMemory == nullptr)
            return;
        stack_t current{};
        if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == m_pStack) {
            stack_t disable{};
            disable.ss_flags = SS_DISABLE;
            if (::sigaltstack(&disable, nullptr) != 0)
                return;  // still in use: leave it mapped
        }
        ::munmap(m_pMemory, m_iTotal);
    }

private:
    void* m_pMemory = nullptr;
    std::size_t m_iTotal = 0;
    void* m_pStack = nullptr;
};

void prepareThread()
{
    thread_local AltStack altStack;
    altStack.install();

    pthread_attr_t attributes;
    if (::pthread_getattr_np(::pthread_self(), &attributes) == 0) {
        void* address = nullptr;
        std::size_t size = 0;
        if (::pthread_attr_getstack(&attributes, &address, &size) == 0) {
            t_iStackLow = reinterpret_cast<std::uintptr_t>(address);
            t_iStackHigh = t_iStackLow + size;
        }
        ::pthread_attr_destroy(&attributes);
    }
    t_bThreadReady = true;
}

struct sigaction g_previous[NSIG];
std::once_flag g_installed;

std::uintptr_t stackPointer(void* context)
{
    const auto* uc = static_cast<const ucontext_t*>(context);
    if (uc == nullptr)
        return 0;
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#else
    return 0;
#endif
}

bool isStackOverflow(const siginfo_t* info, void* context)
{
    if (info->si_code <= 0)
        return false;  // sent, not a memory fault
    auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (t_iStackLow != 0) {
        std::uintptr_t floor = t_iStackLow > STACK_GUARD_SLACK ? t_iStackLow - STACK_GUARD_SLACK : 0;
        if (address >= floor && address < t_iStackLow + 4096)
            return true;
    }
    // Past the known bounds: a fault just below the stack pointer still
    // means the stack ran out.
    std::uintptr_t sp = stackPointer(context);
    return sp != 0 && address <= sp && sp - address < 64 * 1024;
}

unsigned int faultCode(int signal, const siginfo_t* info, void* context)
{
    switch (signal) {
    case SIGSEGV:
        return isStackOverflow(info, context) ? FAULT_STACK_OVERFLOW : FAULT_ACCESS_VIOLATION;
    case SIGBUS:
        return info->si_code == BUS_ADRALN ? 0x80000002u : FAULT_IN_PAGE_ERROR;
    case SIGFPE:
        switch (info->si_code) {
        case FPE_INTDIV:
            return FAULT_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return 0xC0000095u;
        case FPE_FLTDIV:
            return 0xC000008Eu;
        case FPE_FLTOVF:
            return 0xC0000091u;
        case FPE_FLTUND:
            return 0xC0000093u;
        case FPE_FLTRES:
            return 0xC000008Fu;
        case FPE_FLTSUB:
            return 0xC000008Cu;
        default:
            return 0xC0000090u;  // any other floating-point exception
        }
    case SIGILL:
        return info->si_code == ILL_PRVOPC ? 0xC0000096u : FAULT_ILLEGAL_INSTRUCTION;
    case SIGTRAP:
        return info->si_code == TRAP_TRACE ? 0x80000004u : FAULT_BREAKPOINT;
    default:
        return 0;
    }
}

// A fault outside every guard is not ours to report: hand it to whoever had
// the signal before (a sanitizer), or let it take its default course.
void passOn(int signal, siginfo_t* info, void* context)
{
    const struct sigaction& previous = g_previous[signal];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN
        && previous.sa_handler != nullptr) {
        previous.sa_handler(signal);
        return;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    // A hardware fault repeats on return; a raised one is raised again.
    if (info->si_code <= 0 || signal == SIGTRAP)
        ::raise(signal);
}

void onFault(int signal, siginfo_t* info, void* context)
{
    int savedErrno = errno;
    const FaultGuard* guard = t_pInnermost;
    if (guard == nullptr) {
        passOn(signal, info, context);
        errno = savedErrno;
        return;
    }
    detail::reportFault(faultCode(signal, info, context), guard->file(), guard->line(), nullptr);
}

} // namespace

void installFaultHandlers()
{
    std::call_once(g_installed, [] {
        for (int signal : FAULT_SIGNALS) {
            struct sigaction action {};
            action.sa_sigaction = &onFault;
            sigemptyset(&action.sa_mask);
            // SA_NODEFER: a fault inside the report re-enters and ends the process.
            action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
            ::sigaction(signal, &action, &g_previous[signal]);
        }
    });
}

void ignoreBrokenPipeSignal()
{
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGPIPE, &action, nullptr);
}

FaultGuard::FaultGuard(const wchar_t* file, int line)
    : m_pFile(file), m_iLine(line), m_pOuter(t_pInnermost)
{
    if (!t_bThreadReady) {
        installFaultHandlers();
        prepareThread();
    }
    t_pInnermost = this;
}

FaultGuard::~FaultGuard()
{
    t_pInnermost = m_pOuter;
}

const FaultGuard* FaultGuard::innermost()
{
    return t_pInnermost;
}

void reportEscapedException(const wchar_t* file, int line, const char* what)
{
    static char note[512];
    std::size_t used = 0;
    auto add = [&](const char* text) {
        for (; text != nullptr && *text != 0 && used + 1 < sizeof note; ++text)
            note[used++] = *text;
        note[used] = 0;
    };
    add("Escaped C++ exception: ");
    add(what);
    detail::reportFault(FAULT_CPP_EXCEPTION, file, line, note);
}

} // namespace util
