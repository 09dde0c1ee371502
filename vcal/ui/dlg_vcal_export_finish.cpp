#include "vcal/ui/dlg_vcal_export_finish.h"

#include "vcal/ui/dlg_vcal_export.h"

namespace mireo {

CDlgVCalExportFinish::CDlgVCalExportFinish(CSettingsStore& settings, const EventExportOutcome& outcome)
    : CExportFinishPage(settings, kSetEventExportOpenFolder, kSetEventExportOpenMail, outcome.counters,
                        outcome.targetFolder, outcome.writtenFiles) {}

std::vector<FinishCount> CDlgVCalExportFinish::Counts() const {
    const RunCounters& c = Counters();
    return {
        {"Selected events:", c.Total(), false, {}},
        {"Successfully exported:", c.succeeded, false, {}},
        {"Failures:", c.failed, c.failed != 0, {}},
        {"Skipped (Why?):", c.skipped, c.skipped != 0, {}},
    };
}

}  // namespace mireo
