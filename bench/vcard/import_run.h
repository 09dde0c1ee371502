#pragma once
// What the contact import benchmarks share: an import run, an export run and KDE's
// KContacts parse, each in a forked child so that its peak resident size is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/vcard/bench_common.h"
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

namespace mireo::bench {

namespace fs = std::filesystem;
// The list separator of both the export and the import (the spread's categories use it).
inline constexpr const char* kListSeparator = ";";
// Peak memory allowed beyond twice the file's size.
inline constexpr double kConstantBudgetMiB = 64.0;

// Counts what the run logs instead of keeping it: a run over many cards must not grow
// the benchmark's own memory.
class CCountingLogger : public ILogger {
public:
    void LogMsg(std::string_view text, long, const char*, int level, int) override {
        if (level >= kWarning) ++m_problems;
        if (level >= kWarning && m_first.empty()) m_first = std::string(text);
    }
    int Problems() const { return m_problems; }
    const std::string& First() const { return m_first; }

private:
    int m_problems = 0;
    std::string m_first;
};

// What an import child hands back through its pipe.
struct ImportResult {
    int ok = 0;  // the run ended normally with one finish page
    int contacts = 0;
    int succeeded = 0;
    int skipped = 0;
    int failed = 0;
    int logged = 0;  // warnings and errors logged
    double seconds = 0;
    double cpu = 0;
    long baseKb = 0;  // peak before the run (the program, the converter, the open store)
    long peakKb = 0;
};

inline void RemoveStore(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path + suffix);
}


// The store's default contacts into one file in `dir`, UTF-8.
inline int Export(const std::string& store, const std::string& dir, int format) {
    CHostApplication app(DefaultHostStoreOptions(store));
    auto converter = MireoCharConverter::FromModuleDirectory();
    auto files = CreateSystemOutputFiles();
    CSettingsStore settings{UniqueRegKey{}};
    CCountingLogger log;
    fs::remove_all(dir);
    fs::create_directories(dir);
    test::CScriptedExportWizard wizard([&](ContactExportChoices& c) {
        c.folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
        c.targetFolder = dir;
        c.oneFile = true;
        c.overwrite = true;
        c.format = format;
        c.encoding = "UTF-8";
        return true;
    });
    CQuietProgressView view;
    CRecordingMessageBox box;
    const RunEnvironment env{.app = app,
                             .mapi = app.Mapi(),
                             .settings = settings,
                             .log = log,
                             .help = nullptr,
                             .files = *files,
                             .messages = box,
                             .converter = *converter,
                             .listSeparator = kListSeparator,
                             .product = {1, 0, 0},
                             .hostMajorVersion = app.MajorVersion(11),
                             .progress = view};
    if (RunContactExport(env, wizard) != kRunDone || wizard.Finishes().size() != 1 ||
        wizard.Finishes()[0].counters.failed != 0) {
        std::fprintf(stderr, "export from %s: the run did not export every contact\n", store.c_str());
        return 1;
    }
    return 0;
}

// One import of `file` into the default contacts folder of `store`: keep both, no filter.
inline ImportResult Import(const std::string& file, const std::string& store) {
    ImportResult r;
    auto app = std::make_unique<CHostApplication>(DefaultHostStoreOptions(store));
    auto converter = MireoCharConverter::FromModuleDirectory();
    CSettingsStore settings{UniqueRegKey{}};
    CCountingLogger log;
    CRecordingMessageBox box;
    CQuietProgressView view;
    test::CScriptedImportWizard wizard([&](ContactImportChoices& c) {
        c.folder = app->GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
        c.paths = file;
        c.conflict = kConflictKeepBoth;
        c.filterMask = 0;
        return true;
    });
    const int major = app->MajorVersion(11);
    auto files = CreateSystemOutputFiles();  // the import writes none
    r.baseKb = PeakKb();
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    int result;
    {
        const RunEnvironment env{.app = *app,
                                 .mapi = app->Mapi(),
                                 .settings = settings,
                                 .log = log,
                                 .help = nullptr,
                                 .files = *files,
                                 .messages = box,
                                 .converter = *converter,
                                 .listSeparator = kListSeparator,
                                 .product = {1, 0, 0},
                                 .hostMajorVersion = major,
                                 .progress = view};
        result = RunContactImport(env, wizard);
    }
    app.reset();  // commits the saves not committed yet
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpu = CpuSeconds() - cpu0;
    r.peakKb = PeakKb();
    r.logged = log.Problems();
    if (log.Problems() > 0) std::fprintf(stderr, "import of %s logged: %s\n", file.c_str(), log.First().c_str());
    for (const ShownMessageBox& m : box.Shown()) std::fprintf(stderr, "import of %s showed: %s\n", file.c_str(), m.text.c_str());
    if (result == kRunDone && wizard.Finishes().size() == 1) {
        const ContactImportOutcome& o = wizard.Finishes()[0];
        r.ok = 1;
        r.contacts = o.contacts;
        r.succeeded = o.counters.succeeded;
        r.skipped = o.counters.skipped;
        r.failed = o.counters.failed;
    }
    return r;
}

// The faster of two runs of the same import, with the higher of their peaks; a run
// that failed makes the result fail.
inline ImportResult Faster(const ImportResult& a, const ImportResult& b) {
    ImportResult r = a.seconds <= b.seconds ? a : b;
    r.peakKb = std::max(a.peakKb, b.peakKb);
    r.ok = a.ok && b.ok;
    return r;
}

inline void PrintImport(const char* what, const ImportResult& r) {
    std::printf("%-28s %7d cards  %8.3f s (cpu %7.3f s)  %9.0f cards/s  peak %7.1f MB (+%.1f MB)  "
                "succeeded %d, skipped %d, failed %d\n",
                what, r.contacts, r.seconds, r.cpu, r.contacts / r.seconds, r.peakKb / 1024.0,
                (r.peakKb - r.baseKb) / 1024.0, r.succeeded, r.skipped, r.failed);
}

// Runs `body` in a forked child; its exit status (1 when it did not exit).
template <typename Body>
inline int Child(Body body) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int rc = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// An import in a forked child; its result comes back through a pipe.
inline ImportResult ImportChild(const std::string& file, const std::string& store) {
    int fds[2];
    ImportResult r;
    if (pipe(fds) != 0) return r;
    const int rc = Child([&]() {
        close(fds[0]);
        const ImportResult mine = Import(file, store);
        const bool written = write(fds[1], &mine, sizeof mine) == static_cast<ssize_t>(sizeof mine);
        close(fds[1]);
        return written && mine.ok ? 0 : 1;
    });
    close(fds[1]);
    if (read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = ImportResult{};
    close(fds[0]);
    if (rc != 0) r.ok = 0;
    return r;
}

struct ParseResult {
    bool ran = false;
    double seconds = 0;
    long long addressees = 0;
    long peakKb = 0;
};

// KContacts' parse of `file` by the comparison program beside this one.
inline ParseResult KContactsParse(const std::string& program, const std::string& file) {
    ParseResult r;
    int fds[2];
    if (pipe(fds) != 0) return r;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
    long peak = 0;
    if (std::sscanf(out.c_str(), "parse_seconds=%lf addressees=%lld file_bytes=%*s peak_kb=%ld", &r.seconds,
                    &r.addressees, &peak) == 3) {
        r.ran = true;
        r.peakKb = std::max(peak, usage.ru_maxrss);
    }
    return r;
}

// Prints a KContacts parse and keeps it in `best` when it is the first (`first`) or
// faster; the peak kept is the highest of all. A failed parse is kept as failed.
inline void KeepKContactsParse(ParseResult& best, const ParseResult& r, bool first) {
    if (r.ran) {
        std::printf("%-28s %7lld cards  %8.3f s                  %9.0f cards/s  peak %7.1f MB\n", "KContacts parse",
                    r.addressees, r.seconds, r.addressees / r.seconds, r.peakKb / 1024.0);
    }
    if (first || !r.ran) {
        best = r;
    } else if (best.ran) {
        const long peak = std::max(best.peakKb, r.peakKb);
        if (r.seconds < best.seconds) best = r;
        best.peakKb = peak;
    }
}

}  // namespace mireo::bench
