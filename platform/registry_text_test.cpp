#include "platform/registry_text.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

TEST(RegistryText, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(regtext::ToUtf16("a\xC3"), (std::u16string{u'a', 0xFFFD}));
    EXPECT_EQ(regtext::ToUtf16("\xE0\x80\x80"), (std::u16string(3, 0xFFFD)));  // overlong
    EXPECT_EQ(regtext::ToUtf16("\xED\xA0\x80"), (std::u16string(3, 0xFFFD)));  // encoded surrogate
    EXPECT_EQ(regtext::ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
    EXPECT_EQ(regtext::ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(RegistryText, SzTextNeedsANulInsideTheData) {
    const std::vector<std::uint8_t> sz = regtext::SzBytes("Ян");
    EXPECT_EQ(sz, (std::vector<std::uint8_t>{0x2F, 0x04, 0x3D, 0x04, 0, 0}));
    std::string text;
    EXPECT_TRUE(regtext::SzText(sz.data(), sz.size(), text));
    EXPECT_EQ(text, "Ян");
    EXPECT_FALSE(regtext::SzText(sz.data(), sz.size() - 2, text));
    EXPECT_FALSE(regtext::SzText(sz.data(), sz.size() - 1, text));  // half a NUL is no NUL
    const std::uint8_t early[] = {'a', 0, 0, 0, 'b', 0};
    EXPECT_TRUE(regtext::SzText(early, sizeof early, text));
    EXPECT_EQ(text, "a");
}

TEST(RegistryText, FoldCaseCoversCommonAlphabets) {
    EXPECT_EQ(regtext::FoldCase("Software\\KELVO"), "software\\kelvo");
    EXPECT_EQ(regtext::FoldCase("ÄÖÜ ŁĘ ΣΩ ЯЁ"), "äöü łę σω яё");
    EXPECT_EQ(regtext::FoldCase("\xFF\xC3"), "\xFF\xC3");  // bytes that are no UTF-8 stay
}

}  // namespace
}  // namespace mireo
