#include "logging/Log.h"

#include "utilities/Util.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace util {

namespace {

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

    va_list arguments;
    va_start(arguments, format);
    const std::wstring message = formatWideV(format, arguments);
    va_end(arguments);

    std::string line = timeStamp() + " " + toUtf8(message) + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stream << line;
    m_stream.flush();
    ++m_data.m_iNumber;
}

} // namespace util
