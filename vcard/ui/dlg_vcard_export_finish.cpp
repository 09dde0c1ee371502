#include "vcard/ui/dlg_vcard_export_finish.h"

#include <memory>

#include "engine/item_store.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "ui/folder_opener.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo {

CDlgVCardExportFinish::CDlgVCardExportFinish(CSettingsStore& settings, const ContactExportOutcome& outcome)
    : m_settings(settings), m_outcome(outcome) {
    m_openFolder = m_settings.GetFlag(kSetExportOpenFolder);
    m_mail = m_settings.GetFlag(kSetExportOpenMail);
}

std::string CDlgVCardExportFinish::StatusText() const { return SummaryText(m_outcome.counters, kStrVerbExport); }

std::vector<FinishCount> CDlgVCardExportFinish::Counts() const {
    const RunCounters& c = m_outcome.counters;
    return {
        {LoadUserString(IDS_LBL_SELECTED_CONTACTS), c.Total(), false, {}},
        {LoadUserString(IDS_LBL_EXPORTED), c.succeeded, false, {}},
        {LoadUserString(IDS_LBL_FAILURES), c.failed, c.failed != 0, {}},
        {LoadUserString(IDS_LBL_SKIPPED_WHY), c.skipped, c.skipped != 0, {}},
    };
}

void CDlgVCardExportFinish::SetMail(bool on) {
    if (MailEnabled()) m_mail = on;
}

void CDlgVCardExportFinish::OnOpenFolderLink(IFolderOpener& opener) const {
    OpenFolderChecked(opener, m_outcome.targetFolder);
}

void CDlgVCardExportFinish::OnWhyLink(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpItemSkipping);
}

bool CDlgVCardExportFinish::MailFiles(IApplication& app) const {
    try {
        std::unique_ptr<IMailItem> mail = app.CreateMailItem();
        if (!mail) return false;
        for (const std::string& path : m_outcome.writtenFiles) mail->AddAttachment(ToHostText(path));
        mail->Display();
        return true;
    } catch (const HostError&) {
        return false;
    }
}

bool CDlgVCardExportFinish::OnClose(IFolderOpener& opener, IApplication& app) {
    m_settings.WriteFlag(kSetExportOpenFolder, m_openFolder);
    m_settings.WriteFlag(kSetExportOpenMail, m_mail);
    bool ok = true;
    if (m_openFolder) ok = OpenFolderChecked(opener, m_outcome.targetFolder) && ok;
    if (m_mail && MailEnabled()) ok = MailFiles(app) && ok;
    return ok;
}

}  // namespace mireo
