#pragma once
// A time zone as appointments hold it: a bias and the two yearly changes between
// standard and daylight time, in the 48-byte layout of the appointment time-zone
// property (named property 0x8233 of "{00062002-0000-0000-C000-000000000046}"), and
// the arithmetic between local times of a zone and UTC.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/date_time.h"
#include "platform/time_zone.h"

namespace mireo {

// Little-endian:
//   0  Bias          signed minutes: UTC = local time + Bias (+ StandardBias or DaylightBias)
//   4  StandardBias  minutes added to Bias in standard time
//   8  DaylightBias  minutes added to Bias in daylight time
//  12  StandardYear  written 0
//  14  StandardDate  SYSTEMTIME of the change to standard time (in daylight local time)
//  30  DaylightYear  written 0
//  32  DaylightDate  SYSTEMTIME of the change to daylight time (in standard local time)
// A transition is month 1..12 (0: none), day of week 0..6, day 1..5 (5: the last such
// weekday of the month), hour, minute, second; its year is not used. A rule whose
// DaylightDate month is 0 has no daylight time.
struct ZoneRule {
    std::int32_t bias = 0;
    std::int32_t standardBias = 0;
    std::int32_t daylightBias = 0;
    std::uint16_t standardYear = 0;
    SystemTime standardDate;
    std::uint16_t daylightYear = 0;
    SystemTime daylightDate;

    static constexpr std::size_t kSize = 48;

    bool HasDaylight() const { return daylightDate.month != 0; }

    // The rule of a stored value, null unless it is exactly 48 bytes holding a valid rule
    // (IsValidZoneRule): a bad rule is treated as no rule at all.
    static std::optional<ZoneRule> FromBytes(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, kSize> ToBytes() const;

    // From the system's zone or a "TZI" value; the year words are 0.
    static ZoneRule FromInfo(const TimeZoneInfo& info);
    TimeZoneInfo ToInfo() const;
    // A "TZI" registry value: exactly 44 bytes holding a valid rule, else null.
    static std::optional<ZoneRule> FromTzi(std::span<const std::uint8_t> bytes);

    friend bool operator==(const ZoneRule&, const ZoneRule&) = default;
};

// Whether the transitions can be computed: each month 0..12 and, for a month other than
// 0, day of week 0..6, day 1..5, hour 0..23, minute and second 0..59, milliseconds
// 0..999. Rules from items, the registry and the zone list are checked with it where
// they enter; a rule that fails is treated as missing.
bool IsValidZoneRule(const ZoneRule& rule);

// The moment of a transition in a year, in the zone's local time: the transition's
// weekday `day` times in its month (5: the last), at its time of day. Any field values
// give an answer without looping: a month outside 1..12 is taken as the nearest month,
// a day of week of 7 or more as the first of the month, a day of 0 as 1.
LocalTime TransitionDate(int year, const SystemTime& transition);

// Local time of the rule's zone to UTC and back. Around the changes: a local time that
// occurs twice (the hour before the change to standard time) is read as daylight time;
// one that is skipped (the hour after the change to daylight time) is read as daylight
// time too, so it maps to the UTC time that standard time would give one hour earlier.
// A change with milliseconds (23:59:59.999, Windows' form of midnight at the end of a
// day) takes effect at the next whole second, as on Windows.
UtcTime LocalToUtc(const ZoneRule& rule, LocalTime local);
LocalTime UtcToLocal(const ZoneRule& rule, UtcTime utc);

// The same zone: equal Bias + StandardBias and Bias + DaylightBias, and the same bytes
// in both transitions. Bias alone and the year words may differ.
bool ZonesEqual(const ZoneRule& a, const ZoneRule& b);

}  // namespace mireo
