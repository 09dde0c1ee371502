#pragma once
// The Linux registry: keys and values kept in one text file in the registry-export
// format ("Windows Registry Editor Version 5.00"), with HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE side by side. Every change is saved at once, atomically; a file
// changed on disk by another process is read again before the next operation.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace mireo {

struct RegFileValue {
    std::string name;  // as written, UTF-8; empty for the default value
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

struct RegFileKey {
    std::string path;  // full path as written: "HKEY_CURRENT_USER\Software\Kelvo\Mireo"
    std::map<std::string, RegFileValue> values;  // by case-folded name
};

// Keys by case-folded full path. Parents of a key need not be listed: a key exists
// when it is listed or when a listed key lies below it.
struct RegFileData {
    std::map<std::string, RegFileKey> keys;
};

// Reads registry-export text leniently: UTF-8 (with or without BOM) or UTF-16LE with
// BOM, CR LF or LF, "\" continuation lines; lines it does not understand are skipped.
RegFileData ParseRegFile(std::string_view bytes);
// Writes the data as UTF-8 with CR LF line ends; ParseRegFile reads it back unchanged.
std::string SerializeRegFile(const RegFileData& data);

class CRegistryFile : public IRegistry {
public:
    explicit CRegistryFile(std::string path);
    ~CRegistryFile() override = default;

    // Switches to another file; open keys stay open and refer to the new file.
    void SetPath(std::string path);
    const std::string& Path() const noexcept { return m_path; }

    long OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) override;
    long OpenSubKey(Key parent, std::string_view name, bool write, Key& out) override;
    void CloseKey(Key key) override;
    long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(Key key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(Key key, std::string_view name) override;
    long EnumSubKey(Key key, std::uint32_t index, std::string& name) override;

    // Adds the keys of `keys` (full paths, "HKEY_LOCAL_MACHINE\...") with their values in
    // one save, unless the key `guard` (a full path) exists already: a list filled at
    // first use is written once, not one save per value. 0 also when `guard` was there.
    long AddKeysIfMissing(std::string_view guard, const RegFileData& keys);

private:
    struct Handle {
        std::string path;  // full display path of the key when it was opened
        std::string folded;
        bool write = false;
    };
    struct Stamp {
        bool exists = false;
        std::uint64_t dev = 0, ino = 0, size = 0;
        std::int64_t sec = 0, nsec = 0;
        bool operator==(const Stamp&) const = default;
    };

    Stamp CurrentStamp() const;
    void Refresh();
    long Save();
    long OpenPath(const std::string& display, bool write, bool create, Key& out);
    bool KeyExists(const std::string& folded) const;
    const Handle* Find(Key key) const;

    std::string m_path;
    RegFileData m_data;
    Stamp m_stamp;
    bool m_loaded = false;
    std::map<Key, Handle> m_handles;
    Key m_nextKey = 1;
};

}  // namespace mireo
