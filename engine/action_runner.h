#pragma once
// The runner of one action as the engine sees it. The engine knows no format: it hands
// each run everything a run needs (RunEnvironment) and the runner does the rest, its
// wizard, progress, item loop and finish page. The runners of the formats (CvCardExport,
// CvCardImport, the calendar's CvCalExport and CvCalImport) implement IActionRunner; who
// builds the engine (the add-in, the command line) constructs them with its own wizard
// user interface and gives them to the engine.
#include <string>

#include "platform/version_info.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IContextHelp;
class ILogger;
class IMapiFactory;
class IMessageBox;
class IOutputFiles;
class IProgressView;
class MireoCharConverter;

// Results of a run.
constexpr int kRunDone = 0;          // ended normally, or cancelled in its wizard
constexpr int kRunCannotStart = -1;  // could not start (no display, a required object missing)

// The four actions, by the numbers the select-action dialog uses.
enum class EngineAction { ExportContacts = 1, ImportContacts = 2, ExportEvents = 3, ImportEvents = 4 };

// Everything outside a run, for the length of one run; the engine builds it anew for
// each. Tests and benchmarks build their own.
struct RunEnvironment {
    IApplication& app;
    IMapiFactory& mapi;
    CSettingsStore& settings;       // the open settings key
    ILogger& log;                   // the helper library
    IContextHelp* help = nullptr;   // the helper library; null: no help
    IOutputFiles& files;            // where exports write
    IMessageBox& messages;          // the message boxes of the run and its pages
    MireoCharConverter& converter;  // the shared converter; the wizard's encoding becomes current
    std::string listSeparator = ",";  // the user's list separator (";" stands in when empty)
    ProductVersionInfo product{};     // PRODID
    int hostMajorVersion = 9;
    IProgressView& progress;        // the progress display of this run (not yet shown)
};

class IActionRunner {
public:
    virtual ~IActionRunner() = default;
    // The whole run: kRunDone or kRunCannotStart. Failures of single items are counted,
    // not thrown; whatever is thrown ends the run and the engine logs it.
    virtual int Run(const RunEnvironment& env) = 0;
};

}  // namespace mireo
