// Module folder and libraries by path, Win32.
#include <windows.h>

#include <cctype>

#include "platform/module.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo {

namespace {

HMODULE g_ownModule = nullptr;

class CWin32Library final : public IDynamicLibrary {
public:
    explicit CWin32Library(UniqueModule module) : m_module(std::move(module)) {}

    void* Resolve(const char* name) const override {
        if (name == nullptr) return nullptr;
        return reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), name));
    }

private:
    UniqueModule m_module;
};

bool IsAbsolute(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/'))
        return true;
    // UNC and \\?\ paths.
    return path.size() >= 3 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

}  // namespace

void SetOwnModule(void* moduleHandle) { g_ownModule = static_cast<HMODULE>(moduleHandle); }

void* OwnModuleHandle() {
    if (g_ownModule != nullptr) return g_ownModule;
    // Without DllMain's handle, ask which module holds this very code: the DLL when
    // the core is linked into one, else the executable.
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&OwnModuleHandle), &module) &&
        module != nullptr)
        return module;
    return ::GetModuleHandleW(nullptr);
}

std::string ModuleDirectory() {
    const std::wstring path = widepath::ModuleFileName(static_cast<HMODULE>(OwnModuleHandle()));
    return widepath::ToUtf8(widepath::FolderOf(path));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}

std::unique_ptr<IDynamicLibrary> LoadLibraryFromPath(const std::string& path) {
    // A relative name would go through the search order (current folder, PATH):
    // a library planted there must never be loaded into the host.
    if (!IsAbsolute(path)) return nullptr;
    const std::wstring wide = widepath::FromUtf8(path);
    if (wide.empty()) return nullptr;
    UniqueModule module(::LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return nullptr;
    return std::make_unique<CWin32Library>(std::move(module));
}

}  // namespace mireo
