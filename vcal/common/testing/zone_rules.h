#pragma once
// Zone rules the calendar tests use, built field by field.
#include <cstdint>
#include <vector>

#include "vcal/common/zone_rule.h"

namespace mireo::test {

// A transition: month, day of week (0 Sunday), week (5 the last), time of day.
inline SystemTime Change(int month, int weekday, int week, int hour, int minute = 0, int second = 0,
                         int milliseconds = 0) {
    return SystemTime{0,
                      static_cast<std::uint16_t>(month),
                      static_cast<std::uint16_t>(weekday),
                      static_cast<std::uint16_t>(week),
                      static_cast<std::uint16_t>(hour),
                      static_cast<std::uint16_t>(minute),
                      static_cast<std::uint16_t>(second),
                      static_cast<std::uint16_t>(milliseconds)};
}

inline ZoneRule Rule(int bias, int standardBias, int daylightBias, SystemTime standard = {}, SystemTime daylight = {}) {
    ZoneRule r;
    r.bias = bias;
    r.standardBias = standardBias;
    r.daylightBias = daylightBias;
    r.standardDate = standard;
    r.daylightDate = daylight;
    return r;
}

// Bias 300 with the old US rule: daylight from the first Sunday of April, standard from
// the last Sunday of October, both at 2:00.
inline ZoneRule OldEastern() { return Rule(300, 0, -60, Change(10, 0, 5, 2), Change(4, 0, 1, 2)); }
// The US rule since 2007.
inline ZoneRule Eastern() { return Rule(300, 0, -60, Change(11, 0, 1, 2), Change(3, 0, 2, 2)); }
// No daylight time, five and a half hours east.
inline ZoneRule India() { return Rule(-330, 0, 0); }
inline ZoneRule CentralEurope() { return Rule(-60, 0, -60, Change(10, 0, 5, 3), Change(3, 0, 5, 2)); }
// Daylight time over the new year.
inline ZoneRule Sydney() { return Rule(-600, 0, -60, Change(4, 0, 1, 3), Change(10, 0, 1, 2)); }

// Windows zones whose rules the Windows registry and the list Mireo ships for Linux
// (from tzdata) must both hold.
struct KnownWindowsZone {
    const char* key;
    ZoneRule rule;
};
inline std::vector<KnownWindowsZone> KnownWindowsZones() {
    return {
        {"Eastern Standard Time", Eastern()},
        {"W. Europe Standard Time", CentralEurope()},
        {"GMT Standard Time", Rule(0, 0, -60, Change(10, 0, 5, 2), Change(3, 0, 5, 1))},
        {"AUS Eastern Standard Time", Sydney()},
        // Without daylight time, Windows keeps a daylight bias of an hour all the same.
        {"Tokyo Standard Time", Rule(-540, 0, -60)},
        {"India Standard Time", Rule(-330, 0, -60)},
        {"Hawaiian Standard Time", Rule(600, 0, -60)},
    };
}

}  // namespace mireo::test
