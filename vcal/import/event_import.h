#pragma once
// The calendar import run: what the wizard hands the runner, what the runner hands the
// finish page, and the runner the engine is given.
//
// The runner (CvCalImport) drives the common run: wizard, the pre-count of events over
// the chosen files, progress, the event loop (filter, duplicate search, conflict rule,
// create with recurrence, exceptions, zone, UID, organizer and attendees, count) and the
// finish page. The pages are behind IEventImportWizard, made by the IEventImportUi the
// runner was built with, so that one run serves the Windows dialogs and the command line.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/action_runner.h"
#include "engine/category_filter.h"
#include "engine/date_time.h"
#include "engine/item_store.h"
#include "engine/run_summary.h"
#include "vcal/common/event_labels.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

class ILocaleInfo;

// Conflict rules of "Appointments.Import.ConflictResolution".
constexpr int kEventConflictKeepBoth = 0;
constexpr int kEventConflictReplace = 1;
constexpr int kEventConflictKeepExisting = 2;

// The bits of "Appointments.Import.Filter" are engine/category_filter.h's.

// The ten labels: bit i is the label of user string 115 + i ("Important" .. "Phone Call").
constexpr int kStrFirstLabel = 115;

// The wizard's choices for one run.
struct EventImportChoices {
    std::unique_ptr<IFolder> folder;  // the target calendar folder
    std::string paths;                // the paths text (one path, or several quoted)
    int conflict = kEventConflictKeepBoth;
    ZoneRule zone;                    // the default import zone
    std::string zoneName;             // its display name
    std::uint32_t filterMask = 0;
    std::string filterCategories;     // UTF-8; ";" or the list separator between names
    std::uint32_t labelMask = 0;
    LocalTime periodStart{}, periodEnd{};
};

// What the finish page shows.
struct EventImportOutcome {
    RunCounters counters;
    int files = 0;   // the files found
    int events = 0;  // the events counted in them
    IFolder* folder = nullptr;  // the target folder, alive while the finish page shows
    // Events whose saves were lost with their batch (counted failed), and why.
    std::int32_t lostSaves = 0;
    std::string lostCause;
};

class IEventImportWizard {
public:
    virtual ~IEventImportWizard() = default;
    // Shows the pages (source, options, filter); false when the user cancelled.
    virtual bool Run(EventImportChoices& choices) = 0;
    virtual void Finish(const EventImportOutcome& outcome) = 0;
};

class IEventImportUi {
public:
    virtual ~IEventImportUi() = default;
    // The wizard of one run; null: the run cannot start.
    virtual std::unique_ptr<IEventImportWizard> CreateEventImportWizard(const RunEnvironment& env) = 0;
};

// The files of the paths: a path that can be opened as a file is taken as it is;
// otherwise it is a folder whose .ics and .vcs files (directly in it, the extension
// compared without regard to case) are taken in name order.
std::vector<std::string> EventImportFiles(const std::vector<std::string>& paths);

// The restriction text of the duplicate search: "[Start] = '...' And [End] = '...' And
// [Subject] = '...'", dates by the short-date picture and " hh:mm AM". The subject is
// quoted with the quote it does not hold; with both it is left out (`subjectInText`
// false: the caller compares it). Without an end the [End] condition is left out.
std::u16string EventDuplicateFilter(LocalTime start, std::optional<LocalTime> end, const std::u16string& subject,
                                    const std::string& shortDatePicture, bool& subjectInText);

// The whole import with a wizard already made. kRunDone or kRunCannotStart.
// locale: the user's short date and list separator; null: the system's.
int RunEventImport(const RunEnvironment& env, IEventImportWizard& wizard, ILocaleInfo* locale = nullptr);

// The event import runner. One lives in the engine for the life of the add-in.
class CvCalImport : public IActionRunner {
public:
    explicit CvCalImport(IEventImportUi& ui, ILocaleInfo* locale = nullptr) : m_ui(ui), m_locale(locale) {}
    int Run(const RunEnvironment& env) override;

private:
    IEventImportUi& m_ui;
    ILocaleInfo* m_locale;
};

}  // namespace mireo
