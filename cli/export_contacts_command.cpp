// mireo export-contacts: the contact export wizard as options, prompts and a printed
// finish page, started through the engine as the add-in starts it.
#include "cli/export_contacts_command.h"

#include <iostream>
#include <memory>

#include "addin/lib_kelvo.h"
#include "cli/commands.h"
#include "cli/progress_view.h"
#include "cli/wizard_command.h"
#include "encoding/mireo_char_converter.h"
#include "hoststore/host_store.h"
#include "platform/locale_info.h"
#include "platform/module.h"
#include "platform/output_files.h"
#include "platform/registry.h"

namespace mireo::cli {

const char kExportContactsUsage[] =
    "usage: mireo export-contacts [FOLDER] --to DIR [options]\n"
    "\n"
    "Exports the contacts of an Outlook folder to vCard files. FOLDER is \"Contacts\",\n"
    "\"Contacts/Work\" or \"\\\\Personal Folders\\Contacts\"; by default the default Contacts\n"
    "folder. An option not given keeps the choice stored by the last export; the options\n"
    "given are stored as the wizard stores them.\n"
    "\n"
    "  --to DIR                   the folder for the files (an existing directory)\n"
    "  --one-file                 all contacts into one file\n"
    "  --file-per-contact         one file per contact\n"
    "  --format 2.1|3.0           the vCard version\n"
    "  --encoding NAME            an encoding of 'mireo encodings' (display or charset name)\n"
    "  --overwrite                replace existing files of the same name\n"
    "  --no-overwrite             never replace a file; add \"(1)\", \"(2)\", ... to the name\n"
    "  --skip-private             do not export private contacts\n"
    "  --include-private          export private contacts too\n"
    "  --exclude-categories LIST  skip contacts with any of these categories\n"
    "  --include-categories LIST  export only contacts with one of these categories\n"
    "  --any-categories           no category filter\n"
    "  -i, --interactive          walk the wizard's pages as prompts (Enter keeps a value)\n"
    "  -h, --help                 this text\n"
    "\n"
    "Exit status: 0 every contact exported or skipped, 1 a contact failed, 2 invalid\n"
    "options or an export that could not start.\n";

namespace {

constexpr const char* kPrefix = "mireo export-contacts: ";

// The export's user interface on the command line: one terminal wizard per run, kept
// so that the exit status can be read from it afterwards.
class CTerminalContactExportUi : public IContactExportUi {
public:
    CTerminalContactExportUi(const ExportContactsArgs& args, ExportContactsContext& context)
        : m_args(args), m_context(context) {}

    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) override {
        m_wizard = std::make_unique<CTerminalContactExportWizard>(env.app, env.settings, env.messages,
                                                                  env.converter.Encodings(), m_args, m_context.in,
                                                                  m_context.out, m_context.err);
        return std::make_unique<CWizardHandle<IContactExportWizard, ContactExportChoices, ContactExportOutcome>>(
            *m_wizard);
    }
    const CTerminalContactExportWizard* Wizard() const { return m_wizard.get(); }

private:
    const ExportContactsArgs& m_args;
    ExportContactsContext& m_context;
    std::unique_ptr<CTerminalContactExportWizard> m_wizard;
};

}  // namespace

int RunExportContacts(const ExportContactsArgs& args, ExportContactsContext& context) {
    CTerminalContactExportUi ui(args, context);
    const CommandRun run = CommandRunOf(context, &context.files, kPrefix);
    const RunOutcome outcome =
        RunThroughEngine(run, EngineAction::ExportContacts, {.contactExport = std::make_unique<CvCardExport>(ui)});
    return ExitStatus(outcome, ui.Wizard(), kPrefix, "export", context.err);
}

int WithSystemExportContext(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                            const std::function<int(ExportContactsContext&)>& run) {
    CHostApplication app(DefaultHostStoreOptions(options.storePath));
    CLibKelvo kelvo;
    kelvo.Init(OwnModuleHandle(), &app);
    std::unique_ptr<IOutputFiles> files = CreateSystemOutputFiles();
    CTerminalProgressView progress;
    ExportContactsContext context{
        .app = app,
        .mapi = app.Mapi(),
        .registry = SystemRegistry(),
        .log = kelvo,
        .help = &kelvo,
        .files = *files,
        .converter = SharedCharConverter(),
        .listSeparator = SystemLocaleInfo().ListSeparator(),
        .progress = progress,
        .in = std::cin,
        .out = out,
        .err = err,
    };
    return run(context);
}

int RunExportContactsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err) {
    auto run = [&](const ExportContactsArgs& parsed) {
        return WithSystemExportContext(options, out, err,
                                       [&](ExportContactsContext& context) { return RunExportContacts(parsed, context); });
    };
    return RunWizardCommand("export-contacts", kExportContactsUsage, ParseExportContactsArgs, args, out, err, run);
}

}  // namespace mireo::cli
