#include "addin/win32/connect.h"

#include <cstdlib>
#include <new>

#include "addin/lib_kelvo.h"
#include "addin/win32/addin_engine.h"
#include "addin/win32/com_server.h"
#include "addin/win32/host_adapter.h"
#include "addin/win32/shared_dialogs.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "platform/win32/com_guard.h"
#include "ui/select_action.h"
#include "vcal/common/zone_self_check.h"

namespace mireo {

const IID IID__IDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

namespace {

// The oldest host the add-in works in; below it the add-in connects and does nothing.
constexpr int kMinimumHostMajorVersion = 9;

const wchar_t* const kMethodNames[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate",
                                       L"OnStartupComplete", L"OnBeginShutdown"};

IDispatch* DispatchArgument(const VARIANT& v) {
    if (v.vt == VT_DISPATCH) return v.pdispVal;
    if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal != nullptr) return *v.ppdispVal;
    return nullptr;
}

}  // namespace

class CConnect::CBusy {
public:
    explicit CBusy(CConnect& c) : m_c(c) {
        m_c.AddRef();
        ++m_c.m_busy;
    }
    ~CBusy() {
        if (--m_c.m_busy == 0) m_c.RunPendingTeardown();
        m_c.Release();  // may be the last reference
    }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    CConnect& m_c;
};

HRESULT CreateConnect(REFIID iid, void** out) {
    auto* connect = new (std::nothrow) CConnect();
    if (connect == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = connect->QueryInterface(iid, out);
    connect->Release();
    return hr;
}

CConnect::CConnect() { ModuleLock(); }

CConnect::~CConnect() {
    // A host that lets go without disconnecting still gets everything back.
    Disconnect();
    ModuleUnlock();
}

void CConnect::Log(const char* text, long code, const char* source, int level) {
    if (m_kelvo) {
        m_kelvo->LogMsg(text, code, source, level, kLogFlags);
    } else {
        ::OutputDebugStringA(text);
    }
}

// ---- IUnknown and IDispatch ----

HRESULT CConnect::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__IDTExtensibility2) {
        *out = static_cast<_IDTExtensibility2*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CConnect::AddRef() { return ++m_refs; }

ULONG CConnect::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CConnect::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CConnect::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CConnect::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID id = 1; id <= 5; ++id) {
        if (::lstrcmpiW(names[0], kMethodNames[id - 1]) == 0) ids[0] = id;
    }
    // The methods take no named arguments.
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT CConnect::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                         UINT* argError) {
    if (result != nullptr) ::VariantInit(result);
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr) return E_INVALIDARG;
    // Arguments arrive last to first; custom is always the last one.
    const UINT expected = id == 1 ? 4 : id == 2 ? 2 : 1;
    if (id < 1 || id > 5) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;
    auto mode = [&](UINT index, int& out) {
        CVariant number;
        if (FAILED(::VariantChangeType(number.Get(), &params->rgvarg[index], 0, VT_I4))) {
            if (argError != nullptr) *argError = index;
            return false;
        }
        out = number.Get()->lVal;
        return true;
    };
    int m = 0;
    switch (id) {
    case 1:
        if (!mode(2, m)) return DISP_E_TYPEMISMATCH;
        return OnConnection(DispatchArgument(params->rgvarg[3]), static_cast<ext_ConnectMode>(m),
                            DispatchArgument(params->rgvarg[1]), nullptr);
    case 2:
        if (!mode(1, m)) return DISP_E_TYPEMISMATCH;
        return OnDisconnection(static_cast<ext_DisconnectMode>(m), nullptr);
    case 3: return OnAddInsUpdate(nullptr);
    case 4: return OnStartupComplete(nullptr);
    default: return OnBeginShutdown(nullptr);
    }
}

// ---- _IDTExtensibility2 ----

auto CConnect::Reporter(const char* source) {
    return [this, source](const CaughtFailure& f) { Log(f.text.c_str(), f.hr, source, kError); };
}

HRESULT CConnect::OnConnection(IDispatch* application, ext_ConnectMode, IDispatch*, SAFEARRAY**) {
    return GuardHostMethod([&] { Connect(application); }, Reporter("CConnect::OnConnection"));
}

HRESULT CConnect::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    return GuardHostMethod([&] { Disconnect(); }, Reporter("CConnect::OnDisconnection"));
}

HRESULT CConnect::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT CConnect::OnStartupComplete(SAFEARRAY**) { return S_OK; }

HRESULT CConnect::OnBeginShutdown(SAFEARRAY**) {
    return GuardHostMethod([&] { BeginShutdown(); }, Reporter("CConnect::OnBeginShutdown"));
}

void CConnect::Connect(IDispatch* application) {
    constexpr const char* kSource = "CConnect::OnConnection";
    m_quitDone = m_shutdownDone = m_disconnected = false;
    if (!m_kelvo) m_kelvo = std::make_unique<CLibKelvo>();
    std::srand(::GetTickCount());
    if (application == nullptr) return;
    m_app = ComPtr<IDispatch>(application);
    m_hostApp = std::make_unique<CDispApplication>(m_app);
    m_hostMajorVersion = m_hostApp->MajorVersion(0);
    if (m_hostMajorVersion < kMinimumHostMajorVersion) {
        m_hostApp.reset();
        m_app.Reset();
        return;
    }
    m_mapi = std::make_unique<CDispMapiFactory>();
    m_explorers = m_hostApp->Object().GetObject(L"Explorers", "_Explorers").Ptr();
    m_explorersSink = CEventSink::Create(DIID_ExplorersEvents, [this](DISPID id, const DISPPARAMS& p) {
        if (id != kEventNewExplorer) return;
        GuardCall([&] { OnNewExplorer(p); }, Reporter("CConnect::OnNewExplorer"));
    });
    HRESULT hr = m_explorersSink->Connect(m_explorers.Get());
    if (FAILED(hr)) Log("cannot listen to the explorers", hr, kSource, kError);
    m_applicationSink = CEventSink::Create(DIID_ApplicationEvents, [this](DISPID id, const DISPPARAMS&) {
        if (id == kEventQuit) GuardCall([&] { Quit(); }, Reporter("CConnect::OnQuit"));
    });
    hr = m_applicationSink->Connect(m_app.Get());
    if (FAILED(hr)) Log("cannot listen to the application", hr, kSource, kError);
    const CDispatch active = m_hostApp->Object().CallObject(L"ActiveExplorer", "_Explorer");
    if (active) Attach(active.Ptr(), false);
}

void CConnect::OnNewExplorer(const DISPPARAMS& params) {
    IDispatch* explorer = params.cArgs >= 1 ? DispatchArgument(params.rgvarg[params.cArgs - 1]) : nullptr;
    DeleteClosedExplorers(nullptr);
    if (explorer != nullptr && !m_quitDone) Attach(ComPtr<IDispatch>(explorer), true);
}

void CConnect::Attach(ComPtr<IDispatch> explorer, bool deferred) {
    if (!m_initialized) Initialize();
    const CommandBarOptions options{m_hostMajorVersion, ReadDebugButton(SystemRegistry())};
    m_explorerObjects.push_back(std::make_unique<CExplorer>(std::move(explorer), deferred, *this, options));
}

void CConnect::Initialize() {
    m_kelvo->Init(OwnModuleHandle(), m_app.Get());
    CreateSharedCharConverter();
    m_engine = CreateAddinEngine(*m_hostApp, *m_mapi, *m_kelvo, m_hostMajorVersion);
    m_hidden.Create(*m_kelvo, this, m_hostApp.get());
    // Owned by this thread and never waited on: it only tells a starter that the
    // add-in is loaded.
    m_mutex.Reset(::CreateMutexW(nullptr, TRUE, kAddinMutexName));
    m_initialized = true;
}

// ---- teardown ----

void CConnect::Quit() {
    if (m_quitDone) return;
    if (m_busy > 0) {
        m_quitPending = true;
        return;
    }
    m_quitDone = true;
    m_quitPending = false;
    m_explorerObjects.clear();
    for (ComPtr<CEventSink>* sink : {&m_explorersSink, &m_applicationSink}) {
        if (*sink) (*sink)->Disconnect();
        sink->Reset();
    }
    m_hidden.SetApplication(nullptr);
    if (m_initialized) {
        m_engine.reset();
        DestroySharedCharConverter();
    }
    m_explorers.Reset();
    m_mapi.reset();
    m_hostApp.reset();
    m_app.Reset();
}

void CConnect::BeginShutdown() {
    if (m_shutdownDone) return;
    if (m_busy > 0) {
        m_shutdownPending = true;
        return;
    }
    m_shutdownDone = true;
    m_shutdownPending = false;
    m_mutex.Reset();
    m_hidden.Destroy();
}

void CConnect::Disconnect() {
    if (m_disconnected) return;
    if (m_busy > 0) {
        m_disconnectPending = true;
        return;
    }
    Quit();
    BeginShutdown();
    m_disconnected = true;
    m_disconnectPending = false;
    m_initialized = false;
    m_kelvo.reset();
}

void CConnect::RunPendingTeardown() {
    if (m_quitPending) Quit();
    if (m_shutdownPending) BeginShutdown();
    if (m_disconnectPending) Disconnect();
}

void CConnect::OnExplorerClosed(CExplorer& explorer) { DeleteClosedExplorers(&explorer); }

// From the end towards the start; the explorer whose Close handler is running stays
// until a later event.
void CConnect::DeleteClosedExplorers(const CExplorer* keep) {
    for (std::size_t i = m_explorerObjects.size(); i-- > 0;) {
        CExplorer* e = m_explorerObjects[i].get();
        if (e != keep && !e->HoldsExplorer()) m_explorerObjects.erase(m_explorerObjects.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// ---- the ways into a run ----

void CConnect::RunCommand(Command command) {
    constexpr const char* kSource = "CConnect::RunCommand";
    if (!m_engine) {
        Log("the add-in is shut down", static_cast<long>(command), kSource, kWarning);
        return;
    }
    // A run, the select-action dialog or the debug dialog is open: their modal loops
    // let this click through, and a second run must not start under them.
    if (m_busy > 0) {
        Log("action refused: a run or a dialog is open", static_cast<long>(command), kSource, kWarning);
        return;
    }
    CBusy busy(*this);
    // The engine lets nothing through but what it does not know; that stops here.
    GuardCall([&] { m_engine->Engine().RunAction(static_cast<int>(command)); }, Reporter(kSource));
}

void CConnect::ShowSelectAction() {
    constexpr const char* kSource = "CConnect::ShowSelectAction";
    const bool locked = m_busy > 0;
    Log(locked ? "->(Locked=true)" : "->(Locked=false)", 0, kSource, kTrace);
    if (locked) return;
    if (!m_engine) {
        Log("the add-in is shut down", 0, kSource, kWarning);
        return;
    }
    CBusy busy(*this);
    CDlgSelectAction dialog(m_engine->SelectActionView(), [this](const char* topic) {
        if (m_kelvo) m_kelvo->ShowContextHelp(topic);
    });
    const int result = dialog.DoModal(::GetActiveWindow());
    if (result == kSelectCannotShow) {
        Log("Cant show dialog", static_cast<long>(::GetLastError()), kSource, kError);
        return;
    }
    if (result != kSelectChosen) {
        Log("DoModal return", result, kSource, kTrace);
        return;
    }
    const int action = dialog.Action();
    if (action < kActionExportContacts || action > kActionImportEvents) {
        Log("invalid action", action, kSource, kError);
        return;
    }
    GuardCall([&] { m_engine->Engine().RunAction(action); }, Reporter(kSource));
}

void CConnect::RunDebugTool() {
    constexpr const char* kSource = "CConnect::RunDebugTool";
    if (m_busy > 0 || !m_hostApp) {
        Log("debug tool refused: a run or a dialog is open", 0, kSource, kWarning);
        return;
    }
    CBusy busy(*this);
    try {
        if (std::unique_ptr<IExplorer> explorer = m_hostApp->ActiveExplorer()) explorer->Activate();
    } catch (const HostError& e) {
        Log(e.what(), e.Hr(), kSource, kWarning);
    }
    // The self-check of the zone conversions runs first; nothing of it is shown.
    const std::vector<ZoneCheckResult> checked = RunZoneSelfCheck();
    (void)checked;
    if (ShowDebugDialog(*m_kelvo, ::GetActiveWindow()) == -1)
        Log("Cant show dialog", static_cast<long>(::GetLastError()), kSource, kError);
}

}  // namespace mireo
