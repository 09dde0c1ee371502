#include "engine/mireo_engine.h"

#include <exception>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/locale_info.h"
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

// One action operation: refused while another runs (the flag says so), and whatever
// run() throws ends the run, since nothing may leave the engine towards the host. A
// refusal, an exception and a run that could not start are logged under source.
template <typename Run>
int RunExclusive(bool& running, ILogger& log, const char* source, Run run) {
    CRunGuard guard(running);
    if (!guard) {
        log.LogMsg("action refused: a run is in progress", 0, source, kWarning, kLogFlags);
        return kRunCannotStart;
    }
    int result = kRunCannotStart;
    try {
        result = run();
    } catch (const std::exception& e) {
        log.LogMsg(e.what(), 0, source, kError, kLogFlags);
        result = kRunCannotStart;
    }
    if (result == kRunCannotStart) log.LogMsg("the run could not start", result, source, kError, kLogFlags);
    return result;
}

}  // namespace

int CPendingRunner::Run(ILogger& log) {
    log.LogMsg(m_message, 0, m_source, kWarning, kLogFlags);
    return kRunCannotStart;
}

std::string SettingsKeyPath() {
    const std::string company = LoadUserString(kStrCompany);
    const std::string product = LoadUserString(kStrProduct);
    if (company.empty() || product.empty()) return std::string(kSettingsKeyPath);
    return "Software\\" + company + "\\" + product;
}

CMireoEngine::CMireoEngine(const EngineHost& host, int hostMajorVersion)
    : m_contactImport(hostMajorVersion),
      m_contactExport(hostMajorVersion),
      m_eventExport(hostMajorVersion),
      m_settings(host.registry, SettingsKeyPath()),
      m_host(host),
      m_hostMajorVersion(hostMajorVersion) {
    if (m_host.files == nullptr) {
        m_ownFiles = CreateSystemOutputFiles();
        m_host.files = m_ownFiles.get();
    }
}

CMireoEngine::~CMireoEngine() = default;

ActionContext CMireoEngine::Context() {
    MireoCharConverter& converter = m_host.converter != nullptr ? *m_host.converter : SharedCharConverter();
    return ActionContext{m_host.app, m_settings, m_host.log, m_host.help, converter, m_hostMajorVersion};
}

int CMireoEngine::ExportContacts() {
    constexpr const char* kSource = "CMireoEngine::ExportContacts";
    return RunExclusive(m_running, m_host.log, kSource, [&] {
        const ActionContext context = Context();
        std::unique_ptr<IContactExportWizard> wizard = m_host.ui.CreateContactExportWizard(context);
        std::unique_ptr<IProgressView> view = m_host.ui.CreateProgressView(EngineAction::ExportContacts);
        if (!wizard || !view) {
            m_host.log.LogMsg("no wizard or progress display", 0, kSource, kError, kLogFlags);
            return kRunCannotStart;
        }
        ILocaleInfo& locale = m_host.locale != nullptr ? *m_host.locale : SystemLocaleInfo();
        const ProductVersionInfo product = ProductVersion();
        ExportEnvironment env{m_host.app,     m_host.mapi,  m_settings,           m_host.log,
                              m_host.help,    *m_host.files, context.converter,   locale.ListSeparator(),
                              product.major, product.minor};
        return m_contactExport.Run(env, *wizard, *view);
    });
}

int CMireoEngine::ImportContacts() {
    constexpr const char* kSource = "CMireoEngine::ImportContacts";
    return RunExclusive(m_running, m_host.log, kSource, [&] {
        const ActionContext context = Context();
        std::unique_ptr<IContactImportWizard> wizard = m_host.ui.CreateContactImportWizard(context);
        std::unique_ptr<IProgressView> view = m_host.ui.CreateProgressView(EngineAction::ImportContacts);
        if (!wizard || !view) {
            m_host.log.LogMsg("no wizard or progress display", 0, kSource, kError, kLogFlags);
            return kRunCannotStart;
        }
        ILocaleInfo& locale = m_host.locale != nullptr ? *m_host.locale : SystemLocaleInfo();
        ImportEnvironment env{m_host.app,  m_host.mapi,     m_settings,        m_host.log,
                              m_host.help, m_host.messages, context.converter, locale.ListSeparator()};
        return m_contactImport.Run(env, *wizard, *view);
    });
}

int CMireoEngine::ExportEvents() {
    return RunExclusive(m_running, m_host.log, "CMireoEngine::ExportEvents", [&] {
        return m_eventExport.Run(m_host.log);
    });
}

int CMireoEngine::ImportEvents() {
    return RunExclusive(m_running, m_host.log, "CMireoEngine::ImportEvents", [&] {
        return m_eventImport.Run(m_host.log);
    });
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
