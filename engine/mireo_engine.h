#pragma once
// CMireoEngine: owns the four action runners and the settings; every way of starting
// an action (a toolbar button, the select-action dialog, the hidden window's command,
// the command line) ends in one of its four action operations. Only one run at a
// time: the wizards' modal loops and the progress display let the host's windows
// work, so a second request can arrive while a run is open; it is refused.
//
// The engine knows no format. Whoever builds it (the add-in, the command line) makes
// the runners with its own wizard user interface and hands them over:
//     CMireoEngine engine(host, major, {.contactImport = std::make_unique<CvCardImport>(ui),
//                                       .contactExport = std::make_unique<CvCardExport>(ui)});
// An action given no runner is one still to come: its run logs so and cannot start.
#include <memory>
#include <string>

#include "engine/action_runner.h"
#include "engine/settings_store.h"

namespace mireo {

class ILocaleInfo;
class IRegistry;

// The user interface every run shares, whatever its action: the progress display, and
// what the user is told when a run failed. The wizards belong to the runners.
class IActionUi {
public:
    virtual ~IActionUi() = default;
    // A progress display for one run (shown only once the run has work); null: the
    // action cannot start.
    virtual std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) = 0;
    // A run ended by an exception, which the engine has logged; `what` is its text.
    // Nothing by default.
    virtual void ShowRunFailure(EngineAction action, const std::string& what) {
        (void)action;
        (void)what;
    }
};

// Everything the engine borrows; it must outlive the engine.
struct EngineHost {
    IApplication& app;
    IMapiFactory& mapi;
    IRegistry& registry;
    ILogger& log;              // the helper library
    IContextHelp* help;        // the helper library; null: no help
    IActionUi& ui;
    IOutputFiles* files = nullptr;            // null: the platform's file system
    IMessageBox* messages = nullptr;          // null: the current message box
    MireoCharConverter* converter = nullptr;  // null: the shared converter
    ILocaleInfo* locale = nullptr;            // null: the user's locale
};

// The runners of the four actions, owned by the engine from its construction.
struct EngineRunners {
    std::unique_ptr<IActionRunner> contactImport = nullptr;
    std::unique_ptr<IActionRunner> contactExport = nullptr;
    std::unique_ptr<IActionRunner> eventImport = nullptr;
    std::unique_ptr<IActionRunner> eventExport = nullptr;
};

class CMireoEngine {
public:
    // Takes the runners (a null one becomes a CPendingRunner) and opens (or creates) the
    // settings key "Software\Kelvo\Mireo" of the current user. The host major version
    // reaches every run through its RunEnvironment.
    CMireoEngine(const EngineHost& host, int hostMajorVersion, EngineRunners runners = {});
    virtual ~CMireoEngine();
    CMireoEngine(const CMireoEngine&) = delete;
    CMireoEngine& operator=(const CMireoEngine&) = delete;

    // The action operations: kRunDone when the run ended normally or was cancelled in
    // its wizard, kRunCannotStart when it could not start or was refused because a run
    // is in progress. Callers may ignore the result; failures are logged.
    int ExportContacts();
    int ImportContacts();
    int ExportEvents();
    int ImportEvents();
    // By the select-action dialog's number; kRunCannotStart for another number.
    int RunAction(int action);

    bool IsRunning() const { return m_running; }
    CSettingsStore& Settings() { return m_settings; }
    int HostMajorVersion() const { return m_hostMajorVersion; }

private:
    int Run(EngineAction action, IActionRunner& runner, const char* source);

    // Members in the order the engine has always kept them.
    std::unique_ptr<IActionRunner> m_contactImport;
    std::unique_ptr<IActionRunner> m_contactExport;
    std::unique_ptr<IActionRunner> m_eventImport;
    std::unique_ptr<IActionRunner> m_eventExport;
    CSettingsStore m_settings;
    EngineHost m_host;
    int m_hostMajorVersion;
    std::unique_ptr<IOutputFiles> m_ownFiles;  // when the host gave none
    bool m_running = false;
};

// The key path of the settings: "Software\" + string 602 + "\" + string 100.
std::string SettingsKeyPath();

}  // namespace mireo
