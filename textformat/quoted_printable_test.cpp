#include "textformat/quoted_printable.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

TEST(QuotedPrintable, EncodesByTheRules) {
    struct Case {
        const char* name;
        std::string in;
        std::string want;
        bool blankSafe = false;
    };
    const Case cases[] = {
        {"printable copied", "Hello, World!", "Hello, World!\r\n"},
        {"equals sign", "a=b", "a=3Db\r\n"},
        {"line break", "a\r\nb", "a=0D=0Ab\r\n"},
        {"8-bit bytes upper-case hex", "\xE9\xFF", "=E9=FF\r\n"},
        {"empty value", "", "\r\n"},
        {"trailing space stays literal", "end ", "end \r\n"},
        {"soft break at 65", std::string(66, 'x'), std::string(65, 'x') + "=\r\nx\r\n"},
        {"no break after the last byte", std::string(65, 'x'), std::string(65, 'x') + "\r\n"},
        {"encoded byte crosses the limit", std::string(64, 'x') + "\x01y",
         std::string(64, 'x') + "=01=\r\ny\r\n"},
        {"space from column 64 encoded", std::string(64, 'x') + " y", std::string(64, 'x') + "=20=\r\ny\r\n"},
        {"continuation may start with a space", std::string(65, 'x') + " \tb", std::string(65, 'x') + "=\r\n \tb\r\n"},
        {"blank-safe: space starting a continuation", std::string(65, 'x') + " \tb",
         std::string(65, 'x') + "=\r\n=20\tb\r\n", true},
        {"blank-safe: tab starting a continuation", std::string(65, 'x') + "\t", std::string(65, 'x') + "=\r\n=09\r\n",
         true},
        {"blank-safe: a leading space of the value stays", " a", " a\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        AppendQuotedPrintable(c.in, out, c.blankSafe);
        EXPECT_EQ(out, c.want);
    }
}

TEST(QuotedPrintable, DecodesEitherCaseAndFailsOnWhatIsNoEscape) {
    struct Case {
        const char* name;
        std::string in;
        bool ok;
        std::string want;  // when ok
    };
    const Case cases[] = {
        {"upper-case hex", "M=C3=BCller", true, "M\xC3\xBCller"},
        {"lower-case hex", "M=c3=bcller", true, "M\xC3\xBCller"},
        {"mixed case", "=3d=3D", true, "=="},
        {"soft break CR LF", "ab=\r\ncd", true, "abcd"},
        {"soft break LF", "ab=\ncd", true, "abcd"},
        {"bare CR and LF dropped", "a\rb\nc", true, "abc"},
        {"zero byte dropped", "a=00b", true, "ab"},
        {"not hex", "x=G1y", false, ""},
        {"one digit at the end", "abc=A", false, ""},
        {"equals at the end", "abc=", false, ""},
        {"equals before CR alone", "a=\rb", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_EQ(DecodeQuotedPrintable(c.in, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.want);
        }
    }
}

TEST(QuotedPrintable, RepairKeepsLiteralEqualsSignsOnly) {
    struct Case {
        const char* name;
        std::string in;
        QuotedPrintableResult result;
        std::string want;
    };
    const Case cases[] = {
        {"valid as it is", "a=3Db", QuotedPrintableResult::kDecoded, "a=b"},
        {"spaces around an equals sign", "a = b", QuotedPrintableResult::kRepaired, "a = b"},
        {"equals at the end", "abc=", QuotedPrintableResult::kRepaired, "abc="},
        {"one hex digit at the end", "abc=A", QuotedPrintableResult::kRepaired, "abc=A"},
        {"letter after equals stays an escape", "x=G1y", QuotedPrintableResult::kUndecoded, "x=G1y"},
        {"lower-case escapes beside a literal one", "=e9 = =e9", QuotedPrintableResult::kRepaired,
         "\xE9 = \xE9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_EQ(DecodeQuotedPrintableOrKeep(c.in, out), c.result);
        EXPECT_EQ(out, c.want);
    }
}

TEST(QuotedPrintable, EveryByteAtEveryColumnComesBack) {
    for (std::size_t lead = 60; lead < 70; ++lead) {
        std::string in(lead, 'q');
        for (int b = 1; b < 256; ++b) in += static_cast<char>(b);
        in += " \t";  // white space at the end must survive too
        std::string encoded;
        AppendQuotedPrintable(in, encoded);
        ASSERT_TRUE(encoded.ends_with("\r\n"));
        encoded.resize(encoded.size() - 2);
        // No encoded line is longer than 65 characters and a soft break.
        std::size_t start = 0;
        for (std::size_t end; (end = encoded.find("\r\n", start)) != std::string::npos; start = end + 2) {
            EXPECT_LE(end - start, 68u);
        }
        std::string back;
        ASSERT_TRUE(DecodeQuotedPrintable(encoded, back)) << lead;
        EXPECT_EQ(back, in) << lead;
    }
}

TEST(QuotedPrintable, LongHostileRunsEndInOnePass) {
    // Runs of "=" and half escapes in both cases: the decoder and the repair pass go
    // through each byte once.
    std::string hostile;
    for (int i = 0; i < 200000; ++i) hostile += i % 3 == 0 ? "=a" : (i % 3 == 1 ? "=" : "=F");
    std::string out;
    EXPECT_EQ(DecodeQuotedPrintableOrKeep(hostile, out), QuotedPrintableResult::kUndecoded);
    EXPECT_EQ(out, hostile);
    hostile += "=\r\n=3d=3D=e9";
    EXPECT_FALSE(DecodeQuotedPrintable(hostile, out));
}

}  // namespace
}  // namespace mireo
