#include "vcard/ui/dlg_vcard_export_finish.h"

#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo {

CDlgVCardExportFinish::CDlgVCardExportFinish(CSettingsStore& settings, const ContactExportOutcome& outcome)
    : CExportFinishPage(settings, kSetExportOpenFolder, kSetExportOpenMail, outcome.counters, outcome.targetFolder,
                        outcome.writtenFiles) {}

std::vector<FinishCount> CDlgVCardExportFinish::Counts() const {
    const RunCounters& c = Counters();
    return {
        {LoadUserString(IDS_LBL_SELECTED_CONTACTS), c.Total(), false, {}},
        {LoadUserString(IDS_LBL_EXPORTED), c.succeeded, false, {}},
        {LoadUserString(IDS_LBL_FAILURES), c.failed, c.failed != 0, {}},
        {LoadUserString(IDS_LBL_SKIPPED_WHY), c.skipped, c.skipped != 0, {}},
    };
}

}  // namespace mireo
