#include <windows.h>

#include <string>

#include "platform/registry.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

std::wstring Wide(std::string_view utf8) {
    const std::u16string w = regtext::ToUtf16(utf8);
    return std::wstring(w.begin(), w.end());
}

HKEY ToHkey(IRegistry::Key key) { return reinterpret_cast<HKEY>(key); }

IRegistry::Key FromHkey(HKEY key) { return reinterpret_cast<IRegistry::Key>(key); }

// The current user's registry through the wide functions, so names and texts outside
// the ANSI code page are kept.
class CWin32Registry : public IRegistry {
public:
    long OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) override {
        out = 0;
        return Open(root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path, write, create, out);
    }

    long OpenSubKey(Key parent, std::string_view name, bool write, Key& out) override {
        out = 0;
        if (parent == 0) return ERROR_INVALID_HANDLE;
        return Open(ToHkey(parent), name, write, false, out);
    }

    void CloseKey(Key key) override {
        if (key != 0) ::RegCloseKey(ToHkey(key));
    }

    long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        if (key == 0) return ERROR_INVALID_HANDLE;
        const std::wstring wname = Wide(name);
        DWORD t = 0;
        DWORD n = size != nullptr ? *size : 0;
        const LONG rc = ::RegQueryValueExW(ToHkey(key), wname.c_str(), nullptr, &t, data, size != nullptr ? &n : nullptr);
        if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            if (type != nullptr) *type = t;
            if (size != nullptr) *size = n;
        }
        return rc;
    }

    long SetValue(Key key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        if (key == 0) return ERROR_INVALID_HANDLE;
        const std::wstring wname = Wide(name);
        return ::RegSetValueExW(ToHkey(key), wname.c_str(), 0, type, data, size);
    }

    long DeleteValue(Key key, std::string_view name) override {
        if (key == 0) return ERROR_INVALID_HANDLE;
        const std::wstring wname = Wide(name);
        return ::RegDeleteValueW(ToHkey(key), wname.c_str());
    }

    long EnumSubKey(Key key, std::uint32_t index, std::string& name) override {
        if (key == 0) return ERROR_INVALID_HANDLE;
        wchar_t buf[256];  // key names are at most 255 characters
        DWORD n = static_cast<DWORD>(sizeof buf / sizeof buf[0]);
        const LONG rc = ::RegEnumKeyExW(ToHkey(key), index, buf, &n, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            name = regtext::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buf), n));
        return rc;
    }

private:
    static long Open(HKEY parent, std::string_view path, bool write, bool create, Key& out) {
        const std::wstring wpath = Wide(path);
        const REGSAM access = write ? (KEY_READ | KEY_WRITE) : KEY_READ;
        HKEY key = nullptr;
        const LONG rc = create ? ::RegCreateKeyExW(parent, wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                                   nullptr, &key, nullptr)
                               : ::RegOpenKeyExW(parent, wpath.c_str(), 0, access, &key);
        if (rc == ERROR_SUCCESS) out = FromHkey(key);
        return rc;
    }
};

}  // namespace

IRegistry& SystemRegistry() {
    static CWin32Registry registry;
    return registry;
}

void SetRegistryFile(const std::string&) {}

}  // namespace mireo
