// The zone machinery on Windows (run under wine): the computer's zone from
// GetTimeZoneInformation, the zone list from the registry, compared with the list
// Mireo ships for Linux.
#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "engine/testing/recording_logger.h"
#include "platform/windows_zones.h"
#include "vcal/common/system_zone.h"
#include "vcal/common/testing/zone_rules.h"
#include "vcal/common/zone_list.h"

namespace mireo {
namespace {

// The test binary runs with TZ=America/New_York, which wine takes as the computer's zone.
TEST(ZonesWin32, ComputerZoneFromTheSystem) {
    ZoneRule rule;
    std::uint32_t error = 1;
    ASSERT_TRUE(ReadSystemZone(rule, error));
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(ZonesEqual(rule, test::Eastern())) << rule.bias << " " << rule.daylightBias;
    EXPECT_EQ(rule.standardYear, 0);
    EXPECT_EQ(rule.daylightYear, 0);
    EXPECT_EQ(Split(LocalToUtc(rule, MakeLocal(2024, 7, 1, 12))), (CivilTime{2024, 7, 1, 16, 0, 0}));
}

TEST(ZonesWin32, RegistryListAgainstTheShippedOne) {
    CRecordingLogger log;
    std::vector<ZoneListEntry> list;
    ASSERT_EQ(GetAllTimezones(list, log), 0);
    ASSERT_GT(list.size(), 50u);
    for (const ZoneListEntry& e : list) {
        EXPECT_TRUE(IsValidZoneRule(e.rule)) << e.key;
        EXPECT_FALSE(e.display.empty()) << e.key;
    }
    // Keys of the shipped list that the system does not have.
    std::set<std::string> missing;
    for (const ShippedZone& zone : ShippedWindowsZones())
        if (FindZoneByKeyOrDisplay(list, zone.key) == nullptr) missing.insert(zone.key);
    std::string names;
    for (const std::string& m : missing) names += "\n  " + m;
    std::cout << list.size() << " zones; of the " << ShippedWindowsZones().size() << " shipped keys "
              << missing.size() << " are not among them:" << names << "\n";
    // The keys Windows has since retired or renamed.
    const std::set<std::string> retired = {"Mexico Standard Time", "Mexico Standard Time 2",
                                           "Mid-Atlantic Standard Time"};
    for (const std::string& m : missing) EXPECT_TRUE(retired.count(m) != 0) << m;

    for (const test::KnownWindowsZone& known : test::KnownWindowsZones()) {
        SCOPED_TRACE(known.key);
        const ZoneListEntry* entry = FindZoneByKeyOrDisplay(list, known.key);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(ZonesEqual(entry->rule, known.rule));
        std::string name;
        EXPECT_EQ(FindZoneName(known.rule, list, name), 0);
    }
    // The tzdata names of a calendar file find the system's zones as they find the shipped ones.
    const ZoneListEntry* berlin = FindZoneByIana(list, "Europe/Berlin");
    ASSERT_NE(berlin, nullptr);
    EXPECT_EQ(berlin->key, "W. Europe Standard Time");
}

}  // namespace
}  // namespace mireo
