#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/posix/registry_file.h"
#include "platform/registry_text.h"
#include "platform/testing/scratch_folder.h"
#include "platform/time_zone.h"
#include "platform/tz_data.h"
#include "platform/windows_zones.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the length of a test (unset: null).
class CEnvVar {
public:
    CEnvVar(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        Set(value);
    }
    ~CEnvVar() { Set(m_old ? m_old->c_str() : nullptr); }
    void Set(const char* value) {
        if (value != nullptr) ::setenv(m_name, value, 1);
        else ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

SystemTime Change(int month, int weekday, int week, int hour) {
    return SystemTime{0, static_cast<std::uint16_t>(month), static_cast<std::uint16_t>(weekday),
                      static_cast<std::uint16_t>(week), static_cast<std::uint16_t>(hour), 0, 0, 0};
}

const TimeZoneInfo kEastern{300, 0, -60, Change(11, 0, 1, 2), Change(3, 0, 2, 2)};
const TimeZoneInfo kCentralEurope{-60, 0, -60, Change(10, 0, 5, 3), Change(3, 0, 5, 2)};
const TimeZoneInfo kSydney{-600, 0, -60, Change(4, 0, 1, 3), Change(10, 0, 1, 2)};
const TimeZoneInfo kIndia{-330, 0, -60, {}, {}};
const TimeZoneInfo kUtc{0, 0, -60, {}, {}};

TimeZoneInfo ComputerZone() {
    TimeZoneInfo info;
    std::uint32_t error = 1;
    EXPECT_TRUE(SystemTimeZone().Read(info, error));
    EXPECT_EQ(error, 0u);
    return info;
}

TEST(ComputerZonePosix, FromTzAsTheCLibraryReadsIt) {
    struct Case {
        const char* tz;
        TimeZoneInfo want;
    };
    const Case cases[] = {
        {":America/New_York", kEastern},
        {"America/New_York", kEastern},
        {"EST5EDT,M3.2.0,M11.1.0", kEastern},  // a rule, no such file
        {"EST5EDT", kEastern},                 // tzdata's file of that name
        {"/usr/share/zoneinfo/Europe/Prague", kCentralEurope},
        {":Europe/Prague", kCentralEurope},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kCentralEurope},
        {"Australia/Sydney", kSydney},
        {"Asia/Kolkata", kIndia},
        {"<+0530>-5:30", kIndia},
        {"IST-5:30", kIndia},
        {"", kUtc},
        {":Nowhere/Nothing", kUtc},
        {":EST5EDT,M3.2.0,M11.1.0", kUtc},  // a colon names a file only
        {"Nowhere", kUtc},
        {"Asia/Jerusalem", {-120, 0, -60, Change(10, 0, 5, 2), Change(3, 5, 4, 2)}},
    };
    CEnvVar tz("TZ", nullptr);
    CEnvVar dir("TZDIR", nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        tz.Set(c.tz);
        EXPECT_EQ(ComputerZone(), c.want);
    }
}

TEST(ComputerZonePosix, WithoutTzFromEtcLocaltime) {
    CEnvVar tz("TZ", nullptr);
    const std::string bytes = ReadAll("/etc/localtime");
    const std::optional<TimeZoneInfo> want = tzdata::ZoneOfTzif(bytes, std::time(nullptr));
    EXPECT_EQ(ComputerZone(), want.value_or(kUtc));
}

TEST(ComputerZonePosix, ReadsAChangedFileAgain) {
    test::CScratchFolder folder("mireo-tz-");
    CEnvVar dir("TZDIR", test::Utf8Of(folder.Path()).c_str());
    CEnvVar tz("TZ", "Test/Zone");
    fs::create_directories(folder / "Test");
    // A real file with another footer.
    std::string bytes = ReadAll("/usr/share/zoneinfo/America/New_York");
    ASSERT_FALSE(bytes.empty());
    const std::string footer = "\nEST5EDT,M3.2.0,M11.1.0\n";
    ASSERT_EQ(bytes.substr(bytes.size() - footer.size()), footer);
    std::ofstream(folder / "Test" / "Zone", std::ios::binary) << bytes;
    EXPECT_EQ(ComputerZone(), kEastern);

    bytes.replace(bytes.size() - footer.size(), footer.size(), "\nIST-5:30\n");
    fs::remove(folder / "Test" / "Zone");
    std::ofstream(folder / "Test" / "Zone", std::ios::binary) << bytes;
    EXPECT_EQ(ComputerZone(), kIndia);

    // Not a TZif file and not a rule: UTC.
    fs::remove(folder / "Test" / "Zone");
    std::ofstream(folder / "Test" / "Zone", std::ios::binary) << "EST5EDT";
    EXPECT_EQ(ComputerZone(), kUtc);
}

std::optional<RegFileValue> ValueOf(const RegFileData& data, const std::string& key, const char* name) {
    const auto k = data.keys.find(regtext::FoldCase(std::string("HKEY_LOCAL_MACHINE\\") + kTimeZonesKeyPath + "\\" + key));
    if (k == data.keys.end()) return std::nullopt;
    const auto v = k->second.values.find(regtext::FoldCase(name));
    if (v == k->second.values.end()) return std::nullopt;
    return v->second;
}

TEST(ZoneListPosix, FilledFromTheShippedTableWhenMissing) {
    test::CScratchFolder folder("mireo-tz-");
    CEnvVar dir("TZDIR", nullptr);
    const std::string path = test::Utf8Of(folder / "registry.reg");
    CRegistryFile reg(path);
    ASSERT_EQ(PrepareTimeZoneList(reg), kErrorSuccess);
    const std::string first = ReadAll(path);
    const RegFileData data = ParseRegFile(first);

    for (const ShippedZone& zone : ShippedWindowsZones()) {
        SCOPED_TRACE(zone.key);
        const auto display = ValueOf(data, zone.key, "Display");
        const auto std = ValueOf(data, zone.key, "Std");
        const auto dlt = ValueOf(data, zone.key, "Dlt");
        const auto index = ValueOf(data, zone.key, "Index");
        const auto tzi = ValueOf(data, zone.key, "TZI");
        ASSERT_TRUE(display && std && dlt && index && tzi);
        EXPECT_EQ(display->type, kRegSz);
        EXPECT_EQ(display->data, regtext::SzBytes(zone.display));
        EXPECT_EQ(std->data, regtext::SzBytes(zone.standardName));
        EXPECT_EQ(dlt->data, regtext::SzBytes(zone.daylightName));
        EXPECT_EQ(index->type, kRegDword);
        ASSERT_EQ(index->data.size(), 4u);
        EXPECT_EQ(index->data[0] | (index->data[1] << 8), static_cast<int>(zone.index));
        EXPECT_EQ(tzi->type, kRegBinary);
        EXPECT_EQ(tzi->data.size(), kTziSize);
    }
    const auto eastern = ValueOf(data, "Eastern Standard Time", "TZI");
    ASSERT_TRUE(eastern);
    EXPECT_EQ(DecodeTzi(eastern->data), kEastern);

    // There now: a second call changes nothing, a value the user changed stays.
    IRegistry::Key key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, std::string(kTimeZonesKeyPath) + "\\Eastern Standard Time", true,
                          false, key),
              kErrorSuccess);
    const auto mine = regtext::SzBytes("My own");
    ASSERT_EQ(reg.SetValue(key, "Display", kRegSz, mine.data(), static_cast<std::uint32_t>(mine.size())), kErrorSuccess);
    reg.CloseKey(key);
    const std::string edited = ReadAll(path);
    EXPECT_EQ(PrepareTimeZoneList(reg), kErrorSuccess);
    EXPECT_EQ(ReadAll(path), edited);
}

TEST(ZoneListPosix, NothingWrittenWithoutTzdata) {
    test::CScratchFolder folder("mireo-tz-");
    CEnvVar dir("TZDIR", test::Utf8Of(folder.Path()).c_str());
    const std::string path = test::Utf8Of(folder / "registry.reg");
    CRegistryFile reg(path);
    EXPECT_EQ(PrepareTimeZoneList(reg), kErrorFileNotFound);
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace mireo
