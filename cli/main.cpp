// A minimal front end that only knows "store"; the full command line replaces it.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/store_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string store;
    if (const char* s = std::getenv("MIREO_STORE"); s && *s) {
        store = s;
    } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        store = std::string(x) + "/mireo/store.db";
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        store = std::string(h) + "/.local/share/mireo/store.db";
    }
    if (args.size() >= 2 && args[0] == "--store") {
        store = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0] != "store") {
        std::cerr << "usage: mireo [--store FILE] store SUBCOMMAND ...\n";
        return 2;
    }
    args.erase(args.begin());
    return mireo::cli::RunStoreCommand(store, args, std::cout, std::cerr);
}
