#pragma once
// The Windows zone list that Mireo ships for the Linux registry substitute, and CLDR's
// mapping between tzdata zone names and Windows zone keys. Both are generated at build
// time from platform/windows_zones.txt and the CLDR data (windowsZones.xml and the
// zone aliases of bcp47/timezone.xml).
#include <cstdint>
#include <span>
#include <string_view>

namespace mireo {

struct ShippedZone {
    std::uint32_t index;       // "Index"
    const char* key;           // the subkey name, "W. Europe Standard Time"
    const char* display;       // "Display"
    const char* standardName;  // "Std"
    const char* daylightName;  // "Dlt"
    const char* tzdataZones;   // the tzdata zone of the rules and its other names, space-separated, preferred first
};

struct TzdataWindowsZone {
    const char* tzdataName;  // in lower case
    const char* windowsKey;
};

// In Index order.
std::span<const ShippedZone> ShippedWindowsZones();
// Every tzdata name that CLDR maps, aliases included, sorted by name.
std::span<const TzdataWindowsZone> TzdataWindowsZones();

// The Windows zone key that CLDR maps a tzdata zone to ("Asia/Kolkata" and its old
// name "Asia/Calcutta" both give "India Standard Time"); letter case is ignored.
// Empty when CLDR maps no such name.
std::string_view WindowsZoneOfTzdata(std::string_view name);

}  // namespace mireo
