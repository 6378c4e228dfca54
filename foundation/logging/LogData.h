#pragma once

#include "handles/RefCount.h"

#include <cstdint>
#include <string>

namespace util {

// Describes the log sink of a diagnostic configuration.
struct LogData : public memorylib::RefCount {
    std::wstring m_strFirst;
    std::int32_t m_iNumber = 0;
    std::wstring m_strSecond;
};

} // namespace util
