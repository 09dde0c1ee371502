#include "addin/stored_choices_ui.h"

#include <string>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "ui/progress.h"
#include "vcard/ui/dlg_vcard_export.h"
#include "vcard/ui/dlg_vcard_export_finish.h"
#include "vcard/ui/dlg_vcard_import.h"
#include "vcard/ui/dlg_vcard_import_finish.h"

namespace mireo {

namespace {

std::vector<std::string> EncodingNames(const MireoCharConverter& converter) {
    std::vector<std::string> names;
    for (const EncodingRecord& r : converter.Encodings()) names.push_back(r.displayName);
    return names;
}

// The finish page's counts as one line: "Export completed successfully. 3/0/0/3".
template <typename Finish>
std::string FinishLine(const Finish& page) {
    std::string line = page.StatusText();
    for (const FinishCount& c : page.Counts()) line += " " + c.label + " " + c.Shown();
    return line;
}

class CStoredExportWizard : public IContactExportWizard {
public:
    CStoredExportWizard(const RunEnvironment& env, ILogger& log) : m_env(env), m_log(log) {}

    bool Run(ContactExportChoices& choices) override {
        CDlgVCardExport page(m_env.app, m_env.settings, m_env.messages, EncodingNames(m_env.converter));
        if (page.Folder() == nullptr) {
            m_log.LogMsg("no contacts folder to export", 0, kSource, kWarning, kLogFlags);
            return false;
        }
        if (!page.ExportEnabled()) {
            m_log.LogMsg("the stored export folder is not a folder: \"" + page.TargetFolder() + "\"", 0, kSource,
                         kWarning, kLogFlags);
            return false;
        }
        return page.OnExport(choices);
    }

    void Finish(const ContactExportOutcome& outcome) override {
        const CDlgVCardExportFinish page(m_env.settings, outcome);
        m_log.LogMsg(FinishLine(page), outcome.counters.failed, kSource, kTrace, kLogFlags);
    }

private:
    static constexpr const char* kSource = "CvCardExport::Run";
    const RunEnvironment& m_env;  // the run's, which outlives its wizard
    ILogger& m_log;
};

class CStoredImportWizard : public IContactImportWizard {
public:
    CStoredImportWizard(const RunEnvironment& env, ILogger& log) : m_env(env), m_log(log) {}

    bool Run(ContactImportChoices& choices) override {
        CDlgVCardImport page(m_env.app, m_env.settings, m_env.messages);
        if (!page.ImportEnabled()) {
            m_log.LogMsg(page.Folder() == nullptr ? "no contacts folder to import into" : "no stored files to import",
                         0, kSource, kWarning, kLogFlags);
            return false;
        }
        return page.OnImport(choices);
    }

    void Finish(const ContactImportOutcome& outcome) override {
        const CDlgVCardImportFinish page(m_env.settings, outcome, outcome.folder);
        m_log.LogMsg(FinishLine(page), outcome.counters.failed, kSource, kTrace, kLogFlags);
    }

private:
    static constexpr const char* kSource = "CvCardImport::Run";
    const RunEnvironment& m_env;  // the run's, which outlives its wizard
    ILogger& m_log;
};

class CQuietProgressView : public IProgressView {
public:
    explicit CQuietProgressView(const std::function<void()>& pump) : m_pump(pump) {}
    bool Start(CDlgProgress&, void*, std::uint16_t) override { return true; }
    void ShowLabel(const std::string&) override {}
    void ShowStatus(std::int32_t, std::int32_t, const std::string&) override {
        if (m_pump) m_pump();
    }
    void Close() override {}

private:
    const std::function<void()>& m_pump;
};

}  // namespace

std::unique_ptr<IContactExportWizard> CStoredChoicesUi::CreateContactExportWizard(const RunEnvironment& env) {
    return std::make_unique<CStoredExportWizard>(env, m_log);
}

std::unique_ptr<IContactImportWizard> CStoredChoicesUi::CreateContactImportWizard(const RunEnvironment& env) {
    return std::make_unique<CStoredImportWizard>(env, m_log);
}

std::unique_ptr<IProgressView> CStoredChoicesUi::CreateProgressView(EngineAction) {
    return std::make_unique<CQuietProgressView>(m_pump);
}

}  // namespace mireo
