#pragma once
// HRESULT values and the one error type that every failed host call raises.
// The core never includes <windows.h>; these are the codes it needs by name.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace mireo {

// The system's own type on Windows (a 32-bit long), so that COM code inside this
// namespace declares the same methods the interfaces do; 32 bits elsewhere.
#if defined(_WIN32)
using HRESULT = long;
#else
using HRESULT = std::int32_t;
#endif

constexpr HRESULT kSOk = 0;
constexpr HRESULT kSFalse = 1;
constexpr HRESULT kENotImpl = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kENoInterface = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT kEAbort = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kEUnexpected = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT kEAccessDenied = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT kEOutOfMemory = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT kEInvalidArg = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kDispEUnknownName = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT kDispEException = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT kDispETypeMismatch = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT kDispEBadIndex = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT kMapiENotFound = static_cast<HRESULT>(0x8004010Fu);
constexpr HRESULT kMapiECorruptData = static_cast<HRESULT>(0x8004011Bu);
constexpr HRESULT kMapiETimeout = static_cast<HRESULT>(0x80040401u);
constexpr HRESULT kEDiskFull = static_cast<HRESULT>(0x80070070u);  // HRESULT_FROM_WIN32(ERROR_DISK_FULL)
constexpr HRESULT kCoEClassString = static_cast<HRESULT>(0x800401F3u);

constexpr bool Failed(HRESULT hr) { return hr < 0; }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }

// HRESULT_FROM_WIN32
constexpr HRESULT HResultFromWin32(long error) {
    return error <= 0 ? static_cast<HRESULT>(error)
                      : static_cast<HRESULT>((static_cast<std::uint32_t>(error) & 0xFFFFu) | 0x80070000u);
}

// A failed call into the host or the outside MAPI library: the HRESULT and the
// interface that failed ("_Items", "_ContactItem", "SafeContactItem", ...).
class HostError : public std::runtime_error {
public:
    HostError(HRESULT hr, std::string iface, const std::string& detail = {})
        : std::runtime_error(Describe(hr, iface, detail)), m_hr(hr), m_iface(std::move(iface)), m_detail(detail) {}

    HRESULT Hr() const noexcept { return m_hr; }
    const std::string& Interface() const noexcept { return m_iface; }
    // The words after the code: what a user can be told ("the disk is full").
    const std::string& Detail() const noexcept { return m_detail; }

private:
    static std::string Describe(HRESULT hr, const std::string& iface, const std::string& detail) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        std::string s = iface + " failed (" + code + ")";
        if (!detail.empty()) s += ": " + detail;
        return s;
    }

    HRESULT m_hr;
    std::string m_iface;
    std::string m_detail;
};

inline void Check(HRESULT hr, const char* iface) {
    if (Failed(hr)) throw HostError(hr, iface);
}

}  // namespace mireo
