#include "engine/settings_store.h"

#include <algorithm>
#include <array>

#include "platform/registry_text.h"

namespace mireo {
namespace {

constexpr std::uint32_t kFolderChars = 260;
constexpr std::uint32_t kEncodingChars = 256;
constexpr std::uint32_t kZoneRuleBytes = 48;
// A text of any length may change between the size query and the read; try again a
// few times before giving up.
constexpr int kAnyLengthAttempts = 3;

using K = SettingKind;
using R = SettingRule;

constexpr SettingDef Flag(const char* name, bool def) { return {name, K::Flag, 0, def ? 1u : 0u, nullptr, R::None, 0}; }
constexpr SettingDef Number(const char* name, std::uint32_t def, R rule = R::None, std::uint32_t older = 0) {
    return {name, K::Number, 0, def, nullptr, rule, older};
}
constexpr SettingDef Text(const char* name, std::uint32_t limit, const char* def, R rule = R::None) {
    return {name, K::Text, limit, 0, def, rule, 0};
}
constexpr SettingDef Binary(const char* name, std::uint32_t size) { return {name, K::Binary, size, 0, nullptr, R::None, 0}; }

constexpr std::array kSettings = {
    Text("Contacts.Export.Folder", kFolderChars, ""),
    Flag("Contacts.Export.OneFile", true),
    Number("Contacts.Export.Format", 21),
    Text("Contacts.Export.Encoding", kEncodingChars, "", R::EncodingList),
    Flag("Contacts.Export.Overwrite", false),
    Number("Contacts.Export.Filter", 0),
    Text("Contacts.Export.Filter.Categories", 0, "Personal"),
    Flag("Contacts.Export.OpenFolder", true),
    Flag("Contacts.Export.OpenMail", false),
    Text("Contacts.Import.Folder", 0, ""),
    Number("Contacts.Import.ConflictResolution", 0),
    Number("Contacts.Import.Filter", 0),
    Text("Contacts.Import.Filter.Categories", 0, "Personal"),
    Flag("Contacts.Import.OpenFolder", true),
    Text("Appointments.Export.Folder", kFolderChars, ""),
    Flag("Appointments.Export.OneFile", true),
    Number("Appointments.Export.Format", 10, R::TenOrTwenty),
    Text("Appointments.Export.Encoding", kEncodingChars, "", R::EncodingList),
    Flag("Appointments.Export.Overwrite", false),
    Number("Appointments.Export.Filter", 85, R::OlderHost, 69),
    Text("Appointments.Export.Filter.Categories", 0, "Holiday"),
    Number("Appointments.Export.Filter.Labels", 384, R::OlderHost, 0),
    Flag("Appointments.Export.OpenFolder", true),
    Flag("Appointments.Export.OpenMail", false),
    Text("Appointments.Import.Folder", 0, ""),
    Number("Appointments.Import.ConflictResolution", 0),
    Flag("Appointments.Import.TZDefault", true),
    Binary("Appointments.Import.TZ", kZoneRuleBytes),
    Text("Appointments.Import.TZName", 0, nullptr),
    Number("Appointments.Import.Filter", 21),
    Text("Appointments.Import.Filter.Categories", 0, "Holiday"),
    Number("Appointments.Import.Filter.SubjectLabels", 384),
    Flag("Appointments.Import.OpenFolder", true),
    Flag("DebugButton", false),
};

std::uint32_t LittleEndian32(const std::uint8_t* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

bool IsText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

UniqueRegKey OpenSettingsKey(IRegistry& reg, std::string_view keyPath, bool write) {
    IRegistry::Key key = 0;
    if (reg.OpenKey(RegRoot::CurrentUser, keyPath, write, write, key) != kErrorSuccess) return {};
    return UniqueRegKey(&reg, key);
}

}  // namespace

std::span<const SettingDef> AllSettings() { return kSettings; }

const SettingDef* FindSetting(std::string_view name) {
    for (const SettingDef& def : kSettings)
        if (name == def.name) return &def;
    return nullptr;
}

std::uint32_t DefaultNumberForHost(const SettingDef& def, int hostMajorVersion) {
    if (def.rule == SettingRule::OlderHost && hostMajorVersion <= 9) return def.olderHostDefault;
    return def.defaultNumber;
}

CSettingsStore::CSettingsStore(IRegistry& reg, std::string_view keyPath) : m_key(OpenSettingsKey(reg, keyPath, true)) {}

CSettingsStore::CSettingsStore(UniqueRegKey key) : m_key(std::move(key)) {}

std::optional<std::uint32_t> CSettingsStore::ReadNumber(std::string_view name) const {
    if (!m_key) return std::nullopt;
    std::uint32_t type = 0;
    std::uint8_t data[4];
    std::uint32_t size = sizeof data;
    if (m_key.Registry()->QueryValue(m_key.Get(), name, &type, data, &size) != kErrorSuccess) return std::nullopt;
    if (type != kRegDword || size != 4) return std::nullopt;
    return LittleEndian32(data);
}

long CSettingsStore::QueryText(std::string_view name, std::uint32_t maxChars, std::string& out) const {
    if (!m_key) return kErrorInvalidHandle;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(maxChars) * 2);
    std::uint32_t type = 0;
    auto size = static_cast<std::uint32_t>(buf.size());
    if (const long rc = m_key.Registry()->QueryValue(m_key.Get(), name, &type, buf.data(), &size); rc != kErrorSuccess)
        return rc;
    if (!IsText(type) || !regtext::SzText(buf.data(), size, out)) return kErrorInvalidData;
    return kErrorSuccess;
}

std::optional<std::string> CSettingsStore::ReadText(std::string_view name, std::uint32_t maxChars) const {
    std::string text;
    if (QueryText(name, maxChars, text) != kErrorSuccess) return std::nullopt;
    return text;
}

long CSettingsStore::QueryTextAnyLength(std::string_view name, std::string& out) const {
    if (!m_key) return kErrorInvalidHandle;
    IRegistry& reg = *m_key.Registry();
    long rc = kErrorMoreData;
    for (int attempt = 0; attempt < kAnyLengthAttempts && rc == kErrorMoreData; ++attempt) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (rc = reg.QueryValue(m_key.Get(), name, &type, nullptr, &size); rc != kErrorSuccess) return rc;
        if (!IsText(type)) return kErrorInvalidData;
        std::vector<std::uint8_t> buf(std::max<std::uint32_t>(size, 2));
        size = static_cast<std::uint32_t>(buf.size());
        rc = reg.QueryValue(m_key.Get(), name, &type, buf.data(), &size);
        if (rc == kErrorSuccess) {
            if (!IsText(type) || !regtext::SzText(buf.data(), size, out)) return kErrorInvalidData;
        }
    }
    return rc;
}

std::optional<std::string> CSettingsStore::ReadTextAnyLength(std::string_view name) const {
    std::string text;
    if (QueryTextAnyLength(name, text) != kErrorSuccess) return std::nullopt;
    return text;
}

std::optional<std::vector<std::uint8_t>> CSettingsStore::ReadBinary(std::string_view name) const {
    if (!m_key) return std::nullopt;
    IRegistry& reg = *m_key.Registry();
    for (int attempt = 0; attempt < kAnyLengthAttempts; ++attempt) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (reg.QueryValue(m_key.Get(), name, &type, nullptr, &size) != kErrorSuccess || type != kRegBinary)
            return std::nullopt;
        std::vector<std::uint8_t> buf(size);
        const long rc = reg.QueryValue(m_key.Get(), name, &type, buf.data(), &size);
        if (rc == kErrorMoreData) continue;
        if (rc != kErrorSuccess || type != kRegBinary) return std::nullopt;
        buf.resize(size);
        return buf;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> CSettingsStore::ReadBinaryExact(std::string_view name,
                                                                         std::size_t size) const {
    auto bytes = ReadBinary(name);
    if (!bytes || bytes->size() != size) return std::nullopt;
    return bytes;
}

bool CSettingsStore::WriteNumber(std::string_view name, std::uint32_t value) {
    if (!m_key) return false;
    const std::uint8_t data[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return m_key.Registry()->SetValue(m_key.Get(), name, kRegDword, data, 4) == kErrorSuccess;
}

bool CSettingsStore::WriteText(std::string_view name, std::string_view utf8) {
    if (!m_key) return false;
    const std::vector<std::uint8_t> data = regtext::SzBytes(utf8);
    return m_key.Registry()->SetValue(m_key.Get(), name, kRegSz, data.data(),
                                      static_cast<std::uint32_t>(data.size())) == kErrorSuccess;
}

bool CSettingsStore::WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes) {
    if (!m_key) return false;
    return m_key.Registry()->SetValue(m_key.Get(), name, kRegBinary, bytes.data(),
                                      static_cast<std::uint32_t>(bytes.size())) == kErrorSuccess;
}

std::uint32_t CSettingsStore::NumberWithDefault(std::string_view name, std::uint32_t fallback) const {
    const SettingDef* def = FindSetting(name);
    const std::optional<std::uint32_t> stored = ReadNumber(name);
    if (!stored) return fallback;
    if (def != nullptr && def->rule == SettingRule::TenOrTwenty && *stored != 10 && *stored != 20) return fallback;
    return *stored;
}

bool CSettingsStore::GetFlag(std::string_view name) const {
    const SettingDef* def = FindSetting(name);
    return NumberWithDefault(name, def != nullptr ? def->defaultNumber : 0) != 0;
}

std::uint32_t CSettingsStore::GetNumber(std::string_view name) const {
    const SettingDef* def = FindSetting(name);
    return NumberWithDefault(name, def != nullptr ? def->defaultNumber : 0);
}

std::uint32_t CSettingsStore::GetNumberForHost(std::string_view name, int hostMajorVersion) const {
    const SettingDef* def = FindSetting(name);
    return NumberWithDefault(name, def != nullptr ? DefaultNumberForHost(*def, hostMajorVersion) : 0);
}

std::string CSettingsStore::GetText(std::string_view name) const {
    const SettingDef* def = FindSetting(name);
    const std::uint32_t limit = def != nullptr ? def->limit : 0;
    std::optional<std::string> stored = limit != 0 ? ReadText(name, limit) : ReadTextAnyLength(name);
    if (stored) return std::move(*stored);
    return def != nullptr && def->defaultText != nullptr ? def->defaultText : "";
}

std::string CSettingsStore::GetEncoding(std::string_view name, const std::vector<std::string>& supported) const {
    if (supported.empty()) return {};
    const std::optional<std::string> stored = ReadText(name, kEncodingChars);
    if (stored && std::find(supported.begin(), supported.end(), *stored) != supported.end()) return *stored;
    return supported.front();
}

std::optional<std::vector<std::uint8_t>> CSettingsStore::GetBinary(std::string_view name) const {
    const SettingDef* def = FindSetting(name);
    if (def != nullptr && def->limit != 0) return ReadBinaryExact(name, def->limit);
    return ReadBinary(name);
}

bool ReadDebugButton(IRegistry& reg, std::string_view keyPath) {
    CSettingsStore store(OpenSettingsKey(reg, keyPath, false));
    return store.ReadNumber("DebugButton").value_or(0) != 0;
}

}  // namespace mireo
