// The whole contact import run into the substitute store, for 10,000 and 100,000 cards
// of one file as Mireo's export writes it: into an empty contacts folder, then the same
// file again into the folder that now holds them (every card found identical and
// skipped); and, side by side, KDE's KContacts parsing the same file.
//
// Each measurement runs in a process of its own so that the peak resident size
// (getrusage ru_maxrss) is that case's alone. The file is written by other processes
// first: one fills a store with the contacts, another exports them into one file.
// The import's time covers the whole run (the count of the cards, reading, parsing,
// the duplicate search and the saves) and the store's closing, which commits the last
// saves.
//
// Usage: mireo_bench_vcard_import [--format 2.1|3.0]... [--repeat R] [counts...]
//            default: both formats, 10000 and 100000 cards, each timing once. With R
//            repeats each timing is taken R times and the fastest is shown (the first
//            import into a fresh store each time), with the highest peak: on a shared
//            machine the fastest run is the one least slowed by other programs.
//        mireo_bench_vcard_import --case populate N STORE        (fill a store file)
//        mireo_bench_vcard_import --case export STORE DIR 21|30  (its contacts into DIR/Contacts.vcf)
//        mireo_bench_vcard_import --case import FILE STORE       (one import, keep both)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"
#include "vcard/testing/scripted_export_wizard.h"
#include "vcard/testing/scripted_import_wizard.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using namespace bench;

constexpr double kMiB = 1024.0 * 1024.0;

int Populate(int count, const std::string& store) {
    RemoveStore(store);
    CHostApplication app(DefaultHostStoreOptions(store));
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
    for (int i = 0; i < count; ++i) {
        auto c = items->Add(ItemType::Contact);
        bench::FillContact(*c, i);
        c->Save();
    }
    return 0;
}

// The first `cards` cards of `from` into `to`.
void CopyFirstCards(const std::string& from, const std::string& to, int cards) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    std::string line;
    int n = 0;
    while (n < cards && std::getline(in, line)) {
        out << line << '\n';
        if (line.rfind("END:VCARD", 0) == 0) ++n;
    }
}

struct Row {
    int count = 0;
    int format = kVCard30;
    std::uint64_t fileBytes = 0;
    ImportResult first, second;
    ParseResult kcontacts;
    bool countersOk = false;
};

const char* FormatName(int format) { return format == kVCard21 ? "2.1" : "3.0"; }

std::string Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0 && std::strcmp(argv[2], "populate") == 0)
        return Populate(std::atoi(argv[3]), argv[4]);
    if (argc == 6 && std::strcmp(argv[1], "--case") == 0 && std::strcmp(argv[2], "export") == 0)
        return Export(argv[3], argv[4], std::atoi(argv[5]) == 30 ? kVCard30 : kVCard21);
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0 && std::strcmp(argv[2], "import") == 0) {
        const ImportResult r = Import(argv[3], argv[4]);
        PrintImport("import", r);
        return r.ok ? 0 : 1;
    }

    std::vector<int> counts;
    std::vector<int> formats;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc) {
            formats.push_back(std::strcmp(argv[++i], "2.1") == 0 ? kVCard21 : kVCard30);
        } else {
            counts.push_back(std::atoi(argv[i]));
        }
    }
    if (counts.empty()) counts = {10000, 100000};
    if (formats.empty()) formats = {kVCard30, kVCard21};

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string kcontacts = (self.parent_path() / "mireo_bench_kcontacts_parse").string();
    const bool haveKContacts = access(kcontacts.c_str(), X_OK) == 0;
    const fs::path work = fs::temp_directory_path() / ("mireo_bench_import_" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    std::vector<Row> rows;
    ImportResult baseline;

    for (int n : counts) {
        const std::string source = (work / ("source-" + std::to_string(n) + ".db")).string();
        auto t0 = std::chrono::steady_clock::now();
        status |= Child([&]() { return Populate(n, source); });
        std::printf("(store of %d contacts filled in %.1f s)\n", n,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        for (int format : formats) {
            Row row;
            row.count = n;
            row.format = format;
            const std::string dir = (work / "out").string();
            const std::string file = (work / ("cards-" + std::to_string(n) + "-" + FormatName(format) + ".vcf")).string();
            t0 = std::chrono::steady_clock::now();
            if (Child([&]() { return Export(source, dir, format); }) != 0 || !fs::exists(fs::path(dir) / "Contacts.vcf")) {
                std::fprintf(stderr, "%d contacts: the export wrote no file\n", n);
                status = 1;
                continue;
            }
            fs::rename(fs::path(dir) / "Contacts.vcf", file);
            row.fileBytes = fs::file_size(file);
            std::printf("(%d cards exported as vCard %s in %.1f s: %s, %.1f MB)\n", n, FormatName(format),
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), file.c_str(),
                        row.fileBytes / kMiB);

            if (rows.empty()) {
                // The constant: an import of ten cards into a fresh store.
                const std::string tiny = (work / "tiny.vcf").string();
                const std::string tinyStore = (work / "tiny.db").string();
                CopyFirstCards(file, tiny, 10);
                RemoveStore(tinyStore);
                baseline = ImportChild(tiny, tinyStore);
                PrintImport("baseline (10 cards)", baseline);
            }

            const std::string store = (work / ("import-" + std::to_string(n) + ".db")).string();
            RemoveStore(store);
            for (int k = 0; k < repeat; ++k) {
                RemoveStore(store);
                const ImportResult r = ImportChild(file, store);
                PrintImport("import into an empty folder", r);
                row.first = k == 0 ? r : Faster(row.first, r);
            }
            // The second import skips every card, so the store stays as the first left it.
            for (int k = 0; k < repeat; ++k) {
                const ImportResult r = ImportChild(file, store);
                PrintImport("import again (all identical)", r);
                row.second = k == 0 ? r : Faster(row.second, r);
            }
            row.countersOk = row.first.ok && row.second.ok && row.first.contacts == n && row.first.succeeded == n &&
                             row.first.skipped == 0 && row.first.failed == 0 && row.second.contacts == n &&
                             row.second.skipped == n && row.second.succeeded == 0 && row.second.failed == 0;
            if (!row.countersOk) {
                std::printf("  counters not as expected: the first import must save every card, the second skip every one\n");
                status = 1;
            }
            if (haveKContacts) {
                for (int k = 0; k < repeat; ++k) {
                    const ParseResult r = KContactsParse(kcontacts, file);
                    if (!r.ran) std::printf("KContacts: %s failed\n", kcontacts.c_str());
                    KeepKContactsParse(row.kcontacts, r, k == 0);
                }
            }
            RemoveStore(store);
            fs::remove(file);
            rows.push_back(row);
        }
        RemoveStore(source);
    }
    fs::remove_all(work);

    std::printf("\n%7s %5s %7s | %10s %8s %7s | %10s %8s %7s | %11s %7s\n", "N", "vCard", "file MB", "import-1 s",
                "cards/s", "peak MB", "import-2 s", "cards/s", "peak MB", "KContacts s", "peak MB");
    for (const Row& r : rows) {
        char kc[48];
        if (r.kcontacts.ran) {
            std::snprintf(kc, sizeof kc, "%11.3f %7.1f", r.kcontacts.seconds, r.kcontacts.peakKb / 1024.0);
        } else {
            std::snprintf(kc, sizeof kc, "%11s %7s", haveKContacts ? "failed" : "not built", "");
        }
        std::printf("%7d %5s %7.1f | %10.3f %8.0f %7.1f | %10.3f %8.0f %7.1f | %s%s\n", r.count, FormatName(r.format),
                    r.fileBytes / kMiB, r.first.seconds, r.count / r.first.seconds, r.first.peakKb / 1024.0,
                    r.second.seconds, r.count / r.second.seconds, r.second.peakKb / 1024.0, kc,
                    r.countersOk ? "" : "  (counters wrong)");
    }
    if (!haveKContacts) std::printf("KContacts: not built (%s)\n", kcontacts.c_str());
    std::printf("(MB: 2^20 bytes; times are wall-clock seconds%s)\n",
                repeat > 1 ? ", the fastest of the repeats; peaks the highest" : "");

    for (int format : formats) {
        const Row* small = nullptr;
        const Row* large = nullptr;
        for (const Row& r : rows) {
            if (r.format != format) continue;
            if (small == nullptr || r.count < small->count) small = &r;
            if (large == nullptr || r.count > large->count) large = &r;
        }
        if (large == nullptr) continue;
        std::printf("\nvCard %s\n", FormatName(format));
        if (small != large) {
            std::printf("growth %d -> %d cards (%.0fx): import-1 time %.1fx, import-2 time %.1fx", small->count,
                        large->count, static_cast<double>(large->count) / small->count,
                        large->first.seconds / small->first.seconds, large->second.seconds / small->second.seconds);
            if (small->kcontacts.ran && large->kcontacts.ran)
                std::printf(", KContacts parse %.1fx", large->kcontacts.seconds / small->kcontacts.seconds);
            std::printf("\n");
        }
        const double fileMiB = large->fileBytes / kMiB;
        const double limit = 2 * fileMiB + kConstantBudgetMiB;
        std::printf("constant: the baseline import of 10 cards peaks at %.1f MB (budget %.0f MB)\n",
                    baseline.peakKb / 1024.0, kConstantBudgetMiB);
        std::string a = "n/a (KContacts not built)";
        if (large->kcontacts.ran) a = Verdict(large->first.seconds < large->kcontacts.seconds);
        if (haveKContacts && !large->kcontacts.ran) a = "FAIL (KContacts did not run)";
        char parse[32] = "-";
        if (large->kcontacts.ran) std::snprintf(parse, sizeof parse, "%.3f s", large->kcontacts.seconds);
        std::printf("(a) import of %d into an empty folder %.3f s < KContacts parse %s: %s\n", large->count,
                    large->first.seconds, parse, a.c_str());
        const bool b = large->second.seconds <= 2 * large->first.seconds;
        std::printf("(b) second import %.3f s <= 2 x first %.3f s: %s\n", large->second.seconds,
                    large->first.seconds, Verdict(b).c_str());
        const double peak = std::max(large->first.peakKb, large->second.peakKb) / 1024.0;
        const bool c = peak <= limit && baseline.peakKb / 1024.0 <= kConstantBudgetMiB;
        std::printf("(c) peak %.1f MB <= 2 x file %.1f MB + %.0f MB = %.1f MB: %s\n", peak, fileMiB,
                    kConstantBudgetMiB, limit, Verdict(c).c_str());
        if (!b || !c || a.starts_with("FAIL")) status = 1;
    }
    return status;
}
