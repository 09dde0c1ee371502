// The frame of the wizard commands: which outcome of a run gives which exit status and
// message, with a runner and a wizard that play each outcome.
#include "cli/wizard_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

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

struct FakeRunner {
    int Run(const Outcome& o, FakeWizard& wizard, IProgressView&) {
        if (o.throws) throw std::runtime_error("store is locked");
        wizard.counters.failed = o.failed;
        return o.result;
    }
};

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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRunner runner;
        FakeWizard wizard{c.outcome, {}};
        CScriptedProgressView progress;
        std::ostringstream err;
        const Outcome& env = c.outcome;
        EXPECT_EQ(RunToExitStatus(runner, env, wizard, progress, "mireo x: ", "export", err), c.status);
        EXPECT_EQ(err.str(), c.err);
    }
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
