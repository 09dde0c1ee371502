#include "vcal/export/rrule_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace mireo {
namespace {

using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

RecurrencePattern Pattern(int type, int interval, int mask, int dom, int moy, int instance, int occurrences) {
    RecurrencePattern p;
    p.recurrenceType = type;
    p.interval = interval;
    p.dayOfWeekMask = mask;
    p.dayOfMonth = dom;
    p.monthOfYear = moy;
    p.instance = instance;
    p.noEndDate = occurrences == 0;
    p.occurrences = occurrences;
    p.startTime = hours(10);
    return p;
}

std::string Rule(const RecurrencePattern& p, int format, std::optional<int> firstDayOfWeek = std::nullopt) {
    RecurrenceLineOptions o;
    o.format = format;
    o.firstDayOfWeek = firstDayOfWeek;
    return RecurrenceRuleText(p, o);
}

TEST(RecurrenceRuleText, EveryRowOfBothTables) {
    struct Case {
        const char* name;
        RecurrencePattern pattern;
        const char* vcal;
        const char* ical;
    };
    RecurrencePattern byDate = Pattern(kRecursDaily, 1, 0, 0, 0, 0, 7);
    byDate.patternEndDate = MakeLocal(2007, 3, 11);  // the host gives the count of an ending pattern too
    const Case kCases[] = {
        {"daily every 2 days", Pattern(kRecursDaily, 2, 0, 0, 0, 0, 0), "D2 #0", "FREQ=DAILY;INTERVAL=2"},
        {"daily with a count", Pattern(kRecursDaily, 1, 0, 0, 0, 0, 10), "D1 #10", "FREQ=DAILY;COUNT=10;INTERVAL=1"},
        {"every weekday", Pattern(kRecursDaily, 0, 62, 0, 0, 0, 0), "W1 MO TU WE TH FR #0",
         "FREQ=DAILY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR"},
        {"ending on a date is written as its count", byDate, "D1 #7", "FREQ=DAILY;COUNT=7;INTERVAL=1"},
        {"weekly", Pattern(kRecursWeekly, 1, 42, 0, 0, 0, 10), "W1 MO WE FR #10",
         "FREQ=WEEKLY;COUNT=10;INTERVAL=1;BYDAY=MO,WE,FR"},
        {"weekly every 3 weeks", Pattern(kRecursWeekly, 3, 4, 0, 0, 0, 5), "W3 TU #5",
         "FREQ=WEEKLY;COUNT=5;INTERVAL=3;BYDAY=TU"},
        {"weekly with interval 0", Pattern(kRecursWeekly, 0, 65, 0, 0, 0, 0), "W1 SU SA #0",
         "FREQ=DAILY;INTERVAL=1;BYDAY=SU,SA"},
        {"monthly on a day", Pattern(kRecursMonthly, 2, 0, 15, 0, 0, 0), "MD2 15 #0",
         "FREQ=MONTHLY;INTERVAL=2;BYMONTHDAY=15"},
        {"monthly with interval 0", Pattern(kRecursMonthly, 0, 0, 31, 0, 0, 3), "MD1 31 #3",
         "FREQ=MONTHLY;COUNT=3;INTERVAL=1;BYMONTHDAY=31"},
        {"second Tuesday", Pattern(kRecursMonthNth, 1, 4, 0, 0, 2, 12), "MP1 2+ TU #12",
         "FREQ=MONTHLY;COUNT=12;INTERVAL=1;BYDAY=TU;BYSETPOS=2"},
        {"last Friday", Pattern(kRecursMonthNth, 1, 32, 0, 0, 5, 0), "MP1 5+ FR #0",
         "FREQ=MONTHLY;INTERVAL=1;BYDAY=FR;BYSETPOS=-1"},
        {"first weekday every 3 months", Pattern(kRecursMonthNth, 3, 62, 0, 0, 1, 0), "MP3 1+ MO TU WE TH FR #0",
         "FREQ=MONTHLY;INTERVAL=3;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1"},
        {"yearly on June 15", Pattern(kRecursYearly, 1, 0, 15, 6, 0, 5), "YM1 6 #5 MD1 15",
         "FREQ=YEARLY;COUNT=5;INTERVAL=1;BYMONTHDAY=15;BYMONTH=6"},
        {"yearly keeps INTERVAL=1", Pattern(kRecursYearly, 12, 0, 29, 2, 0, 0), "YM1 2 #0 MD1 29",
         "FREQ=YEARLY;INTERVAL=1;BYMONTHDAY=29;BYMONTH=2"},
        {"last Sunday of October", Pattern(kRecursYearNth, 1, 1, 0, 10, 5, 0), "YM1 10 #0 MP1 5+ SU",
         "FREQ=YEARLY;INTERVAL=1;BYDAY=SU;BYMONTH=10;BYSETPOS=-1"},
        {"third Monday of January", Pattern(kRecursYearNth, 1, 2, 0, 1, 3, 4), "YM1 1 #4 MP1 3+ MO",
         "FREQ=YEARLY;COUNT=4;INTERVAL=1;BYDAY=MO;BYMONTH=1;BYSETPOS=3"},
        {"a type the host does not have", Pattern(4, 1, 0, 0, 0, 0, 0), " #0", ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Rule(c.pattern, kCalFormatVCal), c.vcal);
        EXPECT_EQ(Rule(c.pattern, kCalFormatICal), c.ical);
        // The week start is iCalendar's alone.
        EXPECT_EQ(Rule(c.pattern, kCalFormatVCal, 1), c.vcal);
    }
}

TEST(RecurrenceRuleText, WeekStartFromTheFirstDayOfTheWeek) {
    const RecurrencePattern weekly = Pattern(kRecursWeekly, 1, 42, 0, 0, 0, 10);
    const char* base = "FREQ=WEEKLY;COUNT=10;INTERVAL=1;BYDAY=MO,WE,FR";
    EXPECT_EQ(Rule(weekly, kCalFormatICal, 0), std::string(base) + ";WKST=SU");
    EXPECT_EQ(Rule(weekly, kCalFormatICal, 1), std::string(base) + ";WKST=MO");
    EXPECT_EQ(Rule(weekly, kCalFormatICal, 6), std::string(base) + ";WKST=SA");
    EXPECT_EQ(Rule(weekly, kCalFormatICal, 7), base);
    EXPECT_EQ(Rule(weekly, kCalFormatICal, -1), base);
    EXPECT_EQ(Rule(Pattern(4, 1, 0, 0, 0, 0, 0), kCalFormatICal, 1), "");
}

TEST(RecurrenceRuleText, ACountTheHostCannotTakeBackIsWrittenAsTheEndDate) {
    // Daily from 2007 to 14 April 2010 on a computer one hour east of UTC: more
    // occurrences than a pattern ending after a count may have.
    RecurrenceLineOptions o;
    o.toUtc = [](LocalTime t) { return AsUtc(t - hours(1)); };
    RecurrencePattern longer = Pattern(kRecursDaily, 1, 0, 0, 0, 0, 1200);
    longer.patternEndDate = MakeLocal(2010, 4, 14);
    o.format = kCalFormatICal;
    EXPECT_EQ(RecurrenceRuleText(longer, o), "FREQ=DAILY;UNTIL=20100414T225959Z;INTERVAL=1");
    o.format = kCalFormatVCal;
    EXPECT_EQ(RecurrenceRuleText(longer, o), "D1 20100414T225959Z");
    RecurrencePattern yearly = Pattern(kRecursYearly, 1, 0, 15, 6, 0, 1000);
    yearly.patternEndDate = MakeLocal(3006, 6, 15);
    EXPECT_EQ(RecurrenceRuleText(yearly, o), "YM1 6 30060615T225959Z MD1 15");
    // Up to the host's limit, the count.
    longer.occurrences = 999;
    EXPECT_EQ(RecurrenceRuleText(longer, o), "D1 #999");
}

// Exceptions of a weekly Tuesday 10:00 series on a computer one hour east of UTC.
class ExceptionLines : public ::testing::Test {
protected:
    ExceptionLines() : weekly(Pattern(kRecursWeekly, 1, 4, 0, 0, 0, 0)) {
        options.toUtc = [](LocalTime t) { return AsUtc(t - hours(1)); };
    }
    static RecurrenceException Deleted(LocalTime original) { return {original, true, {}, false}; }
    static RecurrenceException Moved(LocalTime original, LocalTime start, bool newDayHasOccurrence = false) {
        return {original, false, start, newDayHasOccurrence};
    }
    std::string Lines(int format, const std::vector<RecurrenceException>& exceptions) {
        options.format = format;
        return RecurrenceLines(weekly, exceptions, options);
    }

    RecurrencePattern weekly;
    RecurrenceLineOptions options;
};

TEST_F(ExceptionLines, DeletedAndMovedOccurrences) {
    struct Case {
        const char* name;
        std::vector<RecurrenceException> exceptions;
        const char* ical;  // the lines after RRULE; vCalendar has ";" between the values
    };
    const LocalTime tue6 = MakeLocal(2007, 3, 6, 10), tue13 = MakeLocal(2007, 3, 13, 10);
    const Case kCases[] = {
        {"no exceptions", {}, ""},
        // A moved occurrence that keeps its time of day: the new day at the scheduled
        // time would be the RDATE itself, and an EXDATE removes it in every reader.
        {"deleted, and moved to the next day at the same time",
         {Deleted(tue6), Moved(tue13, MakeLocal(2007, 3, 14, 10))},
         "EXDATE:20070306T090000Z,20070313T090000Z\r\nRDATE:20070314T090000Z\r\n"},
        {"moved to another day and time also excludes the new day at the scheduled time",
         {Moved(tue13, MakeLocal(2007, 3, 14, 15, 30))},
         "EXDATE:20070313T090000Z,20070314T090000Z\r\nRDATE:20070314T143000Z\r\n"},
        {"unless the series has its own occurrence there",
         {Moved(tue13, MakeLocal(2007, 3, 14, 15, 30), true)},
         "EXDATE:20070313T090000Z\r\nRDATE:20070314T143000Z\r\n"},
        {"moved within its day", {Moved(tue13, MakeLocal(2007, 3, 13, 8))},
         "EXDATE:20070313T090000Z\r\nRDATE:20070313T070000Z\r\n"},
        {"two exceptions with one scheduled time give one EXDATE",
         {Deleted(tue6), Moved(tue6, MakeLocal(2007, 3, 6, 11))},
         "EXDATE:20070306T090000Z\r\nRDATE:20070306T100000Z\r\n"},
        {"a deletion is named by its day at the series' time, to the minute",
         {Deleted(MakeLocal(2007, 3, 20)), Deleted(MakeLocal(2007, 3, 27, 23, 59, 59))},
         "EXDATE:20070320T090000Z,20070327T090000Z\r\n"},
        {"two moves and a deletion",
         {Moved(tue6, MakeLocal(2007, 3, 8, 10)), Deleted(tue13), Moved(MakeLocal(2007, 3, 20, 10), MakeLocal(2007, 3, 19, 9))},
         "EXDATE:20070306T090000Z,20070313T090000Z,20070320T090000Z,20070319T090000Z\r\n"
         "RDATE:20070308T090000Z,20070319T080000Z\r\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string rrule = "RRULE:FREQ=WEEKLY;INTERVAL=1;BYDAY=TU\r\n";
        EXPECT_EQ(Lines(kCalFormatICal, c.exceptions), rrule + c.ical);
        std::string vcal = c.ical;
        for (std::size_t at = vcal.find(','); at != std::string::npos; at = vcal.find(',', at)) vcal[at] = ';';
        EXPECT_EQ(Lines(kCalFormatVCal, c.exceptions), "RRULE:W1 TU #0\r\n" + vcal);
    }
}

TEST_F(ExceptionLines, EveryDateInTheItemsZone) {
    // The item's zone is 6 hours east of the computer's; its name goes in TZID (iCalendar).
    options.useItemZone = true;
    options.zoneName = "Zone X";
    options.toItemZone = [](LocalTime t) { return t + hours(6); };
    weekly.startTime = hours(10) + seconds(45);
    const std::vector<RecurrenceException> exceptions = {
        Deleted(MakeLocal(2007, 3, 6)),                                       // 10:00 local, 16:00 in the zone
        Moved(MakeLocal(2007, 3, 13, 10), MakeLocal(2007, 3, 13, 12)),        // 16:00 -> 18:00 in the zone
        Moved(MakeLocal(2007, 3, 20, 10), MakeLocal(2007, 3, 20, 20)),        // 16:00 -> 02:00 on the 21st
    };
    EXPECT_EQ(Lines(kCalFormatICal, exceptions),
              "RRULE:FREQ=WEEKLY;INTERVAL=1;BYDAY=TU\r\n"
              "EXDATE;TZID=\"Zone X\":20070306T160000,20070313T160000,20070320T160000,20070321T160000\r\n"
              "RDATE;TZID=\"Zone X\":20070313T180000,20070321T020000\r\n");
    EXPECT_EQ(Lines(kCalFormatVCal, exceptions),
              "RRULE:W1 TU #0\r\n"
              "EXDATE:20070306T160000;20070313T160000;20070320T160000;20070321T160000\r\n"
              "RDATE:20070313T180000;20070321T020000\r\n");
}

TEST_F(ExceptionLines, ScheduledTimesFollowTheZonesWallClockWhereDaylightRulesDiffer) {
    // The store repeats the series at one time of the computer; readers repeat it at
    // DTSTART's wall-clock time of the item's zone. From 11 to 24 March the computer is
    // already on daylight time and the zone not yet, so the zone is an hour less ahead.
    struct Case {
        const char* name;
        std::chrono::seconds seriesTime;
        hours ahead;  // the zone's usual lead over the computer
        std::vector<RecurrenceException> exceptions;
        const char* lines;  // after RRULE
    };
    const auto shifted = [](LocalTime t) { return t >= MakeLocal(2007, 3, 11) && t < MakeLocal(2007, 3, 25); };
    const Case kCases[] = {
        {"deleted and moved occurrences in the weeks between the changes",
         hours(10),
         hours(6),
         {Deleted(MakeLocal(2007, 3, 13)), Moved(MakeLocal(2007, 3, 20, 10), MakeLocal(2007, 3, 20, 12))},
         "EXDATE;TZID=\"Zone X\":20070313T160000,20070320T160000\r\n"
         "RDATE;TZID=\"Zone X\":20070320T170000\r\n"},
        {"outside those weeks the plain conversion stands",
         hours(10),
         hours(6),
         {Deleted(MakeLocal(2007, 3, 6)), Moved(MakeLocal(2007, 3, 27, 10), MakeLocal(2007, 3, 27, 12))},
         "EXDATE;TZID=\"Zone X\":20070306T160000,20070327T160000\r\n"
         "RDATE;TZID=\"Zone X\":20070327T180000\r\n"},
        {"a series at midnight of the zone keeps its day",
         hours(18),
         hours(6),
         {Deleted(MakeLocal(2007, 3, 13))},
         "EXDATE;TZID=\"Zone X\":20070314T000000\r\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        weekly.startTime = c.seriesTime;
        weekly.patternStartDate = MakeLocal(2007, 3, 6);
        options.useItemZone = true;
        options.zoneName = "Zone X";
        const hours ahead = c.ahead;
        options.toItemZone = [=](LocalTime t) { return t + ahead - (shifted(t) ? hours(1) : hours(0)); };
        EXPECT_EQ(Lines(kCalFormatICal, c.exceptions), std::string("RRULE:FREQ=WEEKLY;INTERVAL=1;BYDAY=TU\r\n") + c.lines);
    }
}

// A registry holding one key with one value, as the host's options keep them.
class CFakeRegistry : public IRegistry {
public:
    std::string keyPath;
    bool hasValue = true;
    std::uint32_t type = kRegDword;
    std::vector<std::uint8_t> data;

    long OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) override {
        if (root != RegRoot::CurrentUser || path != keyPath || write || create) return kErrorFileNotFound;
        out = 1;
        ++open;
        return kErrorSuccess;
    }
    long OpenSubKey(Key, std::string_view, bool, Key&) override { return kErrorFileNotFound; }
    void CloseKey(Key) override { --open; }
    long QueryValue(Key, std::string_view name, std::uint32_t* t, std::uint8_t* d, std::uint32_t* size) override {
        if (!hasValue || name != "FirstDOW") return kErrorFileNotFound;
        *t = type;
        const std::uint32_t room = *size;
        *size = static_cast<std::uint32_t>(data.size());
        if (data.size() > room) return kErrorMoreData;
        if (!data.empty()) std::memcpy(d, data.data(), data.size());
        return kErrorSuccess;
    }
    long SetValue(Key, std::string_view, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return kErrorAccessDenied;
    }
    long DeleteValue(Key, std::string_view) override { return kErrorAccessDenied; }
    long EnumSubKey(Key, std::uint32_t, std::string&) override { return kErrorNoMoreItems; }

    int open = 0;
};

TEST(FirstDayOfWeek, OnlyADwordOfZeroToSix) {
    struct Case {
        const char* name;
        const char* key;
        bool hasValue;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<int> want;
    };
    const char* k11 = "Software\\Microsoft\\Office\\11.0\\Outlook\\Options\\Calendar";
    const Case kCases[] = {
        {"Sunday", k11, true, kRegDword, {0, 0, 0, 0}, 0},
        {"Monday", k11, true, kRegDword, {1, 0, 0, 0}, 1},
        {"Saturday", k11, true, kRegDword, {6, 0, 0, 0}, 6},
        {"7", k11, true, kRegDword, {7, 0, 0, 0}, std::nullopt},
        {"high bytes", k11, true, kRegDword, {1, 0, 0, 1}, std::nullopt},
        {"a text", k11, true, kRegSz, {'1', 0, 0, 0}, std::nullopt},
        {"binary", k11, true, kRegBinary, {1, 0, 0, 0}, std::nullopt},
        {"two bytes", k11, true, kRegDword, {1, 0}, std::nullopt},
        {"eight bytes", k11, true, kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {"no value", k11, false, kRegDword, {}, std::nullopt},
        {"another host version's key", "Software\\Microsoft\\Office\\12.0\\Outlook\\Options\\Calendar", true,
         kRegDword, {1, 0, 0, 0}, std::nullopt},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CFakeRegistry reg;
        reg.keyPath = c.key;
        reg.hasValue = c.hasValue;
        reg.type = c.type;
        reg.data = c.data;
        EXPECT_EQ(ReadFirstDayOfWeek(reg, 11), c.want);
        EXPECT_EQ(reg.open, 0);
    }
}

}  // namespace
}  // namespace mireo
