#include "textformat/text_escape.h"

#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
}  // namespace mireo
