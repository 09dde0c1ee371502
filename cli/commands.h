#pragma once
// The subcommands of the mireo command line. Each returns the process exit status:
// 0 done, 1 an item failed, 2 invalid options or a run that could not start.
#include <iosfwd>
#include <string>
#include <vector>

namespace mireo::cli {

constexpr int kExitOk = 0;
constexpr int kExitItemFailed = 1;
constexpr int kExitUsage = 2;

struct GlobalOptions {
    std::string storePath;     // the host store database
    std::string registryPath;  // empty: the default registry file
};

int RunEncodingsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err);
int RunSettingsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err);
// mireo export-contacts [FOLDER] --to DIR [options] (cli/export_contacts_command.h).
int RunExportContactsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err);

// mireo export-events [FOLDER] --to DIR [options] (cli/export_events_command.h).
int RunExportEventsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err);

// mireo import-contacts [options] [PATH...] (cli/import_contacts_command.h).
int RunImportContactsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err);

// mireo import-events [options] [PATH...] (cli/import_events_command.h).
int RunImportEventsCommand(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err);

}  // namespace mireo::cli
