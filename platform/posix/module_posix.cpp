// Module folder and libraries by path, Linux substitute.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/module.h"

namespace mireo {

namespace {

void* g_ownModule = nullptr;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string ExecutablePath() {
    // readlink does not say whether it truncated; grow until the link fits.
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        if (buf.size() >= (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
}

class CPosixLibrary final : public IDynamicLibrary {
public:
    explicit CPosixLibrary(void* handle) : m_handle(handle) {}
    ~CPosixLibrary() override { ::dlclose(m_handle); }
    CPosixLibrary(const CPosixLibrary&) = delete;
    CPosixLibrary& operator=(const CPosixLibrary&) = delete;

    void* Resolve(const char* name) const override {
        if (name == nullptr) return nullptr;
        return ::dlsym(m_handle, name);
    }

private:
    void* m_handle;
};

}  // namespace

void SetOwnModule(void* moduleHandle) { g_ownModule = moduleHandle; }

void* OwnModuleHandle() {
    if (g_ownModule != nullptr) return g_ownModule;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OwnModuleHandle), &info) != 0) return info.dli_fbase;
    return nullptr;
}

std::string ModuleDirectory() {
    const char* env = std::getenv("MIREO_MODULE_DIR");
    if (env != nullptr && *env != '\0') {
        std::string dir = env;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        return dir;
    }
    const std::string exe = ExecutablePath();
    return exe.empty() ? std::string(".") : FolderOf(exe);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::unique_ptr<IDynamicLibrary> LoadLibraryFromPath(const std::string& path) {
    // A name without a slash would make dlopen search LD_LIBRARY_PATH and the
    // system folders, which is exactly what loading by path must avoid.
    if (path.find('/') == std::string::npos) return nullptr;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    return std::make_unique<CPosixLibrary>(handle);
}

}  // namespace mireo
