#include "addin/testhost/fake_object.h"

#include <olectl.h>

#include <algorithm>
#include <cctype>

#include "engine/host_value.h"

namespace mireo::testhost {

namespace {

long g_live = 0;

// Answered only by fake objects, with the object itself.
const IID IID_FakeObject = {0x6D1E2A40, 0x5B7C, 0x4E1F, {0x9A, 0x33, 0x1C, 0x52, 0x7E, 0x0B, 0x44, 0x91}};

std::string Fold(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; w != nullptr && *w != L'\0'; ++w) s.push_back(static_cast<char>(*w < 128 ? *w : '?'));
    return s;
}

std::set<std::string>& Ever() {
    static std::set<std::string> ever;
    return ever;
}

void Record(const std::string& entry) {
    Journal().push_back(entry);
    Ever().insert(entry);
}

}  // namespace

std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

const std::set<std::string>& JournalEver() { return Ever(); }

const VARIANT* CallArgs::At(std::size_t i) const {
    if (i >= args.size()) return nullptr;
    const VARIANT* v = args[i];
    if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) return nullptr;
    return v;
}

long CallArgs::Int(std::size_t i, long fallback) const {
    const VARIANT* v = At(i);
    if (v == nullptr) return fallback;
    CVariant n;
    if (FAILED(::VariantChangeType(n.Get(), const_cast<VARIANT*>(v), 0, VT_I4)))
        throw HostError(DISP_E_TYPEMISMATCH, "argument");
    return n.Get()->lVal;
}

std::u16string CallArgs::Text(std::size_t i) const {
    const VARIANT* v = At(i);
    if (v == nullptr) return {};
    CVariant t;
    if (FAILED(::VariantChangeType(t.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR)))
        throw HostError(DISP_E_TYPEMISMATCH, "argument");
    return BstrText(t.Get()->bstrVal);
}

IDispatch* CallArgs::Object(std::size_t i) const {
    const VARIANT* v = At(i);
    if (v == nullptr) return nullptr;
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_DISPATCH | VT_BYREF)) return *v->ppdispVal;
    throw HostError(DISP_E_TYPEMISMATCH, "argument");
}

// One connection point: the sinks advised for one event interface.
class CFakeObject::CPoint final : public IConnectionPoint {
public:
    CPoint(CFakeObject& owner, REFIID iid) : m_owner(owner), m_iid(iid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as its object; references go to the object.
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = m_iid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        *out = &m_owner;
        m_owner.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        Record(m_owner.m_iface + ".Advise");
        if (sink == nullptr || cookie == nullptr) return E_POINTER;
        // A sink must answer the event interface itself, as the host asks.
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(m_iid, events.PutVoid()))) return CONNECT_E_CANNOTCONNECT;
        *cookie = ++m_next;
        m_sinks[*cookie] = std::move(events);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        Record(m_owner.m_iface + ".Unadvise");
        return m_sinks.erase(cookie) == 1 ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    REFIID Iid() const { return m_iid; }
    std::size_t Count() const { return m_sinks.size(); }
    std::vector<ComPtr<IDispatch>> Snapshot() const {
        std::vector<ComPtr<IDispatch>> all;
        for (const auto& [cookie, sink] : m_sinks) all.push_back(sink);
        return all;
    }

private:
    CFakeObject& m_owner;
    IID m_iid;
    DWORD m_next = 0;
    std::map<DWORD, ComPtr<IDispatch>> m_sinks;
};

ComPtr<CFakeObject> CFakeObject::Create(std::string iface) {
    return ComPtr<CFakeObject>::Attach(new CFakeObject(std::move(iface)));
}

CFakeObject::CFakeObject(std::string iface) : m_iface(std::move(iface)) { ++g_live; }

CFakeObject::~CFakeObject() { --g_live; }

long CFakeObject::LiveObjects() { return g_live; }

CFakeObject* CFakeObject::From(IUnknown* object) {
    if (object == nullptr) return nullptr;
    void* self = nullptr;
    if (FAILED(object->QueryInterface(IID_FakeObject, &self))) return nullptr;
    auto* fake = static_cast<CFakeObject*>(static_cast<IDispatch*>(self));
    fake->Release();
    return fake;
}

DISPID CFakeObject::IdOf(const std::string& name) {
    const std::string folded = Fold(name);
    auto it = m_ids.find(folded);
    if (it != m_ids.end()) return it->second;
    const DISPID id = static_cast<DISPID>(m_ids.size() + 1);
    m_ids[folded] = id;
    m_members[id].name = name;
    return id;
}

CFakeObject& CFakeObject::Get(const std::string& name, Getter getter) {
    m_members[IdOf(name)].get = std::move(getter);
    return *this;
}

CFakeObject& CFakeObject::Put(const std::string& name, Setter setter) {
    m_members[IdOf(name)].put = std::move(setter);
    return *this;
}

CFakeObject& CFakeObject::Stored(const std::string& name, CVariant initial) {
    m_stored[Fold(name)] = std::move(initial);
    const std::string key = Fold(name);
    Get(name, [this, key](const CallArgs&) {
        CVariant copy;
        ::VariantCopy(copy.Get(), m_stored[key].Get());
        return copy;
    });
    Put(name, [this, key](const CallArgs& a) { ::VariantCopy(m_stored[key].Put(), const_cast<VARIANT*>(a.value)); });
    return *this;
}

CVariant& CFakeObject::StoredValue(const std::string& name) { return m_stored[Fold(name)]; }

void CFakeObject::SetFallback(Fallback known, std::function<CVariant(const std::string&, const CallArgs&)> get,
                              std::function<void(const std::string&, const CallArgs&)> put) {
    m_fallbackKnown = std::move(known);
    m_fallbackGet = std::move(get);
    m_fallbackPut = std::move(put);
}

void CFakeObject::AddEventSource(REFIID events) { m_points.push_back(std::make_unique<CPoint>(*this, events)); }

void CFakeObject::Fire(REFIID events, DISPID id, std::vector<CVariant> args) {
    for (const auto& p : m_points) {
        if (p->Iid() != events) continue;
        std::vector<VARIANTARG> reversed;
        for (std::size_t i = args.size(); i-- > 0;) reversed.push_back(*args[i].Get());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        // A sink may disconnect others (or itself) while the event runs.
        for (const ComPtr<IDispatch>& sink : p->Snapshot()) {
            sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    }
}

std::size_t CFakeObject::SinkCount(REFIID events) const {
    std::size_t n = 0;
    for (const auto& p : m_points)
        if (p->Iid() == events) n += p->Count();
    return n;
}

std::size_t CFakeObject::SinkCount() const {
    std::size_t n = 0;
    for (const auto& p : m_points) n += p->Count();
    return n;
}

void CFakeObject::FailNext(const std::string& name, HRESULT hr, int count) { m_failures[Fold(name)] = {hr, count}; }

HRESULT CFakeObject::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_FakeObject) {
        *out = static_cast<IDispatch*>(this);
    } else if (iid == IID_IConnectionPointContainer && !m_points.empty()) {
        *out = static_cast<IConnectionPointContainer*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CFakeObject::AddRef() { return ++m_refs; }

ULONG CFakeObject::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CFakeObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT CFakeObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CFakeObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count != 1) return E_INVALIDARG;
    const std::string name = Narrow(names[0]);
    auto it = m_ids.find(Fold(name));
    if (it != m_ids.end() && (m_members[it->second].get || m_members[it->second].put || m_fallbackKnown)) {
        *ids = it->second;
        return S_OK;
    }
    if (m_fallbackKnown && m_fallbackKnown(name)) {
        *ids = IdOf(name);
        return S_OK;
    }
    Record(m_iface + "." + name + " (unknown)");
    *ids = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CFakeObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                            UINT*) {
    if (result != nullptr) ::VariantInit(result);
    auto it = m_members.find(id);
    if (it == m_members.end()) return DISP_E_MEMBERNOTFOUND;
    Member& m = it->second;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    Record(m_iface + "." + m.name + (put ? "=" : ""));

    CallArgs call;
    call.byRef = (flags & DISPATCH_PROPERTYPUTREF) != 0;
    const UINT named = params != nullptr ? params->cNamedArgs : 0;
    const UINT total = params != nullptr ? params->cArgs : 0;
    if (put) {
        if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || total < 1) return DISP_E_PARAMNOTOPTIONAL;
        call.value = &params->rgvarg[0];
    } else if (named != 0) {
        return DISP_E_NONAMEDARGS;
    }
    // Positional arguments, first to last; by-reference ones read as their targets.
    std::vector<CVariant> resolved;
    resolved.reserve(total);
    for (UINT i = total; i-- > (put ? 1u : 0u);) {
        const VARIANT& v = params->rgvarg[i];
        if ((v.vt & VT_BYREF) != 0) {
            resolved.emplace_back();
            ::VariantCopyInd(resolved.back().Get(), const_cast<VARIANT*>(&v));
            call.args.push_back(resolved.back().Get());
        } else {
            call.args.push_back(&v);
        }
    }
    try {
        auto failure = m_failures.find(Fold(m.name));
        if (failure != m_failures.end() && failure->second.second > 0) {
            --failure->second.second;
            throw HostError(failure->second.first, m_iface, m.name + " failed as asked");
        }
        if (put) {
            if (m.put) m.put(call);
            else if (m_fallbackPut) m_fallbackPut(m.name, call);
            else return DISP_E_MEMBERNOTFOUND;
            return S_OK;
        }
        CVariant answer;
        if (m.get) answer = m.get(call);
        else if (m_fallbackGet) answer = m_fallbackGet(m.name, call);
        else return DISP_E_MEMBERNOTFOUND;
        if (result != nullptr) *result = answer.Detach();
        return S_OK;
    } catch (const HostError& e) {
        if (info != nullptr) {
            *info = EXCEPINFO{};
            info->scode = e.Hr();
            info->bstrSource = MakeBstr(ToHostText(m_iface)).Release();
            info->bstrDescription = MakeBstr(ToHostText(e.what())).Release();
        }
        return DISP_E_EXCEPTION;
    }
}

HRESULT CFakeObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CFakeObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (out == nullptr) return E_POINTER;
    for (const auto& p : m_points) {
        if (p->Iid() == iid) {
            *out = p.get();
            (*out)->AddRef();
            return S_OK;
        }
    }
    *out = nullptr;
    return CONNECT_E_NOCONNECTION;
}

}  // namespace mireo::testhost
