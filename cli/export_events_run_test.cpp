// mireo export-events end to end on the sample events: the options as the pages take
// them, what is stored (never the period), the files written and the exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/export_events_command.h"
#include "cli/testing/command_run_fixture.h"
#include "hoststore/item_json.h"
#include "platform/output_files.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kEncodingsText[] = "UTF-8|UTF-8|65001\r\nWestern European (Windows-1252)|windows-1252|1252\r\n";

class ExportEventsRunTest : public test::CCommandRunTest {
protected:
    ExportEventsRunTest() : CCommandRunTest("mireo_er_", kEncodingsText) {
        fs::create_directories(m_base / "out");
        m_files = CreateSystemOutputFiles();
        auto items = m_app->FolderByPath(u"Calendar")->Items();
        auto mapi = m_app->Mapi().CreateMapiUtils();
        std::ifstream in(std::string(MIREO_TESTDATA_DIR) + "/hoststore/sample-events.json");
        for (const auto& j : ItemJson::parse(in)) AddItemFromJson(*items, kFolderAppointment, j, *mapi);
    }
    std::string Out() const { return (m_base / "out").string(); }

    Result Run(std::vector<std::string> argv, const std::string& input = "") {
        for (std::string& a : argv)
            if (a == "OUT") a = Out();
        ExportEventsArgs args;
        std::ostringstream parseErr;
        if (!ParseExportEventsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::istringstream in(input);
        std::ostringstream out, err;
        ExportContactsContext context{.app = *m_app,
                                      .mapi = m_app->Mapi(),
                                      .registry = *m_reg,
                                      .log = m_log,
                                      .help = &m_log,
                                      .files = *m_files,
                                      .converter = *m_converter,
                                      .listSeparator = ",",
                                      .progress = m_progress,
                                      .in = in,
                                      .out = out,
                                      .err = err};
        const int status = RunExportEvents(args, context);
        return {status, out.str(), err.str()};
    }
    std::size_t FileCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_base / "out"), fs::directory_iterator()));
    }

    std::unique_ptr<IOutputFiles> m_files;
};

TEST_F(ExportEventsRunTest, OptionsRunsAndExitStatuses) {
    struct Case {
        std::vector<std::string> argv;
        int status;
        const char* printed;  // in the output, or in the errors when the status is 2
        std::size_t files;
    } cases[] = {
        {{"--format", "ical"}, kExitUsage, "no folder for the files: give --to DIR", 0},
        {{"--to", "OUT", "--export-all", "--skip-private"}, kExitUsage, "give no filter option with it", 0},
        {{"--to", "OUT", "--include-labels", "Birthday,Lunch"}, kExitUsage, "names no label", 0},
        {{"--to", "OUT", "--period", "2027-01-01"}, kExitUsage, "--period needs a value", 0},
        {{"--to", "OUT", "--period", "2027-01-01", "2027-13-01"}, kExitUsage, "--period takes two dates", 0},
        {{"--to", "OUT", "--format", "ics2"}, kExitUsage, "--format must be vcal or ical", 0},
        {{"--to", "OUT", "--encoding", "KOI8-R"}, kExitUsage, "unknown encoding \"KOI8-R\"", 0},
        {{"Contacts", "--to", "OUT"}, kExitUsage, "", 0},  // string 146 was shown
        {{"--to", "OUT", "--format", "ical", "--one-file", "--export-all", "--encoding", "utf-8"}, kExitOk,
         "Successfully exported:  12", 1},
        // The stored filter (0x55 with the default period) rejects most of the samples.
        {{"--to", "OUT", "--overwrite"}, kExitOk, "Export completed with skipped items.", 1},
        {{"--file-per-event", "--format", "vcal", "--period", "2026-12-20", "2027-01-10", "--skip-all-day",
          "--include-private", "--any-categories", "--include-labels", "2,4,Important"},
         kExitOk, "Successfully exported:  2", 2},  // the stand-up (label 2) and the sync (label 4)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv.size() > 1 ? c.argv[1] + " " + c.argv.back() : "");
        fs::remove_all(m_base / "out");
        fs::create_directories(m_base / "out");
        const Result r = Run(c.argv);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((c.status == kExitUsage ? r.err : r.out).find(c.printed), std::string::npos) << r.out << r.err;
        EXPECT_EQ(FileCount(), c.files);
    }
    // What the last run stored: its filter page's values, never the period.
    EXPECT_EQ(m_settings->ReadNumber("Appointments.Export.Filter"), 0x61u);
    EXPECT_EQ(m_settings->ReadNumber("Appointments.Export.Filter.Labels"), 0xBu);
    EXPECT_EQ(m_settings->ReadNumber("Appointments.Export.Format"), 10u);
    EXPECT_EQ(m_settings->ReadNumber("Appointments.Export.OneFile"), 0u);
    EXPECT_EQ(m_settings->ReadText("Appointments.Export.Encoding", 256), "UTF-8");
}

TEST_F(ExportEventsRunTest, InteractiveKeepsTheStoredValuesOnEnter) {
    ASSERT_EQ(Run({"--to", "OUT", "--export-all", "--format", "ical"}).status, kExitOk);
    fs::remove_all(m_base / "out");
    fs::create_directories(m_base / "out");
    // Enter everywhere, "yes" to "Export all"; then the prompts end: cancelled.
    Result r = Run({"-i"}, "\n\n\n\n\n\nyes\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Successfully exported:  12"), std::string::npos) << r.out;
    EXPECT_EQ(FileCount(), 1u);
    r = Run({"-i"}, "\n\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.find("Export cancelled."), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mireo::cli
