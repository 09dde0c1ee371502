#include "addin/win32/dialog_ui.h"

#include <windows.h>

#include <string>
#include <vector>

#include "addin/win32/contact_views.h"
#include "addin/win32/event_views.h"
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
        CContactExportFinishView view(page, opener, m_env.app, m_env.help, kContactExportFinishPage);
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
        CContactImportFinishView view(page, m_env.app, m_env.help, kContactImportFinishPage);
        view.DoModal(Owner(), IDD_CONTACT_IMPORT_FINISH);
    }

private:
    // The run's environment outlives its wizard.
    const RunEnvironment& m_env;
};

// The calendar export: the start page, then the filter page after "Next >"; "< Back"
// there shows the start page again with its current values (a new filter page starts
// from the stored filter and the default period).
class CEventExportWizard final : public IEventExportWizard {
public:
    explicit CEventExportWizard(const RunEnvironment& env) : m_env(env) {}

    bool Run(EventExportChoices& choices) override {
        CDlgVCalExport page(m_env.app, m_env.settings, m_env.messages, EncodingNames(m_env.converter));
        for (;;) {
            CEventExportView view(page, m_env.help, choices);
            if (view.DoModal(Owner(), IDD_EVENT_EXPORT) != IDOK) return false;
            if (!choices.filtered) break;
            CDlgVCalExportFilter filter(m_env.settings, m_env.messages, m_env.hostMajorVersion, TodayLocal(),
                                        m_env.listSeparator);
            CEventExportFilterView filterView(filter, m_env.app, m_env.help, choices.filter);
            const INT_PTR result = filterView.DoModal(Owner(), IDD_EVENT_EXPORT_FILTER);
            if (result == IDOK) break;
            if (result != IDC_BACK) return false;
        }
        page.MoveSourceInto(choices);
        return true;
    }

    void Finish(const EventExportOutcome& outcome) override {
        CDlgVCalExportFinish page(m_env.settings, outcome);
        CShellFolderOpener opener;
        CEventExportFinishView view(page, opener, m_env.app, m_env.help, kEventExportFinishPage);
        view.DoModal(Owner(), IDD_EVENT_EXPORT_FINISH);
    }

private:
    // The run's environment outlives its wizard.
    const RunEnvironment& m_env;
};

// The calendar import: the source page, then the filter page after "Next >"; "< Back"
// there shows the source page again, its target folder handed back to it.
class CEventImportWizard final : public IEventImportWizard {
public:
    explicit CEventImportWizard(const RunEnvironment& env) : m_env(env) {}

    bool Run(EventImportChoices& choices) override {
        CDlgVCalImport page(m_env.app, m_env.settings, m_env.messages, m_env.log);
        for (;;) {
            CEventImportView view(page, m_env.help, choices);
            if (view.DoModal(Owner(), IDD_EVENT_IMPORT) != IDOK) return false;
            if (view.All()) return true;
            CDlgVCalImportFilter filter(m_env.settings, m_env.messages, TodayLocal());
            CEventImportFilterView filterView(filter, m_env.app, m_env.help, choices);
            const INT_PTR result = filterView.DoModal(Owner(), IDD_EVENT_IMPORT_FILTER);
            if (result == IDOK) return true;
            if (result != IDC_BACK) return false;
            page.ChooseFolder(std::move(choices.folder));
        }
    }

    void Finish(const EventImportOutcome& outcome) override {
        CDlgVCalImportFinish page(m_env.settings, outcome);
        CEventImportFinishView view(page, m_env.app, m_env.help, kEventImportFinishPage);
        view.DoModal(Owner(), IDD_EVENT_IMPORT_FINISH);
    }

private:
    // The run's environment outlives its wizard.
    const RunEnvironment& m_env;
};

}  // namespace

std::unique_ptr<IEventExportWizard> CDialogUi::CreateEventExportWizard(const RunEnvironment& env) {
    return std::make_unique<CEventExportWizard>(env);
}

std::unique_ptr<IEventImportWizard> CDialogUi::CreateEventImportWizard(const RunEnvironment& env) {
    return std::make_unique<CEventImportWizard>(env);
}

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
