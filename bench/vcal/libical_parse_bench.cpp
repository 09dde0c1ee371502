// The comparison of the calendar import benchmark: libical parsing one file, as its own
// process so that its peak memory is its own. An iCalendar file goes through
// icalparser_parse_string; a vCalendar 1.0 file through libicalvcal (Parse_MIME and
// icalvcal_convert). The file is parsed twice, untimed and then timed, as the import
// benchmark runs its own cases. Prints "parse_seconds=S events=N peak_kb=K cpu_seconds=C"
// (C: user and system time of the timed parse); exit 1 when the parse gives no calendar.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

extern "C" {
#include <libical/ical.h>
#include <libical/icalvcal.h>
#include <libical/vcc.h>
}

namespace {
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    const bool vcal = text.find("VERSION:1.0") != std::string::npos;
    long events = 0;
    auto parse = [&]() -> bool {
        events = 0;
        if (vcal) {
            VObject* list = Parse_MIME(text.c_str(), static_cast<unsigned long>(text.size()));
            for (VObject* o = list; o != nullptr; o = nextVObjectInList(o)) {
                icalcomponent* c = icalvcal_convert(o);
                if (c == nullptr) continue;
                events += icalcomponent_count_components(c, ICAL_VEVENT_COMPONENT);
                icalcomponent_free(c);
            }
            if (list == nullptr) return false;
            cleanVObjects(list);
        } else {
            icalcomponent* c = icalparser_parse_string(text.c_str());
            if (c == nullptr) return false;
            events = icalcomponent_count_components(c, ICAL_VEVENT_COMPONENT);
            icalcomponent_free(c);
        }
        return true;
    };
    if (!parse()) return 1;  // the untimed run
    const double c0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    if (!parse()) return 1;
    const double cpu = CpuSeconds() - c0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("parse_seconds=%.6f events=%ld peak_kb=%ld cpu_seconds=%.6f\n", seconds, events, u.ru_maxrss, cpu);
    return events > 0 ? 0 : 1;
}
