#include "vcal/common/export_zones.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <utility>

#include "engine/testing/recording_logger.h"
#include "vcal/common/testing/zone_rules.h"

namespace mireo {
namespace {

using test::Change;
using test::Rule;

// An appointment of a store, holding named properties by their names (set id).
class CFakeAppointment : public IItem {
public:
    CFakeAppointment(std::string store, bool recurring) : m_store(std::move(store)), m_recurring(recurring) {}
    std::map<std::uint16_t, Value> named;

    ItemClass Class() override { return ItemClass::Appointment; }
    Value Get(std::string_view property) override {
        if (property == "IsRecurring") return Value::Bool(m_recurring);
        throw HostError(kDispEUnknownName, "_AppointmentItem");
    }
    std::string StoreId() override { return m_store; }
    void Put(std::string_view, const Value&) override { Unused(); }
    void Save() override { Unused(); }
    bool Saved() override { return true; }
    void Delete() override { Unused(); }
    void Discard() override { Unused(); }
    std::string EntryId() override { return {}; }
    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override { Unused(); }
    void ClearRecurrencePattern() override { Unused(); }
    std::unique_ptr<IRecipients> Recipients() override { Unused(); }
    bool ShowCategoriesDialog() override { return false; }

private:
    [[noreturn]] static void Unused() { throw HostError(kENotImpl, "_AppointmentItem"); }
    std::string m_store;
    bool m_recurring;
};

// Each store numbers its named properties its own way; a name is known to a store
// once created there.
class CFakeMapiUtils : public IMapiUtils {
public:
    int lookups = 0;
    bool fail = false;
    std::map<std::pair<std::string, std::uint16_t>, std::uint16_t> ids;  // (store, name) -> id

    void Know(const std::string& store, std::uint16_t name, std::uint16_t id) { ids[{store, name}] = id; }

    PropTag GetIDsFromNames(IItem& item, const std::string& set, std::uint16_t id, bool create) override {
        ++lookups;
        if (fail) throw HostError(kEFail, "MAPIUtils");
        EXPECT_EQ(set, kAppointmentPropertySet);
        EXPECT_FALSE(create);
        const auto it = ids.find({item.StoreId(), id});
        return it == ids.end() ? 0 : MakeTag(it->second, 0);
    }
    std::optional<Value> GetProp(IItem& item, PropTag tag) override {
        auto& appt = dynamic_cast<CFakeAppointment&>(item);
        for (const auto& [key, id] : ids) {
            if (key.first != item.StoreId() || id != TagId(tag)) continue;
            const auto v = appt.named.find(key.second);
            if (v == appt.named.end()) return std::nullopt;
            const std::uint16_t type = key.second == kZoneRuleProperty ? kPtBinary : kPtString8;
            EXPECT_EQ(TagType(tag), type);
            return v->second;
        }
        return std::nullopt;
    }
    void SetProp(IItem&, PropTag, const Value&) override {}
    std::string BytesToHex(const Bytes&) override { return {}; }
    Bytes HexToBytes(const std::string&) override { return {}; }
    std::string ErrorText(HRESULT) override { return {}; }
};

class CFakeComputerZone : public ITimeZoneSource {
public:
    std::optional<ZoneRule> rule = test::Eastern();
    bool Read(TimeZoneInfo& out, std::uint32_t& error) override {
        if (!rule) {
            error = 1450;
            return false;
        }
        out = rule->ToInfo();
        return true;
    }
};

Value Blob(const ZoneRule& rule) {
    const auto bytes = rule.ToBytes();
    return Value::Binary(Bytes(bytes.begin(), bytes.end()));
}

class ExportZones : public ::testing::Test {
protected:
    ExportZones() {
        utils.Know("A", kZoneRuleProperty, 0x8010);
        utils.Know("A", kZoneNameProperty, 0x8011);
        utils.Know("B", kZoneRuleProperty, 0x8120);
        utils.Know("B", kZoneNameProperty, 0x8121);
    }
    CFakeAppointment Item(const ZoneRule& rule, const std::string& name, const std::string& store = "A") {
        CFakeAppointment item(store, true);
        item.named[kZoneRuleProperty] = Blob(rule);
        item.named[kZoneNameProperty] = Value::Text(ToHostText(name));
        return item;
    }
    // GenVTimezone, then the zone entered as written, as the writer does.
    std::string Write(IItem& item) {
        EXPECT_TRUE(zones.GenVTimezone(item, &utils));
        if (!zones.IsWritten(zones.Name())) zones.MarkWritten(zones.Name(), zones.Rule());
        return zones.Name();
    }

    CRecordingLogger log;
    CFakeComputerZone computer;
    CFakeMapiUtils utils;
    CExportZones zones{log, computer};
};

TEST_F(ExportZones, OnlyRecurringItemsHaveAZone) {
    CFakeAppointment single("A", false);
    single.named[kZoneRuleProperty] = Blob(test::India());
    EXPECT_FALSE(zones.GenVTimezone(single, &utils));
    EXPECT_EQ(zones.Name(), "");
    EXPECT_EQ(utils.lookups, 0);
}

TEST_F(ExportZones, TheItemsZoneElseTheComputers) {
    CFakeAppointment own = Item(test::India(), "India Standard Time");
    ASSERT_TRUE(zones.GenVTimezone(own, &utils));
    EXPECT_EQ(zones.Name(), "India Standard Time");
    EXPECT_EQ(zones.Rule(), test::India());

    // Named by the bias when the item has a rule and no description.
    CFakeAppointment unnamed("A", true);
    unnamed.named[kZoneRuleProperty] = Blob(test::CentralEurope());
    ASSERT_TRUE(zones.GenVTimezone(unnamed, &utils));
    EXPECT_EQ(zones.Name(), "(GMT+01:00)");

    // Without a usable rule of its own the item takes the computer's zone, named by its bias.
    ZoneRule badWeekday = test::Sydney();
    badWeekday.daylightDate.dayOfWeek = 9;
    const Bytes shortBlob(47, 0);
    CFakeAppointment none("A", true);
    CFakeAppointment bad = Item(badWeekday, "Broken");
    CFakeAppointment shortRule = Item(test::India(), "Short");
    shortRule.named[kZoneRuleProperty] = Value::Binary(shortBlob);
    CFakeAppointment wrongType = Item(test::India(), "Text");
    wrongType.named[kZoneRuleProperty] = Value::Text(u"not bytes");
    for (IItem* item : std::initializer_list<IItem*>{&none, &bad, &shortRule, &wrongType}) {
        ASSERT_TRUE(zones.GenVTimezone(*item, &utils));
        EXPECT_EQ(zones.Name(), "(GMT-05:00)");
        EXPECT_EQ(zones.Rule(), test::Eastern());
    }
    // No outside library at all: the same.
    ASSERT_TRUE(zones.GenVTimezone(own, nullptr));
    EXPECT_EQ(zones.Name(), "(GMT-05:00)");

    computer.rule.reset();
    EXPECT_FALSE(zones.GenVTimezone(none, &utils));
    EXPECT_EQ(zones.Name(), "");
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0].text, "Cant get System Timezone Information");
    EXPECT_EQ(log.Messages()[0].source, "CvCalExport::GenVTimezone");
    EXPECT_EQ(log.Messages()[0].code, 1450);
    // The item's own zone needs no computer zone.
    EXPECT_TRUE(zones.GenVTimezone(own, &utils));
}

TEST_F(ExportZones, NamesWithinAFile) {
    ZoneRule sameAsIndia = test::India();
    sameAsIndia.standardYear = 5;
    CFakeAppointment first = Item(test::India(), "Kolkata");
    CFakeAppointment equalRule = Item(sameAsIndia, "Chennai");
    CFakeAppointment sameNameOtherRule = Item(test::Sydney(), "Kolkata");
    CFakeAppointment third = Item(test::CentralEurope(), "Kolkata");
    CFakeAppointment numberedTaken = Item(test::OldEastern(), "Kolkata (2)");
    EXPECT_EQ(Write(first), "Kolkata");
    EXPECT_EQ(Write(equalRule), "Kolkata");  // the zone already written, under its first name
    EXPECT_EQ(Write(sameNameOtherRule), "Kolkata (2)");
    EXPECT_EQ(Write(third), "Kolkata (3)");
    EXPECT_EQ(Write(numberedTaken), "Kolkata (2) (2)");
    EXPECT_EQ(Write(sameNameOtherRule), "Kolkata (2)");
    // A new file starts afresh.
    zones.ClearWritten();
    EXPECT_EQ(Write(third), "Kolkata");
}

TEST_F(ExportZones, NamesAreCleanedBeforeUse) {
    CFakeAppointment quoted = Item(test::India(), "My \"zone\"\r\nX-INJECTED:1");
    EXPECT_EQ(Write(quoted), "My 'zone'  X-INJECTED:1");
    EXPECT_TRUE(zones.IsWritten("My 'zone'  X-INJECTED:1"));
}

// Tags are per store: each store's own ids, looked up once each.
TEST_F(ExportZones, TagsPerStore) {
    CFakeAppointment inA = Item(test::India(), "A zone");
    CFakeAppointment inB = Item(test::Sydney(), "B zone", "B");
    CFakeAppointment inA2 = Item(test::CentralEurope(), "A zone 2");
    ASSERT_TRUE(zones.GenVTimezone(inA, &utils));
    EXPECT_EQ(zones.Name(), "A zone");
    ASSERT_TRUE(zones.GenVTimezone(inB, &utils));
    EXPECT_EQ(zones.Name(), "B zone");
    EXPECT_EQ(zones.Rule(), test::Sydney());
    ASSERT_TRUE(zones.GenVTimezone(inA2, &utils));
    EXPECT_EQ(zones.Name(), "A zone 2");
    EXPECT_EQ(utils.lookups, 4);  // two names in two stores

    // A store that has never seen the zone property: not found, and not remembered.
    CFakeAppointment inC = Item(test::India(), "C zone", "C");
    ASSERT_TRUE(zones.GenVTimezone(inC, &utils));
    EXPECT_EQ(zones.Name(), "(GMT-05:00)");
    utils.Know("C", kZoneRuleProperty, 0x8300);
    utils.Know("C", kZoneNameProperty, 0x8301);
    ASSERT_TRUE(zones.GenVTimezone(inC, &utils));
    EXPECT_EQ(zones.Name(), "C zone");
}

TEST_F(ExportZones, HostFailuresAreRaised) {
    CFakeAppointment item = Item(test::India(), "Zone");
    utils.fail = true;
    EXPECT_THROW(zones.GenVTimezone(item, &utils), HostError);
}

}  // namespace
}  // namespace mireo
