#include "Log.h"

#include "Util.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <vector>

namespace util {

namespace {

// Callers write "%s" for wide strings, as the platform's wide printf reads
// it; the C library here needs "%ls" (and "%lc") for that.
std::wstring widenConversions(const wchar_t* format)
{
    std::wstring result;
    for (const wchar_t* p = format; *p != 0; ++p) {
        result += *p;
        if (*p != L'%')
            continue;
        ++p;
        if (*p == L'%') {
            result += *p;
            continue;
        }
        // Flags, width, precision and length modifiers.
        bool hasLength = false;
        while (*p != 0 && std::wcschr(L"-+ #0123456789.*hlLqjzt", *p) != nullptr) {
            if (std::wcschr(L"hlLqjzt", *p) != nullptr)
                hasLength = true;
            result += *p++;
        }
        if (*p == 0)
            break;
        if ((*p == L's' || *p == L'c') && !hasLength)
            result += L'l';
        result += *p;
    }
    return result;
}

std::string timeStamp()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch())
                      .count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[40];
    std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03d", static_cast<int>(millis));
    return buffer;
}

} // namespace

Log::Log()
{
    const char* path = std::getenv("DIRLOOK_LOG");
    if (path == nullptr || *path == 0)
        return;
    m_stream.open(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!m_stream.is_open())
        return;
    m_data.m_strFirst = fromUtf8(path);
    m_bEnabled = true;
}

memorylib::gc_ptr<Log> Log::getLog(const std::wstring& /*category*/)
{
    // Created on first use and never deleted (its handles do not count).
    static Log* const instance = new Log();
    return memorylib::gc_ptr<Log>(instance);
}

void Log::write(const wchar_t* format, ...)
{
    if (!m_bEnabled || format == nullptr)
        return;

    std::wstring pattern = widenConversions(format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = std::vswprintf(buffer.data(), buffer.size(), pattern.c_str(), args);
        va_end(args);
        if (n >= 0)
            break;
        // vswprintf gives no size hint; grow until it fits or is absurd.
        if (buffer.size() >= (std::size_t(1) << 20)) {
            buffer[0] = 0;
            break;
        }
        buffer.resize(buffer.size() * 2);
    }

    std::string line = timeStamp() + " " + toUtf8(buffer.data()) + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stream << line;
    m_stream.flush();
    ++m_data.m_iNumber;
}

} // namespace util
