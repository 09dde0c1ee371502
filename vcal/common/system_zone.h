#pragma once
// The computer's zone: host dates are local times of the computer, and this is the
// rule that turns them into UTC or into the local time of another zone.
#include <cstdint>
#include <optional>

#include "platform/time_zone.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

// The computer's zone as the platform gives it (GetTimeZoneInformation), year words 0.
// False with the system error code when it cannot be read; the rule is then all zero.
bool ReadSystemZone(ZoneRule& out, std::uint32_t& error, ITimeZoneSource& source = SystemTimeZone());
bool ReadSystemZone(ZoneRule& out, ITimeZoneSource& source = SystemTimeZone());
// The same as an optional, for callers that read it once per run.
std::optional<ZoneRule> SystemZone(ITimeZoneSource& source = SystemTimeZone());

// A local time of the computer as a local time of the rule's zone. Unchanged when the
// computer's zone cannot be read or is the same zone (ZonesEqual).
LocalTime LocalToZone(LocalTime computerLocal, const ZoneRule& rule, ITimeZoneSource& source = SystemTimeZone());
// The same with the computer's zone already read (null: it could not be).
LocalTime LocalToZone(LocalTime computerLocal, const std::optional<ZoneRule>& computer, const ZoneRule& rule);

}  // namespace mireo
