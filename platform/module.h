#pragma once
// Where the add-in module lives, and libraries loaded from an exact path.
#include <memory>
#include <string>

namespace mireo {

// Windows: the DLL's DllMain hands in its HINSTANCE; without it the module is the
// one that holds this code (the DLL, or the running executable of a test program).
void SetOwnModule(void* moduleHandle);
// The module's HMODULE on Windows. Linux: the handle set above, else the load address
// of the object that holds this code, so that it can serve as the helper library's
// non-zero context as the HMODULE does on Windows.
void* OwnModuleHandle();

// Folder of the add-in module, UTF-8, without a trailing separator. Linux: the folder
// of the running executable, or $MIREO_MODULE_DIR when set.
std::string ModuleDirectory();

// Joins a folder and a file name with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// A library loaded by full path; unloaded when destroyed.
class IDynamicLibrary {
public:
    virtual ~IDynamicLibrary() = default;
    // The export of that name, or null.
    virtual void* Resolve(const char* name) const = 0;
};

// Loads the library at exactly this path (never through a search path); null when it
// cannot be loaded.
std::unique_ptr<IDynamicLibrary> LoadLibraryFromPath(const std::string& path);

}  // namespace mireo
