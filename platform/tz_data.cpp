#include "platform/tz_data.h"

#include <algorithm>
#include <chrono>

namespace mireo::tzdata {
namespace {

constexpr std::int32_t kDay = 86400;
constexpr std::int32_t kHour = 3600;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A cursor over the rule text; every read checks the end.
class CReader {
public:
    explicit CReader(std::string_view text) : m_text(text) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    bool Take(char c) {
        if (AtEnd() || m_text[m_pos] != c) return false;
        ++m_pos;
        return true;
    }

    // "EST", or "<+0530>" (letters, digits, '+' and '-' between angle brackets); three or more characters.
    bool Name(std::string& out) {
        out.clear();
        if (Take('<')) {
            while (!AtEnd() && m_text[m_pos] != '>') {
                const char c = m_text[m_pos];
                if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-') return false;
                out += c;
                ++m_pos;
            }
            if (!Take('>')) return false;
        } else {
            while (!AtEnd() && IsAlpha(m_text[m_pos])) out += m_text[m_pos++];
        }
        return out.size() >= 3;
    }

    // An unsigned number of 1..maxDigits digits.
    bool Number(int maxDigits, int& value) {
        value = 0;
        int digits = 0;
        while (!AtEnd() && IsDigit(m_text[m_pos])) {
            if (++digits > maxDigits) return false;
            value = value * 10 + (m_text[m_pos++] - '0');
        }
        return digits > 0;
    }

    // [+|-]h[:mm[:ss]] with hours up to maxHours, as seconds.
    bool Time(int maxHours, std::int32_t& seconds) {
        int sign = 1;
        if (Take('-')) sign = -1;
        else Take('+');
        int h = 0, m = 0, s = 0;
        if (!Number(3, h) || h > maxHours) return false;
        if (Take(':')) {
            if (!Number(2, m) || m > 59) return false;
            if (Take(':') && (!Number(2, s) || s > 59)) return false;
        }
        seconds = sign * (h * kHour + m * 60 + s);
        return true;
    }

    // Jn, n or Mm.w.d, then an optional /time.
    bool Date(RuleDate& out) {
        out = RuleDate{};
        if (Take('J')) {
            out.form = RuleDate::Form::Julian1;
            if (!Number(3, out.day) || out.day < 1 || out.day > 365) return false;
        } else if (Take('M')) {
            out.form = RuleDate::Form::MonthWeekDay;
            if (!Number(2, out.month) || out.month < 1 || out.month > 12) return false;
            if (!Take('.') || !Number(1, out.week) || out.week < 1 || out.week > 5) return false;
            if (!Take('.') || !Number(1, out.weekday) || out.weekday > 6) return false;
        } else {
            out.form = RuleDate::Form::Julian0;
            if (!Number(3, out.day) || out.day > 365) return false;
        }
        // The extension of RFC 8536: transition times from -167 to 167 hours.
        if (Take('/') && !Time(167, out.time)) return false;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

std::int64_t DaysFromCivil(int y, int m, int d) {
    using namespace std::chrono;
    return sys_days(year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)})
        .time_since_epoch()
        .count();
}

int YearOfDays(std::int64_t days) {
    using namespace std::chrono;
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    return static_cast<int>(ymd.year());
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// 0 Sunday .. 6 Saturday; 1970-01-01 was a Thursday.
int WeekdayOfDays(std::int64_t days) {
    const std::int64_t w = (days + 4) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

// The day (days since 1970) on which a rule date falls in a year.
std::int64_t DayOf(const RuleDate& date, int y) {
    const std::int64_t jan1 = DaysFromCivil(y, 1, 1);
    switch (date.form) {
        case RuleDate::Form::Julian1:
            return jan1 + date.day - 1 + (IsLeap(y) && date.day >= 60 ? 1 : 0);
        case RuleDate::Form::Julian0:
            return jan1 + date.day;
        case RuleDate::Form::MonthWeekDay:
            break;
    }
    const std::int64_t first = DaysFromCivil(y, date.month, 1);
    int d = 1 + (date.weekday - WeekdayOfDays(first) + 7) % 7 + 7 * (date.week - 1);
    while (d > DaysIn(y, date.month)) d -= 7;
    return first + d - 1;
}

// Seconds to minutes, to the nearest minute.
std::int32_t Minutes(std::int32_t seconds) {
    return seconds >= 0 ? (seconds + 30) / 60 : -((-seconds + 30) / 60);
}

// A day-in-month rule date as a Windows transition.
SystemTime TransitionOf(const RuleDate& date, RuleFit& fit) {
    SystemTime t;
    t.month = static_cast<std::uint16_t>(date.month);
    t.day = static_cast<std::uint16_t>(date.week);
    int weekday = date.weekday;
    std::int32_t time = date.time;
    if (time == kDay) {
        // Midnight at the end of the day: Windows holds it as the last moment of that day.
        t.hour = 23;
        t.minute = 59;
        t.second = 59;
        t.milliseconds = 999;
    } else {
        if (time < 0 || time > kDay) {
            std::int32_t days = time / kDay;
            if (time % kDay < 0) --days;
            time -= days * kDay;
            weekday = ((weekday + days) % 7 + 7) % 7;
            fit = RuleFit::ShiftedDays;
        }
        t.hour = static_cast<std::uint16_t>(time / kHour);
        t.minute = static_cast<std::uint16_t>(time / 60 % 60);
        t.second = static_cast<std::uint16_t>(time % 60);
    }
    t.dayOfWeek = static_cast<std::uint16_t>(weekday);
    return t;
}

std::uint32_t Be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::int64_t Be64(const unsigned char* p) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4));
}

struct TzifCounts {
    char version = 0;
    std::uint64_t isut = 0, isstd = 0, leap = 0, time = 0, type = 0, chars = 0;
};

constexpr std::size_t kTzifHeaderSize = 44;

bool ReadHeader(std::string_view bytes, std::size_t pos, TzifCounts& c) {
    if (bytes.size() - pos < kTzifHeaderSize || bytes.substr(pos, 4) != "TZif") return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + pos);
    c.version = static_cast<char>(p[4]);
    c.isut = Be32(p + 20);
    c.isstd = Be32(p + 24);
    c.leap = Be32(p + 28);
    c.time = Be32(p + 32);
    c.type = Be32(p + 36);
    c.chars = Be32(p + 40);
    // Counts that break the format's own rules: no data block to trust.
    if (c.type == 0 || c.type > 256 || c.chars == 0) return false;
    if ((c.isut != 0 && c.isut != c.type) || (c.isstd != 0 && c.isstd != c.type)) return false;
    return c.version == 0 || c.version == '2' || c.version == '3' || c.version == '4';
}

// The size of a data block; the counts are 32-bit, so the sum cannot overflow 64 bits.
std::uint64_t BlockSize(const TzifCounts& c, std::uint64_t timeSize) {
    return c.time * timeSize + c.time + c.type * 6 + c.chars + c.leap * (timeSize + 4) + c.isstd + c.isut;
}

bool ReadBlock(std::string_view bytes, std::size_t pos, const TzifCounts& c, std::uint64_t timeSize,
               TzifData& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + pos);
    out.times.resize(c.time);
    for (std::uint64_t i = 0; i < c.time; ++i) {
        out.times[i] = timeSize == 8 ? Be64(p + i * 8) : static_cast<std::int32_t>(Be32(p + i * 4));
        if (i > 0 && out.times[i] <= out.times[i - 1]) return false;
    }
    p += c.time * timeSize;
    out.types.assign(p, p + c.time);
    for (std::uint8_t t : out.types)
        if (t >= c.type) return false;
    p += c.time;
    out.offsets.resize(c.type);
    for (std::uint64_t i = 0; i < c.type; ++i) {
        const auto offset = static_cast<std::int32_t>(Be32(p + i * 6));
        // RFC 8536: -2^31 is not allowed; keep offsets within a day either side.
        if (offset <= -kDay || offset >= kDay) return false;
        out.offsets[i] = offset;
    }
    return true;
}

}  // namespace

std::optional<PosixRule> ParsePosixRule(std::string_view text) {
    CReader r(text);
    PosixRule rule;
    std::int32_t offset = 0;
    if (!r.Name(rule.standardName) || !r.Time(24, offset)) return std::nullopt;
    rule.standardOffset = -offset;
    if (r.AtEnd()) return rule;
    if (!r.Name(rule.daylightName)) return std::nullopt;
    rule.hasDaylight = true;
    rule.daylightOffset = rule.standardOffset + kHour;
    if (!r.AtEnd() && r.Peek() != ',') {
        if (!r.Time(24, offset)) return std::nullopt;
        rule.daylightOffset = -offset;
    }
    if (r.AtEnd()) {
        rule.start = {RuleDate::Form::MonthWeekDay, 0, 3, 2, 0, 7200};
        rule.end = {RuleDate::Form::MonthWeekDay, 0, 11, 1, 0, 7200};
        return rule;
    }
    if (!r.Take(',') || !r.Date(rule.start) || !r.Take(',') || !r.Date(rule.end) || !r.AtEnd())
        return std::nullopt;
    return rule;
}

std::int32_t UtcOffsetAt(const PosixRule& rule, std::int64_t unixTime) {
    if (!rule.hasDaylight) return rule.standardOffset;
    // Years 1..9999: the calendar arithmetic stays in range whatever the caller passes.
    unixTime = std::clamp<std::int64_t>(unixTime, -62135596800, 253402300799);
    std::int64_t days = (unixTime + rule.standardOffset) / kDay;
    if ((unixTime + rule.standardOffset) % kDay < 0) --days;
    const int y = YearOfDays(days);
    const std::int64_t start = DayOf(rule.start, y) * kDay + rule.start.time - rule.standardOffset;
    const std::int64_t end = DayOf(rule.end, y) * kDay + rule.end.time - rule.daylightOffset;
    const bool daylight = start < end ? (unixTime >= start && unixTime < end) : !(unixTime >= end && unixTime < start);
    return daylight ? rule.daylightOffset : rule.standardOffset;
}

std::optional<TimeZoneInfo> RuleToZone(const PosixRule& rule, RuleFit* fit) {
    RuleFit how = RuleFit::Exact;
    TimeZoneInfo info = FixedZone(rule.standardOffset);
    if (rule.hasDaylight) {
        if (rule.start.form != RuleDate::Form::MonthWeekDay || rule.end.form != RuleDate::Form::MonthWeekDay)
            return std::nullopt;
        info.daylightBias = -Minutes(rule.daylightOffset) - info.bias;
        info.daylightDate = TransitionOf(rule.start, how);
        info.standardDate = TransitionOf(rule.end, how);
    }
    if (fit != nullptr) *fit = how;
    return info;
}

TimeZoneInfo FixedZone(std::int32_t utcOffset) {
    TimeZoneInfo info;
    info.bias = -Minutes(utcOffset);
    // Windows gives zones without daylight time a daylight bias of an hour all the same.
    info.daylightBias = -60;
    return info;
}

TimeZoneInfo ToTimeZoneInfo(const PosixRule& rule, std::int64_t now, RuleFit* fit) {
    if (std::optional<TimeZoneInfo> info = RuleToZone(rule, fit)) return *info;
    if (fit != nullptr) *fit = RuleFit::FixedOffset;
    return FixedZone(UtcOffsetAt(rule, now));
}

std::optional<TzifData> ReadTzif(std::string_view bytes) {
    TzifCounts c;
    if (!ReadHeader(bytes, 0, c)) return std::nullopt;
    std::size_t pos = kTzifHeaderSize;
    std::uint64_t timeSize = 4;
    if (c.version != 0) {
        // Skip the 32-bit block: the 64-bit one after it covers all times.
        const std::uint64_t skip = BlockSize(c, 4);
        if (skip > bytes.size() - pos) return std::nullopt;
        pos += static_cast<std::size_t>(skip);
        if (!ReadHeader(bytes, pos, c)) return std::nullopt;
        pos += kTzifHeaderSize;
        timeSize = 8;
    }
    const std::uint64_t size = BlockSize(c, timeSize);
    if (size > bytes.size() - pos) return std::nullopt;
    TzifData data;
    if (!ReadBlock(bytes, pos, c, timeSize, data)) return std::nullopt;
    pos += static_cast<std::size_t>(size);
    if (timeSize == 8) {
        // "\n" rule "\n"; an empty rule means none.
        if (pos >= bytes.size() || bytes[pos] != '\n') return std::nullopt;
        const std::size_t end = bytes.find('\n', pos + 1);
        if (end == std::string_view::npos) return std::nullopt;
        data.footer.assign(bytes.substr(pos + 1, end - pos - 1));
    }
    return data;
}

std::int32_t UtcOffsetAt(const TzifData& data, std::int64_t unixTime) {
    if (!data.times.empty() && unixTime > data.times.back() && !data.footer.empty()) {
        if (const std::optional<PosixRule> rule = ParsePosixRule(data.footer)) return UtcOffsetAt(*rule, unixTime);
    }
    if (data.times.empty() || unixTime < data.times.front()) {
        // Before the first transition: the first type (RFC 8536), or the footer's rule
        // for a file with no transitions at all.
        if (data.times.empty() && !data.footer.empty()) {
            if (const std::optional<PosixRule> rule = ParsePosixRule(data.footer)) return UtcOffsetAt(*rule, unixTime);
        }
        return data.offsets.empty() ? 0 : data.offsets.front();
    }
    const auto it = std::upper_bound(data.times.begin(), data.times.end(), unixTime);
    const std::size_t i = static_cast<std::size_t>(it - data.times.begin()) - 1;
    return data.offsets[data.types[i]];
}

TimeZoneInfo ZoneOf(const TzifData& data, std::int64_t now, RuleFit* fit) {
    if (!data.footer.empty()) {
        if (const std::optional<PosixRule> rule = ParsePosixRule(data.footer)) {
            if (std::optional<TimeZoneInfo> info = RuleToZone(*rule, fit)) return *info;
        }
    }
    if (fit != nullptr) *fit = RuleFit::FixedOffset;
    return FixedZone(UtcOffsetAt(data, now));
}

std::optional<TimeZoneInfo> ZoneOfTzif(std::string_view bytes, std::int64_t now, RuleFit* fit) {
    const std::optional<TzifData> data = ReadTzif(bytes);
    if (!data) return std::nullopt;
    return ZoneOf(*data, now, fit);
}

}  // namespace mireo::tzdata
