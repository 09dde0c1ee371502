#include "hoststore/item_json.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/host_properties.h"
#include "hoststore/host_store.h"
#include "platform/ascii.h"

namespace mireo {

namespace {

ItemJson ValueToJson(const Value& v) {
    switch (v.GetKind()) {
    case Value::Kind::Empty: return nullptr;
    case Value::Kind::Bool: return v.AsBool();
    case Value::Kind::Int: return v.AsInt();
    case Value::Kind::Date: return FormatJsonDate(v.AsDate());
    case Value::Kind::Text: return FromHostText(v.AsText());
    case Value::Kind::Binary: {
        static const char kHex[] = "0123456789ABCDEF";
        std::string s;
        for (std::uint8_t b : v.AsBinary()) {
            s.push_back(kHex[b >> 4]);
            s.push_back(kHex[b & 15]);
        }
        return ItemJson{{"hex", s}};
    }
    }
    return nullptr;
}

bool IsUnset(const Value& v) { return v.GetKind() == Value::Kind::Date && v.AsDate() == kNoDate; }

[[noreturn]] void Bad(const std::string& where, const std::string& why) { throw CItemJsonError("\"" + where + "\": " + why); }

Value JsonToValue(const ItemJson& j, PropKind kind, const std::string& key) {
    switch (kind) {
    case PropKind::Text:
        if (!j.is_string()) Bad(key, "text expected");
        return Value::Text(ToHostText(j.get<std::string>()));
    case PropKind::Int:
        if (!j.is_number_integer()) Bad(key, "integer expected");
        if (j.get<std::int64_t>() < INT32_MIN || j.get<std::int64_t>() > INT32_MAX) Bad(key, "integer out of range");
        return Value::Int(j.get<std::int32_t>());
    case PropKind::Bool:
        if (j.is_boolean()) return Value::Bool(j.get<bool>());
        if (j.is_number_integer()) return Value::Bool(j.get<std::int64_t>() != 0);
        Bad(key, "boolean expected");
    case PropKind::Date: {
        if (!j.is_string()) Bad(key, "date text expected");
        auto d = ParseJsonDate(j.get<std::string>());
        if (!d) Bad(key, "date \"" + j.get<std::string>() + "\" is not YYYY-MM-DDTHH:MM:SS");
        return Value::Date(*d);
    }
    }
    Bad(key, "unsupported type");
}

Value MapiJsonToValue(const ItemJson& j, const std::string& key) {
    if (j.is_string()) return Value::Text(ToHostText(j.get<std::string>()));
    if (j.is_number_integer()) {
        if (j.get<std::int64_t>() < INT32_MIN || j.get<std::int64_t>() > INT32_MAX) Bad(key, "integer out of range");
        return Value::Int(j.get<std::int32_t>());
    }
    if (j.is_object() && j.size() == 1 && j.contains("hex") && j["hex"].is_string()) {
        const std::string hex = j["hex"].get<std::string>();
        if (hex.size() % 2) Bad(key, "odd number of hexadecimal digits");
        Bytes b;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            std::uint8_t v = 0;
            if (!ascii::ParseHex(std::string_view(hex).substr(i, 2), v)) Bad(key, "not hexadecimal");
            b.push_back(v);
        }
        return Value::Binary(std::move(b));
    }
    Bad(key, "a string, an integer or {\"hex\": \"...\"} expected");
}

std::uint16_t TypeOfValue(const Value& v) {
    switch (v.GetKind()) {
    case Value::Kind::Int: return kPtLong;
    case Value::Kind::Binary: return kPtBinary;
    case Value::Kind::Bool: return kPtBoolean;
    case Value::Kind::Date: return kPtSysTime;
    default: return kPtString8;
    }
}

bool ParseHex(const std::string& s, std::uint32_t& out) {
    if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
    return ascii::ParseHex(std::string_view(s).substr(2), out);
}

// Pattern properties in the order they are put: the type first (it resets the
// others), the end last.
constexpr const char* kPatternOrder[] = {"RecurrenceType", "Interval", "DayOfWeekMask", "DayOfMonth", "MonthOfYear", "Instance",
                                         "PatternStartDate", "StartTime", "EndTime", "Duration", "NoEndDate", "Occurrences",
                                         "PatternEndDate"};

}  // namespace

std::string FormatJsonDate(OleDate d) {
    const DateParts p = SplitOleDate(d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
    return buf;
}

std::optional<OleDate> ParseJsonDate(const std::string& t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int n = 0;
    if (t.size() == 10) {
        if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &n) != 3 || n != 10) return std::nullopt;
    } else if (t.size() == 19) {
        if (std::sscanf(t.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &s, &n) != 7 || n != 19 ||
            sep != 'T')
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (t[4] != '-' || t[7] != '-' || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59 ||
        h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    return MakeOleDate(y, mo, d, h, mi, s);
}

ItemJson ItemToJson(IItem& item, bool withClass) {
    ItemJson j = ItemJson::object();
    const ItemClass cls = item.Class();
    const auto table = cls == ItemClass::Contact ? ContactProperties() : AppointmentProperties();
    if (withClass) j["MessageClass"] = cls == ItemClass::Contact ? "IPM.Contact" : "IPM.Appointment";
    const std::vector<std::string> set = SetPropertyNames(item);
    const bool ownItem = !set.empty() || !MapiProperties(item).empty() || !item.EntryId().empty();
    const bool occurrence = cls == ItemClass::Appointment && item.Get("RecurrenceState").AsInt() >= 2;
    for (const HostProperty& p : table) {
        if (p.readOnly || std::string_view(p.name) == "LastModificationTime") continue;
        const bool isSet = std::find(set.begin(), set.end(), p.name) != set.end();
        if (ownItem && !occurrence) {
            if (!isSet) continue;
        } else {
            // An occurrence: what differs from the defaults.
            if (std::string_view(p.name) == "Duration") continue;
            if (item.Get(p.name) == DefaultValue(p)) continue;
        }
        const Value v = item.Get(p.name);
        if (IsUnset(v)) continue;
        j[p.name] = ValueToJson(v);
    }
    if (cls == ItemClass::Appointment && !occurrence && item.Get("IsRecurring").AsBool()) {
        auto pattern = item.GetRecurrencePattern();
        ItemJson pj = ItemJson::object();
        const int type = pattern->Get("RecurrenceType").AsInt();
        pj["RecurrenceType"] = type;
        pj["Interval"] = pattern->Get("Interval").AsInt();
        if (type != kRecursMonthly && type != kRecursYearly) {
            const int mask = pattern->Get("DayOfWeekMask").AsInt();
            if (mask) pj["DayOfWeekMask"] = mask;
        }
        if (type == kRecursMonthly || type == kRecursYearly) pj["DayOfMonth"] = pattern->Get("DayOfMonth").AsInt();
        if (type == kRecursYearly || type == kRecursYearNth) pj["MonthOfYear"] = pattern->Get("MonthOfYear").AsInt();
        if (type == kRecursMonthNth || type == kRecursYearNth) pj["Instance"] = pattern->Get("Instance").AsInt();
        if (pattern->Get("NoEndDate").AsBool()) {
            pj["NoEndDate"] = true;
        } else {
            pj["Occurrences"] = pattern->Get("Occurrences").AsInt();
            pj["PatternEndDate"] = FormatJsonDate(pattern->Get("PatternEndDate").AsDate());
        }
        j["RecurrencePattern"] = pj;
        auto exceptions = pattern->Exceptions();
        if (exceptions->Count() > 0) {
            ItemJson ej = ItemJson::array();
            for (int i = 1; i <= exceptions->Count(); ++i) {
                auto e = exceptions->Item(i);
                ItemJson one = ItemJson::object();
                one["OriginalDate"] = FormatJsonDate(e->OriginalDate());
                one["Deleted"] = e->Deleted();
                if (!e->Deleted()) {
                    auto occ = e->AppointmentItem();
                    for (const HostProperty& p : table) {
                        if (p.readOnly || std::string_view(p.name) == "Duration" ||
                            std::string_view(p.name) == "LastModificationTime")
                            continue;
                        const Value v = occ->Get(p.name);
                        const Value base = item.Get(p.name);
                        const bool times = std::string_view(p.name) == "Start" || std::string_view(p.name) == "End";
                        if (!times && v == base) continue;
                        if (IsUnset(v)) continue;
                        one[p.name] = ValueToJson(v);
                    }
                }
                ej.push_back(std::move(one));
            }
            j["Exceptions"] = std::move(ej);
        }
    }
    if (cls == ItemClass::Appointment && !occurrence) {
        auto recipients = item.Recipients();
        if (recipients->Count() > 0) {
            ItemJson rj = ItemJson::array();
            for (int i = 1; i <= recipients->Count(); ++i) {
                auto r = recipients->Item(i);
                rj.push_back(ItemJson{{"Name", FromHostText(r->Get("Name").AsText())},
                                      {"Address", FromHostText(r->Get("Address").AsText())},
                                      {"Type", r->Get("Type").AsInt()}});
            }
            j["Recipients"] = std::move(rj);
        }
    }
    const std::vector<MapiProperty> mapi = MapiProperties(item);
    if (!mapi.empty()) {
        ItemJson mj = ItemJson::object();
        for (const MapiProperty& p : mapi) {
            char key[80];
            if (p.name) std::snprintf(key, sizeof key, "%s/0x%04X", p.name->first.c_str(), p.name->second);
            else std::snprintf(key, sizeof key, "0x%08X", MakeTag(p.id, TypeOfValue(p.value)));
            mj[key] = p.value.GetKind() == Value::Kind::Bool ? ItemJson(p.value.AsBool() ? 1 : 0) : ValueToJson(p.value);
        }
        j["MAPI"] = std::move(mj);
    }
    return j;
}

std::unique_ptr<IItem> AddItemFromJson(IItems& items, int folderItemType, const ItemJson& j, IMapiUtils& mapi) {
    if (!j.is_object()) throw CItemJsonError("an item must be a JSON object");
    ItemType type = folderItemType == kFolderContact ? ItemType::Contact : ItemType::Appointment;
    if (j.contains("MessageClass")) {
        const ItemJson& c = j["MessageClass"];
        if (c == "IPM.Contact") type = ItemType::Contact;
        else if (c == "IPM.Appointment") type = ItemType::Appointment;
        else Bad("MessageClass", "IPM.Contact or IPM.Appointment expected");
    } else if (folderItemType == kFolderMail) {
        type = j.contains("Start") || j.contains("Subject") ? ItemType::Appointment : ItemType::Contact;
    }
    const ItemClass cls = type == ItemType::Contact ? ItemClass::Contact : ItemClass::Appointment;
    const auto table = cls == ItemClass::Contact ? ContactProperties() : AppointmentProperties();
    for (const auto& [key, value] : j.items()) {
        if (key == "MessageClass" || key == "MAPI") continue;
        if (cls == ItemClass::Appointment && (key == "RecurrencePattern" || key == "Exceptions" || key == "Recipients")) continue;
        const HostProperty* p = FindProperty(table, key);
        if (!p || p->name != key) Bad(key, cls == ItemClass::Contact ? "not a contact property" : "not an appointment property");
        if (p->readOnly) Bad(key, "the host keeps this property");
    }

    std::unique_ptr<IItem> item = items.Add(type);
    // The table's order, so that FullName follows the name parts and End the Start.
    for (const HostProperty& p : table) {
        if (!j.contains(p.name)) continue;
        item->Put(p.name, JsonToValue(j[p.name], p.kind, p.name));
    }
    if (j.contains("RecurrencePattern")) {
        const ItemJson& pj = j["RecurrencePattern"];
        if (!pj.is_object()) Bad("RecurrencePattern", "object expected");
        for (const auto& [key, value] : pj.items()) {
            const HostProperty* p = FindProperty(RecurrencePatternProperties(), key);
            if (!p || p->name != key) Bad("RecurrencePattern/" + key, "not a pattern property");
        }
        auto pattern = item->GetRecurrencePattern();
        for (const char* name : kPatternOrder) {
            if (!pj.contains(name)) continue;
            const HostProperty* p = FindProperty(RecurrencePatternProperties(), name);
            pattern->Put(name, JsonToValue(pj[name], p->kind, std::string("RecurrencePattern/") + name));
        }
        if (!pj.contains("RecurrenceType")) pattern->Put("RecurrenceType", Value::Int(kRecursWeekly));
    }
    if (j.contains("Recipients")) {
        const ItemJson& rj = j["Recipients"];
        if (!rj.is_array()) Bad("Recipients", "array expected");
        auto recipients = item->Recipients();
        for (const ItemJson& r : rj) {
            if (!r.is_object() || !r.contains("Address") || !r["Address"].is_string())
                Bad("Recipients", "each recipient needs an \"Address\"");
            auto rec = recipients->Add(ToHostText(r["Address"].get<std::string>()));
            for (const auto& [key, value] : r.items()) {
                if (key == "Address") continue;
                if (key == "Name") rec->Put("Name", JsonToValue(value, PropKind::Text, "Recipients/Name"));
                else if (key == "Type") rec->Put("Type", JsonToValue(value, PropKind::Int, "Recipients/Type"));
                else Bad("Recipients/" + key, "not a recipient property");
            }
        }
    }
    if (j.contains("MAPI")) {
        const ItemJson& mj = j["MAPI"];
        if (!mj.is_object()) Bad("MAPI", "object expected");
        for (const auto& [key, value] : mj.items()) {
            const std::string where = "MAPI/" + key;
            const Value v = MapiJsonToValue(value, where);
            const std::size_t slash = key.find('/');
            PropTag tag = 0;
            if (slash != std::string::npos) {
                std::uint32_t id = 0;
                if (!ParseHex(key.substr(slash + 1), id) || id > 0xFFFF) Bad(where, "\"{GUID}/0xID\" expected");
                tag = mapi.GetIDsFromNames(*item, key.substr(0, slash), static_cast<std::uint16_t>(id), true);
                tag = MakeTag(TagId(tag), TypeOfValue(v));
            } else {
                if (!ParseHex(key, tag)) Bad(where, "\"0xTAG\" or \"{GUID}/0xID\" expected");
                if (TagType(tag) == 0) tag |= TypeOfValue(v);
            }
            mapi.SetProp(*item, tag, v);
        }
    }
    item->Save();
    if (j.contains("Exceptions")) {
        const ItemJson& ej = j["Exceptions"];
        if (!ej.is_array()) Bad("Exceptions", "array expected");
        if (!j.contains("RecurrencePattern")) Bad("Exceptions", "only a recurring appointment has exceptions");
        auto pattern = item->GetRecurrencePattern();
        for (const ItemJson& e : ej) {
            if (!e.is_object() || !e.contains("OriginalDate")) Bad("Exceptions", "each exception needs an \"OriginalDate\"");
            const Value original = JsonToValue(e["OriginalDate"], PropKind::Date, "Exceptions/OriginalDate");
            const bool deleted = e.contains("Deleted") && JsonToValue(e["Deleted"], PropKind::Bool, "Exceptions/Deleted").AsBool();
            auto occ = pattern->GetOccurrence(original.AsDate());
            if (deleted) {
                occ->Delete();
                continue;
            }
            for (const HostProperty& p : table) {
                if (!e.contains(p.name)) continue;
                if (p.readOnly) Bad(std::string("Exceptions/") + p.name, "the host keeps this property");
                occ->Put(p.name, JsonToValue(e[p.name], p.kind, std::string("Exceptions/") + p.name));
            }
            for (const auto& [key, value] : e.items()) {
                if (key != "OriginalDate" && key != "Deleted" && !FindProperty(table, key))
                    Bad("Exceptions/" + key, "not an appointment property");
            }
            occ->Save();
        }
    }
    return item;
}

}  // namespace mireo
