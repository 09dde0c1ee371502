#include "vcard/ui/dlg_vcard_import.h"

#include "engine/host_folders.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "mireo_strings.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/multi_path.h"
#include "vcard/contact_import.h"
#include "vcard/ui/contacts_folder.h"

namespace mireo {

CDlgVCardImport::CDlgVCardImport(IApplication& app, CSettingsStore& settings, IMessageBox& messages)
    : m_app(app), m_settings(settings), m_messages(messages) {
    m_pathsText = m_settings.GetText(kSetImportFolder);
    m_options = ReadContactImportOptions(m_settings);
    m_folder = InitialContactsFolder(m_app);
    if (m_folder) m_folderText = HostFolderPathText(*m_folder);
}

void CDlgVCardImport::SetPaths(const std::vector<std::string>& paths) {
    CMultiPath list;
    for (const std::string& p : paths) list.Add(p);
    m_pathsText = list.Text();
}

bool CDlgVCardImport::BrowseFolder() { return ChooseFolder(PickHostFolder(m_app)); }

bool CDlgVCardImport::ChooseFolder(std::unique_ptr<IFolder> folder) {
    if (!folder || !AcceptContactsFolder(*folder, m_messages)) return false;
    m_folder = std::move(folder);
    m_folderText = HostFolderPathText(*m_folder);
    return true;
}

CDlgVCardImportOptions CDlgVCardImport::MakeOptionsPage() const {
    CDlgVCardImportOptions page(m_settings, m_messages);
    page.SetConflict(m_options.conflict);
    page.SetSkipPrivate(m_options.skipPrivate);
    page.SetCategoryFilter(m_options.categoryFilter);
    page.SetIncludeCategories(m_options.includeCategories);
    page.SetCategories(m_options.categories);
    return page;
}

std::vector<SummaryLine> CDlgVCardImport::SummaryOf(const ContactImportOptionValues& v) {
    const int conflict = v.conflict == kConflictReplace        ? kStrReplace
                         : v.conflict == kConflictKeepExisting ? kStrKeepExisting
                                                               : kStrKeepBoth;
    return {
        {LoadUserString(IDS_SUM_IMPORT_PRIVATE), YesNo(!v.skipPrivate)},
        {LoadUserString(IDS_SUM_IMPORT_CATEGORIES), CategoryFilterText(v.categoryFilter, v.includeCategories, v.categories)},
        {LoadUserString(IDS_SUM_CONFLICT), LoadUserString(conflict)},
    };
}

std::vector<SummaryLine> CDlgVCardImport::Summary() const { return SummaryOf(m_options); }

bool CDlgVCardImport::ImportEnabled() const { return !ascii::IsBlank(m_pathsText) && m_folder != nullptr; }

bool CDlgVCardImport::OnImport(ContactImportChoices& choices) {
    if (!ImportEnabled()) return false;
    CMultiPath list;
    list.SetText(m_pathsText);
    if (list.Count() == 0) return false;
    for (const std::string& path : list.Paths()) {
        if (!FileCanBeOpened(path) && !PathIsDirectory(path)) {
            m_messages.Show(kCaptionMireoError, NameNotAccessible(path), MbIcon::Error, MbButtons::Ok);
            return false;
        }
    }
    m_settings.WriteText(kSetImportFolder, m_pathsText);
    choices.folder = std::move(m_folder);
    m_folderText.clear();
    choices.paths = m_pathsText;
    choices.conflict = m_options.conflict;
    choices.filterMask = m_options.FilterMask();
    choices.filterCategories = m_options.categories;
    return true;
}

void CDlgVCardImport::OnHelp(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpImportContacts);
}

}  // namespace mireo
