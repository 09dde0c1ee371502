#pragma once
// CHiddenWnd: a top-level window that is never shown. An outside starter finds it by
// its class name and sends it "ShowForm,SelectAction" with WM_COPYDATA to have the
// running add-in bring the host's explorer to the front and open the select-action
// dialog. Timers 1 and 2, set on it by anyone in the host's process, open the about
// box and the select-action dialog.
#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace mireo {

class CLibKelvo;
class IApplication;

constexpr const wchar_t* kHiddenWindowClass = L"Kelvo.Mireo.HiddenWnd";
// The longest payload taken; the one command is 21 bytes.
constexpr std::size_t kMaxCopyDataBytes = 4096;

class IHiddenWndNotify {
public:
    virtual ~IHiddenWndNotify() = default;
    virtual void ShowSelectAction() = 0;
};

class CHiddenWnd {
public:
    CHiddenWnd() = default;
    ~CHiddenWnd() { Destroy(); }
    CHiddenWnd(const CHiddenWnd&) = delete;
    CHiddenWnd& operator=(const CHiddenWnd&) = delete;

    // Keeps the helper library (log, about box), the notify target and the host
    // application (all borrowed), registers the class and creates the window.
    HWND Create(CLibKelvo& kelvo, IHiddenWndNotify* notify, IApplication* app);
    // Destroys the window and unregisters its class, so that a later load of the DLL
    // at another address registers its own procedure. The object may stay.
    void Destroy() noexcept;
    // The host application the command brings to the front; null once the host quit.
    void SetApplication(IApplication* app) noexcept { m_app = app; }
    HWND Handle() const noexcept { return m_wnd.Get(); }

    // WM_COPYDATA: false only for an empty block.
    bool OnCopyData(HWND sender, const COPYDATASTRUCT* data);
    void OnTimer(UINT_PTR id);

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    UniqueWindow m_wnd;
    CLibKelvo* m_kelvo = nullptr;
    IHiddenWndNotify* m_notify = nullptr;
    IApplication* m_app = nullptr;
};

}  // namespace mireo
