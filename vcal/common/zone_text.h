#pragma once
// Zones as calendar text: the iCalendar VTIMEZONE block, the vCalendar 1.0 "TZ:" and
// "DAYLIGHT:" lines, UTC offsets as text and the names zones are written under. The
// writers append 8-bit lines, each ending in CR LF.
#include <cstdint>
#include <string>
#include <string_view>

#include "vcal/common/zone_rule.h"

namespace mireo {

// A bias of m minutes as an offset from UTC: the sign is "-" when m > 0 and "+"
// otherwise, then the hours and minutes of |m|. iCalendar "-0500", vCalendar "-05:00".
std::string IcalOffsetText(std::int64_t minutes);
std::string VcalOffsetText(std::int64_t minutes);

// A zone name as it may be written: a double quote becomes an apostrophe and each
// control character a space, so the name can neither end a quoted TZID parameter nor
// break a line. Names from items and from the registry go through it before use.
std::string CleanZoneName(std::string_view name);

// The name of a zone that has none: "(GMT-05:00)" from Bias + StandardBias, by the
// vCalendar offset text ("(GMT+01:00)" for Bias -60, "(GMT+00:00)" for 0).
std::string ZoneNameFromBias(const ZoneRule& rule);

// The VTIMEZONE block of a zone, TZID `name` (cleaned as CleanZoneName does, no quotes):
// one STANDARD component and, with daylight time, one DAYLIGHT component, each with
// its 1980 start (a local time without zone letter) and its yearly rule.
void WriteVTimezone(std::string& out, std::string_view name, const ZoneRule& rule);

// "TZ:" with the standard offset, and "DAYLIGHT:" with FALSE, or TRUE, the daylight
// offset, the 1980 starts of daylight and standard time and two empty names.
void WriteVCalZoneLines(std::string& out, const ZoneRule& rule);

}  // namespace mireo
