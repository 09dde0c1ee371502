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
#include "engine/category_filter.h"
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

    Result Run(const std::vector<std::string>& argv, const std::string& input = "") {
        ImportEventsArgs args;
        std::ostringstream parseErr;
        if (!ParseImportEventsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::istringstream in(input);
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
            .in = &in,
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

// -i: the source, options and filter pages as prompts on scripted input. An answer the
// prompt cannot take asks again; the end of the input cancels without storing.
TEST_F(ImportEventsRunTest, InteractivePromptsWalkThePages) {
    const std::string in = In();
    const struct {
        const char* name;
        std::vector<std::string> argv;
        std::string input;
        int status;
        std::vector<std::string> printed;
        int count;           // events in the calendar afterwards
        std::uint32_t conflict;  // stored conflict rule; 99: none stored
        std::uint32_t filter;    // stored filter; 99: none stored
    } cases[] = {
        // Files, folder, keep existing, a zone by name, a filter: private events out.
        {"walk",
         {"-i"},
         in + "\n\nkeep-existing\nw. europe standard time\nno\nno\nyes\nany\nany\nno\n",
         kExitItemFailed,
         {"Mireo - Import calendar events from files", "Filter", "  Skipped:                  1\n"},
         1,
         2,
         2},
        // Answers a prompt cannot take: asked again until one fits.
        {"asks again",
         {"-i", in},
         "\nCalendar/Nowhere\n\nmerge\nreplace\nAtlantis\n?\n1\nmaybe\nyes\n",
         kExitItemFailed,
         {"There is no Outlook folder \"Calendar/Nowhere\".", "Please answer keep-both, replace or keep-existing.",
          "Please give a zone of the list (? shows it).", "  1) ", "Please answer yes or no."},
         2,
         1,
         99},
        // A label list and a period, each with a wrong answer first; no event has a label.
        {"labels and period",
         {"-i", in},
         "\n\n\n\nno\nyes\nno\nany\ninclude\nUrgent\n9,Birthday\nyes\n2007-13-01\n\n2007-02-01\n2007-03-31\n",
         kExitItemFailed,  // the event without dates fails: the filter cannot place it
         {"Please give label names or numbers 1 to 10.", "Please give dates as YYYY-MM-DD."},
         0,
         0,
         kEventFilterSkipAllDay | kEventFilterIncludeLabels | kEventFilterPeriod},
        // The input ends on the options page: nothing imported, nothing stored.
        {"cancelled", {"-i", in}, "\n\n", kExitOk, {"Import cancelled."}, 0, 99, 99},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case on an empty calendar and no stored choices.
        m_settings.reset();
        m_reg.reset();
        fs::remove(m_base / "registry.reg");
        m_reg = std::make_unique<CRegistryFile>((m_base / "registry.reg").string());
        m_settings = std::make_unique<CSettingsStore>(*m_reg);
        while (Count() > 0) m_app->FolderByPath(u"Calendar")->Items()->Item(1)->Delete();
        const Result r = Run(c.argv, c.input);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        for (const std::string& p : c.printed) EXPECT_NE(r.out.find(p), std::string::npos) << p << "\n" << r.out;
        EXPECT_EQ(Count(), c.count);
        EXPECT_EQ(m_settings->ReadNumber("Appointments.Import.ConflictResolution").value_or(99), c.conflict);
        EXPECT_EQ(m_settings->ReadNumber("Appointments.Import.Filter").value_or(99), c.filter);
    }
}

}  // namespace
}  // namespace mireo::cli
