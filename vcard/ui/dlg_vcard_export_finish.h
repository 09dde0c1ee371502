#pragma once
// The finish page of the contact export (template 227): the summary sentence, the
// counts, and what to do on Close (open the folder, mail the written files).
#include <string>
#include <vector>

#include "ui/wizard_pages.h"
#include "vcard/contact_export.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IContextHelp;
class IFolderOpener;

class CDlgVCardExportFinish {
public:
    // Reads "Contacts.Export.OpenFolder" and "Contacts.Export.OpenMail".
    CDlgVCardExportFinish(CSettingsStore& settings, const ContactExportOutcome& outcome);
    virtual ~CDlgVCardExportFinish() = default;

    // "Export completed successfully." and its siblings.
    std::string StatusText() const;
    // "Selected contacts:", "Successfully exported:", "Failures:", "Skipped (Why?):".
    std::vector<FinishCount> Counts() const;

    bool OpenFolder() const { return m_openFolder; }
    void SetOpenFolder(bool on) { m_openFolder = on; }
    // "Send exported items to e-mail recipient as attachment": disabled when nothing
    // was exported; a disabled box keeps its stored state and does nothing.
    bool MailEnabled() const { return m_outcome.counters.succeeded > 0; }
    bool Mail() const { return m_mail; }
    void SetMail(bool on);

    // The "Open folder" link: opens the Windows folder at once.
    void OnOpenFolderLink(IFolderOpener& opener) const;
    // The "Why?" link: the help topic on skipped items.
    void OnWhyLink(IContextHelp* help) const;
    // Close: stores both check boxes, opens the folder when asked, and when asked and
    // something was exported, shows a new mail message with every written file
    // attached. Host failures while mailing are not reported; false then.
    bool OnClose(IFolderOpener& opener, IApplication& app);

private:
    bool MailFiles(IApplication& app) const;

    CSettingsStore& m_settings;
    const ContactExportOutcome& m_outcome;
    bool m_openFolder = true;
    bool m_mail = false;
};

}  // namespace mireo
