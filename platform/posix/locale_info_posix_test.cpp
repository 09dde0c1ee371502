#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/locale_info.h"
#include "platform/registry.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

class LocaleInfoPosix : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = (std::filesystem::temp_directory_path() / ("mireo-locale-" + std::to_string(::getpid()) + ".reg")).string();
        std::filesystem::remove(m_path);
        SetRegistryFile(m_path);
    }
    void TearDown() override {
        SetRegistryFile("");
        std::filesystem::remove(m_path);
    }
    void Put(const char* name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
        IRegistry& reg = SystemRegistry();
        IRegistry::Key key = 0;
        ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Control Panel\\International", true, true, key), kErrorSuccess);
        UniqueRegKey owner(&reg, key);
        ASSERT_EQ(reg.SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())), kErrorSuccess);
    }
    std::string m_path;
};

TEST_F(LocaleInfoPosix, DefaultsAreThoseOfUnitedStatesEnglish) {
    EXPECT_EQ(SystemLocaleInfo().ListSeparator(), ",");
    EXPECT_EQ(SystemLocaleInfo().ShortDateFormat(), "M/d/yyyy");
}

TEST_F(LocaleInfoPosix, RegistryValuesOverrideTheDefaults) {
    Put("sList", kRegSz, regtext::SzBytes(";"));
    Put("sShortDate", kRegSz, regtext::SzBytes("dd.MM.yyyy"));
    EXPECT_EQ(SystemLocaleInfo().ListSeparator(), ";");
    EXPECT_EQ(SystemLocaleInfo().ShortDateFormat(), "dd.MM.yyyy");
    Put("sshortdate", kRegExpandSz, regtext::SzBytes("yyyy/M/d"));
    EXPECT_EQ(SystemLocaleInfo().ShortDateFormat(), "yyyy/M/d");
}

TEST_F(LocaleInfoPosix, UnusableValuesGiveTheDefaults) {
    Put("sList", kRegDword, {0x3B, 0, 0, 0});
    Put("sShortDate", kRegSz, {'d', 0, '.', 0});  // no terminating NUL
    EXPECT_EQ(SystemLocaleInfo().ListSeparator(), ",");
    EXPECT_EQ(SystemLocaleInfo().ShortDateFormat(), "M/d/yyyy");
    Put("sList", kRegSz, regtext::SzBytes(""));
    EXPECT_EQ(SystemLocaleInfo().ListSeparator(), ",");
}

}  // namespace
}  // namespace mireo
