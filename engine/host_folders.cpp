#include "engine/host_folders.h"

#include <optional>

#include "engine/host_value.h"
#include "platform/ascii.h"
#include "platform/hresult.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/folder_path.h"
#include "ui/wizard_pages.h"

namespace mireo {
namespace {

// A host folder as the path text sees it. Parent() of IFolder is already null above
// a store's top folder.
class CFolderNode final : public IFolderNode {
public:
    explicit CFolderNode(std::unique_ptr<IFolder> owned) : m_owned(std::move(owned)), m_folder(*m_owned) {}
    explicit CFolderNode(IFolder& folder) : m_folder(folder) {}
    std::u16string Name() override { return m_folder.Name(); }
    std::unique_ptr<IFolderNode> Parent() override {
        std::unique_ptr<IFolder> parent = m_folder.Parent();
        if (!parent) return nullptr;
        return std::make_unique<CFolderNode>(std::move(parent));
    }

private:
    std::unique_ptr<IFolder> m_owned;
    IFolder& m_folder;
};

// The first folder of the collection named `name`: exactly, else ignoring ASCII case.
std::unique_ptr<IFolder> Named(IFolders& folders, const std::string& name) {
    const std::u16string wanted = ToHostText(name);
    std::unique_ptr<IFolder> caseless;
    const int n = folders.Count();
    for (int i = 1; i <= n; ++i) {
        std::unique_ptr<IFolder> folder = folders.Item(i);
        if (!folder) continue;
        const std::u16string folderName = folder->Name();
        if (folderName == wanted) return folder;
        if (!caseless && ascii::EqualsNoCase(FromHostText(folderName), name)) caseless = std::move(folder);
    }
    return caseless;
}

std::unique_ptr<IFolder> ChildNamed(IFolder& parent, const std::string& name) {
    std::unique_ptr<IFolders> children = parent.Folders();
    return children ? Named(*children, name) : nullptr;
}

std::unique_ptr<IFolder> TopNamed(INamespace& ns, const std::string& name) {
    std::unique_ptr<IFolders> tops = ns.Folders();
    return tops ? Named(*tops, name) : nullptr;
}

// The top folder of the store that holds the default Contacts folder.
std::unique_ptr<IFolder> DefaultTop(INamespace& ns) {
    try {
        std::unique_ptr<IFolder> folder = ns.GetDefaultFolder(DefaultFolder::Contacts);
        for (int depth = 0; folder && depth < 1000; ++depth) {
            std::unique_ptr<IFolder> parent = folder->Parent();
            if (!parent) return folder;
            folder = std::move(parent);
        }
    } catch (const HostError&) {
    }
    std::unique_ptr<IFolders> tops = ns.Folders();
    return tops && tops->Count() > 0 ? tops->Item(1) : nullptr;
}

}  // namespace

std::u16string FolderPathText(IFolder& folder) {
    CFolderNode node(folder);
    return FolderPathText(static_cast<IFolderNode&>(node));
}

std::string HostFolderPathText(IFolder& folder) { return FromHostText(FolderPathText(folder)); }

bool FolderHolds(IFolder& folder, int itemType) {
    try {
        return folder.DefaultItemType() == itemType;
    } catch (const HostError&) {
        return false;
    }
}

bool AcceptFolderHolding(IFolder& folder, int itemType, int refusalStringId, IMessageBox& messages) {
    if (FolderHolds(folder, itemType)) return true;
    messages.Show(kCaptionMireo, LoadUserString(refusalStringId), MbIcon::Error, MbButtons::Ok);
    return false;
}

std::unique_ptr<IFolder> InitialFolder(IApplication& app, int itemType, DefaultFolder fallback) {
    try {
        if (std::unique_ptr<IExplorer> explorer = app.ActiveExplorer()) {
            std::unique_ptr<IFolder> current = explorer->CurrentFolder();
            if (current && FolderHolds(*current, itemType)) return current;
        }
    } catch (const HostError&) {
        // No explorer to go by: the default folder.
    }
    try {
        if (std::unique_ptr<INamespace> ns = app.GetNamespace()) return ns->GetDefaultFolder(fallback);
    } catch (const HostError&) {
    }
    return nullptr;
}

std::unique_ptr<IFolder> PickHostFolder(IApplication& app) {
    try {
        if (std::unique_ptr<INamespace> ns = app.GetNamespace()) return ns->PickFolder();
    } catch (const HostError&) {
    }
    return nullptr;
}

std::unique_ptr<IFolder> FindFolderByPath(IApplication& app, std::string_view text) {
    const std::optional<FolderPathSpec> parsed = ParseFolderPath(text);
    if (!parsed) return nullptr;
    try {
        std::unique_ptr<INamespace> ns = app.GetNamespace();
        if (!ns) return nullptr;
        std::unique_ptr<IFolder> folder = parsed->top.empty() ? DefaultTop(*ns) : TopNamed(*ns, parsed->top);
        for (const std::string& name : parsed->names) {
            if (!folder) return nullptr;
            folder = ChildNamed(*folder, name);
        }
        return folder;
    } catch (const HostError&) {
        return nullptr;
    }
}

bool ChooseItemCategories(IApplication& app, ItemType type, std::string& categories) {
    std::unique_ptr<IItem> item;
    try {
        // A temporary item outside any folder, discarded whatever happens.
        item = app.CreateItem(type);
        if (!item) return false;
        item->Put("Categories", Value::Text(ToHostText(categories)));
        const bool chosen = item->ShowCategoriesDialog();
        if (chosen) categories = FromHostText(item->Get("Categories").AsText());
        item->Discard();
        return chosen;
    } catch (const HostError&) {
        if (item) {
            try {
                item->Discard();
            } catch (const HostError&) {
            }
        }
        return false;
    }
}

}  // namespace mireo
