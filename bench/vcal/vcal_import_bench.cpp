// The calendar import benchmark: a generated calendar of N events in one VCALENDAR, as
// .ics and as .vcs, (1) read by the reader alone, (2) imported into an empty calendar of
// a host store file, store writes included, (3) imported again with keep existing (every
// event found and skipped), with libical's parse of the same file beside it. Each step
// runs in a forked child, so that its peak memory is its own.
//
//     mireo_bench_vcal_import [--repeat R] [COUNT...]     (default 10000 100000)
//
// With --repeat, R rounds go over every file and each measurement keeps its best.
// An import is timed from the opened store to the closed one, as the address book
// benchmark times it.
//
// The targets, PASS or FAIL: the reader at least 4 times faster than libical's parse;
// the whole first import of 100,000 events or more faster than libical's parse (for a
// smaller file the ratio is shown, not judged: the close's syncs, a few milliseconds
// whatever the size, are a good part of it there); the second import at most twice
// the first; at most 11 times the time for 10 times the events, for the reader and for
// the whole import; peak memory at most twice the file plus the peak of an import of a
// tiny file.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "hoststore/host_store.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "ui/progress.h"
#include "vcal/common/system_zone.h"
#include "vcal/import/event_import.h"
#include "vcal/import/vcal_reader.h"

namespace {

using namespace mireo;
namespace fs = std::filesystem;

// ---- the generated calendar ----

std::string Two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string Stamp(int i, int minutesAfter = 0) {
    // Event i starts on a day of 2008..2010 at a quarter hour; every start is its own.
    const int day = i % 1000, slot = i / 1000 % 96;
    const CivilTime c = Split(MakeLocal(2008, 1, 1) + std::chrono::days(day) + std::chrono::minutes(15 * slot + minutesAfter));
    return std::to_string(c.year) + Two(c.month) + Two(c.day) + "T" + Two(c.hour) + Two(c.minute) + "00";
}

std::string Generate(int n, bool ics) {
    std::string s;
    s.reserve(static_cast<std::size_t>(n) * 400);
    s += "BEGIN:VCALENDAR\r\nPRODID:-//Mireo//bench//EN\r\nVERSION:" + std::string(ics ? "2.0" : "1.0") + "\r\n";
    if (ics) {
        s += "BEGIN:VTIMEZONE\r\nTZID:Europe/Prague\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
             "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
             "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
             "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    } else {
        s += "TZ:+01:00\r\nDAYLIGHT:TRUE;+02;20080330T020000;20081026T030000;CET;CEST\r\n";
    }
    const std::string tz = ics ? ";TZID=Europe/Prague" : "";
    for (int i = 0; i < n; ++i) {
        s += "BEGIN:VEVENT\r\nUID:" + std::to_string(100000000 + i) + "AB\r\n";
        s += "DTSTART" + tz + ":" + Stamp(i) + "\r\nDTEND" + tz + ":" + Stamp(i, 45) + "\r\n";
        s += "SUMMARY:Meeting " + std::to_string(i) + (i % 7 == 0 ? (ics ? "\\, room \\;B" : ", room B") : "") + "\r\n";
        s += "LOCATION:Room " + std::to_string(i % 50) + "\r\n";
        if (i % 3 == 0) {
            s += ics ? "DESCRIPTION:Agenda:\\nfirst point\\nsecond point\r\n"
                     : "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:Agenda:=0D=0Afirst point=0D=0Asecond p=\r\noint\r\n";
        }
        s += std::string("CATEGORIES:") + (i % 2 == 0 ? (ics ? "Business,Customers" : "Business;Customers") : "Personal") +
             "\r\n";
        if (i % 5 == 0) s += ics ? "ATTENDEE;CN=Ann;ROLE=REQ-PARTICIPANT:mailto:ann@example.com\r\n"
                                 : "ATTENDEE;ROLE=ATTENDEE:ann@example.com\r\n";
        if (i % 10 == 0) s += ics ? "RRULE:FREQ=WEEKLY;COUNT=10\r\n" : "RRULE:D7 #10\r\n";
        if (i % 4 == 0) s += ics ? "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n" : "";
        s += "END:VEVENT\r\n";
    }
    s += "END:VCALENDAR\r\n";
    return s;
}

// ---- the measured steps ----

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

struct Measure {
    double seconds = 0, seconds2 = 0, cpu = 0, cpu2 = 0;
    long events = 0, peakKb = 0;
    int succeeded = 0, skipped = 0, failed = 0, succeeded2 = 0, skipped2 = 0;
    bool ok = false;
};

template <typename Body>
Measure Child(Body body) {
    int fds[2];
    Measure r;
    if (pipe(fds) != 0) return r;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Measure m = body();
        if (m.peakKb == 0) m.peakKb = PeakKb();
        const bool written = write(fds[1], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    if (read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = Measure{};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return r;
}

// How often the import lets the pages of the file it has read go.
constexpr std::size_t kReleaseBytes = std::size_t{1} << 20;

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The process's cpu time, user and system, in seconds.
double CpuNow() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The reader alone, over the file as the import reads it: mapped, not copied, and the
// pages it has passed let go every megabyte. (Reading the file into a fresh string
// instead would time the first touch of that much new memory, which the import never
// pays, and which grows faster than the file on a machine where page faults are dear.)
Measure ReadOnly(const std::string& file) {
    return Child([&] {
        Measure m;
        std::unique_ptr<MireoCharConverter> converter = MireoCharConverter::FromModuleDirectory();
        long coldPeakKb = 0;
        for (int run = 0; run < 2; ++run) {  // untimed, then timed
            if (run == 1) coldPeakKb = PeakKb();
            m = Measure{};
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = CpuNow();
            CMappedFile mapped;
            std::string reason;
            if (!mapped.Open(file, reason)) return m;
            VCalReaderOptions o;
            o.computerZone = SystemZone();
            CvCalReader reader(converter.get(), o);
            reader.Open(mapped.Bytes(), file);
            EventRecord e;
            std::size_t released = 0;
            while (reader.Next(e) == CvCalReader::Result::kEvent) {
                ++m.events;
                if (reader.Consumed() >= released + kReleaseBytes) {
                    released = reader.Consumed();
                    mapped.Release(released);
                }
            }
            m.seconds = Since(t0);
            m.cpu = CpuNow() - c0;
        }
        m.peakKb = coldPeakKb;
        m.ok = true;
        return m;
    });
}

class CNoLog : public ILogger {
public:
    void LogMsg(std::string_view, long, const char*, int, int) override {}
};
class CNoBox : public IMessageBox {
public:
    MbResult Show(const std::string&, const std::string&, MbIcon, MbButtons) override { return MbResult::Ok; }
};
class CNoProgress : public IProgressView {
public:
    bool Start(CDlgProgress&, void*, std::uint16_t) override { return true; }
    void ShowLabel(const std::string&) override {}
    void ShowStatus(std::int32_t, std::int32_t, const std::string&) override {}
    void Close() override {}
};
class CWizard : public IEventImportWizard {
public:
    CWizard(IApplication& app, std::string path, int conflict) : m_app(app), m_path(std::move(path)), m_conflict(conflict) {}
    bool Run(EventImportChoices& c) override {
        c.folder = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
        c.paths = "\"" + m_path + "\"";
        c.conflict = m_conflict;
        if (const auto z = SystemZone()) c.zone = *z;
        return true;
    }
    void Finish(const EventImportOutcome& o) override { outcome = o; }
    EventImportOutcome outcome;

private:
    IApplication& m_app;
    std::string m_path;
    int m_conflict;
};

// The first import into an empty calendar of a store file, then the same again with
// keep existing; once untimed into a store file of its own, then timed into a fresh one.
// Each import is a run of its own, as a user's two imports would be: the store is
// opened before the clock starts and closed before it stops, so that the time holds
// the store's writes to its file (the close moves the log into the file).
Measure ImportTwice(const std::string& file, const std::string& store) {
    return Child([&] {
        Measure m;
        long coldPeakKb = 0;
        std::unique_ptr<MireoCharConverter> converter = MireoCharConverter::FromModuleDirectory();
        for (int run = 0; run < 2; ++run) {
            if (run == 1) coldPeakKb = PeakKb();
            m = Measure{};
            const std::string storeFile = run == 0 ? store + ".warm" : store;
            fs::remove(storeFile);
            fs::remove(storeFile + "-wal");
            fs::remove(storeFile + "-shm");
            for (int pass = 0; pass < 2; ++pass) {
                auto app = std::make_unique<CHostApplication>(HostStoreOptions{storeFile, u"11.0.0.0", "M/d/yyyy"});
                CSettingsStore settings{UniqueRegKey{}};
                CNoLog log;
                CNoBox box;
                CNoProgress progress;
                auto files = CreateSystemOutputFiles();
                CWizard wizard(*app, file, pass == 0 ? kEventConflictKeepBoth : kEventConflictKeepExisting);
                const auto t0 = std::chrono::steady_clock::now();
                const double c0 = CpuNow();
                {
                    RunEnvironment env{.app = *app, .mapi = app->Mapi(), .settings = settings, .log = log,
                                       .help = nullptr, .files = *files, .messages = box, .converter = *converter,
                                       .listSeparator = ",", .product = {1, 0, 0}, .hostMajorVersion = 11,
                                       .progress = progress};
                    if (RunEventImport(env, wizard) != kRunDone) return m;
                }
                app.reset();
                (pass == 0 ? m.seconds : m.seconds2) = Since(t0);
                (pass == 0 ? m.cpu : m.cpu2) = CpuNow() - c0;
                if (pass == 0) {
                    m.succeeded = wizard.outcome.counters.succeeded;
                    m.skipped = wizard.outcome.counters.skipped;
                    m.failed = wizard.outcome.counters.failed;
                    m.events = wizard.outcome.events;
                } else {
                    m.succeeded2 = wizard.outcome.counters.succeeded;
                    m.skipped2 = wizard.outcome.counters.skipped;
                }
            }
        }
        fs::remove(store + ".warm");
        m.peakKb = coldPeakKb;
        m.ok = true;
        return m;
    });
}

struct LibicalResult {
    bool ran = false;
    double seconds = 0, cpu = 0;
    long events = 0, peakKb = 0;
};

LibicalResult Libical(const std::string& program, const std::string& file) {
    LibicalResult r;
    if (access(program.c_str(), X_OK) != 0) return r;
    const std::string cmd = "'" + program + "' '" + file + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[256] = {};
    const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
    const int status = pclose(p);
    if (got && status == 0 &&
        std::sscanf(buf, "parse_seconds=%lf events=%ld peak_kb=%ld cpu_seconds=%lf", &r.seconds, &r.events, &r.peakKb,
                    &r.cpu) == 4)
        r.ran = true;
    return r;
}

const char* Verdict(bool ok) { return ok ? "PASS" : "FAIL"; }

// The size from which the whole import is held to libical's parse.
constexpr int kWholeImportEvents = 100000;

}  // namespace

int main(int argc, char** argv) {
    int repeat = 1;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else counts.push_back(std::atoi(a.c_str()));
    }
    if (counts.empty()) counts = {10000, 100000};
    std::sort(counts.begin(), counts.end());
    const fs::path dir = fs::temp_directory_path() / ("mireo_bench_vcal_" + std::to_string(getpid()));
    fs::create_directories(dir);
    SetRegistryFile((dir / "zones.reg").string());
    const std::string libical = (fs::canonical("/proc/self/exe").parent_path() / "mireo_bench_libical_parse").string();

    // The constant of the memory target: an import of a tiny file.
    const std::string tiny = (dir / "tiny.ics").string();
    std::ofstream(tiny, std::ios::binary) << Generate(10, true);
    const long baseKb = ImportTwice(tiny, (dir / "tiny.db").string()).peakKb;

    struct Row {
        Measure read, import;
        LibicalResult lib;
        long fileKb = 0;
    };
    std::map<std::pair<bool, int>, Row> rows;
    bool all = true;
    std::printf("%-4s %7s %8s | %7s %7s %8s %7s | %7s %7s %7s %7s %7s %7s | %9s %7s %7s\n", "fmt", "events",
                "file MB", "read s", "cpu", "ev/s", "peak MB", "import", "cpu", "ev/s", "again", "cpu", "peak MB",
                "libical s", "cpu", "peak MB");
    // The files first; then the repeats go round all of them, so that each measurement's
    // best is taken from runs spread over the whole sitting: a machine that is slow for
    // a minute then slows one run of each size rather than every run of one size, and
    // the growth from size to size is not that minute's.
    const auto fileOf = [&](int n, bool ics) {
        return (dir / ("events" + std::to_string(n) + (ics ? ".ics" : ".vcs"))).string();
    };
    // Each written by a child of its own: the memory of the largest file's text would
    // otherwise stay with this process and be counted in the peak of every child after.
    for (const int n : counts) {
        for (const bool ics : {true, false}) {
            Child([&] {
                Measure m;
                std::ofstream f(fileOf(n, ics), std::ios::binary);
                f << Generate(n, ics);
                m.ok = static_cast<bool>(f.flush());
                return m;
            });
        }
    }
    for (int r = 0; r < repeat; ++r) {
        for (const int n : counts) {
            for (const bool ics : {true, false}) {
                const std::string file = fileOf(n, ics);
                Row& row = rows[{ics, n}];
                row.fileKb = static_cast<long>(fs::file_size(file) / 1024);
                const Measure rd = ReadOnly(file);
                if (r == 0 || rd.seconds < row.read.seconds) row.read = rd;
                const Measure im = ImportTwice(file, (dir / "store.db").string());
                if (r == 0 || im.seconds < row.import.seconds) row.import = im;
                const LibicalResult lr = Libical(libical, file);
                if (r == 0 || (lr.ran && lr.seconds < row.lib.seconds)) row.lib = lr;
            }
        }
    }
    for (const int n : counts) {
        for (const bool ics : {true, false}) {
            const Row& row = rows[{ics, n}];
            char lib[64] = "   failed       -       -";
            if (row.lib.ran)
                std::snprintf(lib, sizeof lib, "%9.3f %7.3f %7.1f", row.lib.seconds, row.lib.cpu, row.lib.peakKb / 1024.0);
            std::printf("%-4s %7d %8.1f | %7.3f %7.3f %8.0f %7.1f | %7.3f %7.3f %7.0f %7.3f %7.3f %7.1f | %s\n",
                        ics ? "ics" : "vcs", n, row.fileKb / 1024.0, row.read.seconds, row.read.cpu,
                        row.read.events / std::max(row.read.seconds, 1e-9), row.read.peakKb / 1024.0,
                        row.import.seconds, row.import.cpu, row.import.events / std::max(row.import.seconds, 1e-9),
                        row.import.seconds2, row.import.cpu2, row.import.peakKb / 1024.0, lib);
            if (row.import.succeeded != n || row.import.skipped2 != n || row.read.events != n) {
                std::printf("     counts: read %ld, first import %d imported %d skipped %d failed, again %d skipped\n",
                            row.read.events, row.import.succeeded, row.import.skipped, row.import.failed,
                            row.import.skipped2);
                all = false;
            }
            if (row.lib.ran && row.lib.events != n)
                std::printf("     libical gave %ld of %d events\n", row.lib.events, n);
        }
    }
    std::printf("\nTargets (memory constant: %.1f MB, the import of a 10-event file):\n", baseKb / 1024.0);
    for (const bool ics : {true, false}) {
        const char* fmt = ics ? "ics" : "vcs";
        for (const int n : counts) {
            const Row& r = rows[{ics, n}];
            if (r.lib.ran && r.lib.events == n) {
                const bool fast = r.read.seconds * 4 <= r.lib.seconds;
                const bool judged = n >= kWholeImportEvents;
                const bool whole = !judged || r.import.seconds < r.lib.seconds;
                std::printf("  %s %6d: reader %.1fx libical's parse (>= 4): %s; whole import %.2fx libical's parse (< 1): %s\n",
                            fmt, n, r.lib.seconds / std::max(r.read.seconds, 1e-9), Verdict(fast),
                            r.import.seconds / r.lib.seconds, judged ? Verdict(whole) : "not judged below 100000");
                all = all && fast && whole;
            } else {
                std::printf("  %s %6d: libical %s: the comparison targets cannot be checked\n", fmt, n,
                            r.lib.ran ? "read only part of the file" : "failed on the file");
            }
            const bool again = r.import.seconds2 <= 2 * r.import.seconds;
            const bool memory = r.import.peakKb <= 2 * r.fileKb + baseKb && r.read.peakKb <= 2 * r.fileKb + baseKb;
            std::printf("  %s %6d: second import %.2fx the first (<= 2): %s; peak %.1f MB <= 2 x %.1f + %.1f MB: %s\n",
                        fmt, n, r.import.seconds2 / std::max(r.import.seconds, 1e-9), Verdict(again),
                        r.import.peakKb / 1024.0, r.fileKb / 1024.0, baseKb / 1024.0, Verdict(memory));
            all = all && again && memory;
        }
        for (std::size_t i = 1; i < counts.size(); ++i) {
            const Row& a = rows[{ics, counts[i - 1]}];
            const Row& b = rows[{ics, counts[i]}];
            const double factor = static_cast<double>(counts[i]) / counts[i - 1];
            const double growth = b.import.seconds / std::max(a.import.seconds, 1e-9);
            const double readGrowth = b.read.seconds / std::max(a.read.seconds, 1e-9);
            const bool ok = growth <= factor * 1.1 && readGrowth <= factor * 1.1;
            std::printf("  %s %d -> %d events: import %.1fx, reader %.1fx (<= %.0f): %s\n", fmt, counts[i - 1],
                        counts[i], growth, readGrowth, factor * 1.1, Verdict(ok));
            all = all && ok;
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    std::printf("%s\n", all ? "all targets met" : "some targets not met");
    return all ? 0 : 1;
}
