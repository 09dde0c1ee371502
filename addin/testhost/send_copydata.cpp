// The outside starter: sends its argument (single-byte text, without a terminating
// NUL) to the add-in's hidden window with WM_COPYDATA and exits with the answer:
// 0 or 1 as the window answered, 2 when no such window exists.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    const HWND target = ::FindWindowW(L"Kelvo.Mireo.HiddenWnd", nullptr);
    if (target == nullptr) return 2;
    const char* text = argc > 1 ? argv[1] : "";
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(std::strlen(text));
    data.lpData = const_cast<char*>(text);
    return ::SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) != 0 ? 1 : 0;
}
