#pragma once
// The Windows list of time zones from the registry (HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Time Zones"): the import page's zone
// choice, the naming of a zone by its rule, and the zones a calendar file names by a
// Windows key, a display name or a tzdata name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/logger.h"
#include "platform/registry.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

struct ZoneListEntry {
    ZoneRule rule;        // from "TZI", year words 0
    std::string display;  // "Display", UTF-8
    std::uint32_t index = 0;
    bool hasIndex = false;  // systems after Windows XP and 2003 have no "Index"
    std::string key;        // the subkey name, "W. Europe Standard Time"
};

// Status of GetAllTimezones besides 0: the list key cannot be opened, or its
// enumeration failed.
constexpr long kZoneListCannotOpen = 1;
constexpr long kZoneListEnumFailed = 2;

// Reads every zone of the list key. A zone whose "Display", "Dlt", "Std" or "TZI"
// cannot be read (TZI: exactly 44 bytes of a valid rule) is left out with a warning;
// "Index" must be a 32-bit number when present. The list comes sorted by Index
// (unsigned); zones without one follow, west to east, then by display name.
// On Linux the registry's list is filled first from the shipped zone table when it is
// missing (PrepareTimeZoneList). 0 on success; otherwise the list is empty.
long GetAllTimezones(std::vector<ZoneListEntry>& out, ILogger& log, IRegistry& reg = SystemRegistry());

// 0 and the display name of the first zone of the list equal to the rule (ZonesEqual);
// 1 when there is none.
int FindZoneName(const ZoneRule& rule, const std::vector<ZoneListEntry>& list, std::string& name);

// The zone whose key ("W. Europe Standard Time") or display name is `name`, letter
// case ignored; null when none.
const ZoneListEntry* FindZoneByKeyOrDisplay(const std::vector<ZoneListEntry>& list, std::string_view name);

// The zone of a tzdata name ("Europe/Berlin", "Asia/Calcutta") through CLDR's mapping
// of tzdata zones to Windows keys; a prefix such as "/mozilla.org/20050126_1/" is
// passed over. Null when CLDR maps no such name or its Windows zone is not in the list.
const ZoneListEntry* FindZoneByIana(const std::vector<ZoneListEntry>& list, std::string_view name);

}  // namespace mireo
