#include "vcal/common/zone_list.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "engine/testing/recording_logger.h"
#include "platform/registry_text.h"
#include "platform/time_zone.h"
#include "vcal/common/testing/zone_rules.h"

namespace mireo {
namespace {

using test::Change;
using test::Rule;

struct FakeValue {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

// The zone list key in memory: subkeys in the order given, each with its values. Opening
// and enumerating can be made to fail.
class CFakeZoneRegistry : public IRegistry {
public:
    std::vector<std::pair<std::string, std::map<std::string, FakeValue>>> zones;
    long openError = kErrorSuccess;
    long enumError = kErrorNoMoreItems;  // what enumeration past the last subkey answers
    std::string unopenable;

    long OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) override {
        out = 0;
        EXPECT_EQ(root, RegRoot::LocalMachine);
        EXPECT_FALSE(write);
        if (openError != kErrorSuccess) return openError;
        const std::string list = kTimeZonesKeyPath;
        if (path == list) {
            out = 1;
            ++opened;
            return kErrorSuccess;
        }
        for (std::size_t i = 0; i < zones.size(); ++i) {
            if (path == list + "\\" + zones[i].first && zones[i].first != unopenable) {
                out = 2 + i;
                ++opened;
                return kErrorSuccess;
            }
        }
        return kErrorFileNotFound;
    }
    long OpenSubKey(Key, std::string_view, bool, Key&) override { return kErrorAccessDenied; }
    void CloseKey(Key key) override { ++closed; }
    long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        if (key < 2 || key - 2 >= zones.size()) return kErrorInvalidHandle;
        const auto& values = zones[key - 2].second;
        const auto it = values.find(std::string(name));
        if (it == values.end()) return kErrorFileNotFound;
        *type = it->second.type;
        const auto n = static_cast<std::uint32_t>(it->second.data.size());
        if (n > *size) {
            *size = n;
            return kErrorMoreData;
        }
        std::copy(it->second.data.begin(), it->second.data.end(), data);
        *size = n;
        return kErrorSuccess;
    }
    long SetValue(Key, std::string_view, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return kErrorAccessDenied;
    }
    long DeleteValue(Key, std::string_view) override { return kErrorAccessDenied; }
    long EnumSubKey(Key key, std::uint32_t index, std::string& name) override {
        EXPECT_EQ(key, 1u);
        if (index >= zones.size()) return enumError;
        name = zones[index].first;
        return kErrorSuccess;
    }

    int opened = 0;
    int closed = 0;
};

FakeValue Text(std::string_view s) { return {kRegSz, regtext::SzBytes(s)}; }
FakeValue Dword(std::uint32_t v) {
    return {kRegDword,
            {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
             static_cast<std::uint8_t>(v >> 24)}};
}
FakeValue Tzi(const ZoneRule& rule) {
    const auto bytes = EncodeTzi(rule.ToInfo());
    return {kRegBinary, {bytes.begin(), bytes.end()}};
}

std::map<std::string, FakeValue> Zone(const std::string& display, std::optional<std::uint32_t> index,
                                      const ZoneRule& rule) {
    std::map<std::string, FakeValue> v{{"Display", Text(display)},
                                       {"Std", Text(display + " Standard")},
                                       {"Dlt", Text(display + " Daylight")},
                                       {"TZI", Tzi(rule)}};
    if (index) v["Index"] = Dword(*index);
    return v;
}

std::vector<std::string> Keys(const std::vector<ZoneListEntry>& list) {
    std::vector<std::string> keys;
    for (const ZoneListEntry& e : list) keys.push_back(e.key);
    return keys;
}

TEST(ZoneList, SortedByIndexBadZonesLeftOut) {
    CFakeZoneRegistry reg;
    ZoneRule badRule = test::Sydney();
    badRule.standardDate.dayOfWeek = 7;
    auto noStd = Zone("No Std", 1, test::India());
    noStd.erase("Std");
    auto noDlt = Zone("No Dlt", 2, test::India());
    noDlt.erase("Dlt");
    auto noDisplay = Zone("No Display", 3, test::India());
    noDisplay.erase("Display");
    auto shortTzi = Zone("Short TZI", 4, test::India());
    shortTzi["TZI"].data.pop_back();
    auto longTzi = Zone("Long TZI", 5, test::India());
    longTzi["TZI"].data.push_back(0);
    auto textTzi = Zone("Text TZI", 6, test::India());
    textTzi["TZI"].type = kRegSz;
    auto textIndex = Zone("Text Index", 7, test::India());
    textIndex["Index"] = Text("7");
    auto longDisplay = Zone(std::string(600, 'x'), 8, test::India());  // 1202 bytes as UTF-16
    auto expandDisplay = Zone("Expand", 260, test::Sydney());
    expandDisplay["Display"].type = kRegExpandSz;
    reg.zones = {
        {"Tokyo Standard Time", Zone("(GMT+09:00) Osaka, Sapporo, Tokyo", 235, Rule(-540, 0, 0))},
        {"Eastern Standard Time", Zone("(GMT-05:00) Eastern Time (US & Canada)", 35, test::Eastern())},
        {"No Std", noStd},
        {"No Dlt", noDlt},
        {"No Display", noDisplay},
        {"Short TZI", shortTzi},
        {"Long TZI", longTzi},
        {"Text TZI", textTzi},
        {"Bad Rule", Zone("Bad Rule", 9, badRule)},
        {"Text Index", textIndex},
        {"Long Display", longDisplay},
        {"Unopenable", Zone("Unopenable", 10, test::India())},
        {"Index High Bit", Zone("High", 0x80000000u, test::India())},
        {"Later West", Zone("(GMT-03:00) Later", std::nullopt, Rule(180, 0, 0))},
        {"Later East B", Zone("(GMT+05:30) B", std::nullopt, test::India())},
        {"Later East A", Zone("(GMT+05:30) A", std::nullopt, test::India())},
        {"Expand", expandDisplay},
        {"Dateline Standard Time", Zone("(GMT-12:00) International Date Line West", 0, Rule(720, 0, 0))},
    };
    reg.unopenable = "Unopenable";
    CRecordingLogger log;
    std::vector<ZoneListEntry> list;
    ASSERT_EQ(GetAllTimezones(list, log, reg), 0);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"Dateline Standard Time", "Eastern Standard Time",
                                                    "Tokyo Standard Time", "Expand", "Index High Bit", "Later West",
                                                    "Later East A", "Later East B"}));
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[1].display, "(GMT-05:00) Eastern Time (US & Canada)");
    EXPECT_EQ(list[1].index, 35u);
    EXPECT_TRUE(list[1].hasIndex);
    EXPECT_EQ(list[1].rule, test::Eastern());
    EXPECT_FALSE(list[5].hasIndex);

    struct Logged {
        const char* text;
        long code;
    };
    const Logged want[] = {
        {"RegQueryValueEx(Std)", kErrorFileNotFound},   {"RegQueryValueEx(Dlt)", kErrorFileNotFound},
        {"RegQueryValueEx(Display)", kErrorFileNotFound}, {"RegQueryValueEx(TZI)", kErrorInvalidData},
        {"RegQueryValueEx(TZI)", kErrorMoreData},       {"RegQueryValueEx(TZI)", kErrorInvalidData},
        {"RegQueryValueEx(TZI)", kErrorInvalidData},    {"RegQueryValueEx(Index)", kErrorInvalidData},
        {"RegQueryValueEx(Display)", kErrorMoreData},   {"RegOpenKeyEx(subkey)", kErrorFileNotFound},
    };
    ASSERT_EQ(log.Messages().size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log.Messages()[i].text, want[i].text);
        EXPECT_EQ(log.Messages()[i].code, want[i].code);
        EXPECT_EQ(log.Messages()[i].source, "GetAllTimezones");
        EXPECT_EQ(log.Messages()[i].level, kWarning);
    }
    // Every key opened was closed.
    EXPECT_EQ(reg.closed, reg.opened);
    EXPECT_GE(reg.opened, static_cast<int>(reg.zones.size()));
}

TEST(ZoneList, FailuresGiveNoList) {
    CFakeZoneRegistry reg;
    reg.zones = {{"Eastern Standard Time", Zone("Eastern", 35, test::Eastern())}};
    CRecordingLogger log;
    std::vector<ZoneListEntry> list{ZoneListEntry{}};

    reg.enumError = kErrorAccessDenied;
    EXPECT_EQ(GetAllTimezones(list, log, reg), kZoneListEnumFailed);
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0].text, "RegEnumKeyEx");
    EXPECT_EQ(log.Messages()[0].code, kErrorAccessDenied);
    EXPECT_EQ(log.Messages()[0].level, kError);

    log.Clear();
    reg.openError = kErrorAccessDenied;
    EXPECT_EQ(GetAllTimezones(list, log, reg), kZoneListCannotOpen);
    EXPECT_TRUE(list.empty());
    ASSERT_FALSE(log.Messages().empty());
    EXPECT_EQ(log.Messages().back().text, "RegOpenKeyEx");
    EXPECT_EQ(log.Messages().back().code, kErrorAccessDenied);
    EXPECT_EQ(log.Messages().back().level, kError);
}

std::vector<ZoneListEntry> SampleList() {
    auto entry = [](const char* key, const char* display, std::uint32_t index, const ZoneRule& rule) {
        ZoneListEntry e;
        e.key = key;
        e.display = display;
        e.index = index;
        e.hasIndex = true;
        e.rule = rule;
        return e;
    };
    return {
        entry("Eastern Standard Time", "(GMT-05:00) Eastern Time (US & Canada)", 35, test::Eastern()),
        entry("US Eastern Standard Time", "(GMT-05:00) Indiana (East)", 40, test::Eastern()),
        entry("W. Europe Standard Time", "(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna", 110,
              test::CentralEurope()),
        entry("India Standard Time", "(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi", 190, test::India()),
    };
}

TEST(ZoneList, FindByRule) {
    const std::vector<ZoneListEntry> list = SampleList();
    std::string name = "unchanged";
    ZoneRule eastern = test::Eastern();
    eastern.daylightYear = 9;
    EXPECT_EQ(FindZoneName(eastern, list, name), 0);
    EXPECT_EQ(name, "(GMT-05:00) Eastern Time (US & Canada)");  // the first of two
    EXPECT_EQ(FindZoneName(test::India(), list, name), 0);
    EXPECT_EQ(name, "(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi");
    name = "unchanged";
    EXPECT_EQ(FindZoneName(test::OldEastern(), list, name), 1);
    EXPECT_EQ(name, "unchanged");
}

TEST(ZoneList, FindByName) {
    const std::vector<ZoneListEntry> list = SampleList();
    struct Case {
        const char* name;
        const char* key;  // null: not found
    };
    const Case byKeyOrDisplay[] = {
        {"W. Europe Standard Time", "W. Europe Standard Time"},
        {"w. europe standard time", "W. Europe Standard Time"},
        {"(GMT-05:00) Indiana (East)", "US Eastern Standard Time"},
        {"(GMT-05:00) INDIANA (EAST)", "US Eastern Standard Time"},
        {"W. Europe Daylight Time", nullptr},
        {"Europe/Berlin", nullptr},
        {"", nullptr},
    };
    for (const Case& c : byKeyOrDisplay) {
        SCOPED_TRACE(c.name);
        const ZoneListEntry* e = FindZoneByKeyOrDisplay(list, c.name);
        if (c.key) {
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->key, c.key);
        } else {
            EXPECT_EQ(e, nullptr);
        }
    }
    const Case byTzdata[] = {
        {"Europe/Berlin", "W. Europe Standard Time"},
        {"Europe/Rome", "W. Europe Standard Time"},
        {"europe/vienna", "W. Europe Standard Time"},
        {"America/New_York", "Eastern Standard Time"},
        {"US/Eastern", "Eastern Standard Time"},
        {"America/Indiana/Indianapolis", "US Eastern Standard Time"},
        {"Asia/Kolkata", "India Standard Time"},
        {"Asia/Calcutta", "India Standard Time"},
        {"/mozilla.org/20050126_1/America/New_York", "Eastern Standard Time"},
        {"/softwarestudio.org/Olson_20011030_5/Europe/Berlin", "W. Europe Standard Time"},
        {"America/Asuncion", nullptr},  // a Windows zone that is not in this list
        {"Not/A_Zone", nullptr},
        {"W. Europe Standard Time", nullptr},
        {"/", nullptr},
        {"", nullptr},
    };
    for (const Case& c : byTzdata) {
        SCOPED_TRACE(c.name);
        const ZoneListEntry* e = FindZoneByIana(list, c.name);
        if (c.key) {
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->key, c.key);
        } else {
            EXPECT_EQ(e, nullptr);
        }
    }
}

}  // namespace
}  // namespace mireo
