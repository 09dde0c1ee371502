#include "addin/win32/hidden_wnd.h"

#include <algorithm>
#include <cstring>

#include "addin/lib_kelvo.h"
#include "engine/item_store.h"
#include "platform/module.h"
#include "platform/win32/com_guard.h"

namespace mireo {

namespace {

constexpr UINT_PTR kTimerAbout = 1;
constexpr UINT_PTR kTimerSelectAction = 2;

HINSTANCE Module() { return static_cast<HINSTANCE>(OwnModuleHandle()); }

}  // namespace

HWND CHiddenWnd::Create(CLibKelvo& kelvo, IHiddenWndNotify* notify, IApplication* app) {
    m_kelvo = &kelvo;
    m_notify = notify;
    m_app = app;
    if (notify == nullptr) kelvo.LogMsg("pNotify is NULL", 0, "CHiddenWnd::Create", kError, kLogFlags);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = Module();
    wc.lpszClassName = kHiddenWindowClass;
    // Already registered (another object of this process made it) is fine.
    ::RegisterClassW(&wc);
    m_wnd.Reset(::CreateWindowExW(0, kHiddenWindowClass, kHiddenWindowClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, Module(), this));
    return m_wnd.Get();
}

void CHiddenWnd::Destroy() noexcept {
    if (!m_wnd) return;
    m_wnd.Reset();
    ::UnregisterClassW(kHiddenWindowClass, Module());
}

bool CHiddenWnd::OnCopyData(HWND, const COPYDATASTRUCT* data) {
    constexpr const char* kSource = "CHiddenWnd::OnCopyData";
    m_kelvo->LogMsg("->", 0, kSource, kTrace, kLogFlags);
    if (data == nullptr || data->cbData == 0 || data->lpData == nullptr) return false;
    // The explorer comes to the front first; a host that cannot is no reason to
    // refuse the command.
    if (m_app != nullptr) {
        try {
            if (std::unique_ptr<IExplorer> explorer = m_app->ActiveExplorer()) explorer->Activate();
        } catch (const HostError& e) {
            m_kelvo->LogMsg(e.what(), e.Hr(), kSource, kWarning, kLogFlags);
        }
    }
    // Single-byte text, not necessarily NUL-terminated: read as the C string it holds.
    const std::size_t size = std::min<std::size_t>(data->cbData, kMaxCopyDataBytes);
    const char* bytes = static_cast<const char*>(data->lpData);
    const std::string text(bytes, strnlen(bytes, size));
    m_kelvo->LogMsg(text, 0, kSource, kTrace, kLogFlags);
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos && text.compare(0, comma, "ShowForm") == 0 &&
        text.compare(comma + 1, std::string::npos, "SelectAction") == 0 && m_notify != nullptr)
        m_notify->ShowSelectAction();
    return true;
}

void CHiddenWnd::OnTimer(UINT_PTR id) {
    ::KillTimer(m_wnd.Get(), id);
    if (id == kTimerAbout) m_kelvo->ShowAbout();
    if (id == kTimerSelectAction && m_notify != nullptr) m_notify->ShowSelectAction();
}

LRESULT CALLBACK CHiddenWnd::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    auto* self = reinterpret_cast<CHiddenWnd*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self == nullptr || self->m_kelvo == nullptr) return ::DefWindowProcW(wnd, msg, wp, lp);
    // Nothing may unwind through the window manager, and the sender of WM_COPYDATA
    // waits for the answer.
    const auto report = [self](const CaughtFailure& f) {
        self->m_kelvo->LogMsg(f.text, f.hr, "CHiddenWnd::WindowProc", kError, kLogFlags);
    };
    switch (msg) {
    case WM_COPYDATA:
        return GuardCall([&] { return LRESULT(self->OnCopyData(reinterpret_cast<HWND>(wp),
                                                                reinterpret_cast<const COPYDATASTRUCT*>(lp))); },
                         LRESULT(FALSE), report);
    case WM_TIMER:
        GuardCall([&] { self->OnTimer(static_cast<UINT_PTR>(wp)); }, report);
        return 0;
    case WM_DESTROY:
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        return 0;
    default: return ::DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace mireo
