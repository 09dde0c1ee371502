#include "engine/settings_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "platform/registry_text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace mireo {
namespace {

// The tests run against the process's registry: a file of their own on Linux, the
// real (wine) registry on Windows, under a key of their own.
constexpr std::string_view kTestKey = "Software\\Kelvo\\MireoTest";
const char* const kExtraNames[] = {"Number", "Text", "Binary", "Long", "Odd"};

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        m_file = (std::filesystem::temp_directory_path() / ("mireo-settings-" + std::to_string(::getpid()) + ".reg")).string();
        std::filesystem::remove(m_file);
        SetRegistryFile(m_file);
#endif
        IRegistry& reg = SystemRegistry();
        IRegistry::Key key = 0;
        ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, kTestKey, true, true, key), kErrorSuccess);
        m_raw = UniqueRegKey(&reg, key);
        for (const SettingDef& def : AllSettings()) reg.DeleteValue(key, def.name);
        for (const char* name : kExtraNames) reg.DeleteValue(key, name);
    }
    void TearDown() override {
        m_raw.Reset();
#ifndef _WIN32
        SetRegistryFile("");
        std::filesystem::remove(m_file);
#endif
    }
    // Stores a value as it is, whatever its type and length. The data is followed by a
    // character that is not NUL: given a text whose next character is NUL, the Windows
    // registry takes that NUL into the value.
    void Raw(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
        const auto size = static_cast<std::uint32_t>(data.size());
        data.push_back(0xFF);
        data.push_back(0xFF);
        ASSERT_EQ(SystemRegistry().SetValue(m_raw.Get(), name, type, data.data(), size), kErrorSuccess);
    }
    CSettingsStore Store() { return CSettingsStore(SystemRegistry(), kTestKey); }

    std::string m_file;
    UniqueRegKey m_raw;
};

std::vector<std::uint8_t> Dword(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

TEST(SettingsTable, HoldsEveryValueOnceWithItsDefault) {
    std::set<std::string> names;
    for (const SettingDef& def : AllSettings()) {
        EXPECT_TRUE(names.insert(def.name).second) << def.name;
        EXPECT_EQ(FindSetting(def.name), &def);
    }
    EXPECT_EQ(names.size(), 34u);
    EXPECT_EQ(FindSetting("contacts.export.folder"), nullptr);  // names are exact
    struct Expected {
        const char* name;
        SettingKind kind;
        std::uint32_t limit;
        std::uint32_t number;
        const char* text;
    } expected[] = {
        {"Contacts.Export.Folder", SettingKind::Text, 260, 0, ""},
        {"Contacts.Export.Encoding", SettingKind::Text, 256, 0, ""},
        {"Contacts.Export.OneFile", SettingKind::Flag, 0, 1, nullptr},
        {"Contacts.Export.Format", SettingKind::Number, 0, 21, nullptr},
        {"Contacts.Export.Filter.Categories", SettingKind::Text, 0, 0, "Personal"},
        {"Contacts.Import.Filter.Categories", SettingKind::Text, 0, 0, "Personal"},
        {"Contacts.Export.OpenMail", SettingKind::Flag, 0, 0, nullptr},
        {"Appointments.Export.Folder", SettingKind::Text, 260, 0, ""},
        {"Appointments.Export.Format", SettingKind::Number, 0, 10, nullptr},
        {"Appointments.Export.Filter", SettingKind::Number, 0, 85, nullptr},
        {"Appointments.Export.Filter.Labels", SettingKind::Number, 0, 384, nullptr},
        {"Appointments.Export.Filter.Categories", SettingKind::Text, 0, 0, "Holiday"},
        {"Appointments.Import.TZDefault", SettingKind::Flag, 0, 1, nullptr},
        {"Appointments.Import.TZ", SettingKind::Binary, 48, 0, nullptr},
        {"Appointments.Import.Filter", SettingKind::Number, 0, 21, nullptr},
        {"Appointments.Import.Filter.SubjectLabels", SettingKind::Number, 0, 384, nullptr},
        {"Appointments.Import.Filter.Categories", SettingKind::Text, 0, 0, "Holiday"},
        {"DebugButton", SettingKind::Flag, 0, 0, nullptr},
    };
    for (const Expected& e : expected) {
        const SettingDef* def = FindSetting(e.name);
        ASSERT_NE(def, nullptr) << e.name;
        EXPECT_EQ(def->kind, e.kind) << e.name;
        EXPECT_EQ(def->limit, e.limit) << e.name;
        if (e.kind == SettingKind::Text) EXPECT_STREQ(def->defaultText, e.text) << e.name;
        else EXPECT_EQ(def->defaultNumber, e.number) << e.name;
    }
    EXPECT_EQ(DefaultNumberForHost(*FindSetting("Appointments.Export.Filter"), 9), 69u);
    EXPECT_EQ(DefaultNumberForHost(*FindSetting("Appointments.Export.Filter"), 10), 85u);
    EXPECT_EQ(DefaultNumberForHost(*FindSetting("Appointments.Export.Filter.Labels"), 9), 0u);
    EXPECT_EQ(DefaultNumberForHost(*FindSetting("Appointments.Export.Filter.Labels"), 12), 384u);
    EXPECT_EQ(DefaultNumberForHost(*FindSetting("Appointments.Import.Filter.SubjectLabels"), 9), 384u);
}

TEST_F(SettingsStoreTest, EmptyKeyGivesEveryDefault) {
    const CSettingsStore store = Store();
    ASSERT_TRUE(store.IsOpen());
    for (const SettingDef& def : AllSettings()) {
        switch (def.kind) {
            case SettingKind::Flag: EXPECT_EQ(store.GetFlag(def.name), def.defaultNumber != 0) << def.name; break;
            case SettingKind::Number: EXPECT_EQ(store.GetNumber(def.name), def.defaultNumber) << def.name; break;
            case SettingKind::Text:
                EXPECT_EQ(store.GetText(def.name), def.defaultText ? def.defaultText : "") << def.name;
                break;
            case SettingKind::Binary: EXPECT_FALSE(store.GetBinary(def.name)) << def.name; break;
        }
    }
    EXPECT_EQ(store.GetNumberForHost("Appointments.Export.Filter", 9), 69u);
    EXPECT_EQ(store.GetNumberForHost("Appointments.Export.Filter.Labels", 9), 0u);
    EXPECT_EQ(store.GetNumberForHost("Appointments.Export.Filter", 11), 85u);
}

TEST_F(SettingsStoreTest, WritesAreReadBackWithTheirRegistryTypes) {
    CSettingsStore store = Store();
    const std::string folder = "C:\\Users\\Ян\\日本\\Grüße";
    const std::vector<std::uint8_t> zone(48, 0x5A);
    EXPECT_TRUE(store.WriteText("Contacts.Export.Folder", folder));
    EXPECT_TRUE(store.WriteFlag("Contacts.Export.OneFile", false));
    EXPECT_TRUE(store.WriteNumber("Appointments.Export.Format", 20));
    EXPECT_TRUE(store.WriteBinary("Appointments.Import.TZ", zone));
    EXPECT_TRUE(store.WriteNumber("Appointments.Export.Filter", 0));

    EXPECT_EQ(store.GetText("Contacts.Export.Folder"), folder);
    EXPECT_FALSE(store.GetFlag("Contacts.Export.OneFile"));
    EXPECT_EQ(store.GetNumber("Appointments.Export.Format"), 20u);
    EXPECT_EQ(store.GetBinary("Appointments.Import.TZ"), zone);
    EXPECT_EQ(store.GetNumberForHost("Appointments.Export.Filter", 9), 0u);  // a stored value beats the host default

    IRegistry& reg = SystemRegistry();
    std::uint32_t type = 0, size = 0;
    ASSERT_EQ(reg.QueryValue(m_raw.Get(), "Contacts.Export.Folder", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, regtext::SzBytes(folder).size());  // UTF-16 with its NUL
    ASSERT_EQ(reg.QueryValue(m_raw.Get(), "Contacts.Export.OneFile", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    ASSERT_EQ(reg.QueryValue(m_raw.Get(), "Appointments.Import.TZ", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(size, 48u);
}

struct BadValue {
    const char* label;
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

class SettingsStoreBadValue : public SettingsStoreTest, public ::testing::WithParamInterface<BadValue> {};

// A value that cannot be taken reads as its default.
TEST_P(SettingsStoreBadValue, GivesTheDefault) {
    const BadValue& c = GetParam();
    Raw(c.name, c.type, c.data);
    const CSettingsStore store = Store();
    const SettingDef& def = *FindSetting(c.name);
    switch (def.kind) {
        case SettingKind::Flag: EXPECT_EQ(store.GetFlag(c.name), def.defaultNumber != 0); break;
        case SettingKind::Number: EXPECT_EQ(store.GetNumber(c.name), def.defaultNumber); break;
        case SettingKind::Text: EXPECT_EQ(store.GetText(c.name), def.defaultText); break;
        case SettingKind::Binary: EXPECT_FALSE(store.GetBinary(c.name)); break;
    }
}

const std::string kLongFolder(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsStoreBadValue,
    ::testing::Values(
        BadValue{"FormatAsText", "Appointments.Export.Format", kRegSz, regtext::SzBytes("20")},
        BadValue{"FormatFifteen", "Appointments.Export.Format", kRegDword, Dword(15)},
        BadValue{"FormatZero", "Appointments.Export.Format", kRegDword, Dword(0)},
        BadValue{"DwordOfThreeBytes", "Contacts.Export.Format", kRegDword, {30, 0, 0}},
        BadValue{"DwordOfEightBytes", "Appointments.Import.Filter", kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}},
        BadValue{"FlagAsBinary", "Contacts.Export.OneFile", kRegBinary, {0, 0, 0, 0}},
        BadValue{"TextAsDword", "Contacts.Export.Filter.Categories", kRegDword, Dword(0x41)},
        BadValue{"UnterminatedText", "Appointments.Import.Filter.Categories", kRegSz, {'W', 0, 'o', 0, 'r', 0}},
        BadValue{"UnterminatedLimitedText", "Contacts.Export.Folder", kRegSz, {'C', 0, ':', 0}},
        BadValue{"FolderLongerThanItsBuffer", "Contacts.Export.Folder", kRegSz, regtext::SzBytes(kLongFolder)},
        BadValue{"TextAsBinary", "Contacts.Import.Filter.Categories", kRegBinary, regtext::SzBytes("Work")},
        BadValue{"ZoneOf47Bytes", "Appointments.Import.TZ", kRegBinary, std::vector<std::uint8_t>(47, 1)},
        BadValue{"ZoneOf49Bytes", "Appointments.Import.TZ", kRegBinary, std::vector<std::uint8_t>(49, 1)},
        BadValue{"ZoneAsText", "Appointments.Import.TZ", kRegSz, std::vector<std::uint8_t>(48, 1)}),
    [](const ::testing::TestParamInfo<BadValue>& info) { return std::string(info.param.label); });

TEST_F(SettingsStoreTest, UnterminatedTextFailsWithInvalidData) {
    Raw("Text", kRegSz, {'a', 0, 'b', 0});
    Raw("Number", kRegDword, Dword(5));
    const CSettingsStore store = Store();
    std::string out = "kept";
    EXPECT_EQ(store.QueryText("Text", 260, out), kErrorInvalidData);
    EXPECT_EQ(store.QueryTextAnyLength("Text", out), kErrorInvalidData);
    EXPECT_EQ(store.QueryText("Number", 260, out), kErrorInvalidData);
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(store.QueryText("Missing", 260, out), kErrorFileNotFound);
}

TEST_F(SettingsStoreTest, ExpandableTextIsTakenAsItIs) {
    Raw("Contacts.Export.Folder", kRegExpandSz, regtext::SzBytes("%USERPROFILE%\\Desktop"));
    Raw("Contacts.Export.Filter.Categories", kRegExpandSz, regtext::SzBytes("Work;%X%"));
    const CSettingsStore store = Store();
    EXPECT_EQ(store.GetText("Contacts.Export.Folder"), "%USERPROFILE%\\Desktop");
    EXPECT_EQ(store.GetText("Contacts.Export.Filter.Categories"), "Work;%X%");
}

TEST_F(SettingsStoreTest, TextLimitCountsCharactersWithTheNul) {
    CSettingsStore store = Store();
    ASSERT_TRUE(store.WriteText("Text", std::string(259, 'a')));
    EXPECT_EQ(store.ReadText("Text", 260), std::string(259, 'a'));
    ASSERT_TRUE(store.WriteText("Text", std::string(260, 'a')));
    std::string out;
    EXPECT_EQ(store.QueryText("Text", 260, out), kErrorMoreData);
    EXPECT_FALSE(store.ReadText("Text", 260));
    // Characters, not bytes: 259 Cyrillic letters fit as well.
    std::string cyrillic;
    for (int i = 0; i < 259; ++i) cyrillic += "Ж";
    ASSERT_TRUE(store.WriteText("Text", cyrillic));
    EXPECT_EQ(store.ReadText("Text", 260), cyrillic);
}

TEST_F(SettingsStoreTest, TextOfAnyLengthIsReadInTwoSteps) {
    std::string longText;
    for (int i = 0; i < 10000; ++i) longText += static_cast<char>('a' + i % 26);
    CSettingsStore store = Store();
    ASSERT_TRUE(store.WriteText("Appointments.Import.Folder", longText));
    EXPECT_EQ(store.GetText("Appointments.Import.Folder"), longText);
    EXPECT_EQ(store.ReadTextAnyLength("Appointments.Import.Folder"), longText);
    // Text after an inner NUL is not part of the value.
    Raw("Odd", kRegSz, {'a', 0, 0, 0, 'b', 0, 0, 0});
    EXPECT_EQ(store.ReadTextAnyLength("Odd"), "a");
    Raw("Odd", kRegSz, {});
    EXPECT_FALSE(store.ReadTextAnyLength("Odd"));
}

TEST_F(SettingsStoreTest, EncodingNotInTheListBecomesTheFirstEntry) {
    const std::vector<std::string> supported = {"Western European (Windows)", "Unicode (UTF-8)", "Cyrillic (Windows)"};
    CSettingsStore store = Store();
    EXPECT_EQ(store.GetEncoding("Contacts.Export.Encoding", supported), supported[0]);
    ASSERT_TRUE(store.WriteText("Contacts.Export.Encoding", "Cyrillic (Windows)"));
    EXPECT_EQ(store.GetEncoding("Contacts.Export.Encoding", supported), "Cyrillic (Windows)");
    ASSERT_TRUE(store.WriteText("Appointments.Export.Encoding", "Klingon (pIqaD)"));
    EXPECT_EQ(store.GetEncoding("Appointments.Export.Encoding", supported), supported[0]);
    ASSERT_TRUE(store.WriteText("Appointments.Export.Encoding", "unicode (utf-8)"));
    EXPECT_EQ(store.GetEncoding("Appointments.Export.Encoding", supported), supported[0]);
    EXPECT_EQ(store.GetEncoding("Appointments.Export.Encoding", {}), "");
}

TEST_F(SettingsStoreTest, BinaryIsRawOfTheStoredLength) {
    CSettingsStore store = Store();
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 0xFF};
    ASSERT_TRUE(store.WriteBinary("Binary", bytes));
    EXPECT_EQ(store.ReadBinary("Binary"), bytes);
    EXPECT_EQ(store.ReadBinaryExact("Binary", 4), bytes);
    EXPECT_FALSE(store.ReadBinaryExact("Binary", 48));
    ASSERT_TRUE(store.WriteBinary("Binary", {}));
    EXPECT_EQ(store.ReadBinary("Binary"), std::vector<std::uint8_t>{});
    EXPECT_FALSE(store.ReadBinary("Missing"));
}

TEST_F(SettingsStoreTest, StoreWithoutKeyReadsDefaultsAndSkipsWrites) {
    CSettingsStore store{UniqueRegKey()};
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(store.WriteNumber("Contacts.Export.Format", 30));
    EXPECT_FALSE(store.WriteText("Contacts.Export.Folder", "x"));
    EXPECT_FALSE(store.WriteBinary("Appointments.Import.TZ", std::vector<std::uint8_t>(48)));
    EXPECT_EQ(store.GetNumber("Contacts.Export.Format"), 21u);
    EXPECT_TRUE(store.GetFlag("Contacts.Export.OpenFolder"));
    EXPECT_EQ(store.GetText("Contacts.Export.Filter.Categories"), "Personal");
    EXPECT_FALSE(store.ReadNumber("Contacts.Export.Format"));
    // Nothing reached the registry.
    EXPECT_FALSE(Store().ReadNumber("Contacts.Export.Format"));
}

TEST_F(SettingsStoreTest, DebugButtonHasItsOwnReadOnlyOpening) {
    EXPECT_FALSE(ReadDebugButton(SystemRegistry(), kTestKey));
    EXPECT_FALSE(ReadDebugButton(SystemRegistry(), "Software\\Kelvo\\MireoTestMissing"));
    Raw("DebugButton", kRegDword, Dword(1));
    EXPECT_TRUE(ReadDebugButton(SystemRegistry(), kTestKey));
    Raw("DebugButton", kRegSz, regtext::SzBytes("1"));
    EXPECT_FALSE(ReadDebugButton(SystemRegistry(), kTestKey));
    // The read-only opening does not create the key.
    IRegistry::Key key = 0;
    EXPECT_EQ(SystemRegistry().OpenKey(RegRoot::CurrentUser, "Software\\Kelvo\\MireoTestMissing", false, false, key),
              kErrorFileNotFound);
}

#ifndef _WIN32
TEST_F(SettingsStoreTest, KeyThatCannotBeCreatedLeavesTheStoreEmpty) {
    const std::string blocker = m_file + ".blocker";
    { std::FILE* f = std::fopen(blocker.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    SetRegistryFile(blocker + "/registry.reg");  // its folder is a regular file
    CSettingsStore store(SystemRegistry());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.GetNumber("Appointments.Import.Filter"), 21u);
    EXPECT_FALSE(store.WriteNumber("Appointments.Import.Filter", 1));
    std::filesystem::remove(blocker);
}

TEST_F(SettingsStoreTest, FailedWriteLeavesTheOldValue) {
    CSettingsStore store = Store();
    ASSERT_TRUE(store.WriteNumber("Contacts.Export.Format", 30));
    std::filesystem::remove(m_file);
    std::filesystem::create_directory(m_file);  // the next save cannot replace the file
    EXPECT_FALSE(store.WriteNumber("Contacts.Export.Format", 21));
    EXPECT_EQ(store.GetNumber("Contacts.Export.Format"), 30u);
    std::filesystem::remove(m_file);
}
#endif

}  // namespace
}  // namespace mireo
