// The ASCII text helpers every layer shares.
#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace mireo {
namespace {

TEST(Ascii, HexNumbersAreWholeTextsThatFit) {
    struct Case {
        const char* text;
        bool ok;
        std::uint32_t value;
    } cases[] = {
        {"0", true, 0},          {"ff", true, 255},         {"Ab", true, 0xAB},
        {"FFFFFFFF", true, 0xFFFFFFFFu},                    {"100000000", false, 0},  // too large
        {"", false, 0},          {"-1", false, 0},          {"+1", false, 0},
        {"0x10", false, 0},      {" 1", false, 0},          {"1 ", false, 0},
        {"1g", false, 0},        {"g", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t v = 7;
        EXPECT_EQ(ascii::ParseHex(c.text, v), c.ok);
        EXPECT_EQ(v, c.ok ? c.value : 7u) << "a failure leaves the value";
    }
    std::uint8_t byte = 0;
    EXPECT_TRUE(ascii::ParseHex("Fe", byte));
    EXPECT_EQ(byte, 0xFE);
    EXPECT_FALSE(ascii::ParseHex("100", byte));
    unsigned long decimal = 0;
    EXPECT_TRUE(ascii::ParseNumber("1234567", 10, decimal));
    EXPECT_EQ(decimal, 1234567u);
    EXPECT_FALSE(ascii::ParseNumber("12a", 10, decimal));
}

TEST(Ascii, CaseAndTrimming) {
    EXPECT_TRUE(ascii::EqualsNoCase("END:VCARD", "end:vCard"));
    EXPECT_FALSE(ascii::EqualsNoCase("END", "ENDS"));
    EXPECT_FALSE(ascii::EqualsNoCase("\xC3\x84", "\xC3\xA4")) << "only ASCII letters";
    EXPECT_TRUE(ascii::StartsWithNoCase("Charset=UTF-8", "CHARSET="));
    EXPECT_FALSE(ascii::StartsWithNoCase("CHAR", "CHARSET="));
    EXPECT_TRUE(ascii::EndsWithNoCase("cards.VCF", ".vcf"));
    EXPECT_FALSE(ascii::EndsWithNoCase("vcf", ".vcf"));
    EXPECT_TRUE(ascii::EqualsNoCase(u"con", "CON"));
    EXPECT_FALSE(ascii::EqualsNoCase(u"\uFF43on", "CON"));
    EXPECT_EQ(ascii::Lower("Mixed Case 1"), "mixed case 1");
    EXPECT_EQ(ascii::Upper("Mixed Case 1"), "MIXED CASE 1");

    EXPECT_EQ(ascii::Trim(" \t\r\nx y\r\n"), "x y");
    EXPECT_EQ(ascii::Trim("\r x \n", ascii::kBlanks), "\r x \n");
    EXPECT_EQ(ascii::Trim(" \tx\t ", ascii::kBlanks), "x");
    EXPECT_EQ(ascii::TrimLeft("  x  "), "x  ");
    EXPECT_EQ(ascii::TrimRight("  x  "), "  x");
    EXPECT_EQ(ascii::Trim(u"\t\u00A0x\u00A0 "), u"\u00A0x\u00A0") << "no-break space is no ASCII white space";
    EXPECT_TRUE(ascii::IsBlank(" \t\r\n"));
    EXPECT_TRUE(ascii::IsBlank(""));
    EXPECT_FALSE(ascii::IsBlank(" . "));
}

}  // namespace
}  // namespace mireo
