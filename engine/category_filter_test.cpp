// The category filter every runner asks: made once from the user's text, then asked
// for each item.
#include "engine/category_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/testing/recording_logger.h"

namespace mireo {
namespace {

constexpr const char* kSource = "CvCardExport::FilterContact";

TEST(CategoryFilter, DecidesByWholeNamesWithoutRegardToCase) {
    struct Case {
        const char* name;
        std::uint32_t mask;
        const char* filter;     // UTF-8, as typed
        const char* separator;  // the user's list separator
        std::u16string item;    // the item's categories
        bool passes;
    } cases[] = {
        {"no category bit", kFilterSkipPrivate, "Work", ",", u"Work", true},
        {"include, one of several", kFilterIncludeCategories, "Work, Home", ",", u"Travel,  HOME ", true},
        {"include, none", kFilterIncludeCategories, "Work, Home", ",", u"Travel", false},
        {"include, item without categories", kFilterIncludeCategories, "Work", ",", u"", false},
        {"exclude, one matches", kFilterExcludeCategories, "work", ",", u"Business,Work", false},
        {"exclude, none matches", kFilterExcludeCategories, "work", ",", u"Business", true},
        {"a prefix is no match", kFilterIncludeCategories, "Holi", ",", u"Holiday", false},
        {"a name spanning a separator is two", kFilterIncludeCategories, "Work,Home", ",", u"Work;Home", false},
        {"the user's separator", kFilterIncludeCategories, "Work; Home", ";", u"Home", true},
        {"a separator of two characters", kFilterIncludeCategories, "A::B", "::", u"x::b", true},
        {"no separator: ';'", kFilterIncludeCategories, "A;B", "", u"b", true},
        {"no-break and ideographic spaces trimmed", kFilterIncludeCategories, "\xC2\xA0Work\xE3\x80\x80", ",",
         u"\u3000work\u00A0", true},
        {"empty names dropped", kFilterIncludeCategories, ",, ,", ",", u", ,", false},
        {"Cyrillic supplement", kFilterIncludeCategories, "\xD3\x81", ",", u"\u04C2", true},
        {"Greek", kFilterExcludeCategories, "\xCE\xA3\xCE\xA9", ",", u"\u03C3\u03C9", false},
        {"both bits: a match excludes", kFilterIncludeCategories | kFilterExcludeCategories, "A", ",", u"A", false},
        {"both bits: no match does not include", kFilterIncludeCategories | kFilterExcludeCategories, "A", ",", u"B",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordingLogger log;
        CCategoryFilter filter(c.mask, c.filter, c.separator, log, kSource);
        EXPECT_EQ(filter.Passes([&] { return c.item; }), c.passes);
        EXPECT_TRUE(log.Messages().empty());
    }
}

TEST(CategoryFilter, ReadsAnItemsCategoriesOnlyWhenItMustAndLogsAnEmptyText) {
    CRecordingLogger log;
    int reads = 0;
    auto item = [&] {
        ++reads;
        return std::u16string(u"Work");
    };
    CCategoryFilter off(kFilterSkipPrivate, "Work", ",", log, kSource);
    EXPECT_TRUE(off.Passes(item));
    EXPECT_EQ(reads, 0);

    // A category bit with no text: every item passes, and each says so in the log.
    CCategoryFilter empty(kFilterIncludeCategories, "", ",", log, kSource);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(empty.Passes(item));
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(log.Count("filter.Categories empty", kSource), 3);
    ASSERT_FALSE(log.Messages().empty());
    EXPECT_EQ(log.Messages()[0].level, kWarning);

    // Blanks only are a text: its names are none, so nothing is included.
    CCategoryFilter blanks(kFilterIncludeCategories, " ; ", ";", log, kSource);
    EXPECT_FALSE(blanks.Passes(item));
    EXPECT_EQ(reads, 1);
}

TEST(CategoryFilter, SplitsLists) {
    EXPECT_EQ(SplitCategories(u" a ;b;; \t;c ", u";"), (std::vector<std::u16string>{u"a", u"b", u"c"}));
    EXPECT_EQ(SplitCategories(u"a, b", u""), std::vector<std::u16string>{u"a, b"}) << "';' when none is given";
    EXPECT_TRUE(SplitCategories(u"", u",").empty());
}

}  // namespace
}  // namespace mireo
