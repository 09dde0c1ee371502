#include "engine/finish_pages.h"

#include <memory>

#include "engine/item_store.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "ui/folder_opener.h"

namespace mireo {

CExportFinishPage::CExportFinishPage(CSettingsStore& settings, const char* openFolderKey, const char* openMailKey,
                                     const RunCounters& counters, const std::string& targetFolder,
                                     const std::vector<std::string>& writtenFiles)
    : m_settings(settings),
      m_openFolderKey(openFolderKey),
      m_openMailKey(openMailKey),
      m_counters(counters),
      m_targetFolder(targetFolder),
      m_writtenFiles(writtenFiles) {
    m_openFolder = m_settings.GetFlag(m_openFolderKey);
    m_mail = m_settings.GetFlag(m_openMailKey);
}

std::string CExportFinishPage::StatusText() const { return SummaryText(m_counters, kStrVerbExport); }

void CExportFinishPage::SetMail(bool on) {
    if (MailEnabled()) m_mail = on;
}

void CExportFinishPage::OnOpenFolderLink(IFolderOpener& opener) const { OpenFolderChecked(opener, m_targetFolder); }

void CExportFinishPage::OnWhyLink(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpItemSkipping);
}

bool CExportFinishPage::MailFiles(IApplication& app) const {
    try {
        std::unique_ptr<IMailItem> mail = app.CreateMailItem();
        if (!mail) return false;
        // Shown first without waiting, then the files attached by path.
        mail->Display();
        for (const std::string& path : m_writtenFiles) mail->AddAttachment(ToHostText(path));
        return true;
    } catch (const HostError&) {
        return false;
    }
}

bool CExportFinishPage::OnClose(IFolderOpener& opener, IApplication& app) {
    m_settings.WriteFlag(m_openFolderKey, m_openFolder);
    m_settings.WriteFlag(m_openMailKey, m_mail);
    bool ok = true;
    if (m_openFolder) ok = OpenFolderChecked(opener, m_targetFolder) && ok;
    if (m_mail && MailEnabled()) ok = MailFiles(app) && ok;
    return ok;
}

CImportFinishPage::CImportFinishPage(CSettingsStore& settings, const char* openFolderKey, const RunCounters& counters,
                                     IFolder* folder)
    : m_settings(settings), m_openFolderKey(openFolderKey), m_counters(counters), m_folder(folder) {
    m_openFolder = m_settings.GetFlag(m_openFolderKey);
}

std::string CImportFinishPage::StatusText() const { return SummaryText(m_counters, kStrVerbImport); }

bool CImportFinishPage::ShowFolder(IApplication& app) const {
    if (m_folder == nullptr) return false;
    try {
        std::unique_ptr<IExplorer> explorer = app.ActiveExplorer();
        if (!explorer) return false;
        explorer->SetCurrentFolder(*m_folder);
        return true;
    } catch (const HostError&) {
        return false;
    }
}

void CImportFinishPage::OnWhyLink(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpItemSkipping);
}

bool CImportFinishPage::OnClose(IApplication& app) {
    m_settings.WriteFlag(m_openFolderKey, m_openFolder);
    return !m_openFolder || ShowFolder(app);
}

}  // namespace mireo
