#pragma once
// The Outlook contacts folder of the export and import start pages: where it starts
// and which folder the browse button may choose (engine/host_folders.h for contacts).
#include <memory>

#include "engine/host_folders.h"
#include "engine/item_store.h"
#include "ui/wizard_pages.h"

namespace mireo {

// True when the folder's default item type is contact; a host failure answers false.
inline bool HoldsContacts(IFolder& folder) { return FolderHolds(folder, kFolderContact); }

// The page's first folder: the active explorer's current folder when it holds
// contacts, else the namespace's default Contacts folder; null when the host gives
// neither. Host failures are not reported.
inline std::unique_ptr<IFolder> InitialContactsFolder(IApplication& app) {
    return InitialFolder(app, kFolderContact, DefaultFolder::Contacts);
}

// A folder chosen by the browse button or elsewhere: one that does not hold contacts
// shows string 145 (caption "Mireo", stop icon) and is refused.
inline bool AcceptContactsFolder(IFolder& folder, IMessageBox& messages) {
    return AcceptFolderHolding(folder, kFolderContact, kStrNotContactsFolder, messages);
}

}  // namespace mireo
