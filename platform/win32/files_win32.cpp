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

namespace {

// The system's words for an error, without the line end FormatMessage adds.
std::string SystemErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring w = n && text ? std::wstring(text, n) : L"system error " + std::to_wstring(error);
    if (text) ::LocalFree(text);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ')) w.pop_back();
    return widepath::ToUtf8(w);
}

}  // namespace

bool CMappedFile::Open(const std::string& path, std::string& reason) {
    Close();
    const std::wstring wide = widepath::FromUtf8(path);
    if (wide.empty()) {
        reason = SystemErrorText(ERROR_INVALID_NAME);
        return false;
    }
    UniqueFile file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        reason = error == ERROR_ACCESS_DENIED && PathIsDirectory(path) ? "it is a folder" : SystemErrorText(error);
        return false;
    }
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        reason = "not a regular file (a pipe or device)";
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) {
        reason = SystemErrorText(::GetLastError());
        return false;
    }
    if (size.QuadPart == 0) return true;  // an empty file cannot be mapped, and needs not be
    if (static_cast<unsigned long long>(size.QuadPart) > static_cast<unsigned long long>(SIZE_MAX)) {
        reason = "the file is too large to be read";
        return false;
    }
    UniqueHandle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) {
        reason = SystemErrorText(::GetLastError());
        return false;
    }
    // The view keeps the mapping and the file open; their handles go.
    void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        const DWORD error = ::GetLastError();
        reason = error == ERROR_NOT_ENOUGH_MEMORY ? "the file is too large to be read" : SystemErrorText(error);
        return false;
    }
    m_view = view;
    m_size = static_cast<std::size_t>(size.QuadPart);
    return true;
}

void CMappedFile::Release(std::size_t offset) {
    if (m_view == nullptr) return;
    const std::size_t end = offset < m_size ? offset : m_size;
    // Unlocking pages that are not locked takes them out of the working set.
    if (end > 0) ::VirtualUnlock(m_view, end);
}

void CMappedFile::Close() {
    if (m_view != nullptr) ::UnmapViewOfFile(m_view);
    m_view = nullptr;
    m_size = 0;
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
