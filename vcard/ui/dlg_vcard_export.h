#pragma once
// The start page of the contact export (template 224): the Outlook folder (or the
// explorer's selected contacts), the Windows folder, one file or one file per contact,
// and a summary of the options page's values.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/item_store.h"
#include "ui/wizard_pages.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo {

class CSettingsStore;
class IContextHelp;
class IMessageBox;
struct ContactExportChoices;

class CDlgVCardExport {
public:
    // Reads the stored choices and finds the initial Outlook folder: the active
    // explorer's current folder when it holds contacts, else the namespace's default
    // Contacts folder. Host failures are not reported; the folder may stay empty. The
    // page's messages (and its options page's) go to `messages`.
    CDlgVCardExport(IApplication& app, CSettingsStore& settings, IMessageBox& messages,
                    std::vector<std::string> encodings);
    virtual ~CDlgVCardExport() = default;

    // The Outlook folder: null when none could be found.
    IFolder* Folder() const { return m_folder.get(); }
    // Its path text for the read-only box.
    const std::string& FolderText() const { return m_folderText; }
    // The browse button: the host's folder chooser. Cancel changes nothing; a folder
    // that does not hold contacts is refused as ChooseFolder does.
    bool BrowseFolder();
    // Takes a folder chosen elsewhere (the chooser, the command line). A folder whose
    // default item type is not contact shows string 145 (caption "Mireo", stop icon)
    // and the previous folder stays; false then.
    bool ChooseFolder(std::unique_ptr<IFolder> folder);
    // The browse button and the folder box follow "Export selected contacts only".
    bool FolderChoiceEnabled() const { return !m_selectedOnly; }

    // "Export selected contacts only": enabled while the explorer shows a contacts
    // folder and its selection holds at least one contact; never stored.
    bool SelectedOnlyEnabled() const { return m_selectionHasContacts; }
    bool SelectedOnly() const { return m_selectedOnly; }
    // Ignored while the check box is disabled.
    void SetSelectedOnly(bool on);

    // The Windows folder (control 229), UTF-8.
    const std::string& TargetFolder() const { return m_targetFolder; }
    void SetTargetFolder(std::string text) { m_targetFolder = std::move(text); }
    // "Save contacts into one file".
    bool OneFile() const { return m_oneFile; }
    void SetOneFile(bool on) { m_oneFile = on; }

    // The options page's values as the summary shows them.
    const ContactExportOptionValues& Options() const { return m_options; }
    const std::vector<std::string>& Encodings() const { return m_encodings; }
    // "Change options...": a page opened with the values shown here. After its OK
    // (which stores them) ApplyOptions refreshes the summary.
    CDlgVCardExportOptions MakeOptionsPage() const;
    void ApplyOptions(const CDlgVCardExportOptions& page) { m_options = page.Values(); }

    // The summary group, in order: "Export private contacts:", "Export contacts with
    // categories:", "Overwrites identical files:", "Format of vCard files:", "Encoding:".
    std::vector<SummaryLine> Summary() const;
    static std::vector<SummaryLine> SummaryOf(const ContactExportOptionValues& values);

    // The Export button: enabled while the Windows folder text names an existing
    // directory and there is something to export (a folder, or the selection).
    bool ExportEnabled() const;
    // Export: stores "Contacts.Export.Folder" and "Contacts.Export.OneFile" and fills
    // the run's choices (the folder moves into them). False while disabled.
    bool OnExport(ContactExportChoices& choices);
    // Help: the contact export topic.
    void OnHelp(IContextHelp* help) const;

private:
    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    std::vector<std::string> m_encodings;
    std::unique_ptr<IFolder> m_folder;
    std::string m_folderText;
    // The explorer's contacts folder whose selection "selected contacts only" exports.
    std::unique_ptr<IFolder> m_explorerFolder;
    bool m_selectionHasContacts = false;
    bool m_selectedOnly = false;
    std::string m_targetFolder;
    bool m_oneFile = true;
    ContactExportOptionValues m_options;
};

}  // namespace mireo
