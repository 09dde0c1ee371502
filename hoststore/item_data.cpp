#include "hoststore/item_data.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mireo {

namespace {

// The property names an item is likely to hold, numbered from 1 in the order of
// this list: the store keeps the number in place of the name. Items are stored with
// these numbers, so the list only ever grows at its end.
constexpr const char* kNames[] = {
    "LastName", "FirstName", "MiddleName", "Title",
    "Suffix", "FullName", "FileAs", "NickName",
    "CompanyName", "Department", "JobTitle", "Body",
    "BusinessTelephoneNumber", "Business2TelephoneNumber", "BusinessFaxNumber", "HomeTelephoneNumber",
    "Home2TelephoneNumber", "HomeFaxNumber", "MobileTelephoneNumber", "CarTelephoneNumber",
    "OtherTelephoneNumber", "OtherFaxNumber", "PagerNumber", "ISDNNumber",
    "PrimaryTelephoneNumber", "BusinessAddressPostOfficeBox", "OfficeLocation", "BusinessAddressStreet",
    "BusinessAddressCity", "BusinessAddressState", "BusinessAddressPostalCode", "BusinessAddressCountry",
    "HomeAddressPostOfficeBox", "HomeAddressStreet", "HomeAddressCity", "HomeAddressState",
    "HomeAddressPostalCode", "HomeAddressCountry", "OtherAddressPostOfficeBox", "OtherAddressStreet",
    "OtherAddressCity", "OtherAddressState", "OtherAddressPostalCode", "OtherAddressCountry",
    "PersonalHomePage", "BusinessHomePage", "Profession", "Birthday",
    "Anniversary", "Email1Address", "Email1AddressType", "Email2Address",
    "Email2AddressType", "Email3Address", "Email3AddressType", "IMAddress",
    "ManagerName", "AssistantName", "Spouse", "NetMeetingServer",
    "NetMeetingAlias", "InternetFreeBusyAddress", "Categories", "Sensitivity",
    "LastModificationTime", "CreationTime", "EntryID", "MessageClass",
    "Subject", "Start", "End", "Duration",
    "AllDayEvent", "Location", "Importance", "BusyStatus",
    "ReminderSet", "ReminderMinutesBeforeStart", "MeetingStatus", "Resources",
    "IsRecurring", "RecurrenceState",
};
constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];

// The names the store knows, ranked in byte order (the keys), and how keys map to
// kNames' numbers and to the rows of the property tables.
struct CNameTable {
    std::vector<std::string> names;  // by key; names[0] is unused
    std::unordered_map<std::string_view, PropKey> byName;
    std::vector<PropKey> keyOfCode;        // kNames' number -> key
    std::vector<std::uint16_t> codeOfKey;  // key -> kNames' number, 0 for none
    std::vector<PropKey> contactKeys;      // by row of ContactProperties()
    std::vector<PropKey> appointmentKeys;  // by row of AppointmentProperties()
    std::span<const HostProperty> contacts = ContactProperties();
    std::span<const HostProperty> appointments = AppointmentProperties();

    CNameTable() {
        for (const char* n : kNames) names.emplace_back(n);
        for (const HostProperty& p : ContactProperties()) names.emplace_back(p.name);
        for (const HostProperty& p : AppointmentProperties()) names.emplace_back(p.name);
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        names.insert(names.begin(), std::string());
        // Every key has its place in a map's index (and so fewer keys than kAbsent).
        if (names.size() > PropertyMap::kMaxKeys) std::abort();
        for (std::size_t k = 1; k < names.size(); ++k) byName.emplace(names[k], static_cast<PropKey>(k));
        keyOfCode.assign(kNameCount + 1, 0);
        codeOfKey.assign(names.size(), 0);
        for (std::size_t i = 0; i < kNameCount; ++i) {
            const PropKey k = byName.at(kNames[i]);
            keyOfCode[i + 1] = k;
            codeOfKey[k] = static_cast<std::uint16_t>(i + 1);
        }
        for (const HostProperty& p : ContactProperties()) contactKeys.push_back(byName.at(p.name));
        for (const HostProperty& p : AppointmentProperties()) appointmentKeys.push_back(byName.at(p.name));
    }
};

const CNameTable& Names() {
    static const CNameTable table;
    return table;
}

// The keys the derivations below work with.
struct CKeys {
    PropKey title = KeyOfName("Title"), firstName = KeyOfName("FirstName"), middleName = KeyOfName("MiddleName"),
            lastName = KeyOfName("LastName"), suffix = KeyOfName("Suffix"), fullName = KeyOfName("FullName"),
            fileAs = KeyOfName("FileAs"), companyName = KeyOfName("CompanyName"),
            messageClass = KeyOfName("MessageClass"), start = KeyOfName("Start"), end = KeyOfName("End"),
            duration = KeyOfName("Duration"), isRecurring = KeyOfName("IsRecurring"),
            recurrenceState = KeyOfName("RecurrenceState"), importance = KeyOfName("Importance"),
            busyStatus = KeyOfName("BusyStatus"), reminderMinutes = KeyOfName("ReminderMinutesBeforeStart");
    PropKey emailType[3] = {KeyOfName("Email1AddressType"), KeyOfName("Email2AddressType"),
                            KeyOfName("Email3AddressType")};
    PropKey email[3] = {KeyOfName("Email1Address"), KeyOfName("Email2Address"), KeyOfName("Email3Address")};
    // The keys ReadProperty derives, for an item of either class, always or when unset.
    std::array<bool, PropertyMap::kMaxKeys> derived = Derived(
        {fullName, fileAs, messageClass, end, duration, isRecurring, recurrenceState, importance, busyStatus,
         reminderMinutes, emailType[0], emailType[1], emailType[2]});

    static std::array<bool, PropertyMap::kMaxKeys> Derived(std::initializer_list<PropKey> keys) {
        std::array<bool, PropertyMap::kMaxKeys> a{};
        for (PropKey key : keys) a[key] = true;
        return a;
    }
};

const CKeys& Keys() {
    static const CKeys keys;
    return keys;
}

// Format 1 kept text as UTF-16 and every property name in full; format 2 keeps text
// as UTF-8 and names by number. Both are read; items are written in format 2.
constexpr std::uint8_t kFormatUtf16 = 1;
constexpr std::uint8_t kFormat = 2;

// A high surrogate at s[i] followed by a low one.
bool IsPair(const std::u16string& s, std::size_t i) {
    return s[i] >= 0xD800 && s[i] < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000;
}

class CWriter {
public:
    // Writes into `out` from its start; the room it has is kept.
    explicit CWriter(Bytes& out) : m_out(out) {
        m_out.clear();
        m_out.reserve(512);
    }
    void U8(std::uint8_t v) { m_out.push_back(v); }
    void Var(std::uint64_t v) {
        while (v >= 0x80) {
            m_out.push_back(static_cast<std::uint8_t>(v | 0x80));
            v >>= 7;
        }
        m_out.push_back(static_cast<std::uint8_t>(v));
    }
    void I64(std::int64_t v) { Var((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63)); }
    void F64(double d) {
        std::uint64_t u;
        std::memcpy(&u, &d, 8);
        for (int i = 0; i < 8; ++i) m_out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    void Str(const std::string& s) {
        Var(s.size());
        m_out.insert(m_out.end(), s.begin(), s.end());
    }
    // Text as UTF-8, its length in bytes first. A lone surrogate, which the host's text
    // may hold, is written as the three bytes of its code point (as UTF-8 would write
    // it if it were one), so every text reads back unit for unit.
    void Text(const std::u16string& s) {
        if (std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; })) {
            Var(s.size());
            const std::size_t at = m_out.size();
            m_out.resize(at + s.size());
            std::transform(s.begin(), s.end(), m_out.begin() + static_cast<std::ptrdiff_t>(at),
                           [](char16_t c) { return static_cast<std::uint8_t>(c); });
            return;
        }
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char16_t c = s[i];
            bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            if (IsPair(s, i)) ++bytes, ++i;
        }
        Var(bytes);
        const std::size_t at = m_out.size();
        m_out.resize(at + bytes);
        std::uint8_t* t = m_out.data() + at;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char32_t c = s[i];
            if (c < 0x80) {
                *t++ = static_cast<std::uint8_t>(c);
            } else if (c < 0x800) {
                *t++ = static_cast<std::uint8_t>(0xC0 | (c >> 6));
                *t++ = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
            } else if (IsPair(s, i)) {
                const char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
                *t++ = static_cast<std::uint8_t>(0xF0 | (cp >> 18));
                *t++ = static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F));
                *t++ = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
                *t++ = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
            } else {
                *t++ = static_cast<std::uint8_t>(0xE0 | (c >> 12));
                *t++ = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
                *t++ = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
            }
        }
    }
    void Val(const Value& v) {
        U8(static_cast<std::uint8_t>(v.GetKind()));
        switch (v.GetKind()) {
        case Value::Kind::Empty: break;
        case Value::Kind::Bool: U8(v.AsBool() ? 1 : 0); break;
        case Value::Kind::Int: I64(v.AsInt()); break;
        case Value::Kind::Date: F64(v.AsDate()); break;
        case Value::Kind::Text: Text(v.AsText()); break;
        case Value::Kind::Binary:
            Var(v.AsBinary().size());
            m_out.insert(m_out.end(), v.AsBinary().begin(), v.AsBinary().end());
            break;
        }
    }
    // Each name as its number in kNames, or 0 and the name.
    void Props(const PropertyMap& props) {
        const CNameTable& names = Names();
        Var(props.size());
        for (const PropertyMap::Slot& s : props.Known()) {
            const std::uint16_t code = names.codeOfKey[s.key];
            Var(code);
            if (code == 0) Str(names.names[s.key]);
            Val(s.value);
        }
        for (const auto& [k, v] : props.Unknown()) {
            Var(0);
            Str(k);
            Val(v);
        }
    }

private:
    Bytes& m_out;
};

class CReader {
public:
    explicit CReader(const Bytes& b) : m_b(b) {}
    void SetFormat(std::uint8_t format) { m_format = format; }
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_b.size(); }
    std::uint8_t U8() {
        if (m_pos >= m_b.size()) return Fail();
        return m_b[m_pos++];
    }
    std::uint64_t Var() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t b = U8();
            if (!m_ok) return 0;
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        return Fail();
    }
    std::int64_t I64() {
        const std::uint64_t u = Var();
        return static_cast<std::int64_t>(u >> 1) ^ -static_cast<std::int64_t>(u & 1);
    }
    double F64() {
        if (m_b.size() - m_pos < 8 || m_pos > m_b.size()) return Fail();
        std::uint64_t u = 0;
        for (int i = 0; i < 8; ++i) u |= static_cast<std::uint64_t>(m_b[m_pos + i]) << (8 * i);
        m_pos += 8;
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    }
    std::size_t Len(std::size_t unit) {
        const std::uint64_t n = Var();
        if (!m_ok || n > (m_b.size() - m_pos) / unit) return Fail();
        return static_cast<std::size_t>(n);
    }
    std::string Str() {
        const std::size_t n = Len(1);
        std::string s(m_b.begin() + static_cast<std::ptrdiff_t>(m_pos), m_b.begin() + static_cast<std::ptrdiff_t>(m_pos + n));
        m_pos += n;
        return s;
    }
    std::u16string Text() {
        std::u16string s;
        TextInto(s);
        return s;
    }
    // A text into `s` (empty before); on a failure its contents do not matter.
    void TextInto(std::u16string& s) {
        if (m_format == kFormatUtf16) {
            const std::size_t n = Len(2);
            s.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                s[i] = static_cast<char16_t>(m_b[m_pos + 2 * i] | (m_b[m_pos + 2 * i + 1] << 8));
            m_pos += 2 * n;
            return;
        }
        const std::size_t n = Len(1);
        s.resize(n);  // never more units than bytes
        const std::uint8_t* p = m_b.data() + m_pos;
        const std::uint8_t* const end = p + n;
        char16_t* o = s.data();
        while (p != end) {
#if defined(__SSE2__)
            // Sixteen bytes of ASCII at a time, widened to units in two stores.
            if (end - p >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                if (_mm_movemask_epi8(bytes) == 0) {
                    const __m128i zero = _mm_setzero_si128();
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(bytes, zero));
                    p += 16;
                    o += 16;
                    continue;
                }
            }
#endif
            // Eight bytes of ASCII at a time: most text is.
            if (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    for (int k = 0; k < 8; ++k) o[k] = p[k];
                    p += 8;
                    o += 8;
                    continue;
                }
            }
            const std::uint8_t b = *p;
            if (b < 0x80) {
                *o++ = b;
                ++p;
                continue;
            }
            // The lead byte's length, the bits it carries and the least value its
            // length may spell (shorter forms are refused, as in UTF-8).
            std::size_t len;
            char32_t cp, least;
            if (b >= 0xC2 && b < 0xE0) {
                len = 2, cp = b & 0x1F, least = 0x80;
            } else if (b >= 0xE0 && b < 0xF0) {
                len = 3, cp = b & 0x0F, least = 0x800;
            } else if (b >= 0xF0 && b < 0xF5) {
                len = 4, cp = b & 0x07, least = 0x10000;
            } else {
                return void(Fail());
            }
            if (static_cast<std::size_t>(end - p) < len) return void(Fail());
            for (std::size_t k = 1; k < len; ++k) {
                if ((p[k] & 0xC0) != 0x80) return void(Fail());
                cp = (cp << 6) | (p[k] & 0x3F);
            }
            if (cp < least || cp > 0x10FFFF) return void(Fail());
            p += len;
            if (cp >= 0x10000) {
                *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                *o++ = static_cast<char16_t>(cp);
            }
        }
        m_pos += n;
        s.resize(static_cast<std::size_t>(o - s.data()));
    }
    // A value read into `out` (empty before), a text in place.
    void ValInto(Value& out) {
        if (m_pos < m_b.size() && m_b[m_pos] == static_cast<std::uint8_t>(Value::Kind::Text)) {
            ++m_pos;
            TextInto(out.EmplaceText());
            return;
        }
        out = Val();
    }
    Value Val() {
        switch (static_cast<Value::Kind>(U8())) {
        case Value::Kind::Empty: return {};
        case Value::Kind::Bool: return Value::Bool(U8() != 0);
        case Value::Kind::Int: return Value::Int(static_cast<std::int32_t>(I64()));
        case Value::Kind::Date: return Value::Date(F64());
        case Value::Kind::Text: return Value::Text(Text());
        case Value::Kind::Binary: {
            const std::size_t n = Len(1);
            Bytes b(m_b.begin() + static_cast<std::ptrdiff_t>(m_pos), m_b.begin() + static_cast<std::ptrdiff_t>(m_pos + n));
            m_pos += n;
            return Value::Binary(std::move(b));
        }
        }
        Fail();
        return {};
    }
    void Props(PropertyMap& props) {
        const CNameTable& names = Names();
        const std::size_t n = Len(2);
        props.Reserve(n);
        for (std::size_t i = 0; i < n && m_ok; ++i) {
            PropKey key = 0;
            std::string k;
            if (m_format != kFormatUtf16) {
                const std::uint64_t code = Var();
                if (code > kNameCount) return void(Fail());
                key = names.keyOfCode[code];
            }
            if (key == 0) {
                k = Str();
                key = KeyOfName(k);
            }
            if (key != 0) {
                ValInto(props.AppendEmpty(key));
            } else {
                props.AppendOther(std::move(k), Val());
            }
        }
        props.Seal();
    }

private:
    int Fail() {
        m_ok = false;
        m_pos = m_b.size();
        return 0;
    }
    const Bytes& m_b;
    std::size_t m_pos = 0;
    bool m_ok = true;
    std::uint8_t m_format = kFormat;
};

const Value* Find(const ItemData& item, PropKey key) { return item.props.Find(key); }

std::u16string TextOf(const ItemData& item, PropKey key) {
    const Value* v = Find(item, key);
    return v ? v->AsText() : std::u16string();
}

// A view of a text property without a copy; empty when unset.
std::u16string_view TextView(const ItemData& item, PropKey key) {
    const Value* v = Find(item, key);
    return v ? std::u16string_view(v->AsText()) : std::u16string_view();
}

bool IsNamePart(const CKeys& k, PropKey key) {
    return key == k.title || key == k.firstName || key == k.middleName || key == k.lastName || key == k.suffix;
}

}  // namespace

PropKey KeyOfName(std::string_view name) {
    const CNameTable& t = Names();
    const auto it = t.byName.find(name);
    return it == t.byName.end() ? 0 : it->second;
}

PropKey KeyOf(const HostProperty& p) {
    const CNameTable& t = Names();
    const std::less<const HostProperty*> before;
    if (!before(&p, t.contacts.data()) && before(&p, t.contacts.data() + t.contacts.size()))
        return t.contactKeys[static_cast<std::size_t>(&p - t.contacts.data())];
    if (!before(&p, t.appointments.data()) && before(&p, t.appointments.data() + t.appointments.size()))
        return t.appointmentKeys[static_cast<std::size_t>(&p - t.appointments.data())];
    return KeyOfName(p.name);
}

const std::string& NameOfKey(PropKey key) { return Names().names[key]; }

namespace {
constexpr std::size_t kFirstRoom = 24;

auto SlotAt(const std::vector<PropertyMap::Slot>& slots, PropKey key) {
    return std::lower_bound(slots.begin(), slots.end(), key,
                            [](const PropertyMap::Slot& s, PropKey k) { return s.key < k; });
}
auto OtherAt(const std::vector<PropertyMap::Other>& other, std::string_view name) {
    return std::lower_bound(other.begin(), other.end(), name,
                            [](const PropertyMap::Other& o, std::string_view n) { return o.first < n; });
}
}  // namespace

const Value* PropertyMap::Find(PropKey key) const {
    if (key >= kMaxKeys) return nullptr;
    const std::uint8_t at = m_at[key];
    return at == kAbsent ? nullptr : &m_known[at].value;
}

void PropertyMap::Reindex(std::size_t from) {
    for (std::size_t i = from; i < m_known.size(); ++i) m_at[m_known[i].key] = static_cast<std::uint8_t>(i);
}

Value& PropertyMap::Put(PropKey key) {
    if (Value* v = Find(key)) return *v;
    // An item being filled gets room for a card's worth of properties at once rather
    // than growing (and moving every value) five times over.
    if (m_known.capacity() == 0) m_known.reserve(kFirstRoom);
    const auto it = SlotAt(m_known, key);
    const std::size_t i = static_cast<std::size_t>(it - m_known.cbegin());
    m_known.insert(m_known.begin() + static_cast<std::ptrdiff_t>(i), Slot{key, Value()});
    Reindex(i);
    return m_known[i].value;
}

bool PropertyMap::Erase(PropKey key) {
    if (key >= kMaxKeys || m_at[key] == kAbsent) return false;
    const std::size_t i = m_at[key];
    m_known.erase(m_known.begin() + static_cast<std::ptrdiff_t>(i));
    m_at[key] = kAbsent;
    Reindex(i);
    return true;
}

const Value* PropertyMap::Find(std::string_view name) const {
    if (const PropKey key = KeyOfName(name)) return Find(key);
    const auto it = OtherAt(m_other, name);
    return it != m_other.end() && it->first == name ? &it->second : nullptr;
}

Value& PropertyMap::operator[](std::string_view name) {
    if (const PropKey key = KeyOfName(name)) return Put(key);
    const auto it = OtherAt(m_other, name);
    if (it != m_other.end() && it->first == name) return m_other[static_cast<std::size_t>(it - m_other.begin())].second;
    return m_other.insert(m_other.begin() + (it - m_other.cbegin()), Other(std::string(name), Value()))->second;
}

const Value& PropertyMap::at(std::string_view name) const {
    const Value* v = Find(name);
    if (!v) throw std::out_of_range("no property " + std::string(name));
    return *v;
}

std::size_t PropertyMap::erase(std::string_view name) {
    if (const PropKey key = KeyOfName(name)) return Erase(key) ? 1 : 0;
    const auto it = OtherAt(m_other, name);
    if (it == m_other.end() || it->first != name) return 0;
    m_other.erase(it);
    return 1;
}

void PropertyMap::Seal() {
    // Items are written in order, so this is one pass; out of order (or twice the same
    // name, which only damage writes), the later entry of a name wins.
    auto seal = [](auto& v, auto keyOf) {
        bool sorted = true;
        for (std::size_t i = 1; i < v.size() && sorted; ++i) sorted = keyOf(v[i - 1]) < keyOf(v[i]);
        if (sorted) return;
        std::stable_sort(v.begin(), v.end(), [&](const auto& a, const auto& b) { return keyOf(a) < keyOf(b); });
        std::size_t out = 0;
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i + 1 < v.size() && !(keyOf(v[i]) < keyOf(v[i + 1]))) continue;  // a later one follows
            if (out != i) v[out] = std::move(v[i]);
            ++out;
        }
        v.resize(out);
    };
    seal(m_known, [](const Slot& s) { return s.key; });
    seal(m_other, [](const Other& o) -> const std::string& { return o.first; });
    m_at = MakeAbsent();
    Reindex(0);
}

Bytes SerializeItem(const ItemData& item) {
    Bytes out;
    SerializeItem(item, out);
    return out;
}

void SerializeItem(const ItemData& item, Bytes& out) {
    CWriter w(out);
    w.U8(kFormat);
    w.U8(static_cast<std::uint8_t>(item.cls));
    w.Props(item.props);
    w.Var(item.mapi.size());
    for (const auto& [id, v] : item.mapi) {
        w.Var(id);
        w.Val(v);
    }
    w.Var(item.recipients.size());
    for (const RecipientData& r : item.recipients) {
        w.Text(r.name);
        w.Text(r.address);
        w.I64(r.type);
    }
    w.U8(item.pattern ? 1 : 0);
    if (item.pattern) {
        const RecurrenceRule& r = *item.pattern;
        for (std::int64_t v : {std::int64_t{r.type}, std::int64_t{r.interval}, std::int64_t{r.dayOfWeekMask},
                               std::int64_t{r.dayOfMonth}, std::int64_t{r.monthOfYear}, std::int64_t{r.instance},
                               static_cast<std::int64_t>(r.end), std::int64_t{r.occurrences}, r.endDay,
                               std::int64_t{r.firstDayOfWeek}})
            w.I64(v);
    }
    w.Var(item.exceptions.size());
    for (const ExceptionData& e : item.exceptions) {
        w.I64(e.originalMinute);
        w.U8(e.deleted ? 1 : 0);
        w.Props(e.props);
    }
}

bool DeserializeItem(const Bytes& bytes, ItemData& out) {
    CReader r(bytes);
    const std::uint8_t format = r.U8();
    if (format != kFormat && format != kFormatUtf16) return false;
    r.SetFormat(format);
    ItemData item;
    item.cls = static_cast<ItemClass>(r.U8());
    r.Props(item.props);
    std::size_t n = r.Len(2);
    for (std::size_t i = 0; i < n && r.Ok(); ++i) {
        const auto id = static_cast<std::uint16_t>(r.Var());
        item.mapi[id] = r.Val();
    }
    n = r.Len(3);  // two empty texts and a type: three bytes
    for (std::size_t i = 0; i < n && r.Ok(); ++i) {
        RecipientData rd;
        rd.name = r.Text();
        rd.address = r.Text();
        rd.type = static_cast<int>(r.I64());
        item.recipients.push_back(std::move(rd));
    }
    if (r.U8()) {
        RecurrenceRule p;
        p.type = static_cast<int>(r.I64());
        p.interval = static_cast<int>(r.I64());
        p.dayOfWeekMask = static_cast<int>(r.I64());
        p.dayOfMonth = static_cast<int>(r.I64());
        p.monthOfYear = static_cast<int>(r.I64());
        p.instance = static_cast<int>(r.I64());
        p.end = static_cast<PatternEnd>(r.I64());
        p.occurrences = static_cast<int>(r.I64());
        p.endDay = r.I64();
        p.firstDayOfWeek = static_cast<int>(r.I64());
        item.pattern = p;
    }
    n = r.Len(3);
    for (std::size_t i = 0; i < n && r.Ok(); ++i) {
        ExceptionData e;
        e.originalMinute = r.I64();
        e.deleted = r.U8() != 0;
        r.Props(e.props);
        item.exceptions.push_back(std::move(e));
    }
    if (!r.Ok() || !r.AtEnd()) return false;
    out = std::move(item);
    return true;
}

OleDate ItemStart(const ItemData& item) {
    const Value* v = Find(item, Keys().start);
    return v ? v->AsDate() : kNoDate;
}

int ItemDurationMinutes(const ItemData& item) {
    const CKeys& k = Keys();
    const Value* s = Find(item, k.start);
    const Value* e = Find(item, k.end);
    if (s && e) return static_cast<int>(OleToMinutes(e->AsDate()) - OleToMinutes(s->AsDate()));
    const Value* d = Find(item, k.duration);
    return d ? d->AsInt() : 30;
}

Value ReadProperty(const ItemData& item, const HostProperty& p) {
    const PropKey key = KeyOf(p);
    if (key == 0) {
        // A name no table has: nothing is derived for it.
        const Value* v = item.props.Find(std::string_view(p.name));
        return v ? *v : DefaultValue(p);
    }
    const CKeys& k = Keys();
    const Value* v = Find(item, key);
    if (item.cls == ItemClass::Contact) {
        if (key == k.fullName && !v) {
            std::u16string full;
            for (PropKey part : {k.title, k.firstName, k.middleName, k.lastName, k.suffix}) {
                const std::u16string_view t = TextView(item, part);
                if (t.empty()) continue;
                if (!full.empty()) full += u' ';
                full += t;
            }
            return Value::Text(std::move(full));
        }
        if (key == k.fileAs && !v) {
            const std::u16string_view last = TextView(item, k.lastName), first = TextView(item, k.firstName);
            if (!last.empty() && !first.empty()) {
                std::u16string t;
                t.reserve(last.size() + 2 + first.size());
                t.append(last).append(u", ").append(first);
                return Value::Text(std::move(t));
            }
            if (!last.empty()) return Value::Text(std::u16string(last));
            if (!first.empty()) return Value::Text(std::u16string(first));
            const std::u16string_view full = TextView(item, k.fullName);
            return Value::Text(std::u16string(full.empty() ? TextView(item, k.companyName) : full));
        }
        if (!v) {
            for (int i = 0; i < 3; ++i) {
                if (key == k.emailType[i]) return Value::Text(TextView(item, k.email[i]).empty() ? u"" : u"SMTP");
            }
        }
        if (key == k.messageClass) return Value::Text(u"IPM.Contact");
    } else if (item.cls == ItemClass::Appointment) {
        if (key == k.end && !v) {
            const OleDate s = ItemStart(item);
            return Value::Date(s == kNoDate ? kNoDate : s + ItemDurationMinutes(item) / 1440.0);
        }
        if (key == k.duration) return Value::Int(ItemDurationMinutes(item));
        if (key == k.isRecurring) return Value::Bool(item.pattern.has_value());
        if (key == k.recurrenceState) return Value::Int(item.pattern ? 1 : 0);
        if (key == k.messageClass) return Value::Text(u"IPM.Appointment");
        if (!v) {
            if (key == k.importance) return Value::Int(1);
            if (key == k.busyStatus) return Value::Int(2);
            if (key == k.reminderMinutes) return Value::Int(15);
        }
    }
    return v ? *v : DefaultValue(p);
}

void ReadPropertyText(const ItemData& item, const HostProperty& p, PropKey key, std::u16string& out) {
    const CKeys& k = Keys();
    if (key != 0 && !k.derived[key]) {
        // Neither derived from other properties nor given a default other than empty.
        const Value* v = Find(item, key);
        if (!v) {
            out.clear();
        } else if (v->GetKind() == Value::Kind::Text) {
            out.assign(v->AsText());
        } else {
            out.clear();
        }
        return;
    }
    out = ReadProperty(item, p).TakeText();
}

void WriteProperty(ItemData& item, const HostProperty& p, const Value& v) {
    const PropKey key = KeyOf(p);
    if (key == 0) {
        item.props[p.name] = v;
        return;
    }
    const CKeys& k = Keys();
    if (item.cls == ItemClass::Contact && IsNamePart(k, key)) item.props.Erase(k.fullName);
    if (item.cls == ItemClass::Appointment) {
        if (key == k.start) {
            const int duration = ItemDurationMinutes(item);
            item.props.Put(k.start) = v;
            if (v.AsDate() == kNoDate) item.props.Erase(k.end);
            else item.props.Put(k.end) = Value::Date(v.AsDate() + duration / 1440.0);
            item.props.Erase(k.duration);
            return;
        }
        if (key == k.end) {
            item.props.Put(k.end) = v;
            item.props.Erase(k.duration);
            return;
        }
        if (key == k.duration) {
            const OleDate s = ItemStart(item);
            if (s == kNoDate) {
                item.props.Put(k.duration) = v;
            } else {
                item.props.Put(k.end) = Value::Date(s + v.AsInt() / 1440.0);
                item.props.Erase(k.duration);
            }
            return;
        }
    }
    item.props.Put(key) = v;
}

RecurrenceRule DefaultRule(const ItemData& item) {
    RecurrenceRule r;
    r.type = 1;
    r.interval = 1;
    const OleDate s = ItemStart(item);
    const std::int64_t day = s == kNoDate ? 0 : static_cast<std::int64_t>(std::floor(OleToMinutes(s) / 1440.0));
    r.dayOfWeekMask = 1 << WeekdayOfDayNumber(day);
    r.end = PatternEnd::None;
    return r;
}

RecurrenceRule EffectiveRule(const ItemData& item) {
    RecurrenceRule r = item.pattern ? *item.pattern : DefaultRule(item);
    const OleDate s = ItemStart(item);
    r.startDay = s == kNoDate ? 0 : static_cast<std::int64_t>(std::floor(OleToMinutes(s) / 1440.0));
    return r;
}

}  // namespace mireo
