#include "vcal/common/zone_list.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/registry_text.h"
#include "platform/time_zone.h"
#include "platform/windows_zones.h"

namespace mireo {
namespace {

constexpr const char* kSource = "GetAllTimezones";
// "Display", "Dlt" and "Std" are read into a buffer of this many bytes.
constexpr std::uint32_t kMaxTextBytes = 1024;

using ascii::EqualsNoCase;

// A text value of up to 1024 bytes, to its first NUL.
long ReadText(IRegistry& reg, IRegistry::Key key, std::string_view name, std::string& out) {
    std::uint8_t buf[kMaxTextBytes];
    std::uint32_t size = sizeof buf;
    std::uint32_t type = 0;
    if (const long rc = reg.QueryValue(key, name, &type, buf, &size); rc != kErrorSuccess) return rc;
    if (type != kRegSz && type != kRegExpandSz) return kErrorInvalidData;
    out = regtext::LeBytesToUtf8(buf, size);
    if (const std::size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return kErrorSuccess;
}

// A 32-bit number; `present` false when the value does not exist at all.
long ReadIndex(IRegistry& reg, IRegistry::Key key, std::uint32_t& out, bool& present) {
    std::uint8_t buf[4];
    std::uint32_t size = sizeof buf;
    std::uint32_t type = 0;
    const long rc = reg.QueryValue(key, "Index", &type, buf, &size);
    present = rc != kErrorFileNotFound;
    if (!present) return kErrorSuccess;
    if (rc != kErrorSuccess) return rc;
    if (type != kRegDword || size != 4) return kErrorInvalidData;
    out = buf[0] | (buf[1] << 8) | (buf[2] << 16) | (static_cast<std::uint32_t>(buf[3]) << 24);
    return kErrorSuccess;
}

// Exactly 44 bytes of binary data holding a valid rule.
long ReadTzi(IRegistry& reg, IRegistry::Key key, ZoneRule& out) {
    std::uint8_t buf[kTziSize];
    std::uint32_t size = sizeof buf;
    std::uint32_t type = 0;
    if (const long rc = reg.QueryValue(key, "TZI", &type, buf, &size); rc != kErrorSuccess) return rc;
    if (type != kRegBinary) return kErrorInvalidData;
    const std::optional<ZoneRule> rule = ZoneRule::FromTzi(std::span<const std::uint8_t>(buf, size));
    if (!rule) return kErrorInvalidData;
    out = *rule;
    return kErrorSuccess;
}

// Reads one subkey; false (logged) when a value is missing or bad.
bool ReadEntry(IRegistry& reg, ILogger& log, const std::string& name, ZoneListEntry& entry) {
    IRegistry::Key key = 0;
    if (const long rc = reg.OpenKey(RegRoot::LocalMachine, std::string(kTimeZonesKeyPath) + "\\" + name, false, false, key);
        rc != kErrorSuccess) {
        log.LogMsg("RegOpenKeyEx(subkey)", rc, kSource, kWarning, kLogFlags);
        return false;
    }
    UniqueRegKey owner(&reg, key);
    std::string ignored;
    long rc = ReadText(reg, key, "Display", entry.display);
    const char* failed = "RegQueryValueEx(Display)";
    if (rc == kErrorSuccess) {
        rc = ReadText(reg, key, "Dlt", ignored);
        failed = "RegQueryValueEx(Dlt)";
    }
    if (rc == kErrorSuccess) {
        rc = ReadIndex(reg, key, entry.index, entry.hasIndex);
        failed = "RegQueryValueEx(Index)";
    }
    if (rc == kErrorSuccess) {
        rc = ReadText(reg, key, "Std", ignored);
        failed = "RegQueryValueEx(Std)";
    }
    if (rc == kErrorSuccess) {
        rc = ReadTzi(reg, key, entry.rule);
        failed = "RegQueryValueEx(TZI)";
    }
    if (rc != kErrorSuccess) {
        log.LogMsg(failed, rc, kSource, kWarning, kLogFlags);
        return false;
    }
    entry.key = name;
    return true;
}

// By Index; zones without one after those with, west to east, then by name.
bool ListOrder(const ZoneListEntry& a, const ZoneListEntry& b) {
    if (a.hasIndex != b.hasIndex) return a.hasIndex;
    if (a.hasIndex) return a.index < b.index;
    const std::int64_t wa = std::int64_t{a.rule.bias} + a.rule.standardBias;
    const std::int64_t wb = std::int64_t{b.rule.bias} + b.rule.standardBias;
    if (wa != wb) return wa > wb;
    return a.display < b.display;
}

}  // namespace

long GetAllTimezones(std::vector<ZoneListEntry>& out, ILogger& log, IRegistry& reg) {
    out.clear();
    // Linux: the registry file's list is filled at first use. A failure shows below, as
    // a list key that cannot be opened.
    PrepareTimeZoneList(reg);
    IRegistry::Key list = 0;
    if (const long rc = reg.OpenKey(RegRoot::LocalMachine, kTimeZonesKeyPath, false, false, list);
        rc != kErrorSuccess) {
        log.LogMsg("RegOpenKeyEx", rc, kSource, kError, kLogFlags);
        return kZoneListCannotOpen;
    }
    UniqueRegKey owner(&reg, list);
    std::vector<ZoneListEntry> entries;
    long rc = kErrorSuccess;
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        rc = reg.EnumSubKey(list, i, name);
        if (rc != kErrorSuccess) break;
        ZoneListEntry entry;
        if (ReadEntry(reg, log, name, entry)) entries.push_back(std::move(entry));
    }
    if (rc != kErrorNoMoreItems) {
        log.LogMsg("RegEnumKeyEx", rc, kSource, kError, kLogFlags);
        return kZoneListEnumFailed;
    }
    std::stable_sort(entries.begin(), entries.end(), ListOrder);
    out = std::move(entries);
    return 0;
}

int FindZoneName(const ZoneRule& rule, const std::vector<ZoneListEntry>& list, std::string& name) {
    for (const ZoneListEntry& entry : list) {
        if (ZonesEqual(entry.rule, rule)) {
            name = entry.display;
            return 0;
        }
    }
    return 1;
}

const ZoneListEntry* FindZoneByKeyOrDisplay(const std::vector<ZoneListEntry>& list, std::string_view name) {
    for (const ZoneListEntry& entry : list)
        if (EqualsNoCase(entry.key, name)) return &entry;
    for (const ZoneListEntry& entry : list)
        if (EqualsNoCase(entry.display, name)) return &entry;
    return nullptr;
}

const ZoneListEntry* FindZoneByIana(const std::vector<ZoneListEntry>& list, std::string_view name) {
    // "/mozilla.org/20050126_1/America/New_York": try the name, then what follows each "/".
    for (std::size_t start = 0; start < name.size();) {
        const std::string_view key = WindowsZoneOfTzdata(name.substr(start));
        if (!key.empty()) {
            for (const ZoneListEntry& entry : list)
                if (EqualsNoCase(entry.key, key)) return &entry;
            return nullptr;
        }
        const std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return nullptr;
}

}  // namespace mireo
