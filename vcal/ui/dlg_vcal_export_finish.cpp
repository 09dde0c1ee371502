#include "vcal/ui/dlg_vcal_export_finish.h"

#include <memory>

#include "engine/item_store.h"
#include "engine/logger.h"
#include "engine/run_summary.h"
#include "engine/settings_store.h"
#include "ui/folder_opener.h"
#include "vcal/ui/dlg_vcal_export.h"

namespace mireo {

CDlgVCalExportFinish::CDlgVCalExportFinish(CSettingsStore& settings, const EventExportOutcome& outcome)
    : m_settings(settings), m_outcome(outcome) {
    m_openFolder = m_settings.GetFlag(kSetEventExportOpenFolder);
    m_mail = m_settings.GetFlag(kSetEventExportOpenMail);
}

std::string CDlgVCalExportFinish::StatusText() const { return SummaryText(m_outcome.counters, kStrVerbExport); }

std::vector<FinishCount> CDlgVCalExportFinish::Counts() const {
    const RunCounters& c = m_outcome.counters;
    return {
        {"Selected events:", c.Total(), false, {}},
        {"Successfully exported:", c.succeeded, false, {}},
        {"Failures:", c.failed, c.failed != 0, {}},
        {"Skipped (Why?):", c.skipped, c.skipped != 0, {}},
    };
}

void CDlgVCalExportFinish::OnWhyLink(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpItemSkipping);
}

void CDlgVCalExportFinish::OnOpenFolderLink(IFolderOpener& opener) const {
    OpenFolderChecked(opener, m_outcome.targetFolder);
}

bool CDlgVCalExportFinish::OnClose(IFolderOpener& opener, IApplication& app) {
    m_settings.WriteFlag(kSetEventExportOpenFolder, m_openFolder);
    m_settings.WriteFlag(kSetEventExportOpenMail, m_mail);
    bool ok = true;
    if (m_openFolder) ok = OpenFolderChecked(opener, m_outcome.targetFolder) && ok;
    if (m_mail && MailEnabled()) {
        try {
            std::unique_ptr<IMailItem> mail = app.CreateMailItem();
            if (!mail) return false;
            // Shown first, then the files attached, as the host expects of an open mail.
            mail->Display();
            for (const std::string& path : m_outcome.writtenFiles) mail->AddAttachment(ToHostText(path));
        } catch (const HostError&) {
            ok = false;
        }
    }
    return ok;
}

}  // namespace mireo
