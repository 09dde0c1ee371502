#pragma once
// "mireo import-events": the calendar import wizard on the command line. The source,
// options and filter pages are options (or prompts with -i), stored as the pages store
// them; the finish page is printed.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/wizard_args.h"
#include "cli/wizard_command.h"
#include "engine/date_time.h"
#include "vcal/import/event_import.h"

namespace mireo {
class IRegistry;
class ILocaleInfo;
}  // namespace mireo

namespace mireo::cli {

struct ImportEventsArgs : ImportArgsBase {
    std::optional<std::string> zone;  // a zone of the list by key or display name
    bool computerZone = false;
    bool importAll = false;
    // Filter bits set and cleared by the options; the rest keep the stored filter.
    std::uint32_t filterSet = 0, filterClear = 0;
    std::optional<std::string> categories, labels;
    std::optional<LocalTime> periodStart, periodEnd;
    bool interactive = false;
};

extern const char kImportEventsUsage[];

// Reads the arguments after "import-events". False, with a message on err, for an
// unknown option, a missing or bad value.
bool ParseImportEventsArgs(const std::vector<std::string>& args, ImportEventsArgs& out, std::ostream& err);

using ImportEventsContext = ImportContext;

// Runs the import through the engine: 0 nothing failed, 1 an event failed, 2 invalid
// options or a run that could not start.
int RunImportEvents(const ImportEventsArgs& args, ImportEventsContext& context);

}  // namespace mireo::cli
