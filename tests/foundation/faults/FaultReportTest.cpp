#include "faults/FaultGuard.h"
#include "logging/Trace.h"
#include "support/ScriptedMessageBoxes.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <thread>

#if defined(__SANITIZE_THREAD__)
#define DIRLOOK_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DIRLOOK_TEST_TSAN 1
#endif
#endif

#ifdef DIRLOOK_TEST_TSAN
// The report shows its box from inside the signal handler on purpose (the
// process ends right after); ThreadSanitizer would flag that allocation.
extern "C" const char* __tsan_default_options()
{
    return "report_signal_unsafe=0";
}
#endif

namespace {

using testing::ExitedWithCode;
using testing::HasSubstr;

volatile bool g_bStop = false;

// The faults are meant: keep the sanitizers from reporting them first.
__attribute__((noinline, no_sanitize("null"))) void writeThroughNull()
{
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

__attribute__((noinline, no_sanitize("integer-divide-by-zero"))) int divideByZero()
{
    volatile int numerator = 1;
    volatile int denominator = 0;
    return numerator / denominator;
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char pad[2048];
    pad[0] = static_cast<char>(depth);
    if (g_bStop)
        return pad[0];
    return recurse(depth + 1) + pad[0];
}

// Writes every box to standard error, so the death-test parent can see it.
class BoxesToStandardError : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "BOX caption=[%s] icon=%d buttons=%d length=%zu text=[%s]\n",
                     util::toUtf8(request.caption).c_str(), static_cast<int>(request.icon),
                     static_cast<int>(request.buttons), request.text.size(),
                     util::toUtf8(request.text).c_str());
        return request.defaultButton;
    }
};

const char* const kReportTail =
    "\n\nThe program will now exit\\. No data was lost\\.\n"
    "You may restart the program and continue your work\\.\n";

void nullWriteUnderMacro() { DIRLOOK_GUARD(L"LDAPAttribute"); writeThroughNull(); }
const int kMacroLine = __LINE__ - 1;

TEST(FaultReportDeathTest, NullWriteReportsAccessViolationWithFileLineAndTrace)
{
    EXPECT_EXIT(
        {
            util::TraceScope outer(L"Model::setActiveEntry");
            util::TraceScope inner(L"LDAPEntry::read");
            util::FaultGuard guard(L"LDAPEntry", 4242);
            writeThroughNull();
        },
        ExitedWithCode(0),
        std::string("^Exception! Reason EXCEPTION_ACCESS_VIOLATION: The thread tried to read from "
                    "or write to a virtual address for which it does not have the appropriate "
                    "access\\.\nFile: LDAPEntry, line: 4242") +
            kReportTail + "LDAPEntry::read\nModel::setActiveEntry\n\n$");
}

TEST(FaultReportDeathTest, MacroGuardNamesItsLine)
{
    EXPECT_EXIT(nullWriteUnderMacro(), ExitedWithCode(0),
                "EXCEPTION_ACCESS_VIOLATION.*\nFile: LDAPAttribute, line: " +
                    std::to_string(kMacroLine) + "\n");
}

TEST(FaultReportDeathTest, IntegerDivisionByZero)
{
    EXPECT_EXIT(
        {
            util::FaultGuard guard(L"LDAPSchema", 17);
            std::printf("%d", divideByZero());
        },
        ExitedWithCode(0),
        "Exception! Reason EXCEPTION_INT_DIVIDE_BY_ZERO: The thread tried to divide an integer "
        "value by an integer divisor of zero\\.\nFile: LDAPSchema, line: 17\n");
}

TEST(FaultReportDeathTest, RaisedTrapIsABreakpoint)
{
    EXPECT_EXIT(
        {
            util::FaultGuard guard(L"Model", 5);
            std::raise(SIGTRAP);
        },
        ExitedWithCode(0),
        "Exception! Reason EXCEPTION_BREAKPOINT: A breakpoint was encountered\\.\n"
        "File: Model, line: 5\n");
}

TEST(FaultReportDeathTest, TrapInstructionIsAnIllegalInstruction)
{
    EXPECT_EXIT(
        {
            util::FaultGuard guard(L"LDAPLdifFile", 9);
            __builtin_trap();
        },
        ExitedWithCode(0),
        "EXCEPTION_ILLEGAL_INSTRUCTION: The thread tried to execute an invalid instruction\\.\n"
        "File: LDAPLdifFile, line: 9\n");
}

TEST(FaultReportDeathTest, UnboundedRecursionIsAStackOverflow)
{
    EXPECT_EXIT(
        {
            util::TraceScope trace(L"LDAPSchemaStrategyParser::parse");
            util::FaultGuard guard(L"LDAPSchemaStrategyParser", 300);
            std::printf("%d", recurse(0));
        },
        ExitedWithCode(0),
        "Exception! Reason EXCEPTION_STACK_OVERFLOW: The thread used up its stack\\.\n"
        "File: LDAPSchemaStrategyParser, line: 300\n.*LDAPSchemaStrategyParser::parse\n");
}

TEST(FaultReportDeathTest, StackOverflowOnWorkerThreadNamesItsOwnGuard)
{
    EXPECT_EXIT(
        {
            util::FaultGuard mainGuard(L"CMainFrame", 1);
            util::TraceScope mainTrace(L"CMainFrame::OnExpand");
            std::thread worker([] {
                util::TraceScope trace(L"Model::readChildren");
                util::FaultGuard guard(L"Model", 812);
                std::printf("%d", recurse(0));
            });
            worker.join();
        },
        ExitedWithCode(0),
        std::string("EXCEPTION_STACK_OVERFLOW: The thread used up its stack\\.\n"
                    "File: Model, line: 812") +
            kReportTail + "Model::readChildren\n\n$");
}

TEST(FaultReportDeathTest, InnermostGuardIsReported)
{
    EXPECT_EXIT(
        {
            util::FaultGuard outer(L"Model", 10);
            {
                util::FaultGuard finished(L"LDAPEntry", 20);
            }
            util::FaultGuard inner(L"LDAPAttribute", 30);
            writeThroughNull();
        },
        ExitedWithCode(0), "File: LDAPAttribute, line: 30\n");
    EXPECT_EXIT(
        {
            util::FaultGuard outer(L"Model", 10);
            {
                util::FaultGuard finished(L"LDAPEntry", 20);
            }
            writeThroughNull();
        },
        ExitedWithCode(0), "File: Model, line: 10\n");
}

TEST(FaultReportDeathTest, EscapedExceptionIsReported)
{
    EXPECT_EXIT(util::guarded(L"ConnectionFiles", 77,
                              []() -> int {
                                  util::tracePush(L"ConnectionFiles::read");
                                  throw std::bad_alloc();
                              }),
                ExitedWithCode(0),
                std::string("^Escaped C\\+\\+ exception: std::bad_alloc\n"
                            "Exception! Reason UNKNOWN_EXCEPTION: Unknown exception\n"
                            "File: ConnectionFiles, line: 77") +
                    kReportTail + "ConnectionFiles::read\n\n$");
}

TEST(FaultReportDeathTest, NonStandardExceptionIsReported)
{
    EXPECT_EXIT(util::guarded(L"Server", 3, [] { throw 42; }), ExitedWithCode(0),
                "unknown exception\nException! Reason UNKNOWN_EXCEPTION: Unknown exception\n"
                "File: Server, line: 3\n");
}

TEST(FaultReportDeathTest, ReportIsShownThroughTheInstalledService)
{
    EXPECT_EXIT(
        {
            BoxesToStandardError boxes;
            util::setMessageBoxService(&boxes);
            util::tracePush(L"Model::connect");
            util::FaultGuard guard(L"Model", 40);
            writeThroughNull();
        },
        ExitedWithCode(0),
        "BOX caption=\\[Exception\\] icon=0 buttons=0 length=[0-9]+ "
        "text=\\[Exception! Reason EXCEPTION_ACCESS_VIOLATION.*line: 40.*Model::connect\n\\]\n$");
}

TEST(FaultReportDeathTest, ReportFatalErrorCutsTheFirstPartAt1023Characters)
{
    const std::wstring longName(2000, L'F');
    EXPECT_EXIT(
        {
            BoxesToStandardError boxes;
            util::setMessageBoxService(&boxes);
            util::tracePush(L"A::b");
            util::reportFatalError(0xC0000005, longName, 1, L"not specified");
        },
        ExitedWithCode(0), "FFFF\nA::b\n\nBOX caption=\\[Exception\\] icon=0 buttons=0 length=1029 ");
}

TEST(FaultReportDeathTest, UnknownCodeGivesUnknownException)
{
    EXPECT_EXIT(util::reportFatalError(0x12345678, L"LDAPEntry", 8, L"not specified"),
                ExitedWithCode(0),
                "^Exception! Reason UNKNOWN_EXCEPTION: Unknown exception\nFile: LDAPEntry, line: 8");
}

TEST(FaultReportDeathTest, ErrorAndExitShowsItsOwnText)
{
    EXPECT_EXIT(
        {
            BoxesToStandardError boxes;
            util::setMessageBoxService(&boxes);
            util::reportErrorAndExit(L"CDialogSchema", 120, L"Can't read schema");
        },
        ExitedWithCode(0),
        "^Exception in CDialogSchema\nat line: 120\nreason: Can't read schema\n"
        "The program will now exit\\. No data has been lost\\.\n"
        "BOX caption=\\[Exception\\] icon=3 buttons=0 length=[0-9]+ text=\\[Exception in ");
}

TEST(FaultReportDeathTest, ErrorAndExitCutsAt254Characters)
{
    const std::wstring longReason(400, L'r');
    EXPECT_EXIT(
        {
            BoxesToStandardError boxes;
            util::setMessageBoxService(&boxes);
            util::reportErrorAndExit(L"CDialogSchema", 1, longReason);
        },
        ExitedWithCode(0), "rrrr\nBOX caption=\\[Exception\\] icon=3 buttons=0 length=254 ");
}

TEST(FaultReportDeathTest, FaultOutsideAnyGuardIsNotReported)
{
    util::installFaultHandlers();
    EXPECT_DEATH(
        {
            // A guard that has ended leaves the thread unguarded.
            {
                util::FaultGuard finished(L"Model", 1);
            }
            writeThroughNull();
        },
        testing::Not(HasSubstr("Exception! Reason")));
}

TEST(FaultReportTest, GuardedReturnsTheBodysValue)
{
    EXPECT_EQ(util::guarded(L"Model", 1, [] { return 41 + 1; }), 42);
    int calls = 0;
    util::guarded(L"Model", 2, [&calls] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(util::FaultGuard::innermost(), nullptr);
}

TEST(FaultReportTest, GuardsNestPerThread)
{
    util::FaultGuard outer(L"Model", 1);
    {
        util::FaultGuard inner(L"LDAPEntry", 2);
        ASSERT_NE(util::FaultGuard::innermost(), nullptr);
        EXPECT_EQ(util::FaultGuard::innermost()->line(), 2);
        const util::FaultGuard* seenByWorker = &inner;
        std::thread worker([&seenByWorker] { seenByWorker = util::FaultGuard::innermost(); });
        worker.join();
        EXPECT_EQ(seenByWorker, nullptr);
    }
    EXPECT_EQ(util::FaultGuard::innermost(), &outer);
    EXPECT_STREQ(outer.file(), L"Model");
}

TEST(FaultReportTest, ManyShortLivedGuardedThreads)
{
    // Each thread gets and gives back its own alternate signal stack.
    for (int i = 0; i < 200; ++i) {
        std::thread worker([] { util::FaultGuard guard(L"Model", 1); });
        worker.join();
    }
    SUCCEED();
}

TEST(FaultTextTest, KnownCodesHaveTheirTexts)
{
    EXPECT_EQ(util::faultText(0x80000002).rfind(L"EXCEPTION_DATATYPE_MISALIGNMENT: ", 0), 0u);
    EXPECT_EQ(util::faultText(0x80000003), L"EXCEPTION_BREAKPOINT: A breakpoint was encountered.");
    EXPECT_EQ(util::faultText(0x80000004).rfind(L"EXCEPTION_SINGLE_STEP: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000006).rfind(L"EXCEPTION_IN_PAGE_ERROR: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000025).rfind(L"EXCEPTION_NONCONTINUABLE_EXCEPTION: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000026).rfind(L"EXCEPTION_INVALID_DISPOSITION: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC000008C).rfind(L"EXCEPTION_ARRAY_BOUNDS_EXCEEDED: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC000008D).rfind(L"EXCEPTION_FLT_DENORMAL_OPERAND: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC000008E).rfind(L"EXCEPTION_FLT_DIVIDE_BY_ZERO: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC000008F).rfind(L"EXCEPTION_FLT_INEXACT_RESULT: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000090).rfind(L"EXCEPTION_FLT_INVALID_OPERATION: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000091).rfind(L"EXCEPTION_FLT_OVERFLOW: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000092).rfind(L"EXCEPTION_FLT_STACK_CHECK: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000093).rfind(L"EXCEPTION_FLT_UNDERFLOW: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000095).rfind(L"EXCEPTION_INT_OVERFLOW: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC0000096).rfind(L"EXCEPTION_PRIV_INSTRUCTION: ", 0), 0u);
    EXPECT_EQ(util::faultText(0xC00000FD), L"EXCEPTION_STACK_OVERFLOW: The thread used up its stack.");
    EXPECT_EQ(util::faultText(0), L"UNKNOWN_EXCEPTION: Unknown exception");
    EXPECT_EQ(util::faultText(util::FAULT_CPP_EXCEPTION), L"UNKNOWN_EXCEPTION: Unknown exception");
}

} // namespace
