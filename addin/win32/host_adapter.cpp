#include "addin/win32/host_adapter.h"

#include <cstdio>

namespace mireo {

namespace {

// The host's values of Class.
constexpr long kOlAppointment = 26;
constexpr long kOlContact = 40;
constexpr long kOlMail = 43;
constexpr long kOlFolder = 2;

// Property names are ASCII; IDispatch wants them wide.
std::wstring Wide(std::string_view name) { return std::wstring(name.begin(), name.end()); }

const char* ItemInterface(ItemType type) {
    switch (type) {
    case ItemType::Contact: return "_ContactItem";
    case ItemType::Appointment: return "_AppointmentItem";
    case ItemType::Mail: return "_MailItem";
    }
    return "_Item";
}

const char* ItemInterfaceOfFolder(int defaultItemType) {
    switch (defaultItemType) {
    case kFolderContact: return "_ContactItem";
    case kFolderAppointment: return "_AppointmentItem";
    default: return "_Item";
    }
}

class CDispItem;

std::unique_ptr<IItem> WrapItem(CDispatch object);

class CDispRecipient : public IRecipient {
public:
    explicit CDispRecipient(CDispatch r) : m_r(std::move(r)) {}
    Value Get(std::string_view property) override { return m_r.GetValue(Wide(property).c_str()); }
    void Put(std::string_view property, const Value& value) override {
        m_r.Put(Wide(property).c_str(), VariantFromValue(value));
    }

private:
    CDispatch m_r;
};

class CDispRecipients : public IRecipients {
public:
    explicit CDispRecipients(CDispatch r) : m_r(std::move(r)) {}
    int Count() override { return m_r.GetInt(L"Count"); }
    std::unique_ptr<IRecipient> Item(int index) override {
        CDispatch r = m_r.GetObject(L"Item", "Recipient", CVariant::Int(index));
        if (!r) ThrowHostError(kDispEBadIndex, "Recipients", "Item");
        return std::make_unique<CDispRecipient>(std::move(r));
    }
    std::unique_ptr<IRecipient> Add(const std::u16string& name) override {
        CDispatch r = m_r.CallObject(L"Add", "Recipient", CVariant::Text(name));
        if (!r) ThrowHostError(kEPointer, "Recipients", "Add");
        return std::make_unique<CDispRecipient>(std::move(r));
    }

private:
    CDispatch m_r;
};

class CDispException : public IException {
public:
    explicit CDispException(CDispatch e) : m_e(std::move(e)) {}
    OleDate OriginalDate() override { return m_e.GetValue(L"OriginalDate").AsDate(); }
    bool Deleted() override { return m_e.GetBool(L"Deleted"); }
    std::unique_ptr<IItem> AppointmentItem() override {
        CDispatch item = m_e.GetObject(L"AppointmentItem", "_AppointmentItem");
        if (!item) ThrowHostError(kEPointer, "Exception", "AppointmentItem");
        return WrapItem(std::move(item));
    }

private:
    CDispatch m_e;
};

class CDispExceptions : public IExceptions {
public:
    explicit CDispExceptions(CDispatch e) : m_e(std::move(e)) {}
    int Count() override { return m_e.GetInt(L"Count"); }
    std::unique_ptr<IException> Item(int index) override {
        CDispatch e = m_e.GetObject(L"Item", "Exception", CVariant::Int(index));
        if (!e) ThrowHostError(kDispEBadIndex, "Exceptions", "Item");
        return std::make_unique<CDispException>(std::move(e));
    }

private:
    CDispatch m_e;
};

class CDispRecurrencePattern : public IRecurrencePattern {
public:
    explicit CDispRecurrencePattern(CDispatch p) : m_p(std::move(p)) {}
    Value Get(std::string_view property) override { return m_p.GetValue(Wide(property).c_str()); }
    void Put(std::string_view property, const Value& value) override {
        m_p.Put(Wide(property).c_str(), VariantFromValue(value));
    }
    std::unique_ptr<IExceptions> Exceptions() override {
        CDispatch e = m_p.GetObject(L"Exceptions", "Exceptions");
        if (!e) ThrowHostError(kEPointer, "RecurrencePattern", "Exceptions");
        return std::make_unique<CDispExceptions>(std::move(e));
    }
    std::unique_ptr<IItem> GetOccurrence(OleDate start) override {
        CDispatch item = m_p.CallObject(L"GetOccurrence", "_AppointmentItem", CVariant::Date(start));
        if (!item) ThrowHostError(kEPointer, "RecurrencePattern", "GetOccurrence");
        return WrapItem(std::move(item));
    }

private:
    CDispatch m_p;
};

class CDispItem : public IItem {
public:
    explicit CDispItem(CDispatch item) : m_item(std::move(item)) {}

    ItemClass Class() override {
        if (!m_class) {
            const long cls = m_item.GetInt(L"Class");
            m_class = cls == kOlContact       ? ItemClass::Contact
                      : cls == kOlAppointment ? ItemClass::Appointment
                      : cls == kOlMail        ? ItemClass::Mail
                                              : ItemClass::Other;
            if (*m_class == ItemClass::Contact) m_item = CDispatch(m_item.Ptr(), "_ContactItem");
            if (*m_class == ItemClass::Appointment) m_item = CDispatch(m_item.Ptr(), "_AppointmentItem");
            if (*m_class == ItemClass::Mail) m_item = CDispatch(m_item.Ptr(), "_MailItem");
        }
        return *m_class;
    }
    Value Get(std::string_view property) override { return m_item.GetValue(Wide(property).c_str()); }
    void Put(std::string_view property, const Value& value) override {
        m_item.Put(Wide(property).c_str(), VariantFromValue(value));
    }
    void Save() override { m_item.Call(L"Save"); }
    bool Saved() override { return m_item.GetBool(L"Saved"); }
    void Delete() override { m_item.Call(L"Delete"); }
    // Close(olDiscard).
    void Discard() override { m_item.Call(L"Close", CVariant::Int(1)); }
    std::string EntryId() override { return FromHostText(m_item.GetText(L"EntryID")); }
    std::string StoreId() override {
        // Items of a store answer through their folder; an item in no folder yet (or a
        // host without the property) has none.
        try {
            CDispatch folder = m_item.GetObject(L"Parent", "MAPIFolder");
            return folder ? FromHostText(folder.GetText(L"StoreID")) : std::string();
        } catch (const HostError&) {
            return {};
        }
    }
    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override {
        CDispatch p = m_item.CallObject(L"GetRecurrencePattern", "RecurrencePattern");
        if (!p) ThrowHostError(kEPointer, m_item.Interface(), "GetRecurrencePattern");
        return std::make_unique<CDispRecurrencePattern>(std::move(p));
    }
    void ClearRecurrencePattern() override { m_item.Call(L"ClearRecurrencePattern"); }
    std::unique_ptr<IRecipients> Recipients() override {
        CDispatch r = m_item.GetObject(L"Recipients", "Recipients");
        if (!r) ThrowHostError(kEPointer, m_item.Interface(), "Recipients");
        return std::make_unique<CDispRecipients>(std::move(r));
    }
    // The host's method answers nothing: a cancelled chooser leaves Categories as it
    // was, which the caller reads back either way.
    bool ShowCategoriesDialog() override {
        m_item.Call(L"ShowCategoriesDialog");
        return true;
    }

    IDispatch* Object() const { return m_item.Get(); }

private:
    CDispatch m_item;
    std::optional<ItemClass> m_class;
};

std::unique_ptr<IItem> WrapItem(CDispatch object) { return std::make_unique<CDispItem>(std::move(object)); }

class CDispItems : public IItems {
public:
    CDispItems(CDispatch items, const char* itemIface) : m_items(std::move(items)), m_itemIface(itemIface) {}

    int Count() override { return m_items.GetInt(L"Count"); }
    std::unique_ptr<IItem> Item(int index) override {
        CDispatch item = m_items.GetObject(L"Item", m_itemIface, CVariant::Int(index));
        if (!item) ThrowHostError(kDispEBadIndex, "_Items", "Item");
        return WrapItem(std::move(item));
    }
    std::unique_ptr<IItems> Restrict(const std::u16string& filter) override {
        CDispatch found = m_items.CallObject(L"Restrict", "_Items", CVariant::Text(filter));
        if (!found) ThrowHostError(kEPointer, "_Items", "Restrict");
        return std::make_unique<CDispItems>(std::move(found), m_itemIface);
    }
    std::unique_ptr<IItem> Add(ItemType type) override {
        CDispatch item = m_items.CallObject(L"Add", ItemInterface(type), CVariant::Int(static_cast<int>(type)));
        if (!item) ThrowHostError(kEPointer, "_Items", "Add");
        return WrapItem(std::move(item));
    }
    void Sort(const std::u16string& property, bool descending) override {
        m_items.Call(L"Sort", CVariant::Text(property), CVariant::Bool(descending));
    }
    void SetIncludeRecurrences(bool include) override {
        m_items.Put(L"IncludeRecurrences", CVariant::Bool(include));
    }
    bool IncludeRecurrences() override { return m_items.GetBool(L"IncludeRecurrences"); }
    std::unique_ptr<IItem> GetFirst() override { return Next(L"GetFirst"); }
    std::unique_ptr<IItem> GetNext() override { return Next(L"GetNext"); }

private:
    std::unique_ptr<IItem> Next(const wchar_t* method) {
        CDispatch item = m_items.CallObject(method, m_itemIface);
        return item ? WrapItem(std::move(item)) : nullptr;
    }

    CDispatch m_items;
    const char* m_itemIface;
};

class CDispFolder;

class CDispFolders : public IFolders {
public:
    explicit CDispFolders(CDispatch folders) : m_folders(std::move(folders)) {}
    int Count() override { return m_folders.GetInt(L"Count"); }
    std::unique_ptr<IFolder> Item(int index) override {
        CDispatch f = m_folders.GetObject(L"Item", "MAPIFolder", CVariant::Int(index));
        if (!f) ThrowHostError(kDispEBadIndex, "_Folders", "Item");
        return WrapFolder(f.Ptr());
    }
    std::unique_ptr<IFolder> Add(const std::u16string& name, int defaultItemType) override {
        CDispatch f = m_folders.CallObject(L"Add", "MAPIFolder", CVariant::Text(name), CVariant::Int(defaultItemType));
        if (!f) ThrowHostError(kEPointer, "_Folders", "Add");
        return WrapFolder(f.Ptr());
    }

private:
    CDispatch m_folders;
};

class CDispFolder : public IFolder {
public:
    explicit CDispFolder(CDispatch folder) : m_folder(std::move(folder)) {}

    int DefaultItemType() override { return m_folder.GetInt(L"DefaultItemType"); }
    std::u16string Name() override { return m_folder.GetText(L"Name"); }
    std::unique_ptr<IFolder> Parent() override {
        CDispatch parent = m_folder.GetObject(L"Parent", "MAPIFolder");
        // A store's top folder has the namespace for its parent.
        if (!parent || parent.GetInt(L"Class") != kOlFolder) return nullptr;
        return std::make_unique<CDispFolder>(std::move(parent));
    }
    std::unique_ptr<IItems> Items() override {
        CDispatch items = m_folder.GetObject(L"Items", "_Items");
        if (!items) ThrowHostError(kEPointer, "MAPIFolder", "Items");
        // The folder's own kind names its items' interface until each tells its class.
        const char* itemIface = "_Item";
        try {
            itemIface = ItemInterfaceOfFolder(DefaultItemType());
        } catch (const HostError&) {
        }
        return std::make_unique<CDispItems>(std::move(items), itemIface);
    }
    std::unique_ptr<IFolders> Folders() override {
        CDispatch folders = m_folder.GetObject(L"Folders", "_Folders");
        if (!folders) ThrowHostError(kEPointer, "MAPIFolder", "Folders");
        return std::make_unique<CDispFolders>(std::move(folders));
    }
    std::string EntryId() override { return FromHostText(m_folder.GetText(L"EntryID")); }
    std::string StoreId() override { return FromHostText(m_folder.GetText(L"StoreID")); }

    IDispatch* Object() const { return m_folder.Get(); }

private:
    CDispatch m_folder;
};

class CDispSelection : public ISelection {
public:
    explicit CDispSelection(CDispatch s) : m_s(std::move(s)) {}
    int Count() override { return m_s.GetInt(L"Count"); }
    std::unique_ptr<IItem> Item(int index) override {
        CDispatch item = m_s.GetObject(L"Item", "_Item", CVariant::Int(index));
        if (!item) ThrowHostError(kDispEBadIndex, "Selection", "Item");
        return WrapItem(std::move(item));
    }

private:
    CDispatch m_s;
};

class CDispExplorer : public IExplorer {
public:
    explicit CDispExplorer(CDispatch explorer) : m_explorer(std::move(explorer)) {}

    std::unique_ptr<IFolder> CurrentFolder() override {
        CDispatch folder = m_explorer.GetObject(L"CurrentFolder", "MAPIFolder");
        return folder ? WrapFolder(folder.Ptr()) : nullptr;
    }
    void SetCurrentFolder(IFolder& folder) override {
        auto* own = dynamic_cast<CDispFolder*>(&folder);
        if (own == nullptr) ThrowHostError(kEPointer, "_Explorer", "CurrentFolder");
        m_explorer.PutRef(L"CurrentFolder", own->Object());
    }
    std::unique_ptr<ISelection> Selection() override {
        CDispatch s = m_explorer.GetObject(L"Selection", "Selection");
        return s ? std::make_unique<CDispSelection>(std::move(s)) : nullptr;
    }
    void Activate() override { m_explorer.Call(L"Activate"); }

private:
    CDispatch m_explorer;
};

class CDispNamespace : public INamespace {
public:
    explicit CDispNamespace(CDispatch ns) : m_ns(std::move(ns)) {}

    std::unique_ptr<IFolder> GetDefaultFolder(DefaultFolder which) override {
        CDispatch f = m_ns.CallObject(L"GetDefaultFolder", "MAPIFolder", CVariant::Int(static_cast<int>(which)));
        if (!f) ThrowHostError(kEPointer, "_NameSpace", "GetDefaultFolder");
        return WrapFolder(f.Ptr());
    }
    std::unique_ptr<IFolder> PickFolder() override {
        CDispatch f = m_ns.CallObject(L"PickFolder", "MAPIFolder");
        return f ? WrapFolder(f.Ptr()) : nullptr;
    }
    std::unique_ptr<IFolders> Folders() override {
        CDispatch folders = m_ns.GetObject(L"Folders", "_Folders");
        if (!folders) ThrowHostError(kEPointer, "_NameSpace", "Folders");
        return std::make_unique<CDispFolders>(std::move(folders));
    }
    std::unique_ptr<IItem> GetItemFromID(const std::string& entryId) override {
        CDispatch item = m_ns.CallObject(L"GetItemFromID", "_Item", CVariant::Text(ToHostText(entryId)));
        if (!item) ThrowHostError(kMapiENotFound, "_NameSpace", "GetItemFromID");
        return WrapItem(std::move(item));
    }

private:
    CDispatch m_ns;
};

class CDispMailItem : public IMailItem {
public:
    explicit CDispMailItem(CDispatch mail) : m_mail(std::move(mail)) {}
    // Display's argument (modal) is left out: the message shows and the call returns.
    void Display() override { m_mail.Call(L"Display"); }
    void AddAttachment(const std::u16string& path) override {
        CDispatch attachments = m_mail.GetObject(L"Attachments", "Attachments");
        if (!attachments) ThrowHostError(kEPointer, "_MailItem", "Attachments");
        attachments.Call(L"Add", CVariant::Text(path));
    }

private:
    CDispatch m_mail;
};

class CDispSafeItem : public ISafeItem {
public:
    explicit CDispSafeItem(CDispatch safe) : m_safe(std::move(safe)) {}

    // "SafeItem.Item = item": a put of the object, not a put by reference.
    void SetItem(IItem& item) override {
        m_safe.Put(L"Item", CVariant::Dispatch(DispatchOf(item, m_safe.Interface())));
    }
    Value Get(std::string_view property) override { return m_safe.GetValue(Wide(property).c_str()); }
    std::unique_ptr<IRecipients> Recipients() override {
        CDispatch r = m_safe.GetObject(L"Recipients", "SafeRecipients");
        if (!r) ThrowHostError(kEPointer, m_safe.Interface(), "Recipients");
        return std::make_unique<CDispRecipients>(std::move(r));
    }
    Value Fields(PropTag tag) override {
        CVariant v = m_safe.GetProperty(L"Fields", CVariant::Int(static_cast<long>(tag)));
        return ValueFromVariant(*v, m_safe.Interface());
    }
    void SetFields(PropTag tag, const Value& value) override {
        m_safe.Put(L"Fields", VariantFromValue(value), CVariant::Int(static_cast<long>(tag)));
    }

private:
    CDispatch m_safe;
};

class CDispMapiUtils : public IMapiUtils {
public:
    explicit CDispMapiUtils(CDispatch utils) : m_utils(std::move(utils)) {}

    PropTag GetIDsFromNames(IItem& item, const std::string& guidText, std::uint16_t id, bool create) override {
        CVariant tag = m_utils.Call(L"GetIDsFromNames", MapiObjectOf(item), CVariant::Text(ToHostText(guidText)),
                                    CVariant::Int(id), CVariant::Bool(create));
        return static_cast<PropTag>(ValueFromVariant(*tag, "MAPIUtils").AsInt());
    }
    std::optional<Value> GetProp(IItem& item, PropTag tag) override {
        try {
            CVariant v = m_utils.Call(L"HrGetOneProp", MapiObjectOf(item), CVariant::Int(static_cast<long>(tag)));
            if (v.Type() == VT_EMPTY) return std::nullopt;
            return ValueFromVariant(*v, "MAPIUtils");
        } catch (const HostError& e) {
            if (e.Hr() == kMapiENotFound) return std::nullopt;
            throw;
        }
    }
    void SetProp(IItem& item, PropTag tag, const Value& value) override {
        m_utils.Call(L"HrSetOneProp", MapiObjectOf(item), CVariant::Int(static_cast<long>(tag)),
                     VariantFromValue(value), CVariant::Bool(true));
    }
    // Plain conversions: no need to ask the library.
    std::string BytesToHex(const Bytes& bytes) override { return BytesToHexText(bytes); }
    Bytes HexToBytes(const std::string& text) override { return HexTextToBytes(text); }
    std::string ErrorText(HRESULT hr) override {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
        return buf;
    }

private:
    // The library works on the item's MAPI object.
    CVariant MapiObjectOf(IItem& item) {
        CDispatch host(ComPtr<IDispatch>(DispatchOf(item, "MAPIUtils")), "_Item");
        CVariant object = host.GetProperty(L"MAPIOBJECT");
        if (object.Type() != VT_UNKNOWN && object.Type() != VT_DISPATCH)
            ThrowHostError(kEPointer, "MAPIUtils", "MAPIOBJECT");
        return object;
    }

    CDispatch m_utils;
};

}  // namespace

std::u16string CDispApplication::Version() { return m_app.GetText(L"Version"); }

std::unique_ptr<IExplorer> CDispApplication::ActiveExplorer() {
    CDispatch explorer = m_app.CallObject(L"ActiveExplorer", "_Explorer");
    return explorer ? std::make_unique<CDispExplorer>(std::move(explorer)) : nullptr;
}

std::unique_ptr<INamespace> CDispApplication::GetNamespace() {
    CDispatch ns = m_app.CallObject(L"GetNamespace", "_NameSpace", CVariant::Text(u"MAPI"));
    if (!ns) ThrowHostError(kEPointer, "_Application", "GetNamespace");
    return std::make_unique<CDispNamespace>(std::move(ns));
}

std::unique_ptr<IItem> CDispApplication::CreateItem(ItemType type) {
    CDispatch item = m_app.CallObject(L"CreateItem", ItemInterface(type), CVariant::Int(static_cast<int>(type)));
    if (!item) ThrowHostError(kEPointer, "_Application", "CreateItem");
    return WrapItem(std::move(item));
}

std::unique_ptr<IMailItem> CDispApplication::CreateMailItem() {
    CDispatch mail = m_app.CallObject(L"CreateItem", "_MailItem", CVariant::Int(static_cast<int>(ItemType::Mail)));
    if (!mail) ThrowHostError(kEPointer, "_Application", "CreateItem");
    return std::make_unique<CDispMailItem>(std::move(mail));
}

std::unique_ptr<IExplorer> WrapExplorer(ComPtr<IDispatch> explorer) {
    return std::make_unique<CDispExplorer>(CDispatch(std::move(explorer), "_Explorer"));
}

std::unique_ptr<IFolder> WrapFolder(ComPtr<IDispatch> folder) {
    return std::make_unique<CDispFolder>(CDispatch(std::move(folder), "MAPIFolder"));
}

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId, const char* iface) {
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) throw HostError(hr, iface, "CLSIDFromProgID");
    ComPtr<IDispatch> object;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid());
    if (FAILED(hr)) throw HostError(hr, iface, "CoCreateInstance");
    if (!object) throw HostError(kEPointer, iface, "CoCreateInstance");
    return object;
}

IDispatch* DispatchOf(IItem& item, const char* iface) {
    auto* own = dynamic_cast<CDispItem*>(&item);
    if (own == nullptr || own->Object() == nullptr) throw HostError(kEPointer, iface, "Item");
    return own->Object();
}

std::unique_ptr<ISafeItem> CDispMapiFactory::CreateSafeContactItem() {
    return std::make_unique<CDispSafeItem>(
        CDispatch(CreateByProgId(L"Redemption.SafeContactItem", "SafeContactItem"), "SafeContactItem"));
}

std::unique_ptr<ISafeItem> CDispMapiFactory::CreateSafeAppointmentItem() {
    return std::make_unique<CDispSafeItem>(
        CDispatch(CreateByProgId(L"Redemption.SafeAppointmentItem", "SafeAppointmentItem"), "SafeAppointmentItem"));
}

std::unique_ptr<IMapiUtils> CDispMapiFactory::CreateMapiUtils() {
    return std::make_unique<CDispMapiUtils>(CDispatch(CreateByProgId(L"Redemption.MAPIUtils", "MAPIUtils"), "MAPIUtils"));
}

}  // namespace mireo
