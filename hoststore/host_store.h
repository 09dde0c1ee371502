#pragma once
// The substitute host for Linux: an application, namespace, folders and items
// kept in an SQLite file, answering the operations of engine/item_store.h as the
// host does, plus the outside MAPI library's safe items and utility object.
// Tests steer it through the extra members of CHostApplication (fault injection,
// the folder chooser's answer, the explorer's selection, ...).
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host_folders.h"  // FolderPathText of a store folder
#include "engine/item_store.h"

namespace mireo {

struct HostStoreOptions {
    std::string path;               // the SQLite file (created with the default folders); ":memory:" for none
    std::u16string version;         // Application.Version
    std::string shortDatePicture;   // the user's short date, for dates in filter texts
    int busyTimeoutMs = 5000;       // how long to wait for a lock another program holds
    int maxBatchSaves = 50000;      // saves grouped into one commit at the most
};

// Where the registry may name the substitute host's version (value "Version").
inline constexpr const char* kHostStoreKeyPath = "Software\\Mireo\\HostStore";
// $MIREO_HOST_VERSION, else the registry's "Version" under kHostStoreKeyPath, else "11.0.0.0".
std::u16string DefaultHostVersion();
// The user's short-date picture ("M/d/yyyy" until the locale substitute answers).
std::string DefaultShortDatePicture();
HostStoreOptions DefaultHostStoreOptions(std::string path);

// Upper bound of the entries a collection with recurrences gives when the filter
// sets no upper [Start] bound (the host's collection would be endless).
constexpr int kMaxRecurrenceEntries = 100000;

class CStoreContext;

class CHostApplication : public IApplication {
public:
    explicit CHostApplication(const HostStoreOptions& options);
    ~CHostApplication() override;

    std::u16string Version() override;
    std::unique_ptr<IExplorer> ActiveExplorer() override;
    std::unique_ptr<INamespace> GetNamespace() override;
    std::unique_ptr<IItem> CreateItem(ItemType type) override;
    std::unique_ptr<IMailItem> CreateMailItem() override;

    // This store keeps every property a new item holds at its first save.
    bool KeepsZoneBeforeFirstSave() override { return true; }

    // Redemption's objects working on this store.
    IMapiFactory& Mapi();

    // Saves are committed in batches; the listener hears of each (at most one run at a
    // time per store file: a second one is refused with HostError).
    void SetSaveListener(ISaveListener* listener) override;
    void CommitSaves() override;
    // Everything saved between these two is stored all together or not at all.
    void BeginAllOrNone();
    void EndAllOrNone(bool commit);

    // The n-th call (1 = the next) of `operation` fails with `hr`. Operations:
    // "Version", "ActiveExplorer", "GetNamespace", "CreateItem", "CreateMailItem",
    // "GetDefaultFolder", "PickFolder", "GetItemFromID", "Folders.Item", "Folders.Add",
    // "Folder.Items", "Folder.Name", "Folder.Parent", "Items.Count", "Items.Item",
    // "Restrict", "Add", "Sort", "IncludeRecurrences", "GetFirst", "GetNext", "Get", "Put",
    // "Save", "Delete", "GetRecurrencePattern", "Recipients.Add", "Recipients.Item",
    // "Recipient.Get", "Pattern.Get", "Pattern.Put", "GetOccurrence", "Exceptions.Item",
    // "Display", "Attachments.Add", "CreateSafeContactItem", "CreateSafeAppointmentItem",
    // "CreateMapiUtils", "SetItem", "SafeItem.Get", "Fields", "SetFields",
    // "GetIDsFromNames", "GetProp", "SetProp".
    void FailCall(const std::string& operation, int nth, HRESULT hr);

    // A folder by its path text ("\\Personal Folders\Calendar\Work") or by its path
    // below the top folder ("Calendar/Work", "Calendar\Work"); null when none.
    std::unique_ptr<IFolder> FolderByPath(std::u16string_view path);
    std::string StoreId();

    // What PickFolder answers: a folder path, or nullopt for "cancelled" (the default).
    void SetPickFolderAnswer(std::optional<std::u16string> path);
    // The explorer's selection, by EntryID.
    void SetSelection(std::vector<std::string> entryIds);
    // What ShowCategoriesDialog does: put these categories and return true, or
    // return false when nullopt (the default).
    void SetCategoriesDialogAnswer(std::optional<std::u16string> categories);

    struct MailRecord {
        bool displayed = false;
        std::vector<std::u16string> attachments;
    };
    // Every mail item made so far.
    std::vector<MailRecord> Mails();

private:
    std::shared_ptr<CStoreContext> m_ctx;
    std::unique_ptr<IMapiFactory> m_mapi;
};

// What the store holds of an item beyond the property table: the names of the
// properties that were put (in no order), and its MAPI properties with the names
// of the named ones. Empty for items of another host and for occurrences.
std::vector<std::string> SetPropertyNames(IItem& item);
struct MapiProperty {
    std::uint16_t id = 0;  // property id (high word of the tag)
    std::optional<std::pair<std::string, std::uint16_t>> name;  // (set GUID, id) of a named property
    Value value;
};
std::vector<MapiProperty> MapiProperties(IItem& item);

}  // namespace mireo
