#pragma once
// CMireoEngine: owns the four action runners and the settings; every way of starting
// an action (a toolbar button, the select-action dialog, the hidden window's command,
// the command line) ends in one of its four action operations. Only one run at a
// time: the wizards' modal loops and the progress display let the host's windows
// work, so a second request can arrive while a run is open; it is refused.
#include <memory>
#include <string>

#include "engine/pending_runners.h"
#include "engine/settings_store.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"

namespace mireo {

class ILocaleInfo;
class IRegistry;

// The numbers the select-action dialog uses for the four actions.
enum class EngineAction { ExportContacts = 1, ImportContacts = 2, ExportEvents = 3, ImportEvents = 4 };

// What a wizard gets to build its pages.
struct ActionContext {
    IApplication& app;
    CSettingsStore& settings;
    ILogger& log;
    IContextHelp* help;
    MireoCharConverter& converter;
    int hostMajorVersion;
};

// The user interface of the runs: the Windows dialogs, the command line's prompts, or
// a test's scripted doubles. Null from either operation: the action cannot start.
class IActionUi {
public:
    virtual ~IActionUi() = default;
    virtual std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const ActionContext& context) = 0;
    // Null by default: a user interface without import pages cannot start the import.
    virtual std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const ActionContext& context) {
        (void)context;
        return nullptr;
    }
    virtual std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) = 0;
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

class CMireoEngine {
public:
    // Opens (or creates) the settings key "Software\Kelvo\Mireo" of the current user and
    // gives the host major version to the runners that need it.
    CMireoEngine(const EngineHost& host, int hostMajorVersion);
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
    ActionContext Context();

    // Members in the order the engine has always kept them.
    CvCardImport m_contactImport;
    CvCardExport m_contactExport;
    CvCalImport m_eventImport;
    CvCalExport m_eventExport;
    CSettingsStore m_settings;
    EngineHost m_host;
    int m_hostMajorVersion;
    std::unique_ptr<IOutputFiles> m_ownFiles;  // when the host gave none
    bool m_running = false;
};

// The key path of the settings: "Software\" + string 602 + "\" + string 100.
std::string SettingsKeyPath();

}  // namespace mireo
