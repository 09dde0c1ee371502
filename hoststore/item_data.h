#pragma once
// What the substitute store keeps of one item: the properties that were put, the
// MAPI properties by id, recipients, the recurrence pattern and its exceptions.
// The host's derived properties (FullName, FileAs, End/Duration, IsRecurring, ...)
// are computed from it on read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/host_properties.h"
#include "hoststore/recurrence.h"

namespace mireo {

struct RecipientData {
    std::u16string name;
    std::u16string address;
    int type = kRecipientRequired;
};

// The number of a property name the store knows (every name of the contact and
// appointment tables): its rank in byte order among those names, from 1; 0 for a name
// it does not know. Ranks live only in memory: stored items keep names as kNames'
// numbers or in full, so the ranks may change with the tables.
using PropKey = std::uint16_t;

PropKey KeyOfName(std::string_view name);
// The key of a table property without looking at its name (a pointer into the tables);
// by name for a property from elsewhere.
PropKey KeyOf(const HostProperty& p);
// The name of a key other than 0.
const std::string& NameOfKey(PropKey key);

// Properties by name, listed in byte order of the names. Known names are kept by key
// in a vector sorted by key (keys follow the byte order), so a lookup by key is a
// binary search over small integers; names the store does not know (tests, items of
// other versions) are kept in full beside them.
class PropertyMap {
public:
    struct Slot {
        PropKey key;
        Value value;
        friend bool operator==(const Slot&, const Slot&) = default;
    };
    using Other = std::pair<std::string, Value>;

    // One entry as iteration shows it: name and value, like a map's pair.
    template <bool kConst>
    struct EntryRef {
        const std::string& first;
        std::conditional_t<kConst, const Value&, Value&> second;
    };
    template <bool kConst>
    class Iter {
    public:
        using Owner = std::conditional_t<kConst, const PropertyMap, PropertyMap>;
        using value_type = std::pair<const std::string, Value>;
        using reference = EntryRef<kConst>;
        using difference_type = std::ptrdiff_t;
        using iterator_category = std::forward_iterator_tag;
        struct Arrow {
            reference ref;
            const reference* operator->() const { return &ref; }
        };
        Iter() = default;
        Iter(Owner* m, std::size_t i, std::size_t j) : m_map(m), m_i(i), m_j(j) {}
        reference operator*() const {
            if (TakesKnown()) return {NameOfKey(m_map->m_known[m_i].key), m_map->m_known[m_i].value};
            return {m_map->m_other[m_j].first, m_map->m_other[m_j].second};
        }
        Arrow operator->() const { return Arrow{**this}; }
        Iter& operator++() {
            if (TakesKnown()) ++m_i;
            else ++m_j;
            return *this;
        }
        Iter operator++(int) {
            Iter t = *this;
            ++*this;
            return t;
        }
        friend bool operator==(const Iter& a, const Iter& b) { return a.m_i == b.m_i && a.m_j == b.m_j; }

    private:
        // Which of the two sorted lists holds the next name.
        bool TakesKnown() const {
            if (m_j == m_map->m_other.size()) return true;
            if (m_i == m_map->m_known.size()) return false;
            return NameOfKey(m_map->m_known[m_i].key) < m_map->m_other[m_j].first;
        }
        Owner* m_map = nullptr;
        std::size_t m_i = 0, m_j = 0;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    PropertyMap() = default;
    PropertyMap(std::initializer_list<std::pair<std::string_view, Value>> init) {
        for (const auto& [k, v] : init) (*this)[k] = v;
    }

    // By key (never 0).
    const Value* Find(PropKey key) const;
    Value* Find(PropKey key) { return const_cast<Value*>(std::as_const(*this).Find(key)); }
    // The value of `key`, added empty when missing.
    Value& Put(PropKey key);
    bool Erase(PropKey key);

    // By name, known or not.
    const Value* Find(std::string_view name) const;
    Value* Find(std::string_view name) { return const_cast<Value*>(std::as_const(*this).Find(name)); }
    Value& operator[](std::string_view name);
    bool contains(std::string_view name) const { return Find(name) != nullptr; }
    // Throws std::out_of_range when missing.
    const Value& at(std::string_view name) const;
    std::size_t erase(std::string_view name);

    std::size_t size() const { return m_known.size() + m_other.size(); }
    bool empty() const { return size() == 0; }
    void clear() {
        m_known.clear();
        m_other.clear();
        m_at = MakeAbsent();
    }
    iterator begin() { return {this, 0, 0}; }
    iterator end() { return {this, m_known.size(), m_other.size()}; }
    const_iterator begin() const { return {this, 0, 0}; }
    const_iterator end() const { return {this, m_known.size(), m_other.size()}; }

    // Decoding: entries in any order, a later one of the same name replacing an
    // earlier, then Seal to restore the order.
    void Reserve(std::size_t n) { m_known.reserve(n); }
    void Append(PropKey key, Value&& v) { m_known.push_back(Slot{key, std::move(v)}); }
    // An empty value appended for `key`, to be read into in place.
    Value& AppendEmpty(PropKey key) { return m_known.emplace_back(Slot{key, Value()}).value; }
    void AppendOther(std::string&& name, Value&& v) { m_other.emplace_back(std::move(name), std::move(v)); }
    void Seal();

    const std::vector<Slot>& Known() const { return m_known; }
    const std::vector<Other>& Unknown() const { return m_other; }

    friend bool operator==(const PropertyMap& a, const PropertyMap& b) {
        return a.m_known == b.m_known && a.m_other == b.m_other;
    }

    // Keys are below this (the tables hold fewer names; the name table checks it).
    static constexpr std::size_t kMaxKeys = 160;

private:
    static constexpr std::uint8_t kAbsent = 0xFF;
    // Where each key's slot is, so that a lookup by key is one load.
    void Reindex(std::size_t from);

    std::vector<Slot> m_known;   // sorted by key, one slot a key
    std::vector<Other> m_other;  // sorted by name, one entry a name
    std::array<std::uint8_t, kMaxKeys> m_at = MakeAbsent();
    static constexpr std::array<std::uint8_t, kMaxKeys> MakeAbsent() {
        std::array<std::uint8_t, kMaxKeys> a{};
        a.fill(kAbsent);
        return a;
    }
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
// The same into `out` (replacing what it held), so that a caller saving many items
// reuses one buffer.
void SerializeItem(const ItemData& item, Bytes& out);
// False when the bytes are not a serialized item.
bool DeserializeItem(const Bytes& bytes, ItemData& out);

// Property read with the host's derivations; `p` belongs to the item's class.
Value ReadProperty(const ItemData& item, const HostProperty& p);
// The same read as text into `out` (its storage reused): what
// std::move(ReadProperty(item, p)).TakeText() gives, without a Value or a new string
// unless the host derives the text. `key` is KeyOf(p).
void ReadPropertyText(const ItemData& item, const HostProperty& p, PropKey key, std::u16string& out);
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
