#include "addin/win32/com_server.h"

#include <oleauto.h>

#include <string>

#include "addin/win32/connect.h"
#include "platform/module.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo {

const CLSID CLSID_Connect = {0x101A5F8A, 0x62D4, 0x468A, {0xA3, 0xA9, 0x34, 0x77, 0xD7, 0xDC, 0xEF, 0xE8}};
const GUID LIBID_MireoLib = {0x02E07A95, 0x713D, 0x48C6, {0xA2, 0x60, 0xC1, 0x1F, 0x5D, 0xCC, 0x93, 0xD0}};

namespace {

// The host's user-interface thread is the only one here (apartment model), but COM
// may ask DllCanUnloadNow from another thread: the count is interlocked.
volatile LONG g_locks = 0;

class CClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory: its references are the module's locks.
    ULONG STDMETHODCALLTYPE AddRef() override {
        ModuleLock();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ModuleUnlock();
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateConnect(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) ModuleLock();
        else ModuleUnlock();
        return S_OK;
    }
};

CClassFactory g_factory;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

class CThreadLocaleScope {
public:
    CThreadLocaleScope() : m_old(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~CThreadLocaleScope() { ::SetThreadLocale(m_old); }
    CThreadLocaleScope(const CThreadLocaleScope&) = delete;
    CThreadLocaleScope& operator=(const CThreadLocaleScope&) = delete;

private:
    LCID m_old;
};

struct RegEntry {
    std::wstring key;          // below HKEY_CLASSES_ROOT
    std::wstring value;        // the default value; none when empty
    const wchar_t* name;       // a named value, or null
    std::wstring namedValue;
};

// What registration writes, in order. Unregistration deletes the three trees that
// hold them (the ProgIDs and the class's own key), never CLSID itself.
std::vector<RegEntry> Entries(const std::wstring& modulePath) {
    const std::wstring clsid = GuidText(CLSID_Connect);
    const std::wstring classKey = L"CLSID\\" + clsid;
    return {
        {kProgId, kClassDescription, nullptr, {}},
        {std::wstring(kProgId) + L"\\CLSID", clsid, nullptr, {}},
        {kVersionIndependentProgId, kClassDescription, nullptr, {}},
        {std::wstring(kVersionIndependentProgId) + L"\\CLSID", clsid, nullptr, {}},
        {std::wstring(kVersionIndependentProgId) + L"\\CurVer", kProgId, nullptr, {}},
        {classKey, kClassDescription, nullptr, {}},
        {classKey + L"\\ProgID", kProgId, nullptr, {}},
        {classKey + L"\\VersionIndependentProgID", kVersionIndependentProgId, nullptr, {}},
        {classKey + L"\\Programmable", {}, nullptr, {}},
        {classKey + L"\\InprocServer32", modulePath, L"ThreadingModel", L"Apartment"},
        {classKey + L"\\TypeLib", GuidText(LIBID_MireoLib), nullptr, {}},
    };
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// RegDeleteTree is not on XP: subkeys first, by hand. A key that is not there is fine.
LONG DeleteTree(HKEY parent, const std::wstring& path) {
    UniqueHKey key;
    LONG rc = ::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, key.Put());
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        wchar_t name[256];
        DWORD n = 256;
        rc = ::RegEnumKeyExW(key.Get(), 0, name, &n, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return rc;
        rc = DeleteTree(key.Get(), name);
        if (rc != ERROR_SUCCESS) return rc;
    }
    key.Reset();
    rc = ::RegDeleteKeyW(parent, path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

std::wstring ModulePath() { return widepath::ModuleFileName(static_cast<HMODULE>(OwnModuleHandle())); }

ComPtr<ITypeLib> LoadOwnTypeLib(const std::wstring& path, HRESULT& hr) {
    ComPtr<ITypeLib> lib;
    hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put());
    return lib;
}

}  // namespace

void ModuleLock() noexcept { ::InterlockedIncrement(&g_locks); }
void ModuleUnlock() noexcept { ::InterlockedDecrement(&g_locks); }
long ModuleLockCount() noexcept { return g_locks; }

HRESULT ServerGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_Connect) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

HRESULT ServerCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT ServerRegister() {
    CThreadLocaleScope locale;
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    for (const RegEntry& e : Entries(path)) {
        UniqueHKey key;
        LONG rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, e.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_WRITE, nullptr, key.Put(), nullptr);
        if (rc == ERROR_SUCCESS && !e.value.empty()) rc = SetText(key.Get(), nullptr, e.value);
        if (rc == ERROR_SUCCESS && e.name != nullptr) rc = SetText(key.Get(), e.name, e.namedValue);
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    HRESULT hr = S_OK;
    ComPtr<ITypeLib> lib = LoadOwnTypeLib(path, hr);
    if (FAILED(hr)) return hr;
    return ::RegisterTypeLib(lib.Get(), const_cast<LPOLESTR>(path.c_str()), nullptr);
}

HRESULT ServerUnregister() {
    CThreadLocaleScope locale;
    for (const std::wstring& tree : {std::wstring(kProgId), std::wstring(kVersionIndependentProgId),
                                     L"CLSID\\" + GuidText(CLSID_Connect)}) {
        const LONG rc = DeleteTree(HKEY_CLASSES_ROOT, tree);
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    HRESULT hr = S_OK;
    ComPtr<ITypeLib> lib = LoadOwnTypeLib(ModulePath(), hr);
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    hr = ::UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    lib->ReleaseTLibAttr(attr);
    return hr;
}

}  // namespace mireo
