#pragma once
// The event export run: what the wizard hands the runner, what the runner hands the
// finish page, and the runner the engine is given.
//
// The runner (CvCalExport) drives the common run: wizard, progress, the item loop
// (filter, build, write, count) and the finish page. The wizard and finish page are
// behind IEventExportWizard, made by the IEventExportUi the runner was built with, so
// that the same run serves the Windows dialogs and the command line.
#include <cstdint>
#include <functional>
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

namespace mireo {

class ITimeZoneSource;

// The bits of the filter mask ("Appointments.Export.Filter") are engine/category_filter.h's.

// Calendar labels 1..10 (bit n-1 of a label mask selects label n; kLabelCount).
constexpr int kLabelBirthday = 8;
constexpr int kLabelAnniversary = 9;
constexpr std::uint32_t kAllLabelsMask = 0x3FF;

// The filter page's choices.
struct EventFilter {
    std::uint32_t mask = 0;
    std::string categories;  // UTF-8, names separated by the user's list separator
    std::uint32_t labelMask = 0;
    std::optional<LocalTime> periodStart;  // the computer's local time
    std::optional<LocalTime> periodEnd;
};

// The wizard's choices for one run.
struct EventExportChoices {
    std::unique_ptr<IFolder> folder;  // the Outlook folder to export
    bool selectedOnly = false;        // the explorer's selection instead of the folder
    std::string targetFolder;         // the file-system folder, UTF-8
    bool oneFile = true;
    int format = 10;                  // 10 vCalendar 1.0, 20 iCalendar 2.0
    std::string encoding;             // display name of the supported encoding
    bool overwrite = false;
    bool filtered = true;             // false after "Export All": no filter at all
    EventFilter filter;
};

// What the finish page shows.
struct EventExportOutcome {
    RunCounters counters;
    std::string targetFolder;
    std::vector<std::string> writtenFiles;  // in the order written
};

class IEventExportWizard {
public:
    virtual ~IEventExportWizard() = default;
    // Shows the pages (start, options, filter); false when the user cancelled.
    virtual bool Run(EventExportChoices& choices) = 0;
    // The finish page.
    virtual void Finish(const EventExportOutcome& outcome) = 0;
};

class IEventExportUi {
public:
    virtual ~IEventExportUi() = default;
    // The wizard of one run; null: the run cannot start.
    virtual std::unique_ptr<IEventExportWizard> CreateEventExportWizard(const RunEnvironment& env) = 0;
};

// What a run takes from outside besides its environment; tests and benchmarks fix the
// clock and the new UIDs so that files compare byte for byte.
struct EventExportHooks {
    std::function<UtcTime()> now;                 // DTSTAMP; the system clock when unset
    std::function<std::string()> newUid;          // a fresh iCalendar UID; a new GUID when unset
    ITimeZoneSource* computerZone = nullptr;      // the computer's zone; the system's when null
};

// The whole export with a wizard already made.
int RunEventExport(const RunEnvironment& env, IEventExportWizard& wizard, const EventExportHooks& hooks = {});

// The event export runner.
class CvCalExport : public IActionRunner {
public:
    explicit CvCalExport(IEventExportUi& ui, EventExportHooks hooks = {}) : m_ui(ui), m_hooks(std::move(hooks)) {}
    int Run(const RunEnvironment& env) override;

private:
    IEventExportUi& m_ui;
    EventExportHooks m_hooks;
};

}  // namespace mireo
