#include "vcal/common/zone_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "vcal/common/testing/zone_rules.h"

namespace mireo {
namespace {

using test::Change;
using test::Rule;

std::string ReadGolden(const std::string& name) {
    std::ifstream in(std::string(MIREO_TESTDATA_DIR) + "/vcal/zones/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Compares line by line and names the first line that differs.
void ExpectGolden(const std::string& text, const std::string& name) {
    const std::string want = ReadGolden(name);
    ASSERT_FALSE(want.empty()) << name << " is missing";
    std::istringstream a(text), b(want);
    std::string la, lb;
    for (int line = 1; std::getline(b, lb); ++line) {
        ASSERT_TRUE(std::getline(a, la)) << name << ": ends before line " << line << " \"" << lb << "\"";
        ASSERT_EQ(la, lb) << name << ": line " << line;
    }
    EXPECT_FALSE(std::getline(a, la)) << name << ": more lines than the golden file, from \"" << la << "\"";
    EXPECT_EQ(text, want) << name;  // line ends too
}

struct Golden {
    const char* file;
    const char* name;
    ZoneRule rule;
};

const Golden kGolden[] = {
    // Bias 300, first Sunday of April and last Sunday of October.
    {"bias300", "(GMT-05:00)", test::OldEastern()},
    // Bias -330, no daylight time.
    {"bias-330", "(GMT+05:30)", test::India()},
    // Daylight time over the new year.
    {"sydney", "AUS Eastern Standard Time", test::Sydney()},
    // Changes at the last moment of a Saturday.
    {"santiago", "Pacific SA Standard Time",
     Rule(240, 0, -60, Change(4, 6, 1, 23, 59, 59, 999), Change(9, 6, 1, 23, 59, 59, 999))},
    {"split-bias", "Eastern (split bias)", Rule(240, 60, 0, Change(10, 0, 5, 2), Change(4, 0, 1, 2))},
    // A daylight change and no standard change; half an hour.
    {"daylight-only", "Odd", Rule(-570, 0, -30, {}, Change(10, 0, 1, 2))},
};

TEST(ZoneText, VTimezoneByteForByte) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.file);
        std::string out = "before\r\n";
        WriteVTimezone(out, g.name, g.rule);
        EXPECT_EQ(out.substr(0, 8), "before\r\n");
        ExpectGolden(out.substr(8), std::string(g.file) + ".ics");
    }
}

TEST(ZoneText, VCalLinesByteForByte) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.file);
        std::string out;
        WriteVCalZoneLines(out, g.rule);
        ExpectGolden(out, std::string(g.file) + ".vcs");
    }
}

TEST(ZoneText, Offsets) {
    struct Case {
        std::int64_t minutes;
        const char* ical;
        const char* vcal;
    };
    const Case cases[] = {
        {300, "-0500", "-05:00"},   {240, "-0400", "-04:00"},  {-330, "+0530", "+05:30"},
        {0, "+0000", "+00:00"},     {-60, "+0100", "+01:00"},  {-345, "+0545", "+05:45"},
        {30, "-0030", "-00:30"},    {-780, "+1300", "+13:00"}, {720, "-1200", "-12:00"},
        {6000, "-10000", "-100:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minutes);
        EXPECT_EQ(IcalOffsetText(c.minutes), c.ical);
        EXPECT_EQ(VcalOffsetText(c.minutes), c.vcal);
    }
}

TEST(ZoneText, Names) {
    EXPECT_EQ(ZoneNameFromBias(test::OldEastern()), "(GMT-05:00)");
    EXPECT_EQ(ZoneNameFromBias(Rule(-60, 0, -60)), "(GMT+01:00)");
    EXPECT_EQ(ZoneNameFromBias(Rule(0, 0, 0)), "(GMT+00:00)");
    EXPECT_EQ(ZoneNameFromBias(Rule(240, 60, -60)), "(GMT-05:00)");
    EXPECT_EQ(ZoneNameFromBias(test::India()), "(GMT+05:30)");

    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"W. Europe Standard Time", "W. Europe Standard Time"},
        {"Say \"hi\"", "Say 'hi'"},
        {"a\r\nb", "a  b"},
        {"tab\there", "tab here"},
        {std::string("nul\0end", 7), "nul end"},
        {"del\x7F", "del "},
        {"Zürich ", "Zürich "},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanZoneName(c.in), c.out);

    // The name is written cleaned, whoever calls.
    std::string out;
    WriteVTimezone(out, "A\"B\r\nC", test::India());
    EXPECT_NE(out.find("TZID:A'B  C\r\n"), std::string::npos);
}

}  // namespace
}  // namespace mireo
