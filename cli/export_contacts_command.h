#pragma once
// "mireo export-contacts": the contact export wizard on the command line. The start
// and options pages are options (or prompts with -i), stored as the pages store them;
// the finish page is printed.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/wizard_args.h"
#include "cli/wizard_prompts.h"
#include "encoding/supported_encodings_list.h"
#include "engine/host_folders.h"
#include "vcard/contact_export.h"

namespace mireo {
class CDlgVCardExport;
class CDlgVCardExportOptions;
class IRegistry;
}  // namespace mireo

namespace mireo::cli {

// The command's arguments as given; an option not given is unset and the page keeps
// the stored choice.
struct ExportContactsArgs : ExportArgsBase {
    std::optional<int> format;  // 21 or 30

    // True when an option of the options page was given (the page's OK then stores).
    bool TouchesOptionsPage() const {
        return format || encoding || overwrite || skipPrivate || categoryMode;
    }
};

extern const char kExportContactsUsage[];

// Reads the arguments after "export-contacts". False, with a message on err, for an
// unknown option, a missing value, a bad --format or two folders.
bool ParseExportContactsArgs(const std::vector<std::string>& args, ExportContactsArgs& out, std::ostream& err);

// The display name of the encoding that the text names: a display name (exact, then
// ignoring case) or a charset name ignoring case. nullopt when none matches.
std::optional<std::string> ResolveEncodingName(std::string_view text, const SupportedEncodingsList& list);

// The wizard of the command line: applies the options (or asks with -i), validates,
// stores and fills the run's choices; Finish prints the finish page. The pages' messages
// go to `messages`.
class CTerminalContactExportWizard : public IContactExportWizard {
public:
    CTerminalContactExportWizard(IApplication& app, CSettingsStore& settings, IMessageBox& messages,
                                 const SupportedEncodingsList& encodings, const ExportContactsArgs& args,
                                 std::istream& in, std::ostream& out, std::ostream& err);

    bool Run(ContactExportChoices& choices) override;
    void Finish(const ContactExportOutcome& outcome) override;

    // After Run returned false: kExitUsage for invalid options, kExitOk when the user
    // cancelled at a prompt.
    int WizardStatus() const { return m_status; }
    bool Finished() const { return m_finished; }
    const RunCounters& Counters() const { return m_counters; }

private:
    bool ApplyArgs(CDlgVCardExport& page, CDlgVCardExportOptions& options);
    bool Prompt(CDlgVCardExport& page, CDlgVCardExportOptions& options);
    bool TargetFolderUsable(const std::string& path, bool report);
    void PrintSummary(const CDlgVCardExport& page);

    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    const SupportedEncodingsList& m_encodings;
    const ExportContactsArgs& m_args;
    CWizardPrompts m_prompts;
    std::ostream& m_out;
    std::ostream& m_err;
    int m_status = 0;
    bool m_finished = false;
    RunCounters m_counters;
};

// Everything the command works with, so that tests can hand in their own. The run goes
// through the engine, which opens the settings key in the registry.
struct ExportContactsContext {
    IApplication& app;
    IMapiFactory& mapi;
    IRegistry& registry;
    ILogger& log;
    IContextHelp* help;
    IOutputFiles& files;
    MireoCharConverter& converter;
    std::string listSeparator;
    IProgressView& progress;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    IMessageBox* messages = nullptr;  // null: the current message box
};

// Runs the export with parsed arguments through the engine and answers the exit status:
// 0 nothing failed, 1 an item failed, 2 invalid options or a run that could not start.
int RunExportContacts(const ExportContactsArgs& args, ExportContactsContext& context);

struct GlobalOptions;
// Runs `run` on the system's export context: the host store of the global options, the
// helper library, the real file system and the terminal's progress bar. Both export
// commands start their runs here.
int WithSystemExportContext(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                            const std::function<int(ExportContactsContext&)>& run);

}  // namespace mireo::cli
