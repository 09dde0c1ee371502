#pragma once
// The finish page of the event export (template 240): the summary sentence, the
// counts, and what to do on Close (open the folder, mail the written files).
#include <string>
#include <vector>

#include "ui/wizard_pages.h"
#include "vcal/export/event_export.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IContextHelp;
class IFolderOpener;

class CDlgVCalExportFinish {
public:
    // Reads "Appointments.Export.OpenFolder" and "Appointments.Export.OpenMail".
    CDlgVCalExportFinish(CSettingsStore& settings, const EventExportOutcome& outcome);
    virtual ~CDlgVCalExportFinish() = default;

    std::string StatusText() const;
    // "Selected events", "Successfully exported", "Failures", "Skipped (Why?)".
    std::vector<FinishCount> Counts() const;
    bool OpenFolder() const { return m_openFolder; }
    void SetOpenFolder(bool on) { m_openFolder = on; }
    bool MailEnabled() const { return m_outcome.counters.succeeded > 0; }
    bool Mail() const { return m_mail; }
    void SetMail(bool on) { m_mail = on; }
    void OnWhyLink(IContextHelp* help) const;
    // The "Open folder" link: the target folder (a directory only) opens at once.
    void OnOpenFolderLink(IFolderOpener& opener) const;
    // Close: stores both boxes; opens the folder (a directory only) and, when something
    // was exported, shows a new mail with the written files attached (never sent).
    bool OnClose(IFolderOpener& opener, IApplication& app);

private:
    CSettingsStore& m_settings;
    const EventExportOutcome& m_outcome;
    bool m_openFolder = true;
    bool m_mail = false;
};

}  // namespace mireo
