#include "addin/win32/dispatch.h"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace mireo {

namespace {

std::string Narrow(const wchar_t* text) {
    return text == nullptr ? std::string() : FromHostText(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}

// The description of an error raised by the host through EXCEPINFO; fills in a
// deferred description first, as the caller of a failed Invoke must.
std::string Describe(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    std::string text;
    if (info.bstrDescription != nullptr) text = FromHostText(BstrText(info.bstrDescription));
    return text;
}

struct ExcepInfoOwner {
    EXCEPINFO info{};
    ~ExcepInfoOwner() {
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
    }
};

}  // namespace

void ThrowHostError(HRESULT hr, const char* iface, std::string_view member) {
    throw HostError(hr, iface, std::string(member));
}

void CDispatch::Fail(HRESULT hr, const wchar_t* member, const EXCEPINFO* info) const {
    std::string detail = Narrow(member);
    if (info != nullptr) {
        EXCEPINFO copy = *info;
        const std::string description = Describe(copy);
        if (!description.empty()) detail += ": " + description;
    }
    throw HostError(hr, m_iface, detail);
}

CVariant CDispatch::Invoke(const wchar_t* name, WORD flags, CVariant* args, std::size_t count,
                           CVariant* putValue) const {
    // A missing object is a missing required interface.
    if (!m_object) Fail(E_POINTER, name, nullptr);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) Fail(hr, name, nullptr);

    // DISPPARAMS takes the arguments last to first; a put's value comes first of all,
    // named DISPID_PROPERTYPUT.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(count + 1);
    if (putValue != nullptr) reversed.push_back(*putValue->Get());
    for (std::size_t i = count; i-- > 0;) reversed.push_back(*args[i].Get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (putValue != nullptr) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    CVariant result;
    ExcepInfoOwner exception;
    UINT argError = 0;
    const bool wantsResult = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) == 0;
    hr = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, wantsResult ? result.Put() : nullptr,
                          &exception.info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        // The host's own error code, when it gave one.
        EXCEPINFO& info = exception.info;
        if (info.pfnDeferredFillIn != nullptr) {
            info.pfnDeferredFillIn(&info);
            info.pfnDeferredFillIn = nullptr;
        }
        const HRESULT raised = FAILED(info.scode) ? info.scode : DISP_E_EXCEPTION;
        Fail(raised, name, &info);
    }
    if (FAILED(hr)) Fail(hr, name, nullptr);
    return result;
}

void CDispatch::PutRef(const wchar_t* name, IDispatch* object) const {
    CVariant value = CVariant::Dispatch(object);
    Invoke(name, DISPATCH_PROPERTYPUTREF, nullptr, 0, &value);
}

CDispatch CDispatch::ObjectOf(CVariant result, const wchar_t* member, const char* iface) const {
    VARIANT& v = *result;
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) return CDispatch(nullptr, iface);
    if (v.vt == VT_DISPATCH) return CDispatch(ComPtr<IDispatch>(v.pdispVal), iface);
    if (v.vt == VT_UNKNOWN) {
        if (v.punkVal == nullptr) return CDispatch(nullptr, iface);
        ComPtr<IDispatch> object;
        const HRESULT hr = v.punkVal->QueryInterface(IID_IDispatch, object.PutVoid());
        if (FAILED(hr)) Fail(hr, member, nullptr);
        return CDispatch(std::move(object), iface);
    }
    Fail(DISP_E_TYPEMISMATCH, member, nullptr);
}

Value CDispatch::GetValue(const wchar_t* name) const {
    CVariant v = GetProperty(name);
    return ValueFromVariant(*v, m_iface);
}

std::u16string CDispatch::GetText(const wchar_t* name) const {
    CVariant v = GetProperty(name);
    if (v.Type() == VT_BSTR) return BstrText(v.Get()->bstrVal);
    if (v.Type() == VT_EMPTY || v.Type() == VT_NULL) return {};
    CVariant text;
    const HRESULT hr = ::VariantChangeType(text.Get(), v.Get(), 0, VT_BSTR);
    if (FAILED(hr)) Fail(hr, name, nullptr);
    return BstrText(text.Get()->bstrVal);
}

long CDispatch::GetInt(const wchar_t* name) const {
    CVariant v = GetProperty(name);
    if (v.Type() == VT_I4) return v.Get()->lVal;
    if (v.Type() == VT_EMPTY) return 0;
    CVariant number;
    const HRESULT hr = ::VariantChangeType(number.Get(), v.Get(), 0, VT_I4);
    if (FAILED(hr)) Fail(hr, name, nullptr);
    return number.Get()->lVal;
}

bool CDispatch::GetBool(const wchar_t* name) const {
    CVariant v = GetProperty(name);
    if (v.Type() == VT_BOOL) return v.Get()->boolVal != VARIANT_FALSE;
    if (v.Type() == VT_EMPTY) return false;
    CVariant flag;
    const HRESULT hr = ::VariantChangeType(flag.Get(), v.Get(), 0, VT_BOOL);
    if (FAILED(hr)) Fail(hr, name, nullptr);
    return flag.Get()->boolVal != VARIANT_FALSE;
}

Value ValueFromVariant(const VARIANT& in, const char* iface) {
    const VARIANT* v = &in;
    // A by-reference value (as an event's arguments may be) reads as its target.
    CVariant target;
    if ((in.vt & VT_BYREF) != 0) {
        const HRESULT hr = ::VariantCopyInd(target.Get(), const_cast<VARIANT*>(&in));
        if (FAILED(hr)) ThrowHostError(hr, iface, "value");
        v = target.Get();
    }
    switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL: return Value();
    case VT_BOOL: return Value::Bool(v->boolVal != VARIANT_FALSE);
    case VT_I4:
    case VT_INT: return Value::Int(static_cast<std::int32_t>(v->lVal));
    case VT_I2: return Value::Int(v->iVal);
    case VT_UI1: return Value::Int(v->bVal);
    case VT_I1: return Value::Int(v->cVal);
    case VT_UI2: return Value::Int(v->uiVal);
    case VT_DATE: return Value::Date(v->date);
    case VT_BSTR: return Value::Text(BstrText(v->bstrVal));
    case VT_UI4:
    case VT_UINT:
        // Property tags and masks: the bits as they are.
        return Value::Int(static_cast<std::int32_t>(v->ulVal));
    default: break;
    }
    if (v->vt == (VT_ARRAY | VT_UI1)) {
        SAFEARRAY* array = v->parray;
        if (array == nullptr || ::SafeArrayGetDim(array) != 1) return Value::Binary({});
        LONG lo = 0, hi = -1;
        ::SafeArrayGetLBound(array, 1, &lo);
        ::SafeArrayGetUBound(array, 1, &hi);
        Bytes bytes;
        if (hi >= lo) {
            void* data = nullptr;
            const HRESULT hr = ::SafeArrayAccessData(array, &data);
            if (FAILED(hr)) ThrowHostError(hr, iface, "value");
            const auto* p = static_cast<const std::uint8_t*>(data);
            bytes.assign(p, p + (static_cast<std::size_t>(hi) - static_cast<std::size_t>(lo) + 1));
            ::SafeArrayUnaccessData(array);
        }
        return Value::Binary(std::move(bytes));
    }
    // Whole numbers of other types (currency, doubles holding counts) stay numbers when
    // they fit; anything else is read as text.
    CVariant converted;
    if (v->vt == VT_R8 || v->vt == VT_R4 || v->vt == VT_CY || v->vt == VT_DECIMAL || v->vt == VT_I8 ||
        v->vt == VT_UI8) {
        if (SUCCEEDED(::VariantChangeType(converted.Get(), const_cast<VARIANT*>(v), 0, VT_R8))) {
            const double d = converted.Get()->dblVal;
            if (d == std::floor(d) && d >= std::numeric_limits<std::int32_t>::min() &&
                d <= std::numeric_limits<std::int32_t>::max())
                return Value::Int(static_cast<std::int32_t>(d));
        }
    }
    const HRESULT hr = ::VariantChangeType(converted.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR);
    if (FAILED(hr)) ThrowHostError(DISP_E_TYPEMISMATCH, iface, "value");
    return Value::Text(BstrText(converted.Get()->bstrVal));
}

CVariant VariantFromValue(const Value& v) {
    switch (v.GetKind()) {
    case Value::Kind::Empty: return CVariant();
    case Value::Kind::Bool: return CVariant::Bool(v.AsBool());
    case Value::Kind::Int: return CVariant::Int(v.AsInt());
    case Value::Kind::Date: return CVariant::Date(v.AsDate());
    case Value::Kind::Text: return CVariant::Text(v.AsText());
    case Value::Kind::Binary: {
        const Bytes& bytes = v.AsBinary();
        SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (array == nullptr) throw std::bad_alloc();
        if (!bytes.empty()) {
            void* data = nullptr;
            if (FAILED(::SafeArrayAccessData(array, &data))) {
                ::SafeArrayDestroy(array);
                throw std::bad_alloc();
            }
            std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
            ::SafeArrayUnaccessData(array);
        }
        CVariant out;
        out.Get()->vt = VT_ARRAY | VT_UI1;
        out.Get()->parray = array;
        return out;
    }
    }
    return CVariant();
}

}  // namespace mireo
