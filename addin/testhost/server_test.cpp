// The COM server as an installer and the host see it: the keys registration writes
// (read back with the registry API), what unregistration removes, the type library,
// creation by ProgID and the module's lock count.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "addin/testhost/session.h"
#include "addin/win32/com_server.h"
#include "platform/win32/wide_path.h"

namespace mireo::testhost {
namespace {

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

HRESULT Call(const char* name) { return AddinExport<DllFunction>(name)(); }

const wchar_t* const kClsid = L"{101A5F8A-62D4-468A-A3A9-3477D7DCEFE8}";
const wchar_t* const kLibid = L"{02E07A95-713D-48C6-A260-C11F5DCC93D0}";

bool KeyExists(const std::wstring& path) {
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// The key's values (name to text; "" is the default value) and its subkeys.
struct KeyContent {
    std::map<std::wstring, std::wstring> values;
    std::set<std::wstring> subkeys;
};

KeyContent Read(const std::wstring& path) {
    KeyContent c;
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return c;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD n = 256, type = 0;
        BYTE data[2048];
        DWORD size = sizeof data;
        if (::RegEnumValueW(key.Get(), i, name, &n, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        c.values[name] = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data)) : L"<not text>";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD n = 256;
        if (::RegEnumKeyExW(key.Get(), i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        c.subkeys.insert(name);
    }
    return c;
}

using Values = std::map<std::wstring, std::wstring>;
using Keys = std::set<std::wstring>;

TEST(ComServer, RegistrationWritesExactlyTheKeysAndUnregistrationRemovesThem) {
    const std::wstring module = widepath::ModuleFileName(AddinModule());
    const std::wstring classKey = std::wstring(L"CLSID\\") + kClsid;
    ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
    for (const std::wstring& k : {std::wstring(L"Mireo.Connect"), std::wstring(L"Mireo.Connect.1"), classKey,
                                  std::wstring(L"TypeLib\\") + kLibid})
        EXPECT_FALSE(KeyExists(k)) << "before";

    // The thread's own locale comes back after registration, whatever it was.
    const LCID russian = MAKELCID(0x0419, SORT_DEFAULT);
    const LCID locale = ::GetThreadLocale();
    ::SetThreadLocale(russian);
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
    EXPECT_EQ(::GetThreadLocale(), russian);

    struct Expected {
        std::wstring key;
        Values values;
        Keys subkeys;
    };
    const Expected expected[] = {
        {L"Mireo.Connect.1", {{L"", L"Connect Class"}}, {L"CLSID"}},
        {L"Mireo.Connect.1\\CLSID", {{L"", kClsid}}, {}},
        {L"Mireo.Connect", {{L"", L"Connect Class"}}, {L"CLSID", L"CurVer"}},
        {L"Mireo.Connect\\CLSID", {{L"", kClsid}}, {}},
        {L"Mireo.Connect\\CurVer", {{L"", L"Mireo.Connect.1"}}, {}},
        {classKey, {{L"", L"Connect Class"}}, {L"ProgID", L"VersionIndependentProgID", L"Programmable", L"InprocServer32", L"TypeLib"}},
        {classKey + L"\\ProgID", {{L"", L"Mireo.Connect.1"}}, {}},
        {classKey + L"\\VersionIndependentProgID", {{L"", L"Mireo.Connect"}}, {}},
        {classKey + L"\\Programmable", {}, {}},
        {classKey + L"\\InprocServer32", {{L"", module}, {L"ThreadingModel", L"Apartment"}}, {}},
        {classKey + L"\\TypeLib", {{L"", kLibid}}, {}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(widepath::ToUtf8(e.key));
        ASSERT_TRUE(KeyExists(e.key));
        const KeyContent c = Read(e.key);
        EXPECT_EQ(c.values, e.values);
        EXPECT_EQ(c.subkeys, e.subkeys);
    }
    // The type library: registered for this module, and no interface with it.
    ComPtr<ITypeLib> registered;
    GUID libid{};
    ::CLSIDFromString(kLibid, &libid);
    EXPECT_EQ(::LoadRegTypeLib(libid, 1, 0, 0, registered.Put()), S_OK);
    EXPECT_EQ(Read(std::wstring(L"TypeLib\\") + kLibid + L"\\1.0").values.at(L""), L"Mireo 1.0 Type Library");
    // IDispatch, which the library refers to, stays as the system registered it.
    for (const auto& [name, text] : Read(L"Interface\\{00020400-0000-0000-C000-000000000046}\\TypeLib").values)
        EXPECT_NE(text, kLibid);

    ::SetThreadLocale(russian);
    ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(::GetThreadLocale(), russian);
    ::SetThreadLocale(locale);
    for (const std::wstring& k : {std::wstring(L"Mireo.Connect"), std::wstring(L"Mireo.Connect.1"), classKey,
                                  std::wstring(L"TypeLib\\") + kLibid})
        EXPECT_FALSE(KeyExists(k)) << "removed: " << widepath::ToUtf8(k);
    EXPECT_TRUE(KeyExists(L"CLSID")) << "never removed";
    // Unregistering what is not registered: the keys are no error; wine's
    // UnRegisterTypeLib answers E_INVALIDARG for a library it does not have (Windows:
    // TYPE_E_REGISTRYACCESS), and that answer is passed on.
    EXPECT_TRUE(FAILED(Call("DllUnregisterServer")));
    EXPECT_FALSE(KeyExists(classKey));

    ASSERT_EQ(Call("DllRegisterServer"), S_OK) << "registered again for the other tests";
}

TEST(ComServer, TypeLibraryDescribesTheConnectClass) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLibEx(widepath::ModuleFileName(AddinModule()).c_str(), REGKIND_NONE, lib.Put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_MireoLib);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    lib->ReleaseTLibAttr(attr);
    UniqueBstr name, doc;
    ASSERT_EQ(lib->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(BstrText(name.Get()), u"MireoLib");
    EXPECT_EQ(BstrText(doc.Get()), u"Mireo 1.0 Type Library");
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_Connect, coclass.Put()), S_OK);
    UniqueBstr className, classDoc;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, className.Put(), classDoc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(BstrText(className.Get()), u"Connect");
    EXPECT_EQ(BstrText(classDoc.Get()), u"Connect Class");
}

// The factory and every object keep the module loaded; only the one class is made.
TEST(ComServer, ClassFactoryAndLockCount) {
    auto get = AddinExport<GetClassObject>("DllGetClassObject");
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(get(IID_IDispatch, IID_IClassFactory, factory.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(factory);
    EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);
    ASSERT_EQ(get(CLSID_Connect, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE);
    ComPtr<IUnknown> outer;
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, object.PutVoid()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), S_OK);
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE) << "locked, and an object lives";
    object.Reset();
    EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE) << "still locked";
    ASSERT_EQ(get(CLSID_Connect, IID_IClassFactory, factory.PutVoid()), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);
}

// Both ProgIDs give the class; script hosts reach the connection by name.
TEST(ComServer, CreatedByProgIdAndCalledByName) {
    for (const wchar_t* progId : {L"Mireo.Connect", L"Mireo.Connect.1"}) {
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_Connect);
        ComPtr<IDispatch> object;
        ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
        ComPtr<_IDTExtensibility2> connection = object.As<_IDTExtensibility2>(IID__IDTExtensibility2);
        EXPECT_TRUE(connection);
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"onstartupcomplete")};
        ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        EXPECT_EQ(id, 4);
        CVariant custom;
        DISPPARAMS params{custom.Get(), nullptr, 1, 0};
        EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
        DISPPARAMS none{};
        EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                  DISP_E_BADPARAMCOUNT);
        LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Run")};
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    }
}

}  // namespace
}  // namespace mireo::testhost
