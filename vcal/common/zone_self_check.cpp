#include "vcal/common/zone_self_check.h"

namespace mireo {

ZoneRule SelfCheckZone() {
    ZoneRule rule;
    rule.bias = -180;
    rule.daylightBias = -60;
    // Month, Sunday, the last week (5) of it, the hour of the change.
    rule.daylightDate = SystemTime{.month = 3, .dayOfWeek = 0, .day = 5, .hour = 2};
    rule.standardDate = SystemTime{.month = 10, .dayOfWeek = 0, .day = 5, .hour = 3};
    return rule;
}

std::vector<ZoneCheckResult> RunZoneSelfCheck() {
    const ZoneRule rule = SelfCheckZone();
    const LocalTime times[] = {
        MakeLocal(2006, 3, 26, 1, 59),  MakeLocal(2006, 3, 26, 2, 0),  MakeLocal(2006, 3, 26, 2, 1),
        MakeLocal(2006, 10, 29, 2, 59), MakeLocal(2006, 10, 29, 3, 0), MakeLocal(2006, 10, 29, 3, 1),
    };
    std::vector<ZoneCheckResult> results;
    results.reserve(std::size(times));
    for (const LocalTime t : times) results.push_back({t, LocalToUtc(rule, t), UtcToLocal(rule, AsUtc(t))});
    return results;
}

}  // namespace mireo
