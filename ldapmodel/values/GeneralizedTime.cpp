#include "values/GeneralizedTime.h"

#include <cstddef>
#include <ctime>

namespace ldapmodel {

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool atEnd() const { return m_position == m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_position]; }
    void skip() { ++m_position; }
    bool nextIsDigit() const { return peek() >= '0' && peek() <= '9'; }

    // count decimal digits; false when there are fewer.
    bool digits(int count, int& value)
    {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (!nextIsDigit())
                return false;
            value = value * 10 + (peek() - '0');
            skip();
        }
        return true;
    }

    // The fraction after "." or ",": at least one digit, as a share of one.
    bool fraction(double& value)
    {
        value = 0.0;
        double scale = 0.1;
        if (!nextIsDigit())
            return false;
        while (nextIsDigit()) {
            value += (peek() - '0') * scale;
            scale /= 10.0;
            skip();
        }
        return true;
    }

private:
    const std::string& m_text;
    std::size_t m_position = 0;
};

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

bool GeneralizedTime::parse(const std::string& text)
{
    Reader reader(text);
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!reader.digits(4, year) || !reader.digits(2, month) || !reader.digits(2, day)
        || !reader.digits(2, hour))
        return false;
    // Seconds one unit of the last field given is worth.
    int unit = 3600;
    if (reader.nextIsDigit()) {
        if (!reader.digits(2, minute))
            return false;
        unit = 60;
        if (reader.nextIsDigit()) {
            if (!reader.digits(2, second))
                return false;
            unit = 1;
        }
    }
    double share = 0.0;
    if (reader.peek() == '.' || reader.peek() == ',') {
        reader.skip();
        if (!reader.fraction(share))
            return false;
    }
    int offsetSeconds = 0;
    const char zone = reader.peek();
    if (zone == 'Z') {
        reader.skip();
    } else if (zone == '+' || zone == '-') {
        reader.skip();
        int zoneHours = 0;
        int zoneMinutes = 0;
        if (!reader.digits(2, zoneHours))
            return false;
        if (reader.nextIsDigit() && !reader.digits(2, zoneMinutes))
            return false;
        if (zoneHours > 23 || zoneMinutes > 59)
            return false;
        offsetSeconds = (zoneHours * 3600 + zoneMinutes * 60) * (zone == '-' ? -1 : 1);
    } else {
        return false;
    }
    if (!reader.atEnd())
        return false;
    // A leap second (60) is allowed and counts as the next second.
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23
        || minute > 59 || second > 60)
        return false;

    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    const std::time_t utc = ::timegm(&fields);
    const auto fractionMs = static_cast<std::int64_t>(share * unit * 1000.0 + 0.5);
    const std::int64_t totalMs =
        (static_cast<std::int64_t>(utc) - offsetSeconds) * 1000 + fractionMs;
    m_iSeconds = totalMs >= 0 ? totalMs / 1000 : -((-totalMs + 999) / 1000);
    m_iMilliseconds = static_cast<int>(totalMs - m_iSeconds * 1000);
    return true;
}

} // namespace ldapmodel
