#include "engine/host_value.h"

#include <cmath>

#include "platform/utf.h"

namespace mireo {

namespace {
// Howard Hinnant's days_from_civil / civil_from_days, counted from 0000-03-01.
// Days from 0000-03-01 to 1899-12-30.
constexpr std::int64_t kEpochShift = 693899;

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe);
}
}  // namespace

std::int64_t DayNumber(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
}

void CivilFromDayNumber(std::int64_t n, int& year, int& month, int& day) {
    std::int64_t z = n + kEpochShift;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(y + (m <= 2));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

int WeekdayOfDayNumber(std::int64_t n) {
    // Day 0 (1899-12-30) was a Saturday.
    std::int64_t w = (n + 6) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) return 29;
    return kDays[month - 1];
}

OleDate MakeOleDate(int year, int month, int day, int hour, int minute, int second) {
    const double days = static_cast<double>(DayNumber(year, month, day));
    const double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the fraction counts away from zero: -1.25 is 1899-12-29 06:00.
    return days < 0 ? days - frac : days + frac;
}

std::int64_t OleToMinutes(OleDate d) {
    double whole = std::trunc(d);
    double frac = std::fabs(d - whole);
    std::int64_t day = static_cast<std::int64_t>(whole);
    // Seconds are truncated; the small bias absorbs the binary error of x/1440.
    std::int64_t minutes = static_cast<std::int64_t>(std::floor(frac * 1440.0 + 1e-6));
    if (minutes >= 1440) minutes = 1439;
    return day * 1440 + minutes;
}

OleDate MinutesToOle(std::int64_t minutes) {
    std::int64_t day = minutes >= 0 ? minutes / 1440 : -((-minutes + 1439) / 1440);
    std::int64_t m = minutes - day * 1440;
    double frac = static_cast<double>(m) / 1440.0;
    return day < 0 ? static_cast<double>(day) - frac : static_cast<double>(day) + frac;
}

DateParts SplitOleDate(OleDate d) {
    DateParts p;
    double whole = std::trunc(d);
    double frac = std::fabs(d - whole);
    std::int64_t secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
    std::int64_t day = static_cast<std::int64_t>(whole);
    if (secs >= 86400) {  // rounding up to the next midnight
        secs -= 86400;
        day += d < 0 ? -1 : 1;
    }
    CivilFromDayNumber(day, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

bool Value::AsBool() const {
    switch (GetKind()) {
    case Kind::Bool: return std::get<bool>(m_data);
    case Kind::Int: return std::get<std::int32_t>(m_data) != 0;
    case Kind::Date: return std::get<DateBox>(m_data).days != 0.0;
    default: return false;
    }
}

std::int32_t Value::AsInt() const {
    switch (GetKind()) {
    case Kind::Bool: return std::get<bool>(m_data) ? -1 : 0;
    case Kind::Int: return std::get<std::int32_t>(m_data);
    case Kind::Date: return static_cast<std::int32_t>(std::get<DateBox>(m_data).days);
    default: return 0;
    }
}

OleDate Value::AsDate() const {
    switch (GetKind()) {
    case Kind::Date: return std::get<DateBox>(m_data).days;
    case Kind::Int: return std::get<std::int32_t>(m_data);
    default: return 0.0;
    }
}

const std::u16string& Value::AsText() const {
    static const std::u16string kEmpty;
    return GetKind() == Kind::Text ? std::get<std::u16string>(m_data) : kEmpty;
}

const Bytes& Value::AsBinary() const {
    static const Bytes kEmpty;
    return GetKind() == Kind::Binary ? std::get<Bytes>(m_data) : kEmpty;
}

std::u16string ToHostText(std::string_view s) { return utf::Utf8ToUtf16(s, utf::BadUtf8::kEachByte); }

std::string FromHostText(std::u16string_view s) { return utf::Utf16ToUtf8(s); }

}  // namespace mireo
