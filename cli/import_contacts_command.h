#pragma once
// "mireo import-contacts": the contact import wizard on the command line. The start and
// options pages are options, stored as the pages store them; the finish page is printed.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/wizard_args.h"
#include "cli/wizard_command.h"
#include "engine/category_filter.h"
#include "vcard/contact_import.h"

namespace mireo {
class IRegistry;
}  // namespace mireo

namespace mireo::cli {

struct ImportContactsArgs : ImportArgsBase {
    std::optional<bool> skipPrivate;
    std::optional<std::uint32_t> categoryBits;  // 0, kFilterExcludeCategories or kFilterIncludeCategories
    std::string categories;
};

extern const char kImportContactsUsage[];

// Reads the arguments after "import-contacts". False, with a message on err, for an
// unknown option, a missing value or a bad --conflict.
bool ParseImportContactsArgs(const std::vector<std::string>& args, ImportContactsArgs& out, std::ostream& err);

using ImportContactsContext = ImportContext;

// Runs the import through the engine: 0 nothing failed, 1 a contact failed, 2 invalid
// options or a run that could not start.
int RunImportContacts(const ImportContactsArgs& args, ImportContactsContext& context);

}  // namespace mireo::cli
