#include "textformat/date_text.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

TEST(DateText, OleDatesWrittenToTheNearestSecond) {
    struct Case {
        const char* name;
        double date;
        const char* want;
    };
    const Case cases[] = {
        {"epoch", 0.0, "18991230T000000"},
        {"noon", 0.5, "18991230T120000"},
        {"before the epoch counts the time forward", -1.25, "18991229T060000"},
        {"leap day", 36585.0, "20000229T000000"},
        {"rounds to the nearest second", 39155.63155092593, "20070314T150926"},
        {"rounding up crosses midnight", 36585.0 - 0.1 / 86400, "20000229T000000"},
        {"first day of year 100", -657434.0, "01000101T000000"},
        {"noon of the first day of year 100", -657434.5, "01000101T120000"},
        {"last second of 9999", 2958465.0 + 86399.0 / 86400, "99991231T235959"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<LocalTime> t = LocalFromOle(c.date);
        ASSERT_TRUE(t);
        EXPECT_EQ(FormatDateTime(*t), c.want);
        EXPECT_EQ(FormatBasicDate(*t), std::string(c.want, 8));
    }
    EXPECT_EQ(FormatIsoDate(MakeLocal(1975, 4, 23, 10)), "1975-04-23");
    EXPECT_EQ(FormatDateTime(MakeUtc(2007, 3, 14, 15, 9, 26)), "20070314T150926Z");
}

TEST(DateText, StrictFormsAreValidated) {
    struct Case {
        const char* text;
        const char* want;  // FormatDateTime of the result, null when rejected
        bool hasTime;
        bool utc;
    };
    const Case cases[] = {
        {"19750423", "19750423T000000", false, false},
        {"1975-04-23", "19750423T000000", false, false},
        {" 20070314T150926 ", "20070314T150926", true, false},
        {"20070314T150926Z", "20070314T150926", true, true},
        {"20081231T235960Z", "20081231T235959", true, true},  // a leap second read as 59
        {"20000229", "20000229T000000", false, false},
        {"19000229", nullptr, false, false},
        {"20070431", nullptr, false, false},
        {"20071301", nullptr, false, false},
        {"20070001", nullptr, false, false},
        {"20070100", nullptr, false, false},
        {"20070314T240000", nullptr, false, false},
        {"20070314T236000", nullptr, false, false},
        {"20070314T235961", nullptr, false, false},
        {"20070314T1509", nullptr, false, false},
        {"20070314T", nullptr, false, false},
        {"20070314Z", nullptr, false, false},
        {"2007-03-14T150926", nullptr, false, false},
        {"2007-3-14", nullptr, false, false},
        {"200703141", nullptr, false, false},
        {"20070314T150926z", nullptr, false, false},
        {"20070314T150926ZZ", nullptr, false, false},
        {"+2007031", nullptr, false, false},
        {"", nullptr, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<DateTimeText> got = ParseDateTime(c.text);
        if (c.want == nullptr) {
            EXPECT_FALSE(got);
            continue;
        }
        ASSERT_TRUE(got);
        EXPECT_EQ(FormatDateTime(got->time), c.want);
        EXPECT_EQ(got->hasTime, c.hasTime);
        EXPECT_EQ(got->utc, c.utc);
    }
}

TEST(DateText, WrittenTimesReadBack) {
    for (const LocalTime t : {MakeLocal(100, 1, 1), MakeLocal(1899, 12, 29, 6), MakeLocal(2007, 3, 11, 2, 30, 5),
                              MakeLocal(9999, 12, 31, 23, 59, 59)}) {
        const std::optional<DateTimeText> local = ParseDateTime(FormatDateTime(t));
        ASSERT_TRUE(local);
        EXPECT_EQ(local->time, t);
        const std::optional<DateTimeText> utc = ParseDateTime(FormatDateTime(AsUtc(t)));
        ASSERT_TRUE(utc);
        EXPECT_EQ(utc->Utc(), AsUtc(t));
        const std::optional<DateTimeText> day = ParseDateTime(FormatIsoDate(t));
        ASSERT_TRUE(day);
        EXPECT_EQ(day->time, StartOfDay(t));
    }
}

TEST(DateText, LenientDatePrefixAsPeersWriteIt) {
    struct Case {
        const char* text;
        const char* want;  // FormatBasicDate, null when rejected
    };
    const Case cases[] = {
        {"1975-04-23", "19750423"}, {"1975-4-3", "19750403"},   {"19750423T101500Z", "19750423"},
        {"19750423 junk", "19750423"}, {" 0100-01-01 ", "01000101"}, {"0099-12-31", nullptr},
        {"19750431", nullptr},      {"1975-04", nullptr},       {"1975--04-23", nullptr},
        {"1975-0000000004-23", nullptr},  // ten digits: too large for any field
        {"7504", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<LocalTime> got = ParseDatePrefix(c.text);
        if (c.want == nullptr) {
            EXPECT_FALSE(got);
        } else {
            ASSERT_TRUE(got);
            EXPECT_EQ(FormatBasicDate(*got), c.want);
        }
    }
}

}  // namespace
}  // namespace mireo
