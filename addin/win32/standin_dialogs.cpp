#include "addin/win32/standin_dialogs.h"

#include <string>
#include <vector>

#include "addin/lib_kelvo.h"
#include "engine/host_value.h"
#include "platform/module.h"
#include "platform/win32/com_guard.h"

namespace mireo {

namespace {

// Predefined window classes of dialog items, by atom.
constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

// A DLGTEMPLATE with its items, laid out in memory as the dialog functions read it:
// WORD-sized fields, each item aligned to a DWORD.
class CDialogTemplate {
public:
    CDialogTemplate(const wchar_t* title, short cx, short cy) {
        const DWORD style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        PutDword(style);
        PutDword(0);
        m_countAt = m_words.size();
        m_words.push_back(0);
        for (short v : {short(0), short(0), cx, cy}) m_words.push_back(static_cast<WORD>(v));
        m_words.push_back(0);  // no menu
        m_words.push_back(0);  // the standard dialog class
        PutText(title);
        m_words.push_back(8);  // font size
        PutText(L"MS Shell Dlg");
    }

    void Add(WORD id, WORD windowClass, DWORD style, short x, short y, short cx, short cy, const wchar_t* text) {
        if (m_words.size() % 2 != 0) m_words.push_back(0);
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        for (short v : {x, y, cx, cy}) m_words.push_back(static_cast<WORD>(v));
        m_words.push_back(id);
        m_words.push_back(0xFFFF);
        m_words.push_back(windowClass);
        PutText(text);
        m_words.push_back(0);  // no creation data
        ++m_words[m_countAt];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void PutDword(DWORD v) {
        m_words.push_back(LOWORD(v));
        m_words.push_back(HIWORD(v));
    }
    void PutText(const wchar_t* text) {
        for (; *text != L'\0'; ++text) m_words.push_back(static_cast<WORD>(*text));
        m_words.push_back(0);
    }

    // Vector storage is aligned for any DWORD the template holds.
    std::vector<WORD> m_words;
    std::size_t m_countAt = 0;
};

std::wstring Wide(const char* utf8) {
    const std::u16string text = ToHostText(utf8);
    return std::wstring(text.begin(), text.end());
}

HINSTANCE Module() { return static_cast<HINSTANCE>(OwnModuleHandle()); }

// Nothing may unwind through the dialog manager's frames.
template <typename Body>
INT_PTR Guarded(const char* source, Body&& body) {
    return GuardCall(
        [&]() -> INT_PTR {
            body();
            return TRUE;
        },
        INT_PTR(TRUE), DebugOutputReport(source));
}

INT_PTR CALLBACK SelectActionProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* model = reinterpret_cast<CDlgSelectAction*>(::GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
        return TRUE;
    case WM_COMMAND:
        return Guarded("CDlgSelectAction::OnCommand", [&] {
            if (model != nullptr && HIWORD(wp) == BN_CLICKED) {
                const int end = model->OnCommand(LOWORD(wp));
                if (end != 0) ::EndDialog(dlg, end);
            }
        });
    case WM_CLOSE:
        ::EndDialog(dlg, kSelectCancelled);
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK DebugProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* kelvo = reinterpret_cast<CLibKelvo*>(::GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        ::SetWindowLongPtrW(dlg, DWLP_USER, lp);
        return TRUE;
    case WM_COMMAND:
        return Guarded("CDlgDebug::OnCommand", [&] {
            if (LOWORD(wp) == kIdDebugOpenTopic && kelvo != nullptr) {
                wchar_t topic[261] = {};
                ::GetDlgItemTextW(dlg, kIdDebugTopic, topic, 261);
                const std::wstring w(topic);
                kelvo->ShowContextHelp(FromHostText(std::u16string(w.begin(), w.end())));
            } else if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                ::EndDialog(dlg, LOWORD(wp));
            }
        });
    case WM_CLOSE:
        ::EndDialog(dlg, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int CStandInSelectActionView::Run(CDlgSelectAction& dialog, void* parent) {
    CDialogTemplate t(Wide(kSelectActionTitle).c_str(), 199, 142);
    t.Add(0xFFFF, kButton, BS_GROUPBOX, 7, 7, 185, 105, Wide(kSelectActionGroup).c_str());
    short y = 20;
    for (const SelectActionButton& b : SelectActionButtons()) {
        t.Add(static_cast<WORD>(b.controlId), kButton, BS_PUSHBUTTON | WS_TABSTOP, 15, y, 24, 19, L"");
        t.Add(0xFFFF, kStatic, SS_LEFT, 45, static_cast<short>(y + 5), 140, 10, Wide(b.text).c_str());
        y = static_cast<short>(y + 22);
    }
    t.Add(kIdSelectHelp, kButton, BS_PUSHBUTTON | WS_TABSTOP, 88, 121, 50, 14, L"Help");
    t.Add(kIdSelectCancel, kButton, BS_PUSHBUTTON | WS_TABSTOP, 142, 121, 50, 14, L"Cancel");
    const INT_PTR result = ::DialogBoxIndirectParamW(Module(), t.Get(), static_cast<HWND>(parent), SelectActionProc,
                                                     reinterpret_cast<LPARAM>(&dialog));
    return result == -1 || result == 0 ? kSelectCannotShow : static_cast<int>(result);
}

int ShowDebugDialog(CLibKelvo& kelvo, HWND owner) {
    CDialogTemplate t(kDebugDialogTitle, 220, 80);
    t.Add(0xFFFF, kStatic, SS_LEFT, 7, 9, 40, 10, L"Topic:");
    t.Add(kIdDebugTopic, kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 50, 7, 110, 14, L"");
    t.Add(kIdDebugOpenTopic, kButton, BS_PUSHBUTTON | WS_TABSTOP, 163, 7, 50, 14, L"Open Topic");
    t.Add(IDOK, kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 59, 50, 14, L"OK");
    t.Add(IDCANCEL, kButton, BS_PUSHBUTTON | WS_TABSTOP, 163, 59, 50, 14, L"Cancel");
    return static_cast<int>(
        ::DialogBoxIndirectParamW(Module(), t.Get(), owner, DebugProc, reinterpret_cast<LPARAM>(&kelvo)));
}

}  // namespace mireo
