// The pieces of the file chooser that read and write its texts.
#include <gtest/gtest.h>

#include "addin/win32/pickers.h"

namespace mireo {
namespace {

TEST(OpenFileResult, OnePathOrAFolderWithItsNames) {
    using V = std::vector<std::wstring>;
    struct Case {
        const char* name;
        std::wstring buffer;
        V want;
    };
    const Case cases[] = {
        {"one file", std::wstring(L"C:\\in\\a.vcf\0\0", 13), V{L"C:\\in\\a.vcf"}},
        {"several", std::wstring(L"C:\\in\0a.vcf\0b c.vcf\0\0", 22), V{L"C:\\in\\a.vcf", L"C:\\in\\b c.vcf"}},
        {"root folder", std::wstring(L"C:\\\0a.vcf\0b.vcf\0\0", 17), V{L"C:\\a.vcf", L"C:\\b.vcf"}},
        {"nothing", std::wstring(L"\0\0", 2), V{}},
        {"no second NUL", std::wstring(L"C:\\in\0a.vcf", 11), V{L"C:\\in\\a.vcf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitOpenFileResult(c.buffer), c.want);
    }
}

TEST(OpenFileResult, ThousandsOfNames) {
    std::wstring buffer = L"D:\\cards";
    buffer.push_back(L'\0');
    for (int i = 0; i < 5000; ++i) {
        buffer += L"card-" + std::to_wstring(i) + L".vcf";
        buffer.push_back(L'\0');
    }
    buffer.push_back(L'\0');
    const auto paths = SplitOpenFileResult(buffer);
    ASSERT_EQ(paths.size(), 5000u);
    EXPECT_EQ(paths.back(), L"D:\\cards\\card-4999.vcf");
}

TEST(DialogFilter, BarsBecomeNulsAndTheListEndsTwice) {
    EXPECT_EQ(DialogFilter("VCard (*.vcf)|*.vcf||"), std::wstring(L"VCard (*.vcf)\0*.vcf\0\0\0\0", 23));
    EXPECT_EQ(DialogFilter("VCal (*.vcs;*.ics)|*.vcs;*.ics"), std::wstring(L"VCal (*.vcs;*.ics)\0*.vcs;*.ics\0\0", 32));
}

}  // namespace
}  // namespace mireo
