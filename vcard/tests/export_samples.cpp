// Exports contacts from a JSON file through the whole export run, for an independent
// parser to check. The contacts are put into the substitute host store's contacts
// folder (":memory:") in file order; each configuration writes one file:
//   OUTPUT/<21|30>-<charset>/Contacts.vcf
// Usage: mireo_vcard_export_samples CONTACTS.json OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "hoststore/item_json.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcard/contact_export.h"
#include "vcard/testing/scripted_export_wizard.h"

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CONTACTS.json OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const ItemJson contacts = ItemJson::parse(in);
    CHostApplication app(DefaultHostStoreOptions(":memory:"));
    auto folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
    auto items = folder->Items();
    auto utils = app.Mapi().CreateMapiUtils();
    for (const auto& c : contacts) AddItemFromJson(*items, kFolderContact, c, *utils);

    auto converter = MireoCharConverter::FromModuleDirectory();
    auto files = CreateSystemOutputFiles();
    CSettingsStore settings{UniqueRegKey{}};
    CRecordingLogger log;
    struct Config {
        int format;
        const char* display;
        const char* charset;
    } configs[] = {
        {21, "UTF-8", "UTF-8"},
        {30, "UTF-8", "UTF-8"},
        {21, "Western European (Windows-1252)", "windows-1252"},
        {30, "Western European (Windows-1252)", "windows-1252"},
    };
    int status = 0;
    for (const Config& cfg : configs) {
        const std::string target =
            (std::filesystem::path(argv[2]) / (std::to_string(cfg.format) + "-" + cfg.charset)).string();
        std::filesystem::create_directories(target);
        test::CScriptedExportWizard wizard([&](ContactExportChoices& c) {
            c.folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
            c.targetFolder = target;
            c.oneFile = true;
            c.overwrite = true;
            c.format = cfg.format;
            c.encoding = cfg.display;
            return true;
        });
        CScriptedProgressView view;
        CRecordingMessageBox box;
        const RunEnvironment env{.app = app,
                                 .mapi = app.Mapi(),
                                 .settings = settings,
                                 .log = log,
                                 .help = &log,
                                 .files = *files,
                                 .messages = box,
                                 .converter = *converter,
                                 .listSeparator = ";",
                                 .product = {1, 0, 0},
                                 .hostMajorVersion = app.MajorVersion(9),
                                 .progress = view};
        if (RunContactExport(env, wizard) != kRunDone || wizard.Finishes().size() != 1) {
            std::fprintf(stderr, "%s: the run did not finish\n", target.c_str());
            status = 1;
            continue;
        }
        const RunCounters& n = wizard.Finishes()[0].counters;
        std::printf("%s: %d completed, %d failed, %d skipped\n", target.c_str(), n.succeeded, n.failed, n.skipped);
        if (n.failed != 0 || n.skipped != 0 || n.succeeded != static_cast<int>(contacts.size())) status = 1;
    }
    for (const LoggedMessage& m : log.Messages()) std::fprintf(stderr, "log: %s (%s)\n", m.text.c_str(), m.source.c_str());
    return status;
}
