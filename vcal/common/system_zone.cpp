#include "vcal/common/system_zone.h"

namespace mireo {

bool ReadSystemZone(ZoneRule& out, std::uint32_t& error, ITimeZoneSource& source) {
    TimeZoneInfo info;
    if (!source.Read(info, error)) {
        out = ZoneRule{};
        return false;
    }
    out = ZoneRule::FromInfo(info);
    return true;
}

bool ReadSystemZone(ZoneRule& out, ITimeZoneSource& source) {
    std::uint32_t error = 0;
    return ReadSystemZone(out, error, source);
}

std::optional<ZoneRule> SystemZone(ITimeZoneSource& source) {
    ZoneRule rule;
    if (!ReadSystemZone(rule, source)) return std::nullopt;
    return rule;
}

LocalTime LocalToZone(LocalTime computerLocal, const ZoneRule& rule, ITimeZoneSource& source) {
    return LocalToZone(computerLocal, SystemZone(source), rule);
}

LocalTime LocalToZone(LocalTime computerLocal, const std::optional<ZoneRule>& computer, const ZoneRule& rule) {
    if (!computer || ZonesEqual(*computer, rule)) return computerLocal;
    return UtcToLocal(rule, LocalToUtc(*computer, computerLocal));
}

}  // namespace mireo
