#include "vcard/ui/contacts_folder.h"

#include <exception>

#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo {

bool HoldsContacts(IFolder& folder) {
    try {
        return folder.DefaultItemType() == kFolderContact;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<IFolder> InitialContactsFolder(IApplication& app) {
    try {
        if (std::unique_ptr<IExplorer> explorer = app.ActiveExplorer()) {
            std::unique_ptr<IFolder> current = explorer->CurrentFolder();
            if (current && HoldsContacts(*current)) return current;
        }
    } catch (const std::exception&) {
        // No explorer to go by: the default folder.
    }
    try {
        if (std::unique_ptr<INamespace> ns = app.GetNamespace()) return ns->GetDefaultFolder(DefaultFolder::Contacts);
    } catch (const std::exception&) {
    }
    return nullptr;
}

bool AcceptContactsFolder(IFolder& folder) {
    if (HoldsContacts(folder)) return true;
    CurrentMessageBox().Show(kCaptionMireo, LoadUserString(kStrNotContactsFolder), MbIcon::Error, MbButtons::Ok);
    return false;
}

std::unique_ptr<IFolder> PickHostFolder(IApplication& app) {
    try {
        if (std::unique_ptr<INamespace> ns = app.GetNamespace()) return ns->PickFolder();
    } catch (const std::exception&) {
    }
    return nullptr;
}

}  // namespace mireo
