// The frame of the wizard commands: which outcome of a run gives which exit status and
// message, with a runner and a wizard that play each outcome, run through the engine.
#include "cli/wizard_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "encoding/mireo_char_converter.h"
#include "engine/run_summary.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/registry.h"
#include "ui/scripted_progress_view.h"

namespace mireo::cli {
namespace {

struct Outcome {
    int result = 0;         // what Run answers
    bool throws = false;    // Run throws instead
    bool finished = false;  // the wizard reached its finish page
    int wizardStatus = kExitUsage;
    int failed = 0;
};

struct FakeWizard {
    const Outcome& o;
    RunCounters counters;
    bool Finished() const { return o.finished; }
    int WizardStatus() const { return o.wizardStatus; }
    const RunCounters& Counters() const { return counters; }
};

class CFakeRunner : public IActionRunner {
public:
    CFakeRunner(const Outcome& o, FakeWizard& wizard) : m_o(o), m_wizard(wizard) {}
    int Run(const RunEnvironment&) override {
        if (m_o.throws) throw std::runtime_error("store is locked");
        m_wizard.counters.failed = m_o.failed;
        return m_o.result;
    }

private:
    const Outcome& m_o;
    FakeWizard& m_wizard;
};

using test::CClosedRegistry;

TEST(WizardCommand, RunOutcomeToExitStatus) {
    struct Case {
        const char* name;
        Outcome outcome;
        int status;
        const char* err;
    } cases[] = {
        {"finished", {.finished = true}, kExitOk, ""},
        {"finished, an item failed", {.finished = true, .failed = 2}, kExitItemFailed, ""},
        {"could not start", {.result = kRunCannotStart}, kExitUsage, "mireo x: the export could not start\n"},
        {"not finished, the wizard says why", {.wizardStatus = kExitOk}, kExitOk, ""},
        {"the run throws", {.throws = true, .finished = true}, kExitUsage, "mireo x: store is locked\n"},
    };
    CHostApplication app(DefaultHostStoreOptions(":memory:"));
    CClosedRegistry registry;
    CRecordingLogger log;
    std::unique_ptr<MireoCharConverter> converter = MireoCharConverter::FromText("UTF-8|UTF-8|65001\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWizard wizard{c.outcome, {}};
        CScriptedProgressView progress;
        std::ostringstream err;
        const CommandRun run{.app = app,
                             .mapi = app.Mapi(),
                             .registry = registry,
                             .log = log,
                             .help = nullptr,
                             .files = nullptr,
                             .messages = nullptr,
                             .converter = *converter,
                             .listSeparator = ",",
                             .progress = progress,
                             .prefix = "mireo x: ",
                             .err = err};
        const RunOutcome outcome = RunThroughEngine(
            run, EngineAction::ExportContacts, {.contactExport = std::make_unique<CFakeRunner>(c.outcome, wizard)});
        EXPECT_EQ(ExitStatus(outcome, &wizard, "mireo x: ", "export", err), c.status);
        EXPECT_EQ(err.str(), c.err);
    }
    // A run that ended before its user interface made a wizard.
    std::ostringstream err;
    EXPECT_EQ(ExitStatus<FakeWizard>(RunOutcome{}, nullptr, "mireo x: ", "export", err), kExitUsage);
    EXPECT_EQ(err.str(), "mireo x: the export could not start\n");
}

struct Args {
    bool help = false;
};

bool Parse(const std::vector<std::string>& args, Args& out, std::ostream& err) {
    for (const std::string& a : args) {
        if (a == "--help") {
            out.help = true;
        } else {
            err << "mireo x: unknown option " << a << "\n";
            return false;
        }
    }
    return true;
}

TEST(WizardCommand, ArgumentsToUsageOrRun) {
    struct Case {
        std::vector<std::string> args;
        bool throws;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {{}, false, 7, "ran\n", ""},
        {{"--help"}, false, kExitOk, "usage: mireo x\n", ""},
        {{"--bad"}, false, kExitUsage, "", "mireo x: unknown option --bad\nTry 'mireo x --help'.\n"},
        {{}, true, kExitUsage, "", "mireo x: no store\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        auto run = [&](const Args&) {
            if (c.throws) throw std::runtime_error("no store");
            out << "ran\n";
            return 7;
        };
        EXPECT_EQ(RunWizardCommand("x", "usage: mireo x\n", Parse, c.args, out, err, run), c.status);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
    }
}

}  // namespace
}  // namespace mireo::cli
