#pragma once
// CConnect: the object the host creates and connects. It listens to the host's
// explorers and application, keeps one CExplorer per explorer window, and owns the
// engine, the helper library, the hidden command window and the mutex
// "Kelvo.Mireo.Addin" that marks the add-in as loaded.
//
// Teardown: Quit deletes the explorers, the event connections and the engine;
// OnBeginShutdown closes the mutex and destroys the hidden window; OnDisconnection
// does both when they have not happened (the user unticked the add-in) and then
// unloads the helper library. Nothing is torn down under a run: a teardown that
// arrives while an action, the select-action dialog or the debug dialog is open
// (their modal loops let host events through) waits until it has returned.
#include <windows.h>

#include <memory>
#include <vector>

#include "addin/win32/explorer.h"
#include "addin/win32/extensibility.h"
#include "addin/win32/hidden_wnd.h"

namespace mireo {

class CDispApplication;
class CDispMapiFactory;
class IAddinEngine;

constexpr const wchar_t* kAddinMutexName = L"Kelvo.Mireo.Addin";

// Creates a CConnect and hands out the interface asked for.
HRESULT CreateConnect(REFIID iid, void** out);

class CConnect final : public _IDTExtensibility2, public IHiddenWndNotify, public IExplorerOwner {
public:
    CConnect();
    ~CConnect();

    // IUnknown; the reference count is single-threaded (apartment model).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch, by hand: dispatch ids 1 to 5 in the order of the methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) override;
    // _IDTExtensibility2: every method answers S_OK.
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                                           SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

    // IHiddenWndNotify
    void ShowSelectAction() override;
    // IExplorerOwner
    void RunCommand(Command command) override;
    void RunDebugTool() override;
    void OnExplorerClosed(CExplorer& explorer) override;
    CLibKelvo& Kelvo() override { return *m_kelvo; }

private:
    // Holds the object and marks it busy for the length of a modal piece of work.
    class CBusy;

    void Connect(IDispatch* application);
    void Attach(ComPtr<IDispatch> explorer, bool deferred);
    void Initialize();
    void OnNewExplorer(const DISPPARAMS& params);
    // The three parts of the teardown; each runs once, and not while busy.
    void Quit();
    void BeginShutdown();
    void Disconnect();
    void RunPendingTeardown();
    void DeleteClosedExplorers(const CExplorer* keep);
    void Log(const char* text, long code, const char* source, int level);
    // What a guard caught, to the log.
    auto Reporter(const char* source);

    ULONG m_refs = 1;
    ComPtr<IDispatch> m_app;
    std::unique_ptr<CDispApplication> m_hostApp;
    std::unique_ptr<CDispMapiFactory> m_mapi;
    std::unique_ptr<CLibKelvo> m_kelvo;
    std::unique_ptr<IAddinEngine> m_engine;
    bool m_initialized = false;
    int m_hostMajorVersion = 0;
    bool m_debugButton = false;
    std::vector<std::unique_ptr<CExplorer>> m_explorerObjects;
    ComPtr<IDispatch> m_explorers;
    ComPtr<CEventSink> m_explorersSink;    // NewExplorer
    ComPtr<CEventSink> m_applicationSink;  // Quit
    UniqueHandle m_mutex;
    CHiddenWnd m_hidden;
    int m_busy = 0;
    bool m_quitDone = false, m_shutdownDone = false, m_disconnected = false;
    bool m_quitPending = false, m_shutdownPending = false, m_disconnectPending = false;
};

}  // namespace mireo
