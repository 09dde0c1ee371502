// mireo: the command line of the Linux build. Each wizard of the add-in is a
// subcommand here; its choices are options, stored in the registry file as the
// wizard stores them.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/store_command.h"
#include "mireo_version.h"
#include "platform/registry.h"

namespace {

using namespace mireo::cli;

const char kUsage[] =
    "usage: mireo [--store FILE] [--registry FILE] COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  encodings                 list the supported encodings (supportedEncodings.txt)\n"
    "  settings                  show every stored choice and its default\n"
    "  export-contacts [FOLDER] --to DIR [options]\n"
    "                            export the contacts of a folder to vCard files\n"
    "                            (mireo export-contacts --help lists the options)\n"
    "  export-events [FOLDER] --to DIR [options]\n"
    "                            export the events of a calendar folder to vCalendar\n"
    "                            or iCalendar files (mireo export-events --help)\n"
    "  import-contacts [options] [PATH...]\n"
    "                            import vCard files into a contacts folder\n"
    "                            (mireo import-contacts --help lists the options)\n"
    "  import-events [options] [PATH...]\n"
    "                            import vCalendar and iCalendar files into a calendar\n"
    "                            (mireo import-events --help lists the options)\n"
    "  store folders             list the folders of the host store\n"
    "  store mkdir PATH --type contacts|calendar|mail\n"
    "  store add PATH [FILE|-]   add the items of a JSON array\n"
    "  store dump PATH           print the folder's items as JSON\n"
    "  store find PATH --restrict TEXT [--include-recurrences] [--sort PROPERTY]\n"
    "  store clear PATH          move every item of the folder to Deleted Items\n"
    "\n"
    "Global options:\n"
    "  --store FILE      host store database (default $MIREO_STORE, else\n"
    "                    $XDG_DATA_HOME/mireo/store.db)\n"
    "  --registry FILE   registry file (default $MIREO_REGISTRY, else\n"
    "                    $XDG_CONFIG_HOME/mireo/registry.reg)\n"
    "  --help            this text\n"
    "  --version         the version\n";

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v != nullptr && *v != '\0') ? std::string(v) : fallback;
}

std::string DefaultStorePath() {
    std::string data = EnvOr("XDG_DATA_HOME", "");
    if (data.empty()) data = EnvOr("HOME", ".") + "/.local/share";
    return data + "/mireo/store.db";
}

}  // namespace

int main(int argc, char** argv) {
    GlobalOptions options;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!rest.empty()) {
            rest.push_back(a);
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return kExitOk;
        } else if (a == "--version") {
            std::cout << "mireo " << MIREO_VERSION_TEXT << "\n";
            return kExitOk;
        } else if (a == "--store" || a == "--registry") {
            if (i + 1 >= argc) {
                std::cerr << "mireo: " << a << " needs a file name\n";
                return kExitUsage;
            }
            (a == "--store" ? options.storePath : options.registryPath) = argv[++i];
        } else if (a.rfind("--store=", 0) == 0) {
            options.storePath = a.substr(8);
        } else if (a.rfind("--registry=", 0) == 0) {
            options.registryPath = a.substr(11);
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "mireo: unknown option " << a << "\n" << kUsage;
            return kExitUsage;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    // A store the user named must be there (or at least its folder); only the default
    // one is made, folders and all, on first use.
    bool storeNamed = !options.storePath.empty();
    if (!storeNamed) {
        options.storePath = EnvOr("MIREO_STORE", "");
        storeNamed = !options.storePath.empty();
    }
    if (!storeNamed) options.storePath = DefaultStorePath();
    if (!options.registryPath.empty()) mireo::SetRegistryFile(options.registryPath);

    const std::string command = rest.front();
    std::vector<std::string> args(rest.begin() + 1, rest.end());
    if (command == "encodings") return RunEncodingsCommand(options, args, std::cout, std::cerr);
    if (command == "settings") return RunSettingsCommand(options, args, std::cout, std::cerr);
    if ((command == "export-contacts" || command == "import-contacts" || command == "store") &&
        !PrepareStorePath(options.storePath, storeNamed, std::cerr))
        return kExitUsage;
    if (command == "export-contacts") return RunExportContactsCommand(options, args, std::cout, std::cerr);
    if (command == "export-events") return RunExportEventsCommand(options, args, std::cout, std::cerr);
    if (command == "import-contacts") return RunImportContactsCommand(options, args, std::cout, std::cerr);
    if (command == "import-events") return RunImportEventsCommand(options, args, std::cout, std::cerr);
    if (command == "store") return RunStoreCommand(options.storePath, args, std::cout, std::cerr);
    std::cerr << "mireo: unknown command '" << command << "'\n" << kUsage;
    return kExitUsage;
}
