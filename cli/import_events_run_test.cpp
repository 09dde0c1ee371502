// mireo import-events end to end: a store, a registry file and calendar files of its
// own; the options are stored as the pages store them, the finish page is printed, a
// second import with keep-existing adds nothing, and the exit status follows the counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/import_events_command.h"
#include "cli/testing/command_run_fixture.h"
#include "platform/registry.h"
#include "vcal/common/zone_rule.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kEncodingsText[] = "UTF-8|UTF-8|65001\r\n";
const char kEvents[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
    "BEGIN:VEVENT\r\nDTSTART:20070301T090000\r\nDTEND:20070301T100000\r\nSUMMARY:Review\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20070302\r\nDTEND;VALUE=DATE:20070303\r\nSUMMARY:Holiday\r\n"
    "CLASS:PRIVATE\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nSUMMARY:no dates\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

class ImportEventsRunTest : public test::CCommandRunTest {
protected:
    ImportEventsRunTest() : CCommandRunTest("mireo_ie_", kEncodingsText) {
        fs::create_directories(m_base / "in");
        std::ofstream(m_base / "in" / "events.ics", std::ios::binary) << kEvents;
        std::ofstream(m_base / "in" / "notes.txt", std::ios::binary) << "BEGIN:VCALENDAR\r\n";
        SetRegistryFile((m_base / "zones.reg").string());
    }
    ~ImportEventsRunTest() override { SetRegistryFile(""); }
    std::string In() const { return (m_base / "in").string(); }

    Result Run(const std::vector<std::string>& argv) {
        ImportEventsArgs args;
        std::ostringstream parseErr;
        if (!ParseImportEventsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::ostringstream out, err;
        ImportEventsContext context{
            .app = *m_app,
            .mapi = m_app->Mapi(),
            .registry = *m_reg,
            .log = m_log,
            .help = &m_log,
            .converter = *m_converter,
            .listSeparator = ",",
            .progress = m_progress,
            .out = out,
            .err = err,
        };
        const int status = RunImportEvents(args, context);
        return {status, out.str(), err.str()};
    }
    int Count() { return m_app->FolderByPath(u"Calendar")->Items()->Count(); }
};

TEST_F(ImportEventsRunTest, ImportsStoresAndKeepsExisting) {
    Result r = Run({"--conflict", "keep-existing", "--zone", "w. europe standard time", "--import-all", In()});
    EXPECT_EQ(r.status, kExitItemFailed) << r.err;  // the event without dates failed
    EXPECT_NE(r.out.find("Import completed with errors."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Selected (files/events):  1/3\n"), std::string::npos) << r.out;
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(m_settings->GetNumber("Appointments.Import.ConflictResolution"), 2u);
    EXPECT_EQ(m_settings->GetText("Appointments.Import.TZName").find("(GMT+01:00)"), 0u);
    EXPECT_EQ(m_settings->GetText("Appointments.Import.Folder"), In());
    // Again with the stored choices: every event is found and kept.
    r = Run({"--import-all"});
    EXPECT_NE(r.out.find("  Skipped:                  2\n"), std::string::npos) << r.out;
    EXPECT_EQ(Count(), 2);
}

TEST_F(ImportEventsRunTest, FilterOptionsAndErrors) {
    Result r = Run({"--skip-private", "--include-all-day", "--any-categories", "--any-labels", "--any-time", In()});
    EXPECT_NE(r.out.find("  Skipped:                  1\n"), std::string::npos) << r.out;
    EXPECT_EQ(m_settings->GetNumber("Appointments.Import.Filter"), 2u);
    // The filter page's checks.
    r = Run({"--include-labels", "", In()});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(m_box.Shown().back().text, "Please, select labels");
    r = Run({"--period", "2007-03-05", "2007-03-01", In()});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(m_box.Shown().back().text, "The end date must be later than the start date");
    const struct {
        std::vector<std::string> argv;
        const char* message;
    } bad[] = {
        {{"--conflict", "merge"}, "--conflict must be"},
        {{"--zone", "Atlantis Standard Time", In()}, "no zone \"Atlantis Standard Time\""},
        {{"--include-labels", "Urgent"}, "unknown label"},
        {{"--period", "2007-03-05"}, "needs a value"},
        {{"--import-all", (m_base / "missing").string()}, ""},
    };
    for (const auto& b : bad) {
        r = Run(b.argv);
        EXPECT_EQ(r.status, kExitUsage) << b.argv.front();
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace mireo::cli
