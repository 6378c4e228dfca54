#pragma once

#include <string>

namespace util {

// Process-wide stack of the traced operations currently running
// ("Class::method"), read by the fatal-error report.
void tracePush(const std::wstring& functionName);
void tracePop();
// Most recent first, each followed by "\n"; leaves the trace empty.
std::wstring traceTakeAll();

// Pushes on construction, pops on every return path.
class TraceScope {
public:
    explicit TraceScope(const wchar_t* functionName) { tracePush(functionName); }
    ~TraceScope() { tracePop(); }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;
};

} // namespace util
