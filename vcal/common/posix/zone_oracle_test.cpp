// The zone arithmetic against an independent oracle: the C library's localtime_r with
// TZ set to the tzdata zone. Every zone of the shipped list is compared year by year,
// 2007 to 2030: the changes (instant and new offset) must be the same, and local
// times around each change must map back to UTC as documented. Years in which tzdata
// has other rules than the zone's present one cannot match; they are listed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/testing/recording_logger.h"
#include "textformat/date_text.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/scratch_folder.h"
#include "platform/windows_zones.h"
#include "vcal/common/system_zone.h"
#include "vcal/common/zone_list.h"
#include "vcal/common/recurrence_date.h"
#include "vcal/common/testing/zone_rules.h"
#include "vcal/common/zone_text.h"

namespace mireo {
namespace {

constexpr int kFirstYear = 2007;
constexpr int kLastYear = 2030;

// TZ for the length of a scope, read by the C library and by ReadSystemZone.
class CTzScope {
public:
    explicit CTzScope(const std::string& tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        ::setenv("TZ", tz.c_str(), 1);
        ::tzset();
    }
    ~CTzScope() {
        if (m_old) ::setenv("TZ", m_old->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

using OffsetFn = std::function<std::int64_t(std::int64_t)>;

std::int64_t OracleOffset(std::int64_t t) {
    const auto tt = static_cast<std::time_t>(t);
    std::tm tm{};
    ::localtime_r(&tt, &tm);
    return tm.tm_gmtoff;
}

std::int64_t RuleOffset(const ZoneRule& rule, std::int64_t t) {
    const UtcTime u{std::chrono::seconds(t)};
    return (UtcToLocal(rule, u) - AsLocal(u)).count();
}

struct Change {
    std::int64_t at;
    std::int64_t offset;  // from then on
    bool operator==(const Change&) const = default;
};

// The offset at the start of the year and every change in it, to the second (changes
// are at least a day apart).
std::vector<Change> ChangesIn(int year, const OffsetFn& offset) {
    const std::int64_t start = ToUtc(CivilTime{year, 1, 1, 0, 0, 0}).time_since_epoch().count();
    const std::int64_t end = ToUtc(CivilTime{year + 1, 1, 1, 0, 0, 0}).time_since_epoch().count();
    std::vector<Change> changes{{start, offset(start)}};
    std::int64_t t = start;
    std::int64_t current = changes.front().offset;
    while (t < end) {
        const std::int64_t next = std::min(t + 86400, end);
        const std::int64_t after = offset(next);
        if (after != current) {
            std::int64_t lo = t, hi = next;
            while (hi - lo > 1) {
                const std::int64_t mid = lo + (hi - lo) / 2;
                (offset(mid) == current ? lo : hi) = mid;
            }
            changes.push_back({hi, offset(hi)});
            current = changes.back().offset;
        }
        t = next;
    }
    return changes;
}

std::string Describe(const std::vector<Change>& changes) {
    std::string s;
    for (const Change& c : changes) {
        const CivilTime t = Split(UtcTime{std::chrono::seconds(c.at)});
        char buf[64];
        std::snprintf(buf, sizeof buf, " %04d-%02d-%02dT%02d:%02d:%02dZ%+lld", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, static_cast<long long>(c.offset / 60));
        s += buf;
    }
    return s;
}

// Around each change, each local time maps to the earliest UTC time that shows it.
void CheckLocalToUtc(const ZoneRule& rule, const std::vector<Change>& changes) {
    for (std::size_t i = 1; i < changes.size(); ++i) {
        for (std::int64_t u = changes[i].at - 3 * 3600; u <= changes[i].at + 3 * 3600; u += 900) {
            const std::int64_t local = u + OracleOffset(u);
            std::int64_t earliest = u;
            for (std::int64_t v = u - 4 * 3600; v < u; v += 900)
                if (v + OracleOffset(v) == local) {
                    earliest = v;
                    break;
                }
            const LocalTime wall{std::chrono::seconds(local)};
            ASSERT_EQ(LocalToUtc(rule, wall).time_since_epoch().count(), earliest)
                << FormatDateTime(wall) << " around" << Describe({changes[i]});
        }
    }
}


// The years of a zone that differ from the C library's.
std::set<int> MismatchedYears(const ZoneRule& rule, std::string* first = nullptr) {
    std::set<int> years;
    for (int y = kFirstYear; y <= kLastYear; ++y) {
        const auto oracle = ChangesIn(y, OracleOffset);
        const auto ours = ChangesIn(y, [&](std::int64_t t) { return RuleOffset(rule, t); });
        if (oracle == ours) {
            CheckLocalToUtc(rule, oracle);
            continue;
        }
        if (first != nullptr && years.empty())
            *first = std::to_string(y) + ": tzdata" + Describe(oracle) + "; rule" + Describe(ours);
        years.insert(y);
    }
    return years;
}

std::set<int> Years(int from, int to) {
    std::set<int> s;
    for (int y = from; y <= to; ++y) s.insert(y);
    return s;
}

// Zones whose tzdata rules changed in 2007..2030, and zones whose present rule a Windows
// rule holds only in most years. Every other zone must match in every year.
std::map<std::string, std::set<int>> KnownMismatches() {
    std::map<std::string, std::set<int>> m;
    auto before = [](int year) { return Years(kFirstYear, year - 1); };
    // Rules changed.
    m["Mexico Standard Time 2"] = before(2023);         // Mexico: no daylight time since 2022
    m["Mexico Standard Time"] = before(2023);
    m["Pacific SA Standard Time"] = before(2019);       // Chile: the present dates since 2019, but for 2022
    m["Pacific SA Standard Time"].insert(2022);         // (September 11)
    m["E. South America Standard Time"] = before(2020); // Brazil: no daylight time since 2019
    m["Greenland Standard Time"] = before(2024);        // Greenland: -02 with daylight time since 2023/2024
    m["Greenland Standard Time"].insert(2029);          // the Saturday before the last Sunday: not the last Saturday
                                                        // when March ends on a Saturday
    m["Egypt Standard Time"] = before(2023);            // Egypt: daylight time 2014, again since 2023
    m["Russian Standard Time"] = before(2015);          // Russia: 2011 and 2014
    m["Ekaterinburg Standard Time"] = before(2015);
    m["N. Central Asia Standard Time"] = Years(2007, 2011);  // Novosibirsk: +06 with daylight time, then +07
    m["N. Central Asia Standard Time"].merge(Years(2014, 2016));  // and +06 again, +07 since 2016
    m["North Asia Standard Time"] = before(2015);
    m["North Asia East Standard Time"] = before(2015);
    m["Yakutsk Standard Time"] = before(2015);
    m["Vladivostok Standard Time"] = before(2015);
    m["Central Asia Standard Time"] = before(2025);     // Almaty: +05 since 2024
    m["Iran Standard Time"] = Years(2008, 2022);         // Iran: daylight time 2008 to 2022
    m["Arabic Standard Time"] = before(2008);           // Iraq: no daylight time since 2008
    m["Caucasus Standard Time"] = before(2012);         // Armenia: no daylight time since 2012
    m["Fiji Standard Time"] = Years(2009, 2021);        // Fiji: daylight time 2009 to 2021
    m["Tonga Standard Time"] = {2016, 2017};            // Tonga: daylight time 2016/2017
    m["W. Australia Standard Time"] = before(2010);     // Perth: daylight time 2006 to 2009
    m["New Zealand Standard Time"] = before(2008);      // New Zealand: April date changed in 2008
    m["Newfoundland Standard Time"] = before(2012);     // St. John's: changes at 00:01 until 2011
    m["Cen. Australia Standard Time"] = before(2008);   // Australia: dates changed in 2008
    m["AUS Eastern Standard Time"] = before(2008);
    m["Tasmania Standard Time"] = before(2008);
    m["Samoa Standard Time"] = {};
    // Israel: its present rule since 2013. The Friday before the last Sunday of March is
    // taken as the fourth Friday, which it is not when March 1 is a Friday.
    m["Israel Standard Time"] = before(2013);
    m["Israel Standard Time"].insert({2013, 2019, 2024, 2030});
    return m;
}

class ZoneOracle : public ::testing::Test {
protected:
    void SetUp() override {
        CRegistryFile reg(test::Utf8Of(m_folder / "registry.reg"));
        CRecordingLogger log;
        ASSERT_EQ(GetAllTimezones(m_list, log, reg), 0);
        EXPECT_TRUE(log.Messages().empty());
    }
    test::CScratchFolder m_folder{"mireo-zones-"};
    std::vector<ZoneListEntry> m_list;
};

TEST_F(ZoneOracle, TheShippedListInIndexOrder) {
    const auto shipped = ShippedWindowsZones();
    ASSERT_EQ(m_list.size(), shipped.size());
    for (std::size_t i = 0; i < shipped.size(); ++i) {
        EXPECT_EQ(m_list[i].key, shipped[i].key);
        EXPECT_EQ(m_list[i].display, shipped[i].display);
        EXPECT_EQ(m_list[i].index, shipped[i].index);
    }
}

// The rules the Windows registry holds for these zones (checked under wine too).
TEST_F(ZoneOracle, RulesAsWindowsHasThem) {
    for (const test::KnownWindowsZone& known : test::KnownWindowsZones()) {
        SCOPED_TRACE(known.key);
        const ZoneListEntry* entry = FindZoneByKeyOrDisplay(m_list, known.key);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->rule, known.rule);
    }
}

TEST_F(ZoneOracle, EveryZoneAgainstTheCLibrary) {
    const auto known = KnownMismatches();
    std::string report;
    for (const ShippedZone& zone : ShippedWindowsZones()) {
        SCOPED_TRACE(zone.key);
        const ZoneListEntry* entry = FindZoneByKeyOrDisplay(m_list, zone.key);
        ASSERT_NE(entry, nullptr);
        const std::string tzdata(std::string_view(zone.tzdataZones).substr(0, std::string_view(zone.tzdataZones).find(' ')));
        CTzScope tz(":" + tzdata);
        std::string first;
        const std::set<int> years = MismatchedYears(entry->rule, &first);
        const auto it = known.find(zone.key);
        const std::set<int> expected = it == known.end() ? std::set<int>{} : it->second;
        EXPECT_EQ(years, expected) << "first difference " << first;
        if (!years.empty()) {
            report += std::string("  ") + zone.key + " (" + tzdata + "): " + std::to_string(years.size()) +
                      " years from " + std::to_string(*years.begin()) + "\n";
        }
    }
    std::cout << "Years a zone's present rule cannot match tzdata:\n" << report;
}

// The computer's zone, read from TZ, against the C library with the same TZ, in years
// of the present rules; zones beyond the shipped list too.
TEST(ComputerZoneOracle, ReadFromTz) {
    const char* zones[] = {
        "Europe/Prague",        "America/Sao_Paulo", "Australia/Lord_Howe", "Asia/Kathmandu",
        "Pacific/Chatham",      "America/St_Johns",  "America/Havana",      "Antarctica/Troll",
        "Asia/Tehran",       "Europe/Dublin",       "America/Asuncion",
        "EST5EDT,M3.2.0,M11.1.0", "<-0330>3:30<-0230>,M3.2.0/0,M11.1.0/0",
    };
    for (const char* name : zones) {
        SCOPED_TRACE(name);
        CTzScope tz(name);
        ZoneRule rule;
        ASSERT_TRUE(ReadSystemZone(rule));
        for (int y = 2028; y <= 2036; ++y) {
            const auto oracle = ChangesIn(y, OracleOffset);
            ASSERT_EQ(Describe(ChangesIn(y, [&](std::int64_t t) { return RuleOffset(rule, t); })), Describe(oracle)) << y;
            CheckLocalToUtc(rule, oracle);
        }
    }
}

}  // namespace
}  // namespace mireo
