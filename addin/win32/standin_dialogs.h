#pragma once
// Plain stand-ins for two dialogs whose resource templates come later: the
// select-action dialog (template 273) and the debug dialog (template 132). Both are
// built from templates in memory with the same titles, control ids and texts, and
// work as the real ones do, without their pictures.
#include <windows.h>

#include "ui/select_action.h"

namespace mireo {

class CLibKelvo;

class CStandInSelectActionView : public ISelectActionView {
public:
    // Modal over parent (an HWND or null). kSelectCannotShow when the dialog cannot
    // be created (GetLastError then says why).
    int Run(CDlgSelectAction& dialog, void* parent) override;
};

// Title of the debug dialog; "Open Topic" (372) opens the help topic typed in the
// edit box (371) through the helper library. Returns the dialog's end code, -1 when
// it cannot be shown.
constexpr const wchar_t* kDebugDialogTitle = L"DEBUG Mireo";
constexpr int kIdDebugTopic = 371;
constexpr int kIdDebugOpenTopic = 372;
int ShowDebugDialog(CLibKelvo& kelvo, HWND owner);

}  // namespace mireo
