#include "addin/testhost/fake_host.h"

#include <olectl.h>

#include <algorithm>

#include "addin/win32/event_sink.h"

namespace mireo::testhost {

namespace {

constexpr long kClassApplication = 0;
constexpr long kClassNamespace = 1;
constexpr long kClassFolder = 2;
constexpr long kClassExplorer = 34;
constexpr long kClassContact = 40;
constexpr long kClassAppointment = 26;

// The host's classes, under identifiers of the test host's own.
const CLSID kHostClsids[] = {
    {0x7C6A0F10, 0x1A2B, 0x4C3D, {0x8E, 0x9F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50}},
    {0x7C6A0F10, 0x1A2B, 0x4C3D, {0x8E, 0x9F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x51}},
    {0x7C6A0F10, 0x1A2B, 0x4C3D, {0x8E, 0x9F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x52}},
    {0x7C6A0F10, 0x1A2B, 0x4C3D, {0x8E, 0x9F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x53}},
};

CVariant Object(const ComPtr<CFakeObject>& o) { return CVariant::Dispatch(o.Get()); }

class CFactory final : public IClassFactory {
public:
    explicit CFactory(std::function<ComPtr<CFakeObject>()> make) : m_make(std::move(make)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        ComPtr<CFakeObject> object = m_make();
        return object->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ULONG m_refs = 1;
    std::function<ComPtr<CFakeObject>()> m_make;
};

std::wstring GuidText(REFGUID g) {
    wchar_t text[40] = {};
    ::StringFromGUID2(g, text, 40);
    return text;
}

// The properties a safe item reads for the object model.
bool IsGuarded(const std::string& name) {
    static const char* const kGuarded[] = {"Body", "Email1Address", "Email2Address", "Email3Address",
                                           "Email1AddressType", "Email2AddressType", "Email3AddressType",
                                           "IMAddress", "NetMeetingAlias"};
    for (const char* g : kGuarded)
        if (::lstrcmpiA(g, name.c_str()) == 0) return true;
    return false;
}

}  // namespace

std::u16string ControlState::Text(const char* property) {
    const VARIANT& v = *object->StoredValue(property);
    return v.vt == VT_BSTR ? BstrText(v.bstrVal) : std::u16string();
}

long ControlState::Number(const char* property) {
    const VARIANT& v = *object->StoredValue(property);
    return v.vt == VT_I4 ? v.lVal : v.vt == VT_I2 ? v.iVal : 0;
}

bool ControlState::Flag(const char* property) {
    const VARIANT& v = *object->StoredValue(property);
    return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
}

// A picture of bitmap type with a handle, as OleCreatePictureIndirect makes one.
bool ControlState::HasPicture(const char* property) {
    const VARIANT& v = *object->StoredValue(property);
    if (v.vt != VT_DISPATCH || v.pdispVal == nullptr) return false;
    ComPtr<IPicture> picture;
    if (FAILED(v.pdispVal->QueryInterface(IID_IPicture, picture.PutVoid()))) return false;
    SHORT type = 0;
    OLE_HANDLE handle = 0;
    return SUCCEEDED(picture->get_Type(&type)) && type == PICTYPE_BITMAP && SUCCEEDED(picture->get_Handle(&handle)) &&
           handle != 0;
}

ExplorerLayout DefaultLayout() {
    return ExplorerLayout{{101, 478, 102, 103, 104, 105, 106, 107}, {201, 202, 1886, 203, 204, 205, 206, 207, 208, 209, 210}};
}

std::vector<std::shared_ptr<ControlState>> CFakeExplorer::AddedToolbar() const {
    std::vector<std::shared_ptr<ControlState>> out;
    for (const auto& c : toolbar)
        if (c->temporary) out.push_back(c);
    return out;
}

std::vector<std::shared_ptr<ControlState>> CFakeExplorer::AddedMenu() const {
    std::vector<std::shared_ptr<ControlState>> out;
    for (const auto& c : firstMenu->children)
        if (c->temporary) out.push_back(c);
    return out;
}

long CFakeExplorer::ToolbarPosition(const ControlState& c) const {
    for (std::size_t i = 0; i < toolbar.size(); ++i)
        if (toolbar[i].get() == &c) return static_cast<long>(i + 1);
    return 0;
}

CFakeHost::CFakeHost(std::u16string version) : m_version(std::move(version)) {
    m_explorers = CFakeObject::Create("_Explorers");
    m_explorers->AddEventSource(DIID_ExplorersEvents);
    m_explorers->Get("Count", [this](const CallArgs&) { return CVariant::Int(static_cast<long>(m_explorerList.size())); });
    m_explorers->Get("Item", [this](const CallArgs& a) {
        const long i = a.Int(0);
        if (i < 1 || i > static_cast<long>(m_explorerList.size())) throw HostError(kDispEBadIndex, "_Explorers");
        return Object(m_explorerList[static_cast<std::size_t>(i - 1)]->object);
    });

    m_app = CFakeObject::Create("_Application");
    m_app->AddEventSource(DIID_ApplicationEvents);
    m_app->Get("Version", [this](const CallArgs&) { return CVariant::Text(m_version); });
    m_app->Get("Class", [](const CallArgs&) { return CVariant::Int(kClassApplication); });
    m_app->Get("Explorers", [this](const CallArgs&) { return Object(m_explorers); });
    m_app->Method("ActiveExplorer", [this](const CallArgs&) {
        return m_active != nullptr ? Object(m_active->object) : CVariant();
    });
    m_app->Method("GetNamespace", [this](const CallArgs& a) {
        if (a.Text(0) != u"MAPI") throw HostError(kEInvalidArg, "_Application", "GetNamespace");
        return Object(NamespaceObject());
    });
    m_app->Method("CreateItem", [this](const CallArgs& a) {
        const long type = a.Int(0);
        if (type == 0) return Object(MailObject());
        if (type != 1 && type != 2) throw HostError(kENotImpl, "_Application", "CreateItem");
        return Object(ItemObject(m_store.NewItem(nullptr, type == 2 ? ItemClass::Contact : ItemClass::Appointment)));
    });
    RegisterClasses();
}

ComPtr<CFakeObject> CFakeHost::MailObject() {
    auto mail = std::make_shared<FakeMail>();
    mails.push_back(mail);
    ComPtr<CFakeObject> attachments = CFakeObject::Create("Attachments");
    attachments->Method("Add", [mail](const CallArgs& a) {
        mail->attachments.push_back(a.Text(0));
        return CVariant();
    });
    ComPtr<CFakeObject> m = CFakeObject::Create("_MailItem");
    m->Get("Class", [](const CallArgs&) { return CVariant::Int(43); });
    m->Get("Attachments", [attachments](const CallArgs&) { return Object(attachments); });
    m->Method("Display", [mail](const CallArgs&) {
        mail->displayed = true;
        return CVariant();
    });
    return m;
}

CFakeHost::~CFakeHost() {
    RevokeClasses();
    for (auto& e : m_explorerList) {
        for (auto& c : e->toolbar) c->children.clear();
        if (e->firstMenu) e->firstMenu->children.clear();
    }
}

std::size_t CFakeHost::ConnectedSinks() const {
    std::size_t n = m_app->SinkCount() + m_explorers->SinkCount();
    for (const auto& e : m_explorerList) {
        n += e->object->SinkCount();
        for (const auto& c : e->toolbar) n += c->object->SinkCount();
        for (const auto& c : e->firstMenu->children) {
            n += c->object->SinkCount();
            for (const auto& d : c->children) n += d->object->SinkCount();
        }
    }
    return n;
}

long CFakeHost::ForeignReferences() const {
    long n = static_cast<long>(m_app->Refs()) - 1 + static_cast<long>(m_explorers->Refs()) - 1;
    for (const auto& e : m_explorerList) {
        n += static_cast<long>(e->object->Refs()) - 1;
        for (const auto& c : e->toolbar) n += static_cast<long>(c->object->Refs()) - 1;
        for (const auto& c : e->firstMenu->children) {
            n += static_cast<long>(c->object->Refs()) - 1;
            for (const auto& d : c->children) n += static_cast<long>(d->object->Refs()) - 1;
        }
    }
    return n;
}

// ---- explorers and command bars ----

std::shared_ptr<ControlState> CFakeHost::NewControl(long id, long type, Controls* parent) {
    auto c = std::make_shared<ControlState>();
    c->id = id;
    c->type = type;
    c->parent = parent;
    c->object = CFakeObject::Create(type == 10 ? "CommandBarPopup" : "CommandBarButton");
    CFakeObject& o = *c->object.Get();
    // The object may outlive its control (the add-in still holds a deleted button).
    std::weak_ptr<ControlState> weak = c;
    o.Get("Id", [id](const CallArgs&) { return CVariant::Int(id); });
    o.Get("Type", [type](const CallArgs&) { return CVariant::Int(type); });
    for (const char* p : {"Caption", "TooltipText", "Tag"}) o.Stored(p, CVariant::Text(u""));
    for (const char* p : {"Style", "FaceId"}) o.Stored(p, CVariant::Int(0));
    for (const char* p : {"Enabled", "Visible"}) o.Stored(p, CVariant::Bool(true));
    o.Stored("BeginGroup", CVariant::Bool(false));
    o.Stored("Picture", CVariant());
    o.Stored("Mask", CVariant());
    o.Method("Delete", [weak](const CallArgs&) {
        std::shared_ptr<ControlState> self = weak.lock();
        if (!self || self->parent == nullptr) throw HostError(kEFail, "CommandBarControl", "Delete: already deleted");
        Controls& list = *self->parent;
        list.erase(std::remove(list.begin(), list.end(), self), list.end());
        self->parent = nullptr;
        self->children.clear();
        return CVariant();
    });
    if (type == 10) {
        o.Get("Controls", [this, weak](const CallArgs&) {
            std::shared_ptr<ControlState> self = weak.lock();
            if (!self) throw HostError(kEFail, "CommandBarPopup", "Controls: deleted");
            return Object(ControlsObject(self->children, "CommandBarControls"));
        });
    } else {
        o.AddEventSource(DIID_CommandBarButtonEvents);
    }
    return c;
}

ComPtr<CFakeObject> CFakeHost::ControlsObject(Controls& list, const std::string& iface) {
    ComPtr<CFakeObject> o = CFakeObject::Create(iface);
    Controls* l = &list;
    o->Get("Count", [l](const CallArgs&) { return CVariant::Int(static_cast<long>(l->size())); });
    o->Get("Item", [l](const CallArgs& a) {
        const long i = a.Int(0);
        if (i < 1 || i > static_cast<long>(l->size())) throw HostError(kDispEBadIndex, "CommandBarControls", "Item");
        return Object((*l)[static_cast<std::size_t>(i - 1)]->object);
    });
    // Add(Type, Id, Parameter, Before, Temporary)
    o->Method("Add", [this, l](const CallArgs& a) {
        const long type = a.Int(0, 1);
        const long before = a.Int(3, static_cast<long>(l->size()) + 1);
        if (type != 1 && type != 10) throw HostError(kEInvalidArg, "CommandBarControls", "Add");
        if (before < 1 || before > static_cast<long>(l->size()) + 1)
            throw HostError(kEInvalidArg, "CommandBarControls", "Add: no such position");
        auto c = NewControl(1, type, l);
        c->temporary = a.At(4) != nullptr && a.Int(4) != 0;
        l->insert(l->begin() + (before - 1), c);
        return Object(c->object);
    });
    return o;
}

ComPtr<CFakeObject> CFakeHost::CommandBarsObject(CFakeExplorer& e) {
    ComPtr<CFakeObject> bars = CFakeObject::Create("_CommandBars");
    CFakeExplorer* ex = &e;
    bars->Get("Item", [this, ex](const CallArgs& a) {
        if (a.Text(0) != u"Standard") throw HostError(kEInvalidArg, "_CommandBars", "Item");
        ComPtr<CFakeObject> bar = CFakeObject::Create("CommandBar");
        bar->Get("Name", [](const CallArgs&) { return CVariant::Text(u"Standard"); });
        bar->Get("Controls", [this, ex](const CallArgs&) { return Object(ControlsObject(ex->toolbar, "CommandBarControls")); });
        return Object(bar);
    });
    bars->Get("ActiveMenuBar", [this, ex](const CallArgs&) {
        ComPtr<CFakeObject> bar = CFakeObject::Create("CommandBar");
        bar->Get("Name", [](const CallArgs&) { return CVariant::Text(u"Menu Bar"); });
        bar->Get("Controls", [this, ex](const CallArgs&) {
            ComPtr<CFakeObject> menus = CFakeObject::Create("CommandBarControls");
            menus->Get("Count", [](const CallArgs&) { return CVariant::Int(1); });
            menus->Get("Item", [ex](const CallArgs& a) {
                if (a.Int(0) != 1) throw HostError(kDispEBadIndex, "CommandBarControls", "Item");
                return Object(ex->firstMenu->object);
            });
            return Object(menus);
        });
        return Object(bar);
    });
    return bars;
}

CFakeExplorer& CFakeHost::OpenExplorer(MemFolder* folder, ExplorerLayout layout, bool announce) {
    auto e = std::make_unique<CFakeExplorer>();
    CFakeExplorer* ex = e.get();
    ex->current = folder;
    for (long id : layout.toolbar) ex->toolbar.push_back(NewControl(id, 1, &ex->toolbar));
    ex->firstMenu = NewControl(30002, 10, nullptr);
    for (long id : layout.menu) ex->firstMenu->children.push_back(NewControl(id, 1, &ex->firstMenu->children));
    ex->object = CFakeObject::Create("_Explorer");
    ex->object->AddEventSource(DIID_ExplorerEvents);
    ex->object->Get("Class", [](const CallArgs&) { return CVariant::Int(kClassExplorer); });
    ex->object->Get("CommandBars", [this, ex](const CallArgs&) { return Object(CommandBarsObject(*ex)); });
    ex->object->Get("CurrentFolder", [this, ex](const CallArgs&) {
        return ex->current != nullptr ? Object(FolderObject(*ex->current)) : CVariant();
    });
    ex->object->Put("CurrentFolder", [ex](const CallArgs& a) {
        CFakeObject* f = CFakeObject::From(a.value->vt == VT_DISPATCH ? a.value->pdispVal : nullptr);
        if (f == nullptr || !f->Tag<MemFolder>()) throw HostError(kEInvalidArg, "_Explorer", "CurrentFolder");
        ex->current = f->Tag<MemFolder>().get();
    });
    ex->object->Get("Selection", [this, ex](const CallArgs&) {
        ComPtr<CFakeObject> s = CFakeObject::Create("Selection");
        s->Get("Count", [ex](const CallArgs&) { return CVariant::Int(static_cast<int>(ex->selection.size())); });
        s->Get("Item", [this, ex](const CallArgs& a) -> CVariant {
            const long i = a.Int(0);
            if (i < 1 || i > static_cast<long>(ex->selection.size()))
                throw HostError(kDispEBadIndex, "Selection", "Item");
            return Object(ItemObject(ex->selection[static_cast<std::size_t>(i - 1)]));
        });
        return Object(s);
    });
    ex->object->Method("Activate", [ex](const CallArgs&) {
        ++ex->activations;
        return CVariant();
    });
    m_explorerList.push_back(std::move(e));
    if (m_active == nullptr) m_active = ex;
    if (announce) {
        m_explorers->Fire(DIID_ExplorersEvents, kEventNewExplorer, [&] {
            std::vector<CVariant> args;
            args.push_back(Object(ex->object));
            return args;
        }());
    }
    return *ex;
}

void CFakeHost::FireViewSwitch(CFakeExplorer& e) { e.object->Fire(DIID_ExplorerEvents, kEventViewSwitch, {}); }

void CFakeHost::SwitchFolder(CFakeExplorer& e, MemFolder* folder) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<CVariant> args;
    args.push_back(folder != nullptr ? Object(FolderObject(*folder)) : CVariant::Dispatch(nullptr));
    CVariant byRef;
    byRef.Get()->vt = VT_BOOL | VT_BYREF;
    byRef.Get()->pboolVal = &cancel;
    args.push_back(std::move(byRef));
    // A by-reference VARIANT owns nothing: clearing it leaves the flag alone.
    e.object->Fire(DIID_ExplorerEvents, kEventBeforeFolderSwitch, std::move(args));
    if (cancel == VARIANT_FALSE) e.current = folder;
}

void CFakeHost::CloseExplorer(CFakeExplorer& e) {
    e.object->Fire(DIID_ExplorerEvents, kEventClose, {});
    if (m_active == &e) m_active = nullptr;
}

void CFakeHost::Quit() { m_app->Fire(DIID_ApplicationEvents, kEventQuit, {}); }

void CFakeHost::Click(ControlState& button) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<CVariant> args;
    args.push_back(Object(button.object));
    CVariant byRef;
    byRef.Get()->vt = VT_BOOL | VT_BYREF;
    byRef.Get()->pboolVal = &cancel;
    args.push_back(std::move(byRef));
    button.object->Fire(DIID_CommandBarButtonEvents, kEventClick, std::move(args));
}

// ---- namespace, folders, items ----

ComPtr<CFakeObject> CFakeHost::NamespaceObject() {
    ComPtr<CFakeObject> ns = CFakeObject::Create("_NameSpace");
    ns->Get("Class", [](const CallArgs&) { return CVariant::Int(kClassNamespace); });
    ns->Method("GetDefaultFolder", [this](const CallArgs& a) {
        MemFolder* f = m_store.Find(static_cast<DefaultFolder>(a.Int(0)));
        if (f == nullptr) throw HostError(kEInvalidArg, "_NameSpace", "GetDefaultFolder");
        return Object(FolderObject(*f));
    });
    ns->Method("PickFolder", [this](const CallArgs&) {
        return pickedFolder == nullptr ? CVariant() : Object(FolderObject(*pickedFolder));
    });
    ns->Method("GetItemFromID", [this](const CallArgs& a) {
        std::shared_ptr<MemItem> item = m_store.FindItem(FromHostText(a.Text(0)));
        if (!item) throw HostError(kMapiENotFound, "_NameSpace", "GetItemFromID");
        return Object(ItemObject(item));
    });
    ns->Get("Folders", [this](const CallArgs&) {
        ComPtr<CFakeObject> tops = CFakeObject::Create("_Folders");
        tops->Get("Count", [](const CallArgs&) { return CVariant::Int(1); });
        tops->Get("Item", [this](const CallArgs& a) {
            if (a.Int(0) != 1) throw HostError(kDispEBadIndex, "_Folders", "Item");
            return Object(FolderObject(m_store.Top()));
        });
        return Object(tops);
    });
    return ns;
}

ComPtr<CFakeObject> CFakeHost::FolderObject(MemFolder& f) {
    ComPtr<CFakeObject> o = CFakeObject::Create("MAPIFolder");
    MemFolder* folder = &f;
    o->SetTag(std::shared_ptr<MemFolder>(std::shared_ptr<MemFolder>(), folder));
    o->Get("Class", [](const CallArgs&) { return CVariant::Int(kClassFolder); });
    o->Get("Name", [folder](const CallArgs&) { return CVariant::Text(folder->name); });
    o->Get("DefaultItemType", [folder](const CallArgs&) { return CVariant::Int(folder->defaultItemType); });
    o->Get("EntryID", [folder](const CallArgs&) { return CVariant::Text(ToHostText(folder->entryId)); });
    o->Get("StoreID", [](const CallArgs&) { return CVariant::Text(u"S1"); });
    o->Get("Parent", [this, folder](const CallArgs&) {
        return folder->parent != nullptr ? Object(FolderObject(*folder->parent)) : Object(NamespaceObject());
    });
    o->Get("Items", [this, folder](const CallArgs&) { return Object(ItemsObject(*folder, folder->items)); });
    o->Get("Folders", [this, folder](const CallArgs&) {
        ComPtr<CFakeObject> list = CFakeObject::Create("_Folders");
        list->Get("Count", [folder](const CallArgs&) { return CVariant::Int(static_cast<long>(folder->children.size())); });
        list->Get("Item", [this, folder](const CallArgs& a) {
            const long i = a.Int(0);
            if (i < 1 || i > static_cast<long>(folder->children.size())) throw HostError(kDispEBadIndex, "_Folders", "Item");
            return Object(FolderObject(*folder->children[static_cast<std::size_t>(i - 1)]));
        });
        return Object(list);
    });
    return o;
}

ComPtr<CFakeObject> CFakeHost::ItemsObject(MemFolder& f, std::vector<std::shared_ptr<MemItem>> snapshot) {
    ComPtr<CFakeObject> o = CFakeObject::Create("_Items");
    auto items = std::make_shared<std::vector<std::shared_ptr<MemItem>>>(std::move(snapshot));
    auto cursor = std::make_shared<std::size_t>(0);
    MemFolder* folder = &f;
    o->Get("Count", [items](const CallArgs&) { return CVariant::Int(static_cast<long>(items->size())); });
    o->Get("Item", [this, items](const CallArgs& a) {
        const long i = a.Int(0);
        if (i < 1 || i > static_cast<long>(items->size())) throw HostError(kDispEBadIndex, "_Items", "Item");
        if (onItemRead) onItemRead(i);
        return Object(ItemObject((*items)[static_cast<std::size_t>(i - 1)]));
    });
    o->Method("Restrict", [this, items, folder](const CallArgs& a) {
        return Object(ItemsObject(*folder, Restricted(*items, a.Text(0))));
    });
    o->Method("Add", [this, folder](const CallArgs& a) {
        const long type = a.Int(0, folder->defaultItemType == kFolderContact ? 2 : 1);
        if (type != 1 && type != 2) throw HostError(kENotImpl, "_Items", "Add");
        return Object(ItemObject(m_store.NewItem(folder, type == 2 ? ItemClass::Contact : ItemClass::Appointment)));
    });
    o->Method("Sort", [](const CallArgs&) { return CVariant(); });
    o->Stored("IncludeRecurrences", CVariant::Bool(false));
    o->Method("GetFirst", [this, items, cursor](const CallArgs&) {
        *cursor = 0;
        return *cursor < items->size() ? Object(ItemObject((*items)[(*cursor)++])) : CVariant();
    });
    o->Method("GetNext", [this, items, cursor](const CallArgs&) {
        return *cursor < items->size() ? Object(ItemObject((*items)[(*cursor)++])) : CVariant();
    });
    return o;
}

ComPtr<CFakeObject> CFakeHost::ItemObject(std::shared_ptr<MemItem> item) {
    ComPtr<CFakeObject> o = CFakeObject::Create(InterfaceOf(item->data.cls));
    o->SetTag(item);
    MemItem* it = item.get();
    CFakeObject* self = o.Get();
    o->Get("Class", [it](const CallArgs&) {
        return CVariant::Int(it->data.cls == ItemClass::Contact ? kClassContact : kClassAppointment);
    });
    o->Get("EntryID", [it](const CallArgs&) { return CVariant::Text(ToHostText(it->entryId)); });
    o->Get("Saved", [it](const CallArgs&) { return CVariant::Bool(it->saved); });
    o->Method("Save", [this, item](const CallArgs&) {
        m_store.Save(item);
        return CVariant();
    });
    o->Method("Delete", [this, item](const CallArgs&) {
        m_store.Delete(item);
        return CVariant();
    });
    o->Method("Close", [it](const CallArgs& a) {
        if (a.Int(0) == 1 && it->entryId.empty()) it->gone = true;
        return CVariant();
    });
    o->Get("MAPIOBJECT", [self](const CallArgs&) { return CVariant::Unknown(static_cast<IDispatch*>(self)); });
    o->Get("Parent", [this, it](const CallArgs&) { return it->folder ? Object(FolderObject(*it->folder)) : CVariant(); });
    o->SetFallback([it](const std::string& name) { return FindItemProperty(it->data.cls, name) != nullptr; },
                   [it](const std::string& name, const CallArgs&) {
                       const Value v = ReadItemProperty(*it, name);
                       // A text property the item never had reads as empty text.
                       CVariant out;
                       switch (v.GetKind()) {
                       case Value::Kind::Empty: return out;
                       case Value::Kind::Bool: return CVariant::Bool(v.AsBool());
                       case Value::Kind::Int: return CVariant::Int(v.AsInt());
                       case Value::Kind::Date: return CVariant::Date(v.AsDate());
                       case Value::Kind::Text: return CVariant::Text(v.AsText());
                       case Value::Kind::Binary: break;
                       }
                       throw HostError(kDispETypeMismatch, InterfaceOf(it->data.cls), name);
                   },
                   [it](const std::string& name, const CallArgs& a) {
                       const VARIANT& in = *a.value;
                       Value v;
                       switch (in.vt) {
                       case VT_EMPTY: break;
                       case VT_BOOL: v = Value::Bool(in.boolVal != VARIANT_FALSE); break;
                       case VT_I4: v = Value::Int(in.lVal); break;
                       case VT_I2: v = Value::Int(in.iVal); break;
                       case VT_DATE: v = Value::Date(in.date); break;
                       case VT_BSTR: v = Value::Text(BstrText(in.bstrVal)); break;
                       default: throw HostError(kDispETypeMismatch, InterfaceOf(it->data.cls), name);
                       }
                       WriteItemProperty(*it, name, v);
                   });
    return o;
}

// ---- the outside library's classes ----

void CFakeHost::RegisterClasses() {
    std::vector<std::function<ComPtr<CFakeObject>()>> makers;
    makers.push_back([this] { return m_app; });
    for (const char* iface : {"SafeContactItem", "SafeAppointmentItem"}) {
        makers.push_back([iface] {
            ComPtr<CFakeObject> safe = CFakeObject::Create(iface);
            auto target = std::make_shared<std::shared_ptr<MemItem>>();
            safe->Put("Item", [target](const CallArgs& a) {
                CFakeObject* item = CFakeObject::From(a.value->vt == VT_DISPATCH ? a.value->pdispVal : nullptr);
                if (item == nullptr || !item->Tag<MemItem>()) throw HostError(kEInvalidArg, "SafeItem", "Item");
                *target = item->Tag<MemItem>();
            });
            safe->Get("Fields", [](const CallArgs&) { return CVariant(); });
            safe->SetFallback(IsGuarded,
                              [target](const std::string& name, const CallArgs&) {
                                  if (!*target) throw HostError(kEPointer, "SafeItem", name);
                                  const Value v = ReadItemProperty(**target, name);
                                  return CVariant::Text(v.AsText());
                              },
                              nullptr);
            return safe;
        });
    }
    makers.push_back([] {
        ComPtr<CFakeObject> utils = CFakeObject::Create("MAPIUtils");
        utils->Method("GetIDsFromNames", [](const CallArgs& a) { return CVariant::Int((0x8000L + a.Int(2) % 0x100) << 16); });
        utils->Method("HrGetOneProp", [](const CallArgs&) { return CVariant(); });
        utils->Method("HrSetOneProp", [](const CallArgs&) { return CVariant(); });
        return utils;
    });
    for (std::size_t i = 0; i < makers.size(); ++i) {
        ComPtr<IClassFactory> factory = ComPtr<IClassFactory>::Attach(new CFactory(makers[i]));
        DWORD cookie = 0;
        if (SUCCEEDED(::CoRegisterClassObject(kHostClsids[i], factory.Get(), CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie)))
            m_classCookies.push_back(cookie);
        m_factories.push_back(factory);
        const std::wstring key = std::wstring(kHostProgIds[i]) + L"\\CLSID";
        const std::wstring clsid = GuidText(kHostClsids[i]);
        UniqueHKey progId;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, progId.Put(),
                              nullptr) == ERROR_SUCCESS)
            ::RegSetValueExW(progId.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                             static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
    }
}

void CFakeHost::RevokeClasses() {
    for (DWORD cookie : m_classCookies) ::CoRevokeClassObject(cookie);
    m_classCookies.clear();
    m_factories.clear();
    for (const wchar_t* progId : kHostProgIds) {
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(progId) + L"\\CLSID").c_str());
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, progId);
    }
}

}  // namespace mireo::testhost
