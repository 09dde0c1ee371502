#include "textformat/text_escape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <vector>

#include "platform/utf.h"

namespace mireo {
namespace {

std::u16string U(const char* s) { return std::u16string(s, s + std::strlen(s)); }

TEST(Escaping30, OneLeftToRightPass) {
    struct Case {
        const char* name;
        const char* in;
        bool component;
        const char* want;
    };
    const Case cases[] = {
        {"backslash before n stays two characters", "C:\\new", false, "C:\\\\new"},
        {"comma", "a,b", false, "a\\,b"},
        {"CR LF is one break", "a\r\nb", false, "a\\nb"},
        {"lone CR", "a\rb", false, "a\\nb"},
        {"lone LF", "a\nb", false, "a\\nb"},
        {"LF CR is two breaks", "a\n\rb", false, "a\\n\\nb"},
        {"semicolon kept in a text value", "a;b", false, "a;b"},
        {"semicolon escaped in a component", "a;b", true, "a\\;b"},
        {"colon kept", "a:b", true, "a:b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string out;
        AppendEscaped30(U(c.in), c.component, out);
        EXPECT_EQ(out, U(c.want));
    }
}

TEST(Unescaping, ExactlyThePairsOfEachRuleSet) {
    // iCalendar's rules as the calendar reader will give them: no "\N", a break is LF.
    constexpr EscapeRules kLowerNToLf{
        .semicolon = true, .comma = true, .backslash = true, .lowerN = true, .lineBreak = u"\n"};
    struct Case {
        const char* name;
        const char* in;
        const EscapeRules& rules;
        const char* want;
    };
    const Case cases[] = {
        {"3.0: every pair", "a\\\\b\\,c\\;d\\ne\\Nf", kVCard30Escapes, "a\\b,c;d\r\ne\r\nf"},
        {"3.0: one pass, an escaped backslash before n", "C:\\\\new", kVCard30Escapes, "C:\\new"},
        {"3.0: other backslashes stay", "\\a\\:\\", kVCard30Escapes, "\\a\\:\\"},
        {"2.1: only the semicolon", "a\\;b\\,c\\nd\\\\e", kVCard21Escapes, "a;b\\,c\\nd\\\\e"},
        {"2.1: a backslash before an escaped semicolon", "a\\\\;b", kVCard21Escapes, "a\\;b"},
        {"lower n only, LF", "a\\nb\\Nc", kLowerNToLf, "a\nb\\Nc"},
        {"no rules", "a\\;b", EscapeRules{}, "a\\;b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Unescape(U(c.in), c.rules), U(c.want));
    }
}

TEST(Unescaping, ComponentsSplitAtUnescapedSemicolons) {
    struct Case {
        const char* name;
        const char* in;
        const EscapeRules& rules;
        std::size_t maxParts;
        std::vector<const char*> want;
    };
    const Case cases[] = {
        {"plain", "a;b;c", kVCard30Escapes, 5, {"a", "b", "c"}},
        {"escaped semicolon stays", "a\\;b;c", kVCard30Escapes, 5, {"a\\;b", "c"}},
        {"escaped backslash then a separator", "a\\\\;b", kVCard30Escapes, 5, {"a\\\\", "b"}},
        {"2.1 keeps only the semicolon pair", "a\\\\;b", kVCard21Escapes, 5, {"a\\\\;b"}},
        {"the last part takes the rest", "a;b;c;d", kVCard21Escapes, 2, {"a", "b;c;d"}},
        {"empty parts", ";;", kVCard30Escapes, 5, {"", "", ""}},
        {"trailing backslash", "a;b\\", kVCard30Escapes, 5, {"a", "b\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string value = U(c.in);
        const auto parts = SplitComponents(value, c.maxParts, c.rules);
        ASSERT_EQ(parts.size(), c.want.size());
        for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(std::u16string(parts[i]), U(c.want[i])) << i;
    }
}

TEST(Escaping30, ComponentsComeBackThroughSplitAndUnescape) {
    const std::vector<std::u16string> parts = {u"C:\\new", u"a;b", u"x,y", u"line\r\nbreak", u"", u"\\;\\,"};
    std::u16string value;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) value += u';';
        AppendEscaped30(parts[i], true, value);
    }
    const auto split = SplitComponents(value, 10, kVCard30Escapes);
    ASSERT_EQ(split.size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(Unescape(split[i], kVCard30Escapes), parts[i]) << i;
}

TEST(Escaping, BytesOfValuesThatAreNotEscapedOtherwise) {
    struct Case {
        const char* name;
        void (*append)(std::string_view, std::string&);
        const char* in;
        const char* want;
    };
    const Case cases[] = {
        {"2.1 component semicolons", AppendEscapedSemicolons, "a;b\\c", "a\\;b\\c"},
        {"line breaks of every kind", AppendLineBreaksEscaped, "a\r\nb\rc\nd\n\re", "a\\nb\\nc\\nd\\n\\ne"},
        {"no break, nothing changes", AppendLineBreaksEscaped, "a;b,c\\", "a;b,c\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "head:";
        c.append(c.in, out);
        EXPECT_EQ(out, std::string("head:") + c.want);
    }
}

TEST(Utf8Fast, WellFormedTextEqualsTheGeneralConversionBothWays) {
    // Every length of sequence, at the edges of its range, next to ASCII runs.
    const std::string kTexts[] = {
        "",
        "plain ASCII, with ; and , and \\",
        "caf\xC3\xA9 \xC2\x80\xDF\xBF",
        "\xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBD \xEF\xBF\xBF",
        "\xF0\x90\x80\x80 emoji \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
        "\xD0\x9C\xD0\xB8\xD1\x80 \xE4\xB8\xAD\xE6\x96\x87 trailing",
    };
    for (const std::string& utf8 : kTexts) {
        SCOPED_TRACE(utf8);
        std::u16string wide = u"kept:";
        ASSERT_TRUE(AppendUtf8AsUtf16(utf8, wide));
        EXPECT_EQ(wide, u"kept:" + utf::Utf8ToUtf16(utf8));
        std::string back = "kept:";
        ASSERT_TRUE(AppendUtf16AsUtf8(wide.substr(5), back));
        EXPECT_EQ(back, "kept:" + utf8);
        EXPECT_EQ(back.substr(5), utf::Utf16ToUtf8(wide.substr(5)));
    }
}

// ASCII is taken eight bytes at a time: every sequence length at every offset of a
// word, with ASCII after it, converts as the general conversion does; an ill-formed
// byte at any offset leaves the text as it was.
TEST(Utf8Fast, EverySequenceAtEveryOffsetOfAWord) {
    const std::string kSequences[] = {"", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    for (std::size_t prefix = 0; prefix <= 17; ++prefix) {
        for (const std::string& sequence : kSequences) {
            for (std::size_t suffix : {0, 1, 7, 8, 9}) {
                const std::string utf8 =
                    std::string(prefix, 'a') + sequence + std::string(suffix, 'z') + sequence + sequence;
                SCOPED_TRACE(utf8);
                std::u16string wide = u"k";
                ASSERT_TRUE(AppendUtf8AsUtf16(utf8, wide));
                EXPECT_EQ(wide, u"k" + utf::Utf8ToUtf16(utf8));
                std::u16string kept = u"k";
                EXPECT_FALSE(AppendUtf8AsUtf16(utf8 + std::string(suffix, 'y') + "\xFF" + std::string(prefix, 'x'), kept));
                EXPECT_EQ(kept, u"k");
            }
        }
    }
}

TEST(Utf8Fast, IllFormedInputIsLeftToTheConverter) {
    const std::string kBytes[] = {
        "ab\x80",                  // a lone trail byte
        "ab\xC3",                  // a sequence cut off at the end
        "\xC3(x",                  // a lead without its trail
        "\xC0\xAF",               // overlong "/"
        "\xE0\x80\xAF",          // overlong, three bytes
        "\xED\xA0\x80",          // an encoded surrogate
        "\xF4\x90\x80\x80",     // past U+10FFFF
        "\xF5\x80\x80\x80",     // no such lead
        "ok \xFF",
    };
    for (const std::string& bytes : kBytes) {
        SCOPED_TRACE(bytes);
        std::u16string out = u"kept";
        EXPECT_FALSE(AppendUtf8AsUtf16(bytes, out));
        EXPECT_EQ(out, u"kept");
    }
    const std::u16string kWide[] = {std::u16string(u"a") + char16_t(0xD800), std::u16string(1, char16_t(0xDC00)) + u"b",
                                    std::u16string(u"x") + char16_t(0xD83D) + u"y"};
    for (const std::u16string& text : kWide) {
        std::string out = "kept";
        EXPECT_FALSE(AppendUtf16AsUtf8(text, out));
        EXPECT_EQ(out, "kept");
    }
}

// The forms that fill a given string and a given array agree with the ones that make
// their own, for every rule set, and keep what was there before.
TEST(TextEscape, InPlaceFormsAgreeWithTheReturningOnes) {
    const std::u16string kValues[] = {u"", u"plain", u"a\\;b;c", u"\\", u"x\\", u";;;", u"a\\nb\\Nc\\,d\\\\e",
                                      u"1;2;3;4;5;6;7;8;9", u"a\\\\;b", u"\\q;\\;;"};
    const EscapeRules* kRules[] = {&kVCard21Escapes, &kVCard30Escapes};
    for (const std::u16string& value : kValues) {
        for (const EscapeRules* rules : kRules) {
            SCOPED_TRACE(utf::Utf16ToUtf8(value));
            std::u16string out = u"kept:";
            AppendUnescaped(value, *rules, out);
            EXPECT_EQ(out, u"kept:" + Unescape(value, *rules));
            for (std::size_t max = 1; max <= 9; ++max) {
                const std::vector<std::u16string_view> expected = SplitComponents(value, max, *rules);
                std::vector<std::u16string_view> parts(max);
                const std::size_t n = SplitComponents(value, std::span(parts), *rules);
                ASSERT_EQ(n, expected.size()) << max;
                for (std::size_t i = 0; i < n; ++i) {
                    EXPECT_EQ(parts[i], expected[i]);
                    // Views into the value itself, not copies.
                    EXPECT_GE(parts[i].data(), value.data());
                }
            }
            EXPECT_EQ(SplitComponents(value, std::span<std::u16string_view>(), *rules), 0u);
        }
    }
}

}  // namespace
}  // namespace mireo
