#pragma once
// An appointment's own zone, stored with it as two named properties, and the cache of
// named-property tags the calendar code reads them through.
#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "engine/item_store.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

// The property set of the appointment's named properties.
constexpr const char* kAppointmentPropertySet = "{00062002-0000-0000-C000-000000000046}";
// The zone rule (binary, 48 bytes) and the zone's description (8-bit text).
constexpr std::uint16_t kZoneRuleProperty = 0x8233;
constexpr std::uint16_t kZoneNameProperty = 0x8234;

// Named-property tags by store. Each store keeps its own map from names to ids, so a
// tag is kept per store (the item's StoreId); a lookup that found nothing (0) is not
// kept, so the next item asks again.
class CNamedPropTags {
public:
    // The tag (type word 0) of named property `id` of `set` in the item's store; 0 when
    // there is none (and `create` is false). Host failures are raised.
    PropTag Get(IMapiUtils& utils, IItem& item, const std::string& set, std::uint16_t id, bool create = false);
    void Clear() { m_tags.clear(); }

private:
    std::map<std::tuple<std::string, std::string, std::uint16_t>, PropTag> m_tags;
};

// The item's zone: named property 0x8233 must be exactly 48 bytes of a valid rule
// (IsValidZoneRule), else the item has no zone of its own and the result is false.
// `name` is then property 0x8234, the zone's description, cleaned by CleanZoneName
// (empty when missing). Host failures are raised.
bool ReadItemZone(IItem& appointment, IMapiUtils& utils, CNamedPropTags& tags, ZoneRule& rule, std::string& name);

}  // namespace mireo
