#include "ui/folder_path.h"

#include "platform/hresult.h"

namespace mireo {

namespace {

// Deeper than any real store; a host that reports a loop of parents stops here.
constexpr int kMaxDepth = 1000;

std::vector<std::string> SplitNames(std::string_view text, bool slashSeparates) {
    std::vector<std::string> names;
    std::string current;
    for (char c : text) {
        if (c == '\\' || (slashSeparates && c == '/')) {
            // A run of separators counts as one, so there are no empty names.
            if (!current.empty()) names.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) names.push_back(std::move(current));
    return names;
}

}  // namespace

std::u16string FolderPathText(IFolderNode& folder) {
    try {
        std::vector<std::u16string> names;  // innermost first
        names.push_back(folder.Name());
        std::unique_ptr<IFolderNode> parent = folder.Parent();
        while (parent) {
            if (static_cast<int>(names.size()) >= kMaxDepth) return {};
            names.push_back(parent->Name());
            parent = parent->Parent();
        }
        std::u16string text = u"\\";
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            text += u'\\';
            text += *it;
        }
        return text;
    } catch (const HostError&) {
        return {};
    }
}

std::optional<FolderPathSpec> ParseFolderPath(std::string_view text) {
    FolderPathSpec parsed;
    const bool rooted = text.size() >= 2 && (text.substr(0, 2) == "\\\\" || text.substr(0, 2) == "//");
    if (rooted) {
        std::vector<std::string> names = SplitNames(text.substr(2), text[0] == '/');
        if (names.empty()) return std::nullopt;
        parsed.top = std::move(names.front());
        parsed.names.assign(std::make_move_iterator(names.begin() + 1), std::make_move_iterator(names.end()));
        return parsed;
    }
    parsed.names = SplitNames(text, true);
    if (parsed.names.empty()) return std::nullopt;
    return parsed;
}

}  // namespace mireo
