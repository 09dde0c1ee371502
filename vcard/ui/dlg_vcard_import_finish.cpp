#include "vcard/ui/dlg_vcard_import_finish.h"

#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "vcard/ui/dlg_vcard_import_options.h"

namespace mireo {

CDlgVCardImportFinish::CDlgVCardImportFinish(CSettingsStore& settings, const ContactImportOutcome& outcome,
                                             IFolder* folder)
    : CImportFinishPage(settings, kSetImportOpenFolder, outcome.counters, folder), m_outcome(outcome) {}

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

}  // namespace mireo
