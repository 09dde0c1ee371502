#pragma once
// The contact export run: what the wizard hands the runner, what the runner hands
// the finish page, and everything the run reaches outside itself.
//
// The runner (CvCardExport) drives the common run: wizard, progress, the item loop
// (filter, build, write, count) and the finish page. The wizard and finish page
// are behind IContactExportWizard so that the same run serves the Windows dialogs
// and the command line (options, prompts and a printed finish page).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/item_store.h"
#include "engine/run_summary.h"

namespace mireo {

class CSettingsStore;
class ILogger;
class IContextHelp;
class IOutputFiles;
class IProgressView;
class MireoCharConverter;

// Filter mask bits of "Contacts.Export.Filter" and "Contacts.Import.Filter".
constexpr std::uint32_t kFilterSkipPrivate = 2;
constexpr std::uint32_t kFilterExcludeCategories = 4;
constexpr std::uint32_t kFilterIncludeCategories = 8;

// The wizard's choices for one run.
struct ContactExportChoices {
    std::unique_ptr<IFolder> folder;  // the Outlook folder to export
    bool selectedOnly = false;        // the explorer's selection instead of the folder
    std::string targetFolder;         // the file-system folder, UTF-8
    bool oneFile = true;
    int format = 21;                  // 21 vCard 2.1, 30 vCard 3.0
    std::string encoding;             // display name of the supported encoding
    bool overwrite = false;
    std::uint32_t filterMask = 0;
    std::string filterCategories;     // UTF-8, separated by the user's list separator
};

// What the finish page shows.
struct ContactExportOutcome {
    RunCounters counters;
    std::string targetFolder;
    std::vector<std::string> writtenFiles;  // in the order written
};

class IContactExportWizard {
public:
    virtual ~IContactExportWizard() = default;
    // Shows the pages (start, options); false when the user cancelled. The pages
    // read and write the settings themselves.
    virtual bool Run(ContactExportChoices& choices) = 0;
    // The finish page (counts, summary, open folder, mail the files).
    virtual void Finish(const ContactExportOutcome& outcome) = 0;
};

// Everything outside the run, handed in by the engine (or the command line).
struct ExportEnvironment {
    IApplication& app;
    IMapiFactory& mapi;
    CSettingsStore& settings;
    ILogger& log;
    IContextHelp* help = nullptr;  // null: no help
    IOutputFiles& files;
    MireoCharConverter& converter;
    std::string listSeparator = ",";  // the user's list separator
    int productMajor = 1;             // PRODID
    int productMinor = 0;
};

// Results of a run (the engine ignores them).
constexpr int kRunDone = 0;
constexpr int kRunCannotStart = -1;

}  // namespace mireo

namespace mireo {

// The contact export runner. One lives in the engine for the life of the add-in;
// every run takes its choices anew from the wizard.
class CvCardExport {
public:
    explicit CvCardExport(int hostMajorVersion = 9) : m_hostMajorVersion(hostMajorVersion) {}
    virtual ~CvCardExport() = default;

    void SetHostMajorVersion(int major) { m_hostMajorVersion = major; }

    // The whole run: wizard, progress, item loop, finish page. kRunDone when it ended
    // normally or was cancelled in the wizard, kRunCannotStart when it could not start.
    int Run(ExportEnvironment& env, IContactExportWizard& wizard, IProgressView& progressView);

    // The filter of one contact (mask bits above; categories split at the list
    // separator, trimmed, compared without regard to case). True: export it.
    static bool FilterContact(IItem& contact, std::uint32_t mask, const std::string& filterCategories,
                              const std::string& listSeparator, ILogger& log);

private:
    int m_hostMajorVersion;
};

}  // namespace mireo
