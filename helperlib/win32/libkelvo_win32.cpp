// The helper library on Windows: the log is a UTF-8 text file under the local
// application data folder, help pages open in the shell's viewer, the about box is a
// message box.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "helperlib/libkelvo.h"
#include "helperlib/libkelvo_common.h"
#include "mireo_version.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace kelvo {
namespace {

using mireo::widepath::FromUtf8;

HINSTANCE g_instance = nullptr;

std::wstring Env(const wchar_t* name) {
    const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD got = ::GetEnvironmentVariableW(name, value.data(), n);
    if (got == 0 || got >= n) return {};
    value.resize(got);
    return value;
}

// %MIREO_LOG%, else <local application data>\Mireo\mireo.log.
std::wstring LogPath() {
    std::wstring path = Env(L"MIREO_LOG");
    if (!path.empty()) return path;
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                  folder)))
        return {};
    return std::wstring(folder) + L"\\Mireo\\mireo.log";
}

void MakeParentFolders(const std::wstring& path) {
    // Every prefix ending before a separator; the drive, the server and folders that
    // exist simply fail.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != L'\\' && path[i] != L'/') continue;
        if (i == 2 && path[1] == L':') continue;
        ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

bool AppendToFile(const std::wstring& path, const std::string& line) {
    MakeParentFolders(path);
    mireo::UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return file.Close() && ok && written == line.size();
}

}  // namespace
}  // namespace kelvo

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        kelvo::g_instance = instance;
    }
    return TRUE;
}

extern "C" {

std::int32_t MIREO_STDCALL LibKelvoInit(std::intptr_t, std::int32_t, void*, std::int32_t, std::int32_t) {
    return kelvo::kOk;
}

std::int32_t MIREO_STDCALL LibKelvoLogMsg(std::intptr_t context, const char* message, std::int32_t code,
                                          const char* function, std::int32_t level, std::int32_t) {
    if (context == 0) return kelvo::kBadArgument;
    const std::wstring path = kelvo::LogPath();
    if (path.empty()) return kelvo::kFailed;
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    const kelvo::LocalTime t{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    const std::string line = kelvo::FormatLogLine(t, level, code, function, message, "\r\n");
    return kelvo::AppendToFile(path, line) ? kelvo::kOk : kelvo::kFailed;
}

std::int32_t MIREO_STDCALL LibKelvoShowContextHelp(std::intptr_t context, const char* topic) {
    if (context == 0 || !kelvo::IsSafeTopic(topic)) return kelvo::kBadArgument;
    const std::wstring folder =
        mireo::widepath::FolderOf(mireo::widepath::ModuleFileName(kelvo::g_instance));
    if (folder.empty()) return kelvo::kNotFound;
    const std::wstring page = folder + L"\\help\\" + kelvo::FromUtf8(topic);
    const DWORD attributes = ::GetFileAttributesW(page.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kelvo::kNotFound;
    const HINSTANCE result = ::ShellExecuteW(::GetActiveWindow(), L"open", page.c_str(), nullptr, nullptr,
                                             SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32 ? kelvo::kOk : kelvo::kFailed;
}

std::int32_t MIREO_STDCALL LibKelvoAddAboutMenu(std::intptr_t context, void*) {
    return context == 0 ? kelvo::kBadArgument : kelvo::kOk;
}

std::int32_t MIREO_STDCALL LibKelvoShowAbout(std::intptr_t context) {
    if (context == 0) return kelvo::kBadArgument;
    const std::string text = std::string(kelvo::kProductName) + " " + MIREO_VERSION_TEXT +
                             "\nvCard and vCalendar import and export";
    const std::string caption = std::string("About ") + kelvo::kProductName;
    ::MessageBoxW(::GetActiveWindow(), kelvo::FromUtf8(text).c_str(), kelvo::FromUtf8(caption).c_str(),
                  MB_OK | MB_ICONINFORMATION);
    return kelvo::kOk;
}

}  // extern "C"
