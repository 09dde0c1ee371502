#pragma once
// Host folders as the wizard pages of every action and the command line see them: a
// folder's path text, whether it holds the action's items, where a page starts, the
// host's folder chooser, and a folder named by its path.
#include <memory>
#include <string>
#include <string_view>

#include "engine/item_store.h"

namespace mireo {

class IMessageBox;

// "\\Top\A\B" of a host folder; empty when a Name or Parent call fails.
std::u16string FolderPathText(IFolder& folder);
// The same as UTF-8, as the pages show it.
std::string HostFolderPathText(IFolder& folder);

// True when the folder's default item type is itemType (kFolderContact,
// kFolderAppointment); a host failure answers false.
bool FolderHolds(IFolder& folder, int itemType);

// A folder chosen by a browse button or elsewhere: one that does not hold itemType
// shows the user string refusalStringId (caption "Mireo", stop icon) and is refused.
bool AcceptFolderHolding(IFolder& folder, int itemType, int refusalStringId, IMessageBox& messages);

// A page's first folder: the active explorer's current folder when it holds itemType,
// else the namespace's default folder `fallback`; null when the host gives neither.
// Host failures are not reported.
std::unique_ptr<IFolder> InitialFolder(IApplication& app, int itemType, DefaultFolder fallback);

// The host's folder chooser; null when cancelled or when the host fails.
std::unique_ptr<IFolder> PickHostFolder(IApplication& app);

// "Categories..." of the pages: the host's category chooser on a temporary item of
// `type` holding `categories`; when the user confirms, the chosen categories replace
// `categories`. The item is never saved. False when the chooser was cancelled or a host
// call failed (the text stays as it was).
bool ChooseItemCategories(IApplication& app, ItemType type, std::string& categories);

// A host folder named by its path ("Contacts", "Calendar/Work", "\\Personal
// Folders\Contacts", ui/folder_path.h). Names below the top folder are looked up in the
// store that holds the default Contacts folder (else the first store). Names match
// exactly, else ignoring ASCII case. Null when there is no such folder or the host
// fails.
std::unique_ptr<IFolder> FindFolderByPath(IApplication& app, std::string_view text);

}  // namespace mireo
