// Message boxes of the Windows layer: MessageBoxW owned by the active window.
#include <windows.h>

#include "platform/message_box.h"
#include "platform/win32/wide_path.h"

namespace mireo {

namespace {

UINT IconFlags(MbIcon icon) {
    switch (icon) {
        case MbIcon::Information: return MB_ICONINFORMATION;
        case MbIcon::Exclamation: return MB_ICONEXCLAMATION;
        case MbIcon::Error: return MB_ICONERROR;  // the same as MB_ICONHAND and MB_ICONSTOP
        case MbIcon::Question: return MB_ICONQUESTION;
        case MbIcon::None: break;
    }
    return 0;
}

class CWin32MessageBox final : public IMessageBox {
public:
    MbResult Show(const std::string& caption, const std::string& text, MbIcon icon, MbButtons buttons) override {
        const std::wstring wideCaption = widepath::FromUtf8(caption);
        const std::wstring wideText = widepath::FromUtf8(text);
        const UINT flags = (buttons == MbButtons::OkCancel ? MB_OKCANCEL : MB_OK) | IconFlags(icon);
        const int result = ::MessageBoxW(::GetActiveWindow(), wideText.c_str(), wideCaption.c_str(), flags);
        if (result == IDOK) return MbResult::Ok;
        // A box that could not be shown stops a question rather than answering it.
        if (result == 0 && buttons == MbButtons::Ok) return MbResult::Ok;
        return MbResult::Cancel;
    }
};

}  // namespace

IMessageBox& SystemMessageBox() {
    static CWin32MessageBox box;
    return box;
}

}  // namespace mireo
