#pragma once

// Internal to the foundation: the parts of the fatal-error report that run
// inside a signal handler and therefore must not allocate.

namespace util::detail {

// Formats the report into static storage, writes it to standard error,
// shows it through the message-box service unless that is standard error
// itself, and ends the process with exit code 0. extra (may be null) is a
// note for standard error only.
[[noreturn]] void reportFault(unsigned int code, const wchar_t* file, int line,
                              const char* extra);

// Calls visit for every traced name of the calling thread, most recent
// first, without changing the trace.
void traceVisit(void (*visit)(const wchar_t* name, void* context), void* context);

} // namespace util::detail
