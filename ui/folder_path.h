#pragma once
// The text form of a host folder's place: "\\" + the store's top folder + "\" + each
// folder below it down to the folder itself, e.g. "\\Personal Folders\Calendar\Work".
// The command line names folders the other way round, so the reverse is here too.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mireo {

// What the path text needs of a host folder (MAPIFolder's Name and Parent).
class IFolderNode {
public:
    virtual ~IFolderNode() = default;
    // Throws (HostError) when the host call fails.
    virtual std::u16string Name() = 0;
    // The parent when it is a folder (Class 2); null for anything else, which is
    // the namespace above a store's top folder. Throws when the host call fails.
    virtual std::unique_ptr<IFolderNode> Parent() = 0;
};

// "\\Top\A\B" for folder B; empty when a Name or Parent call fails.
std::u16string FolderPathText(IFolderNode& folder);

// A folder named on the command line.
struct FolderPathSpec {
    // The store's top folder, as given after "\\"; empty: the default store.
    std::string top;
    // Folder names below the top folder, outermost first; empty with a top folder
    // given: the top folder itself.
    std::vector<std::string> names;

    bool operator==(const FolderPathSpec&) const = default;
};

// "Contacts", "Calendar/Work" and "Calendar\Work" name folders below the top folder
// of the default store; "\\Personal Folders\Calendar\Work" (as FolderPathText writes
// it, "//" also accepted) names the store's top folder first. In the "\\" form only
// the backslash separates, so a name holding "/" comes back as written.
// Runs of separators count as one; names keep their spaces. nullopt when no name is
// left.
std::optional<FolderPathSpec> ParseFolderPath(std::string_view text);

}  // namespace mireo
