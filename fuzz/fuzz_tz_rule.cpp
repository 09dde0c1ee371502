// Feeds any text to the POSIX TZ rule reader. A rule that is read must convert to a
// Windows rule whose transitions can be computed, and give offsets at any time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "platform/tz_data.h"
#include "vcal/common/zone_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mireo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<tzdata::PosixRule> rule = tzdata::ParsePosixRule(text);
    if (!rule) return 0;
    for (std::int64_t t : {std::numeric_limits<std::int64_t>::min(), std::int64_t{-62135596800}, std::int64_t{0},
                           std::int64_t{1719835200}, std::int64_t{253402300799}, std::numeric_limits<std::int64_t>::max()}) {
        const std::int32_t offset = tzdata::UtcOffsetAt(*rule, t);
        if (offset != rule->standardOffset && !(rule->hasDaylight && offset == rule->daylightOffset)) std::abort();
        const ZoneRule zone = ZoneRule::FromInfo(tzdata::ToTimeZoneInfo(*rule, t));
        if (!IsValidZoneRule(zone)) std::abort();
    }
    if (const std::optional<TimeZoneInfo> info = tzdata::RuleToZone(*rule)) {
        const ZoneRule zone = ZoneRule::FromInfo(*info);
        for (int year : {1601, 1980, 2024, 9999}) {
            const LocalTime local = MakeLocal(year, 6, 15, 12);
            (void)UtcToLocal(zone, LocalToUtc(zone, local));
        }
    }
    return 0;
}
