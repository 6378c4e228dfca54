#pragma once

#include "handles/gc_ptr.h"
#include "logging/LogData.h"

#include <fstream>
#include <mutex>
#include <string>

namespace util {

// The one process-wide logger. Writes are discarded unless the diagnostic
// configuration is switched on by the environment variable DIRLOOK_LOG
// (a file path). Never pass a password to it.
class Log : public memorylib::RefCount {
public:
    // Same instance for every category; created on first use, never deleted.
    static memorylib::gc_ptr<Log> getLog(const std::wstring& category);

    // printf-style wide format: %s for wide strings, %d for integers.
    // Discarded writes do not format the message.
    void write(const wchar_t* format, ...);

    bool isEnabled() const { return m_bEnabled; }

    // The logger lives as long as the process and is used from the worker
    // thread too, so its handles do not count: no unguarded shared counter.
    void addRef() override {}
    void release() override {}

private:
    Log();
    std::ofstream m_stream;
    LogData m_data;  // file path, lines written
    bool m_bEnabled = false;
    std::mutex m_mutex;  // guards m_stream and m_data when enabled
};

} // namespace util
