#pragma once
// The finish page of the event export (template 240): the summary sentence, the
// counts, and what to do on Close (open the folder, mail the written files).
#include <vector>

#include "engine/finish_pages.h"
#include "ui/wizard_pages.h"
#include "vcal/export/event_export.h"

namespace mireo {

class CDlgVCalExportFinish : public CExportFinishPage {
public:
    // Reads "Appointments.Export.OpenFolder" and "Appointments.Export.OpenMail".
    CDlgVCalExportFinish(CSettingsStore& settings, const EventExportOutcome& outcome);

    // "Selected events", "Successfully exported", "Failures", "Skipped (Why?)".
    std::vector<FinishCount> Counts() const;
};

}  // namespace mireo
