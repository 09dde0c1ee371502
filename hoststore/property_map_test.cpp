// The item's property map against a plain std::map as the model, and the property
// lookups of the store's items by every name the tables hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "hoststore/host_store.h"
#include "hoststore/item_data.h"

namespace mireo {
namespace {

using Model = std::map<std::string, Value>;

std::vector<std::pair<std::string, Value>> Listed(const PropertyMap& m) {
    std::vector<std::pair<std::string, Value>> out;
    for (const auto& [k, v] : m) out.emplace_back(k, v);
    return out;
}

void ExpectLike(const PropertyMap& m, const Model& model) {
    ASSERT_EQ(m.size(), model.size());
    const std::vector<std::pair<std::string, Value>> expected(model.begin(), model.end());
    EXPECT_EQ(Listed(m), expected);
    for (const auto& [k, v] : model) {
        const Value* found = m.Find(std::string_view(k));
        ASSERT_NE(found, nullptr) << k;
        EXPECT_EQ(*found, v) << k;
        if (const PropKey key = KeyOfName(k)) {
            ASSERT_NE(m.Find(key), nullptr) << k;
            EXPECT_EQ(*m.Find(key), v) << k;
        }
    }
}

// Random puts and erases, by key and by name, of known names and names kept in full:
// after every step the map holds, finds and lists (in byte order) what the model does.
TEST(PropertyMap, BehavesLikeAnOrderedMapUnderPutsAndErases) {
    std::vector<std::string> names;
    for (const HostProperty& p : ContactProperties()) names.emplace_back(p.name);
    for (const HostProperty& p : AppointmentProperties()) names.emplace_back(p.name);
    for (const char* n : {"A", "X-Own", "zz", "Emaik", "Start2", ""}) names.emplace_back(n);
    std::mt19937 rng(7);
    PropertyMap m;
    Model model;
    for (int step = 0; step < 4000; ++step) {
        const std::string& name = names[rng() % names.size()];
        const PropKey key = KeyOfName(name);
        const Value v = Value::Int(step);
        switch (rng() % 4) {
        case 0: m[name] = v; break;
        case 1:
            if (key == 0) continue;
            m.Put(key) = v;
            break;
        case 2: EXPECT_EQ(m.erase(name), model.erase(name)) << name; continue;
        case 3:
            if (key == 0) continue;
            EXPECT_EQ(m.Erase(key), model.erase(name) == 1) << name;
            continue;
        }
        model[name] = v;
        if (step % 97 == 0) {
            SCOPED_TRACE(step);
            ExpectLike(m, model);
            // A copy is the same map and stays apart from it.
            PropertyMap copy = m;
            EXPECT_EQ(copy, m);
            copy["Subject"] = Value::Text(u"changed");
            if (!(model.count("Subject") && model["Subject"] == Value::Text(u"changed"))) {
                EXPECT_FALSE(copy == m);
            }
        }
    }
    ExpectLike(m, model);
    m.clear();
    EXPECT_TRUE(m.empty());
    EXPECT_EQ(m.Find(KeyOfName("Subject")), nullptr);
}

// Decoded entries in any order, a name twice included (only damage writes that), come
// out in order with the later value of a name.
TEST(PropertyMap, DecodingOutOfOrderKeepsTheLaterValueOfAName) {
    // Format 2, an appointment, four properties by kNames' numbers: Subject (69) "b",
    // LastName (1) "x", Subject again "c", then "Zed" in full; no mapi, recipients,
    // pattern or exceptions.
    const Bytes bytes = {0x02, 0x02, 0x04, 69,  0x04, 0x01, 'b', 1, 0x04, 0x01, 'x', 69, 0x04, 0x01,
                         'c',  0x00, 0x03, 'Z', 'e',  'd',  0x02, 0x0A, 0x00, 0x00, 0x00, 0x00};
    ItemData d;
    ASSERT_TRUE(DeserializeItem(bytes, d));
    Model model{{"LastName", Value::Text(u"x")}, {"Subject", Value::Text(u"c")}, {"Zed", Value::Int(5)}};
    ExpectLike(d.props, model);
    // Written again, it reads back the same.
    ItemData again;
    ASSERT_TRUE(DeserializeItem(SerializeItem(d), again));
    EXPECT_EQ(again.props, d.props);
}

// A property described outside the tables (same name, another address) reads and writes
// like the table's own, derived values included.
TEST(PropertyMap, PropertiesFromOutsideTheTablesWorkByName) {
    ItemData d;
    d.cls = ItemClass::Contact;
    const HostProperty first{"FirstName", PropKind::Text, false};
    const HostProperty last{"LastName", PropKind::Text, false};
    const HostProperty fileAs{"FileAs", PropKind::Text, false};
    const HostProperty own{"X-Own", PropKind::Text, false};
    WriteProperty(d, first, Value::Text(u"Ann"));
    WriteProperty(d, last, Value::Text(u"Lee"));
    WriteProperty(d, own, Value::Text(u"kept"));
    EXPECT_EQ(ReadProperty(d, fileAs), Value::Text(u"Lee, Ann"));
    EXPECT_EQ(ReadProperty(d, *FindItemProperty(ItemClass::Contact, "FullName")), Value::Text(u"Ann Lee"));
    EXPECT_EQ(ReadProperty(d, own), Value::Text(u"kept"));
    EXPECT_EQ(ReadProperty(d, *FindItemProperty(ItemClass::Contact, "FirstName")), Value::Text(u"Ann"));
}

// Every property of both tables by its exact name, in other case, and names that are
// none (near misses that share length and ends with real ones).
TEST(PropertyMap, ItemsFindEveryTableNameAndRefuseOthers) {
    CHostApplication app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
    auto ns = app.GetNamespace();
    const struct {
        DefaultFolder folder;
        ItemType type;
        std::span<const HostProperty> table;
    } kinds[] = {{DefaultFolder::Contacts, ItemType::Contact, ContactProperties()},
                 {DefaultFolder::Calendar, ItemType::Appointment, AppointmentProperties()}};
    for (const auto& k : kinds) {
        auto item = ns->GetDefaultFolder(k.folder)->Items()->Add(k.type);
        for (const HostProperty& p : k.table) {
            SCOPED_TRACE(p.name);
            if (p.readOnly) continue;
            const Value v = p.kind == PropKind::Text ? Value::Text(u"v") : p.kind == PropKind::Date ? Value::Date(40000)
                            : p.kind == PropKind::Int ? Value::Int(1) : Value::Bool(true);
            item->Put(p.name, v);
            std::string lower = p.name;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            EXPECT_EQ(item->Get(lower), item->Get(p.name));
        }
        for (const char* bad : {"", "X", "Subjecu", "FirstNamf", "Bodz", "EntryIDs", "Email1Addres"}) {
            SCOPED_TRACE(bad);
            EXPECT_THROW(item->Get(bad), HostError);
        }
    }
}

}  // namespace
}  // namespace mireo
