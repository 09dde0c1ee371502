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

void LogRefused(ILogger& log, const char* source) {
    log.LogMsg("action refused: a run is in progress", 0, source, kWarning, kLogFlags);
}

void LogResult(ILogger& log, int result, const char* source) {
    if (result == kRunCannotStart) log.LogMsg("the run could not start", result, source, kError, kLogFlags);
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
    CRunGuard guard(m_running);
    if (!guard) {
        LogRefused(m_host.log, kSource);
        return kRunCannotStart;
    }
    int result = kRunCannotStart;
    try {
        const ActionContext context = Context();
        std::unique_ptr<IContactExportWizard> wizard = m_host.ui.CreateContactExportWizard(context);
        std::unique_ptr<IProgressView> view = m_host.ui.CreateProgressView(EngineAction::ExportContacts);
        if (!wizard || !view) {
            m_host.log.LogMsg("no wizard or progress display", 0, kSource, kError, kLogFlags);
        } else {
            ILocaleInfo& locale = m_host.locale != nullptr ? *m_host.locale : SystemLocaleInfo();
            const ProductVersionInfo product = ProductVersion();
            ExportEnvironment env{m_host.app,     m_host.mapi,  m_settings,           m_host.log,
                                  m_host.help,    *m_host.files, context.converter,   locale.ListSeparator(),
                                  product.major, product.minor};
            result = m_contactExport.Run(env, *wizard, *view);
        }
    } catch (const std::exception& e) {
        // Nothing may leave the engine towards the host.
        m_host.log.LogMsg(e.what(), 0, kSource, kError, kLogFlags);
        result = kRunCannotStart;
    }
    LogResult(m_host.log, result, kSource);
    return result;
}

int CMireoEngine::ImportContacts() {
    constexpr const char* kSource = "CMireoEngine::ImportContacts";
    CRunGuard guard(m_running);
    if (!guard) {
        LogRefused(m_host.log, kSource);
        return kRunCannotStart;
    }
    int result = kRunCannotStart;
    try {
        const ActionContext context = Context();
        std::unique_ptr<IContactImportWizard> wizard = m_host.ui.CreateContactImportWizard(context);
        std::unique_ptr<IProgressView> view = m_host.ui.CreateProgressView(EngineAction::ImportContacts);
        if (!wizard || !view) {
            m_host.log.LogMsg("no wizard or progress display", 0, kSource, kError, kLogFlags);
        } else {
            ILocaleInfo& locale = m_host.locale != nullptr ? *m_host.locale : SystemLocaleInfo();
            ImportEnvironment env{m_host.app,  m_host.mapi,     m_settings,        m_host.log,
                                  m_host.help, m_host.messages, context.converter, locale.ListSeparator()};
            result = m_contactImport.Run(env, *wizard, *view);
        }
    } catch (const std::exception& e) {
        m_host.log.LogMsg(e.what(), 0, kSource, kError, kLogFlags);
        result = kRunCannotStart;
    }
    LogResult(m_host.log, result, kSource);
    return result;
}

int CMireoEngine::ExportEvents() {
    constexpr const char* kSource = "CMireoEngine::ExportEvents";
    CRunGuard guard(m_running);
    if (!guard) {
        LogRefused(m_host.log, kSource);
        return kRunCannotStart;
    }
    const int result = m_eventExport.Run(m_host.log);
    LogResult(m_host.log, result, kSource);
    return result;
}

int CMireoEngine::ImportEvents() {
    constexpr const char* kSource = "CMireoEngine::ImportEvents";
    CRunGuard guard(m_running);
    if (!guard) {
        LogRefused(m_host.log, kSource);
        return kRunCannotStart;
    }
    const int result = m_eventImport.Run(m_host.log);
    LogResult(m_host.log, result, kSource);
    return result;
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
