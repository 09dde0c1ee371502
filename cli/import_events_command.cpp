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
#include "cli/wizard_prompts.h"
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
#include "vcal/ui/dlg_vcal_export_filter.h"

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
    "                             or numbers 1 to 10\n"
    "  --period FROM TO           only events inside the dates (YYYY-MM-DD) / --any-time\n"
    "  -i, --interactive          walk the wizard's pages as prompts (Enter keeps a value)\n"
    "  -h, --help                 this text\n"
    "\n"
    "Exit status: 0 every event imported or skipped, 1 an event failed, 2 invalid\n"
    "options or an import that could not start.\n";

namespace {

constexpr const char* kPrefix = "mireo import-events: ";

const char* ModeWord(std::uint32_t mask, std::uint32_t exclude, std::uint32_t include) {
    return (mask & include) != 0 ? "include" : (mask & exclude) != 0 ? "exclude" : "any";
}

// The mask with the mode's bit of the pair.
std::uint32_t WithMode(std::uint32_t mask, const std::string& mode, std::uint32_t exclude, std::uint32_t include) {
    mask &= ~(exclude | include);
    if (mode == "exclude") mask |= exclude;
    if (mode == "include") mask |= include;
    return mask;
}

std::uint32_t WithBit(std::uint32_t mask, std::uint32_t bit, bool on) { return on ? mask | bit : mask & ~bit; }

class CTerminalEventImportWizard : public IEventImportWizard {
public:
    CTerminalEventImportWizard(const RunEnvironment& env, const ImportEventsArgs& args, ImportEventsContext& context)
        : m_env(env),
          m_args(args),
          m_context(context),
          m_prompts(context.in != nullptr ? *context.in : std::cin, context.out) {}

    bool Run(EventImportChoices& choices) override {
        m_status = kExitUsage;
        CDlgVCalImport page(m_env.app, m_env.settings, m_env.messages, m_env.log);
        if (!m_args.paths.empty()) page.SetPaths(m_args.paths);
        if (!m_args.interactive && ascii::IsBlank(page.PathsText(), ascii::kBlanks)) {
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
        } else if (!m_args.interactive && page.Folder() == nullptr) {
            m_context.err << kPrefix << "no default calendar folder\n";
            return false;
        }
        // The options dialog: OK on it only when one of its options was given, or
        // when its prompts were walked.
        CDlgVCalImportOptions options = page.MakeOptionsPage();
        if (m_args.conflict) options.SetConflict(*m_args.conflict);
        if (m_args.zone && !options.SelectByName(*m_args.zone)) {
            m_context.err << kPrefix << "no zone \"" << *m_args.zone << "\" in the zone list\n";
            return false;
        }
        if (m_args.computerZone && !SelectComputerZone(options)) return false;
        bool importAll = m_args.importAll;
        if (m_args.interactive) {
            if (!Prompt(page, options, importAll)) return Cancelled();
        } else if (m_args.conflict || m_args.zone || m_args.computerZone) {
            options.OnOk();
            page.ApplyOptions(options);
        }
        if (!page.OnNext(choices, importAll)) return false;  // string 114 for a path not reached
        if (importAll) return Started();
        CDlgVCalImportFilter filter(m_env.settings, m_env.messages, TodayLocal());
        EventFilterValues& v = filter.Edit();
        v.mask = (v.mask | m_args.filterSet) & ~m_args.filterClear;
        if (m_args.categories) v.categories = *m_args.categories;
        if (m_args.labels) v.labels = *ParseLabelList(*m_args.labels);
        if (m_args.periodStart) v.periodStart = *m_args.periodStart;
        if (m_args.periodEnd) v.periodEnd = *m_args.periodEnd;
        for (;;) {
            if (m_args.interactive && !PromptFilter(filter)) return Cancelled();
            if (filter.OnImport(choices)) return Started();  // strings 127, 128, 129 otherwise
            if (!m_args.interactive) return false;
        }
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
    // After Run returned false: kExitUsage for invalid options, kExitOk when the user
    // cancelled at a prompt.
    int WizardStatus() const { return m_status; }
    const RunCounters& Counters() const { return m_counters; }

private:
    bool Started() {
        m_status = kExitOk;
        return true;
    }
    bool Cancelled() {
        m_context.out << "Import cancelled.\n";
        m_status = kExitOk;
        return false;
    }

    // The source and options pages as prompts; false when the input ended.
    bool Prompt(CDlgVCalImport& page, CDlgVCalImportOptions& options, bool& importAll) {
        m_prompts.Out() << "Mireo - Import calendar events from files\n";
        for (;;) {
            std::string answer;
            if (!m_prompts.Ask("Files or folders (several in double quotes)", page.PathsText(), answer)) return false;
            if (!answer.empty()) page.SetPathsText(answer);
            if (!ascii::IsBlank(page.PathsText(), ascii::kBlanks)) break;
            m_prompts.Out() << "Please name a file or a folder.\n";
        }
        if (!m_prompts.AskFolder(m_env.app, page.FolderText(), page.Folder() != nullptr,
                                 "There is no calendar folder to keep; name one.",
                                 [&page](std::unique_ptr<IFolder> f) { return page.ChooseFolder(std::move(f)); }))
            return false;
        m_prompts.Out() << "Options\n";
        static const std::vector<std::string> kRules = {"keep-both", "replace", "keep-existing"};
        std::string rule;
        if (!m_prompts.AskWord("If an event of the same start, end and subject is there (keep-both, replace, "
                               "keep-existing)",
                               kRules, kRules[options.Conflict()], rule))
            return false;
        for (int i = 0; i < 3; ++i)
            if (rule == kRules[i]) options.SetConflict(i);
        const std::vector<std::string> zones = options.ZoneChoices();
        for (;;) {
            std::string answer;
            const std::string current = zones.empty() ? options.ZoneName() : zones[options.Selected()];
            if (!m_prompts.Ask("Time zone of times without one (a number, a name, or ? for the list)", current,
                               answer))
                return false;
            if (answer.empty()) break;
            if (answer == "?") {
                for (std::size_t i = 0; i < zones.size(); ++i)
                    m_prompts.Out() << "  " << i + 1 << ") " << zones[i] << "\n";
                continue;
            }
            const bool digits = answer.find_first_not_of("0123456789") == std::string::npos;
            if (digits && answer.size() < 6 && options.Select(std::stoi(answer) - 1)) break;
            if (options.SelectByName(answer)) break;
            m_prompts.Out() << "Please give a zone of the list (? shows it).\n";
        }
        options.OnOk();
        page.ApplyOptions(options);
        if (!m_prompts.AskYesNo("Import all events without a filter (not recommended)", importAll, importAll))
            return false;
        return true;
    }

    // The filter page as prompts; false when the input ended.
    bool PromptFilter(CDlgVCalImportFilter& filter) {
        EventFilterValues& v = filter.Edit();
        m_prompts.Out() << "Filter\n";
        bool yes = false;
        if (!m_prompts.AskYesNo("Do not import all day events", (v.mask & kEventFilterSkipAllDay) != 0, yes))
            return false;
        v.mask = WithBit(v.mask, kEventFilterSkipAllDay, yes);
        if (!m_prompts.AskYesNo("Do not import private events", (v.mask & kFilterSkipPrivate) != 0, yes)) return false;
        v.mask = WithBit(v.mask, kFilterSkipPrivate, yes);
        static const std::vector<std::string> kModes = {"any", "exclude", "include"};
        std::string mode;
        if (!m_prompts.AskWord("Import events with category(-ies) that (any, exclude, include)", kModes,
                               ModeWord(v.mask, kFilterExcludeCategories, kFilterIncludeCategories), mode))
            return false;
        v.mask = WithMode(v.mask, mode, kFilterExcludeCategories, kFilterIncludeCategories);
        if (mode != "any") {
            std::string answer;
            if (!m_prompts.Ask("Categories", v.categories, answer)) return false;
            if (!answer.empty()) v.categories = answer;
        }
        if (!m_prompts.AskWord("Import events with label(s) that (any, exclude, include)", kModes,
                               ModeWord(v.mask, kEventFilterExcludeLabels, kEventFilterIncludeLabels), mode))
            return false;
        v.mask = WithMode(v.mask, mode, kEventFilterExcludeLabels, kEventFilterIncludeLabels);
        while (mode != "any") {
            std::string answer;
            if (!m_prompts.Ask("Labels (names or numbers 1 to 10)", LabelNames(v.labels), answer)) return false;
            if (answer.empty()) break;
            if (const std::optional<std::uint32_t> mask = ParseLabelList(answer)) {
                v.labels = *mask;
                break;
            }
            m_prompts.Out() << "Please give label names or numbers 1 to 10.\n";
        }
        const bool period = (v.mask & kEventFilterPeriod) != 0;
        if (!m_prompts.AskYesNo("Import events with: start time after " + FormatIsoDate(v.periodStart) +
                                    ", end time before " + FormatIsoDate(v.periodEnd),
                                period, yes))
            return false;
        v.mask = WithBit(v.mask, kEventFilterPeriod, yes);
        while (yes) {
            std::string from, to;
            if (!m_prompts.Ask("Start time after (YYYY-MM-DD)", FormatIsoDate(v.periodStart), from)) return false;
            if (!m_prompts.Ask("End time before (YYYY-MM-DD)", FormatIsoDate(v.periodEnd), to)) return false;
            const std::optional<LocalTime> a = from.empty() ? v.periodStart : ParseDay(from);
            const std::optional<LocalTime> b = to.empty() ? v.periodEnd : ParseDay(to);
            if (a && b) {
                v.periodStart = *a;
                v.periodEnd = *b;
                break;
            }
            m_prompts.Out() << "Please give dates as YYYY-MM-DD.\n";
        }
        return true;
    }

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
    CWizardPrompts m_prompts;
    int m_status = kExitUsage;
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

}  // namespace

bool ParseImportEventsArgs(const std::vector<std::string>& args, ImportEventsArgs& out, std::ostream& err) {
    COptionScanner scan(args, kPrefix, err);
    auto bits = [&out](std::uint32_t set, std::uint32_t clear) {
        out.filterSet = (out.filterSet & ~clear) | set;
        out.filterClear = (out.filterClear & ~set) | clear;
        return true;
    };
    while (scan.Next()) {
        const OptionRead shared = ReadImportOption(scan, out);
        if (shared == OptionRead::kFailed) return false;
        if (shared == OptionRead::kRead) continue;
        const std::string& a = scan.Name();
        std::string text;
        bool ok = true;
        if (a == "-i" || a == "--interactive") {
            ok = scan.Flag(out.interactive, true);
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
                if (!ParseLabelList(text)) {
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
            ok = scan.Value(text) && scan.Value(to);
            if (ok) {
                for (const std::string* day : {&text, &to}) {
                    if (!ParseDay(*day)) {
                        scan.Error() << "--period needs two dates (YYYY-MM-DD), not \"" << *day << "\"\n";
                        return false;
                    }
                }
                out.periodStart = ParseDay(text);
                out.periodEnd = ParseDay(to);
                bits(kEventFilterPeriod, 0);
            }
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
    const CommandRun run = CommandRunOf(context, nullptr, kPrefix);
    const RunOutcome outcome =
        RunThroughEngine(run, EngineAction::ImportEvents, {.eventImport = std::make_unique<CvCalImport>(ui, context.locale)});
    return ExitStatus(outcome, ui.Wizard(), kPrefix, "import", context.err);
}

int RunImportEventsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err) {
    auto run = [&](const ImportEventsArgs& parsed) {
        return WithSystemImportContext(options, out, err,
                                       [&](ImportContext& context) { return RunImportEvents(parsed, context); });
    };
    return RunWizardCommand("import-events", kImportEventsUsage, ParseImportEventsArgs, args, out, err, run);
}

}  // namespace mireo::cli
