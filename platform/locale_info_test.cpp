#include "platform/locale_info.h"

#include <gtest/gtest.h>

#include <string>

namespace mireo {
namespace {

struct DateCase {
    const char* picture;
    int y, m, d;
    const char* text;
};

// Pictures of common user locales (en-US, ru-RU, ja-JP, en-GB) and a few of the rarer
// picture elements.
const DateCase kDates[] = {
    {"M/d/yyyy", 2007, 3, 5, "3/5/2007"},
    {"M/d/yyyy", 1999, 12, 31, "12/31/1999"},
    {"dd.MM.yyyy", 2007, 3, 5, "05.03.2007"},
    {"dd.MM.yyyy", 2024, 2, 29, "29.02.2024"},
    {"yyyy/M/d", 2007, 11, 9, "2007/11/9"},
    {"d-MMM-yy", 2007, 3, 5, "5-Mar-07"},
    {"d-MMM-yy", 1985, 9, 21, "21-Sep-85"},
    {"dd/MM/yyyy", 2001, 1, 1, "01/01/2001"},
    {"MM/dd/yy", 2029, 12, 31, "12/31/29"},
    {"MM/dd/yy", 1930, 1, 1, "01/01/30"},
    {"dddd, MMMM d, yyyy", 2007, 3, 5, "Monday, March 5, 2007"},
    {"ddd d MMM yyyy", 2000, 2, 29, "Tue 29 Feb 2000"},
    {"yyyyMMdd", 2007, 3, 5, "20070305"},
    {"d 'de' MMMM 'de' yyyy", 2007, 7, 4, "4 de July de 2007"},
    {"'Day' d, ''M'' y", 2003, 4, 6, "Day 6, 4 3"},
};

TEST(ShortDate, FormatsByPicture) {
    for (const DateCase& c : kDates)
        EXPECT_EQ(FormatShortDate(c.picture, c.y, c.m, c.d), c.text) << c.picture;
}

TEST(ShortDate, ParsesWhatItFormats) {
    for (const DateCase& c : kDates) {
        if (std::string(c.picture).find("'Day'") != std::string::npos) continue;  // "y" alone is ambiguous
        int y = 0, m = 0, d = 0;
        ASSERT_TRUE(ParseShortDate(c.picture, c.text, y, m, d)) << c.picture << " " << c.text;
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.picture;
    }
}

TEST(ShortDate, RoundTripsEveryDayOfSomeYears) {
    const char* pictures[] = {"M/d/yyyy", "dd.MM.yyyy", "yyyy/M/d", "d-MMM-yy", "dd/MM/yyyy", "dddd d MMMM yyyy"};
    for (const char* picture : pictures) {
        for (int year : {1999, 2000, 2007, 2028}) {
            for (int month = 1; month <= 12; ++month) {
                for (int day = 1; day <= 31; ++day) {
                    const std::string text = FormatShortDate(picture, year, month, day);
                    int y = 0, m = 0, d = 0;
                    const bool ok = ParseShortDate(picture, text, y, m, d);
                    if (!ok) {
                        // Only days that do not exist fail.
                        EXPECT_GE(day, 29) << picture << " " << text;
                        continue;
                    }
                    ASSERT_EQ(y * 10000 + m * 100 + d, year * 10000 + month * 100 + day) << picture << " " << text;
                }
            }
        }
    }
}

TEST(ShortDate, AcceptsLooseDigitsAndNamesInAnyCase) {
    struct Case {
        const char* picture;
        const char* text;
        int expected;
    } cases[] = {
        {"dd.MM.yyyy", "5.3.2007", 20070305},
        {"M/d/yyyy", "03/05/2007", 20070305},
        {"d-MMM-yy", "5-MAR-07", 20070305},
        {"d-MMM-yy", "5-march-07", 20070305},
        {"M/d/yyyy", "3/5/07", 20070305},
        {"M/d/yyyy", "3/5/45", 19450305},
    };
    for (const Case& c : cases) {
        int y = 0, m = 0, d = 0;
        ASSERT_TRUE(ParseShortDate(c.picture, c.text, y, m, d)) << c.text;
        EXPECT_EQ(y * 10000 + m * 100 + d, c.expected) << c.text;
    }
}

TEST(ShortDate, RejectsTextThatIsNoDate) {
    struct Case {
        const char* picture;
        const char* text;
    } cases[] = {
        {"M/d/yyyy", ""},           {"M/d/yyyy", "13/1/2007"},   {"M/d/yyyy", "2/29/2007"},
        {"dd.MM.yyyy", "31.04.2007"}, {"dd.MM.yyyy", "05/03/2007"}, {"M/d/yyyy", "3/5/2007 10:00"},
        {"d-MMM-yy", "5-Mrz-07"},   {"M/d/yyyy", "3/5/"},        {"ddd d MMM yyyy", "Mon 29 Feb 2000"},
        {"M/d/yyyy", "0/5/2007"},   {"yyyy/M/d", "2007/0/1"},
    };
    for (const Case& c : cases) {
        int y = -7, m = -7, d = -7;
        EXPECT_FALSE(ParseShortDate(c.picture, c.text, y, m, d)) << c.picture << " " << c.text;
        EXPECT_EQ(y, -7);  // outputs untouched on failure
    }
}

TEST(ShortDate, PrefixLeavesTheTimeToTheCaller) {
    int y = 0, m = 0, d = 0;
    std::size_t consumed = 0;
    ASSERT_TRUE(ParseShortDatePrefix("M/d/yyyy", "3/5/2007 10:00 AM", y, m, d, consumed));
    EXPECT_EQ(consumed, 8u);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20070305);
}

}  // namespace
}  // namespace mireo
