#pragma once
// The contact import run: what the wizard hands the runner, what the runner hands the
// finish page, and the runner the engine is given.
//
// The runner (CvCardImport) drives the common run: wizard, the pre-count of cards over
// the chosen files, progress, the card loop (filter, duplicate search, conflict rule,
// create and save, count) and the finish page. The wizard and finish page are behind
// IContactImportWizard, made by the IContactImportUi the runner was built with, so that
// the same run serves the Windows dialogs and the command line.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/action_runner.h"
#include "engine/category_filter.h"
#include "engine/item_store.h"
#include "engine/run_summary.h"
#include "vcard/contact_record.h"

namespace mireo {

// Conflict rules of "Contacts.Import.ConflictResolution".
constexpr int kConflictKeepBoth = 0;
constexpr int kConflictReplace = 1;
constexpr int kConflictKeepExisting = 2;

// The wizard's choices for one run.
struct ContactImportChoices {
    std::unique_ptr<IFolder> folder;  // the target contacts folder
    std::string paths;                // the paths text (one path, or several quoted)
    int conflict = kConflictKeepBoth;
    std::uint32_t filterMask = 0;
    std::string filterCategories;     // UTF-8, separated by the user's list separator
};

// What the finish page shows.
struct ContactImportOutcome {
    RunCounters counters;
    int files = 0;     // the files found
    int contacts = 0;  // the cards counted in them
    IFolder* folder = nullptr;  // the target folder, alive while the finish page shows
    // Contacts whose saves were lost with their batch (counted failed), and why.
    std::int32_t lostSaves = 0;
    std::string lostCause;
};

class IContactImportWizard {
public:
    virtual ~IContactImportWizard() = default;
    // Shows the pages (start, options); false when the user cancelled.
    virtual bool Run(ContactImportChoices& choices) = 0;
    virtual void Finish(const ContactImportOutcome& outcome) = 0;
};

// The user interface of the contact import: the Windows dialogs, the command line's
// options, or a test's scripted pages.
class IContactImportUi {
public:
    virtual ~IContactImportUi() = default;
    // The wizard of one run; null: the run cannot start.
    virtual std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) = 0;
};

// The files of the paths: a path that can be opened as a file is taken as it is;
// otherwise it is a folder whose *.vcf files (directly in it, the extension compared
// without regard to case) are taken in name order.
// A folder that cannot be listed is added to `unlisted` with the system's reason.
std::vector<std::string> ContactImportFiles(const std::vector<std::string>& paths,
                                            std::vector<std::pair<std::string, std::string>>* unlisted = nullptr);

// The restriction text of the duplicate search for a card's search name and company;
// empty when no search is made.
std::u16string ContactDuplicateFilter(const std::u16string& searchName, const std::u16string& company);
// The non-empty ones of title, first, middle, last name and suffix joined by single
// spaces; the full name when they are all empty.
std::u16string ContactSearchName(const ContactRecord& record);

// The whole import with a wizard already made: wizard, pre-count, progress, card loop,
// finish page. kRunDone or kRunCannotStart.
int RunContactImport(const RunEnvironment& env, IContactImportWizard& wizard);

// The contact import runner. One lives in the engine for the life of the add-in.
class CvCardImport : public IActionRunner {
public:
    explicit CvCardImport(IContactImportUi& ui) : m_ui(ui) {}
    int Run(const RunEnvironment& env) override;

private:
    IContactImportUi& m_ui;
};

}  // namespace mireo
