#pragma once
#include <iosfwd>
#include <string>
#include <vector>
namespace mireo::cli {
int RunStoreCommand(const std::string& storePath, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err);
}
