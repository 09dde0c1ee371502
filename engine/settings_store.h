#pragma once
// The add-in's settings: named 32-bit numbers, texts and binary values under one
// registry key of the current user. Every read falls back to a default and every
// failure is silent: a value of the wrong type or length is as good as absent, and a
// failed write leaves the old value.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace mireo {

inline constexpr std::string_view kSettingsKeyPath = "Software\\Kelvo\\Mireo";

enum class SettingKind {
    Flag,    // REG_DWORD, nonzero is true
    Number,  // REG_DWORD
    Text,    // REG_SZ (REG_EXPAND_SZ accepted when read, not expanded)
    Binary,  // REG_BINARY
};

// How a value's default or accepted values depend on more than the table.
enum class SettingRule {
    None,
    EncodingList,    // default: the first supported encoding; a name not in the list is replaced by it
    OlderHost,       // with a host of major version 9 or less the default is olderHostDefault
    TenOrTwenty,     // only 10 and 20 are taken; anything else gives the default
};

struct SettingDef {
    const char* name;
    SettingKind kind;
    // Text: the read buffer in characters including the NUL, 0 for a text of any
    // length. Binary: the exact size a value must have, 0 for any.
    std::uint32_t limit;
    std::uint32_t defaultNumber;  // Flag and Number
    const char* defaultText;      // Text; null when the value has no default
    SettingRule rule;
    std::uint32_t olderHostDefault;
};

// Every value the add-in keeps, in the order of the wizards.
std::span<const SettingDef> AllSettings();
// The table entry of a value name (exact spelling), or null.
const SettingDef* FindSetting(std::string_view name);

// The default of a number value for a host of the given major version.
std::uint32_t DefaultNumberForHost(const SettingDef& def, int hostMajorVersion);

class CSettingsStore {
public:
    // Creates or opens HKEY_CURRENT_USER\<keyPath> for reading and writing; when that
    // fails the store has no key and behaves as empty and read-only.
    explicit CSettingsStore(IRegistry& reg, std::string_view keyPath = kSettingsKeyPath);
    // Takes an open key (or none).
    explicit CSettingsStore(UniqueRegKey key);
    CSettingsStore(CSettingsStore&&) noexcept = default;
    CSettingsStore& operator=(CSettingsStore&&) noexcept = default;
    virtual ~CSettingsStore() = default;

    bool IsOpen() const noexcept { return static_cast<bool>(m_key); }

    // A REG_DWORD of exactly 4 bytes.
    std::optional<std::uint32_t> ReadNumber(std::string_view name) const;
    // A text read into a buffer of maxChars UTF-16 units. Returns the error code:
    // kErrorMoreData when it is longer, kErrorInvalidData when it is not REG_SZ or
    // REG_EXPAND_SZ or holds no NUL inside its stored length.
    long QueryText(std::string_view name, std::uint32_t maxChars, std::string& out) const;
    std::optional<std::string> ReadText(std::string_view name, std::uint32_t maxChars) const;
    // A text of any length: its size first, then the text itself; the same type and
    // NUL rules as QueryText.
    long QueryTextAnyLength(std::string_view name, std::string& out) const;
    std::optional<std::string> ReadTextAnyLength(std::string_view name) const;
    // A REG_BINARY value as stored.
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::string_view name) const;
    // A REG_BINARY value of exactly this size; any other length is not taken.
    std::optional<std::vector<std::uint8_t>> ReadBinaryExact(std::string_view name, std::size_t size) const;

    // Writes report success; without a key nothing is written.
    bool WriteNumber(std::string_view name, std::uint32_t value);
    bool WriteFlag(std::string_view name, bool value) { return WriteNumber(name, value ? 1u : 0u); }
    bool WriteText(std::string_view name, std::string_view utf8);
    bool WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes);

    // Reads through the table, with its defaults and rules.
    bool GetFlag(std::string_view name) const;
    std::uint32_t GetNumber(std::string_view name) const;
    std::uint32_t GetNumberForHost(std::string_view name, int hostMajorVersion) const;
    std::string GetText(std::string_view name) const;
    // An encoding name: the stored one when the list holds it, else the list's first
    // entry (empty when the list is empty).
    std::string GetEncoding(std::string_view name, const std::vector<std::string>& supported) const;
    // A binary value of the table's size, or nothing (the caller's default applies).
    std::optional<std::vector<std::uint8_t>> GetBinary(std::string_view name) const;

private:
    std::uint32_t NumberWithDefault(std::string_view name, std::uint32_t fallback) const;

    UniqueRegKey m_key;
};

// "DebugButton", read through a read-only opening of its own; false when the key
// cannot be opened or the value is missing.
bool ReadDebugButton(IRegistry& reg, std::string_view keyPath = kSettingsKeyPath);

}  // namespace mireo
