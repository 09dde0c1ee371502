#pragma once
// The options the wizard commands share, read in one place: the export commands'
// folder, target, file mode, encoding, overwrite, private and category options; the
// import commands' paths, folder and conflict rule; and the values both event
// commands take (days and label lists).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/option_scanner.h"
#include "engine/date_time.h"

namespace mireo::cli {

enum class CategoryMode { Any, Exclude, Include };

// What a shared reader made of the scanner's current argument.
enum class OptionRead {
    kNotMine,  // not a shared option: the command reads it
    kRead,
    kFailed,   // the message was printed
};

// The options of both export commands; an option not given is unset and the page
// keeps the stored choice.
struct ExportArgsBase {
    std::optional<std::string> folder;  // the Outlook folder
    std::optional<std::string> to;      // the Windows folder
    std::optional<bool> oneFile;
    std::optional<std::string> encoding;  // as typed; resolved against the list later
    std::optional<bool> overwrite;
    std::optional<bool> skipPrivate;
    std::optional<CategoryMode> categoryMode;
    std::string categories;  // with Exclude or Include
    bool interactive = false;
    bool help = false;
};

// FOLDER (one only), -h, -i, --to, --one-file, `perItemFlag` ("--file-per-contact"),
// --encoding, --overwrite / --no-overwrite, --skip-private / --include-private and the
// category options.
OptionRead ReadExportOption(COptionScanner& scan, ExportArgsBase& out, std::string_view perItemFlag);

// The options of both import commands.
struct ImportArgsBase {
    std::optional<std::string> folder;  // the target Outlook folder
    std::optional<int> conflict;        // 0 keep both, 1 replace, 2 keep existing
    std::vector<std::string> paths;     // files or folders; none: the stored paths text
    bool help = false;
};

// PATH operands, -h, --folder and --conflict keep-both|replace|keep-existing (the
// rules numbered alike for contacts and events).
OptionRead ReadImportOption(COptionScanner& scan, ImportArgsBase& out);

// A day as YYYY-MM-DD; nullopt for anything else.
std::optional<LocalTime> ParseDay(const std::string& text);

// A label list: names (any case) or numbers 1..10, separated by commas or semicolons.
// Null when an entry names no label.
std::optional<std::uint32_t> ParseLabelList(const std::string& text);

}  // namespace mireo::cli
