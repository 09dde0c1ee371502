#include "addin/win32/event_sink.h"

#include "addin/win32/com_server.h"
#include "platform/win32/com_guard.h"

namespace mireo {

const IID DIID_ApplicationEvents = {0x0006304E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID DIID_ExplorersEvents = {0x00063078, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID DIID_ExplorerEvents = {0x0006304F, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID DIID_CommandBarButtonEvents = {0x000C0351, 0x0000, 0x0000,
                                         {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

ComPtr<CEventSink> CEventSink::Create(REFIID events, Handler handler) {
    return ComPtr<CEventSink>::Attach(new CEventSink(events, std::move(handler)));
}

CEventSink::CEventSink(REFIID events, Handler handler) : m_events(events), m_handler(std::move(handler)) {
    ModuleLock();
}

CEventSink::~CEventSink() {
    Unadvise();
    ModuleUnlock();
}

HRESULT CEventSink::Connect(IUnknown* source) {
    if (source == nullptr) return E_POINTER;
    if (m_point) return S_OK;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(m_events, point.Put());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr)) return hr;
    m_point = std::move(point);
    m_cookie = cookie;
    return S_OK;
}

void CEventSink::Disconnect() noexcept {
    // Unadvise may release the host's reference to this sink: keep it alive until the
    // end of this call.
    ComPtr<CEventSink> self(this);
    Unadvise();
}

void CEventSink::Unadvise() noexcept {
    if (ComPtr<IConnectionPoint> point = std::move(m_point)) point->Unadvise(m_cookie);
    m_cookie = 0;
    Handler none;
    m_handler.swap(none);
}

HRESULT CEventSink::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_events) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CEventSink::AddRef() { return ++m_refs; }

ULONG CEventSink::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CEventSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT CEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    if (result != nullptr) ::VariantInit(result);
    if (!m_handler) return S_OK;
    // The handler may disconnect this sink, and its owner may let it go: hold a
    // reference and a copy of the handler for the length of the call.
    ComPtr<CEventSink> self(this);
    return GuardHostMethod(
        [&] {
            const Handler handler = m_handler;
            static const DISPPARAMS kNone{};
            handler(id, params != nullptr ? *params : kNone);
        },
        DebugOutputReport("CEventSink::Invoke"));
}

}  // namespace mireo
