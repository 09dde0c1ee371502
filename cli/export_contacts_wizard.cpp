// The contact export wizard of the command line: options and prompts onto the pages,
// and the printed finish page.
#include "cli/export_contacts_command.h"

#include <istream>
#include <ostream>
#include <memory>

#include "cli/commands.h"
#include "cli/finish_page.h"
#include "cli/option_scanner.h"
#include "engine/settings_store.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "platform/message_box.h"
#include "ui/wizard_pages.h"
#include "vcard/ui/dlg_vcard_export.h"
#include "vcard/ui/dlg_vcard_export_finish.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo::cli {

namespace {

constexpr const char* kPrefix = "mireo export-contacts: ";

const char* ModeWord(const ContactExportOptionValues& v) {
    if (!v.categoryFilter) return "any";
    return v.includeCategories ? "include" : "exclude";
}

}  // namespace

bool ParseExportContactsArgs(const std::vector<std::string>& args, ExportContactsArgs& out, std::ostream& err) {
    COptionScanner scan(args, kPrefix, err);
    while (scan.Next()) {
        const OptionRead shared = ReadExportOption(scan, out, "--file-per-contact");
        if (shared == OptionRead::kFailed) return false;
        if (shared == OptionRead::kRead) continue;
        const std::string& a = scan.Name();
        std::string text;
        bool ok = true;
        if (a == "--format") {
            ok = scan.Value(text);
            if (ok) {
                if (text == "2.1" || text == "21") {
                    out.format = kVCardFormat21;
                } else if (text == "3.0" || text == "30" || text == "3") {
                    out.format = kVCardFormat30;
                } else {
                    scan.Error() << "--format must be 2.1 or 3.0, not \"" << text << "\"\n";
                    return false;
                }
            }
        } else {
            return scan.Unknown();
        }
        if (!ok) return false;
    }
    return true;
}

std::optional<std::string> ResolveEncodingName(std::string_view text, const SupportedEncodingsList& list) {
    for (const EncodingRecord& r : list)
        if (r.displayName == text) return r.displayName;
    for (const EncodingRecord& r : list)
        if (ascii::EqualsNoCase(r.displayName, text)) return r.displayName;
    for (const EncodingRecord& r : list)
        if (ascii::EqualsNoCase(r.charsetName, text)) return r.displayName;
    return std::nullopt;
}

CTerminalContactExportWizard::CTerminalContactExportWizard(IApplication& app, CSettingsStore& settings,
                                                           IMessageBox& messages,
                                                           const SupportedEncodingsList& encodings,
                                                           const ExportContactsArgs& args, std::istream& in,
                                                           std::ostream& out, std::ostream& err)
    : m_app(app),
      m_settings(settings),
      m_messages(messages),
      m_encodings(encodings),
      m_args(args),
      m_prompts(in, out),
      m_out(out),
      m_err(err) {}

bool CTerminalContactExportWizard::TargetFolderUsable(const std::string& path, bool report) {
    if (!path.empty() && PathIsDirectory(path)) return true;
    if (report) m_messages.Show(kCaptionMireoError, NameNotAccessible(path), MbIcon::Error, MbButtons::Ok);
    return false;
}

// The given options go onto the pages' controls, each checked as the page checks it.
// Nothing is stored here.
bool CTerminalContactExportWizard::ApplyArgs(CDlgVCardExport& page, CDlgVCardExportOptions& options) {
    if (m_args.folder) {
        std::unique_ptr<IFolder> folder = FindFolderByPath(m_app, *m_args.folder);
        if (!folder) {
            m_err << kPrefix << "no Outlook folder \"" << *m_args.folder << "\" (see 'mireo store folders')\n";
            return false;
        }
        if (!page.ChooseFolder(std::move(folder))) return false;  // string 145 was shown
    }
    if (m_args.encoding) {
        const std::optional<std::string> name = ResolveEncodingName(*m_args.encoding, m_encodings);
        int index = -1;
        if (name) {
            const auto& names = options.EncodingNames();
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == *name) index = static_cast<int>(i);
        }
        if (index < 0 || !options.SelectEncoding(index)) {
            m_err << kPrefix << "unknown encoding \"" << *m_args.encoding << "\"; the supported encodings are:\n";
            for (const EncodingRecord& r : m_encodings) m_err << "  " << r.displayName << " (" << r.charsetName << ")\n";
            return false;
        }
    }
    if (m_args.format) options.SetVersion30(*m_args.format == kVCardFormat30);
    if (m_args.overwrite) options.SetOverwrite(*m_args.overwrite);
    if (m_args.skipPrivate) options.SetSkipPrivate(*m_args.skipPrivate);
    if (m_args.categoryMode) {
        options.SetCategoryFilter(*m_args.categoryMode != CategoryMode::Any);
        if (*m_args.categoryMode != CategoryMode::Any) {
            options.SetIncludeCategories(*m_args.categoryMode == CategoryMode::Include);
            options.SetCategories(m_args.categories);
        }
    }
    if (m_args.TouchesOptionsPage() && !options.Validate()) return false;  // string 127 was shown
    if (m_args.oneFile) page.SetOneFile(*m_args.oneFile);
    if (m_args.to) {
        if (!TargetFolderUsable(*m_args.to, true)) return false;
        page.SetTargetFolder(*m_args.to);
    }
    return true;
}

void CTerminalContactExportWizard::PrintSummary(const CDlgVCardExport& page) {
    m_out << "\n  Outlook folder:                    " << page.FolderText() << "\n";
    m_out << "  Windows folder:                    " << page.TargetFolder() << "\n";
    m_out << "  Save contacts into one file:       " << (page.OneFile() ? "yes" : "no") << "\n";
    for (const SummaryLine& line : page.Summary()) {
        std::string label = line.label;
        if (label.size() < 34) label.resize(34, ' ');
        m_out << "  " << label << " " << line.value << "\n";
    }
    m_out << "\n";
}

// The pages as prompts: each control with its current value; Enter keeps it.
bool CTerminalContactExportWizard::Prompt(CDlgVCardExport& page, CDlgVCardExportOptions& options) {
    m_out << "Mireo - Export contacts to files\n";
    if (!m_prompts.AskFolder(m_app, page.FolderText(), page.Folder() != nullptr,
                             "There is no contacts folder to keep; name one.",
                             [&page](std::unique_ptr<IFolder> f) { return page.ChooseFolder(std::move(f)); }))
        return false;
    for (;;) {
        std::string answer;
        if (!m_prompts.Ask("Windows folder", page.TargetFolder(), answer)) return false;
        const std::string candidate = answer.empty() ? page.TargetFolder() : answer;
        if (TargetFolderUsable(candidate, true)) {
            page.SetTargetFolder(candidate);
            break;
        }
    }
    bool yes = false;
    if (!m_prompts.AskYesNo("Save contacts into one file", page.OneFile(), yes)) return false;
    page.SetOneFile(yes);

    m_out << "Options\n";
    if (!m_prompts.AskYesNo("Do not export private contacts", options.Values().skipPrivate, yes)) return false;
    options.SetSkipPrivate(yes);
    std::string mode;
    if (!m_prompts.AskWord("Export contacts with category(-ies) that (any, exclude, include)",
                           {"any", "exclude", "include"}, ModeWord(options.Values()), mode))
        return false;
    options.SetCategoryFilter(mode != "any");
    if (mode != "any") options.SetIncludeCategories(mode == "include");
    while (options.CategoryControlsEnabled()) {
        std::string answer;
        if (!m_prompts.Ask("Categories", options.Values().categories, answer)) return false;
        if (!answer.empty()) options.SetCategories(answer);
        if (options.Validate()) break;  // string 127 was shown otherwise
    }
    if (!m_prompts.AskYesNo("Allow the program to overwrite identical files when exporting",
                            options.Values().overwrite, yes))
        return false;
    options.SetOverwrite(yes);
    m_out << "  1) vCard 2.1 (Recommended)\n  2) vCard 3.0\n";
    for (;;) {
        std::string answer;
        if (!m_prompts.Ask("Format of vCard files", options.Version30() ? "2" : "1", answer)) return false;
        if (answer.empty()) break;
        if (answer == "1" || answer == "2.1") {
            options.SetVersion30(false);
            break;
        }
        if (answer == "2" || answer == "3.0") {
            options.SetVersion30(true);
            break;
        }
        m_out << "Please answer 1 or 2.\n";
    }
    if (!m_prompts.AskEncoding(options.EncodingNames(), m_encodings, options.Values().encoding,
                               [&options](int i) { return options.SelectEncoding(i); }))
        return false;
    if (!options.OnOk()) return false;  // validated above; cannot refuse here
    page.ApplyOptions(options);

    PrintSummary(page);
    bool go = true;
    if (!m_prompts.AskYesNo("Export", true, go)) return false;
    return go;
}

bool CTerminalContactExportWizard::Run(ContactExportChoices& choices) {
    std::vector<std::string> names;
    for (const EncodingRecord& r : m_encodings) names.push_back(r.displayName);
    CDlgVCardExport page(m_app, m_settings, m_messages, names);
    CDlgVCardExportOptions options = page.MakeOptionsPage();

    m_status = kExitUsage;
    if (!ApplyArgs(page, options)) return false;
    if (m_args.interactive) {
        if (!Prompt(page, options)) {
            m_out << "Export cancelled.\n";
            m_status = kExitOk;
            return false;
        }
    } else {
        if (page.Folder() == nullptr) {
            m_err << kPrefix << "there is no default Contacts folder; name one\n";
            return false;
        }
        if (!m_args.to) {
            if (page.TargetFolder().empty()) {
                m_err << kPrefix << "no folder for the files: give --to DIR\n";
                return false;
            }
            if (!TargetFolderUsable(page.TargetFolder(), true)) return false;
        }
        if (m_args.TouchesOptionsPage()) {
            if (!options.OnOk()) return false;
            page.ApplyOptions(options);
        }
    }
    if (!page.OnExport(choices)) {
        m_err << kPrefix << "nothing to export\n";
        return false;
    }
    m_status = kExitOk;
    return true;
}

void CTerminalContactExportWizard::Finish(const ContactExportOutcome& outcome) {
    m_finished = true;
    m_counters = outcome.counters;
    CDlgVCardExportFinish page(m_settings, outcome);
    PrintFinishPage(m_out, page.StatusText(), page.Counts());
    // Names come from the contacts: their controls are shown, not sent to the terminal.
    if (!outcome.writtenFiles.empty()) {
        m_out << "Files written to " << utf::EscapeControls(outcome.targetFolder) << ":\n";
        for (const std::string& f : outcome.writtenFiles) m_out << "  " << utf::EscapeControls(f) << "\n";
    }
    for (const std::string& f : outcome.refusedFiles) {
        m_err << "mireo export-contacts: not replaced, not a regular file (a link, folder or device): "
              << utf::EscapeControls(f) << "\n";
    }
    if (outcome.lossyContacts > 0) {
        m_err << "mireo export-contacts: " << outcome.lossyContacts
              << (outcome.lossyContacts == 1 ? " contact has" : " contacts have")
              << " characters the encoding cannot hold, written as \"?\" (the log names them)\n";
    }
}

}  // namespace mireo::cli
