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

}  // namespace mireo::cli
