#pragma once
// "mireo store ...": look at and fill the substitute host store.
#include <ostream>
#include <string>
#include <vector>

namespace mireo::cli {

// args[0] is the subcommand (folders, mkdir, add, dump, find, clear). Returns the
// process exit status: 0 done, 1 failed, 2 wrong use.
int RunStoreCommand(const std::string& storePath, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err);

// Before a command opens the store at `path`. A store the user named (`named`: --store
// or MIREO_STORE) must lie in an existing folder and, when the file exists, be a
// non-empty regular file; the default store's folders are made. False, with the
// message on `err`, when the store must not be opened.
bool PrepareStorePath(const std::string& path, bool named, std::ostream& err);

}  // namespace mireo::cli
