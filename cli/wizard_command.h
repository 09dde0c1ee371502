#pragma once
// The frame the wizard commands (export-contacts, import-contacts) share: arguments to
// usage or a run, the run to an exit status. Every message starts with "mireo NAME: ".
#include <exception>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "engine/item_store.h"
#include "vcard/contact_export.h"

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

// The host's major version for a runner; 9 when the host cannot tell.
inline int HostMajorVersion(IApplication& app) {
    try {
        return app.MajorVersion(9);
    } catch (const std::exception&) {
        return 9;
    }
}

// Runs runner with the terminal wizard and answers the exit status: kExitItemFailed
// when the wizard finished and an item failed, kExitOk when it finished otherwise. A
// wizard that did not finish answers its own WizardStatus(), after "the NOUN could not
// start" when the run did not start (then kExitUsage). An exception from the run is
// printed and gives kExitUsage.
template <typename Runner, typename Environment, typename Wizard>
int RunToExitStatus(Runner& runner, Environment& env, Wizard& wizard, IProgressView& progress,
                    std::string_view prefix, std::string_view noun, std::ostream& err) {
    int result = kRunCannotStart;
    try {
        result = runner.Run(env, wizard, progress);
    } catch (const std::exception& e) {
        err << prefix << e.what() << "\n";
        return kExitUsage;
    }
    if (!wizard.Finished()) {
        if (result == kRunCannotStart) {
            err << prefix << "the " << noun << " could not start\n";
            return kExitUsage;
        }
        return wizard.WizardStatus();
    }
    return wizard.Counters().failed > 0 ? kExitItemFailed : kExitOk;
}

}  // namespace mireo::cli
