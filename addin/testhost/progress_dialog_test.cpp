// The progress dialog on its own thread, from the add-in's own templates: it comes up
// and answers while the caller works, Cancel and Help set their flags and leave the
// dialog open, Close joins its thread, and a dialog that cannot be created never
// keeps the caller waiting.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "addin/testhost/dialog_driver.h"
#include "addin/testhost/session.h"
#include "addin/win32/progress_dialog.h"
#include "platform/module.h"
#include "resources/mireo_resource.h"

namespace mireo::testhost {
namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
    // The view loads its templates from the module that holds it: here the add-in's.
    void SetUp() override { SetOwnModule(AddinModule()); }
    void TearDown() override { SetOwnModule(nullptr); }
};

TEST_F(ProgressDialogTest, RunsOnItsOwnThreadAndStepsTheBar) {
    CWin32ProgressView view;
    CDlgProgress model(view);
    ASSERT_TRUE(model.Start(nullptr, IDD_CONTACT_EXPORT_PROGRESS));
    HWND dialog = view.Window();
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(::GetWindowThreadProcessId(dialog, nullptr), ::GetCurrentThreadId());
    model.SetLabel(142);
    model.SetRange(5);
    model.Step();
    model.Step();
    model.Step();
    EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_STATUS), L"3 of 5");
    EXPECT_EQ(ItemText(dialog, IDC_PROGRESS_LABEL), L"Exporting...");
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, 0), 5);
    model.Close();
    EXPECT_FALSE(::IsWindow(dialog)) << "Close returns once the dialog and its thread are gone";
}

TEST_F(ProgressDialogTest, CancelWaitsAndHelpIsReadOnce) {
    CWin32ProgressView view;
    CDlgProgress model(view);
    ASSERT_TRUE(model.Start(nullptr, IDD_CONTACT_IMPORT_PROGRESS));
    HWND dialog = view.Window();
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_HELP, BN_CLICKED), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_HELP, BN_CLICKED), 0);
    EXPECT_TRUE(model.HelpPressed());
    EXPECT_FALSE(model.HelpPressed()) << "two presses between two looks are one";
    EXPECT_FALSE(model.CancelPressed());
    for (int i = 0; i < 2; ++i) ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ::SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(model.CancelPressed());
    EXPECT_TRUE(::IsWindow(dialog)) << "only the run ends the dialog";
    EXPECT_EQ(ItemText(dialog, IDCANCEL), L"Wait...");
    model.Close();
    EXPECT_FALSE(::IsWindow(dialog));
}

// A template the module does not have: the dialog thread ends at once and Start says
// so, without a window left behind and well within the start timeout.
TEST_F(ProgressDialogTest, StartFailsCleanlyWithoutItsTemplate) {
    CWin32ProgressView view;
    CDlgProgress model(view);
    const DWORD before = ::GetTickCount();
    EXPECT_FALSE(model.Start(nullptr, 999));
    EXPECT_LT(::GetTickCount() - before, CWin32ProgressView::kStartTimeoutMs);
    EXPECT_EQ(view.Window(), nullptr);
    EXPECT_FALSE(model.IsStarted());
    model.SetRange(3);  // harmless on a display that never came up
    model.Close();
}

// An owner that is hidden never lets the dialog paint; it still counts as up once it
// exists, and the model can go right after Close.
TEST_F(ProgressDialogTest, HiddenOwnerDoesNotHoldTheRun) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"hidden owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
    ASSERT_NE(owner, nullptr);
    for (int round = 0; round < 3; ++round) {
        auto view = std::make_unique<CWin32ProgressView>();
        auto model = std::make_unique<CDlgProgress>(*view);
        const DWORD before = ::GetTickCount();
        ASSERT_TRUE(model->Start(owner, IDD_EVENT_IMPORT_PROGRESS));
        EXPECT_LT(::GetTickCount() - before, CWin32ProgressView::kStartTimeoutMs);
        EXPECT_EQ(::GetWindow(view->Window(), GW_OWNER), owner);
        model->SetRange(2);
        model.reset();  // closes the display
        view.reset();
    }
    ::DestroyWindow(owner);
}

}  // namespace
}  // namespace mireo::testhost
