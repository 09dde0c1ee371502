// The whole contact export run from the substitute store: contacts per second, MB per
// second and peak memory, for 10,000 and 100,000 contacts, into one file and into one
// file per contact; and the writer alone on the same records.
//
// Each measurement runs in a process of its own so that the peak resident size
// (getrusage ru_maxrss) is that case's alone. The store is an SQLite file filled by
// another process first, so its contents do not count towards the export's memory.
// Every run writes into a folder of its own, and all of them are removed at the end:
// on an ext4 file system without a journal, creating files shortly (up to minutes)
// after many were deleted in the same place costs the kernel a scan past the freed
// inodes for every new file, which would be measured as the export's time.
//
// Usage: mireo_bench_vcard_export [--repeat R] [counts...]   (default 10000 100000)
//            With R repeats every export is run R times and the summary shows the
//            fastest (wall clock and processor time each) and the highest peak.
//        mireo_bench_vcard_export --case populate N STORE    (fill a store file)
//        mireo_bench_vcard_export --case KIND N STORE OUT    (one measurement: one, each,
//            writer; OUT is left as written)
//        mireo_bench_vcard_export --import BOOK STORE        (fill a store from a vCard file,
//            such as mireo_bench_address_book --write gives)
//        mireo_bench_vcard_export --export30 STORE OUT       (the store's contacts into one
//            vCard 3.0 file, as the address book benchmark exports them: for profilers)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/vcard/bench_common.h"
#include "bench/vcard/import_run.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
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

// One export's figures, for the summary.
struct Result {
    double seconds = 0, cpu = 0;
    long peakKb = 0, addedKb = 0;
};

// Where a measuring child process hands its Result to the parent (-1: nowhere).
int g_resultFd = -1;

void Report(const char* kind, int count, double seconds, double cpu, std::uint64_t bytes, long baseKb) {
    const long peak = PeakKb();
    if (g_resultFd >= 0) {
        const Result r{seconds, cpu, peak, peak - baseKb};
        if (write(g_resultFd, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::perror("result");
    }
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
                             .hostMajorVersion = 11,
                             .progress = view};
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int result = RunContactExport(env, wizard);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != kRunDone || wizard.Finishes().size() != 1 || wizard.Finishes()[0].counters.succeeded != count) {
        std::fprintf(stderr, "%s %d: the run did not export every contact\n", kind.c_str(), count);
        return 1;
    }
    const double cpu = CpuSeconds() - cpu0;
    Report(oneFile ? "run, one file" : "run, file per contact", count, seconds, cpu, FolderBytes(out), baseKb);
    return 0;
}

// Runs one case in a child process; its figures in *result when given.
int Child(const std::vector<std::string>& args, Result* result = nullptr) {
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        g_resultFd = fds[1];
        int rc;
        if (args[0] == "populate") rc = Populate(std::atoi(args[1].c_str()), args[2]);
        else rc = ExportCase(args[0], std::atoi(args[1].c_str()), args[2], args[3]);
        std::fflush(stdout);
        _exit(rc);
    }
    close(fds[1]);
    Result r;
    const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (result) *result = r;
    if (result && !got) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The fastest of two runs (wall and processor time each) with the higher peak.
Result Fastest(const Result& a, const Result& b) {
    return Result{std::min(a.seconds, b.seconds), std::min(a.cpu, b.cpu), std::max(a.peakKb, b.peakKb),
                  std::max(a.addedKb, b.addedKb)};
}

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0 && std::strcmp(argv[2], "populate") == 0)
        return Populate(std::atoi(argv[3]), argv[4]);
    if (argc == 6 && std::strcmp(argv[1], "--case") == 0)
        return ExportCase(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
    if (argc == 4 && std::strcmp(argv[1], "--import") == 0) {
        const bench::ImportResult r = bench::Import(argv[2], argv[3]);
        std::printf("imported %d of %d cards in %.3f s (cpu %.3f s)\n", r.succeeded, r.contacts, r.seconds, r.cpu);
        return r.ok && r.failed == 0 ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--export30") == 0) {
        const double cpu0 = bench::CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const int rc = bench::Export(argv[2], argv[3], kVCard30);
        std::printf("exported in %.3f s (cpu %.3f s)\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                    bench::CpuSeconds() - cpu0);
        return rc;
    }
    std::vector<int> counts;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty()) counts = {10000, 100000};
    const fs::path work = fs::temp_directory_path() / ("mireo_bench_export_" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    struct Row {
        int n;
        Result one, each;
    };
    std::vector<Row> rows;
    int run = 0;
    for (int n : counts) {
        const std::string store = (work / ("store-" + std::to_string(n) + ".db")).string();
        const auto start = std::chrono::steady_clock::now();
        status |= Child({"populate", std::to_string(n), store});
        std::printf("(store of %d contacts filled in %.1f s)\n", n,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        Row row{n, {}, {}};
        for (int k = 0; k < repeat; ++k) {
            for (const char* kind : {"one", "each"}) {
                Result r;
                const std::string out = (work / ("out-" + std::to_string(++run))).string();
                status |= Child({kind, std::to_string(n), store, out}, &r);
                Result& best = kind == std::string("one") ? row.one : row.each;
                best = k == 0 ? r : Fastest(best, r);
            }
        }
        status |= Child({"writer", std::to_string(n), store, (work / ("out-" + std::to_string(++run))).string()});
        rows.push_back(row);
    }

    std::printf("\n%8s | %-38s | %-38s\n", "", "one file", "file per contact");
    std::printf("%8s | %8s %8s %9s %10s | %8s %8s %9s %10s\n", "contacts", "s", "cpu s", "peak MB", "added MB", "s",
                "cpu s", "peak MB", "added MB");
    for (const Row& r : rows) {
        std::printf("%8d | %8.3f %8.3f %9.1f %10.1f | %8.3f %8.3f %9.1f %10.1f\n", r.n, r.one.seconds, r.one.cpu,
                    r.one.peakKb / 1024.0, r.one.addedKb / 1024.0, r.each.seconds, r.each.cpu, r.each.peakKb / 1024.0,
                    r.each.addedKb / 1024.0);
    }
    if (repeat > 1) std::printf("(the fastest of %d runs, the highest peak)\n", repeat);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row& a = rows[i - 1];
        const Row& b = rows[i];
        std::printf("growth %d -> %d contacts (%.0fx): one file %.1fx (cpu %.1fx), peak %+.1f MB; "
                    "file per contact %.1fx (cpu %.1fx), peak %+.1f MB\n",
                    a.n, b.n, static_cast<double>(b.n) / a.n, b.one.seconds / a.one.seconds, b.one.cpu / a.one.cpu,
                    (b.one.peakKb - a.one.peakKb) / 1024.0, b.each.seconds / a.each.seconds, b.each.cpu / a.each.cpu,
                    (b.each.peakKb - a.each.peakKb) / 1024.0);
        if (b.n == 10 * a.n && b.n == 100000) {
            // The targets (wall clock; on a busy machine compare the processor times too).
            std::printf("(a) %d contacts into one file in %.3f s < 2 s: %s\n", b.n, b.one.seconds,
                        b.one.seconds < 2 ? "PASS" : "FAIL");
            std::printf("(b) growth <= 11x: one file %.1fx %s, file per contact %.1fx %s\n",
                        b.one.seconds / a.one.seconds, b.one.seconds / a.one.seconds <= 11 ? "PASS" : "FAIL",
                        b.each.seconds / a.each.seconds, b.each.seconds / a.each.seconds <= 11 ? "PASS" : "FAIL");
            // A megabyte of slack: the peak is counted in pages and varies a little.
            std::printf("(c) one-file peak %.1f MB at %d, %.1f MB at %d (not growing): %s\n", a.one.peakKb / 1024.0, a.n,
                        b.one.peakKb / 1024.0, b.n, b.one.peakKb <= a.one.peakKb + 1024 ? "PASS" : "FAIL");
        }
    }
    fs::remove_all(work);
    return status;
}
