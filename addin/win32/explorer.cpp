#include "addin/win32/explorer.h"

#include <olectl.h>

#include <algorithm>

#include "addin/lib_kelvo.h"
#include "engine/item_store.h"
#include "platform/call_guard.h"
#include "platform/module.h"
#include "platform/user_strings.h"
#include "resources/mireo_resource.h"

namespace mireo {

namespace {

// Office's control types and button styles.
constexpr long kMsoControlButton = 1;
constexpr long kMsoControlPopup = 10;
constexpr long kMsoButtonIcon = 1;
constexpr long kMsoButtonCaption = 2;
constexpr long kMsoButtonIconAndCaption = 3;

constexpr int kStrMenuCaption = 147;  // "Import and Export by Mireo"

struct CommandLook {
    int textId;      // tooltip and caption
    long faceId;     // built-in face, host major version 10 or less
    int pictureId;   // bitmap resources above
    int maskId;
};

CommandLook LookOf(Command c) {
    switch (c) {
    case Command::ImportContacts: return {148, 270, IDB_IMPORT_CONTACTS, IDB_IMPORT_CONTACTS_MASK};
    case Command::ExportContacts: return {149, 271, IDB_EXPORT_CONTACTS, IDB_EXPORT_CONTACTS_MASK};
    case Command::ImportEvents: return {150, 270, IDB_IMPORT_EVENTS, IDB_IMPORT_EVENTS_MASK};
    case Command::ExportEvents: return {151, 271, IDB_EXPORT_EVENTS, IDB_EXPORT_EVENTS_MASK};
    }
    return {0, 0, 0, 0};
}

CVariant TextOf(int stringId) { return CVariant::Text(ToHostText(LoadUserString(stringId))); }

// 1-based position of the control with this Id in a Controls collection; 0 when none.
long PositionOf(const CDispatch& controls, long id, long count) {
    for (long i = 1; i <= count; ++i) {
        CDispatch control = controls.GetObject(L"Item", "CommandBarControl", CVariant::Int(i));
        if (control && control.GetInt(L"Id") == id) return i;
    }
    return 0;
}

// A picture that does not own its bitmap, as a button face.
CVariant PictureOf(HBITMAP bitmap) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IDispatch> picture;
    const HRESULT hr = ::OleCreatePictureIndirect(&desc, IID_IPictureDisp, FALSE, picture.PutVoid());
    if (FAILED(hr)) throw HostError(hr, "CommandBarButton", "OleCreatePictureIndirect");
    return CVariant::Dispatch(picture.Get());
}

}  // namespace

CExplorer::CExplorer(ComPtr<IDispatch> explorer, bool deferred, IExplorerOwner& owner, CommandBarOptions options)
    : m_owner(owner), m_options(options), m_explorer(std::move(explorer), "_Explorer") {
    // A constructor that fails runs no destructor: what it connected goes here.
    try {
        // Close is heard from the start, so that a window closed before its first view
        // switch lets go of it too.
        m_closeSink = CEventSink::Create(DIID_ExplorerEvents, [this](DISPID id, const DISPPARAMS& p) {
            if (id == kEventClose) OnExplorerEvent(id, p);
        });
        m_closeSink->Connect(m_explorer.Get());
        if (deferred) {
            m_viewSwitchSink = CEventSink::Create(DIID_ExplorerEvents, [this](DISPID id, const DISPPARAMS& p) {
                if (id == kEventViewSwitch) OnExplorerEvent(id, p);
            });
            if (FAILED(m_viewSwitchSink->Connect(m_explorer.Get()))) m_viewSwitchSink.Reset();
        } else {
            CreateCommandBars();
        }
    } catch (...) {
        Detach();
        throw;
    }
}

CExplorer::~CExplorer() { Detach(); }

void CExplorer::OnExplorerEvent(DISPID event, const DISPPARAMS& params) {
    if (event == kEventViewSwitch) {
        // Only the first one matters.
        if (m_viewSwitchSink) m_viewSwitchSink->Disconnect();
        m_viewSwitchSink.Reset();
        if (!m_created && m_explorer) CreateCommandBars();
    } else if (event == kEventBeforeFolderSwitch) {
        // (new folder, cancel), last to first; the cancel flag is left as it is.
        IDispatch* folder = nullptr;
        if (params.cArgs >= 2) {
            const VARIANT& v = params.rgvarg[params.cArgs - 1];
            if (v.vt == VT_DISPATCH) folder = v.pdispVal;
            if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal != nullptr) folder = *v.ppdispVal;
        }
        UpdateVisibility(folder);
    } else if (event == kEventClose) {
        Detach();
        m_owner.OnExplorerClosed(*this);
    }
}

Command CExplorer::CommandOf(int slot) {
    switch (slot) {
    case kTbImportContacts:
    case kMnImportContacts: return Command::ImportContacts;
    case kTbExportContacts:
    case kMnExportContacts: return Command::ExportContacts;
    case kTbImportEvents:
    case kMnImportEvents: return Command::ImportEvents;
    default: return Command::ExportEvents;
    }
}

bool CExplorer::CreateCommandBars() {
    constexpr const char* kSource = "CExplorer::CreateCommandBars";
    m_owner.Kelvo().AddAboutMenu(m_explorer.Get());
    try {
        const CDispatch bars = m_explorer.GetObject(L"CommandBars", "_CommandBars");
        if (!bars) throw HostError(kEPointer, "_Explorer", "CommandBars");
        AddToolbarButtons(bars);
        AddMenu(bars);
    } catch (...) {
        // Both bars or neither: what was made so far goes again.
        const CaughtFailure failure = DescribeCurrentException();
        m_owner.Kelvo().LogMsg(failure.text, failure.hr, kSource, kError, kLogFlags);
        DeleteCreatedControls();
        return false;
    }
    m_created = true;
    try {
        const CDispatch folder = m_explorer.GetObject(L"CurrentFolder", "MAPIFolder");
        UpdateVisibility(folder.Get());
    } catch (const HostError& e) {
        m_owner.Kelvo().LogMsg(e.what(), e.Hr(), kSource, kWarning, kLogFlags);
        UpdateVisibility(nullptr);
    }
    ConnectSinks();
    return true;
}

void CExplorer::AddToolbarButtons(const CDispatch& bars) {
    const CDispatch standard = bars.GetObject(L"Item", "CommandBar", CVariant::Text(u"Standard"));
    if (!standard) throw HostError(kEPointer, "_CommandBars", "Item");
    const CDispatch controls = standard.GetObject(L"Controls", "CommandBarControls");
    if (!controls) throw HostError(kEPointer, "CommandBar", "Controls");
    const long count = controls.GetInt(L"Count");
    const long anchor = PositionOf(controls, kToolbarAnchorId, count);
    // A toolbar the user emptied has fewer controls than the default position.
    long before = std::min(anchor != 0 ? anchor + 1 : kToolbarDefaultPosition, count + 1);
    for (Slot slot : {kTbImportContacts, kTbExportContacts, kTbImportEvents, kTbExportEvents}) {
        const CDispatch button = AddButton(controls, slot, kMsoButtonIcon, before++, false);
        button.Put(L"TooltipText", TextOf(LookOf(CommandOf(slot)).textId));
        button.Put(L"Enabled", CVariant::Bool(true));
        button.Put(L"Visible", CVariant::Bool(false));
    }
}

void CExplorer::AddMenu(const CDispatch& bars) {
    const CDispatch menuBar = bars.GetObject(L"ActiveMenuBar", "CommandBar");
    if (!menuBar) throw HostError(kEPointer, "_CommandBars", "ActiveMenuBar");
    const CDispatch barControls = menuBar.GetObject(L"Controls", "CommandBarControls");
    if (!barControls) throw HostError(kEPointer, "CommandBar", "Controls");
    const CDispatch first = barControls.GetObject(L"Item", "CommandBarPopup", CVariant::Int(1));
    if (!first) throw HostError(kEPointer, "CommandBarControls", "Item");
    const CDispatch controls = first.GetObject(L"Controls", "CommandBarControls");
    if (!controls) throw HostError(kEPointer, "CommandBarPopup", "Controls");
    const long count = controls.GetInt(L"Count");
    const long anchor = PositionOf(controls, kMenuAnchorId, count);
    const long before = std::min(anchor != 0 ? anchor : kMenuDefaultPosition, count + 1);
    m_popup = controls.CallObject(L"Add", "CommandBarPopup", CVariant::Int(kMsoControlPopup), CVariant::Missing(),
                                  CVariant::Missing(), CVariant::Int(before), CVariant::Bool(true));
    if (!m_popup) throw HostError(kEPointer, "CommandBarControls", "Add");
    m_popup.Put(L"Caption", TextOf(kStrMenuCaption));
    const CDispatch items = m_popup.GetObject(L"Controls", "CommandBarControls");
    if (!items) throw HostError(kEPointer, "CommandBarPopup", "Controls");
    for (Slot slot : {kMnExportContacts, kMnImportContacts, kMnExportEvents, kMnImportEvents}) {
        const CDispatch button = AddButton(items, slot, kMsoButtonIconAndCaption, 0, slot == kMnExportEvents);
        button.Put(L"Caption", TextOf(LookOf(CommandOf(slot)).textId));
        button.Put(L"Enabled", CVariant::Bool(true));
        button.Put(L"Visible", CVariant::Bool(true));
    }
    if (m_options.debugButton) {
        const CDispatch button = AddButton(items, kMnDebug, kMsoButtonCaption, 0, false);
        button.Put(L"Caption", CVariant::Text(u"DEBUG"));
        button.Put(L"Tag", CVariant::Text(u"Kelvo.Mireo.DEBUG"));
        button.Put(L"Enabled", CVariant::Bool(true));
        button.Put(L"Visible", CVariant::Bool(true));
    }
}

// A temporary button at `before` (0: at the end), kept at once so that a failure
// later on deletes it again.
CDispatch CExplorer::AddButton(const CDispatch& controls, Slot slot, long style, long before, bool beginGroup) {
    CDispatch button =
        controls.CallObject(L"Add", "CommandBarButton", CVariant::Int(kMsoControlButton), CVariant::Missing(),
                            CVariant::Missing(), before > 0 ? CVariant::Int(before) : CVariant::Missing(),
                            CVariant::Bool(true));
    if (!button) throw HostError(kEPointer, "CommandBarControls", "Add");
    m_buttons[slot] = button;
    button.Put(L"Style", CVariant::Int(style));
    if (beginGroup) button.Put(L"BeginGroup", CVariant::Bool(true));
    if (slot != kMnDebug) SetFace(button, CommandOf(slot));
    return button;
}

void CExplorer::SetFace(const CDispatch& button, Command command) {
    const CommandLook look = LookOf(command);
    if (m_options.hostMajorVersion <= 10) {
        button.Put(L"FaceId", CVariant::Int(look.faceId));
        return;
    }
    const HINSTANCE module = static_cast<HINSTANCE>(OwnModuleHandle());
    UniqueGdiObject picture(::LoadImageW(module, MAKEINTRESOURCEW(look.pictureId), IMAGE_BITMAP, 0, 0, 0));
    UniqueGdiObject mask(::LoadImageW(module, MAKEINTRESOURCEW(look.maskId), IMAGE_BITMAP, 0, 0, 0));
    if (!picture || !mask) throw HostError(HRESULT_FROM_WIN32(::GetLastError()), "CommandBarButton", "LoadImage");
    button.Put(L"Picture", PictureOf(static_cast<HBITMAP>(picture.Get())));
    button.Put(L"Mask", PictureOf(static_cast<HBITMAP>(mask.Get())));
    m_bitmaps.push_back(std::move(picture));
    m_bitmaps.push_back(std::move(mask));
}

// Contact buttons for a contacts folder, event buttons for a calendar, none for any
// other folder, for no folder, or when the host cannot tell.
void CExplorer::UpdateVisibility(IDispatch* folder) {
    long type = -1;
    if (folder != nullptr) {
        try {
            type = CDispatch(ComPtr<IDispatch>(folder), "MAPIFolder").GetInt(L"DefaultItemType");
        } catch (const HostError& e) {
            m_owner.Kelvo().LogMsg(e.what(), e.Hr(), "CExplorer::UpdateVisibility", kWarning, kLogFlags);
            type = -1;
        }
    }
    const bool contacts = type == kFolderContact;
    const bool events = type == kFolderAppointment;
    for (Slot slot : {kTbImportContacts, kTbExportContacts, kTbImportEvents, kTbExportEvents}) {
        if (!m_buttons[slot]) continue;
        const bool visible = slot == kTbImportContacts || slot == kTbExportContacts ? contacts : events;
        try {
            m_buttons[slot].Put(L"Visible", CVariant::Bool(visible));
        } catch (const HostError& e) {
            m_owner.Kelvo().LogMsg(e.what(), e.Hr(), "CExplorer::UpdateVisibility", kWarning, kLogFlags);
        }
    }
}

void CExplorer::ConnectSinks() {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!m_buttons[slot]) continue;
        const Command c = CommandOf(slot);
        const bool debug = slot == kMnDebug;
        // Click(button, cancel): both arguments are ignored.
        m_clickSinks[slot] = CEventSink::Create(DIID_CommandBarButtonEvents, [this, c, debug](DISPID id, const DISPPARAMS&) {
            if (id != kEventClick) return;
            if (debug) m_owner.RunDebugTool();
            else m_owner.RunCommand(c);
        });
        m_clickSinks[slot]->Connect(m_buttons[slot].Get());
    }
    m_folderSwitchSink = CEventSink::Create(DIID_ExplorerEvents, [this](DISPID id, const DISPPARAMS& p) {
        if (id == kEventBeforeFolderSwitch) OnExplorerEvent(id, p);
    });
    m_folderSwitchSink->Connect(m_explorer.Get());
}

void CExplorer::DeleteCreatedControls() noexcept {
    // Deleting the popup deletes the menu commands in it.
    for (CDispatch* control : {&m_buttons[kTbImportContacts], &m_buttons[kTbExportContacts],
                               &m_buttons[kTbImportEvents], &m_buttons[kTbExportEvents], &m_popup}) {
        if (*control) {
            try {
                control->Call(L"Delete");
            } catch (...) {
            }
        }
    }
    for (CDispatch& b : m_buttons) b = CDispatch();
    m_popup = CDispatch();
    m_bitmaps.clear();
}

void CExplorer::Detach() noexcept {
    for (ComPtr<CEventSink>* sink : {&m_folderSwitchSink, &m_closeSink, &m_viewSwitchSink}) {
        if (*sink) (*sink)->Disconnect();
        sink->Reset();
    }
    for (ComPtr<CEventSink>& sink : m_clickSinks) {
        if (sink) sink->Disconnect();
        sink.Reset();
    }
    for (CDispatch& b : m_buttons) b = CDispatch();
    m_popup = CDispatch();
    m_explorer = CDispatch();
    m_created = false;
}

}  // namespace mireo
