#pragma once
// Opening a file-system folder for the user: the shell's "open" verb on Windows.
// The finish pages of every action reach it through this seam so that tests can see the call.
#include <string>

namespace mireo {

class IFolderOpener {
public:
    virtual ~IFolderOpener() = default;
    // False when the shell could not open it.
    virtual bool OpenFolder(const std::string& path) = 0;
};

// Opens the path only when it is an existing directory: a text that names a file or a
// program is never handed to the shell's "open" verb.
bool OpenFolderChecked(IFolderOpener& opener, const std::string& path);

}  // namespace mireo
