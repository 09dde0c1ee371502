#pragma once
// One event sink: a small COM object that answers the host's event interface (a
// dispinterface such as ExplorerEvents) and hands each event to its owner's handler.
// It connects and disconnects through the source's connection point. The sink is
// reference counted on its own, so the host may keep calling into it while the owner
// is being torn down; once disconnected it forgets the handler and does nothing.
#include <windows.h>
#include <ocidl.h>

#include <functional>

#include "platform/win32/com_ptr.h"

namespace mireo {

// The host's event interfaces.
extern const IID DIID_ApplicationEvents;      // Quit 0xF007
extern const IID DIID_ExplorersEvents;        // NewExplorer 0xF001
extern const IID DIID_ExplorerEvents;         // BeforeFolderSwitch 0xF003, ViewSwitch 0xF004, Close 0xF008
extern const IID DIID_CommandBarButtonEvents; // Click 1

// Event numbers (the host's dispatch ids).
constexpr DISPID kEventClick = 1;
constexpr DISPID kEventNewExplorer = 0xF001;
constexpr DISPID kEventBeforeFolderSwitch = 0xF003;
constexpr DISPID kEventViewSwitch = 0xF004;
constexpr DISPID kEventQuit = 0xF007;
constexpr DISPID kEventClose = 0xF008;

class CEventSink final : public IDispatch {
public:
    // The handler gets the event's dispatch id and its arguments (last to first, as
    // DISPPARAMS holds them). It runs inside the host's call and must not throw.
    using Handler = std::function<void(DISPID event, const DISPPARAMS& params)>;

    static ComPtr<CEventSink> Create(REFIID events, Handler handler);

    // Advises the source's connection point for the event interface. An error of the
    // host comes back as its HRESULT; the sink stays unconnected then.
    HRESULT Connect(IUnknown* source);
    // Unadvises (when connected) and drops the handler. Safe to call twice, and from
    // inside the handler.
    void Disconnect() noexcept;
    bool IsConnected() const noexcept { return static_cast<bool>(m_point); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: the host calls Invoke only.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

private:
    CEventSink(REFIID events, Handler handler);
    ~CEventSink();
    void Unadvise() noexcept;

    ULONG m_refs = 1;
    IID m_events;
    Handler m_handler;
    ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

}  // namespace mireo
