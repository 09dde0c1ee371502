#pragma once
// The finish page of the contact import (template 229): the summary sentence, the
// counts, and on Close, showing the folder the contacts went into.
#include <vector>

#include "engine/finish_pages.h"
#include "ui/wizard_pages.h"
#include "vcard/contact_import.h"

namespace mireo {

class CDlgVCardImportFinish : public CImportFinishPage {
public:
    // Reads "Contacts.Import.OpenFolder". The folder is the run's target folder; it
    // may be null (nothing to show then).
    CDlgVCardImportFinish(CSettingsStore& settings, const ContactImportOutcome& outcome, IFolder* folder);

    // "Selected (files/contacts):" as "files/cards", "Successfully imported:",
    // "Failures:", "Skipped (Why?):".
    std::vector<FinishCount> Counts() const;

private:
    const ContactImportOutcome& m_outcome;
};

}  // namespace mireo
