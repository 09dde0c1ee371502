#pragma once
// The two formats of tzdata that the computer's zone and the zone list are read from:
// the POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3") and the TZif file, whose footer
// holds the rule that applies after its last listed transition. Both are read from
// text that may be anything: bounded, without exceptions, nothing read past the end.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/time_zone.h"

namespace mireo::tzdata {

// One end of daylight time in a POSIX rule.
struct RuleDate {
    enum class Form {
        Julian1,      // "Jn": day 1..365, February 29 never counted
        Julian0,      // "n": day 0..365, February 29 counted
        MonthWeekDay  // "Mm.w.d": month 1..12, week 1..5 (5 the last), weekday 0 Sunday..6
    };
    Form form = Form::MonthWeekDay;
    int day = 0;
    int month = 0, week = 0, weekday = 0;
    std::int32_t time = 7200;  // seconds after local midnight, -167 h..167 h
    friend bool operator==(const RuleDate&, const RuleDate&) = default;
};

struct PosixRule {
    std::string standardName;
    std::int32_t standardOffset = 0;  // seconds east of UTC (the text has the opposite sign)
    bool hasDaylight = false;
    std::string daylightName;
    std::int32_t daylightOffset = 0;  // seconds east of UTC; one hour east of standard time unless given
    RuleDate start;                   // daylight time begins, in standard local time
    RuleDate end;                     // daylight time ends, in daylight local time
};

// Null when the text is not a whole POSIX TZ rule. A daylight name without dates takes
// the US rule, "M3.2.0,M11.1.0", as the C library does.
std::optional<PosixRule> ParsePosixRule(std::string_view text);

// The offset east of UTC, in seconds, that the rule gives at a time (seconds since
// 1970-01-01 UTC).
std::int32_t UtcOffsetAt(const PosixRule& rule, std::int64_t unixTime);

// How closely a zone's rule could be held in a Windows rule.
enum class RuleFit {
    Exact,        // every transition as the rule has it (a change at 24:00 is held as 23:59:59.999, as Windows does)
    ShiftedDays,  // a change at a time beyond the day ("M3.4.4/26") taken to the weekday it falls on, in the same week:
                  // right in most years, a week off in the others
    FixedOffset   // the rule has no day-in-month form (Jn or n days): the offset of one moment, without daylight time
};

// The one converter from a POSIX rule to a Windows rule. Null when the rule has no
// day-in-month form; the zone then takes a fixed offset (FixedZone).
std::optional<TimeZoneInfo> RuleToZone(const PosixRule& rule, RuleFit* fit = nullptr);
// A zone without daylight time at an offset east of UTC in seconds: no transitions and,
// as Windows holds such zones, a DaylightBias of -60.
TimeZoneInfo FixedZone(std::int32_t utcOffset);
// RuleToZone, else the fixed offset the rule gives at `now`.
TimeZoneInfo ToTimeZoneInfo(const PosixRule& rule, std::int64_t now, RuleFit* fit = nullptr);

// The parts of a TZif file (RFC 8536) that give offsets.
struct TzifData {
    std::vector<std::int64_t> times;    // transitions, ascending, seconds since 1970 UTC
    std::vector<std::uint8_t> types;    // the type that each transition begins
    std::vector<std::int32_t> offsets;  // the UTC offset of each type, seconds east
    std::string footer;                 // the POSIX rule after the last transition; empty when none
};

// Null when the bytes are not a well-formed TZif file (version 1 to 4).
std::optional<TzifData> ReadTzif(std::string_view bytes);

// The offset east of UTC at a time: from the transitions, after the last one from the
// footer's rule.
std::int32_t UtcOffsetAt(const TzifData& data, std::int64_t unixTime);

// The Windows rule of a tzdata file: its footer's rule through RuleToZone, else the
// offset the file gives at `now`.
TimeZoneInfo ZoneOf(const TzifData& data, std::int64_t now, RuleFit* fit = nullptr);
// The same from the file's bytes; null when they are not a TZif file.
std::optional<TimeZoneInfo> ZoneOfTzif(std::string_view bytes, std::int64_t now, RuleFit* fit = nullptr);

}  // namespace mireo::tzdata
