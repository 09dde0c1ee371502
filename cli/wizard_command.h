#pragma once
// The frame the wizard commands (export-contacts, import-contacts) share: arguments to
// usage or a run, the run through the engine (with its settings key, one-run guard and
// logging, as the add-in runs it), and the run's outcome to an exit status. Every
// message starts with "mireo NAME: ".
#include <exception>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "engine/item_store.h"
#include "engine/mireo_engine.h"

namespace mireo {
class ILocaleInfo;
class IRegistry;
}

namespace mireo::cli {

// Parses args with parse; prints usage for --help, else answers run(parsed). A parse
// error ends with a hint at --help, an exception from run with its text; both kExitUsage.
template <typename Args, typename RunParsed>
int RunWizardCommand(std::string_view name, const char* usage,
                     bool (*parse)(const std::vector<std::string>&, Args&, std::ostream&),
                     const std::vector<std::string>& args, std::ostream& out, std::ostream& err, RunParsed run) {
    Args parsed;
    if (!parse(args, parsed, err)) {
        err << "Try 'mireo " << name << " --help'.\n";
        return kExitUsage;
    }
    if (parsed.help) {
        out << usage;
        return kExitOk;
    }
    try {
        return run(parsed);
    } catch (const std::exception& e) {
        err << "mireo " << name << ": " << e.what() << "\n";
        return kExitUsage;
    }
}

// The host's major version for the engine; 9 when the host cannot tell.
inline int HostMajorVersion(IApplication& app) {
    try {
        return app.MajorVersion(9);
    } catch (const std::exception&) {
        return 9;
    }
}

// What a wizard command hands the engine for one run.
struct CommandRun {
    IApplication& app;
    IMapiFactory& mapi;
    IRegistry& registry;        // the settings key is opened in it
    ILogger& log;
    IContextHelp* help;
    IOutputFiles* files;        // null: the system's
    IMessageBox* messages;      // null: the current message box
    MireoCharConverter& converter;
    std::string listSeparator;  // the locale's, or one given
    IProgressView& progress;    // the command's one progress view
    std::string_view prefix;    // "mireo export-contacts: "
    std::ostream& err;
};

// The CommandRun of a command's context (the contexts of the commands name their
// members alike); files: null for the system's.
template <typename Context>
CommandRun CommandRunOf(Context& context, IOutputFiles* files, std::string_view prefix) {
    return CommandRun{
        .app = context.app,
        .mapi = context.mapi,
        .registry = context.registry,
        .log = context.log,
        .help = context.help,
        .files = files,
        .messages = context.messages,
        .converter = context.converter,
        .listSeparator = context.listSeparator,
        .progress = context.progress,
        .prefix = prefix,
        .err = context.err,
    };
}

// Everything an import command works with, so that tests can hand in their own. The
// run goes through the engine, which opens the settings key in the registry.
struct ImportContext {
    IApplication& app;
    IMapiFactory& mapi;
    IRegistry& registry;
    ILogger& log;
    IContextHelp* help;
    MireoCharConverter& converter;
    std::string listSeparator;
    IProgressView& progress;
    std::ostream& out;
    std::ostream& err;
    IMessageBox* messages = nullptr;  // null: the current message box
    ILocaleInfo* locale = nullptr;    // null: the system's
    std::istream* in = nullptr;       // the answers to the prompts; null: standard input
};

struct GlobalOptions;
// Runs `run` on the system's import context: the host store of the global options,
// the helper library and the terminal's progress bar. Both import commands start
// their runs here.
int WithSystemImportContext(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                            const std::function<int(ImportContext&)>& run);

// How the engine's run ended.
struct RunOutcome {
    int result = kRunCannotStart;
    bool failed = false;  // ended by an exception; its text was printed after the prefix
};

// Runs the action through an engine built for the command with the given runners.
RunOutcome RunThroughEngine(const CommandRun& run, EngineAction action, EngineRunners runners);

// The exit status of a run: kExitItemFailed when the wizard finished and an item
// failed, kExitOk when it finished otherwise. A run that failed gives kExitUsage (its
// text was printed). A wizard that did not finish (or was never made) answers its own
// WizardStatus(), after "the NOUN could not start" when the run did not start (then
// kExitUsage).
template <typename Wizard>
int ExitStatus(const RunOutcome& run, const Wizard* wizard, std::string_view prefix, std::string_view noun,
               std::ostream& err) {
    if (run.failed) return kExitUsage;
    if (wizard == nullptr || !wizard->Finished()) {
        if (run.result == kRunCannotStart) {
            err << prefix << "the " << noun << " could not start\n";
            return kExitUsage;
        }
        return wizard != nullptr ? wizard->WizardStatus() : kExitUsage;
    }
    return wizard->Counters().failed > 0 ? kExitItemFailed : kExitOk;
}

// A wizard the command keeps: the runner gets this handle (and drops it after the
// run), the command reads the wizard's outcome afterwards.
template <typename Interface, typename Choices, typename Outcome>
class CWizardHandle : public Interface {
public:
    explicit CWizardHandle(Interface& wizard) : m_wizard(wizard) {}
    bool Run(Choices& choices) override { return m_wizard.Run(choices); }
    void Finish(const Outcome& outcome) override { m_wizard.Finish(outcome); }

private:
    Interface& m_wizard;
};

}  // namespace mireo::cli
