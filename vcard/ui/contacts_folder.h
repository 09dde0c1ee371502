#pragma once
// The Outlook contacts folder of the export and import start pages: where it starts
// and which folder the browse button may choose.
#include <memory>

#include "engine/item_store.h"

namespace mireo {

// True when the folder's default item type is contact; a host failure answers false.
bool HoldsContacts(IFolder& folder);

// The page's first folder: the active explorer's current folder when it holds
// contacts, else the namespace's default Contacts folder; null when the host gives
// neither. Host failures are not reported.
std::unique_ptr<IFolder> InitialContactsFolder(IApplication& app);

// A folder chosen by the browse button or elsewhere: one that does not hold contacts
// shows string 145 (caption "Mireo", stop icon) and is refused.
bool AcceptContactsFolder(IFolder& folder);

// The host's folder chooser; null when cancelled or when the host fails.
std::unique_ptr<IFolder> PickHostFolder(IApplication& app);

}  // namespace mireo
