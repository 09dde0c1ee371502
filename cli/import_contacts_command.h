#pragma once
// "mireo import-contacts": the contact import wizard on the command line. The start and
// options pages are options, stored as the pages store them; the finish page is printed.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/category_filter.h"
#include "vcard/contact_import.h"

namespace mireo {
class IRegistry;
}  // namespace mireo

namespace mireo::cli {

struct ImportContactsArgs {
    std::optional<std::string> folder;  // the target Outlook folder
    std::optional<int> conflict;        // kConflictKeepBoth, kConflictReplace, kConflictKeepExisting
    std::optional<bool> skipPrivate;
    std::optional<std::uint32_t> categoryBits;  // 0, kFilterExcludeCategories or kFilterIncludeCategories
    std::string categories;
    std::vector<std::string> paths;  // files or folders; none: the stored paths text
    bool help = false;
};

extern const char kImportContactsUsage[];

// Reads the arguments after "import-contacts". False, with a message on err, for an
// unknown option, a missing value or a bad --conflict.
bool ParseImportContactsArgs(const std::vector<std::string>& args, ImportContactsArgs& out, std::ostream& err);

// Everything the command works with, so that tests can hand in their own. The run goes
// through the engine, which opens the settings key in the registry.
struct ImportContactsContext {
    IApplication& app;
    IMapiFactory& mapi;
    IRegistry& registry;
    ILogger& log;
    IContextHelp* help;
    MireoCharConverter& converter;
    std::string listSeparator;
    IProgressView& progress;
    std::ostream& out;
    std::ostream& err;
    IMessageBox* messages = nullptr;  // null: the current message box
};

// Runs the import through the engine: 0 nothing failed, 1 a contact failed, 2 invalid
// options or a run that could not start.
int RunImportContacts(const ImportContactsArgs& args, ImportContactsContext& context);

}  // namespace mireo::cli
