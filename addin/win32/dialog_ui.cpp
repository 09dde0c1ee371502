#include "addin/win32/dialog_ui.h"

#include <windows.h>

#include <string>
#include <vector>

#include "addin/win32/contact_views.h"
#include "addin/win32/pickers.h"
#include "addin/win32/progress_dialog.h"
#include "encoding/mireo_char_converter.h"
#include "resources/mireo_resource.h"

namespace mireo {

namespace {

std::vector<std::string> EncodingNames(const MireoCharConverter& converter) {
    std::vector<std::string> names;
    for (const EncodingRecord& r : converter.Encodings()) names.push_back(r.displayName);
    return names;
}

HWND Owner() { return ::GetActiveWindow(); }

class CExportWizard final : public IContactExportWizard {
public:
    explicit CExportWizard(const RunEnvironment& env) : m_env(env) {}

    bool Run(ContactExportChoices& choices) override {
        CDlgVCardExport page(m_env.app, m_env.settings, m_env.messages, EncodingNames(m_env.converter));
        CContactExportView view(page, m_env.app, m_env.help, choices);
        return view.DoModal(Owner(), IDD_CONTACT_EXPORT) == IDOK;
    }

    void Finish(const ContactExportOutcome& outcome) override {
        CDlgVCardExportFinish page(m_env.settings, outcome);
        CShellFolderOpener opener;
        CContactExportFinishView view(page, opener, m_env.app, m_env.help);
        view.DoModal(Owner(), IDD_CONTACT_EXPORT_FINISH);
    }

private:
    // The run's environment outlives its wizard.
    const RunEnvironment& m_env;
};

class CImportWizard final : public IContactImportWizard {
public:
    explicit CImportWizard(const RunEnvironment& env) : m_env(env) {}

    bool Run(ContactImportChoices& choices) override {
        CDlgVCardImport page(m_env.app, m_env.settings, m_env.messages);
        CContactImportView view(page, m_env.app, m_env.help, choices);
        return view.DoModal(Owner(), IDD_CONTACT_IMPORT) == IDOK;
    }

    void Finish(const ContactImportOutcome& outcome) override {
        CDlgVCardImportFinish page(m_env.settings, outcome, outcome.folder);
        CContactImportFinishView view(page, m_env.app, m_env.help);
        view.DoModal(Owner(), IDD_CONTACT_IMPORT_FINISH);
    }

private:
    // The run's environment outlives its wizard.
    const RunEnvironment& m_env;
};

}  // namespace

std::unique_ptr<IContactExportWizard> CDialogUi::CreateContactExportWizard(const RunEnvironment& env) {
    return std::make_unique<CExportWizard>(env);
}

std::unique_ptr<IContactImportWizard> CDialogUi::CreateContactImportWizard(const RunEnvironment& env) {
    return std::make_unique<CImportWizard>(env);
}

std::unique_ptr<IProgressView> CDialogUi::CreateProgressView(EngineAction) {
    return std::make_unique<CWin32ProgressView>();
}

}  // namespace mireo
