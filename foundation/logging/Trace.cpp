#include "logging/Trace.h"

#include "faults/FaultReport.h"

#include <deque>

namespace util {

namespace {

// One trace per thread: a worker thread's traced calls must not interleave
// with the user-interface thread's stack.
// Set once the thread's trace exists, so the fault report can read it
// without creating it.
thread_local std::deque<std::wstring>* t_pNames = nullptr;

std::deque<std::wstring>& trace()
{
    thread_local std::deque<std::wstring> names;
    t_pNames = &names;
    return names;
}

} // namespace

void tracePush(const std::wstring& functionName)
{
    trace().push_back(functionName);
}

void tracePop()
{
    std::deque<std::wstring>& names = trace();
    if (!names.empty())
        names.pop_back();
}

std::wstring traceTakeAll()
{
    std::deque<std::wstring>& names = trace();
    std::wstring result;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        result += *it;
        result += L'\n';
    }
    names.clear();
    return result;
}

namespace detail {

void traceVisit(void (*visit)(const wchar_t* name, void* context), void* context)
{
    if (t_pNames == nullptr)
        return;
    const std::deque<std::wstring>& names = *t_pNames;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        visit(it->c_str(), context);
}

} // namespace detail

} // namespace util
