#pragma once
// The registry as the Win32 wide functions see it. The Windows build uses the real
// registry; the Linux build keeps it in a text file in the registry-export format.
// Value data is returned as stored: REG_SZ and REG_EXPAND_SZ are UTF-16LE bytes with
// their terminating NUL (when the writer stored one); REG_DWORD is 4 little-endian bytes.
// Every operation returns a Win32 error code (0 on success).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mireo {

enum class RegRoot { CurrentUser, LocalMachine };

enum RegType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

// Win32 error codes the registry functions return.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidData = 13;
constexpr long kErrorWriteFault = 29;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;

class IRegistry {
public:
    using Key = std::uintptr_t;  // 0 is no key
    virtual ~IRegistry() = default;

    // Path and names are UTF-8, key levels separated by backslashes; lookups ignore case.
    // create: RegCreateKeyExW (missing keys are made), else RegOpenKeyExW.
    virtual long OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) = 0;
    virtual long OpenSubKey(Key parent, std::string_view name, bool write, Key& out) = 0;
    virtual void CloseKey(Key key) = 0;

    // RegQueryValueExW: with data null only *size is set; a buffer smaller than the
    // value gives kErrorMoreData and the size needed.
    virtual long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
    virtual long SetValue(Key key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
    virtual long DeleteValue(Key key, std::string_view name) = 0;
    // RegEnumKeyExW: kErrorNoMoreItems past the last subkey.
    virtual long EnumSubKey(Key key, std::uint32_t index, std::string& name) = 0;
};

// Owns an open key of a registry.
class UniqueRegKey {
public:
    UniqueRegKey() = default;
    UniqueRegKey(IRegistry* reg, IRegistry::Key key) : m_reg(reg), m_key(key) {}
    UniqueRegKey(UniqueRegKey&& o) noexcept : m_reg(o.m_reg), m_key(o.m_key) { o.m_key = 0; }
    UniqueRegKey& operator=(UniqueRegKey&& o) noexcept {
        if (this != &o) {
            Reset();
            m_reg = o.m_reg;
            m_key = o.m_key;
            o.m_key = 0;
        }
        return *this;
    }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;
    ~UniqueRegKey() { Reset(); }

    void Reset() noexcept {
        if (m_key != 0 && m_reg != nullptr) m_reg->CloseKey(m_key);
        m_key = 0;
    }
    IRegistry::Key Get() const noexcept { return m_key; }
    IRegistry* Registry() const noexcept { return m_reg; }
    explicit operator bool() const noexcept { return m_key != 0; }

private:
    IRegistry* m_reg = nullptr;
    IRegistry::Key m_key = 0;
};

// The process's registry: the real one on Windows; on Linux the file named by
// SetRegistryFile, else $MIREO_REGISTRY, else $XDG_CONFIG_HOME/mireo/registry.reg.
IRegistry& SystemRegistry();
// Linux: choose the registry file before the first use of SystemRegistry (the
// command line's --registry). Ignored on Windows.
void SetRegistryFile(const std::string& path);

}  // namespace mireo
