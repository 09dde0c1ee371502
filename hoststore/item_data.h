#pragma once
// What the substitute store keeps of one item: the properties that were put, the
// MAPI properties by id, recipients, the recurrence pattern and its exceptions.
// The host's derived properties (FullName, FileAs, End/Duration, IsRecurring, ...)
// are computed from it on read.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_properties.h"
#include "hoststore/recurrence.h"

namespace mireo {

struct RecipientData {
    std::u16string name;
    std::u16string address;
    int type = kRecipientRequired;
};

// Properties by canonical name; looked up by the tables' own names without a copy.
using PropertyMap = std::map<std::string, Value, std::less<>>;

struct ExceptionData {
    std::int64_t originalMinute = 0;  // the occurrence's start in the pattern
    bool deleted = false;
    PropertyMap props;  // changed occurrence: Start, End, Subject, ...
};

struct ItemData {
    ItemClass cls = ItemClass::Contact;
    PropertyMap props;   // canonical name -> value, only those put
    std::map<std::uint16_t, Value> mapi;  // MAPI property id -> value
    std::vector<RecipientData> recipients;
    std::optional<RecurrenceRule> pattern;
    std::vector<ExceptionData> exceptions;
};

Bytes SerializeItem(const ItemData& item);
// False when the bytes are not a serialized item.
bool DeserializeItem(const Bytes& bytes, ItemData& out);

// Property read with the host's derivations; `p` belongs to the item's class.
Value ReadProperty(const ItemData& item, const HostProperty& p);
// Property write with the host's derivations (a name part clears an explicit
// FullName, Start keeps the duration, End sets it, ...). The value is already coerced.
void WriteProperty(ItemData& item, const HostProperty& p, const Value& v);

// Appointment helpers.
OleDate ItemStart(const ItemData& item);  // kNoDate when unset
int ItemDurationMinutes(const ItemData& item);

// The pattern with its start day taken from the item's Start.
RecurrenceRule EffectiveRule(const ItemData& item);
// The pattern the host gives an item that has none yet: weekly on the start's weekday.
RecurrenceRule DefaultRule(const ItemData& item);

}  // namespace mireo
