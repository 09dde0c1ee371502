// The comparison of the calendar import benchmark: libical parsing one file, as its own
// process so that its peak memory is its own. An iCalendar file goes through
// icalparser_parse_string; a vCalendar 1.0 file through libicalvcal (Parse_MIME and
// icalvcal_convert). Prints "parse_seconds=S events=N peak_kb=K"; exit 1 when the parse
// gives no calendar.
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

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    const auto t0 = std::chrono::steady_clock::now();
    long events = 0;
    const bool vcal = text.find("VERSION:1.0") != std::string::npos;
    if (vcal) {
        VObject* list = Parse_MIME(text.c_str(), static_cast<unsigned long>(text.size()));
        for (VObject* o = list; o != nullptr; o = nextVObjectInList(o)) {
            icalcomponent* c = icalvcal_convert(o);
            if (c == nullptr) continue;
            events += icalcomponent_count_components(c, ICAL_VEVENT_COMPONENT);
            icalcomponent_free(c);
        }
        if (list != nullptr) cleanVObjects(list);
        if (list == nullptr) return 1;
    } else {
        icalcomponent* c = icalparser_parse_string(text.c_str());
        if (c == nullptr) return 1;
        events = icalcomponent_count_components(c, ICAL_VEVENT_COMPONENT);
        icalcomponent_free(c);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("parse_seconds=%.6f events=%ld peak_kb=%ld\n", seconds, events, u.ru_maxrss);
    return events > 0 ? 0 : 1;
}
