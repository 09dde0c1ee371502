#pragma once
// The test host's folders and items, in memory. Items keep their properties as the
// Linux substitute store does (hoststore/item_data: the same derived FullName, FileAs,
// e-mail address types and defaults), so the add-in under wine and the command line
// under Linux see the same contacts. Restrict uses the substitute store's filter
// evaluator. Appointments hold properties only (no patterns).
#include <memory>
#include <string>
#include <vector>

#include "engine/item_store.h"
#include "hoststore/item_data.h"
#include "hoststore/item_json.h"

namespace mireo::testhost {

struct MemFolder;

struct MemItem {
    ItemData data;
    MemFolder* folder = nullptr;  // null until saved (and for temporary items)
    std::string entryId;          // empty before the first Save
    bool saved = true;
    bool gone = false;
    bool lastModifiedPut = false;
};

struct MemFolder {
    std::u16string name;
    int defaultItemType = kFolderMail;
    MemFolder* parent = nullptr;  // null for a store's top folder
    std::string entryId;
    std::vector<std::unique_ptr<MemFolder>> children;
    std::vector<std::shared_ptr<MemItem>> items;  // in the order they were saved
};

class CMemStore {
public:
    // "Personal Folders" with Contacts, Calendar, Inbox and Deleted Items.
    CMemStore();

    MemFolder& Top() { return m_top; }
    MemFolder& Contacts() { return *m_contacts; }
    MemFolder& Calendar() { return *m_calendar; }
    MemFolder& Inbox() { return *m_inbox; }
    MemFolder& DeletedItems() { return *m_deleted; }
    MemFolder* Find(DefaultFolder which);
    std::shared_ptr<MemItem> FindItem(const std::string& entryId);

    // The engine's view of a folder and its items, for loading and dumping JSON.
    std::unique_ptr<IFolder> Folder(MemFolder& f);
    std::unique_ptr<IItem> Item(std::shared_ptr<MemItem> item);
    std::unique_ptr<IItems> Items(MemFolder& f);
    // A new item of the folder's kind, not in it until saved.
    std::shared_ptr<MemItem> NewItem(MemFolder* folder, ItemClass cls);

    // Loads a JSON array of items into the folder (as "mireo store add" does).
    void Load(MemFolder& f, const std::string& jsonText);
    // The folder's items as "mireo store dump" prints them.
    std::string Dump(MemFolder& f);

    void Save(const std::shared_ptr<MemItem>& item);
    void Delete(const std::shared_ptr<MemItem>& item);

private:
    MemFolder m_top;
    MemFolder* m_contacts;
    MemFolder* m_calendar;
    MemFolder* m_inbox;
    MemFolder* m_deleted;
    int m_nextId = 0;
};

// The items of a restriction text, or every item; HostError for a text the store
// cannot evaluate.
std::vector<std::shared_ptr<MemItem>> Restricted(const std::vector<std::shared_ptr<MemItem>>& items,
                                                 const std::u16string& filter);

// Item property by the host's name, as the store reads and writes it; HostError
// DISP_E_UNKNOWNNAME for a name the item's kind does not have.
Value ReadItemProperty(MemItem& item, std::string_view name);
void WriteItemProperty(MemItem& item, std::string_view name, const Value& value);
const char* InterfaceOf(ItemClass cls);

}  // namespace mireo::testhost
