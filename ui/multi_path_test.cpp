#include "ui/multi_path.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace mireo {
namespace {

TEST(MultiPath, SetTextTokens) {
    struct Case {
        const char* name;
        const char* text;
        std::vector<std::string> paths;
    };
    const Case kCases[] = {
        {"empty", "", {}},
        {"one path with spaces, no quotes", "C:\\My Documents\\cards 2024", {"C:\\My Documents\\cards 2024"}},
        {"no quotes keeps outer spaces", " C:\\a b ", {" C:\\a b "}},
        {"no quotes keeps a tab", "C:\\a\tb", {"C:\\a\tb"}},
        {"two quoted", "\"C:\\a b\\x.vcf\" \"D:\\y.vcf\"", {"C:\\a b\\x.vcf", "D:\\y.vcf"}},
        {"one quoted", "\"C:\\a b\\x.vcf\"", {"C:\\a b\\x.vcf"}},
        {"unclosed quote takes the rest", "\"C:\\one.vcf\" \"C:\\My Files\\two", {"C:\\one.vcf", "C:\\My Files\\two"}},
        {"unclosed quote alone", "\"C:\\My Files", {"C:\\My Files"}},
        {"tabs separate outside quotes", "\"a\"\tb\tc", {"a", "b", "c"}},
        {"tab inside quotes kept", "\"a\tb\" c", {"a\tb", "c"}},
        {"spaces split bare tokens once quotes appear", "\"a\" b c", {"a", "b", "c"}},
        {"runs of separators drop empty tokens", "  \"a\"   \t  \"b\"  ", {"a", "b"}},
        {"empty quotes dropped", "\"\" \"a\" \"\"", {"a"}},
        {"quote ends a bare token", "ab\"c d\"ef", {"ab", "c d", "ef"}},
        {"lone quote", "\"", {}},
        {"quote at the end", "a \"", {"a"}},
        {"utf-8 kept", "\"C:\\\xd0\x9a\xd0\xbe\xd0\xbd\xd1\x82\xd0\xb0\xd0\xba\xd1\x82\xd1\x8b\" x",
         {"C:\\\xd0\x9a\xd0\xbe\xd0\xbd\xd1\x82\xd0\xb0\xd0\xba\xd1\x82\xd1\x8b", "x"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CMultiPath mp;
        mp.Add("left over from before");
        mp.SetText(c.text);
        EXPECT_EQ(mp.Paths(), c.paths);
        EXPECT_EQ(mp.Count(), static_cast<int>(c.paths.size()));
    }
}

TEST(MultiPath, JoinedTextRoundTrips) {
    struct Case {
        const char* name;
        const char* text;
    };
    const Case kCases[] = {
        {"two quoted", "\"C:\\a b\\x.vcf\" \"D:\\y.vcf\""},
        {"three quoted", "\"a\" \"b c\" \"d\""},
        {"one path with spaces", "C:\\My Documents\\x.vcf"},
        {"empty", ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CMultiPath mp;
        mp.SetText(c.text);
        EXPECT_EQ(mp.Text(), c.text);
        CMultiPath again;
        again.SetText(mp.Text());
        EXPECT_EQ(again.Paths(), mp.Paths());
    }
}

TEST(MultiPath, JoinedTextOfAddedPaths) {
    CMultiPath mp;
    EXPECT_EQ(mp.Text(), "");
    mp.Add("C:\\one");
    EXPECT_EQ(mp.Text(), "C:\\one");
    mp.Add("\"C:\\two words\"");
    EXPECT_EQ(mp.Text(), "\"C:\\one\" \"C:\\two words\"");
    EXPECT_FALSE(mp.Add("\"\""));
    EXPECT_EQ(mp.Count(), 2);
    EXPECT_EQ(mp.Path(1), "C:\\two words");
    EXPECT_EQ(mp.Path(2), "");
    EXPECT_EQ(mp.Path(-1), "");
    mp.Clear();
    EXPECT_EQ(mp.Count(), 0);
}

TEST(MultiPath, ExistenceModeDropsMissingPaths) {
    const std::set<std::string> existing = {"C:\\a.vcf", "C:\\dir with space"};
    std::vector<std::string> asked;
    CMultiPath mp([&](const std::string& p) {
        asked.push_back(p);
        return existing.count(p) > 0;
    });
    mp.SetText("\"C:\\a.vcf\" \"C:\\gone.vcf\" \"C:\\dir with space\"");
    EXPECT_EQ(mp.Paths(), (std::vector<std::string>{"C:\\a.vcf", "C:\\dir with space"}));
    // The check sees the path without its quotation marks.
    EXPECT_EQ(asked, (std::vector<std::string>{"C:\\a.vcf", "C:\\gone.vcf", "C:\\dir with space"}));

    mp.SetText("C:\\gone.vcf");
    EXPECT_EQ(mp.Count(), 0);
    EXPECT_EQ(mp.Text(), "");

    mp.SetExistenceCheck(nullptr);
    mp.SetText("C:\\gone.vcf");
    EXPECT_EQ(mp.Count(), 1);
}

TEST(MultiPath, HostileTextStaysBounded) {
    // Any byte sequence: no crash, and never more paths than bytes.
    std::string text;
    for (int i = 0; i < 4096; ++i) text += static_cast<char>((i * 37) % 256);
    CMultiPath mp;
    mp.SetText(text);
    EXPECT_LE(mp.Count(), static_cast<int>(text.size()));
    for (const std::string& p : mp.Paths()) {
        EXPECT_FALSE(p.empty());
        EXPECT_NE(p.front(), '"');
        EXPECT_NE(p.back(), '"');
    }
}

}  // namespace
}  // namespace mireo
