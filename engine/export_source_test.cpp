// Where an export's items and its one file's name come from, through the failures that
// stop the run before it starts.
#include "engine/export_source.h"

#include <gtest/gtest.h>

#include <memory>

#include "encoding/mireo_char_converter.h"
#include "engine/action_runner.h"
#include "engine/settings_store.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"

namespace mireo {
namespace {

constexpr const char* kSource = "CvCalExport::Run";

// A folder whose name and items fail, or are given.
class CFolder : public IFolder {
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

class ExportSourceTest : public ::testing::Test {
protected:
    RunEnvironment Env() {
        return RunEnvironment{.app = m_app,
                              .mapi = m_app,
                              .settings = m_settings,
                              .log = m_log,
                              .help = &m_log,
                              .files = *m_files,
                              .messages = m_box,
                              .converter = *m_converter,
                              .progress = m_view};
    }
    std::string LastLog() const { return m_log.Messages().empty() ? "" : m_log.Messages().back().text; }

    test::CNoHost m_app;  // no active explorer
    CSettingsStore m_settings{UniqueRegKey{}};
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    std::unique_ptr<IOutputFiles> m_files = CreateSystemOutputFiles();
    std::unique_ptr<MireoCharConverter> m_converter = MireoCharConverter::FromText("UTF-8|UTF-8|65001\n");
    CScriptedProgressView m_view;
};

TEST_F(ExportSourceTest, ARunWithoutItemsCannotStartAndSaysWhy) {
    CFolder folder;
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
        const RunEnvironment env = Env();
        CExportSource source;
        EXPECT_FALSE(source.Open(env, c.selectedOnly, c.folder, kSource));
        EXPECT_EQ(source.Count(), 0);
        EXPECT_EQ(LastLog().substr(0, std::string(c.log).size()), c.log);
        EXPECT_EQ(m_log.Messages().back().source, kSource);
    }
}

TEST_F(ExportSourceTest, TheOneFileIsNamedAfterTheFolderWhenItsNameCanBeRead) {
    const RunEnvironment env = Env();
    CFolder folder;
    EXPECT_EQ(ExportFileBaseName(env, &folder, kSource), u"Calendar");
    EXPECT_TRUE(m_log.Messages().empty());
    // No folder and no explorer: no name, and nothing to log.
    EXPECT_EQ(ExportFileBaseName(env, nullptr, kSource), u"");
    EXPECT_TRUE(m_log.Messages().empty());
    folder.fails = true;
    EXPECT_EQ(ExportFileBaseName(env, &folder, kSource), u"");
    EXPECT_EQ(LastLog().substr(0, 24), "Cant get the folder name");
}

}  // namespace
}  // namespace mireo
