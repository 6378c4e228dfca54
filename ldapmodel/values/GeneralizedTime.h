#pragma once

#include <cstdint>
#include <string>

namespace ldapmodel {

// A value of the GeneralizedTime syntax ("20240501140327Z",
// "202405011403.5+0200") as a point in time.
class GeneralizedTime {
public:
    // Reads text: year, month, day, hour, optional minute and second, an
    // optional fraction of the last of them ("." or ","), and the zone "Z"
    // or "+hh[mm]"/"-hh[mm]". False for anything else, including a value
    // without a zone or a day the month does not have.
    bool parse(const std::string& text);

    // Seconds since 1970-01-01 00:00:00 UTC, and the milliseconds after.
    std::int64_t getSecondsSinceEpoch() const { return m_iSeconds; }
    int getMilliseconds() const { return m_iMilliseconds; }

private:
    std::int64_t m_iSeconds = 0;
    int m_iMilliseconds = 0;
};

} // namespace ldapmodel
