// Feeds any bytes to the appointment zone property reader (48 bytes as any client may
// write them) and the transition arithmetic, which must end for any field values.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "vcal/common/zone_rule.h"
#include "vcal/common/zone_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mireo;
    const std::optional<ZoneRule> rule = ZoneRule::FromBytes(std::span<const std::uint8_t>(data, size));
    if (size >= 16) {
        // Unchecked transitions: TransitionDate answers whatever they hold.
        const SystemTime t = DecodeSystemTime(data);
        (void)TransitionDate(1980, t);
        (void)TransitionDate(2024, t);
    }
    if (!rule) return 0;
    std::string text;
    WriteVTimezone(text, "Zone", *rule);
    WriteVCalZoneLines(text, *rule);
    for (int year : {1601, 1980, 2024, 9999}) {
        const LocalTime local = MakeLocal(year, 3, 31, 2, 30);
        (void)UtcToLocal(*rule, LocalToUtc(*rule, local));
    }
    return 0;
}
