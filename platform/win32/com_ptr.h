#pragma once
// Owners of COM references, automation strings and variants. Every interface pointer
// the add-in keeps lives in a ComPtr: one AddRef when it is taken, one Release when it
// goes, so the host's reference counts come back to where they started.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/unique_handle.h"

namespace mireo {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a reference of its own.
    explicit ComPtr(T* p) noexcept : m_p(p) {
        if (m_p != nullptr) m_p->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.m_p) {}
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(const ComPtr& o) noexcept {
        ComPtr(o).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        ComPtr(std::move(o)).Swap(*this);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Adopts a reference someone handed over (an out parameter, a creation).
    static ComPtr Attach(T* p) noexcept {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Gives the reference up without releasing it.
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // For out parameters: what was held is released first.
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    void Swap(ComPtr& o) noexcept { std::swap(m_p, o.m_p); }

    // QueryInterface; null when the object does not have the interface.
    template <typename U>
    ComPtr<U> As(REFIID iid) const noexcept {
        ComPtr<U> out;
        if (m_p != nullptr && FAILED(m_p->QueryInterface(iid, out.PutVoid()))) out.Reset();
        return out;
    }

private:
    T* m_p = nullptr;
};

struct BstrTraits {
    using Handle = BSTR;
    static BSTR Empty() noexcept { return nullptr; }
    static bool Close(BSTR s) noexcept {
        ::SysFreeString(s);
        return true;
    }
};
using UniqueBstr = Unique<BstrTraits>;

// An automation string of a UTF-16 text (embedded NULs kept). Empty text gives an
// empty string, not null: some hosts refuse a null BSTR where a text is expected.
inline UniqueBstr MakeBstr(std::u16string_view text) {
    return UniqueBstr(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                          static_cast<UINT>(text.size())));
}
inline std::u16string BstrText(BSTR s) {
    if (s == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s), ::SysStringLen(s));
}

// A VARIANT that is cleared when it goes. Usable wherever a VARIANT* is wanted.
class CVariant {
public:
    CVariant() noexcept { ::VariantInit(&m_v); }
    CVariant(CVariant&& o) noexcept : m_v(o.m_v) { ::VariantInit(&o.m_v); }
    CVariant& operator=(CVariant&& o) noexcept {
        if (this != &o) {
            Clear();
            m_v = o.m_v;
            ::VariantInit(&o.m_v);
        }
        return *this;
    }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    ~CVariant() { Clear(); }

    void Clear() noexcept { ::VariantClear(&m_v); }
    // For out parameters: cleared first.
    VARIANT* Put() noexcept {
        Clear();
        return &m_v;
    }
    VARIANT* Get() noexcept { return &m_v; }
    const VARIANT* Get() const noexcept { return &m_v; }
    VARIANT& operator*() noexcept { return m_v; }
    const VARIANT& operator*() const noexcept { return m_v; }
    VARTYPE Type() const noexcept { return m_v.vt; }
    // Gives the content up (the caller clears it).
    VARIANT Detach() noexcept {
        VARIANT v = m_v;
        ::VariantInit(&m_v);
        return v;
    }

    // Constructors of the kinds the add-in passes to the host.
    static CVariant Int(long i) noexcept {
        CVariant v;
        v.m_v.vt = VT_I4;
        v.m_v.lVal = i;
        return v;
    }
    static CVariant Bool(bool b) noexcept {
        CVariant v;
        v.m_v.vt = VT_BOOL;
        v.m_v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static CVariant Date(double d) noexcept {
        CVariant v;
        v.m_v.vt = VT_DATE;
        v.m_v.date = d;
        return v;
    }
    // Throws std::bad_alloc when the string cannot be made.
    static CVariant Text(std::u16string_view s) {
        CVariant v;
        UniqueBstr b = MakeBstr(s);
        if (!b) throw std::bad_alloc();
        v.m_v.vt = VT_BSTR;
        v.m_v.bstrVal = b.Release();
        return v;
    }
    // Takes a reference of its own (null stays a null object).
    static CVariant Dispatch(IDispatch* p) noexcept {
        CVariant v;
        v.m_v.vt = VT_DISPATCH;
        v.m_v.pdispVal = p;
        if (p != nullptr) p->AddRef();
        return v;
    }
    static CVariant Unknown(IUnknown* p) noexcept {
        CVariant v;
        v.m_v.vt = VT_UNKNOWN;
        v.m_v.punkVal = p;
        if (p != nullptr) p->AddRef();
        return v;
    }
    // An optional argument left out, as automation callers say so.
    static CVariant Missing() noexcept {
        CVariant v;
        v.m_v.vt = VT_ERROR;
        v.m_v.scode = DISP_E_PARAMNOTFOUND;
        return v;
    }

private:
    VARIANT m_v;
};

}  // namespace mireo
