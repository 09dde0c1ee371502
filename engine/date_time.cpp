#include "engine/date_time.h"

#include <cmath>

namespace mireo {
namespace {

using namespace std::chrono;

// 1899-12-30, day 0 of the OLE dates and of the day numbers.
constexpr local_days kOleEpoch = local_days{year{1899} / December / 30};
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr double kOleMin = -657434.0;  // 0100-01-01
constexpr double kOleMax = 2958466.0;  // 10000-01-01

year_month_day YmdOf(std::int64_t dayNumber) {
    return year_month_day{kOleEpoch + days{dayNumber}};
}

// Civil fields to seconds since 1899-12-30, normalising as <chrono> does: months
// beyond 12 roll into the next year, days beyond the month's end into the next month.
std::int64_t SecondsOf(const CivilTime& c) {
    const year_month ym = year{c.year} / month{1} + months{c.month - 1};
    const local_days first = local_days{ym / 1};
    const std::int64_t dayNo = (first - kOleEpoch).count() + (c.day - 1);
    return dayNo * kSecondsPerDay + c.hour * 3600LL + c.minute * 60LL + c.second;
}

CivilTime CivilOf(std::int64_t secondsSinceEpoch) {
    std::int64_t dayNo = secondsSinceEpoch / kSecondsPerDay;
    std::int64_t rest = secondsSinceEpoch % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --dayNo;
    }
    const year_month_day ymd = YmdOf(dayNo);
    CivilTime c;
    c.year = static_cast<int>(ymd.year());
    c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

std::int64_t SinceEpoch(LocalTime t) { return (t - kOleEpoch).count(); }
LocalTime FromEpoch(std::int64_t s) { return LocalTime{kOleEpoch} + seconds{s}; }

}  // namespace

bool IsLeapYear(int y) { return year{y}.is_leap(); }

int DaysInMonth(int y, int m) {
    if (m < 1 || m > 12) return 0;
    return static_cast<int>(static_cast<unsigned>((year{y} / month{static_cast<unsigned>(m)} / last).day()));
}

bool IsValidCivil(const CivilTime& c) {
    return c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= DaysInMonth(c.year, c.month) && c.hour >= 0 &&
           c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 && c.second <= 59;
}

LocalTime ToLocal(const CivilTime& c) { return FromEpoch(SecondsOf(c)); }
UtcTime ToUtc(const CivilTime& c) { return AsUtc(ToLocal(c)); }
CivilTime Split(LocalTime t) { return CivilOf(SinceEpoch(t)); }
CivilTime Split(UtcTime t) { return Split(AsLocal(t)); }

LocalTime MakeLocal(int y, int mo, int d, int h, int mi, int s) { return ToLocal(CivilTime{y, mo, d, h, mi, s}); }
UtcTime MakeUtc(int y, int mo, int d, int h, int mi, int s) { return ToUtc(CivilTime{y, mo, d, h, mi, s}); }

int Weekday(LocalTime t) {
    return static_cast<int>(weekday{floor<days>(t)}.c_encoding());
}

LocalTime StartOfDay(LocalTime t) { return LocalTime{floor<days>(t)}; }

std::int64_t DayNumber(int y, int m, int d) { return SecondsOf(CivilTime{y, m, d, 0, 0, 0}) / kSecondsPerDay; }

void CivilFromDayNumber(std::int64_t n, int& y, int& m, int& d) {
    const year_month_day ymd = YmdOf(n);
    y = static_cast<int>(ymd.year());
    m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    d = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

int WeekdayOfDayNumber(std::int64_t n) {
    return static_cast<int>(weekday{kOleEpoch + days{n}}.c_encoding());
}

namespace {
std::optional<LocalTime> AnyLocalFromOle(OleDate d) {
    // Before the epoch the time of day counts away from zero: the first day of year 100
    // runs from -657434.0 to just above -657435.0.
    if (!std::isfinite(d) || d <= kOleMin - 1.0 || d >= kOleMax) return std::nullopt;
    const double whole = std::trunc(d);
    const std::int64_t day = static_cast<std::int64_t>(whole);
    // The fraction is the time of day whatever the sign; rounding to the second may
    // reach the next midnight, which is the next day in time order.
    const std::int64_t secs = std::llround(std::fabs(d - whole) * kSecondsPerDay);
    return FromEpoch(day * kSecondsPerDay + secs);
}
}  // namespace

std::optional<LocalTime> LocalFromOle(OleDate d) {
    if (d == kNoDate) return std::nullopt;
    const std::optional<LocalTime> t = AnyLocalFromOle(d);
    // The last half second of 9999 rounds into year 10000.
    if (t && *t >= FromEpoch(static_cast<std::int64_t>(kOleMax) * kSecondsPerDay)) return std::nullopt;
    return t;
}

OleDate OleFromLocal(LocalTime t) {
    const std::int64_t s = SinceEpoch(t);
    std::int64_t day = s / kSecondsPerDay;
    std::int64_t rest = s % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --day;
    }
    const double frac = static_cast<double>(rest) / kSecondsPerDay;
    // Before the epoch the fraction counts away from zero: 1899-12-29 06:00 is -1.25.
    return day < 0 ? static_cast<double>(day) - frac : static_cast<double>(day) + frac;
}

OleDate OleFromLocal(std::optional<LocalTime> t) { return t ? OleFromLocal(*t) : kNoDate; }

std::int64_t OleToMinutes(OleDate d) {
    const double whole = std::trunc(d);
    const double frac = std::fabs(d - whole);
    const std::int64_t day = static_cast<std::int64_t>(whole);
    // Seconds are truncated; the small bias absorbs the binary error of x/1440.
    std::int64_t minutes = static_cast<std::int64_t>(std::floor(frac * 1440.0 + 1e-6));
    if (minutes >= 1440) minutes = 1439;
    return day * 1440 + minutes;
}

OleDate MinutesToOle(std::int64_t minutes) {
    return OleFromLocal(FromEpoch(minutes * 60));
}

OleDate MakeOleDate(int y, int mo, int d, int h, int mi, int s) { return OleFromLocal(MakeLocal(y, mo, d, h, mi, s)); }

CivilTime SplitOleDate(OleDate d) {
    const std::optional<LocalTime> t = AnyLocalFromOle(d);
    return t ? Split(*t) : CivilTime{};
}

}  // namespace mireo
