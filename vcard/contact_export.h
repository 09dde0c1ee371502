#pragma once
// The contact export run: what the wizard hands the runner, what the runner hands
// the finish page, and the runner the engine is given.
//
// The runner (CvCardExport) drives the common run: wizard, progress, the item loop
// (filter, build, write, count) and the finish page. The wizard and finish page
// are behind IContactExportWizard, made by the IContactExportUi the runner was built
// with, so that the same run serves the Windows dialogs and the command line
// (options, prompts and a printed finish page).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/action_runner.h"
#include "engine/category_filter.h"
#include "engine/item_store.h"
#include "engine/run_summary.h"

namespace mireo {

// The wizard's choices for one run.
struct ContactExportChoices {
    std::unique_ptr<IFolder> folder;  // the Outlook folder to export
    bool selectedOnly = false;        // the explorer's selection instead of the folder
    std::string targetFolder;         // the file-system folder, UTF-8
    bool oneFile = true;
    int format = 21;                  // 21 vCard 2.1, 30 vCard 3.0
    std::string encoding;             // display name of the supported encoding
    bool overwrite = false;
    std::uint32_t filterMask = 0;     // kFilterSkipPrivate, kFilterExcludeCategories, ...
    std::string filterCategories;     // UTF-8, separated by the user's list separator
};

// What the finish page shows.
struct ContactExportOutcome {
    RunCounters counters;
    std::string targetFolder;
    std::vector<std::string> writtenFiles;  // in the order written, each complete
    // Existing names that were neither followed nor replaced (links, folders, devices).
    std::vector<std::string> refusedFiles;
    // Contacts written with "?" for characters the chosen encoding cannot hold.
    std::int32_t lossyContacts = 0;
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

// The user interface of the contact export: the Windows dialogs, the command line's
// prompts, or a test's scripted pages.
class IContactExportUi {
public:
    virtual ~IContactExportUi() = default;
    // The wizard of one run, with what the run's environment offers its pages (the
    // application, the settings, the converter's encodings, the message box). Null: the
    // run cannot start.
    virtual std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) = 0;
};

// The whole export with a wizard already made: wizard, progress, item loop, finish
// page. kRunDone when it ended normally or was cancelled in the wizard, kRunCannotStart
// when it could not start.
int RunContactExport(const RunEnvironment& env, IContactExportWizard& wizard);

// The contact export runner. One lives in the engine for the life of the add-in;
// every run takes its choices anew from a wizard of its user interface.
class CvCardExport : public IActionRunner {
public:
    explicit CvCardExport(IContactExportUi& ui) : m_ui(ui) {}
    int Run(const RunEnvironment& env) override;

private:
    IContactExportUi& m_ui;
};

}  // namespace mireo
