#pragma once
// Late binding: members of the host's objects called by name through IDispatch.
// The add-in is built against no type library of the host's, so it works with every
// version that has the names. Each object carries the name of its interface
// ("_Items", "_ContactItem", ...) so that a failed call raises HostError with the
// HRESULT and that name.
#include <windows.h>
// winuser.h's GetProp and SetProp macros would rename the item store's methods of the
// same names (IMapiUtils) in this file only.
#undef GetProp
#undef SetProp

#include <string>
#include <string_view>

#include "engine/host_value.h"
#include "platform/hresult.h"
#include "platform/win32/com_ptr.h"

namespace mireo {

class CDispatch {
public:
    CDispatch() = default;
    CDispatch(ComPtr<IDispatch> object, const char* iface) : m_object(std::move(object)), m_iface(iface) {}

    IDispatch* Get() const noexcept { return m_object.Get(); }
    const ComPtr<IDispatch>& Ptr() const noexcept { return m_object; }
    const char* Interface() const noexcept { return m_iface; }
    explicit operator bool() const noexcept { return static_cast<bool>(m_object); }

    // A property (or a method that answers one), with index arguments in their
    // natural order: Get(L"Item", CVariant::Int(3)).
    template <typename... Args>
    CVariant GetProperty(const wchar_t* name, Args&&... args) const {
        CVariant list[] = {CVariant(), std::forward<Args>(args)...};
        return Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, list + 1, sizeof...(Args), nullptr);
    }
    // A method; optional arguments left out are simply not passed.
    template <typename... Args>
    CVariant Call(const wchar_t* name, Args&&... args) const {
        CVariant list[] = {CVariant(), std::forward<Args>(args)...};
        return Invoke(name, DISPATCH_METHOD, list + 1, sizeof...(Args), nullptr);
    }
    // Property put: `value` after the index arguments (Put(L"Fields", value, tag)).
    template <typename... Args>
    void Put(const wchar_t* name, CVariant value, Args&&... index) const {
        CVariant list[] = {CVariant(), std::forward<Args>(index)...};
        Invoke(name, DISPATCH_PROPERTYPUT, list + 1, sizeof...(Args), &value);
    }
    // Property put by reference (Set x.CurrentFolder = folder).
    void PutRef(const wchar_t* name, IDispatch* object) const;

    // Object results: null when the host answers nothing (Empty, Null or a null
    // object), as ActiveExplorer does when no explorer is open.
    template <typename... Args>
    CDispatch GetObject(const wchar_t* name, const char* iface, Args&&... args) const {
        return ObjectOf(GetProperty(name, std::forward<Args>(args)...), name, iface);
    }
    template <typename... Args>
    CDispatch CallObject(const wchar_t* name, const char* iface, Args&&... args) const {
        return ObjectOf(Call(name, std::forward<Args>(args)...), name, iface);
    }

    // Typed reads; a value of another type is converted as VariantChangeType does,
    // and one that cannot be converted raises DISP_E_TYPEMISMATCH.
    Value GetValue(const wchar_t* name) const;
    std::u16string GetText(const wchar_t* name) const;
    long GetInt(const wchar_t* name) const;
    bool GetBool(const wchar_t* name) const;

    // The call that every one of the above makes: GetIDsOfNames, then Invoke with the
    // arguments reversed into DISPPARAMS (and the named DISPID_PROPERTYPUT for a put).
    CVariant Invoke(const wchar_t* name, WORD flags, CVariant* args, std::size_t count, CVariant* putValue) const;

private:
    CDispatch ObjectOf(CVariant result, const wchar_t* member, const char* iface) const;
    [[noreturn]] void Fail(HRESULT hr, const wchar_t* member, const EXCEPINFO* info) const;

    ComPtr<IDispatch> m_object;
    const char* m_iface = "IDispatch";
};

// A property value as the host gives it; VT_EMPTY and VT_NULL are empty, integer
// types of any width are Int, a byte array is Binary. Another type is converted to
// text. Throws HostError(DISP_E_TYPEMISMATCH, iface) when it cannot be.
Value ValueFromVariant(const VARIANT& v, const char* iface);
// The VARIANT that carries a value to the host (VT_EMPTY for an empty one).
CVariant VariantFromValue(const Value& v);

// HRESULT of a call that went wrong, and the host error it raises: the interface and
// the member in the text.
[[noreturn]] void ThrowHostError(HRESULT hr, const char* iface, std::string_view member);

}  // namespace mireo
