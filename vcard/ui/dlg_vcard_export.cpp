#include "vcard/ui/dlg_vcard_export.h"

#include "engine/host_folders.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "mireo_strings.h"
#include "platform/files.h"
#include "platform/user_strings.h"
#include "vcard/contact_export.h"
#include "vcard/ui/contacts_folder.h"

namespace mireo {

CDlgVCardExport::CDlgVCardExport(IApplication& app, CSettingsStore& settings, IMessageBox& messages,
                                 std::vector<std::string> encodings)
    : m_app(app), m_settings(settings), m_messages(messages), m_encodings(std::move(encodings)) {
    m_targetFolder = m_settings.GetText(kSetExportFolder);
    m_oneFile = m_settings.GetFlag(kSetExportOneFile);
    m_options = ReadContactExportOptions(m_settings, m_encodings);

    try {
        if (std::unique_ptr<IExplorer> explorer = m_app.ActiveExplorer()) {
            std::unique_ptr<IFolder> current = explorer->CurrentFolder();
            if (current && HoldsContacts(*current)) {
                m_folder = std::move(current);
                m_explorerFolder = explorer->CurrentFolder();
                if (std::unique_ptr<ISelection> selection = explorer->Selection()) {
                    const int n = selection->Count();
                    for (int i = 1; i <= n && !m_selectionHasContacts; ++i) {
                        std::unique_ptr<IItem> item = selection->Item(i);
                        m_selectionHasContacts = item && item->Class() == ItemClass::Contact;
                    }
                }
            }
        }
    } catch (const HostError&) {
        // No explorer to go by: the default Contacts folder, and no selection.
        m_selectionHasContacts = false;
    }
    if (!m_selectionHasContacts) m_explorerFolder.reset();
    if (!m_folder) {
        try {
            if (std::unique_ptr<INamespace> ns = m_app.GetNamespace()) m_folder = ns->GetDefaultFolder(DefaultFolder::Contacts);
        } catch (const HostError&) {
            m_folder.reset();
        }
    }
    if (m_folder) m_folderText = HostFolderPathText(*m_folder);
}

bool CDlgVCardExport::BrowseFolder() {
    if (!FolderChoiceEnabled()) return false;
    return ChooseFolder(PickHostFolder(m_app));
}

bool CDlgVCardExport::ChooseFolder(std::unique_ptr<IFolder> folder) {
    if (!folder || !AcceptContactsFolder(*folder, m_messages)) return false;
    m_folder = std::move(folder);
    m_folderText = HostFolderPathText(*m_folder);
    return true;
}

void CDlgVCardExport::SetSelectedOnly(bool on) {
    if (!SelectedOnlyEnabled()) return;
    m_selectedOnly = on;
}

CDlgVCardExportOptions CDlgVCardExport::MakeOptionsPage() const {
    return CDlgVCardExportOptions(m_settings, m_messages, m_encodings, m_options);
}

std::vector<SummaryLine> CDlgVCardExport::SummaryOf(const ContactExportOptionValues& v) {
    return {
        {LoadUserString(IDS_SUM_EXPORT_PRIVATE), YesNo(!v.skipPrivate)},
        {LoadUserString(IDS_SUM_EXPORT_CATEGORIES), CategoryFilterText(v.categoryFilter, v.includeCategories, v.categories)},
        {LoadUserString(IDS_SUM_OVERWRITES), YesNo(v.overwrite)},
        {LoadUserString(IDS_SUM_VCARD_FORMAT), LoadUserString(v.format == kVCardFormat30 ? IDS_VCARD_30 : IDS_VCARD_21)},
        {LoadUserString(IDS_LBL_ENCODING), v.encoding},
    };
}

std::vector<SummaryLine> CDlgVCardExport::Summary() const { return SummaryOf(m_options); }

bool CDlgVCardExport::ExportEnabled() const {
    if (m_targetFolder.empty() || !PathIsDirectory(m_targetFolder)) return false;
    return m_selectedOnly ? m_explorerFolder != nullptr : m_folder != nullptr;
}

bool CDlgVCardExport::OnExport(ContactExportChoices& choices) {
    if (!ExportEnabled()) return false;
    m_settings.WriteText(kSetExportFolder, m_targetFolder);
    m_settings.WriteFlag(kSetExportOneFile, m_oneFile);

    choices.folder = m_selectedOnly ? std::move(m_explorerFolder) : std::move(m_folder);
    choices.selectedOnly = m_selectedOnly;
    choices.targetFolder = m_targetFolder;
    choices.oneFile = m_oneFile;
    choices.format = m_options.format;
    choices.encoding = m_options.encoding;
    choices.overwrite = m_options.overwrite;
    choices.filterMask = m_options.FilterMask();
    choices.filterCategories = m_options.categories;
    return true;
}

void CDlgVCardExport::OnHelp(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpExportContacts);
}

}  // namespace mireo
