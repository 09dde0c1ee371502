#include "cli/store_command.h"
#include <ostream>
namespace mireo::cli {
int RunStoreCommand(const std::string&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "mireo store: not available\n";
    return 2;
}
}  // namespace mireo::cli
