#include "ui/folder_opener.h"

#include "platform/files.h"

namespace mireo {

bool OpenFolderChecked(IFolderOpener& opener, const std::string& path) {
    if (path.empty() || !PathIsDirectory(path)) return false;
    return opener.OpenFolder(path);
}

}  // namespace mireo
