#include "engine/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mireo {
namespace {

std::string Text(const CivilTime& c) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
    return buf;
}

TEST(OleDates, SplitToTheNearestSecondOnBothSidesOfTheEpoch) {
    struct Case { double ole; const char* want; };
    const Case kCases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.5, "1899-12-31 12:00:00"},
        {-1.25, "1899-12-29 06:00:00"},  // the fraction counts away from zero
        {-1.999999999, "1899-12-30 00:00:00"},  // rounds up to the next midnight in time order
        {39000.999999999, "2006-10-11 00:00:00"},
        {39146.0 + 9.5 / 24, "2007-03-05 09:30:00"},
        {kNoDate, "4501-01-01 00:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.ole);
        EXPECT_EQ(Text(SplitOleDate(c.ole)), c.want);
    }
}

TEST(OleDates, LocalTimesRoundTripAndRejectWhatTheHostNeverHolds) {
    for (double ole : {0.0, 1.5, -1.25, -400.75, 39147.25, 2958465.5, -657434.75}) {
        SCOPED_TRACE(ole);
        const std::optional<LocalTime> t = LocalFromOle(ole);
        ASSERT_TRUE(t);
        EXPECT_DOUBLE_EQ(OleFromLocal(*t), ole);
    }
    for (double ole : {kNoDate, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       3e6, -7e5, -657435.0, 2958465.0 + 86399.6 / 86400}) {
        EXPECT_FALSE(LocalFromOle(ole)) << ole;
    }
    EXPECT_EQ(OleFromLocal(std::optional<LocalTime>{}), kNoDate);
    EXPECT_EQ(OleFromLocal(kNoDateLocal), kNoDate);
    EXPECT_EQ(MakeOleDate(1899, 12, 29, 6), -1.25);
}

TEST(CivilDates, ValidationWeekdaysAndDayNumbers) {
    EXPECT_TRUE(IsValidCivil({1984, 2, 29, 23, 59, 59}));
    for (CivilTime bad : {CivilTime{1980, 2, 30}, CivilTime{1900, 2, 29}, CivilTime{2007, 13, 1},
                          CivilTime{2007, 0, 1}, CivilTime{2007, 1, 0}, CivilTime{2007, 1, 1, 24},
                          CivilTime{2007, 1, 1, 0, 60}, CivilTime{2007, 1, 1, 0, 0, 60}}) {
        EXPECT_FALSE(IsValidCivil(bad)) << Text(bad);
    }
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2007, 13), 0);
    EXPECT_EQ(Weekday(MakeLocal(2007, 3, 11, 2)), 0);  // a Sunday
    EXPECT_EQ(WeekdayOfDayNumber(0), 6);               // 1899-12-30 was a Saturday
    EXPECT_EQ(WeekdayOfDayNumber(-1), 5);
    for (std::int64_t n : {-700000LL, -1LL, 0LL, 1LL, 39147LL, 2958465LL}) {
        int y, m, d;
        CivilFromDayNumber(n, y, m, d);
        EXPECT_EQ(DayNumber(y, m, d), n);
    }
    // Fields beyond their range roll over as <chrono> does.
    EXPECT_EQ(Text(Split(MakeLocal(2007, 1, 32, 25))), "2007-02-02 01:00:00");
    EXPECT_EQ(Text(Split(MakeUtc(2007, 14, 1))), "2008-02-01 00:00:00");
}

TEST(OleDates, MinutesTruncateSecondsAndComeBack) {
    EXPECT_EQ(OleToMinutes(MakeOleDate(2007, 3, 5, 9, 30, 59)), OleToMinutes(MakeOleDate(2007, 3, 5, 9, 30)));
    for (std::int64_t m : {-3000LL, -1LL, 0LL, 1439LL, 56371620LL}) EXPECT_EQ(OleToMinutes(MinutesToOle(m)), m) << m;
}

}  // namespace
}  // namespace mireo
