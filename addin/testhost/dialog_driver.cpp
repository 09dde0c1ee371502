#include "addin/testhost/dialog_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

namespace mireo::testhost {

namespace {

struct Search {
    const wchar_t* caption;
    int mustHave;
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    if (!::IsWindowVisible(window)) return TRUE;
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    if (wcscmp(text, s->caption) != 0) return TRUE;
    if (s->mustHave != 0 && ::GetDlgItem(window, s->mustHave) == nullptr) return TRUE;
    s->found = window;
    return FALSE;
}

}  // namespace

HWND WaitForDialog(const wchar_t* caption, int mustHave, int ms) {
    const DWORD start = ::GetTickCount();
    do {
        Search s{caption, mustHave};
        ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
        if (s.found != nullptr) {
            ::Sleep(100);  // let it finish its initialisation and first paint
            return s.found;
        }
        ::Sleep(30);
    } while (::GetTickCount() - start < static_cast<DWORD>(ms));
    return nullptr;
}

bool WaitGone(HWND window, int ms) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window)) {
        if (::GetTickCount() - start >= static_cast<DWORD>(ms)) return false;
        ::Sleep(30);
    }
    return true;
}

void Click(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::wstring TooltipText(HWND dialog, int id) {
    // The tooltip windows of the dialog's thread; the one that has the control as a tool.
    struct Find {
        DWORD thread;
        HWND control;
        std::wstring text;
    } find{::GetWindowThreadProcessId(dialog, nullptr), ::GetDlgItem(dialog, id), {}};
    ::EnumThreadWindows(
        find.thread,
        [](HWND window, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Find*>(param);
            wchar_t cls[64] = {};
            ::GetClassNameW(window, cls, 64);
            if (_wcsicmp(cls, TOOLTIPS_CLASSW) != 0) return TRUE;
            wchar_t text[512] = {};
            TOOLINFOW info{};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.hwnd = ::GetParent(f->control);
            info.uId = reinterpret_cast<UINT_PTR>(f->control);
            info.lpszText = text;
            ::SendMessageW(window, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
            if (text[0] == 0) return TRUE;
            f->text = text;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.text;
}

void PickDate(HWND dialog, int id, int year, int month, int day) {
    HWND picker = ::GetDlgItem(dialog, id);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

std::wstring PickedDate(HWND dialog, int id) {
    SYSTEMTIME st{};
    if (::SendMessageW(::GetDlgItem(dialog, id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID)
        return {};
    wchar_t text[16];
    swprintf(text, 16, L"%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    return text;
}

void Tick(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Type(HWND dialog, int id, const std::wstring& text) {
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool ShowsText(HWND window, const std::wstring& text) {
    struct Search {
        const std::wstring* text;
        bool found = false;
    } search{&text};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            const int n = static_cast<int>(::SendMessageW(child, WM_GETTEXTLENGTH, 0, 0));
            std::wstring shown(static_cast<std::size_t>(n) + 1, L'\0');
            ::SendMessageW(child, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(shown.data()));
            shown.resize(static_cast<std::size_t>(n));
            s->found = shown == *s->text;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitForTreeSelection(HWND window, const std::wstring& text, int ms) {
    const DWORD until = ::GetTickCount() + static_cast<DWORD>(ms);
    do {
        HWND tree = nullptr;
        ::EnumChildWindows(
            window,
            [](HWND child, LPARAM lp) -> BOOL {
                wchar_t cls[32] = {};
                ::GetClassNameW(child, cls, 32);
                if (std::wstring(cls) != WC_TREEVIEWW) return TRUE;
                *reinterpret_cast<HWND*>(lp) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&tree));
        if (tree != nullptr) {
            wchar_t shown[MAX_PATH] = {};
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem = TreeView_GetSelection(tree);
            item.pszText = shown;
            item.cchTextMax = MAX_PATH;
            if (item.hItem != nullptr && TreeView_GetItem(tree, &item) && text == shown) return true;
        }
        ::Sleep(50);
    } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
    return false;
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    const int n = static_cast<int>(::SendMessageW(item, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    ::SendMessageW(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

bool IsTicked(HWND dialog, int id) {
    return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

void SelectIndex(HWND dialog, int id, int index) {
    HWND list = ::GetDlgItem(dialog, id);
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

namespace {

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    ::GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") != 0) return TRUE;
    const int n = ::GetWindowTextLengthW(child);
    auto* best = reinterpret_cast<std::wstring*>(param);
    if (n > static_cast<int>(best->size())) {
        std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
        ::GetWindowTextW(child, text.data(), n + 1);
        text.resize(static_cast<std::size_t>(n));
        *best = text;
    }
    return TRUE;
}

}  // namespace

std::wstring AnswerMessageBox(const wchar_t* caption, int button, const char* shotName, int ms) {
    HWND box = WaitForDialog(caption, 0, ms);
    if (box == nullptr) return {};
    std::wstring text;
    ::EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
    if (shotName != nullptr) Snapshot(box, shotName);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    WaitGone(box, ms);
    return text;
}

void Snapshot(HWND window, const char* name) {
    wchar_t dir[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"MIREO_SHOT_DIR", dir, MAX_PATH) == 0 || window == nullptr) return;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(250);
    RECT r{};
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    // From the window's own surface, frame included: wine draws every window into a
    // surface of its own, which the screen's DC does not reach.
    HDC screen = ::GetWindowDC(window);
    HDC dc = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up, as a BMP file keeps it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::BitBlt(dc, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4;
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    ::CreateDirectoryW(dir, nullptr);
    std::wstring path = std::wstring(dir) + L"\\" + std::wstring(name, name + strlen(name)) + L".bmp";
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(&file, sizeof file, 1, f);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f);
        std::fwrite(bits, 1, size, f);
        std::fclose(f);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(window, screen);
}

}  // namespace mireo::testhost

namespace mireo::testhost {

bool AcceptWizard(const wchar_t* startCaption, const wchar_t* finishCaption) {
    constexpr int kPath = 229, kStatus = 256;
    HWND start = WaitForDialog(startCaption, kPath);
    if (start == nullptr) return false;
    Click(start, IDOK);
    if (!WaitGone(start)) return false;
    HWND finish = WaitForDialog(finishCaption, kStatus);
    if (finish == nullptr) return false;
    Click(finish, IDOK);
    return WaitGone(finish);
}

}  // namespace mireo::testhost
