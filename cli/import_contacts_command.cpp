// mireo import-contacts: the contact import wizard as options and a printed finish
// page, started through the engine as the add-in starts it.
#include "cli/import_contacts_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "addin/lib_kelvo.h"
#include "cli/commands.h"
#include "cli/finish_page.h"
#include "cli/option_scanner.h"
#include "cli/progress_view.h"
#include "cli/wizard_command.h"
#include "encoding/mireo_char_converter.h"
#include "engine/host_folders.h"
#include "engine/save_counter.h"
#include "engine/settings_store.h"
#include "hoststore/host_store.h"
#include "platform/ascii.h"
#include "platform/locale_info.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "vcard/ui/dlg_vcard_import.h"
#include "vcard/ui/dlg_vcard_import_finish.h"
#include "vcard/ui/dlg_vcard_import_options.h"

namespace mireo::cli {

const char kImportContactsUsage[] =
    "usage: mireo import-contacts [options] [PATH...]\n"
    "\n"
    "Imports the vCard files into an Outlook contacts folder. Each PATH is a file or a\n"
    "folder (its *.vcf files, not its subfolders); with none, the paths of the last\n"
    "import. An option not given keeps the choice stored by the last import; the options\n"
    "given are stored as the wizard stores them.\n"
    "\n"
    "  --folder FOLDER            the contacts folder (\"Contacts\", \"Contacts/Work\");\n"
    "                             by default the default Contacts folder\n"
    "  --conflict keep-both|replace|keep-existing\n"
    "                             what to do with a contact of the same name and company\n"
    "  --skip-private             do not import private contacts\n"
    "  --include-private          import private contacts too\n"
    "  --exclude-categories LIST  skip contacts with any of these categories\n"
    "  --include-categories LIST  import only contacts with one of these categories\n"
    "  --any-categories           no category filter\n"
    "  -h, --help                 this text\n"
    "\n"
    "Exit status: 0 every contact imported or skipped, 1 a contact failed, 2 invalid\n"
    "options or an import that could not start.\n";

namespace {

constexpr const char* kPrefix = "mireo import-contacts: ";
// The wizard of the command line: the start and options page models take the options
// (validated and stored as the pages do), and the finish page is printed.
class CTerminalContactImportWizard : public IContactImportWizard {
public:
    CTerminalContactImportWizard(const RunEnvironment& env, const ImportContactsArgs& args,
                                 ImportContactsContext& context)
        : m_app(env.app), m_settings(env.settings), m_messages(env.messages), m_args(args), m_context(context) {}

    bool Run(ContactImportChoices& choices) override {
        CDlgVCardImport page(m_app, m_settings, m_messages);
        if (!m_args.paths.empty()) page.SetPaths(m_args.paths);
        if (ascii::IsBlank(page.PathsText(), ascii::kBlanks)) {
            m_context.err << kPrefix << "no files or folders given, and none stored\n";
            return false;
        }
        if (m_args.folder) {
            std::unique_ptr<IFolder> folder = FindFolderByPath(m_app, *m_args.folder);
            if (!folder) {
                m_context.err << kPrefix << "no folder \"" << *m_args.folder << "\"\n";
                return false;
            }
            if (!page.ChooseFolder(std::move(folder))) return false;  // string 145 was shown
        } else if (page.Folder() == nullptr) {
            m_context.err << kPrefix << "no default contacts folder\n";
            return false;
        }
        // The options page: OK on it (which validates and stores) only when an option was given.
        if (m_args.conflict || m_args.skipPrivate || m_args.categoryBits) {
            CDlgVCardImportOptions options = page.MakeOptionsPage();
            if (m_args.conflict) options.SetConflict(*m_args.conflict);
            if (m_args.skipPrivate) options.SetSkipPrivate(*m_args.skipPrivate);
            if (m_args.categoryBits) {
                options.SetCategoryFilter(*m_args.categoryBits != 0);
                if (*m_args.categoryBits != 0) {
                    options.SetIncludeCategories(*m_args.categoryBits == kFilterIncludeCategories);
                    options.SetCategories(m_args.categories);
                }
            }
            if (!options.OnOk()) return false;  // string 127 was shown
            page.ApplyOptions(options);
        }
        return page.OnImport(choices);  // string 114 for a path that cannot be reached
    }

    void Finish(const ContactImportOutcome& outcome) override {
        m_finished = true;
        m_counters = outcome.counters;
        // No explorer here: the page's "open folder" choice is left out.
        CDlgVCardImportFinish page(m_settings, outcome, outcome.folder);
        PrintFinishPage(m_context.out, page.StatusText(), page.Counts());
        const std::string lost = LostSavesText(outcome.lostSaves, outcome.lostCause, "contact", "contacts");
        if (!lost.empty()) m_context.err << kPrefix << lost << "\n";
    }

    bool Finished() const { return m_finished; }
    // After Run returned false: invalid options, no cards at all (the message said so)
    // or no start; there are no prompts to cancel.
    int WizardStatus() const { return kExitUsage; }
    const RunCounters& Counters() const { return m_counters; }

private:
    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    const ImportContactsArgs& m_args;
    ImportContactsContext& m_context;
    bool m_finished = false;
    RunCounters m_counters;
};

// The import's user interface on the command line: one terminal wizard per run, kept
// so that the exit status can be read from it afterwards.
class CTerminalContactImportUi : public IContactImportUi {
public:
    CTerminalContactImportUi(const ImportContactsArgs& args, ImportContactsContext& context)
        : m_args(args), m_context(context) {}

    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) override {
        m_wizard = std::make_unique<CTerminalContactImportWizard>(env, m_args, m_context);
        return std::make_unique<CWizardHandle<IContactImportWizard, ContactImportChoices, ContactImportOutcome>>(
            *m_wizard);
    }
    const CTerminalContactImportWizard* Wizard() const { return m_wizard.get(); }

private:
    const ImportContactsArgs& m_args;
    ImportContactsContext& m_context;
    std::unique_ptr<CTerminalContactImportWizard> m_wizard;
};

}  // namespace

bool ParseImportContactsArgs(const std::vector<std::string>& args, ImportContactsArgs& out, std::ostream& err) {
    COptionScanner scan(args, kPrefix, err);
    while (scan.Next()) {
        const OptionRead shared = ReadImportOption(scan, out);
        if (shared == OptionRead::kFailed) return false;
        if (shared == OptionRead::kRead) continue;
        const std::string& a = scan.Name();
        bool ok = true;
        if (a == "--skip-private") {
            ok = scan.Flag(out.skipPrivate, true);
        } else if (a == "--include-private") {
            ok = scan.Flag(out.skipPrivate, false);
        } else if (a == "--exclude-categories" || a == "--include-categories") {
            ok = scan.Value(out.categories);
            if (ok) out.categoryBits = a == "--include-categories" ? kFilterIncludeCategories : kFilterExcludeCategories;
        } else if (a == "--any-categories") {
            ok = scan.Flag(out.categoryBits, std::uint32_t{0});
            out.categories.clear();
        } else {
            return scan.Unknown();
        }
        if (!ok) return false;
    }
    return true;
}

int RunImportContacts(const ImportContactsArgs& args, ImportContactsContext& context) {
    CTerminalContactImportUi ui(args, context);
    const CommandRun run = CommandRunOf(context, nullptr, kPrefix);
    const RunOutcome outcome =
        RunThroughEngine(run, EngineAction::ImportContacts, {.contactImport = std::make_unique<CvCardImport>(ui)});
    return ExitStatus(outcome, ui.Wizard(), kPrefix, "import", context.err);
}

int WithSystemImportContext(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                            const std::function<int(ImportContext&)>& run) {
    CHostApplication app(DefaultHostStoreOptions(options.storePath));
    CLibKelvo kelvo;
    kelvo.Init(OwnModuleHandle(), &app);
    CTerminalProgressView progress;
    ImportContext context{
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
    return run(context);
}

int RunImportContactsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err) {
    auto run = [&](const ImportContactsArgs& parsed) {
        return WithSystemImportContext(options, out, err,
                                       [&](ImportContext& context) { return RunImportContacts(parsed, context); });
    };
    return RunWizardCommand("import-contacts", kImportContactsUsage, ParseImportContactsArgs, args, out, err, run);
}

}  // namespace mireo::cli
