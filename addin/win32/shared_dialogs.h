#pragma once
// The dialogs every action shares: the select-action dialog (template 273) and the
// debug dialog (template 132).
#include <windows.h>

#include "ui/select_action.h"

namespace mireo {

class CLibKelvo;

// The select-action dialog: four picture buttons. Its model decides what a button does.
class CSelectActionDialogView : public ISelectActionView {
public:
    // Modal over parent (an HWND or null); kSelectCannotShow when the dialog cannot be
    // created (GetLastError then says why).
    int Run(CDlgSelectAction& dialog, void* parent) override;
};

// "DEBUG Mireo": "Open Topic" (372) opens the help topic typed in the edit box (371)
// through the helper library; OK and Cancel close it; the profile list and its buttons
// do nothing. The dialog's end code, -1 when it cannot be shown.
int ShowDebugDialog(CLibKelvo& kelvo, HWND owner);

}  // namespace mireo
