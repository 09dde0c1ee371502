#pragma once
// What the substitute store keeps of one item: the properties that were put, the
// MAPI properties by id, recipients, the recurrence pattern and its exceptions.
// The host's derived properties (FullName, FileAs, End/Duration, IsRecurring, ...)
// are computed from it on read.
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host_properties.h"
#include "hoststore/recurrence.h"

namespace mireo {

struct RecipientData {
    std::u16string name;
    std::u16string address;
    int type = kRecipientRequired;
};

// A property's canonical name: one of the names items usually hold, kept as its
// number, or any other name, kept in full.
class PropName {
public:
    PropName() = default;
    explicit PropName(std::string_view name);
    // The numbered name `code` (1 and up), as the store writes it.
    static PropName OfCode(std::uint16_t code) {
        PropName n;
        n.m_code = code;
        return n;
    }
    std::string_view View() const;
    std::uint16_t Code() const { return m_code; }  // 0 for a name kept in full
    operator std::string_view() const { return View(); }
    operator std::string() const { return std::string(View()); }
    // Ordered as the names are (byte for byte), so items list their properties in
    // the order they always did.
    friend bool operator<(const PropName& a, const PropName& b);
    friend bool operator==(const PropName& a, const PropName& b) {
        return a.m_code == b.m_code && (a.m_code != 0 || a.m_name == b.m_name);
    }
    friend bool operator==(const PropName& a, std::string_view b) { return a.View() == b; }

private:
    friend class PropertyMap;
    std::uint16_t m_code = 0;  // 0: the name is in m_name
    std::string m_name;
};

struct PropEntry {
    PropName first;
    Value second;
    friend bool operator==(const PropEntry&, const PropEntry&) = default;
};

// Properties by canonical name, in name order: a sorted vector rather than a tree of
// nodes keyed by strings, as an item holds a few dozen and is read and written whole.
class PropertyMap {
public:
    using value_type = PropEntry;
    using iterator = std::vector<PropEntry>::iterator;
    using const_iterator = std::vector<PropEntry>::const_iterator;

    PropertyMap() = default;
    PropertyMap(std::initializer_list<std::pair<std::string_view, Value>> init) {
        for (const auto& [k, v] : init) (*this)[k] = v;
    }

    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }
    void reserve(std::size_t n) { m_entries.reserve(n); }

    iterator find(const PropName& name);
    const_iterator find(const PropName& name) const;
    iterator find(std::string_view name) { return find(PropName(name)); }
    const_iterator find(std::string_view name) const { return find(PropName(name)); }
    bool contains(std::string_view name) const { return find(name) != end(); }
    // The value of `name`, put there empty when there is none.
    Value& operator[](const PropName& name);
    Value& operator[](std::string_view name) { return (*this)[PropName(name)]; }
    const Value& at(std::string_view name) const;  // std::out_of_range when absent
    std::size_t erase(std::string_view name);
    iterator erase(const_iterator it) { return m_entries.erase(it); }
    // Adds an entry that sorts after every entry so far (a reader of entries written
    // in order); false when it does not.
    bool append(PropName name, Value v);

    friend bool operator==(const PropertyMap&, const PropertyMap&) = default;

private:
    std::vector<PropEntry> m_entries;
};

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
