#pragma once
// The progress dialog on a thread of its own: the run works on the host's thread and
// steps the bar; the dialog keeps its own modal loop so that it paints and its Cancel
// and Help buttons answer while the run is busy.
//
// Start waits until the dialog is up (initialised or painted), pumping the starting
// thread's messages meanwhile, but never forever: when the dialog cannot be created
// its thread ends and Start returns false, and when it has not come up within the
// start timeout Start closes whatever came up and returns false. The dialog thread is
// joined before Close (or the destructor) returns, so the model and this view may go
// right after.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "ui/progress.h"

namespace mireo {

class CWin32ProgressView : public IProgressView {
public:
    // How long Start waits for the dialog to come up.
    static constexpr DWORD kStartTimeoutMs = 5000;

    CWin32ProgressView() = default;
    ~CWin32ProgressView() override;
    CWin32ProgressView(const CWin32ProgressView&) = delete;
    CWin32ProgressView& operator=(const CWin32ProgressView&) = delete;

    bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) override;
    void ShowLabel(const std::string& text) override;
    void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) override;
    void Close() override;

    // The dialog window while it is up (tests find it through its caption as well).
    HWND Window() const { return m_dialog.load(); }

private:
    static DWORD WINAPI ThreadMain(void* self);
    static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    // Ends the dialog from the run's thread and waits for its thread to end.
    void StopThread();

    CDlgProgress* m_model = nullptr;
    HWND m_owner = nullptr;
    std::uint16_t m_templateId = 0;
    std::atomic<HWND> m_dialog{nullptr};
    HANDLE m_thread = nullptr;
    HANDLE m_upEvent = nullptr;  // exists while Start waits
};

// Lets every message waiting for the calling thread through.
void PumpWaitingMessages();

}  // namespace mireo
