#pragma once
// The progress display of a run. CDlgProgress is what the run talks to: position,
// range, the Cancel and Help flags and the status text. Drawing and the buttons
// belong to an IProgressView: the Windows dialog on its own thread, a terminal line
// on the command line, a scripted double in tests. The view presses Cancel and Help
// through PressCancel and PressHelp, from whatever thread it runs on; the run reads
// them with CancelPressed and HelpPressed.
#include <atomic>
#include <cstdint>
#include <string>

namespace mireo {

// User strings of the progress display.
constexpr int kStrCancelWait = 139;     // "Wait..."
constexpr int kStrProgressStatus = 140; // "%i of %i"
constexpr int kStrImporting = 141;      // "Importing..."
constexpr int kStrExporting = 142;      // "Exporting..."

// Progress templates, one per action.
constexpr std::uint16_t kProgressExportContacts = 226;
constexpr std::uint16_t kProgressImportContacts = 231;
constexpr std::uint16_t kProgressExportEvents = 239;
constexpr std::uint16_t kProgressImportEvents = 245;

// Controls of the progress templates.
constexpr int kIdProgressStatus = 210;
constexpr int kIdProgressBar = 202;
constexpr int kIdProgressLabel = 209;
constexpr int kIdProgressHelp = 238;
constexpr int kIdProgressCancel = 2;

class CDlgProgress;

class IProgressView {
public:
    virtual ~IProgressView() = default;
    // Shows the display for this model. From a true return until Close returns, the
    // view may call model.PressCancel() and model.PressHelp() from any thread.
    // False: the display could not be shown (the run then ends without a finish page).
    virtual bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) = 0;
    // The hidden label (control 209): "Exporting..." or "Importing...".
    virtual void ShowLabel(const std::string& text) = 0;
    // Bar at pos of 0..range, status text "pos of range" (control 210). Called on the
    // run's thread; the Windows view lets the thread's pending messages through here.
    virtual void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) = 0;
    // Called on the run's thread before the run looks at a flag: a view that collects
    // presses on the run's thread (a terminal's Ctrl-C) hands them to the model here.
    virtual void Poll() {}
    // Ends the display. Returns only when the view no longer touches the model.
    virtual void Close() = 0;
};

class CDlgProgress {
public:
    explicit CDlgProgress(IProgressView& view) : m_view(view) {}
    // Closes a display that is still up, so an early exit of the run cannot leave it open.
    virtual ~CDlgProgress();
    CDlgProgress(const CDlgProgress&) = delete;
    CDlgProgress& operator=(const CDlgProgress&) = delete;

    // True when the display is up. A second Start while it is up fails.
    bool Start(void* owner, std::uint16_t templateId);
    void SetLabel(int stringId);
    // Range = total (negative counts as 0), then SetPos(0).
    void SetRange(std::int32_t total);
    // Position = n; the view shows the bar and string 140 with (n, range).
    void SetPos(std::int32_t n);
    void Step() { SetPos(m_pos.load(std::memory_order_relaxed) + 1); }
    bool CancelPressed();
    // Reads and clears the Help flag: Help pressed several times between two looks
    // answers true once.
    bool HelpPressed();
    void Close();

    // Called by the view (any thread). PressCancel returns the text the Cancel button
    // shows from then on, string 139; pressing again changes nothing.
    const char* PressCancel();
    void PressHelp();

    std::int32_t Position() const { return m_pos.load(std::memory_order_relaxed); }
    std::int32_t Range() const { return m_range.load(std::memory_order_relaxed); }
    bool IsStarted() const { return m_started; }
    void* Owner() const { return m_owner; }
    std::uint16_t TemplateId() const { return m_templateId; }
    // The status text for (pos, range) as control 210 shows it.
    static std::string StatusText(std::int32_t pos, std::int32_t range);

private:
    IProgressView& m_view;
    void* m_owner = nullptr;
    std::uint16_t m_templateId = 0;
    bool m_started = false;
    // Written by the run, read by a view's thread.
    std::atomic<std::int32_t> m_pos{0};
    std::atomic<std::int32_t> m_range{0};
    // Written by the view's thread: cancel once (never cleared), help by exchange.
    std::atomic<int> m_cancel{0};
    std::atomic<int> m_help{0};
};

}  // namespace mireo
