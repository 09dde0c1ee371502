#pragma once
// The finish page of the contact import (template 229): the summary sentence, the
// counts, and on Close, showing the folder the contacts went into.
#include <string>
#include <vector>

#include "vcard/contact_import.h"
#include "vcard/ui/dlg_vcard_export_finish.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IContextHelp;
class IFolder;

class CDlgVCardImportFinish {
public:
    // Reads "Contacts.Import.OpenFolder". The folder is the run's target folder; it
    // may be null (nothing to show then).
    CDlgVCardImportFinish(CSettingsStore& settings, const ContactImportOutcome& outcome, IFolder* folder);
    virtual ~CDlgVCardImportFinish() = default;

    // "Import completed successfully." and its siblings.
    std::string StatusText() const;
    // "Selected (files/contacts):" as "files/cards", "Successfully imported:",
    // "Failures:", "Skipped (Why?):".
    std::vector<FinishCount> Counts() const;

    bool OpenFolder() const { return m_openFolder; }
    void SetOpenFolder(bool on) { m_openFolder = on; }

    // The "Open folder" link and a checked box on Close: the target folder becomes the
    // current folder of the active explorer. Host failures are not reported; false then.
    bool ShowFolder(IApplication& app) const;
    // The "Why?" link: the help topic on skipped items.
    void OnWhyLink(IContextHelp* help) const;
    // Close: stores the check box and, when it is checked, shows the folder.
    bool OnClose(IApplication& app);

private:
    CSettingsStore& m_settings;
    const ContactImportOutcome& m_outcome;
    IFolder* m_folder;
    bool m_openFolder = true;
};

}  // namespace mireo
