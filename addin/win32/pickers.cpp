#include "addin/win32/pickers.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/module.h"
#include "platform/win32/wide_path.h"
#include "ui/multi_path.h"

namespace mireo {

using widepath::FromUtf8;
using widepath::ToUtf8;

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;  // 0x41
constexpr DWORD kGetOpenNameMultiple = 0x200;

int CALLBACK BrowseCallback(HWND window, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data != 0) ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

struct ItemIdList {
    LPITEMIDLIST pidl = nullptr;
    ~ItemIdList() {
        if (pidl != nullptr) ::CoTaskMemFree(pidl);
    }
};

// The outside chooser: GetOpenName(text, flags, filter), standard calling convention;
// its result is a LocalAlloc'ed NUL-terminated text. A library that offers the wide
// export GetOpenNameW is called with UTF-16 texts; the plain export takes and gives
// texts in the system's ANSI code page.
using GetOpenNameA = char*(WINAPI*)(const char* text, DWORD flags, const char* filter);
using GetOpenNameW = wchar_t*(WINAPI*)(const wchar_t* text, DWORD flags, const wchar_t* filter);

std::string AnsiOf(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WideOfAnsi(const char* text) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::optional<std::string> OutsideChooser(const std::string& filter, const std::string& current, bool& present) {
    present = false;
    const std::wstring path = FromUtf8(JoinPath(ModuleDirectory(), "GetOpenName.dll"));
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) return std::nullopt;
    present = true;
    std::optional<std::string> result;
    if (auto wide = reinterpret_cast<GetOpenNameW>(reinterpret_cast<void (*)()>(::GetProcAddress(library, "GetOpenNameW")))) {
        if (wchar_t* text = wide(FromUtf8(current).c_str(), kGetOpenNameMultiple, FromUtf8(filter).c_str())) {
            result = ToUtf8(text);
            ::LocalFree(text);
        }
    } else if (auto narrow = reinterpret_cast<GetOpenNameA>(reinterpret_cast<void (*)()>(::GetProcAddress(library, "GetOpenName")))) {
        if (char* text = narrow(AnsiOf(FromUtf8(current)).c_str(), kGetOpenNameMultiple,
                                AnsiOf(FromUtf8(filter)).c_str())) {
            result = ToUtf8(WideOfAnsi(text));
            ::LocalFree(text);
        }
    } else {
        present = false;
    }
    ::FreeLibrary(library);
    return result;
}

// The open dialog writes its whole selection into one buffer and fails when it does
// not fit (wine writes past its end). The buffer is kept ahead of the selection: grown
// whenever the selection changes, and before the dialog takes a typed name list on OK
// (the dialog window is subclassed for that, as typing sends no notification). The
// folder and the names are remembered so that a selection that still did not fit is
// not lost.
struct ChooserState {
    // Every buffer handed to the dialog stays alive until it returns: it may hold on
    // to an earlier one.
    std::vector<std::vector<wchar_t>> buffers;
    std::wstring folder;
    std::wstring nameList;  // the names the dialog shows, as its name box holds them
    OPENFILENAMEW* ofn = nullptr;  // the structure the dialog works on
    HWND dialog = nullptr;
    WNDPROC dialogProc = nullptr;  // the dialog's own procedure, under the subclass
};

std::wstring DialogText(HWND dialog, UINT message) {
    const LRESULT n = ::SendMessageW(dialog, message, 0, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    ::SendMessageW(dialog, message, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcsnlen(text.data(), text.size()));
    return text;
}

// Room for the folder and every name the dialog shows (the name list, quoted, is never
// shorter than the names with their separators).
void MakeRoom(ChooserState& state) {
    state.folder = DialogText(state.dialog, CDM_GETFOLDERPATH);
    state.nameList = DialogText(state.dialog, CDM_GETSPEC);
    const std::size_t needed = state.folder.size() + state.nameList.size() + MAX_PATH;
    if (needed > state.ofn->nMaxFile) {
        state.buffers.emplace_back(needed * 2, L'\0');
        state.ofn->lpstrFile = state.buffers.back().data();
        state.ofn->nMaxFile = static_cast<DWORD>(state.buffers.back().size());
    }
}

constexpr const wchar_t* kChooserStateProp = L"Mireo.ChooserState";

LRESULT CALLBACK ChooserDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = static_cast<ChooserState*>(::GetPropW(dialog, kChooserStateProp));
    if (state == nullptr) return ::DefWindowProcW(dialog, msg, wp, lp);
    const WNDPROC proc = state->dialogProc;
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) MakeRoom(*state);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
        ::RemovePropW(dialog, kChooserStateProp);
    }
    return ::CallWindowProcW(proc, dialog, msg, wp, lp);
}

UINT_PTR CALLBACK ChooserHook(HWND hook, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        // The structure the dialog works on: ours, or the dialog's copy of it.
        auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lp);
        auto* state = reinterpret_cast<ChooserState*>(ofn->lCustData);
        state->ofn = ofn;
        state->dialog = ::GetParent(hook);
        if (::SetPropW(state->dialog, kChooserStateProp, state)) {
            state->dialogProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
                state->dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChooserDialogProc)));
        }
        return 0;
    }
    if (msg != WM_NOTIFY) return 0;
    auto* notify = reinterpret_cast<OFNOTIFYW*>(lp);
    if (notify->hdr.code != CDN_SELCHANGE && notify->hdr.code != CDN_FILEOK) return 0;
    auto* state = reinterpret_cast<ChooserState*>(notify->lpOFN->lCustData);
    state->ofn = notify->lpOFN;
    state->dialog = ::GetParent(hook);
    MakeRoom(*state);
    return 0;
}

std::optional<std::string> OwnChooser(HWND owner, const std::string& title, const std::string& filter,
                                      const std::string& current) {
    ChooserState state;
    state.buffers.emplace_back(32768, L'\0');
    const std::wstring wideFilter = DialogFilter(filter);
    const std::wstring wideTitle = FromUtf8(title);
    // Start in the folder of the box's first path (a folder itself, or a file's).
    CMultiPath shown;
    shown.SetText(current);
    std::wstring initial;
    if (shown.Count() > 0) {
        initial = FromUtf8(shown.Path(0));
        const DWORD a = ::GetFileAttributesW(initial.c_str());
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) initial = widepath::FolderOf(initial);
    }

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = wideFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = state.buffers.back().data();
    ofn.nMaxFile = static_cast<DWORD>(state.buffers.back().size());
    ofn.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
    ofn.lpstrTitle = wideTitle.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                OFN_ENABLEHOOK | OFN_ENABLESIZING;
    ofn.lpfnHook = ChooserHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&state);

    std::vector<std::wstring> paths;
    if (::GetOpenFileNameW(&ofn)) {
        // The newest buffer the dialog wrote into (it may have worked on a copy of the
        // structure, whose buffer we grew).
        for (auto b = state.buffers.rbegin(); b != state.buffers.rend(); ++b) {
            if (b->front() == L'\0') continue;
            paths = SplitOpenFileResult(std::wstring(b->data(), b->size()));
            break;
        }
    } else if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL && !state.nameList.empty()) {
        // Still too long for the dialog: the names it showed, in the folder it showed.
        CMultiPath names;
        names.SetText(ToUtf8(state.nameList));
        for (const std::string& name : names.Paths()) {
            const std::wstring w = FromUtf8(name);
            const bool absolute = w.size() > 2 && (w[1] == L':' || (w[0] == L'\\' && w[1] == L'\\'));
            paths.push_back(absolute ? w : state.folder + L"\\" + w);
        }
    }
    if (paths.empty()) return std::nullopt;
    CMultiPath chosen;
    for (const std::wstring& p : paths) chosen.Add(ToUtf8(p));
    return chosen.Text();
}

}  // namespace

std::wstring DialogFilter(const std::string& filter) {
    std::wstring out = FromUtf8(filter);
    for (wchar_t& c : out)
        if (c == L'|') c = L'\0';
    // Two NULs end the list, whatever the text ended with.
    out.push_back(L'\0');
    out.push_back(L'\0');
    return out;
}

std::vector<std::wstring> SplitOpenFileResult(const std::wstring& buffer) {
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    while (at < buffer.size() && buffer[at] != L'\0') {
        const std::size_t end = buffer.find(L'\0', at);
        const std::size_t stop = end == std::wstring::npos ? buffer.size() : end;
        parts.push_back(buffer.substr(at, stop - at));
        at = stop + 1;
    }
    if (parts.size() <= 1) return parts;
    // A folder and the names in it; a root folder already ends in a backslash.
    std::vector<std::wstring> paths;
    const std::wstring& folder = parts.front();
    const bool ends = !folder.empty() && folder.back() == L'\\';
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + (ends ? L"" : L"\\") + parts[i]);
    return paths;
}

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& title, const std::string& current) {
    const std::wstring wideTitle = FromUtf8(title);
    const std::wstring start = FromUtf8(current);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = kBrowseFlags;
    info.lpfn = BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    ItemIdList chosen;
    chosen.pidl = ::SHBrowseForFolderW(&info);
    if (chosen.pidl == nullptr) return std::nullopt;
    // The one place the system still wants MAX_PATH characters.
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.pidl, path)) return std::nullopt;
    return ToUtf8(path);
}

std::optional<std::string> ChooseFiles(HWND owner, const std::string& title, const std::string& filter,
                                       const std::string& current) {
    bool present = false;
    std::optional<std::string> outside = OutsideChooser(filter, current, present);
    if (present) return outside;
    return OwnChooser(owner, title, filter, current);
}

bool CShellFolderOpener::OpenFolder(const std::string& path) {
    const HINSTANCE r =
        ::ShellExecuteW(::GetActiveWindow(), L"open", FromUtf8(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

}  // namespace mireo
