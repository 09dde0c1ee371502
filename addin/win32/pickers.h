#pragma once
// The pickers of the wizard pages: the shell's folder browser (export pages), the
// file chooser (import pages) and the opening of a file-system folder in the shell.
// Every path is UTF-8 outside and UTF-16 at the Windows calls, so that any script in a
// file name works. No picker reports an error; a failure leaves the page's text as it is.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/folder_opener.h"

namespace mireo {

// The shell's folder browser over `owner`, titled `title`, file-system folders only in
// the new dialog style (flags 0x41), the folder of `current` selected when it opens.
// The chosen folder's path, or nothing when cancelled.
std::optional<std::string> BrowseForFolder(HWND owner, const std::string& title, const std::string& current);

// The import pages' file chooser. "GetOpenName.dll" beside the add-in when it is there,
// otherwise the system's open dialog with multiple selection. `filter` is written as
// "VCard (*.vcf)|*.vcf||". The new text of the paths box (one path as it is, several
// quoted), or nothing when cancelled.
std::optional<std::string> ChooseFiles(HWND owner, const std::string& title, const std::string& filter,
                                       const std::string& current);

// The parts of an open dialog's multiple-selection result: the folder, then the names
// in it, each ended by a NUL, the list ended by a second NUL; or one full path. The
// full paths.
std::vector<std::wstring> SplitOpenFileResult(const std::wstring& buffer);
// "VCard (*.vcf)|*.vcf||" as the open dialog takes it: NUL for each bar.
std::wstring DialogFilter(const std::string& filter);

// The shell's "open" verb on a folder.
class CShellFolderOpener : public IFolderOpener {
public:
    bool OpenFolder(const std::string& path) override;
};

}  // namespace mireo
