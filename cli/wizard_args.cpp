// The options the wizard commands share.
#include "cli/wizard_args.h"

#include "platform/ascii.h"
#include "textformat/date_text.h"
#include "vcal/common/event_labels.h"
#include "vcal/ui/dlg_vcal_export_filter.h"

namespace mireo::cli {

OptionRead ReadExportOption(COptionScanner& scan, ExportArgsBase& out, std::string_view perItemFlag) {
    if (scan.IsOperand()) {
        if (out.folder) {
            scan.Error() << "one Outlook folder only (\"" << *out.folder << "\" and \"" << scan.Arg() << "\")\n";
            return OptionRead::kFailed;
        }
        out.folder = scan.Arg();
        return OptionRead::kRead;
    }
    const std::string& a = scan.Name();
    std::string text;
    bool ok = true;
    if (a == "-h" || a == "--help") {
        ok = scan.Flag(out.help, true);
    } else if (a == "-i" || a == "--interactive") {
        ok = scan.Flag(out.interactive, true);
    } else if (a == "--to") {
        ok = scan.Value(text);
        if (ok) out.to = text;
    } else if (a == "--one-file") {
        ok = scan.Flag(out.oneFile, true);
    } else if (a == perItemFlag) {
        ok = scan.Flag(out.oneFile, false);
    } else if (a == "--encoding") {
        ok = scan.Value(text);
        if (ok) out.encoding = text;
    } else if (a == "--overwrite" || a == "--no-overwrite") {
        ok = scan.Flag(out.overwrite, a == "--overwrite");
    } else if (a == "--skip-private" || a == "--include-private") {
        ok = scan.Flag(out.skipPrivate, a == "--skip-private");
    } else if (a == "--exclude-categories" || a == "--include-categories") {
        ok = scan.Value(out.categories);
        if (ok) out.categoryMode = a == "--include-categories" ? CategoryMode::Include : CategoryMode::Exclude;
    } else if (a == "--any-categories") {
        ok = scan.Flag(out.categoryMode, CategoryMode::Any);
        out.categories.clear();
    } else {
        return OptionRead::kNotMine;
    }
    return ok ? OptionRead::kRead : OptionRead::kFailed;
}

OptionRead ReadImportOption(COptionScanner& scan, ImportArgsBase& out) {
    if (scan.IsOperand()) {
        out.paths.push_back(scan.Arg());
        return OptionRead::kRead;
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
            static constexpr const char* kRules[] = {"keep-both", "replace", "keep-existing"};
            std::optional<int> rule;
            for (int r = 0; r < 3; ++r)
                if (text == kRules[r]) rule = r;
            if (!rule) {
                scan.Error() << "--conflict must be keep-both, replace or keep-existing, not \"" << text << "\"\n";
                return OptionRead::kFailed;
            }
            out.conflict = rule;
        }
    } else {
        return OptionRead::kNotMine;
    }
    return ok ? OptionRead::kRead : OptionRead::kFailed;
}

std::optional<LocalTime> ParseDay(const std::string& text) {
    if (text.size() != 10 || text[4] != '-') return std::nullopt;
    const std::optional<DateTimeText> d = ParseDateTime(text);
    if (!d || d->hasTime) return std::nullopt;
    return d->time;
}

std::optional<std::uint32_t> ParseLabelList(const std::string& text) {
    std::uint32_t mask = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of(",;", pos);
        if (end == std::string::npos) end = text.size();
        const std::string name(ascii::Trim(std::string_view(text).substr(pos, end - pos)));
        pos = end + 1;
        if (name.empty()) continue;
        int found = 0;
        if (name.find_first_not_of("0123456789") == std::string::npos && name.size() <= 2) {
            found = std::stoi(name);
            if (found < 1 || found > kLabelCount) found = 0;
        } else {
            for (int n = 1; n <= kLabelCount && found == 0; ++n)
                if (ascii::EqualsNoCase(LabelName(n), name)) found = n;
        }
        if (found == 0) return std::nullopt;
        mask |= 1u << (found - 1);
    }
    return mask;
}

}  // namespace mireo::cli
