#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/win32/com_guard.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"

namespace mireo {
namespace {

bool IsOpenHandle(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnResetMoveAndScopeEndButNotOnRelease) {
    HANDLE raw = nullptr;
    {
        UniqueHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(a);
        raw = a.Get();
        UniqueHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.Get(), raw);
        EXPECT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw)) << "closed with its last owner";

    UniqueHandle c(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    raw = c.Get();
    HANDLE kept = c.Release();
    EXPECT_FALSE(c);
    EXPECT_TRUE(IsOpenHandle(kept));
    *c.Put() = kept;  // handed back through an out parameter
    UniqueHandle d(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE other = d.Get();
    d = std::move(c);
    EXPECT_FALSE(IsOpenHandle(other)) << "assignment closes what was held";
    EXPECT_TRUE(d.Close());
    EXPECT_FALSE(IsOpenHandle(kept));
    EXPECT_TRUE(d.Close()) << "nothing held: nothing to fail";
}

// Each kind knows its own "none": CreateFileW and FindFirstFileW fail with
// INVALID_HANDLE_VALUE, CreateMutexW and RegOpenKeyExW with null.
TEST(UniqueHandle, EmptyValueBelongsToTheKind) {
    UniqueFile file(::CreateFileW(L"Z:\\no\\such\\folder\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    EXPECT_FALSE(file);
    EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAW data{};
    UniqueFind none(::FindFirstFileW(L"Z:\\no\\such\\folder\\*.vcf", &data));
    EXPECT_FALSE(none);
    UniqueHKey key;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelvo\\NoSuchKey", 0, KEY_READ, key.Put()),
              ERROR_SUCCESS);
    EXPECT_FALSE(key);
    EXPECT_EQ(key.Get(), nullptr);

    const std::wstring folder = std::filesystem::temp_directory_path().wstring();
    UniqueFind found(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    EXPECT_TRUE(found) << "the temporary folder lists at least \".\"";
    UniqueModule module(::LoadLibraryW(L"version.dll"));
    EXPECT_TRUE(module);
    EXPECT_TRUE(module.Close());
}

// A COM object that counts its references.
class CCounted : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(ComPtr, EveryReferenceTakenIsGivenBack) {
    CCounted object;
    {
        ComPtr<IUnknown> a(&object);
        EXPECT_EQ(object.refs, 2u);
        ComPtr<IUnknown> b = a;
        EXPECT_EQ(object.refs, 3u);
        ComPtr<IUnknown> c = std::move(b);
        EXPECT_EQ(object.refs, 3u);
        ComPtr<IUnknown> d = c.As<IUnknown>(IID_IUnknown);
        EXPECT_EQ(object.refs, 4u);
        EXPECT_FALSE(c.As<IDispatch>(IID_IDispatch));
        EXPECT_EQ(object.refs, 4u) << "a failed QueryInterface holds nothing";
        a = d;
        EXPECT_EQ(object.refs, 4u);
        IUnknown* raw = d.Detach();
        ComPtr<IUnknown> e = ComPtr<IUnknown>::Attach(raw);
        EXPECT_EQ(object.refs, 4u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, TextKeepsEmbeddedNulsAndEmptyIsNotNull) {
    const std::u16string text(u"a\0b\u00E9", 4);
    CVariant v = CVariant::Text(text);
    ASSERT_EQ(v.Type(), VT_BSTR);
    EXPECT_EQ(BstrText(v.Get()->bstrVal), text);
    CVariant empty = CVariant::Text(u"");
    ASSERT_NE(empty.Get()->bstrVal, nullptr);
    EXPECT_EQ(::SysStringLen(empty.Get()->bstrVal), 0u);
    CVariant moved = std::move(v);
    EXPECT_EQ(v.Type(), VT_EMPTY);
    EXPECT_EQ(BstrText(moved.Get()->bstrVal), text);
    EXPECT_EQ(CVariant::Missing().Get()->scode, DISP_E_PARAMNOTFOUND);

    CCounted object;
    {
        CVariant holder = CVariant::Unknown(&object);
        EXPECT_EQ(object.refs, 2u);
        *holder.Put() = *CVariant::Int(3).Get();
        EXPECT_EQ(object.refs, 1u) << "Put clears the previous content";
    }
}

// Exported functions answer the failure's own HRESULT; methods the host calls answer
// S_OK; both report what they caught and let nothing through.
TEST(ComGuard, EntryAnswersTheFailureHostMethodAnswersSOk) {
    struct Case {
        const char* name;
        void (*thrower)();
        HRESULT entry;
    };
    const Case cases[] = {
        {"host error", [] { throw HostError(static_cast<HRESULT>(0x80040154), "ClassFactory"); },
         static_cast<HRESULT>(0x80040154)},
        {"memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"standard", [] { throw std::out_of_range("index"); }, E_FAIL},
        {"anything", [] { throw 3.5; }, E_UNEXPECTED},
        // A host error that carries a success code must not turn into success.
        {"odd host error", [] { throw HostError(S_FALSE, "x"); }, E_UNEXPECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int reports = 0;
        const auto report = [&](const CaughtFailure&) { ++reports; };
        EXPECT_EQ(GuardComEntry([&]() -> HRESULT { c.thrower(); return S_OK; }, report), c.entry);
        EXPECT_EQ(GuardHostMethod([&] { c.thrower(); }, report), S_OK);
        EXPECT_EQ(reports, 2);
    }
    EXPECT_EQ(GuardComEntry([] { return S_FALSE; }, DebugOutputReport("test")), S_FALSE);
}

}  // namespace
}  // namespace mireo
