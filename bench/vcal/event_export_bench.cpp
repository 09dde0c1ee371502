// The whole event export run from the substitute store: events per second and peak
// memory for 10,000 and 100,000 events (a fifth of them recurring with a deleted and a
// moved occurrence, in three zones of their own), into one .ics, one .vcs and one .ics
// per event; beside it libical serialising the same events, already parsed into memory
// from the .ics Mireo wrote (icalcomponent_as_ical_string), in the same run.
//
// Each measurement runs in a process of its own so that its peak resident size is its
// own; the store is filled by another process first.
//
// Usage: mireo_bench_event_export [counts...]   (default 10000 100000)
//        mireo_bench_event_export --case populate N STORE
//        mireo_bench_event_export --case ics|vcs|each N STORE OUT
//        mireo_bench_event_export --case libical N FILE
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef MIREO_BENCH_LIBICAL
#include <libical/ical.h>
#endif

#include "bench/vcard/bench_common.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "vcal/common/item_zone.h"
#include "vcal/export/event_export.h"
#include "vcal/export/event_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using bench::CpuSeconds;
using bench::CQuietProgressView;
using bench::PeakKb;
using bench::Text;

// Zone rules (48 bytes) of the three zones the recurring events carry.
const std::string kZoneHex[] = {
    "2C01000000000000C4FFFFFF000000000B00000001000200000000000000000000000300000002000200000000000000",
    "C4FFFFFF00000000C4FFFFFF000000000A00000005000300000000000000000000000300000005000200000000000000",
    "B6FEFFFF" + std::string(88, '0')};
const char16_t* const kZoneNames[] = {u"(GMT-05:00) Eastern Time (US & Canada)",
                                      u"(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna",
                                      u"(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi"};

// The start of occurrence n of a series: daily, weekly, monthly or yearly steps.
OleDate Occurrence(OleDate start, int type, int n) {
    if (type == 0) return start + n;
    if (type == 1) return start + 7.0 * n;
    CivilTime c = SplitOleDate(start);
    const int months = type == 2 ? n : 12 * n;
    c.month += months;
    c.year += (c.month - 1) / 12;
    c.month = (c.month - 1) % 12 + 1;
    return MakeOleDate(c.year, c.month, c.day, c.hour, c.minute);
}

int Populate(int count, const std::string& store) {
    CHostApplication app(DefaultHostStoreOptions(store));
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    auto utils = app.Mapi().CreateMapiUtils();
    static const int kTypes[] = {kRecursDaily, kRecursWeekly, kRecursMonthly, kRecursYearly};
    for (int i = 0; i < count; ++i) {
        auto e = items->Add(ItemType::Appointment);
        // Days 1..28 of two years, at one of 40 times of day.
        const OleDate start = MakeOleDate(2027 + i % 2, 1 + i % 12, 1 + i % 28, 8 + i % 10, 15 * (i % 4));
        std::u16string subject = Text("Meeting", i);
        if (i % 9 == 0) subject += u" \u00FCber die Pl\u00E4ne";
        e->Put("Subject", Value::Text(subject));
        e->Put("Start", Value::Date(start));
        e->Put("End", Value::Date(start + 1.0 / 24));
        if (i % 3 == 0) e->Put("Location", Value::Text(Text("Room", i % 50)));
        if (i % 4 == 0) e->Put("Body", Value::Text(u"Agenda:\r\n1. Numbers; plans, people\r\n2. Anything else"));
        if (i % 2 == 0) e->Put("Categories", Value::Text(u"Business, Planning"));
        if (i % 6 == 0) {
            e->Put("ReminderSet", Value::Bool(true));
            e->Put("ReminderMinutesBeforeStart", Value::Int(15));
        }
        // Every event has its global object id, as the host gives every appointment.
        const PropTag uid = utils->GetIDsFromNames(*e, kMeetingPropertySet, kGlobalObjectIdProperty, true);
        Bytes id = HexTextToBytes("040000008200E00074C5B7101A82E00800000000000000000000000000000000000000001000000000");
        for (int k = 0; k < 12; ++k) id.push_back(static_cast<std::uint8_t>((i >> (k % 4 * 8)) + k));
        utils->SetProp(*e, uid | kPtBinary, Value::Binary(id));
        const bool recurring = i % 5 == 0;
        const int type = (i / 5) % 4;
        if (recurring) {
            auto p = e->GetRecurrencePattern();
            p->Put("RecurrenceType", Value::Int(kTypes[type]));
            p->Put("Occurrences", Value::Int(20));
            const int zone = (i / 5) % 3;
            const PropTag rule = utils->GetIDsFromNames(*e, kAppointmentPropertySet, kZoneRuleProperty, true);
            const PropTag name = utils->GetIDsFromNames(*e, kAppointmentPropertySet, kZoneNameProperty, true);
            utils->SetProp(*e, rule | kPtBinary, Value::Binary(HexTextToBytes(kZoneHex[zone])));
            utils->SetProp(*e, name | kPtString8, Value::Text(kZoneNames[zone]));
        }
        e->Save();
        if (recurring) {
            // The second occurrence deleted, the third moved by 90 minutes.
            auto p = e->GetRecurrencePattern();
            p->GetOccurrence(Occurrence(start, type, 1))->Delete();
            const OleDate third = Occurrence(start, type, 2);
            auto moved = p->GetOccurrence(third);
            moved->Put("Start", Value::Date(third + 1.5 / 24));
            moved->Put("End", Value::Date(third + 2.5 / 24));
            moved->Save();
        }
    }
    return 0;
}

struct Result {
    double seconds = 0, cpu = 0;
    long peakKb = 0, addedKb = 0;
};
int g_resultFd = -1;

void Report(const char* kind, int count, double seconds, double cpu, std::uint64_t bytes, long baseKb) {
    const long peak = PeakKb();
    if (g_resultFd >= 0) {
        const Result r{seconds, cpu, peak, peak - baseKb};
        if (write(g_resultFd, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::perror("result");
    }
    std::printf("%-26s %7d events  %7.3f s (cpu %6.3f s)  %9.0f events/s  %6.1f MB  peak %6.1f MB (+%.1f MB)\n", kind,
                count, seconds, cpu, count / seconds, bytes / 1e6, peak / 1024.0, (peak - baseKb) / 1024.0);
}

std::uint64_t FolderBytes(const std::string& folder) {
    std::uint64_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.file_size();
    return n;
}

class CBenchWizard : public IEventExportWizard {
public:
    std::function<void(EventExportChoices&)> fill;
    EventExportOutcome outcome;
    bool Run(EventExportChoices& c) override {
        fill(c);
        return true;
    }
    void Finish(const EventExportOutcome& o) override { outcome = o; }
};

int ExportCase(const std::string& kind, int count, const std::string& store, const std::string& out) {
    CHostApplication app(DefaultHostStoreOptions(store));
    auto converter = MireoCharConverter::FromModuleDirectory();
    auto files = CreateSystemOutputFiles();
    CSettingsStore settings{UniqueRegKey{}};
    CRecordingLogger log;
    CRecordingMessageBox box;
    CQuietProgressView view;
    fs::remove_all(out);
    fs::create_directories(out);
    const long baseKb = PeakKb();
    CBenchWizard wizard;
    wizard.fill = [&](EventExportChoices& c) {
        c.folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
        c.targetFolder = out;
        c.oneFile = kind != "each";
        c.format = kind == "vcs" ? 10 : 20;
        c.encoding = "UTF-8";
        c.filtered = false;
    };
    const RunEnvironment env{.app = app,
                             .mapi = app.Mapi(),
                             .settings = settings,
                             .log = log,
                             .help = &log,
                             .files = *files,
                             .messages = box,
                             .converter = *converter,
                             .listSeparator = ",",
                             .product = {1, 0, 0},
                             .hostMajorVersion = 11,
                             .progress = view};
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int result = RunEventExport(env, wizard);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != kRunDone || wizard.outcome.counters.succeeded != count) {
        std::fprintf(stderr, "%s %d: the run exported %d events\n", kind.c_str(), count,
                     wizard.outcome.counters.succeeded);
        return 1;
    }
    if (!log.Messages().empty())
        std::printf("(%zu log lines, the first: %s)\n", log.Messages().size(), log.Messages()[0].text.c_str());
    const char* label = kind == "ics" ? "run, one .ics" : kind == "vcs" ? "run, one .vcs" : "run, .ics per event";
    Report(label, count, seconds, CpuSeconds() - cpu0, FolderBytes(out), baseKb);
    return 0;
}

int LibicalCase(int count, const std::string& file) {
#ifdef MIREO_BENCH_LIBICAL
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    icalcomponent* calendar = icalparser_parse_string(s.str().c_str());
    if (!calendar) return 1;
    const long baseKb = PeakKb();
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    char* text = icalcomponent_as_ical_string_r(calendar);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::uint64_t bytes = text ? std::strlen(text) : 0;
    Report("libical as_ical_string", count, seconds, CpuSeconds() - cpu0, bytes, baseKb);
    free(text);
    icalcomponent_free(calendar);
    return 0;
#else
    (void)count;
    (void)file;
    std::printf("libical serialisation: not built (libical-dev missing)\n");
    return 2;
#endif
}

int RunCase(const std::vector<std::string>& a) {
    const int n = std::atoi(a[1].c_str());
    if (a[0] == "populate") return Populate(n, a[2]);
    if (a[0] == "libical") return LibicalCase(n, a[2]);
    return ExportCase(a[0], n, a[2], a[3]);
}

int Child(const std::vector<std::string>& args, Result* result = nullptr) {
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        g_resultFd = fds[1];
        const int rc = RunCase(args);
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

const char* Verdict(bool ok) { return ok ? "PASS" : "FAIL"; }

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc >= 5 && std::strcmp(argv[1], "--case") == 0)
        return RunCase(std::vector<std::string>(argv + 2, argv + argc));
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {10000, 100000};
    const fs::path work = fs::temp_directory_path() / ("mireo_bench_events_" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    struct Row {
        int n;
        Result ics, vcs, each, libical;
    };
    std::vector<Row> rows;
    for (int n : counts) {
        const std::string store = (work / ("store-" + std::to_string(n) + ".db")).string();
        const auto start = std::chrono::steady_clock::now();
        status |= Child({"populate", std::to_string(n), store});
        std::printf("(store of %d events filled in %.1f s)\n", n,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        Row row{n, {}, {}, {}, {}};
        const std::string n_ = std::to_string(n);
        status |= Child({"ics", n_, store, (work / ("ics-" + n_)).string()}, &row.ics);
        status |= Child({"vcs", n_, store, (work / ("vcs-" + n_)).string()}, &row.vcs);
        // The per-event folders stay until the end: on ext4 without a journal, every file
        // created within a minute or so of many deletions scans past the freed inodes of
        // its group (they are not reused while recent), which would charge the deletion
        // of the smaller count's files to the next count's run.
        status |= Child({"each", n_, store, (work / ("each-" + n_)).string()}, &row.each);
        if (Child({"libical", n_, (work / ("ics-" + n_) / "Calendar.ics").string()}, &row.libical) != 0)
            row.libical = Result{};
        rows.push_back(row);
    }
    std::printf("\n%8s | %-20s | %-20s | %-20s | %-20s\n", "", "one .ics", "one .vcs", ".ics per event",
                "libical serialise");
    std::printf("%8s | %8s %11s | %8s %11s | %8s %11s | %8s %11s\n", "events", "s", "peak MB", "s", "peak MB", "s",
                "peak MB", "s", "peak MB");
    for (const Row& r : rows) {
        std::printf("%8d | %8.3f %11.1f | %8.3f %11.1f | %8.3f %11.1f | %8.3f %11.1f\n", r.n, r.ics.seconds,
                    r.ics.peakKb / 1024.0, r.vcs.seconds, r.vcs.peakKb / 1024.0, r.each.seconds, r.each.peakKb / 1024.0,
                    r.libical.seconds, r.libical.peakKb / 1024.0);
        std::printf("%8s | %8.0f events/s | %8.0f events/s | %8.0f events/s | %8.0f events/s\n", "", r.n / r.ics.seconds,
                    r.n / r.vcs.seconds, r.n / r.each.seconds, r.libical.seconds > 0 ? r.n / r.libical.seconds : 0.0);
    }
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row& a = rows[i - 1];
        const Row& b = rows[i];
        const double gi = b.ics.seconds / a.ics.seconds, gv = b.vcs.seconds / a.vcs.seconds,
                     ge = b.each.seconds / a.each.seconds;
        std::printf("growth %d -> %d events: .ics %.1fx, .vcs %.1fx, per event %.1fx; one-file peak %+.1f MB (.ics), "
                    "%+.1f MB (.vcs)\n",
                    a.n, b.n, gi, gv, ge, (b.ics.peakKb - a.ics.peakKb) / 1024.0, (b.vcs.peakKb - a.vcs.peakKb) / 1024.0);
        if (b.n == 100000 && a.n == 10000) {
            // Wall clock, and processor time for a machine busy with other programs.
            std::printf("(a) 100000 events into one file in under 2 s: .ics %.3f s %s (cpu %.3f s %s), "
                        ".vcs %.3f s %s (cpu %.3f s %s)\n",
                        b.ics.seconds, Verdict(b.ics.seconds < 2), b.ics.cpu, Verdict(b.ics.cpu < 2), b.vcs.seconds,
                        Verdict(b.vcs.seconds < 2), b.vcs.cpu, Verdict(b.vcs.cpu < 2));
            if (b.libical.seconds > 0)
                std::printf("(b) faster than libical serialising the same events (%.3f s, cpu %.3f s): .ics %s (cpu %s)\n",
                            b.libical.seconds, b.libical.cpu, Verdict(b.ics.seconds < b.libical.seconds),
                            Verdict(b.ics.cpu < b.libical.cpu));
            else
                std::printf("(b) libical not measured\n");
            const double ci = b.ics.cpu / a.ics.cpu, cv = b.vcs.cpu / a.vcs.cpu, ce = b.each.cpu / a.each.cpu;
            std::printf("(c) at most 11x the time for 10x the events: .ics %s, .vcs %s, per event %s "
                        "(cpu %.1fx %s, %.1fx %s, %.1fx %s)\n",
                        Verdict(gi <= 11), Verdict(gv <= 11), Verdict(ge <= 11), ci, Verdict(ci <= 11), cv,
                        Verdict(cv <= 11), ce, Verdict(ce <= 11));
            // A few megabytes of slack: the store's page cache and the counting in pages. The
            // substitute store also keeps a small record of every item it has handed out.
            std::printf("(d) one-file peak not growing with the events: .ics %.1f -> %.1f MB %s, .vcs %.1f -> %.1f MB %s\n",
                        a.ics.peakKb / 1024.0, b.ics.peakKb / 1024.0, Verdict(b.ics.peakKb <= a.ics.peakKb + 4096),
                        a.vcs.peakKb / 1024.0, b.vcs.peakKb / 1024.0, Verdict(b.vcs.peakKb <= a.vcs.peakKb + 4096));
        }
    }
    fs::remove_all(work);
    return status;
}
