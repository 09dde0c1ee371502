// mireo import-events: the calendar import wizard as options and a printed finish page,
// started through the engine as the add-in starts it.
#include "cli/import_events_command.h"

#include <chrono>
#include <iostream>
#include <memory>

#include "addin/lib_kelvo.h"
#include "cli/commands.h"
#include "cli/finish_page.h"
#include "cli/option_scanner.h"
#include "cli/progress_view.h"
#include "cli/wizard_command.h"
#include "encoding/mireo_char_converter.h"
#include "engine/category_filter.h"
#include "engine/host_folders.h"
#include "engine/save_counter.h"
#include "engine/settings_store.h"
#include "hoststore/host_store.h"
#include "platform/ascii.h"
#include "platform/locale_info.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "platform/user_strings.h"
#include "textformat/date_text.h"
#include "vcal/common/system_zone.h"
#include "vcal/import/ui/dlg_vcal_import.h"

namespace mireo::cli {

const char kImportEventsUsage[] =
    "usage: mireo import-events [options] [PATH...]\n"
    "\n"
    "Imports vCalendar (.vcs) and iCalendar (.ics) files into an Outlook calendar folder.\n"
    "Each PATH is a file or a folder (its .ics and .vcs files, not its subfolders); with\n"
    "none, the paths of the last import. An option not given keeps the choice stored by\n"
    "the last import; the options given are stored as the wizard stores them.\n"
    "\n"
    "  --folder FOLDER            the calendar folder (\"Calendar\", \"Calendar/Work\");\n"
    "                             by default the default Calendar folder\n"
    "  --conflict keep-both|replace|keep-existing\n"
    "                             what to do with an event of the same start, end and subject\n"
    "  --zone NAME                the zone of times without one: a Windows zone by key\n"
    "                             (\"W. Europe Standard Time\") or display name\n"
    "  --computer-zone            the computer's zone for such times\n"
    "  --import-all               no filter at all\n"
    "  --skip-all-day / --include-all-day\n"
    "  --skip-private / --include-private\n"
    "  --exclude-categories LIST / --include-categories LIST / --any-categories\n"
    "  --exclude-labels LIST / --include-labels LIST / --any-labels\n"
    "                             labels: Important, Business, Personal, Vacation, Must Attend,\n"
    "                             Travel Required, Needs Preparation, Birthday, Anniversary,\n"
    "                             Phone Call (separated by \";\" or \",\")\n"
    "  --period FROM TO           only events inside the dates (YYYY-MM-DD) / --any-time\n"
    "  -h, --help                 this text\n"
    "\n"
    "Exit status: 0 every event imported or skipped, 1 an event failed, 2 invalid\n"
    "options or an import that could not start.\n";

namespace {

constexpr const char* kPrefix = "mireo import-events: ";

std::optional<std::uint32_t> LabelMask(const std::string& text) {
    std::uint32_t mask = 0;
    std::string_view rest = text;
    for (;;) {
        const std::size_t end = rest.find_first_of(";,");
        const std::string_view name = ascii::Trim(rest.substr(0, end));
        if (!name.empty()) {
            int found = -1;
            for (int i = 0; i < kLabelCount; ++i) {
                if (ascii::EqualsNoCase(name, LoadUserString(kStrFirstLabel + i))) found = i;
            }
            if (found < 0) return std::nullopt;
            mask |= 1u << found;
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return mask;
}

LocalTime Today() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::optional<ZoneRule> zone = SystemZone();
    return StartOfDay(zone ? UtcToLocal(*zone, now) : AsLocal(now));
}

class CTerminalEventImportWizard : public IEventImportWizard {
public:
    CTerminalEventImportWizard(const RunEnvironment& env, const ImportEventsArgs& args, ImportEventsContext& context)
        : m_env(env), m_args(args), m_context(context) {}

    bool Run(EventImportChoices& choices) override {
        CDlgVCalImport page(m_env.app, m_env.settings, m_env.messages, m_env.log);
        if (!m_args.paths.empty()) page.SetPaths(m_args.paths);
        if (ascii::IsBlank(page.PathsText(), ascii::kBlanks)) {
            m_context.err << kPrefix << "no files or folders given, and none stored\n";
            return false;
        }
        if (m_args.folder) {
            std::unique_ptr<IFolder> folder = FindFolderByPath(m_env.app, *m_args.folder);
            if (!folder) {
                m_context.err << kPrefix << "no folder \"" << *m_args.folder << "\"\n";
                return false;
            }
            if (!page.ChooseFolder(std::move(folder))) return false;  // string 146 was shown
        } else if (page.Folder() == nullptr) {
            m_context.err << kPrefix << "no default calendar folder\n";
            return false;
        }
        // The options dialog: OK on it only when one of its options was given.
        if (m_args.conflict || m_args.zone || m_args.computerZone) {
            CDlgVCalImportOptions options = page.MakeOptionsPage();
            if (m_args.conflict) options.SetConflict(*m_args.conflict);
            if (m_args.zone && !options.SelectByName(*m_args.zone)) {
                m_context.err << kPrefix << "no zone \"" << *m_args.zone << "\" in the zone list\n";
                return false;
            }
            if (m_args.computerZone && !SelectComputerZone(options)) return false;
            options.OnOk();
            page.ApplyOptions(options);
        }
        if (!page.OnNext(choices, m_args.importAll)) return false;  // string 114 for a path not reached
        if (m_args.importAll) return true;
        CDlgVCalImportFilter filter(m_env.settings, m_env.messages, Today());
        EventFilterValues& v = filter.Edit();
        v.mask = (v.mask | m_args.filterSet) & ~m_args.filterClear;
        if (m_args.categories) v.categories = *m_args.categories;
        if (m_args.labels) v.labels = *LabelMask(*m_args.labels);
        if (m_args.periodStart) v.periodStart = *m_args.periodStart;
        if (m_args.periodEnd) v.periodEnd = *m_args.periodEnd;
        return filter.OnImport(choices);  // strings 127, 128, 129
    }

    void Finish(const EventImportOutcome& outcome) override {
        m_finished = true;
        m_counters = outcome.counters;
        CDlgVCalImportFinish page(m_env.settings, outcome);
        PrintFinishPage(m_context.out, page.StatusText(), page.Counts());
        const std::string lost = LostSavesText(outcome.lostSaves, outcome.lostCause, "event", "events");
        if (!lost.empty()) m_context.err << kPrefix << lost << "\n";
    }

    bool Finished() const { return m_finished; }
    int WizardStatus() const { return kExitUsage; }
    const RunCounters& Counters() const { return m_counters; }

private:
    bool SelectComputerZone(CDlgVCalImportOptions& options) {
        const std::optional<ZoneRule> computer = SystemZone();
        const std::vector<std::string> names = options.ZoneChoices();
        if (computer) {
            // The list's entry of the computer's rule; the current zone when it is that one.
            if (ZonesEqual(options.Zone(), *computer)) return true;
            std::vector<ZoneListEntry> list;
            GetAllTimezones(list, m_env.log);
            for (const ZoneListEntry& e : list) {
                if (ZonesEqual(e.rule, *computer) && options.SelectByName(e.key)) return true;
            }
        }
        m_context.err << kPrefix << "the computer's zone is not in the zone list\n";
        return false;
    }

    const RunEnvironment& m_env;
    const ImportEventsArgs& m_args;
    ImportEventsContext& m_context;
    bool m_finished = false;
    RunCounters m_counters;
};

class CTerminalEventImportUi : public IEventImportUi {
public:
    CTerminalEventImportUi(const ImportEventsArgs& args, ImportEventsContext& context)
        : m_args(args), m_context(context) {}

    std::unique_ptr<IEventImportWizard> CreateEventImportWizard(const RunEnvironment& env) override {
        m_wizard = std::make_unique<CTerminalEventImportWizard>(env, m_args, m_context);
        return std::make_unique<CWizardHandle<IEventImportWizard, EventImportChoices, EventImportOutcome>>(*m_wizard);
    }
    const CTerminalEventImportWizard* Wizard() const { return m_wizard.get(); }

private:
    const ImportEventsArgs& m_args;
    ImportEventsContext& m_context;
    std::unique_ptr<CTerminalEventImportWizard> m_wizard;
};

bool ReadDay(COptionScanner& scan, const std::string& text, std::optional<LocalTime>& out) {
    const std::optional<DateTimeText> d = ParseDateTime(text);
    if (!d) {
        scan.Error() << "--period needs two dates (YYYY-MM-DD), not \"" << text << "\"\n";
        return false;
    }
    out = d->time;
    return true;
}

}  // namespace

bool ParseImportEventsArgs(const std::vector<std::string>& args, ImportEventsArgs& out, std::ostream& err) {
    COptionScanner scan(args, kPrefix, err);
    auto bits = [&out](std::uint32_t set, std::uint32_t clear) {
        out.filterSet = (out.filterSet & ~clear) | set;
        out.filterClear = (out.filterClear & ~set) | clear;
        return true;
    };
    while (scan.Next()) {
        if (scan.IsOperand()) {
            out.paths.push_back(scan.Arg());
            continue;
        }
        const std::string& a = scan.Name();
        std::string text;
        bool ok = true;
        if (a == "-h" || a == "--help") {
            ok = scan.Flag(out.help, true);
        } else if (a == "--folder") {
            ok = scan.Value(text);
            if (ok) out.folder = text;
        } else if (a == "--conflict") {
            ok = scan.Value(text);
            if (ok) {
                if (text == "keep-both") out.conflict = kEventConflictKeepBoth;
                else if (text == "replace") out.conflict = kEventConflictReplace;
                else if (text == "keep-existing") out.conflict = kEventConflictKeepExisting;
                else {
                    scan.Error() << "--conflict must be keep-both, replace or keep-existing, not \"" << text << "\"\n";
                    return false;
                }
            }
        } else if (a == "--zone") {
            ok = scan.Value(text);
            if (ok) {
                out.zone = text;
                out.computerZone = false;
            }
        } else if (a == "--computer-zone") {
            ok = scan.Flag(out.computerZone, true);
            out.zone.reset();
        } else if (a == "--import-all") {
            ok = scan.Flag(out.importAll, true);
        } else if (a == "--skip-all-day" || a == "--include-all-day") {
            ok = a == "--skip-all-day" ? bits(kEventFilterSkipAllDay, 0) : bits(0, kEventFilterSkipAllDay);
        } else if (a == "--skip-private" || a == "--include-private") {
            ok = a == "--skip-private" ? bits(kFilterSkipPrivate, 0) : bits(0, kFilterSkipPrivate);
        } else if (a == "--exclude-categories" || a == "--include-categories") {
            ok = scan.Value(text);
            if (ok) {
                out.categories = text;
                const bool include = a == "--include-categories";
                bits(include ? kFilterIncludeCategories : kFilterExcludeCategories,
                     include ? kFilterExcludeCategories : kFilterIncludeCategories);
            }
        } else if (a == "--any-categories") {
            bits(0, kFilterExcludeCategories | kFilterIncludeCategories);
        } else if (a == "--exclude-labels" || a == "--include-labels") {
            ok = scan.Value(text);
            if (ok) {
                if (!LabelMask(text)) {
                    scan.Error() << "unknown label in \"" << text << "\"\n";
                    return false;
                }
                out.labels = text;
                const bool include = a == "--include-labels";
                bits(include ? kEventFilterIncludeLabels : kEventFilterExcludeLabels,
                     include ? kEventFilterExcludeLabels : kEventFilterIncludeLabels);
            }
        } else if (a == "--any-labels") {
            bits(0, kEventFilterExcludeLabels | kEventFilterIncludeLabels);
        } else if (a == "--period") {
            std::string to;
            ok = scan.Value(text) && scan.Value(to) && ReadDay(scan, text, out.periodStart) &&
                 ReadDay(scan, to, out.periodEnd);
            if (ok) bits(kEventFilterPeriod, 0);
        } else if (a == "--any-time") {
            bits(0, kEventFilterPeriod);
        } else {
            return scan.Unknown();
        }
        if (!ok) return false;
    }
    return true;
}

int RunImportEvents(const ImportEventsArgs& args, ImportEventsContext& context) {
    CTerminalEventImportUi ui(args, context);
    const CommandRun run{
        .app = context.app,
        .mapi = context.mapi,
        .registry = context.registry,
        .log = context.log,
        .help = context.help,
        .files = nullptr,
        .messages = context.messages,
        .converter = context.converter,
        .listSeparator = context.listSeparator,
        .progress = context.progress,
        .prefix = kPrefix,
        .err = context.err,
    };
    const RunOutcome outcome =
        RunThroughEngine(run, EngineAction::ImportEvents, {.eventImport = std::make_unique<CvCalImport>(ui, context.locale)});
    return ExitStatus(outcome, ui.Wizard(), kPrefix, "import", context.err);
}

int RunImportEventsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err) {
    auto run = [&](const ImportEventsArgs& parsed) {
        CHostApplication app(DefaultHostStoreOptions(options.storePath));
        CLibKelvo kelvo;
        kelvo.Init(OwnModuleHandle(), &app);
        CTerminalProgressView progress;
        ImportEventsContext context{
            .app = app,
            .mapi = app.Mapi(),
            .registry = SystemRegistry(),
            .log = kelvo,
            .help = &kelvo,
            .converter = SharedCharConverter(),
            .listSeparator = SystemLocaleInfo().ListSeparator(),
            .progress = progress,
            .out = out,
            .err = err,
        };
        return RunImportEvents(parsed, context);
    };
    return RunWizardCommand("import-events", kImportEventsUsage, ParseImportEventsArgs, args, out, err, run);
}

}  // namespace mireo::cli
