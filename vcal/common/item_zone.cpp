#include "vcal/common/item_zone.h"

#include <optional>

#include "vcal/common/zone_text.h"

namespace mireo {

PropTag CNamedPropTags::Get(IMapiUtils& utils, IItem& item, const std::string& set, std::uint16_t id, bool create) {
    auto key = std::make_tuple(item.StoreId(), set, id);
    if (const auto it = m_tags.find(key); it != m_tags.end()) return it->second;
    const PropTag tag = utils.GetIDsFromNames(item, set, id, create);
    if (tag != 0) m_tags.emplace(std::move(key), tag);
    return tag;
}

bool ReadItemZone(IItem& appointment, IMapiUtils& utils, CNamedPropTags& tags, ZoneRule& rule, std::string& name) {
    name.clear();
    const PropTag ruleTag = tags.Get(utils, appointment, kAppointmentPropertySet, kZoneRuleProperty);
    if (ruleTag == 0) return false;
    const std::optional<Value> bytes = utils.GetProp(appointment, MakeTag(TagId(ruleTag), kPtBinary));
    if (!bytes || bytes->GetKind() != Value::Kind::Binary) return false;
    const std::optional<ZoneRule> stored = ZoneRule::FromBytes(bytes->AsBinary());
    if (!stored) return false;
    rule = *stored;

    const PropTag nameTag = tags.Get(utils, appointment, kAppointmentPropertySet, kZoneNameProperty);
    if (nameTag == 0) return true;
    const std::optional<Value> text = utils.GetProp(appointment, MakeTag(TagId(nameTag), kPtString8));
    if (text && text->GetKind() == Value::Kind::Text) name = CleanZoneName(FromHostText(text->AsText()));
    return true;
}

}  // namespace mireo
