#pragma once
// UTF-8 <-> UTF-16 at the boundary to the wide Win32 functions. Header-only so that
// the helper library can use it without linking the platform layer.
#include <windows.h>

#include <string>
#include <string_view>

namespace mireo::widepath {

inline std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

inline std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Full path of a module; the buffer grows for paths beyond MAX_PATH. Empty on failure.
inline std::wstring ModuleFileName(HMODULE module) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        // XP returns the buffer size without a terminator when the name does not fit.
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        if (buf.size() >= 65536) return {};
        buf.resize(buf.size() * 2);
    }
}

inline std::wstring FolderOf(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/");
    return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep);
}

}  // namespace mireo::widepath
