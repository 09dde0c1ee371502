#pragma once
// The start page of the contact import (template 228): the files or folders to read,
// the Outlook contacts folder to fill, and a summary of the options page's values.
#include <memory>
#include <string>
#include <vector>

#include "engine/item_store.h"
#include "vcard/ui/dlg_vcard_export.h"
#include "vcard/ui/dlg_vcard_import_options.h"

namespace mireo {

class CSettingsStore;
class IContextHelp;
class IMessageBox;
struct ContactImportChoices;

class CDlgVCardImport {
public:
    // Reads the stored paths text and options; the Outlook folder starts as the
    // export page's does. The page's messages (and its options page's) go to `messages`.
    CDlgVCardImport(IApplication& app, CSettingsStore& settings, IMessageBox& messages);
    virtual ~CDlgVCardImport() = default;

    // The paths box (UTF-8): one path as it is, several each in double quotes.
    const std::string& PathsText() const { return m_pathsText; }
    void SetPathsText(std::string text) { m_pathsText = std::move(text); }
    // The browse button's result, or paths given elsewhere: replaces the box's text.
    void SetPaths(const std::vector<std::string>& paths);

    // The Outlook folder: null when none could be found.
    IFolder* Folder() const { return m_folder.get(); }
    const std::string& FolderText() const { return m_folderText; }
    // The browse button: the host's folder chooser; cancel changes nothing.
    bool BrowseFolder();
    // A folder that does not hold contacts shows string 145 and is refused.
    bool ChooseFolder(std::unique_ptr<IFolder> folder);

    const ContactImportOptionValues& Options() const { return m_options; }
    // "Change options...": a page opened with the values shown here; after its OK
    // (which stores them) ApplyOptions refreshes the summary.
    CDlgVCardImportOptions MakeOptionsPage() const;
    void ApplyOptions(const CDlgVCardImportOptions& page) { m_options = page.Values(); }

    // "Import private contacts:", "Import contacts with categories:", "Conflict
    // resolution:".
    std::vector<SummaryLine> Summary() const;
    static std::vector<SummaryLine> SummaryOf(const ContactImportOptionValues& values);

    // The Import button: enabled while the trimmed paths text is not empty and there
    // is a folder to import into.
    bool ImportEnabled() const;
    // Import: every path must be reachable; the first one that is not shows string
    // 114 with the path (caption "Mireo - Error", stop icon) and the page stays
    // (false). Otherwise stores the paths text and fills the run's choices (the folder
    // moves into them).
    bool OnImport(ContactImportChoices& choices);
    // Help: the contact import topic.
    void OnHelp(IContextHelp* help) const;

private:
    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    std::string m_pathsText;
    std::unique_ptr<IFolder> m_folder;
    std::string m_folderText;
    ContactImportOptionValues m_options;
};

}  // namespace mireo
