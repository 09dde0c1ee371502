#include "vcal/common/zone_rule.h"

#include <algorithm>
#include <cstring>

namespace mireo {
namespace {

// The 48-byte layout is the 44-byte "TZI" one with a year word before each transition.
constexpr std::size_t kBiasesSize = 12;

void PutYear(std::uint8_t* out, std::uint16_t year) {
    out[0] = static_cast<std::uint8_t>(year);
    out[1] = static_cast<std::uint8_t>(year >> 8);
}

std::uint16_t GetYear(const std::uint8_t* in) { return static_cast<std::uint16_t>(in[0] | (in[1] << 8)); }

bool IsValidTransition(const SystemTime& t) {
    if (t.month == 0) return true;
    return t.month <= 12 && t.dayOfWeek <= 6 && t.day >= 1 && t.day <= 5 && t.hour <= 23 && t.minute <= 59 &&
           t.second <= 59 && t.milliseconds <= 999;
}

// The moment a change takes effect, to the second: a change with milliseconds (Windows
// writes midnight at the end of a day as 23:59:59.999) is in effect from the next
// whole second, as it is on Windows. TransitionDate keeps the written second, which
// the zone text shows.
LocalTime ChangeAt(int year, const SystemTime& transition) {
    const LocalTime t = TransitionDate(year, transition);
    return transition.milliseconds != 0 ? t + std::chrono::seconds(1) : t;
}

bool IsDaylight(bool southern, auto t, auto standardStart, auto daylightStart) {
    // Southern hemisphere: daylight time runs over the new year.
    return southern ? (t < standardStart || t >= daylightStart) : (t >= daylightStart && t < standardStart);
}

}  // namespace

std::optional<ZoneRule> ZoneRule::FromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kSize) return std::nullopt;
    std::array<std::uint8_t, kTziSize> tzi{};
    std::memcpy(tzi.data(), bytes.data(), kBiasesSize);
    std::memcpy(tzi.data() + kBiasesSize, bytes.data() + 14, kSystemTimeSize);
    std::memcpy(tzi.data() + kBiasesSize + kSystemTimeSize, bytes.data() + 32, kSystemTimeSize);
    ZoneRule rule = FromInfo(*DecodeTzi(tzi));
    rule.standardYear = GetYear(bytes.data() + 12);
    rule.daylightYear = GetYear(bytes.data() + 30);
    if (!IsValidZoneRule(rule)) return std::nullopt;
    return rule;
}

std::array<std::uint8_t, ZoneRule::kSize> ZoneRule::ToBytes() const {
    const std::array<std::uint8_t, kTziSize> tzi = EncodeTzi(ToInfo());
    std::array<std::uint8_t, kSize> out{};
    std::memcpy(out.data(), tzi.data(), kBiasesSize);
    PutYear(out.data() + 12, standardYear);
    std::memcpy(out.data() + 14, tzi.data() + kBiasesSize, kSystemTimeSize);
    PutYear(out.data() + 30, daylightYear);
    std::memcpy(out.data() + 32, tzi.data() + kBiasesSize + kSystemTimeSize, kSystemTimeSize);
    return out;
}

ZoneRule ZoneRule::FromInfo(const TimeZoneInfo& info) {
    ZoneRule rule;
    rule.bias = info.bias;
    rule.standardBias = info.standardBias;
    rule.daylightBias = info.daylightBias;
    rule.standardDate = info.standardDate;
    rule.daylightDate = info.daylightDate;
    return rule;
}

TimeZoneInfo ZoneRule::ToInfo() const {
    return TimeZoneInfo{bias, standardBias, daylightBias, standardDate, daylightDate};
}

std::optional<ZoneRule> ZoneRule::FromTzi(std::span<const std::uint8_t> bytes) {
    const std::optional<TimeZoneInfo> info = DecodeTzi(bytes);
    if (!info) return std::nullopt;
    const ZoneRule rule = FromInfo(*info);
    if (!IsValidZoneRule(rule)) return std::nullopt;
    return rule;
}

bool IsValidZoneRule(const ZoneRule& rule) {
    return IsValidTransition(rule.standardDate) && IsValidTransition(rule.daylightDate);
}

LocalTime TransitionDate(int year, const SystemTime& transition) {
    const int month = std::clamp<int>(transition.month, 1, 12);
    const LocalTime first = MakeLocal(year, month, 1);
    int day = 1;
    if (transition.dayOfWeek < 7) day += (transition.dayOfWeek - Weekday(first) + 7) % 7;
    // (day - 1) weeks on, but never out of the month: day 5 is the last such weekday.
    day += 7 * std::clamp<int>(transition.day - 1, 0, 4);
    while (day > DaysInMonth(year, month)) day -= 7;
    return first + std::chrono::days(day - 1) + std::chrono::hours(transition.hour) +
           std::chrono::minutes(transition.minute) + std::chrono::seconds(transition.second);
}

UtcTime LocalToUtc(const ZoneRule& rule, LocalTime local) {
    const std::int64_t standard = std::int64_t{rule.bias} + rule.standardBias;
    const std::int64_t daylight = std::int64_t{rule.bias} + rule.daylightBias;
    std::int64_t offset = standard;
    if (rule.HasDaylight() && rule.standardDate.month == 0) {
        offset = daylight;
    } else if (rule.HasDaylight()) {
        const int y = Split(local).year;
        const LocalTime s = ChangeAt(y, rule.standardDate);
        const LocalTime d = ChangeAt(y, rule.daylightDate);
        offset = IsDaylight(s <= d, local, s, d) ? daylight : standard;
    }
    return AsUtc(local) + std::chrono::minutes(offset);
}

LocalTime UtcToLocal(const ZoneRule& rule, UtcTime utc) {
    const std::int64_t standard = std::int64_t{rule.bias} + rule.standardBias;
    const std::int64_t daylight = std::int64_t{rule.bias} + rule.daylightBias;
    std::int64_t offset = standard;
    if (rule.HasDaylight() && rule.standardDate.month == 0) {
        offset = daylight;
    } else if (rule.HasDaylight()) {
        // The changes as UTC times: to standard time from daylight local time, to
        // daylight time from standard local time.
        const int y = Split(utc).year;
        const UtcTime s = AsUtc(ChangeAt(y, rule.standardDate)) + std::chrono::minutes(daylight);
        const UtcTime d = AsUtc(ChangeAt(y, rule.daylightDate)) + std::chrono::minutes(standard);
        offset = IsDaylight(s <= d, utc, s, d) ? daylight : standard;
    }
    return AsLocal(utc) - std::chrono::minutes(offset);
}

bool ZonesEqual(const ZoneRule& a, const ZoneRule& b) {
    return std::int64_t{a.bias} + a.standardBias == std::int64_t{b.bias} + b.standardBias &&
           std::int64_t{a.bias} + a.daylightBias == std::int64_t{b.bias} + b.daylightBias &&
           a.standardDate == b.standardDate && a.daylightDate == b.daylightDate;
}

}  // namespace mireo
