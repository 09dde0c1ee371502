#include "addin/win32/dialog_view.h"

#include <commctrl.h>

#include "engine/date_time.h"
#include "engine/logger.h"
#include "resources/mireo_resource.h"
#include "platform/call_guard.h"
#include "platform/module.h"
#include "platform/user_strings.h"
#include "platform/win32/wide_path.h"

namespace mireo {

using widepath::FromUtf8;
using widepath::ToUtf8;

HINSTANCE ResourceModule() { return static_cast<HINSTANCE>(OwnModuleHandle()); }

void InitDialogControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

std::wstring UserStringW(int id) { return FromUtf8(LoadUserString(id)); }

CDialogView::~CDialogView() {
    for (HICON icon : m_icons) ::DestroyIcon(icon);
}

INT_PTR CDialogView::DoModal(HWND owner, int templateId) {
    InitDialogControls();
    const INT_PTR result = ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(templateId), owner, Proc,
                                             reinterpret_cast<LPARAM>(this));
    m_hwnd = nullptr;
    m_tooltip = nullptr;
    return result;
}

INT_PTR CALLBACK CDialogView::Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
        reinterpret_cast<CDialogView*>(lp)->m_hwnd = dlg;
    }
    auto* self = reinterpret_cast<CDialogView*>(::GetWindowLongPtrW(dlg, DWLP_USER));
    if (self == nullptr) return FALSE;
    // Nothing may unwind through the dialog manager: a failing handler is reported to
    // the debugger's output and the dialog goes on.
    return GuardCall([&] { return self->Dispatch(msg, wp, lp); }, INT_PTR(FALSE),
                     [self](const CaughtFailure& f) {
                         const std::string line = std::string(self->Source()) + ": " + f.text + "\n";
                         ::OutputDebugStringA(line.c_str());
                     });
}

INT_PTR CDialogView::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_CLOSE:
        OnCommand(IDCANCEL, BN_CLICKED);
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        const bool link = m_links.count(id) != 0;
        if (!link && m_red.count(id) == 0) return OnMessage(msg, wp, lp);
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, link ? RGB(0, 0, 255) : RGB(204, 0, 0));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
        if (m_links.count(::GetDlgCtrlID(reinterpret_cast<HWND>(wp))) != 0) {
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // the hand
            ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    default: return OnMessage(msg, wp, lp);
    }
}

void CDialogView::OnCommand(int id, int code) {
    if (id == IDCANCEL && code == BN_CLICKED) End(IDCANCEL);
}

INT_PTR CDialogView::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

void CDialogView::End(INT_PTR code) { ::EndDialog(m_hwnd, code); }

void CDialogView::SetText(int id, const std::string& utf8) { ::SetDlgItemTextW(m_hwnd, id, FromUtf8(utf8).c_str()); }

void CDialogView::UnlimitText(int id) { ::SendMessageW(Item(id), EM_SETLIMITTEXT, 0x7FFFFFFE, 0); }

std::string CDialogView::Text(int id) const {
    // No fixed buffer: a list of thousands of files is as long as it is.
    HWND item = Item(id);
    const int n = ::GetWindowTextLengthW(item);
    if (n <= 0) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(item, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return ToUtf8(text);
}

void CDialogView::SetCheck(int id, bool on) { ::CheckDlgButton(m_hwnd, id, on ? BST_CHECKED : BST_UNCHECKED); }

bool CDialogView::Checked(int id) const { return ::IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }

void CDialogView::Enable(int id, bool on) { ::EnableWindow(Item(id), on ? TRUE : FALSE); }

void CDialogView::Focus(int id) { ::SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

void CDialogView::FillList(int id, const std::vector<std::string>& entries, int selected) {
    HWND list = Item(id);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& e : entries)
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromUtf8(e).c_str()));
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int CDialogView::ListIndex(int id) const { return static_cast<int>(::SendMessageW(Item(id), CB_GETCURSEL, 0, 0)); }

void CDialogView::SelectListIndex(int id, int index) {
    ::SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CDialogView::MakeLink(int id) {
    m_links.insert(id);
    ::InvalidateRect(Item(id), nullptr, TRUE);
}

void CDialogView::Highlight(int id, bool red) {
    if (red)
        m_red.insert(id);
    else
        m_red.erase(id);
    ::InvalidateRect(Item(id), nullptr, TRUE);
}

void CDialogView::SetTooltip(int id, const std::string& utf8) {
    if (m_tooltip == nullptr) {
        m_tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                      ResourceModule(), nullptr);
        if (m_tooltip == nullptr) return;
    }
    std::wstring text = FromUtf8(utf8);
    TOOLINFOW info{};
    // The size of the oldest structure: comctl32 5 (no manifest) refuses the larger ones.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(Item(id));
    info.lpszText = text.data();
    ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CDialogView::ShowSummary(const std::vector<SummaryLine>& lines, std::initializer_list<int> ids) {
    auto id = ids.begin();
    for (std::size_t i = 0; i < lines.size() && id != ids.end(); ++i, ++id) SetText(*id, lines[i].value);
}

void CDialogView::ShowCounts(const std::vector<FinishCount>& counts, std::initializer_list<int> ids) {
    auto id = ids.begin();
    for (std::size_t i = 0; i < counts.size() && id != ids.end(); ++i, ++id) {
        SetText(*id, counts[i].Shown());
        Highlight(*id, counts[i].highlighted);
    }
}

void CDialogView::SetDate(int id, std::chrono::local_seconds t) {
    const CivilTime c = Split(t);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(c.year);
    st.wMonth = static_cast<WORD>(c.month);
    st.wDay = static_cast<WORD>(c.day);
    ::SendMessageW(Item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

std::chrono::local_seconds CDialogView::Date(int id) const {
    SYSTEMTIME st{};
    if (::SendMessageW(Item(id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) return {};
    return MakeLocal(st.wYear, st.wMonth, st.wDay);
}

void CDialogView::SetBrowseImage(int id) {
    HICON icon = static_cast<HICON>(
        ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDI_BROWSE), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (icon == nullptr) return;
    m_icons.push_back(icon);
    ::SendMessageW(Item(id), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

}  // namespace mireo
