// The one case fold: which names are the same without regard to case, on both
// platforms (the Windows build folds with the system's tables).
#include "platform/case_fold.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry_text.h"

namespace mireo {
namespace {

TEST(CaseFold, NamesThatDifferOnlyInCaseAreEqual) {
    struct Case {
        const char* name;
        std::u16string a, b;
    } cases[] = {
        {"ASCII", u"Business", u"bUSINESS"},
        {"Latin-1", u"M\u00DCLLER \u00C5SA", u"m\u00FCller \u00E5sa"},
        {"y with diaeresis", u"\u0178", u"\u00FF"},
        {"Latin Extended-A pairs", u"\u0141\u0118\u0160\u017D\u0139", u"\u0142\u0119\u0161\u017E\u013A"},
        {"Greek", u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C3"},
        {"Cyrillic", u"\u041D\u0410\u0422\u0410\u041B\u042C\u042F \u0401\u0416", u"\u043D\u0430\u0442\u0430\u043B\u044C\u044F \u0451\u0436"},
        // U+04C1/U+04C2 matched in the store's Restrict but not in the category filter
        // while each had its own table.
        {"Cyrillic supplement", u"\u04C1\u0490\u04E8", u"\u04C2\u0491\u04E9"},
        {"full-width Latin", u"\uFF37\uFF2F\uFF32\uFF2B", u"\uFF57\uFF4F\uFF52\uFF4B"},
        {"digits and signs", u"A-1 (b)", u"a-1 (B)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(EqualsIgnoringCase(c.a, c.b));
        EXPECT_TRUE(EqualsIgnoringCase(c.b, c.a));
        EXPECT_EQ(FoldCase(c.a), FoldCase(c.b));
        EXPECT_EQ(FoldCase(c.a).size(), c.a.size()) << "a fold keeps the length";
    }
}

TEST(CaseFold, DifferentNamesStayDifferent) {
    struct Case {
        const char* name;
        std::u16string a, b;
    } cases[] = {
        {"another letter", u"Work", u"Word"},
        {"a prefix", u"Holi", u"Holiday"},
        {"sharp s is not folded to ss", u"Stra\u00DFe", u"STRASSE"},
        {"multiplication sign", u"\u00D7", u"\u00F7"},
        {"Latin and Cyrillic look-alikes", u"A", u"\u0410"},
        {"surrogate pairs", u"\U0001F600", u"\U0001F601"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(EqualsIgnoringCase(c.a, c.b));
    }
    // Dotted capital I and dotless small i pair with i and I, not with each other.
    EXPECT_FALSE(EqualsIgnoringCase(u"\u0130", u"\u0131"));
#ifndef _WIN32
    // The Linux table folds final sigma with sigma, as the store's Restrict always did;
    // Windows' own tables keep them apart.
    EXPECT_TRUE(EqualsIgnoringCase(u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"));
#endif
}

TEST(CaseFold, Utf8KeepsBytesThatAreNoUtf8) {
    EXPECT_EQ(FoldCaseUtf8("Software\\KELVO \xC3\x84\xD0\xAF"), "software\\kelvo \xC3\xA4\xD1\x8F");
    EXPECT_EQ(FoldCaseUtf8("A\xFF" "B\xC3"), "a\xFF" "b\xC3");
    EXPECT_EQ(FoldCaseUtf8(""), "");
    // The registry's names use the same fold.
    EXPECT_EQ(regtext::FoldCase("\xD3\x81"), "\xD3\x82");  // U+04C1 -> U+04C2
}

}  // namespace
}  // namespace mireo
