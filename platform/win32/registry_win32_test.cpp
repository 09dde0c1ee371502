#include <windows.h>

#include <gtest/gtest.h>

#include "platform/locale_info.h"
#include "platform/registry.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

constexpr const char* kTestKey = "Software\\Kelvo\\MireoPlatformTest";

TEST(RegistryWin32, KeepsTypesBytesAndNonAnsiNames) {
    IRegistry& reg = SystemRegistry();
    IRegistry::Key key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, kTestKey, true, true, key), kErrorSuccess);
    UniqueRegKey owner(&reg, key);
    const std::vector<std::uint8_t> text = regtext::SzBytes("C:\\Пользователи\\日本");
    ASSERT_EQ(reg.SetValue(key, "Папка", kRegSz, text.data(), static_cast<std::uint32_t>(text.size())), kErrorSuccess);
    // Followed by a character that is not NUL, else the registry would count a NUL in.
    const std::uint8_t unterminated[] = {'a', 0, 'b', 0, 'c', 0};
    ASSERT_EQ(reg.SetValue(key, "Raw", kRegSz, unterminated, 4), kErrorSuccess);
    const std::uint8_t three[] = {1, 2, 3};
    ASSERT_EQ(reg.SetValue(key, "Short", kRegDword, three, 3), kErrorSuccess);

    std::uint32_t type = 0, size = 0;
    ASSERT_EQ(reg.QueryValue(key, "ПАПКА", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegSz);
    ASSERT_EQ(size, text.size());
    std::vector<std::uint8_t> back(size);
    ASSERT_EQ(reg.QueryValue(key, "папка", &type, back.data(), &size), kErrorSuccess);
    EXPECT_EQ(back, text);
    std::uint8_t small[2];
    size = sizeof small;
    EXPECT_EQ(reg.QueryValue(key, "Папка", &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, text.size());
    std::uint8_t raw[16];
    size = sizeof raw;
    ASSERT_EQ(reg.QueryValue(key, "Raw", &type, raw, &size), kErrorSuccess);
    EXPECT_EQ(size, 4u);
    size = sizeof raw;
    ASSERT_EQ(reg.QueryValue(key, "Short", &type, raw, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(reg.QueryValue(key, "Missing", &type, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteValue(key, "Папка"), kErrorSuccess);
    EXPECT_EQ(reg.QueryValue(key, "Папка", &type, nullptr, &size), kErrorFileNotFound);

    IRegistry::Key child = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, std::string(kTestKey) + "\\Ключ", true, true, child), kErrorSuccess);
    reg.CloseKey(child);
    std::string name;
    ASSERT_EQ(reg.EnumSubKey(key, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "Ключ");
    EXPECT_EQ(reg.EnumSubKey(key, 1, name), kErrorNoMoreItems);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kelvo\\MireoPlatformTest\\\x041A\x043B\x044E\x0447");
}

TEST(RegistryWin32, ReadOnlyOpeningRefusesWrites) {
    IRegistry& reg = SystemRegistry();
    IRegistry::Key key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, kTestKey, true, true, key), kErrorSuccess);
    reg.CloseKey(key);
    ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, kTestKey, false, false, key), kErrorSuccess);
    UniqueRegKey owner(&reg, key);
    const std::uint8_t one[] = {1, 0, 0, 0};
    EXPECT_EQ(reg.SetValue(key, "x", kRegDword, one, 4), kErrorAccessDenied);
    IRegistry::Key missing = 0;
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software\\Kelvo\\NoSuchKey", false, false, missing), kErrorFileNotFound);
}

// The system's own date formatter is the oracle for the portable one (English names).
// A single "y" is left out: the portable formatter writes the year of the century
// without a leading zero, wine writes two digits.
TEST(LocaleWin32, FormatShortDateMatchesGetDateFormat) {
    const char* pictures[] = {"M/d/yyyy", "dd.MM.yyyy", "yyyy/M/d", "d-MMM-yy", "dd/MM/yyyy",
                              "dddd, MMMM dd, yyyy", "ddd d MMM yy", "'Day' d, ''M'' yy"};
    const int dates[][3] = {{2007, 3, 5}, {1999, 12, 31}, {2024, 2, 29}, {2001, 1, 1}, {2009, 10, 7}};
    for (const char* picture : pictures) {
        const std::u16string wide = regtext::ToUtf16(picture);
        for (const auto& d : dates) {
            SYSTEMTIME st{};
            st.wYear = static_cast<WORD>(d[0]);
            st.wMonth = static_cast<WORD>(d[1]);
            st.wDay = static_cast<WORD>(d[2]);
            wchar_t buf[128];
            const int n = ::GetDateFormatW(MAKELCID(0x0409, SORT_DEFAULT), 0, &st,
                                           reinterpret_cast<const wchar_t*>(wide.c_str()), buf, 128);
            ASSERT_GT(n, 0) << picture;
            const std::string expected =
                regtext::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buf), static_cast<std::size_t>(n - 1)));
            EXPECT_EQ(FormatShortDate(picture, d[0], d[1], d[2]), expected) << picture;
        }
    }
}

TEST(LocaleWin32, ReadsTheUserLocale) {
    EXPECT_FALSE(SystemLocaleInfo().ListSeparator().empty());
    const std::string picture = SystemLocaleInfo().ShortDateFormat();
    ASSERT_FALSE(picture.empty());
    int y = 0, m = 0, d = 0;
    EXPECT_TRUE(ParseShortDate(picture, FormatShortDate(picture, 2007, 3, 5), y, m, d)) << picture;
    EXPECT_EQ(y * 10000 + m * 100 + d, 20070305);
}

}  // namespace
}  // namespace mireo
