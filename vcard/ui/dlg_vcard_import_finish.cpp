#include "vcard/ui/dlg_vcard_import_finish.h"

#include <memory>

#include "engine/item_store.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "vcard/ui/dlg_vcard_import_options.h"

namespace mireo {

CDlgVCardImportFinish::CDlgVCardImportFinish(CSettingsStore& settings, const ContactImportOutcome& outcome,
                                             IFolder* folder)
    : m_settings(settings), m_outcome(outcome), m_folder(folder) {
    m_openFolder = m_settings.GetFlag(kSetImportOpenFolder);
}

std::string CDlgVCardImportFinish::StatusText() const { return SummaryText(m_outcome.counters, kStrVerbImport); }

std::vector<FinishCount> CDlgVCardImportFinish::Counts() const {
    const RunCounters& c = m_outcome.counters;
    return {
        {LoadUserString(IDS_LBL_SELECTED_FILES_CONTACTS), m_outcome.contacts, false,
         std::to_string(m_outcome.files) + "/" + std::to_string(m_outcome.contacts)},
        {LoadUserString(IDS_LBL_IMPORTED), c.succeeded, false, {}},
        {LoadUserString(IDS_LBL_FAILURES), c.failed, c.failed != 0, {}},
        {LoadUserString(IDS_LBL_SKIPPED_WHY), c.skipped, c.skipped != 0, {}},
    };
}

bool CDlgVCardImportFinish::ShowFolder(IApplication& app) const {
    if (m_folder == nullptr) return false;
    try {
        std::unique_ptr<IExplorer> explorer = app.ActiveExplorer();
        if (!explorer) return false;
        explorer->SetCurrentFolder(*m_folder);
        return true;
    } catch (const HostError&) {
        return false;
    }
}

void CDlgVCardImportFinish::OnWhyLink(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpItemSkipping);
}

bool CDlgVCardImportFinish::OnClose(IApplication& app) {
    m_settings.WriteFlag(kSetImportOpenFolder, m_openFolder);
    return !m_openFolder || ShowFolder(app);
}

}  // namespace mireo
