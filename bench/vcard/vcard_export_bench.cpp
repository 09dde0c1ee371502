// The whole contact export run from the substitute store: contacts per second, MB per
// second and peak memory, for 10,000 and 100,000 contacts, into one file and into one
// file per contact; and the writer alone on the same records.
//
// Each measurement runs in a process of its own so that the peak resident size
// (getrusage ru_maxrss) is that case's alone. The store is an SQLite file filled by
// another process first, so its contents do not count towards the export's memory.
//
// Usage: mireo_bench_vcard_export [counts...]          (default 10000 100000)
//        mireo_bench_vcard_export --case populate N STORE    (fill a store file)
//        mireo_bench_vcard_export --case KIND N STORE OUT    (one measurement: one, each, writer)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/vcard/bench_common.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/output_files.h"
#include "ui/progress.h"
#include "vcard/contact_export.h"
#include "vcard/export_parts.h"
#include "vcard/testing/scripted_export_wizard.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

using bench::CpuSeconds;
using bench::CQuietProgressView;
using bench::FillContact;
using bench::PeakKb;

std::uint64_t FolderBytes(const std::string& folder) {
    std::uint64_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.file_size();
    return n;
}

int Populate(int count, const std::string& store) {
    CHostApplication app(DefaultHostStoreOptions(store));
    auto folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
    auto items = folder->Items();
    for (int i = 0; i < count; ++i) {
        auto c = items->Add(ItemType::Contact);
        FillContact(*c, i);
        c->Save();
    }
    return 0;
}

void Report(const char* kind, int count, double seconds, double cpu, std::uint64_t bytes, long baseKb) {
    const long peak = PeakKb();
    std::printf("%-22s %7d contacts  %7.3f s (cpu %6.3f s)  %9.0f contacts/s  %6.1f MB/s  %6.1f MB  peak %6.1f MB "
                "(+%.1f MB)\n",
                kind, count, seconds, cpu, count / seconds, bytes / seconds / 1e6, bytes / 1e6, peak / 1024.0,
                (peak - baseKb) / 1024.0);
}

int ExportCase(const std::string& kind, int count, const std::string& store, const std::string& out) {
    CHostApplication app(DefaultHostStoreOptions(store));
    auto converter = MireoCharConverter::FromModuleDirectory();
    auto files = CreateSystemOutputFiles();
    CSettingsStore settings{UniqueRegKey{}};
    CRecordingLogger log;
    fs::remove_all(out);
    fs::create_directories(out);
    const long baseKb = PeakKb();

    if (kind == "writer") {
        // The writer alone on the same records, read from the store first (not timed).
        auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        auto safe = app.Mapi().CreateSafeContactItem();
        converter->SetCurrentByDisplayName("UTF-8");
        std::vector<ContactRecord> records(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            auto item = items->Item(i);
            safe->SetItem(*item);
            ReadContactRecord(*item, *safe, 11, records[static_cast<std::size_t>(i - 1)]);
        }
        CConverterValueEncoder encoder(*converter);
        VCardWriterOptions options;
        options.hostMajorVersion = 11;
        CvCardWriter writer(encoder, options);
        std::string card;
        std::uint64_t bytes = 0;
        const double cpu0 = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        for (const ContactRecord& r : records) {
            writer.BuildCard(r, card);
            bytes += card.size();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Report("writer alone (2.1)", count, seconds, CpuSeconds() - cpu0, bytes, baseKb);
        return 0;
    }

    const bool oneFile = kind == "one";
    test::CScriptedExportWizard wizard([&](ContactExportChoices& c) {
        c.folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
        c.targetFolder = out;
        c.oneFile = oneFile;
        c.overwrite = false;
        c.format = kVCard21;
        c.encoding = "UTF-8";
        return true;
    });
    CQuietProgressView view;
    ExportEnvironment env{app, app.Mapi(), settings, log, &log, *files, *converter, ";", 1, 0};
    CvCardExport runner(11);
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int result = runner.Run(env, wizard, view);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != kRunDone || wizard.Finishes().size() != 1 || wizard.Finishes()[0].counters.succeeded != count) {
        std::fprintf(stderr, "%s %d: the run did not export every contact\n", kind.c_str(), count);
        return 1;
    }
    const double cpu = CpuSeconds() - cpu0;
    Report(oneFile ? "run, one file" : "run, file per contact", count, seconds, cpu, FolderBytes(out), baseKb);
    fs::remove_all(out);
    return 0;
}

int Child(const std::vector<std::string>& args) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        int rc;
        if (args[0] == "populate") rc = Populate(std::atoi(args[1].c_str()), args[2]);
        else rc = ExportCase(args[0], std::atoi(args[1].c_str()), args[2], args[3]);
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0 && std::strcmp(argv[2], "populate") == 0)
        return Populate(std::atoi(argv[3]), argv[4]);
    if (argc == 6 && std::strcmp(argv[1], "--case") == 0)
        return ExportCase(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {10000, 100000};
    const fs::path work = fs::temp_directory_path() / ("mireo_bench_export_" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    for (int n : counts) {
        const std::string store = (work / ("store-" + std::to_string(n) + ".db")).string();
        const auto start = std::chrono::steady_clock::now();
        status |= Child({"populate", std::to_string(n), store});
        std::printf("(store of %d contacts filled in %.1f s)\n", n,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        for (const char* kind : {"one", "each", "writer"})
            status |= Child({kind, std::to_string(n), store, (work / "out").string()});
    }
    fs::remove_all(work);
    return status;
}
