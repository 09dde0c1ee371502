#include "addin/testhost/mem_store.h"

#include <algorithm>
#include <cstdio>

#include "hoststore/host_store.h"
#include "hoststore/restrict_filter.h"

namespace mireo::testhost {

namespace {

// The host stamps a saved item with the time; the test host's clock stands still.
OleDate NowLocal() { return MakeOleDate(2007, 3, 14, 15, 9, 26); }

const HostProperty& PropertyOf(const MemItem& item, std::string_view name) {
    const HostProperty* p = FindItemProperty(item.data.cls, name);
    if (p == nullptr) throw HostError(kDispEUnknownName, InterfaceOf(item.data.cls), std::string(name));
    return *p;
}

class CMemItems;

class CMemItemView : public IItem {
public:
    CMemItemView(CMemStore& store, std::shared_ptr<MemItem> item) : m_store(store), m_item(std::move(item)) {}

    ItemClass Class() override { return m_item->data.cls; }
    Value Get(std::string_view property) override { return ReadItemProperty(*m_item, property); }
    void Put(std::string_view property, const Value& value) override { WriteItemProperty(*m_item, property, value); }
    void Save() override { m_store.Save(m_item); }
    bool Saved() override { return m_item->saved; }
    void Delete() override { m_store.Delete(m_item); }
    void Discard() override {
        if (m_item->entryId.empty()) m_item->gone = true;
    }
    std::string EntryId() override { return m_item->entryId; }
    std::string StoreId() override { return "S1"; }
    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override { throw HostError(kENotImpl, "_AppointmentItem"); }
    void ClearRecurrencePattern() override { throw HostError(kENotImpl, "_AppointmentItem"); }
    std::unique_ptr<IRecipients> Recipients() override { throw HostError(kENotImpl, "_AppointmentItem"); }
    bool ShowCategoriesDialog() override { return false; }

    MemItem& State() { return *m_item; }

private:
    CMemStore& m_store;
    std::shared_ptr<MemItem> m_item;
};

class CMemItems : public IItems {
public:
    CMemItems(CMemStore& store, MemFolder& folder, std::vector<std::shared_ptr<MemItem>> items)
        : m_store(store), m_folder(folder), m_items(std::move(items)) {}

    int Count() override { return static_cast<int>(m_items.size()); }
    std::unique_ptr<IItem> Item(int index) override {
        if (index < 1 || index > Count()) throw HostError(kDispEBadIndex, "_Items");
        return m_store.Item(m_items[static_cast<std::size_t>(index - 1)]);
    }
    std::unique_ptr<IItems> Restrict(const std::u16string& filter) override {
        return std::make_unique<CMemItems>(m_store, m_folder, Restricted(m_items, filter));
    }
    std::unique_ptr<IItem> Add(ItemType type) override {
        const ItemClass cls = type == ItemType::Contact ? ItemClass::Contact : ItemClass::Appointment;
        return m_store.Item(m_store.NewItem(&m_folder, cls));
    }
    void Sort(const std::u16string&, bool) override {}
    void SetIncludeRecurrences(bool) override {}
    bool IncludeRecurrences() override { return false; }
    std::unique_ptr<IItem> GetFirst() override {
        m_next = 0;
        return GetNext();
    }
    std::unique_ptr<IItem> GetNext() override {
        if (m_next >= m_items.size()) return nullptr;
        return m_store.Item(m_items[m_next++]);
    }

private:
    CMemStore& m_store;
    MemFolder& m_folder;
    std::vector<std::shared_ptr<MemItem>> m_items;
    std::size_t m_next = 0;
};

class CMemFolderView : public IFolder {
public:
    CMemFolderView(CMemStore& store, MemFolder& folder) : m_store(store), m_folder(folder) {}
    int DefaultItemType() override { return m_folder.defaultItemType; }
    std::u16string Name() override { return m_folder.name; }
    std::unique_ptr<IFolder> Parent() override {
        return m_folder.parent ? m_store.Folder(*m_folder.parent) : nullptr;
    }
    std::unique_ptr<IItems> Items() override { return m_store.Items(m_folder); }
    std::unique_ptr<IFolders> Folders() override { throw HostError(kENotImpl, "MAPIFolder"); }
    std::string EntryId() override { return m_folder.entryId; }
    std::string StoreId() override { return "S1"; }

private:
    CMemStore& m_store;
    MemFolder& m_folder;
};

// No MAPI properties in this store.
class CNoMapi : public IMapiUtils {
public:
    PropTag GetIDsFromNames(IItem&, const std::string&, std::uint16_t, bool) override { return 0; }
    std::optional<Value> GetProp(IItem&, PropTag) override { return std::nullopt; }
    void SetProp(IItem&, PropTag, const Value&) override { throw HostError(kENotImpl, "MAPIUtils"); }
    std::string BytesToHex(const Bytes&) override { return {}; }
    Bytes HexToBytes(const std::string&) override { return {}; }
    std::string ErrorText(HRESULT) override { return {}; }
};

MemFolder* AddFolder(MemFolder& parent, std::u16string name, int type, const char* id) {
    auto f = std::make_unique<MemFolder>();
    f->name = std::move(name);
    f->defaultItemType = type;
    f->parent = &parent;
    f->entryId = id;
    parent.children.push_back(std::move(f));
    return parent.children.back().get();
}

}  // namespace

const char* InterfaceOf(ItemClass cls) {
    return cls == ItemClass::Contact ? "_ContactItem" : cls == ItemClass::Appointment ? "_AppointmentItem" : "_Item";
}

Value ReadItemProperty(MemItem& item, std::string_view name) {
    if (name == "EntryID") return Value::Text(ToHostText(item.entryId));
    return ReadProperty(item.data, PropertyOf(item, name));
}

void WriteItemProperty(MemItem& item, std::string_view name, const Value& value) {
    const HostProperty& p = PropertyOf(item, name);
    const char* iface = InterfaceOf(item.data.cls);
    if (p.readOnly) throw HostError(kDispEException, iface, std::string(p.name) + " is read-only");
    WriteProperty(item.data, p, CoerceToKind(value, p.kind, iface));
    if (std::string_view(p.name) == "LastModificationTime") item.lastModifiedPut = true;
    item.saved = false;
}

std::vector<std::shared_ptr<MemItem>> Restricted(const std::vector<std::shared_ptr<MemItem>>& items,
                                                 const std::u16string& filter) {
    const CRestrictFilter parsed = CRestrictFilter::Parse(filter, "M/d/yyyy");
    std::vector<std::shared_ptr<MemItem>> out;
    for (const auto& item : items) {
        const ItemData& d = item->data;
        if (parsed.Matches([&](const HostProperty& p) { return ReadProperty(d, p); })) out.push_back(item);
    }
    return out;
}

CMemStore::CMemStore() {
    m_top.name = u"Personal Folders";
    m_top.entryId = "F0";
    m_deleted = AddFolder(m_top, u"Deleted Items", kFolderMail, "F3");
    m_inbox = AddFolder(m_top, u"Inbox", kFolderMail, "F6");
    m_calendar = AddFolder(m_top, u"Calendar", kFolderAppointment, "F9");
    m_contacts = AddFolder(m_top, u"Contacts", kFolderContact, "F10");
}

MemFolder* CMemStore::Find(DefaultFolder which) {
    switch (which) {
    case DefaultFolder::DeletedItems: return m_deleted;
    case DefaultFolder::Inbox: return m_inbox;
    case DefaultFolder::Calendar: return m_calendar;
    case DefaultFolder::Contacts: return m_contacts;
    }
    return nullptr;
}

std::shared_ptr<MemItem> CMemStore::FindItem(const std::string& entryId) {
    std::vector<MemFolder*> todo{&m_top};
    while (!todo.empty()) {
        MemFolder* f = todo.back();
        todo.pop_back();
        for (const auto& item : f->items)
            if (item->entryId == entryId) return item;
        for (const auto& c : f->children) todo.push_back(c.get());
    }
    return nullptr;
}

std::unique_ptr<IFolder> CMemStore::Folder(MemFolder& f) { return std::make_unique<CMemFolderView>(*this, f); }

std::unique_ptr<IItem> CMemStore::Item(std::shared_ptr<MemItem> item) {
    return std::make_unique<CMemItemView>(*this, std::move(item));
}

std::unique_ptr<IItems> CMemStore::Items(MemFolder& f) { return std::make_unique<CMemItems>(*this, f, f.items); }

std::shared_ptr<MemItem> CMemStore::NewItem(MemFolder* folder, ItemClass cls) {
    auto item = std::make_shared<MemItem>();
    item->data.cls = cls;
    item->folder = folder;
    item->saved = false;
    return item;
}

void CMemStore::Save(const std::shared_ptr<MemItem>& saved) {
    MemItem& item = *saved;
    if (item.gone) throw HostError(kMapiENotFound, InterfaceOf(item.data.cls), "the item was deleted");
    if (item.folder == nullptr) item.folder = item.data.cls == ItemClass::Contact ? m_contacts : m_calendar;
    if (!item.lastModifiedPut) item.data.props["LastModificationTime"] = Value::Date(NowLocal());
    item.lastModifiedPut = false;
    if (item.entryId.empty()) {
        char id[16];
        std::snprintf(id, sizeof id, "%08X", ++m_nextId);
        item.entryId = id;
        item.folder->items.push_back(saved);
    }
    item.saved = true;
}

void CMemStore::Delete(const std::shared_ptr<MemItem>& item) {
    if (item->gone) throw HostError(kMapiENotFound, InterfaceOf(item->data.cls), "the item was deleted");
    if (item->entryId.empty()) {
        item->gone = true;
        return;
    }
    auto& from = item->folder->items;
    from.erase(std::remove(from.begin(), from.end(), item), from.end());
    if (item->folder == m_deleted) {
        item->gone = true;
        return;
    }
    item->folder = m_deleted;
    m_deleted->items.push_back(item);
}

void CMemStore::Load(MemFolder& f, const std::string& jsonText) {
    const ItemJson all = ItemJson::parse(jsonText);
    std::unique_ptr<IItems> items = Items(f);
    CNoMapi mapi;
    for (const ItemJson& j : all) AddItemFromJson(*items, f.defaultItemType, j, mapi);
}

std::string CMemStore::Dump(MemFolder& f) {
    ItemJson all = ItemJson::array();
    for (const auto& item : f.items) {
        std::unique_ptr<IItem> view = Item(item);
        all.push_back(ItemToJson(*view, f.defaultItemType == kFolderMail));
    }
    return all.dump(2) + "\n";
}

}  // namespace mireo::testhost

namespace mireo {

// What the substitute store's JSON writer asks of an item (declared in
// hoststore/host_store.h, defined by the store itself on Linux).
std::vector<std::string> SetPropertyNames(IItem& item) {
    std::vector<std::string> names;
    if (auto* view = dynamic_cast<testhost::CMemItemView*>(&item))
        for (const auto& [name, value] : view->State().data.props) names.push_back(name);
    return names;
}

std::vector<MapiProperty> MapiProperties(IItem&) { return {}; }

}  // namespace mireo
