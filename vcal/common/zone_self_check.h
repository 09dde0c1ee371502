#pragma once
// The debug command's check of the zone conversions: a zone three hours east of UTC
// with one hour of daylight saving (from the last Sunday of March at 2:00 to the last
// Sunday of October at 3:00), and the local times one minute before, at and after both
// changes of 2006, converted to UTC and, read as UTC, back to local time. The debug
// command runs it before its dialog (running it on a machine shows whether the
// conversions hold up there) and shows nothing of it.
#include <vector>

#include "engine/date_time.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

struct ZoneCheckResult {
    LocalTime local;   // the date-time checked
    UtcTime utc;       // `local` as UTC by the zone
    LocalTime fromUtc; // the same fields taken as UTC, as local time of the zone
};

// The zone the check converts in.
ZoneRule SelfCheckZone();
// The six date-times, in order: 26 March 2006 01:59, 02:00, 02:01 and 29 October 2006
// 02:59, 03:00, 03:01.
std::vector<ZoneCheckResult> RunZoneSelfCheck();

}  // namespace mireo
