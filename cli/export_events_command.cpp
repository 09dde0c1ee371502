// mireo export-events: the event export wizard as options, prompts and a printed
// finish page, started through the engine as the add-in starts it.
#include "cli/export_events_command.h"

#include <iostream>
#include <memory>

#include "addin/lib_kelvo.h"
#include "cli/commands.h"
#include "cli/finish_page.h"
#include "cli/option_scanner.h"
#include "cli/progress_view.h"
#include "cli/wizard_command.h"
#include "encoding/mireo_char_converter.h"
#include "hoststore/host_store.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/locale_info.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "textformat/date_text.h"
#include "vcal/ui/dlg_vcal_export.h"
#include "vcal/ui/dlg_vcal_export_filter.h"
#include "vcal/ui/dlg_vcal_export_finish.h"

namespace mireo::cli {

const char kExportEventsUsage[] =
    "usage: mireo export-events [FOLDER] --to DIR [options] [--export-all | FILTER...]\n"
    "\n"
    "Exports the events of an Outlook calendar folder to vCalendar 1.0 (.vcs) or\n"
    "iCalendar 2.0 (.ics) files. FOLDER is \"Calendar\", \"Calendar/Team\" or\n"
    "\"\\\\Personal Folders\\Calendar\"; by default the default Calendar folder. An option\n"
    "not given keeps the choice stored by the last export; the options given are stored\n"
    "as the wizard stores them (the period never is).\n"
    "\n"
    "  --to DIR                   the folder for the files (an existing directory)\n"
    "  --one-file                 all events into one file, named after the folder\n"
    "  --file-per-event           one file per event, named after its start and subject\n"
    "  --format vcal|ical         vCalendar 1.0 or iCalendar 2.0\n"
    "  --encoding NAME            an encoding of 'mireo encodings' (display or charset name)\n"
    "  --overwrite                replace existing files of the same name\n"
    "  --no-overwrite             never replace a file; add \"(1)\", \"(2)\", ... to the name\n"
    "  --export-all               no filter at all (\"Export All\")\n"
    "\n"
    "Filter (the filter page):\n"
    "  --skip-all-day / --include-all-day\n"
    "  --skip-private / --include-private\n"
    "  --exclude-categories LIST / --include-categories LIST / --any-categories\n"
    "  --exclude-labels LIST / --include-labels LIST / --any-labels\n"
    "                             labels by name or number 1 to 10, separated by commas\n"
    "  --period FROM TO           only events between FROM 00:00 and TO 00:00 (YYYY-MM-DD);\n"
    "                             without it the filter page's period, today minus 14 days\n"
    "                             to today plus 60 days, applies when stored as on\n"
    "  --any-time                 no period\n"
    "  -i, --interactive          walk the wizard's pages as prompts (Enter keeps a value)\n"
    "  -h, --help                 this text\n"
    "\n"
    "Exit status: 0 every event exported or skipped, 1 an event failed, 2 invalid\n"
    "options or an export that could not start.\n";

namespace {

constexpr const char* kPrefix = "mireo export-events: ";

const char* ModeWord(bool on, bool include) { return !on ? "any" : include ? "include" : "exclude"; }

}  // namespace

bool ParseExportEventsArgs(const std::vector<std::string>& args, ExportEventsArgs& out, std::ostream& err) {
    COptionScanner scan(args, kPrefix, err);
    while (scan.Next()) {
        const OptionRead shared = ReadExportOption(scan, out, "--file-per-event");
        if (shared == OptionRead::kFailed) return false;
        if (shared == OptionRead::kRead) continue;
        const std::string& a = scan.Name();
        std::string text;
        bool ok = true;
        if (a == "--format") {
            ok = scan.Value(text);
            if (ok) {
                const std::string word = ascii::Lower(text);
                if (word == "vcal" || word == "vcalendar" || word == "vcs" || word == "10") {
                    out.format = kVCalendarFormat10;
                } else if (word == "ical" || word == "icalendar" || word == "ics" || word == "20") {
                    out.format = kICalendarFormat20;
                } else {
                    scan.Error() << "--format must be vcal or ical, not \"" << text << "\"\n";
                    return false;
                }
            }
        } else if (a == "--export-all") {
            ok = scan.Flag(out.exportAll, true);
        } else if (a == "--skip-all-day") {
            ok = scan.Flag(out.skipAllDay, true);
        } else if (a == "--include-all-day") {
            ok = scan.Flag(out.skipAllDay, false);
        } else if (a == "--exclude-labels" || a == "--include-labels") {
            ok = scan.Value(text);
            if (ok) {
                const std::optional<std::uint32_t> mask = ParseLabelList(text);
                if (!mask) {
                    scan.Error() << a << ": \"" << text << "\" names no label (names or numbers 1 to 10)\n";
                    return false;
                }
                out.labels = *mask;
                out.labelMode = a == "--include-labels" ? CategoryMode::Include : CategoryMode::Exclude;
            }
        } else if (a == "--any-labels") {
            ok = scan.Flag(out.labelMode, CategoryMode::Any);
        } else if (a == "--period") {
            std::string to;
            ok = scan.Value(text) && scan.Value(to);
            if (ok) {
                const std::optional<LocalTime> from = ParseDay(text);
                const std::optional<LocalTime> until = ParseDay(to);
                if (!from || !until) {
                    scan.Error() << "--period takes two dates YYYY-MM-DD, not \"" << text << "\" \"" << to << "\"\n";
                    return false;
                }
                out.period = true;
                out.periodFrom = *from;
                out.periodTo = *until;
            }
        } else if (a == "--any-time") {
            ok = scan.Flag(out.period, false);
        } else {
            return scan.Unknown();
        }
        if (!ok) return false;
    }
    if (out.exportAll && out.TouchesFilterPage()) {
        err << kPrefix << "--export-all exports without a filter; give no filter option with it\n";
        return false;
    }
    return true;
}

CTerminalEventExportWizard::CTerminalEventExportWizard(const RunEnvironment& env, const ExportEventsArgs& args,
                                                       std::istream& in, std::ostream& out, std::ostream& err)
    : m_env(env), m_args(args), m_prompts(in, out), m_out(out), m_err(err) {}

bool CTerminalEventExportWizard::TargetFolderUsable(const std::string& path) {
    if (!path.empty() && PathIsDirectory(path)) return true;
    m_env.messages.Show(kCaptionMireoError, NameNotAccessible(path), MbIcon::Error, MbButtons::Ok);
    return false;
}

bool CTerminalEventExportWizard::ApplyArgs(CDlgVCalExport& page, CDlgVCalExportOptions& options) {
    if (m_args.folder) {
        std::unique_ptr<IFolder> folder = FindFolderByPath(m_env.app, *m_args.folder);
        if (!folder) {
            m_err << kPrefix << "no Outlook folder \"" << *m_args.folder << "\" (see 'mireo store folders')\n";
            return false;
        }
        if (!page.ChooseFolder(std::move(folder))) return false;  // string 146 was shown
    }
    if (m_args.encoding) {
        const std::optional<std::string> name = ResolveEncodingName(*m_args.encoding, m_env.converter.Encodings());
        int index = -1;
        const auto& names = options.EncodingNames();
        for (std::size_t i = 0; name && i < names.size(); ++i)
            if (names[i] == *name) index = static_cast<int>(i);
        if (index < 0 || !options.SelectEncoding(index)) {
            m_err << kPrefix << "unknown encoding \"" << *m_args.encoding << "\"; the supported encodings are:\n";
            for (const EncodingRecord& r : m_env.converter.Encodings())
                m_err << "  " << r.displayName << " (" << r.charsetName << ")\n";
            return false;
        }
    }
    if (m_args.format) options.SetICalendar(*m_args.format == kICalendarFormat20);
    if (m_args.overwrite) options.SetOverwrite(*m_args.overwrite);
    if (m_args.oneFile) page.SetOneFile(*m_args.oneFile);
    if (m_args.to) {
        if (!TargetFolderUsable(*m_args.to)) return false;
        page.SetTargetFolder(*m_args.to);
    }
    return true;
}

bool CTerminalEventExportWizard::ApplyFilterArgs(CDlgVCalExportFilter& filter) {
    if (m_args.skipAllDay) filter.SetSkipAllDay(*m_args.skipAllDay);
    if (m_args.skipPrivate) filter.SetSkipPrivate(*m_args.skipPrivate);
    if (m_args.categoryMode) {
        filter.SetCategoryFilter(*m_args.categoryMode != CategoryMode::Any);
        if (*m_args.categoryMode != CategoryMode::Any) {
            filter.SetIncludeCategories(*m_args.categoryMode == CategoryMode::Include);
            filter.SetCategories(m_args.categories);
        }
    }
    if (m_args.labelMode) {
        if (*m_args.labelMode != CategoryMode::Any && !filter.LabelsEnabled()) {
            m_err << kPrefix << "labels need a host of version 10 or later\n";
            return false;
        }
        filter.SetLabelFilter(*m_args.labelMode != CategoryMode::Any);
        if (*m_args.labelMode != CategoryMode::Any) {
            filter.SetIncludeLabels(*m_args.labelMode == CategoryMode::Include);
            filter.ApplyLabels(m_args.labels);
        }
    }
    if (m_args.period) {
        filter.SetPeriodFilter(*m_args.period);
        if (*m_args.period) filter.SetPeriod(m_args.periodFrom, m_args.periodTo);
    }
    return true;
}

bool CTerminalEventExportWizard::AskMode(const std::string& question, bool on, bool include,
                                         std::optional<CategoryMode>& mode) {
    std::string word;
    if (!m_prompts.AskWord(question + " (any, exclude, include)", {"any", "exclude", "include"},
                           ModeWord(on, include), word))
        return false;
    // Enter (or the current word) changes nothing.
    if (word == ModeWord(on, include)) return true;
    mode = word == "any" ? CategoryMode::Any : word == "include" ? CategoryMode::Include : CategoryMode::Exclude;
    return true;
}

bool CTerminalEventExportWizard::Prompt(CDlgVCalExport& page, CDlgVCalExportOptions& options, bool& exportAll) {
    m_out << "Mireo - Export calendar events to files\n";
    if (!m_prompts.AskFolder(m_env.app, page.FolderText(), page.Folder() != nullptr,
                             "There is no calendar folder to keep; name one.",
                             [&page](std::unique_ptr<IFolder> f) { return page.ChooseFolder(std::move(f)); }))
        return false;
    for (;;) {
        std::string answer;
        if (!m_prompts.Ask("Windows folder", page.TargetFolder(), answer)) return false;
        const std::string candidate = answer.empty() ? page.TargetFolder() : answer;
        if (TargetFolderUsable(candidate)) {
            page.SetTargetFolder(candidate);
            break;
        }
    }
    bool yes = false;
    if (!m_prompts.AskYesNo("Save events into one file", page.OneFile(), yes)) return false;
    page.SetOneFile(yes);
    if (!m_prompts.AskYesNo("Overwrite files of the same name", options.Values().overwrite, yes)) return false;
    options.SetOverwrite(yes);
    std::string format;
    if (!m_prompts.AskWord("Format (vcal: vCalendar, older standard; ical: iCalendar, newer standard)",
                           {"vcal", "ical"}, options.ICalendar() ? "ical" : "vcal", format))
        return false;
    options.SetICalendar(format == "ical");
    if (!m_prompts.AskEncoding(options.EncodingNames(), m_env.converter.Encodings(), options.Values().encoding,
                               [&options](int i) { return options.SelectEncoding(i); }))
        return false;
    options.OnOk();
    page.ApplyOptions(options);
    if (!m_prompts.AskYesNo("Export all events without a filter (not recommended)", false, exportAll)) return false;
    return true;
}

bool CTerminalEventExportWizard::PromptFilter(CDlgVCalExportFilter& filter) {
    m_out << "Filter\n";
    for (;;) {
        bool yes = false;
        if (!m_prompts.AskYesNo("Do not export all day events", filter.SkipAllDay(), yes)) return false;
        filter.SetSkipAllDay(yes);
        if (!m_prompts.AskYesNo("Do not export private events", filter.SkipPrivate(), yes)) return false;
        filter.SetSkipPrivate(yes);
        std::optional<CategoryMode> mode;
        if (!AskMode("Export events with category(-ies) that", filter.CategoryFilter(), filter.IncludeCategories(),
                     mode))
            return false;
        if (mode) {
            filter.SetCategoryFilter(*mode != CategoryMode::Any);
            filter.SetIncludeCategories(*mode == CategoryMode::Include);
        }
        if (filter.CategoryFilter()) {
            std::string answer;
            if (!m_prompts.Ask("Categories", filter.Categories(), answer)) return false;
            if (!answer.empty()) filter.SetCategories(answer);
        }
        if (filter.LabelsEnabled()) {
            mode.reset();
            if (!AskMode("Export events with label(s) that", filter.LabelFilter(), filter.IncludeLabels(), mode))
                return false;
            if (mode) {
                filter.SetLabelFilter(*mode != CategoryMode::Any);
                filter.SetIncludeLabels(*mode == CategoryMode::Include);
            }
            while (filter.LabelFilter()) {
                std::string answer;
                if (!m_prompts.Ask("Labels (names or numbers 1 to 10)", filter.LabelsText(), answer)) return false;
                if (answer.empty()) break;
                if (const std::optional<std::uint32_t> mask = ParseLabelList(answer)) {
                    filter.ApplyLabels(*mask);
                    break;
                }
                m_out << "Please give label names or numbers 1 to 10.\n";
            }
        }
        if (!m_prompts.AskYesNo("Export events with: start time after " + FormatIsoDate(filter.PeriodStart()) +
                          ", end time before " + FormatIsoDate(filter.PeriodEnd()),
                      filter.PeriodFilter(), yes))
            return false;
        filter.SetPeriodFilter(yes);
        if (yes) {
            std::string from, to;
            if (!m_prompts.Ask("Start time after (YYYY-MM-DD)", FormatIsoDate(filter.PeriodStart()), from)) return false;
            if (!m_prompts.Ask("End time before (YYYY-MM-DD)", FormatIsoDate(filter.PeriodEnd()), to)) return false;
            const std::optional<LocalTime> a = from.empty() ? filter.PeriodStart() : ParseDay(from);
            const std::optional<LocalTime> b = to.empty() ? filter.PeriodEnd() : ParseDay(to);
            if (!a || !b) {
                m_out << "Please give dates as YYYY-MM-DD.\n";
                continue;
            }
            filter.SetPeriod(*a, *b);
        }
        return true;
    }
}

bool CTerminalEventExportWizard::Run(EventExportChoices& choices) {
    std::vector<std::string> names;
    for (const EncodingRecord& r : m_env.converter.Encodings()) names.push_back(r.displayName);
    CDlgVCalExport page(m_env.app, m_env.settings, m_env.messages, names);
    CDlgVCalExportOptions options = page.MakeOptionsPage();

    m_status = kExitUsage;
    if (!ApplyArgs(page, options)) return false;
    bool exportAll = m_args.exportAll;
    if (m_args.interactive) {
        if (!Prompt(page, options, exportAll)) {
            m_out << "Export cancelled.\n";
            m_status = kExitOk;
            return false;
        }
    } else {
        if (page.Folder() == nullptr) {
            m_err << kPrefix << "there is no default Calendar folder; name one\n";
            return false;
        }
        if (!m_args.to) {
            if (page.TargetFolder().empty()) {
                m_err << kPrefix << "no folder for the files: give --to DIR\n";
                return false;
            }
            if (!TargetFolderUsable(page.TargetFolder())) return false;
        }
        if (m_args.TouchesOptionsPage()) {
            options.OnOk();
            page.ApplyOptions(options);
        }
    }
    if (exportAll) {
        if (!page.OnExportAll(choices)) {
            m_err << kPrefix << "nothing to export\n";
            return false;
        }
    } else {
        if (!page.OnNext(choices)) {
            m_err << kPrefix << "nothing to export\n";
            return false;
        }
        CDlgVCalExportFilter filter(m_env.settings, m_env.messages, m_env.hostMajorVersion, TodayLocal(),
                                    m_env.listSeparator);
        if (!ApplyFilterArgs(filter)) return false;
        for (;;) {
            if (m_args.interactive && !PromptFilter(filter)) {
                m_out << "Export cancelled.\n";
                m_status = kExitOk;
                return false;
            }
            if (filter.OnExport(choices.filter)) break;
            if (!m_args.interactive) return false;  // the page's message was shown
        }
    }
    page.MoveSourceInto(choices);
    m_status = kExitOk;
    return true;
}

void CTerminalEventExportWizard::Finish(const EventExportOutcome& outcome) {
    m_finished = true;
    m_counters = outcome.counters;
    CDlgVCalExportFinish page(m_env.settings, outcome);
    PrintFinishPage(m_out, page.StatusText(), page.Counts());
    if (!outcome.writtenFiles.empty()) {
        m_out << "Files written to " << outcome.targetFolder << ":\n";
        for (const std::string& f : outcome.writtenFiles) m_out << "  " << f << "\n";
    }
}

namespace {

class CTerminalEventExportUi : public IEventExportUi {
public:
    CTerminalEventExportUi(const ExportEventsArgs& args, ExportContactsContext& context)
        : m_args(args), m_context(context) {}

    std::unique_ptr<IEventExportWizard> CreateEventExportWizard(const RunEnvironment& env) override {
        m_wizard = std::make_unique<CTerminalEventExportWizard>(env, m_args, m_context.in, m_context.out,
                                                                m_context.err);
        return std::make_unique<CWizardHandle<IEventExportWizard, EventExportChoices, EventExportOutcome>>(*m_wizard);
    }
    const CTerminalEventExportWizard* Wizard() const { return m_wizard.get(); }

private:
    const ExportEventsArgs& m_args;
    ExportContactsContext& m_context;
    std::unique_ptr<CTerminalEventExportWizard> m_wizard;
};

}  // namespace

int RunExportEvents(const ExportEventsArgs& args, ExportContactsContext& context, const EventExportHooks& hooks) {
    CTerminalEventExportUi ui(args, context);
    const CommandRun run = CommandRunOf(context, &context.files, kPrefix);
    const RunOutcome outcome =
        RunThroughEngine(run, EngineAction::ExportEvents, {.eventExport = std::make_unique<CvCalExport>(ui, hooks)});
    return ExitStatus(outcome, ui.Wizard(), kPrefix, "export", context.err);
}

int RunExportEventsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err) {
    auto run = [&](const ExportEventsArgs& parsed) {
        return WithSystemExportContext(options, out, err,
                                       [&](ExportContactsContext& context) { return RunExportEvents(parsed, context); });
    };
    return RunWizardCommand("export-events", kExportEventsUsage, ParseExportEventsArgs, args, out, err, run);
}

}  // namespace mireo::cli
