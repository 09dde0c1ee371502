// The unit loop every runner shares: the display, Cancel (the rest skipped), Help,
// the step the runner chooses, and the rest failed or skipped.
#include "engine/run_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/action_runner.h"
#include "engine/export_source.h"
#include "engine/item_store.h"
#include "engine/settings_store.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"

namespace mireo {
namespace {

constexpr const char* kSource = "CvCalImport::Run";
constexpr const char* kTopic = "impord_cal.htm";

class RunLoopTest : public ::testing::Test {
protected:
    RunEnvironment Env(IContextHelp* help) { return Env(help, m_view); }
    RunEnvironment Env(IContextHelp* help, IProgressView& view) {
        return RunEnvironment{.app = m_app,
                              .mapi = m_app,
                              .settings = m_settings,
                              .log = m_log,
                              .help = help,
                              .files = *m_files,
                              .messages = m_box,
                              .converter = *m_converter,
                              .progress = view};
    }

    // Runs n units: the bar steps after the units for which step(i) holds (1-based);
    // answers the units handled.
    template <typename Step>
    int Loop(CRunLoop& loop, int n, Step step) {
        int handled = 0;
        for (int i = 1; i <= n && loop.BeginUnit(); ++i) {
            ++handled;
            ++m_counters.succeeded;
            if (step(i)) loop.Step();
        }
        return handled;
    }

    test::CNoHost m_app;
    CSettingsStore m_settings{UniqueRegKey{}};
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    std::unique_ptr<IOutputFiles> m_files = CreateSystemOutputFiles();
    std::unique_ptr<MireoCharConverter> m_converter = MireoCharConverter::FromText("UTF-8|UTF-8|65001\n");
    CScriptedProgressView m_view;
    RunCounters m_counters;
};

TEST_F(RunLoopTest, ShowsTheActionsDisplayAndStepsAsTheRunnerSays) {
    const RunEnvironment env = Env(&m_log);
    CRunLoop loop(env, m_counters, kSource, kTopic);
    ASSERT_TRUE(loop.Start(kProgressImportEvents, kStrImporting, 5));
    EXPECT_EQ(m_view.TemplateId(), kProgressImportEvents);
    EXPECT_EQ(m_view.Label(), "Importing...");
    // Only the even units move the bar, as the event import steps only after a stored event.
    EXPECT_EQ(Loop(loop, 5, [](int i) { return i % 2 == 0; }), 5);
    EXPECT_EQ(m_view.Positions(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(m_view.StatusText(), "2 of 5");
    loop.SkipRest();
    EXPECT_EQ(m_counters.skipped, 0) << "every unit was begun";
    loop.Close();
    EXPECT_FALSE(m_view.IsOpen());
}

TEST_F(RunLoopTest, CancelSkipsTheUnitsNotBegunEvenWhenNothingMovesTheBar) {
    struct Case {
        const char* name;
        bool stepEveryUnit;
    } cases[] = {
        {"stepping", true},       // the exports and the contact import
        {"not stepping", false},  // an event import that stores nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_view = CScriptedProgressView();
        m_counters = {};
        const RunEnvironment env = Env(&m_log);
        CRunLoop loop(env, m_counters, kSource, kTopic);
        ASSERT_TRUE(loop.Start(kProgressImportEvents, kStrImporting, 10));
        // Cancel pressed while unit 3 is handled: unit 4 is not begun.
        const int handled = Loop(loop, 10, [&](int i) {
            if (i == 3) m_view.PressCancel();
            return c.stepEveryUnit;
        });
        EXPECT_EQ(handled, 3);
        EXPECT_EQ(m_counters.skipped, 7);
        EXPECT_EQ(m_view.LastPos(), c.stepEveryUnit ? 3 : 0);
        loop.SkipRest();
        loop.FailRest();
        EXPECT_EQ(m_counters.skipped, 7) << "the rest is counted once";
        EXPECT_EQ(m_counters.failed, 0);
    }
}

TEST_F(RunLoopTest, HelpOpensTheTopicOnceForSeveralPresses) {
    m_view.PressHelpAt(1, 3);
    const RunEnvironment env = Env(&m_log);
    CRunLoop loop(env, m_counters, kSource, kTopic);
    ASSERT_TRUE(loop.Start(kProgressImportEvents, kStrImporting, 3));
    Loop(loop, 3, [](int) { return true; });
    EXPECT_EQ(m_log.Topics(), std::vector<std::string>{kTopic});

    // Without help the press is taken and nothing opens.
    m_view = CScriptedProgressView();
    m_view.PressHelpAt(1);
    const RunEnvironment noHelp = Env(nullptr);
    CRunLoop quiet(noHelp, m_counters, kSource, kTopic);
    ASSERT_TRUE(quiet.Start(kProgressImportEvents, kStrImporting, 3));
    Loop(quiet, 3, [](int) { return true; });
    EXPECT_EQ(m_log.Topics().size(), 1u);
}

TEST_F(RunLoopTest, TheRestFailsFromTheCurrentUnitOrIsSkipped) {
    const RunEnvironment env = Env(&m_log);
    CRunLoop loop(env, m_counters, kSource, kTopic);
    ASSERT_TRUE(loop.Start(kProgressExportContacts, kStrExporting, 10));
    ASSERT_EQ(Loop(loop, 3, [](int) { return true; }), 3);
    ASSERT_TRUE(loop.BeginUnit());  // unit 4: its one file broke
    loop.FailRest();
    EXPECT_EQ(m_counters.failed, 7) << "units 4 to 10";
    loop.SkipRest();
    EXPECT_EQ(m_counters.skipped, 0);

    // An import whose last file could not be read: the cards counted in it are skipped.
    RunCounters counters;
    CScriptedProgressView view;
    const RunEnvironment second = Env(&m_log, view);
    CRunLoop import(second, counters, kSource, kTopic);
    ASSERT_TRUE(import.Start(kProgressImportContacts, kStrImporting, 6));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(import.BeginUnit());
    import.SkipRest();
    EXPECT_EQ(counters.skipped, 2);
}

TEST_F(RunLoopTest, ADisplayThatCannotBeShownIsLogged) {
    m_view.FailStart();
    const RunEnvironment env = Env(&m_log);
    CRunLoop loop(env, m_counters, kSource, kTopic);
    EXPECT_FALSE(loop.Start(kProgressImportEvents, kStrImporting, 3));
    EXPECT_EQ(m_log.Count("Cant start the progress display", kSource), 1);
}

// Where an export's items and its one file's name come from (engine/export_source),
// through the failures that stop the run before it starts.
std::string LastLog(const CRecordingLogger& log) { return log.Messages().empty() ? "" : log.Messages().back().text; }

// A folder whose name and items fail, or are given.
class CExportFolder : public IFolder {
public:
    bool fails = false;
    int DefaultItemType() override { return 1; }
    std::u16string Name() override {
        if (fails) throw HostError(kENotImpl, "MAPIFolder", "no name");
        return u"Calendar";
    }
    std::unique_ptr<IFolder> Parent() override { return nullptr; }
    std::unique_ptr<IItems> Items() override { throw HostError(kENotImpl, "MAPIFolder", "no items"); }
    std::unique_ptr<IFolders> Folders() override { return nullptr; }
    std::string EntryId() override { return "1"; }
    std::string StoreId() override { return "1"; }
};

TEST_F(RunLoopTest, ARunWithoutItemsCannotStartAndSaysWhy) {
    CExportFolder folder;
    struct Case {
        const char* name;
        bool selectedOnly;
        IFolder* folder;
        const char* log;
    };
    const Case kCases[] = {
        {"the selection without an explorer", true, &folder, "Cant get the selection"},
        {"no folder chosen", false, nullptr, "No folder chosen"},
        {"the folder's items fail", false, &folder, "Cant get the folder's items: MAPIFolder failed"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const RunEnvironment env = Env(&m_log);
        CExportSource source;
        EXPECT_FALSE(source.Open(env, c.selectedOnly, c.folder, kSource));
        EXPECT_EQ(source.Count(), 0);
        EXPECT_EQ(LastLog(m_log).substr(0, std::string(c.log).size()), c.log);
        EXPECT_EQ(m_log.Messages().back().source, kSource);
    }
}

TEST_F(RunLoopTest, TheOneFileIsNamedAfterTheFolderWhenItsNameCanBeRead) {
    const RunEnvironment env = Env(&m_log);
    CExportFolder folder;
    EXPECT_EQ(ExportFileBaseName(env, &folder, kSource), u"Calendar");
    EXPECT_TRUE(m_log.Messages().empty());
    // No folder and no explorer: no name, and nothing to log.
    EXPECT_EQ(ExportFileBaseName(env, nullptr, kSource), u"");
    EXPECT_TRUE(m_log.Messages().empty());
    folder.fails = true;
    EXPECT_EQ(ExportFileBaseName(env, &folder, kSource), u"");
    EXPECT_EQ(LastLog(m_log).substr(0, 24), "Cant get the folder name");
}

}  // namespace
}  // namespace mireo
