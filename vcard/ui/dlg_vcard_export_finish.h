#pragma once
// The finish page of the contact export (template 227): the summary sentence, the
// counts, and what to do on Close (open the folder, mail the written files).
#include <vector>

#include "engine/finish_pages.h"
#include "ui/wizard_pages.h"
#include "vcard/contact_export.h"

namespace mireo {

class CDlgVCardExportFinish : public CExportFinishPage {
public:
    // Reads "Contacts.Export.OpenFolder" and "Contacts.Export.OpenMail".
    CDlgVCardExportFinish(CSettingsStore& settings, const ContactExportOutcome& outcome);

    // "Selected contacts:", "Successfully exported:", "Failures:", "Skipped (Why?):".
    std::vector<FinishCount> Counts() const;
};

}  // namespace mireo
