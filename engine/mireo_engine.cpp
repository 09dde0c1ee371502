#include "engine/mireo_engine.h"

#include <exception>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "engine/pending_runners.h"
#include "platform/locale_info.h"
#include "platform/message_box.h"
#include "platform/output_files.h"
#include "platform/user_strings.h"
#include "platform/version_info.h"
#include "ui/progress.h"

namespace mireo {
namespace {

constexpr int kStrCompany = 602;  // "Kelvo"
constexpr int kStrProduct = 100;  // "Mireo"

// Holds the engine's "run in progress" flag for the length of one action.
class CRunGuard {
public:
    explicit CRunGuard(bool& flag) : m_flag(flag), m_taken(!flag) {
        if (m_taken) m_flag = true;
    }
    ~CRunGuard() {
        if (m_taken) m_flag = false;
    }
    CRunGuard(const CRunGuard&) = delete;
    CRunGuard& operator=(const CRunGuard&) = delete;
    explicit operator bool() const { return m_taken; }

private:
    bool& m_flag;
    bool m_taken;
};

std::unique_ptr<IActionRunner> OrPending(std::unique_ptr<IActionRunner> runner, const char* source,
                                         const char* message) {
    if (runner) return runner;
    return std::make_unique<CPendingRunner>(source, message);
}

}  // namespace

int CPendingRunner::Run(const RunEnvironment& env) {
    env.log.LogMsg(m_message, 0, m_source, kWarning, kLogFlags);
    return kRunCannotStart;
}

std::string SettingsKeyPath() {
    const std::string company = LoadUserString(kStrCompany);
    const std::string product = LoadUserString(kStrProduct);
    if (company.empty() || product.empty()) return std::string(kSettingsKeyPath);
    return "Software\\" + company + "\\" + product;
}

CMireoEngine::CMireoEngine(const EngineHost& host, int hostMajorVersion, EngineRunners runners)
    : m_contactImport(OrPending(std::move(runners.contactImport), "CvCardImport::Run",
                                "Importing contacts is not available yet")),
      m_contactExport(OrPending(std::move(runners.contactExport), "CvCardExport::Run",
                                "Exporting contacts is not available yet")),
      m_eventImport(OrPending(std::move(runners.eventImport), "CvCalImport::Run",
                              "Importing calendar events is not available yet")),
      m_eventExport(OrPending(std::move(runners.eventExport), "CvCalExport::Run",
                              "Exporting calendar events is not available yet")),
      m_settings(host.registry, SettingsKeyPath()),
      m_host(host),
      m_hostMajorVersion(hostMajorVersion) {
    if (m_host.files == nullptr) {
        m_ownFiles = CreateSystemOutputFiles();
        m_host.files = m_ownFiles.get();
    }
}

CMireoEngine::~CMireoEngine() = default;

// One action operation: refused while another runs (the flag says so), and whatever the
// run throws ends the run, since nothing may leave the engine towards the host. A
// refusal, an exception and a run that could not start are logged under source.
int CMireoEngine::Run(EngineAction action, IActionRunner& runner, const char* source) {
    ILogger& log = m_host.log;
    CRunGuard guard(m_running);
    if (!guard) {
        log.LogMsg("action refused: a run is in progress", 0, source, kWarning, kLogFlags);
        return kRunCannotStart;
    }
    int result = kRunCannotStart;
    try {
        std::unique_ptr<IProgressView> view = m_host.ui.CreateProgressView(action);
        if (!view) {
            log.LogMsg("no progress display", 0, source, kError, kLogFlags);
        } else {
            ILocaleInfo& locale = m_host.locale != nullptr ? *m_host.locale : SystemLocaleInfo();
            const RunEnvironment env{
                .app = m_host.app,
                .mapi = m_host.mapi,
                .settings = m_settings,
                .log = log,
                .help = m_host.help,
                .files = *m_host.files,
                .messages = m_host.messages != nullptr ? *m_host.messages : CurrentMessageBox(),
                .converter = m_host.converter != nullptr ? *m_host.converter : SharedCharConverter(),
                .listSeparator = locale.ListSeparator(),
                .product = ProductVersion(),
                .hostMajorVersion = m_hostMajorVersion,
                .progress = *view,
            };
            result = runner.Run(env);
        }
    } catch (const std::exception& e) {
        log.LogMsg(e.what(), 0, source, kError, kLogFlags);
        m_host.ui.ShowRunFailure(action, e.what());
        result = kRunCannotStart;
    } catch (...) {
        log.LogMsg("unknown exception", 0, source, kError, kLogFlags);
        m_host.ui.ShowRunFailure(action, "unknown exception");
        result = kRunCannotStart;
    }
    if (result == kRunCannotStart) log.LogMsg("the run could not start", result, source, kError, kLogFlags);
    return result;
}

int CMireoEngine::ExportContacts() {
    return Run(EngineAction::ExportContacts, *m_contactExport, "CMireoEngine::ExportContacts");
}

int CMireoEngine::ImportContacts() {
    return Run(EngineAction::ImportContacts, *m_contactImport, "CMireoEngine::ImportContacts");
}

int CMireoEngine::ExportEvents() {
    return Run(EngineAction::ExportEvents, *m_eventExport, "CMireoEngine::ExportEvents");
}

int CMireoEngine::ImportEvents() {
    return Run(EngineAction::ImportEvents, *m_eventImport, "CMireoEngine::ImportEvents");
}

int CMireoEngine::RunAction(int action) {
    switch (static_cast<EngineAction>(action)) {
    case EngineAction::ExportContacts: return ExportContacts();
    case EngineAction::ImportContacts: return ImportContacts();
    case EngineAction::ExportEvents: return ExportEvents();
    case EngineAction::ImportEvents: return ImportEvents();
    }
    m_host.log.LogMsg("unknown action", action, "CMireoEngine::RunAction", kWarning, kLogFlags);
    return kRunCannotStart;
}

}  // namespace mireo
