#include "vcal/common/zone_rule.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "vcal/common/system_zone.h"
#include "vcal/common/testing/zone_rules.h"

namespace mireo {
namespace {

using test::Change;
using test::Rule;

// The published layout, written out byte by byte: Bias 300, StandardBias 0,
// DaylightBias -60, year 7 (kept but unused), standard change October/Sunday/last/2:00,
// daylight change April/Sunday/first/2:00.
const std::vector<std::uint8_t> kOldEasternBytes = {
    0x2C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC4, 0xFF, 0xFF, 0xFF,  // biases
    0x07, 0x00,                                                              // StandardYear
    0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00,  // DaylightYear
    0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// The 44-byte "TZI" form of a 48-byte value: the same without the year words.
std::vector<std::uint8_t> TziOf(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> tzi;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (i != 12 && i != 13 && i != 30 && i != 31) tzi.push_back(bytes[i]);
    return tzi;
}

TEST(ZoneRuleBytes, PublishedLayoutBothWays) {
    ASSERT_EQ(kOldEasternBytes.size(), ZoneRule::kSize);
    const std::optional<ZoneRule> rule = ZoneRule::FromBytes(kOldEasternBytes);
    ASSERT_TRUE(rule.has_value());
    ZoneRule want = test::OldEastern();
    want.standardYear = 7;
    EXPECT_EQ(*rule, want);
    const auto back = rule->ToBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(back.begin(), back.end()), kOldEasternBytes);

    const std::vector<std::uint8_t> tzi = TziOf(kOldEasternBytes);
    EXPECT_EQ(ZoneRule::FromTzi(tzi), test::OldEastern());
    const auto encoded = EncodeTzi(test::OldEastern().ToInfo());
    EXPECT_EQ(std::vector<std::uint8_t>(encoded.begin(), encoded.end()), tzi);
}

TEST(ZoneRuleBytes, OnlyTheExactSize) {
    std::vector<std::uint8_t> bytes = kOldEasternBytes;
    for (std::size_t n : {0u, 1u, 44u, 47u, 49u, 96u}) {
        bytes.resize(n, 0);
        EXPECT_FALSE(ZoneRule::FromBytes(bytes).has_value()) << n;
    }
    const auto tzi = EncodeTzi(test::Eastern().ToInfo());
    std::vector<std::uint8_t> value(tzi.begin(), tzi.end());
    EXPECT_TRUE(ZoneRule::FromTzi(value).has_value());
    for (std::size_t n : {0u, 43u, 45u, 48u}) {
        value.resize(n, 0);
        EXPECT_FALSE(ZoneRule::FromTzi(value).has_value()) << n;
    }
}

// A rule whose transitions cannot be computed is no rule, as a value of the item, of
// the registry or of the zone list.
TEST(ZoneRuleBytes, BadTransitionsAreNoRule) {
    struct Field {
        const char* name;
        std::size_t offset;  // of the 16-bit field in the 48-byte layout
        std::vector<int> bad;
    };
    std::vector<int> weekdays, months, days;
    for (int v = 7; v <= 255; ++v) weekdays.push_back(v);
    for (int v = 13; v <= 255; ++v) months.push_back(v);
    days.push_back(0);
    for (int v = 6; v <= 255; ++v) days.push_back(v);
    const Field fields[] = {
        {"standard day of week", 18, weekdays}, {"daylight day of week", 36, weekdays},
        {"standard month", 16, months},         {"daylight month", 34, months},
        {"standard day", 20, days},             {"daylight day", 38, days},
        {"standard hour", 22, {24, 255}},       {"daylight minute", 42, {60, 65535}},
        {"standard second", 26, {60}},          {"daylight milliseconds", 46, {1000}},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        for (int v : f.bad) {
            std::vector<std::uint8_t> bytes = kOldEasternBytes;
            bytes[f.offset] = static_cast<std::uint8_t>(v);
            bytes[f.offset + 1] = static_cast<std::uint8_t>(v >> 8);
            EXPECT_FALSE(ZoneRule::FromBytes(bytes).has_value()) << v;
            EXPECT_FALSE(ZoneRule::FromTzi(TziOf(bytes)).has_value()) << v;
        }
    }
    // Month 0 is no transition: whatever else the fields hold.
    ZoneRule none = Rule(-330, 0, 0, SystemTime{0, 0, 99, 99, 99, 99, 99, 9999}, SystemTime{0, 0, 77, 0, 0, 0, 0, 0});
    EXPECT_TRUE(IsValidZoneRule(none));
    EXPECT_TRUE(ZoneRule::FromBytes(none.ToBytes()).has_value());
}

TEST(TransitionDate, WeekdayOfTheMonth) {
    struct Case {
        int year;
        SystemTime change;
        CivilTime want;
    };
    const Case cases[] = {
        {2024, Change(3, 0, 2, 2), {2024, 3, 10, 2, 0, 0}},       // second Sunday
        {2024, Change(11, 0, 1, 2), {2024, 11, 3, 2, 0, 0}},      // first Sunday
        {2024, Change(3, 0, 5, 2), {2024, 3, 31, 2, 0, 0}},       // last Sunday, the 31st
        {2024, Change(10, 0, 5, 3), {2024, 10, 27, 3, 0, 0}},     // last Sunday, four in the month
        {2024, Change(2, 4, 5, 1, 30, 15), {2024, 2, 29, 1, 30, 15}},  // last Thursday, leap day
        {2023, Change(2, 4, 5, 0), {2023, 2, 23, 0, 0, 0}},
        {2024, Change(9, 0, 1, 0), {2024, 9, 1, 0, 0, 0}},        // the 1st is that weekday
        {2024, Change(6, 6, 1, 23, 59, 59), {2024, 6, 1, 23, 59, 59}},
        {2024, Change(6, 5, 1, 0), {2024, 6, 7, 0, 0, 0}},        // the 1st is the day after it
        {1980, Change(10, 0, 5, 2), {1980, 10, 26, 2, 0, 0}},
        {1980, Change(4, 0, 1, 2), {1980, 4, 6, 2, 0, 0}},
        {2029, Change(3, 4, 4, 2), {2029, 3, 22, 2, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.change.month));
        EXPECT_EQ(Split(TransitionDate(c.year, c.change)), c.want);
    }
}

// Whatever the fields, an answer in the (nearest) month, at once.
TEST(TransitionDate, NeverLoops) {
    for (int month : {0, 1, 2, 12, 13, 255}) {
        for (int day : {0, 1, 4, 5, 6, 7, 255}) {
            for (int weekday = 0; weekday <= 255; ++weekday) {
                const SystemTime t{0, static_cast<std::uint16_t>(month), static_cast<std::uint16_t>(weekday),
                                   static_cast<std::uint16_t>(day), 0, 0, 0, 0};
                const CivilTime c = Split(TransitionDate(2024, t));
                ASSERT_EQ(c.year, 2024);
                ASSERT_EQ(c.month, month < 1 ? 1 : month > 12 ? 12 : month) << weekday;
            }
        }
    }
    // A day of week of 7 or more stays on the first of the month.
    EXPECT_EQ(Split(TransitionDate(2024, Change(3, 7, 1, 2))), (CivilTime{2024, 3, 1, 2, 0, 0}));
}

struct Conversion {
    const char* name;
    ZoneRule rule;
    CivilTime local;
    CivilTime utc;
};

// Both directions where each is unique; around the changes as documented.
TEST(ZoneArithmetic, LocalAndUtc) {
    const Conversion both[] = {
        // Bias 300, changes on the first Sunday of April and the last of October (2006: April 2, October 29).
        {"winter", test::OldEastern(), {2006, 1, 15, 12, 0, 0}, {2006, 1, 15, 17, 0, 0}},
        {"summer", test::OldEastern(), {2006, 7, 15, 12, 0, 0}, {2006, 7, 15, 16, 0, 0}},
        {"before daylight", test::OldEastern(), {2006, 4, 2, 1, 59, 59}, {2006, 4, 2, 6, 59, 59}},
        {"daylight", test::OldEastern(), {2006, 4, 2, 3, 0, 0}, {2006, 4, 2, 7, 0, 0}},
        {"last daylight second", test::OldEastern(), {2006, 10, 29, 1, 59, 59}, {2006, 10, 29, 5, 59, 59}},
        {"standard again", test::OldEastern(), {2006, 10, 29, 2, 0, 0}, {2006, 10, 29, 7, 0, 0}},
        // Bias -330: no changes at all.
        {"India", test::India(), {2024, 6, 1, 12, 0, 0}, {2024, 6, 1, 6, 30, 0}},
        {"India new year", test::India(), {2024, 1, 1, 3, 0, 0}, {2023, 12, 31, 21, 30, 0}},
        // Southern hemisphere: daylight time in January (2024: April 7 and October 6).
        {"Sydney summer", test::Sydney(), {2024, 1, 15, 12, 0, 0}, {2024, 1, 15, 1, 0, 0}},
        {"Sydney winter", test::Sydney(), {2024, 7, 15, 12, 0, 0}, {2024, 7, 15, 2, 0, 0}},
        {"Sydney last daylight second", test::Sydney(), {2024, 4, 7, 1, 59, 59}, {2024, 4, 6, 14, 59, 59}},
        {"Sydney standard", test::Sydney(), {2024, 4, 7, 3, 0, 0}, {2024, 4, 6, 17, 0, 0}},
        {"Sydney before daylight", test::Sydney(), {2024, 10, 6, 1, 59, 59}, {2024, 10, 5, 15, 59, 59}},
        {"Sydney daylight", test::Sydney(), {2024, 10, 6, 3, 0, 0}, {2024, 10, 5, 16, 0, 0}},
        // A change at 23:59:59.999 is midnight: 23:59:59 is still before it (2024: September 7).
        {"before midnight change", Rule(240, 0, -60, Change(4, 6, 1, 23, 59, 59, 999), Change(9, 6, 1, 23, 59, 59, 999)),
         {2024, 9, 7, 23, 59, 59}, {2024, 9, 8, 3, 59, 59}},
        {"after midnight change", Rule(240, 0, -60, Change(4, 6, 1, 23, 59, 59, 999), Change(9, 6, 1, 23, 59, 59, 999)),
         {2024, 9, 8, 1, 0, 0}, {2024, 9, 8, 4, 0, 0}},
        // Biases that both count.
        {"standard bias", Rule(240, 60, -60, Change(10, 0, 5, 2), Change(4, 0, 1, 2)), {2006, 1, 15, 12, 0, 0},
         {2006, 1, 15, 17, 0, 0}},
    };
    for (const Conversion& c : both) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Split(LocalToUtc(c.rule, ToLocal(c.local))), c.utc);
        EXPECT_EQ(Split(UtcToLocal(c.rule, ToUtc(c.utc))), c.local);
    }

    // A local time that occurs twice is read as daylight time; one that never occurs
    // as daylight time too.
    const Conversion toUtc[] = {
        {"repeated hour", test::OldEastern(), {2006, 10, 29, 1, 30, 0}, {2006, 10, 29, 5, 30, 0}},
        {"skipped hour", test::OldEastern(), {2006, 4, 2, 2, 30, 0}, {2006, 4, 2, 6, 30, 0}},
        {"Sydney repeated hour", test::Sydney(), {2024, 4, 7, 2, 30, 0}, {2024, 4, 6, 15, 30, 0}},
        {"Sydney skipped hour", test::Sydney(), {2024, 10, 6, 2, 30, 0}, {2024, 10, 5, 15, 30, 0}},
        // Only a daylight change: always daylight time.
        {"daylight only", Rule(300, 0, -60, {}, Change(4, 0, 1, 2)), {2006, 1, 15, 12, 0, 0},
         {2006, 1, 15, 16, 0, 0}},
    };
    for (const Conversion& c : toUtc) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Split(LocalToUtc(c.rule, ToLocal(c.local))), c.utc);
    }
    // Both UTC times of the repeated hour.
    EXPECT_EQ(Split(UtcToLocal(test::OldEastern(), ToUtc({2006, 10, 29, 5, 30, 0}))), (CivilTime{2006, 10, 29, 1, 30, 0}));
    EXPECT_EQ(Split(UtcToLocal(test::OldEastern(), ToUtc({2006, 10, 29, 6, 30, 0}))), (CivilTime{2006, 10, 29, 1, 30, 0}));
}

TEST(ZoneArithmetic, ZonesEqual) {
    const ZoneRule base = test::OldEastern();
    struct Case {
        const char* name;
        ZoneRule other;
        bool equal;
    };
    ZoneRule years = base;
    years.standardYear = 2006;
    years.daylightYear = 1;
    ZoneRule transitionYear = base;
    transitionYear.standardDate.year = 2006;
    ZoneRule hour = base;
    hour.daylightDate.hour = 3;
    ZoneRule ms = base;
    ms.standardDate.milliseconds = 1;
    const Case cases[] = {
        {"itself", base, true},
        {"the year words", years, true},
        {"Bias split otherwise, same sums", Rule(240, 60, -0, base.standardDate, base.daylightDate), true},
        {"the year of a transition", transitionYear, false},
        {"the hour of a transition", hour, false},
        {"milliseconds", ms, false},
        {"daylight sum", Rule(300, 0, -30, base.standardDate, base.daylightDate), false},
        {"standard sum", Rule(300, 60, -60, base.standardDate, base.daylightDate), false},
        {"no daylight", Rule(300, 0, -60), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ZonesEqual(base, c.other), c.equal);
        EXPECT_EQ(ZonesEqual(c.other, base), c.equal);
    }
}

class CFixedZone : public ITimeZoneSource {
public:
    explicit CFixedZone(std::optional<ZoneRule> rule) : m_rule(rule) {}
    bool Read(TimeZoneInfo& out, std::uint32_t& error) override {
        if (!m_rule) {
            error = 1817;  // ERROR_RESOURCE_TYPE_NOT_FOUND: any code will do
            return false;
        }
        out = m_rule->ToInfo();
        error = 0;
        return true;
    }

private:
    std::optional<ZoneRule> m_rule;
};

TEST(ZoneArithmetic, LocalToZoneFromTheComputersZone) {
    const LocalTime tenAm = MakeLocal(2024, 7, 1, 10);
    CFixedZone eastern(test::Eastern());
    EXPECT_EQ(Split(LocalToZone(tenAm, test::India(), eastern)), (CivilTime{2024, 7, 1, 19, 30, 0}));
    EXPECT_EQ(Split(LocalToZone(tenAm, test::CentralEurope(), eastern)), (CivilTime{2024, 7, 1, 16, 0, 0}));
    // The same zone, or none to convert from: as it is.
    ZoneRule same = test::Eastern();
    same.daylightYear = 3;
    EXPECT_EQ(LocalToZone(tenAm, same, eastern), tenAm);
    CFixedZone unreadable(std::nullopt);
    EXPECT_EQ(LocalToZone(tenAm, test::India(), unreadable), tenAm);

    ZoneRule read = test::India();
    std::uint32_t error = 0;
    EXPECT_FALSE(ReadSystemZone(read, error, unreadable));
    EXPECT_EQ(error, 1817u);
    EXPECT_EQ(read, ZoneRule{});
    ASSERT_TRUE(ReadSystemZone(read, eastern));
    EXPECT_EQ(read, test::Eastern());
}

}  // namespace
}  // namespace mireo
