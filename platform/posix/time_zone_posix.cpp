#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "platform/posix/registry_file.h"
#include "platform/registry_text.h"
#include "platform/time_zone.h"
#include "platform/tz_data.h"
#include "platform/windows_zones.h"

namespace mireo {
namespace {

// tzdata files are a few kilobytes; anything larger is not one.
constexpr std::size_t kMaxTzifSize = 1 << 20;

std::string ZoneInfoDir() {
    if (const char* dir = std::getenv("TZDIR"); dir != nullptr && *dir != '\0') return dir;
    return "/usr/share/zoneinfo";
}

struct FileStamp {
    bool exists = false;
    std::uint64_t dev = 0, ino = 0, size = 0;
    std::int64_t sec = 0, nsec = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        s.exists = true;
        s.dev = static_cast<std::uint64_t>(st.st_dev);
        s.ino = static_cast<std::uint64_t>(st.st_ino);
        s.size = static_cast<std::uint64_t>(st.st_size);
        s.sec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        s.nsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    }
    return s;
}

// A regular file of at most kMaxTzifSize bytes.
bool ReadSmallFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= kMaxTzifSize;
    out.clear();
    char buf[16384];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
        ok = out.size() <= kMaxTzifSize;
    }
    ::close(fd);
    return ok;
}

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// The zone the C library would use: TZ naming a tzdata file (":Europe/Prague",
// "Europe/Prague", "/path/file") or holding a POSIX rule; without TZ /etc/localtime;
// UTC when none of them gives a zone. What was read is kept for as long as TZ and the
// file stay the same, so a run that asks for every item costs a stat, not a read.
class CPosixTimeZone : public ITimeZoneSource {
public:
    bool Read(TimeZoneInfo& out, std::uint32_t& error) override {
        error = 0;
        const char* env = std::getenv("TZ");
        const std::optional<std::string> tz = env != nullptr ? std::optional<std::string>(env) : std::nullopt;
        std::string path;
        std::string rule;
        if (!tz || *tz == ":") {
            path = "/etc/localtime";
        } else if (!tz->empty()) {
            const bool fileOnly = tz->front() == ':';
            const std::string name = fileOnly ? tz->substr(1) : *tz;
            path = name.front() == '/' ? name : ZoneInfoDir() + "/" + name;
            if (!fileOnly) rule = name;
        }
        const FileStamp stamp = path.empty() ? FileStamp{} : StampOf(path);

        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_loaded || tz != m_tz || path != m_path || !(stamp == m_stamp)) {
            m_loaded = true;
            m_tz = tz;
            m_path = path;
            m_stamp = stamp;
            m_data.reset();
            m_rule.reset();
            std::string bytes;
            if (stamp.exists && ReadSmallFile(path, bytes)) m_data = tzdata::ReadTzif(bytes);
            if (!m_data && !rule.empty()) m_rule = tzdata::ParsePosixRule(rule);
        }
        if (m_data) out = tzdata::ZoneOf(*m_data, Now());
        else if (m_rule) out = tzdata::ToTimeZoneInfo(*m_rule, Now());
        else out = tzdata::FixedZone(0);  // UTC, as the C library falls back to
        return true;
    }

private:
    std::mutex m_mutex;
    bool m_loaded = false;
    std::optional<std::string> m_tz;
    std::string m_path;
    FileStamp m_stamp;
    std::optional<tzdata::TzifData> m_data;
    std::optional<tzdata::PosixRule> m_rule;
};

RegFileValue TextValue(const char* name, std::string_view text) {
    return RegFileValue{name, kRegSz, regtext::SzBytes(text)};
}

// The registry keys of the shipped zone list; a zone whose tzdata file is missing or
// unreadable is left out.
RegFileData ZoneListKeys() {
    RegFileData data;
    const std::string dir = ZoneInfoDir();
    const std::int64_t now = Now();
    for (const ShippedZone& zone : ShippedWindowsZones()) {
        std::optional<TimeZoneInfo> info;
        std::string_view names = zone.tzdataZones;
        while (!info && !names.empty()) {
            const std::size_t space = names.find(' ');
            const std::string name(names.substr(0, space));
            names = space == std::string_view::npos ? std::string_view{} : names.substr(space + 1);
            std::string bytes;
            if (ReadSmallFile(dir + "/" + name, bytes)) info = tzdata::ZoneOfTzif(bytes, now);
        }
        if (!info) continue;
        RegFileKey key;
        key.path = std::string("HKEY_LOCAL_MACHINE\\") + kTimeZonesKeyPath + "\\" + zone.key;
        const std::uint32_t index = zone.index;
        const auto tzi = EncodeTzi(*info);
        RegFileValue values[] = {
            TextValue("Display", zone.display),
            TextValue("Dlt", zone.daylightName),
            RegFileValue{"Index", kRegDword,
                         {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8),
                          static_cast<std::uint8_t>(index >> 16), static_cast<std::uint8_t>(index >> 24)}},
            TextValue("Std", zone.standardName),
            RegFileValue{"TZI", kRegBinary, std::vector<std::uint8_t>(tzi.begin(), tzi.end())},
        };
        for (RegFileValue& v : values) {
            std::string folded = regtext::FoldCase(v.name);
            key.values[std::move(folded)] = std::move(v);
        }
        std::string folded = regtext::FoldCase(key.path);
        data.keys[std::move(folded)] = std::move(key);
    }
    return data;
}

}  // namespace

ITimeZoneSource& SystemTimeZone() {
    static CPosixTimeZone zone;
    return zone;
}

long PrepareTimeZoneList(IRegistry& reg) {
    IRegistry::Key key = 0;
    if (reg.OpenKey(RegRoot::LocalMachine, kTimeZonesKeyPath, false, false, key) == kErrorSuccess) {
        reg.CloseKey(key);
        return kErrorSuccess;
    }
    // Only the registry file holds a list of its own; the list is written in one save.
    auto* file = dynamic_cast<CRegistryFile*>(&reg);
    if (file == nullptr) return kErrorInvalidParameter;
    const RegFileData data = ZoneListKeys();
    if (data.keys.empty()) return kErrorFileNotFound;
    return file->AddKeysIfMissing(std::string("HKEY_LOCAL_MACHINE\\") + kTimeZonesKeyPath, data);
}

}  // namespace mireo
