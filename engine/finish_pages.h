#pragma once
// What the finish pages of both exports, and of both imports, share. Each page adds
// its own count labels.
#include <string>
#include <vector>

#include "engine/run_summary.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IContextHelp;
class IFolder;
class IFolderOpener;

// An export's finish page: the status sentence, the "Open folder" and "Send exported
// items to e-mail recipient as attachment" boxes with their stored choices, the two
// links, and Close, which opens the folder and shows a new mail with the written files
// attached.
class CExportFinishPage {
public:
    // Reads the two boxes from the settings `openFolderKey` and `openMailKey`. The
    // counters, folder and files belong to the run's outcome, which outlives the page.
    CExportFinishPage(CSettingsStore& settings, const char* openFolderKey, const char* openMailKey,
                      const RunCounters& counters, const std::string& targetFolder,
                      const std::vector<std::string>& writtenFiles);
    virtual ~CExportFinishPage() = default;

    // "Export completed successfully." and its siblings.
    std::string StatusText() const;

    bool OpenFolder() const { return m_openFolder; }
    void SetOpenFolder(bool on) { m_openFolder = on; }
    // The mail box is disabled when nothing was exported; a disabled box keeps its
    // stored state and does nothing.
    bool MailEnabled() const { return m_counters.succeeded > 0; }
    bool Mail() const { return m_mail; }
    void SetMail(bool on);

    // The "Open folder" link: the target folder (a directory only) opens at once.
    void OnOpenFolderLink(IFolderOpener& opener) const;
    // The "Why?" link: the help topic on skipped items.
    void OnWhyLink(IContextHelp* help) const;
    // Close: stores both boxes, opens the folder when asked and, when asked and
    // something was exported, shows a new mail (never sent) and attaches every written
    // file to it, in the order the host expects of an open mail. False when the folder
    // could not be opened or a host call failed.
    bool OnClose(IFolderOpener& opener, IApplication& app);

protected:
    const RunCounters& Counters() const { return m_counters; }

private:
    bool MailFiles(IApplication& app) const;

    CSettingsStore& m_settings;
    const char* m_openFolderKey;
    const char* m_openMailKey;
    const RunCounters& m_counters;
    const std::string& m_targetFolder;
    const std::vector<std::string>& m_writtenFiles;
    bool m_openFolder = true;
    bool m_mail = false;
};

// An import's finish page: the status sentence, the "Open folder" box with its stored
// choice, the two links, and Close, which shows the folder the items went into.
class CImportFinishPage {
public:
    // Reads the box from the setting `openFolderKey`. The folder is the run's target
    // folder, alive while the page shows; it may be null (nothing to show then).
    CImportFinishPage(CSettingsStore& settings, const char* openFolderKey, const RunCounters& counters,
                      IFolder* folder);
    virtual ~CImportFinishPage() = default;

    // "Import completed successfully." and its siblings.
    std::string StatusText() const;

    bool OpenFolder() const { return m_openFolder; }
    void SetOpenFolder(bool on) { m_openFolder = on; }

    // The "Open folder" link and a checked box on Close: the target folder becomes the
    // current folder of the active explorer. Host failures are not reported; false then.
    bool ShowFolder(IApplication& app) const;
    // The "Why?" link: the help topic on skipped items.
    void OnWhyLink(IContextHelp* help) const;
    // Close: stores the check box and, when it is checked, shows the folder.
    bool OnClose(IApplication& app);

protected:
    const RunCounters& Counters() const { return m_counters; }

private:
    CSettingsStore& m_settings;
    const char* m_openFolderKey;
    const RunCounters& m_counters;
    IFolder* m_folder;
    bool m_openFolder = true;
};

}  // namespace mireo
