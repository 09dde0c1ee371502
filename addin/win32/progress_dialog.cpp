#include "addin/win32/progress_dialog.h"

#include <commctrl.h>

#include "addin/win32/dialog_view.h"
#include "resources/mireo_resource.h"
#include "platform/call_guard.h"
#include "platform/win32/wide_path.h"

namespace mireo {

namespace {

// Posted to the dialog: end with result 2. EndDialog belongs to the dialog's thread.
constexpr UINT kMsgClose = WM_APP + 1;
constexpr INT_PTR kClosed = 2;

// Waits for `handle` while letting the calling thread's messages through; true when
// it was signalled within `timeoutMs`.
bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs) return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        const DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;
        PumpWaitingMessages();
    }
}

}  // namespace

void PumpWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

CWin32ProgressView::~CWin32ProgressView() {
    StopThread();
    if (m_upEvent != nullptr) ::CloseHandle(m_upEvent);
}

bool CWin32ProgressView::Start(CDlgProgress& model, void* owner, std::uint16_t templateId) {
    if (m_thread != nullptr) return false;
    InitDialogControls();
    m_model = &model;
    m_owner = static_cast<HWND>(owner);
    m_templateId = templateId;
    m_dialog = nullptr;
    m_upEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_upEvent == nullptr) return false;
    m_thread = ::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (m_thread == nullptr) {
        ::CloseHandle(m_upEvent);
        m_upEvent = nullptr;
        return false;
    }
    // Up when the dialog says so; a thread that ends first could not create it.
    HANDLE waits[2] = {m_upEvent, m_thread};
    bool up = false;
    const DWORD startTick = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - startTick;
        if (elapsed >= kStartTimeoutMs) break;
        const DWORD r = ::MsgWaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            up = true;
            break;
        }
        if (r == WAIT_OBJECT_0 + 2) {
            PumpWaitingMessages();
            continue;
        }
        break;  // the thread ended, the wait failed or timed out
    }
    ::CloseHandle(m_upEvent);
    m_upEvent = nullptr;
    if (!up) {
        StopThread();
        m_model = nullptr;
        return false;
    }
    return true;
}

DWORD WINAPI CWin32ProgressView::ThreadMain(void* param) {
    auto* self = static_cast<CWin32ProgressView*>(param);
    ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(self->m_templateId), self->m_owner, Proc,
                      reinterpret_cast<LPARAM>(self));
    self->m_dialog = nullptr;
    return 0;
}

INT_PTR CALLBACK CWin32ProgressView::Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
    auto* self = reinterpret_cast<CWin32ProgressView*>(::GetWindowLongPtrW(dlg, DWLP_USER));
    if (self == nullptr) return FALSE;
    return GuardCall([&] { return self->Dispatch(dlg, msg, wp, lp); }, INT_PTR(FALSE),
                     [](const CaughtFailure& f) { ::OutputDebugStringA(("CDlgProgress: " + f.text + "\n").c_str()); });
}

INT_PTR CWin32ProgressView::Dispatch(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        m_dialog = dlg;
        // Up: the window exists and the run may talk to it. Signalled here as well as
        // at the first paint, so an owner that is hidden or minimised does not keep
        // the run waiting.
        if (m_upEvent != nullptr) ::SetEvent(m_upEvent);
        return TRUE;
    case WM_PAINT:
        if (m_upEvent != nullptr) ::SetEvent(m_upEvent);
        return FALSE;
    case kMsgClose:
        ::EndDialog(dlg, kClosed);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL && m_model != nullptr) {
            // The dialog stays until the run closes it; the button says it is waiting.
            ::SetDlgItemTextW(dlg, IDCANCEL, widepath::FromUtf8(m_model->PressCancel()).c_str());
        } else if (LOWORD(wp) == IDC_PROGRESS_HELP && m_model != nullptr) {
            m_model->PressHelp();
        }
        return TRUE;
    case WM_CLOSE:
        return TRUE;  // only the run ends the dialog
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: {
        if (msg == WM_CTLCOLORDLG) return FALSE;
        // The white panel and what stands on it: the caption, the texts without a
        // number and, when there is a panel, the status text.
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        const bool panel = ::GetDlgItem(dlg, IDC_PROGRESS_PANEL) != nullptr;
        const bool white = id == IDC_PROGRESS_PANEL || id == IDC_PROGRESS_CAPTION || id == -1 || id == 0xFFFF ||
                           (panel && id == IDC_PROGRESS_STATUS);
        if (!white) return FALSE;
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
    }
    default: return FALSE;
    }
}

void CWin32ProgressView::ShowLabel(const std::string& text) {
    if (HWND dlg = m_dialog.load()) ::SetDlgItemTextW(dlg, IDC_PROGRESS_LABEL, widepath::FromUtf8(text).c_str());
}

void CWin32ProgressView::ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) {
    if (HWND dlg = m_dialog.load()) {
        HWND bar = ::GetDlgItem(dlg, IDC_PROGRESS_BAR);
        ::SendMessageW(bar, PBM_SETRANGE32, 0, range);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
        ::SetDlgItemTextW(dlg, IDC_PROGRESS_STATUS, widepath::FromUtf8(text).c_str());
    }
    // The host's windows keep painting during a long run.
    PumpWaitingMessages();
}

void CWin32ProgressView::Close() {
    StopThread();
    m_model = nullptr;
}

void CWin32ProgressView::StopThread() {
    if (m_thread == nullptr) return;
    // Until the dialog exists there is nothing to post to, so the request is repeated.
    // A dialog thread that has not ended still uses this object: waiting on is all that
    // is safe, since freeing the object under it would be worse than a late close. The
    // wait lets messages through, so a dialog that is sending this thread a message ends.
    for (;;) {
        if (HWND dlg = m_dialog.load()) ::PostMessageW(dlg, kMsgClose, 0, 0);
        if (WaitPumping(m_thread, 50)) break;
    }
    ::CloseHandle(m_thread);
    m_thread = nullptr;
    m_dialog = nullptr;
}

}  // namespace mireo
