#pragma once
// The computer's time zone and the Windows list of time zones, as the system holds
// them: the fields of TIME_ZONE_INFORMATION without the names, and the zone list key
// of the registry with its "TZI" values.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/registry.h"

namespace mireo {

// SYSTEMTIME. In a zone rule it is a transition in day-in-month form: month 1..12
// (0: no such transition), dayOfWeek 0 Sunday..6 Saturday, day the occurrence of that
// weekday in the month 1..5 (5: the last), and the local time of the change.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// GetTimeZoneInformation without the names, which is also the "TZI" registry value
// (REG_TZI_FORMAT). Biases in minutes: UTC = local time + bias (+ the standard or the
// daylight bias).
struct TimeZoneInfo {
    std::int32_t bias = 0;
    std::int32_t standardBias = 0;
    std::int32_t daylightBias = 0;
    SystemTime standardDate;  // the change to standard time, in daylight local time
    SystemTime daylightDate;  // the change to daylight time, in standard local time
    friend bool operator==(const TimeZoneInfo&, const TimeZoneInfo&) = default;
};

constexpr std::size_t kSystemTimeSize = 16;
constexpr std::size_t kTziSize = 44;

// Little-endian, field by field, as Windows stores them.
void EncodeSystemTime(const SystemTime& t, std::uint8_t* out);  // 16 bytes
SystemTime DecodeSystemTime(const std::uint8_t* in);            // 16 bytes
std::array<std::uint8_t, kTziSize> EncodeTzi(const TimeZoneInfo& info);
// Null unless exactly 44 bytes: a shorter value would leave half a rule.
std::optional<TimeZoneInfo> DecodeTzi(std::span<const std::uint8_t> bytes);

// The zone list key under HKEY_LOCAL_MACHINE.
constexpr const char* kTimeZonesKeyPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

class ITimeZoneSource {
public:
    virtual ~ITimeZoneSource() = default;
    // GetTimeZoneInformation; false with the system error code when it fails.
    virtual bool Read(TimeZoneInfo& out, std::uint32_t& error) = 0;
};

// Windows: GetTimeZoneInformation. Linux: the zone of TZ (a tzdata file such as
// ":Europe/Prague" or "Europe/Prague", or a POSIX rule such as
// "EST5EDT,M3.2.0,M11.1.0"), else of /etc/localtime, else UTC, taken from the POSIX
// rule at the end of the tzdata file.
ITimeZoneSource& SystemTimeZone();

// Windows: nothing (the system keeps the list). Linux: when the registry file has no
// zone list key, fills it from the zone table shipped with Mireo (ShippedWindowsZones),
// the rules read from tzdata ($TZDIR or /usr/share/zoneinfo) at that moment; a zone
// whose tzdata file is missing is left out. The zone list of the registry file then
// reads like the one of Windows. Returns a Win32 error code; 0 also when the key was
// there already.
long PrepareTimeZoneList(IRegistry& reg);

}  // namespace mireo
