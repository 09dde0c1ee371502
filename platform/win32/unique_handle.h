#pragma once
// One owner for every kind of Win32 handle. The kind is a traits struct: the handle
// type, the value that means "none" (which differs: CreateFileW and FindFirstFileW
// fail with INVALID_HANDLE_VALUE, most others with null) and the function that
// closes it. Closing never throws; a failure to close is answered by Close() for the
// one caller that cares (a written file whose last data may not have reached disk).
#include <windows.h>

#include <utility>

namespace mireo {

template <typename Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : m_h(h) {}
    Unique(Unique&& o) noexcept : m_h(o.Release()) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    Handle Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Empty(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Closes the handle held (if any) and takes `h`.
    void Reset(Handle h = Traits::Empty()) noexcept {
        if (m_h != Traits::Empty()) Traits::Close(m_h);
        m_h = h;
    }
    // Gives the handle up without closing it.
    Handle Release() noexcept { return std::exchange(m_h, Traits::Empty()); }
    // Closes now; false when the close function failed. True when nothing was held.
    bool Close() noexcept {
        if (m_h == Traits::Empty()) return true;
        return Traits::Close(std::exchange(m_h, Traits::Empty()));
    }
    // For functions that hand a handle out through a pointer: the old one is closed first.
    Handle* Put() noexcept {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Empty();
};

// Events, mutexes, threads, processes: null when creation failed.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static bool Close(HANDLE h) noexcept { return ::CloseHandle(h) != FALSE; }
};

// Files opened with CreateFileW: INVALID_HANDLE_VALUE when opening failed.
struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) noexcept { return ::CloseHandle(h) != FALSE; }
};

// FindFirstFileW: INVALID_HANDLE_VALUE, closed with FindClose.
struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) noexcept { return ::FindClose(h) != FALSE; }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY Empty() noexcept { return nullptr; }
    static bool Close(HKEY h) noexcept { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static HMODULE Empty() noexcept { return nullptr; }
    static bool Close(HMODULE h) noexcept { return ::FreeLibrary(h) != FALSE; }
};

// A window this code created and must destroy (on the thread that created it).
struct WindowTraits {
    using Handle = HWND;
    static HWND Empty() noexcept { return nullptr; }
    static bool Close(HWND h) noexcept { return ::DestroyWindow(h) != FALSE; }
};

// Bitmaps, brushes, fonts.
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static HGDIOBJ Empty() noexcept { return nullptr; }
    static bool Close(HGDIOBJ h) noexcept { return ::DeleteObject(h) != FALSE; }
};

// Memory another module allocated with LocalAlloc and handed over.
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static HLOCAL Empty() noexcept { return nullptr; }
    static bool Close(HLOCAL h) noexcept { return ::LocalFree(h) == nullptr; }
};

using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueHKey = Unique<RegKeyTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueWindow = Unique<WindowTraits>;
using UniqueGdiObject = Unique<GdiObjectTraits>;
using UniqueLocalMemory = Unique<LocalMemoryTraits>;

}  // namespace mireo
