#include "ui/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "ui/scripted_progress_view.h"

namespace mireo {
namespace {

TEST(ProgressFlags, CancelTwiceStaysSetAndButtonSaysWait) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    EXPECT_FALSE(progress.CancelPressed());
    EXPECT_EQ(view.CancelText(), "");
    view.PressCancel();
    EXPECT_EQ(view.CancelText(), "Wait...");
    view.PressCancel();
    EXPECT_EQ(view.CancelText(), "Wait...");
    // Reading does not clear it: every later look of the run sees the cancel.
    EXPECT_TRUE(progress.CancelPressed());
    EXPECT_TRUE(progress.CancelPressed());
    // The dialog stays up until the run closes it.
    EXPECT_TRUE(view.IsOpen());
    progress.Close();
    EXPECT_TRUE(progress.CancelPressed());
}

TEST(ProgressFlags, HelpPressedSeveralTimesBetweenLooksAnswersOnce) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressImportEvents));
    EXPECT_FALSE(progress.HelpPressed());
    view.PressHelp();
    view.PressHelp();
    view.PressHelp();
    EXPECT_TRUE(progress.HelpPressed());
    EXPECT_FALSE(progress.HelpPressed());
    view.PressHelp();
    EXPECT_TRUE(progress.HelpPressed());
    // Help does not touch Cancel.
    EXPECT_FALSE(progress.CancelPressed());
}

TEST(ProgressStatus, RangeResetsPositionAndStatusShowsPosOfRange) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportEvents));
    progress.SetLabel(kStrExporting);
    EXPECT_EQ(view.Label(), "Exporting...");
    progress.SetLabel(kStrImporting);
    EXPECT_EQ(view.Label(), "Importing...");

    progress.SetPos(7);
    progress.SetRange(5);
    EXPECT_EQ(progress.Range(), 5);
    EXPECT_EQ(progress.Position(), 0);
    EXPECT_EQ(view.StatusText(), "0 of 5");
    progress.Step();
    progress.Step();
    progress.Step();
    EXPECT_EQ(view.StatusText(), "3 of 5");
    EXPECT_EQ(progress.Position(), 3);
    EXPECT_EQ(view.Positions(), (std::vector<std::int32_t>{7, 0, 1, 2, 3}));
}

TEST(ProgressStatus, RangeZeroAndNegative) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressImportContacts));
    progress.SetRange(0);
    EXPECT_EQ(view.StatusText(), "0 of 0");
    progress.SetRange(-4);
    EXPECT_EQ(progress.Range(), 0);
    EXPECT_EQ(view.StatusText(), "0 of 0");
    EXPECT_EQ(CDlgProgress::StatusText(2147483647, 2147483647), "2147483647 of 2147483647");
}

TEST(ProgressLifecycle, StartFailureKeepsTheViewOutOfTheRun) {
    CScriptedProgressView view;
    view.FailStart();
    {
        CDlgProgress progress(view);
        EXPECT_FALSE(progress.Start(nullptr, kProgressExportContacts));
        EXPECT_FALSE(progress.IsStarted());
        progress.SetLabel(kStrExporting);
        progress.SetRange(3);
        progress.Step();
        EXPECT_EQ(progress.Position(), 1);
        progress.Close();
    }
    // Only the failed start reached the view: no status, no close of a dialog never shown.
    ASSERT_EQ(view.Events().size(), 1u);
    EXPECT_EQ(view.Events()[0].kind, CScriptedProgressView::Event::kStart);
    EXPECT_EQ(view.CloseCount(), 0);
}

TEST(ProgressLifecycle, SecondStartFailsAndCloseHappensOnce) {
    CScriptedProgressView view;
    {
        CDlgProgress progress(view);
        int owner = 0;
        ASSERT_TRUE(progress.Start(&owner, kProgressExportEvents));
        EXPECT_EQ(progress.Owner(), &owner);
        EXPECT_EQ(view.TemplateId(), kProgressExportEvents);
        EXPECT_FALSE(progress.Start(&owner, kProgressExportEvents));
        EXPECT_EQ(view.StartCount(), 1);
        progress.Close();
        progress.Close();
        EXPECT_EQ(view.CloseCount(), 1);
        // After Close the view is not touched any more.
        progress.SetPos(3);
        EXPECT_EQ(view.Positions().size(), 0u);
    }
    EXPECT_EQ(view.CloseCount(), 1);
}

TEST(ProgressLifecycle, DestructorClosesAnOpenDisplay) {
    CScriptedProgressView view;
    {
        CDlgProgress progress(view);
        ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
        progress.SetRange(10);
        // An early exit of the run (an exception, a return) leaves the scope here.
    }
    EXPECT_EQ(view.CloseCount(), 1);
    EXPECT_FALSE(view.IsOpen());
}

// A view that collects presses on the run's own thread, as the terminal does with
// Ctrl-C: the run must see them at its next look, without a SetPos in between.
class CPollingView : public CScriptedProgressView {
public:
    bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) override {
        m_model = &model;
        return CScriptedProgressView::Start(model, owner, templateId);
    }
    void Poll() override {
        ++polls;
        if (pendingCancel) m_model->PressCancel();
        if (pendingHelp) m_model->PressHelp();
        pendingCancel = pendingHelp = false;
    }
    bool pendingCancel = false;
    bool pendingHelp = false;
    int polls = 0;

private:
    CDlgProgress* m_model = nullptr;
};

TEST(ProgressFlags, LooksPollTheViewFirst) {
    CPollingView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    view.pendingHelp = true;
    EXPECT_TRUE(progress.HelpPressed());
    view.pendingCancel = true;
    EXPECT_TRUE(progress.CancelPressed());
    EXPECT_EQ(view.polls, 2);
    progress.Close();
    // A closed view is not polled.
    progress.CancelPressed();
    EXPECT_EQ(view.polls, 2);
}

TEST(ProgressFlags, PressesFromAnotherThreadReachTheRun) {
    // The Windows dialog presses from its own thread; the flags must carry that.
    CScriptedProgressView view;
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    constexpr int kPresses = 10000;
    std::thread dialog([&] {
        for (int i = 0; i < kPresses; ++i) progress.PressHelp();
        progress.PressCancel();
    });
    int answered = 0;
    while (!progress.CancelPressed())
        if (progress.HelpPressed()) ++answered;
    dialog.join();
    if (progress.HelpPressed()) ++answered;
    EXPECT_GE(answered, 1);
    EXPECT_LE(answered, kPresses);
    EXPECT_FALSE(progress.HelpPressed());
}

// The exporters' loop as a run drives the progress display: Cancel skips the
// current item and the rest, Help opens the topic once per look, a filtered item
// does not move the bar.
struct RunCounts {
    int succeeded = 0;
    int failed = 0;
    int skipped = 0;
    int helpOpened = 0;
};

RunCounts SimulateExport(CDlgProgress& progress, int total, const std::set<int>& filtered,
                         const std::set<int>& failing) {
    RunCounts c;
    if (total == 0) return c;
    if (!progress.Start(nullptr, kProgressExportContacts)) return c;
    progress.SetLabel(kStrExporting);
    progress.SetRange(total);
    for (int i = 1; i <= total; ++i) {
        if (progress.CancelPressed()) {
            c.skipped += total - i + 1;
            break;
        }
        if (progress.HelpPressed()) ++c.helpOpened;
        if (filtered.count(i)) {
            ++c.skipped;
            continue;
        }
        (failing.count(i) ? c.failed : c.succeeded)++;
        progress.Step();
    }
    progress.Close();
    return c;
}

TEST(ProgressRun, CancelAtUnitKSkipsTheRest) {
    struct Case {
        const char* name;
        int n;
        int k;  // unit at which the run sees the cancel
    };
    const Case kCases[] = {
        {"first unit", 5, 1},
        {"middle unit", 10, 4},
        {"last unit", 6, 6},
        {"single unit", 1, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CScriptedProgressView view;
        // Pressed while the bar shows the k-1 units already done.
        view.PressCancelAt(c.k - 1);
        CDlgProgress progress(view);
        RunCounts counts = SimulateExport(progress, c.n, {}, {});
        EXPECT_EQ(counts.skipped, c.n - c.k + 1);
        EXPECT_EQ(counts.succeeded, c.k - 1);
        EXPECT_EQ(counts.failed, 0);
        EXPECT_EQ(view.CancelText(), "Wait...");
        EXPECT_EQ(view.CloseCount(), 1);
        EXPECT_EQ(view.LastPos(), c.k - 1);
    }
}

TEST(ProgressRun, HelpOpensOncePerLookAndFilteredItemsKeepTheBar) {
    CScriptedProgressView view;
    view.PressHelpAt(2, 3);
    view.PressHelpAt(3, 1);
    CDlgProgress progress(view);
    RunCounts counts = SimulateExport(progress, 6, {3, 5}, {6});
    EXPECT_EQ(counts.helpOpened, 2);
    EXPECT_EQ(counts.succeeded, 3);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(counts.skipped, 2);
    EXPECT_EQ(view.Positions(), (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(view.StatusText(), "4 of 6");
}

TEST(ProgressRun, AllFilteredLeavesTheBarAtZero) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    RunCounts counts = SimulateExport(progress, 3, {1, 2, 3}, {});
    EXPECT_EQ(counts.skipped, 3);
    EXPECT_EQ(view.Positions(), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(view.StatusText(), "0 of 3");
}

TEST(ProgressRun, EmptyRunNeverStartsTheDisplay) {
    CScriptedProgressView view;
    CDlgProgress progress(view);
    SimulateExport(progress, 0, {}, {});
    EXPECT_EQ(view.StartCount(), 0);
}

}  // namespace
}  // namespace mireo
