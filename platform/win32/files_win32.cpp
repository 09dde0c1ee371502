// Files by UTF-8 path, Win32 wide functions.
#include <windows.h>

#include <new>
#include <string>

#include "platform/files.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo {

bool ReadWholeFile(const std::string& path, std::string& out) {
    const std::wstring wide = widepath::FromUtf8(path);
    if (wide.empty()) return false;
    // A folder fails here: CreateFileW opens one only with FILE_FLAG_BACKUP_SEMANTICS.
    UniqueFile file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return false;
    if (static_cast<unsigned long long>(size.QuadPart) > static_cast<unsigned long long>(PTRDIFF_MAX)) return false;
    std::string data;
    try {
        data.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t got = 0;
    while (got < data.size()) {
        const std::size_t left = data.size() - got;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::ReadFile(file.Get(), data.data() + got, chunk, &n, nullptr)) return false;
        if (n == 0) break;  // shrank meanwhile
        got += n;
    }
    data.resize(got);
    out = std::move(data);
    return true;
}

bool FileCanBeOpened(const std::string& path) {
    const std::wstring wide = widepath::FromUtf8(path);
    if (wide.empty()) return false;
    UniqueFile file(::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool PathIsDirectory(const std::string& path) {
    const std::wstring wide = widepath::FromUtf8(path);
    if (wide.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace mireo
