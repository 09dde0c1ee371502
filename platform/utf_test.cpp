#include "platform/utf.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mireo {
namespace {

using utf::BadUtf8;

TEST(Utf, WellFormedTextRoundTrips) {
    const std::string samples[] = {"", "plain", "Grüße", "Привет", "日本語", "emoji 😀 end",
                                   std::string("nul\0in", 6), "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF"};
    for (const std::string& s : samples) {
        for (BadUtf8 bad : {BadUtf8::kEachByte, BadUtf8::kMaximalSubpart, BadUtf8::kWholeSequence}) {
            EXPECT_EQ(utf::Utf16ToUtf8(utf::Utf8ToUtf16(s, bad)), s);
        }
    }
    EXPECT_EQ(utf::Utf8ToUtf16("a\xC3\xA9\xF0\x9F\x98\x80"), (std::u16string{u'a', 0xE9, 0xD83D, 0xDE00}));
}

// One row per kind of damage: what each rule makes of it.
TEST(Utf, IllFormedUtf8BecomesReplacementCharactersByRule) {
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t eachByte, maximalSubpart, wholeSequence;  // U+FFFD before the final 'x'
    };
    const Case kCases[] = {
        {"stray continuation", "\x80x", 1, 1, 1},
        {"lead that never starts a sequence", "\xC0\xAFx", 2, 2, 2},
        {"past F4", "\xF5\x80\x80\x80x", 4, 4, 4},
        {"cut short by text", "\xE2\x82x", 2, 1, 1},
        {"four-byte cut short", "\xF0\x9F\x98x", 3, 1, 1},
        {"overlong three bytes", "\xE0\x80\x80x", 3, 3, 1},
        {"encoded surrogate", "\xED\xA0\x80x", 3, 3, 1},
        {"past U+10FFFF", "\xF4\x90\x80\x80x", 4, 4, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf::Utf8ToUtf16(c.bytes, BadUtf8::kEachByte), std::u16string(c.eachByte, 0xFFFD) + u'x');
        EXPECT_EQ(utf::Utf8ToUtf16(c.bytes, BadUtf8::kMaximalSubpart), std::u16string(c.maximalSubpart, 0xFFFD) + u'x');
        EXPECT_EQ(utf::Utf8ToUtf16(c.bytes, BadUtf8::kWholeSequence), std::u16string(c.wholeSequence, 0xFFFD) + u'x');
    }
    // At the very end of the text nothing is read past it.
    EXPECT_EQ(utf::Utf8ToUtf16("a\xF0\x9F", BadUtf8::kEachByte), (std::u16string{u'a', 0xFFFD, 0xFFFD}));
    EXPECT_EQ(utf::Utf8ToUtf16("a\xF0\x9F", BadUtf8::kWholeSequence), (std::u16string{u'a', 0xFFFD}));
}

TEST(Utf, UnpairedSurrogatesAndNonScalarValuesBecomeReplacementCharacters) {
    EXPECT_EQ(utf::Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf::Utf16ToUtf8(std::u16string{u'x', 0xDC00}), "x\xEF\xBF\xBD");
    EXPECT_EQ(utf::Utf16ToUtf8(std::u16string{0xDC00, 0xD800}), "\xEF\xBF\xBD\xEF\xBF\xBD");  // wrong order
    EXPECT_EQ(utf::Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
    std::string out;
    utf::AppendUtf8(out, 0xDFFF);
    utf::AppendUtf8(out, 0x110000);
    utf::AppendUtf8(out, 0x10FFFF);
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
}

// No byte sequence may read past the text or stall: every call moves on.
TEST(Utf, EveryTwoByteInputDecodes) {
    for (BadUtf8 bad : {BadUtf8::kEachByte, BadUtf8::kMaximalSubpart, BadUtf8::kWholeSequence}) {
        for (unsigned a = 0; a < 256; ++a) {
            for (unsigned b = 0; b < 256; ++b) {
                const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
                std::size_t i = 0;
                int steps = 0;
                while (i < bytes.size()) {
                    utf::DecodeUtf8(bytes, i, bad);
                    ++steps;
                }
                ASSERT_EQ(i, 2u);
                ASSERT_LE(steps, 2);
            }
        }
    }
}

TEST(Utf, EscapeControlsForTheTerminal) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"plain/M\xC3\xBCller.vcf", "plain/M\xC3\xBCller.vcf"},
        {"a\x1B[2Jb", "a\\x1B[2Jb"},
        {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
        {"del\x7F", "del\\x7F"},
        {"c1\xC2\x9B", "c1\\x9B"},
        {"x\xE2\x80\xAEgpj.vcf", "x\\u202Egpj.vcf"},
        {"iso\xE2\x81\xA6z\xE2\x81\xA9", "iso\\u2066z\\u2069"},
        {"bad\xFF\xC3", "bad\\xFF\\xC3"},
        {"kept \xEF\xBF\xBD", "kept \xEF\xBF\xBD"},
        {"C:\\path\\x.vcf", "C:\\path\\x.vcf"},
    };
    for (const Case& c : cases) EXPECT_EQ(utf::EscapeControls(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace mireo
