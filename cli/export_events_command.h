#pragma once
// "mireo export-events": the event export wizard on the command line. The start,
// options and filter pages are options (or prompts with -i), stored as the pages store
// them; the finish page is printed.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/export_contacts_command.h"
#include "engine/date_time.h"
#include "vcal/export/event_export.h"

namespace mireo {
class CDlgVCalExport;
class CDlgVCalExportOptions;
class CDlgVCalExportFilter;
}  // namespace mireo

namespace mireo::cli {

// The command's arguments as given; an option not given keeps the stored choice.
struct ExportEventsArgs : ExportArgsBase {
    std::optional<int> format;  // 10 or 20
    bool exportAll = false;
    std::optional<bool> skipAllDay;
    std::optional<CategoryMode> labelMode;
    std::uint32_t labels = 0;
    std::optional<bool> period;  // --period (true) or --any-time (false)
    LocalTime periodFrom{}, periodTo{};

    bool TouchesOptionsPage() const { return format || encoding || overwrite; }
    bool TouchesFilterPage() const { return skipAllDay || skipPrivate || categoryMode || labelMode || period; }
};

extern const char kExportEventsUsage[];

// Reads the arguments after "export-events". False, with a message on err, for an
// unknown option, a missing or bad value, a filter option with --export-all, or two
// folders.
bool ParseExportEventsArgs(const std::vector<std::string>& args, ExportEventsArgs& out, std::ostream& err);

class CTerminalEventExportWizard : public IEventExportWizard {
public:
    CTerminalEventExportWizard(const RunEnvironment& env, const ExportEventsArgs& args, std::istream& in,
                               std::ostream& out, std::ostream& err);

    bool Run(EventExportChoices& choices) override;
    void Finish(const EventExportOutcome& outcome) override;

    int WizardStatus() const { return m_status; }
    bool Finished() const { return m_finished; }
    const RunCounters& Counters() const { return m_counters; }

private:
    bool ApplyArgs(CDlgVCalExport& page, CDlgVCalExportOptions& options);
    bool ApplyFilterArgs(CDlgVCalExportFilter& filter);
    bool Prompt(CDlgVCalExport& page, CDlgVCalExportOptions& options, bool& exportAll);
    bool PromptFilter(CDlgVCalExportFilter& filter);
    bool AskMode(const std::string& question, bool on, bool include, std::optional<CategoryMode>& mode);
    bool TargetFolderUsable(const std::string& path);

    const RunEnvironment& m_env;
    const ExportEventsArgs& m_args;
    CWizardPrompts m_prompts;
    std::ostream& m_out;
    std::ostream& m_err;
    int m_status = 0;
    bool m_finished = false;
    RunCounters m_counters;
};

// Runs the export through the engine: 0 nothing failed, 1 an event failed, 2 invalid
// options or a run that could not start. The context is the contact export's.
int RunExportEvents(const ExportEventsArgs& args, ExportContactsContext& context, const EventExportHooks& hooks = {});

}  // namespace mireo::cli
