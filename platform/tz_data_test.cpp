#include "platform/tz_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mireo::tzdata {
namespace {

constexpr std::int32_t kH = 3600;

// 2024-03-10 00:00:00 UTC and friends, as seconds since 1970.
constexpr std::int64_t At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    // Days from civil (proleptic Gregorian), Howard Hinnant's algorithm.
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (static_cast<std::int64_t>(era) * 146097 + doe - 719468) * 86400 + h * 3600 + mi * 60 + s;
}

TEST(PosixRule, ReadsNamesOffsetsAndDates) {
    using F = RuleDate::Form;
    struct Case {
        const char* text;
        const char* std;
        std::int32_t stdOffset;
        const char* dst;  // null: no daylight time
        std::int32_t dstOffset;
        RuleDate start, end;
    };
    const Case cases[] = {
        {"EST5EDT,M3.2.0,M11.1.0", "EST", -5 * kH, "EDT", -4 * kH, {F::MonthWeekDay, 0, 3, 2, 0, 7200},
         {F::MonthWeekDay, 0, 11, 1, 0, 7200}},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "CET", kH, "CEST", 2 * kH, {F::MonthWeekDay, 0, 3, 5, 0, 7200},
         {F::MonthWeekDay, 0, 10, 5, 0, 3 * kH}},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", "AEST", 10 * kH, "AEDT", 11 * kH, {F::MonthWeekDay, 0, 10, 1, 0, 7200},
         {F::MonthWeekDay, 0, 4, 1, 0, 3 * kH}},
        {"<+0530>-5:30", "+0530", 19800, nullptr, 0, {}, {}},
        {"IST-5:30", "IST", 19800, nullptr, 0, {}, {}},
        {"UTC0", "UTC", 0, nullptr, 0, {}, {}},
        {"<-03>+3", "-03", -3 * kH, nullptr, 0, {}, {}},
        // The daylight offset given, with half hours (Lord Howe).
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "+1030", 37800, "+11", 11 * kH, {F::MonthWeekDay, 0, 10, 1, 0, 7200},
         {F::MonthWeekDay, 0, 4, 1, 0, 7200}},
        // Seconds, and times beyond the day (RFC 8536).
        {"NZST-12:00:00NZDT-13:00:00,M9.5.0,M4.1.0/3", "NZST", 12 * kH, "NZDT", 13 * kH,
         {F::MonthWeekDay, 0, 9, 5, 0, 7200}, {F::MonthWeekDay, 0, 4, 1, 0, 3 * kH}},
        {"IST-2IDT,M3.4.4/26,M10.5.0", "IST", 2 * kH, "IDT", 3 * kH, {F::MonthWeekDay, 0, 3, 4, 4, 26 * kH},
         {F::MonthWeekDay, 0, 10, 5, 0, 7200}},
        {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", "-02", -2 * kH, "-01", -kH, {F::MonthWeekDay, 0, 3, 5, 0, -kH},
         {F::MonthWeekDay, 0, 10, 5, 0, 0}},
        {"<-04>4<-03>,M9.1.6/24,M4.1.6/24", "-04", -4 * kH, "-03", -3 * kH, {F::MonthWeekDay, 0, 9, 1, 6, 24 * kH},
         {F::MonthWeekDay, 0, 4, 1, 6, 24 * kH}},
        // No dates: the US rule.
        {"EST5EDT", "EST", -5 * kH, "EDT", -4 * kH, {F::MonthWeekDay, 0, 3, 2, 0, 7200},
         {F::MonthWeekDay, 0, 11, 1, 0, 7200}},
        // Julian days, counted without and with February 29.
        {"EST5EDT4,J60/2,J300/2", "EST", -5 * kH, "EDT", -4 * kH, {F::Julian1, 60, 0, 0, 0, 7200},
         {F::Julian1, 300, 0, 0, 0, 7200}},
        {"<+03>-3<+04>,0/0,J365/25", "+03", 3 * kH, "+04", 4 * kH, {F::Julian0, 0, 0, 0, 0, 0},
         {F::Julian1, 365, 0, 0, 0, 25 * kH}},
        {"ABC-3DEF,365/-167:59:59,M1.1.0/+167", "ABC", 3 * kH, "DEF", 4 * kH,
         {F::Julian0, 365, 0, 0, 0, -(167 * kH + 59 * 60 + 59)}, {F::MonthWeekDay, 0, 1, 1, 0, 167 * kH}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<PosixRule> rule = ParsePosixRule(c.text);
        ASSERT_TRUE(rule.has_value());
        EXPECT_EQ(rule->standardName, c.std);
        EXPECT_EQ(rule->standardOffset, c.stdOffset);
        EXPECT_EQ(rule->hasDaylight, c.dst != nullptr);
        if (c.dst == nullptr) continue;
        EXPECT_EQ(rule->daylightName, c.dst);
        EXPECT_EQ(rule->daylightOffset, c.dstOffset);
        EXPECT_EQ(rule->start, c.start);
        EXPECT_EQ(rule->end, c.end);
    }
}

TEST(PosixRule, RejectsWhatIsNotARule) {
    const char* bad[] = {
        "", "E5", "EST", "5", "EST5EDT,", "EST5EDT,M3.2.0", "EST5EDT,M3.2.0,", "EST5EDT,M3.2.0,M11.1.0,",
        "EST5EDT,M3.2.0,M11.1.0x", "EST5,M3.2.0,M11.1.0", "EST5EDT,,M3.2.0,M11.1.0", "EST5EDT,M0.2.0,M11.1.0",
        "EST5EDT,M13.2.0,M11.1.0", "EST5EDT,M3.0.0,M11.1.0", "EST5EDT,M3.6.0,M11.1.0", "EST5EDT,M3.2.7,M11.1.0",
        "EST5EDT,M3.2,M11.1.0", "EST5EDT,J0,J365", "EST5EDT,J366,J1", "EST5EDT,366,1", "EST5EDT,M3.2.0/168,M11.1.0",
        "EST5EDT,M3.2.0/1:60,M11.1.0", "EST25", "EST5:60", "EST5:30:60", "EST-", "EST+", "<EST5", "<E$T>5", "<>5",
        "<AB>5", "EST 5", "EST5 EDT", "EST5EDT4:00:00:00", "EST0005", "EST5EDT,M003.2.0,M11.1.0",
        "EST5EDT,M3.2.0/,M11.1.0", "EST5EDT,J1/-,J2",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParsePosixRule(text).has_value());
    }
    // Embedded NUL and bytes above 127 end the rule.
    EXPECT_FALSE(ParsePosixRule(std::string_view("EST5\0EDT", 8)).has_value());
    EXPECT_FALSE(ParsePosixRule("EST5EDT\xC3\xA9").has_value());
}

TEST(PosixRule, OffsetAroundTheChanges) {
    struct Case {
        const char* rule;
        std::int64_t time;
        std::int32_t offset;
    };
    const Case cases[] = {
        {"EST5EDT,M3.2.0,M11.1.0", At(2024, 3, 10, 6, 59, 59), -5 * kH},
        {"EST5EDT,M3.2.0,M11.1.0", At(2024, 3, 10, 7), -4 * kH},
        {"EST5EDT,M3.2.0,M11.1.0", At(2024, 11, 3, 5, 59, 59), -4 * kH},
        {"EST5EDT,M3.2.0,M11.1.0", At(2024, 11, 3, 6), -5 * kH},
        // Daylight time over the new year.
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", At(2024, 1, 1), 11 * kH},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", At(2024, 4, 6, 15, 59, 59), 11 * kH},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", At(2024, 4, 6, 16), 10 * kH},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", At(2024, 10, 5, 15, 59, 59), 10 * kH},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", At(2024, 10, 5, 16), 11 * kH},
        // J60 is March 1 in every year; 59 is February 29 in a leap year.
        {"EST5EDT4,J60/2,J300/2", At(2024, 3, 1, 6, 59, 59), -5 * kH},
        {"EST5EDT4,J60/2,J300/2", At(2024, 3, 1, 7), -4 * kH},
        {"EST5EDT4,59/2,J300/2", At(2024, 2, 29, 6, 59, 59), -5 * kH},
        {"EST5EDT4,59/2,J300/2", At(2024, 2, 29, 7), -4 * kH},
        {"EST5EDT4,59/2,J300/2", At(2023, 3, 1, 7), -4 * kH},
        // Daylight time all year.
        {"<+03>-3<+04>,0/0,J365/25", At(2024, 6, 1), 4 * kH},
        {"<+03>-3<+04>,0/0,J365/25", At(2024, 12, 31, 23), 4 * kH},
        {"IST-5:30", At(2024, 6, 1), 19800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " at " + std::to_string(c.time));
        const std::optional<PosixRule> rule = ParsePosixRule(c.rule);
        ASSERT_TRUE(rule.has_value());
        EXPECT_EQ(UtcOffsetAt(*rule, c.time), c.offset);
    }
}

SystemTime Change(int month, int weekday, int week, int h, int m = 0, int s = 0, int ms = 0) {
    return SystemTime{0,
                      static_cast<std::uint16_t>(month),
                      static_cast<std::uint16_t>(weekday),
                      static_cast<std::uint16_t>(week),
                      static_cast<std::uint16_t>(h),
                      static_cast<std::uint16_t>(m),
                      static_cast<std::uint16_t>(s),
                      static_cast<std::uint16_t>(ms)};
}

TEST(PosixRule, ToWindowsRule) {
    struct Case {
        const char* rule;
        TimeZoneInfo want;
        RuleFit fit;
    };
    const Case cases[] = {
        {"EST5EDT,M3.2.0,M11.1.0", {300, 0, -60, Change(11, 0, 1, 2), Change(3, 0, 2, 2)}, RuleFit::Exact},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {-60, 0, -60, Change(10, 0, 5, 3), Change(3, 0, 5, 2)}, RuleFit::Exact},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", {-600, 0, -60, Change(4, 0, 1, 3), Change(10, 0, 1, 2)}, RuleFit::Exact},
        {"<+0530>-5:30", {-330, 0, -60, {}, {}}, RuleFit::Exact},
        {"IST-5:30", {-330, 0, -60, {}, {}}, RuleFit::Exact},
        {"<-03>3", {180, 0, -60, {}, {}}, RuleFit::Exact},
        {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", {-630, 0, -30, Change(4, 0, 1, 2), Change(10, 0, 1, 2)},
         RuleFit::Exact},
        {"<+0545>-5:45:29", {-345, 0, -60, {}, {}}, RuleFit::Exact},
        // 24:00 is the last moment of the day before.
        {"<-04>4<-03>,M9.1.6/24,M4.1.6/24",
         {240, 0, -60, Change(4, 6, 1, 23, 59, 59, 999), Change(9, 6, 1, 23, 59, 59, 999)}, RuleFit::Exact},
        // Beyond the day: the weekday it falls on, in the same week.
        {"IST-2IDT,M3.4.4/26,M10.5.0", {-120, 0, -60, Change(10, 0, 5, 2), Change(3, 5, 4, 2)}, RuleFit::ShiftedDays},
        {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", {120, 0, -60, Change(10, 0, 5, 0), Change(3, 6, 5, 23)},
         RuleFit::ShiftedDays},
        {"EET-2EEST,M3.4.4/50,M10.4.4/50", {-120, 0, -60, Change(10, 6, 4, 2), Change(3, 6, 4, 2)},
         RuleFit::ShiftedDays},
        {"ABC-3DEF,M1.1.0/-167,M12.5.6/167", {-180, 0, -60, Change(12, 5, 5, 23), Change(1, 0, 1, 1)},
         RuleFit::ShiftedDays},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::optional<PosixRule> rule = ParsePosixRule(c.rule);
        ASSERT_TRUE(rule.has_value());
        RuleFit fit = RuleFit::FixedOffset;
        const std::optional<TimeZoneInfo> info = RuleToZone(*rule, &fit);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(*info, c.want);
        EXPECT_EQ(fit, c.fit);
        EXPECT_EQ(ToTimeZoneInfo(*rule, At(2024, 1, 1)), c.want);
    }
}

TEST(PosixRule, JulianDaysTakeTheOffsetOfTheMoment) {
    const std::optional<PosixRule> us = ParsePosixRule("EST5EDT4,J60/2,J300/2");
    ASSERT_TRUE(us.has_value());
    EXPECT_FALSE(RuleToZone(*us).has_value());
    RuleFit fit = RuleFit::Exact;
    EXPECT_EQ(ToTimeZoneInfo(*us, At(2024, 1, 15), &fit), (TimeZoneInfo{300, 0, -60, {}, {}}));
    EXPECT_EQ(fit, RuleFit::FixedOffset);
    EXPECT_EQ(ToTimeZoneInfo(*us, At(2024, 7, 15)), (TimeZoneInfo{240, 0, -60, {}, {}}));
    const std::optional<PosixRule> always = ParsePosixRule("<+03>-3<+04>,0/0,J365/25");
    ASSERT_TRUE(always.has_value());
    EXPECT_EQ(ToTimeZoneInfo(*always, At(2024, 1, 15)), (TimeZoneInfo{-240, 0, -60, {}, {}}));
}

// A TZif file: a version 1 block with one type, then the 64-bit block and the footer.
std::string Tzif(char version, const std::vector<std::int64_t>& times, const std::vector<std::uint8_t>& types,
                 const std::vector<std::int32_t>& offsets, const std::string& footer) {
    auto be32 = [](std::string& out, std::uint32_t v) {
        for (int i = 3; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
    };
    auto header = [&](std::string& out, std::uint32_t timecnt, std::uint32_t typecnt) {
        out += "TZif";
        out += version;
        out.append(15, '\0');
        for (std::uint32_t n : {0u, 0u, 0u, timecnt, typecnt, 4u}) be32(out, n);
    };
    std::string out;
    if (version == 0) {
        header(out, static_cast<std::uint32_t>(times.size()), static_cast<std::uint32_t>(offsets.size()));
        for (std::int64_t t : times) be32(out, static_cast<std::uint32_t>(t));
    } else {
        header(out, 0, 1);
        be32(out, 0);
        out += '\0';
        out += '\0';
        out += "UTC";
        out += '\0';
        header(out, static_cast<std::uint32_t>(times.size()), static_cast<std::uint32_t>(offsets.size()));
        for (std::int64_t t : times) {
            be32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(t) >> 32));
            be32(out, static_cast<std::uint32_t>(t));
        }
    }
    for (std::uint8_t t : types) out += static_cast<char>(t);
    for (std::int32_t o : offsets) {
        be32(out, static_cast<std::uint32_t>(o));
        out += '\0';
        out += '\0';
    }
    out += "ABC";
    out += '\0';
    if (version != 0) out += "\n" + footer + "\n";
    return out;
}

TEST(Tzif, OffsetsFromTransitionsThenFromTheFooter) {
    const std::int64_t t1 = At(2000, 4, 2, 7), t2 = At(2000, 10, 29, 6);
    const std::string file = Tzif('2', {t1, t2}, {1, 0}, {-5 * kH, -4 * kH}, "EST5EDT,M3.2.0,M11.1.0");
    const std::optional<TzifData> data = ReadTzif(file);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->footer, "EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(UtcOffsetAt(*data, At(1999, 7, 1)), -5 * kH);  // before the first: the first type
    EXPECT_EQ(UtcOffsetAt(*data, t1), -4 * kH);
    EXPECT_EQ(UtcOffsetAt(*data, t2 - 1), -4 * kH);
    EXPECT_EQ(UtcOffsetAt(*data, t2), -5 * kH);
    EXPECT_EQ(UtcOffsetAt(*data, At(2024, 7, 1)), -4 * kH);  // the footer's rule
    EXPECT_EQ(UtcOffsetAt(*data, At(2024, 12, 1)), -5 * kH);
    RuleFit fit = RuleFit::FixedOffset;
    EXPECT_EQ(ZoneOfTzif(file, At(2024, 1, 1), &fit),
              (TimeZoneInfo{300, 0, -60, Change(11, 0, 1, 2), Change(3, 0, 2, 2)}));
    EXPECT_EQ(fit, RuleFit::Exact);

    // No footer rule: the offset of the moment.
    const std::string bare = Tzif('3', {t1, t2}, {1, 0}, {-5 * kH, -4 * kH}, "");
    EXPECT_EQ(ZoneOfTzif(bare, At(2000, 6, 1), &fit), (TimeZoneInfo{240, 0, -60, {}, {}}));
    EXPECT_EQ(fit, RuleFit::FixedOffset);
    EXPECT_EQ(ZoneOfTzif(bare, At(2024, 6, 1)), (TimeZoneInfo{300, 0, -60, {}, {}}));
    // A footer that is not a rule counts as none.
    EXPECT_EQ(ZoneOfTzif(Tzif('2', {t1}, {1}, {0, 3600}, "nonsense"), At(2024, 6, 1)),
              (TimeZoneInfo{-60, 0, -60, {}, {}}));
    // Version 1: no footer, 32-bit times.
    const std::string v1 = Tzif(0, {t1, t2}, {1, 0}, {-5 * kH, -4 * kH}, "");
    ASSERT_TRUE(ReadTzif(v1).has_value());
    EXPECT_EQ(UtcOffsetAt(*ReadTzif(v1), t1 + 1), -4 * kH);
    // No transitions, only a rule.
    EXPECT_EQ(UtcOffsetAt(*ReadTzif(Tzif('2', {}, {}, {3600}, "CET-1CEST,M3.5.0,M10.5.0/3")), At(2024, 7, 1)),
              2 * kH);
}

TEST(Tzif, RejectsBrokenFiles) {
    const std::int64_t t1 = At(2000, 4, 2, 7);
    const std::string good = Tzif('2', {t1}, {1}, {0, 3600}, "CET-1CEST,M3.5.0,M10.5.0/3");
    ASSERT_TRUE(ReadTzif(good).has_value());
    // Every shorter piece of a file is not a file.
    for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(ReadTzif(good.substr(0, n)).has_value()) << n;

    std::string bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(ReadTzif(bad).has_value());
    bad = good;
    bad[4] = '5';  // unknown version
    EXPECT_FALSE(ReadTzif(bad).has_value());
    // A transition to a type that does not exist.
    EXPECT_FALSE(ReadTzif(Tzif('2', {t1}, {2}, {0, 3600}, "")).has_value());
    // Transitions out of order.
    EXPECT_FALSE(ReadTzif(Tzif('2', {t1, t1 - 1}, {1, 0}, {0, 3600}, "")).has_value());
    // Offsets beyond a day.
    EXPECT_FALSE(ReadTzif(Tzif('2', {t1}, {1}, {0, 86400}, "")).has_value());
    // Counts far beyond the file: no allocation, no reading past the end.
    bad = good;
    for (int i = 32; i < 36; ++i) bad[static_cast<std::size_t>(i)] = '\xFF';
    EXPECT_FALSE(ReadTzif(bad).has_value());
    bad = good;
    for (int i = 36; i < 40; ++i) bad[static_cast<std::size_t>(i)] = '\xFF';  // 2^32 - 1 types
    EXPECT_FALSE(ReadTzif(bad).has_value());
    bad = good;
    const std::size_t second = good.find("TZif", 4);
    ASSERT_NE(second, std::string::npos);
    for (std::size_t i = second + 32; i < second + 36; ++i) bad[i] = '\x7F';
    EXPECT_FALSE(ReadTzif(bad).has_value());
    // The footer must end with a line feed.
    EXPECT_FALSE(ReadTzif(good.substr(0, good.size() - 1)).has_value());
}

}  // namespace
}  // namespace mireo::tzdata
