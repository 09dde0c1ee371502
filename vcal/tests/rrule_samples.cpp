// Writes recurring events for the independent check in rrule_oracle.py: random series
// of every pattern type, with deleted and moved occurrences, are made in the substitute
// host store; each becomes a VEVENT whose RRULE, EXDATE and RDATE lines come from the
// recurrence writer, beside the occurrences the store renders for it.
//
// Usage: mireo_rrule_samples SEED COUNT
// Prints one JSON object: {"calendar": "<the .ics text>", "series": [{"uid", "type",
// "dayOfMonth", "utcOffsetMinutes", "occurrences": ["YYYYMMDDTHHMMSSZ", ...]}]}.
//
// A recurring event is written in a zone, as the calendar writer does: here the
// computer's own, one hour east of UTC, named by its IANA name so that the reader needs
// no VTIMEZONE ("Etc/GMT-1"). A quarter of the series take the other way, UTC, which
// the writer uses when the computer's zone is unknown: the computer's clock is then
// taken as UTC.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "hoststore/host_store.h"
#include "textformat/date_text.h"
#include "vcal/common/recurrence_date.h"
#include "vcal/export/rrule_writer.h"
#include "vcal/import/testing/random_patterns.h"

namespace mireo {
namespace {

constexpr int kZoneOffsetMinutes = 60;
constexpr const char* kZoneName = "Etc/GMT-1";

LocalTime Local(OleDate d) { return *LocalFromOle(d); }

std::vector<OleDate> Render(IApplication& app) {
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    items->Sort(u"[Start]");
    items->SetIncludeRecurrences(true);
    auto found = items->Restrict(u"[Start] >= '1/1/2000 12:00 AM' And [Start] <= '12/31/2012 11:59 PM'");
    std::vector<OleDate> starts;
    for (auto i = found->GetFirst(); i; i = found->GetNext()) starts.push_back(i->Get("Start").AsDate());
    return starts;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Deletes or moves up to four occurrences. A move goes within its day, to the next
// day at the same time, or a few days either way; never onto the start of another
// occurrence, which a set of dates cannot hold twice.
void AddExceptions(testing::CRandom& rnd, IRecurrencePattern& p, std::vector<OleDate> starts) {
    std::set<std::int64_t> taken;
    for (OleDate s : starts) taken.insert(OleToMinutes(s));
    const int n = std::min<int>(rnd.Between(0, 4), static_cast<int>(starts.size()));
    for (int k = 0; k < n; ++k) {
        const int at = rnd.Between(0, static_cast<int>(starts.size()) - 1);
        const OleDate original = starts[at];
        starts.erase(starts.begin() + at);
        if (rnd.Between(0, 1) == 0) {
            p.GetOccurrence(original)->Delete();
            continue;
        }
        const std::int64_t minutes = OleToMinutes(original);
        const std::int64_t to = minutes + rnd.Pick<std::int64_t>({90, -45, 1440, 1440 + 7, 2 * 1440 + 7, 3 * 1440 - 60,
                                                                  -1440 + 7, -3 * 1440 + 30});
        if (taken.count(to)) continue;
        taken.insert(to);
        auto occurrence = p.GetOccurrence(original);
        occurrence->Put("Start", Value::Date(MinutesToOle(to)));
        occurrence->Save();
    }
}

int Run(unsigned seed, int count) {
    testing::CRandom rnd(seed);
    std::string calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kelvo Corporation//MIREO TEST//EN\r\n";
    std::string series;
    for (int i = 0; i < count; ++i) {
        CHostApplication app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
        auto item = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
        item->Put("Subject", Value::Text(u"Series"));
        item->Put("Start", Value::Date(MakeOleDate(2003, 1, 1, 0, 15 * rnd.Between(0, 95)) + rnd.Between(0, 4 * 365)));
        item->Put("Duration", Value::Int(rnd.Pick({15, 30, 60, 1440})));
        auto host = item->GetRecurrencePattern();
        testing::PutRandomPattern(rnd, *host);
        item->Save();
        const std::vector<OleDate> scheduled = Render(app);
        if (scheduled.empty()) continue;
        AddExceptions(rnd, *host, scheduled);

        const RecurrencePattern pattern = LoadRecurrencePattern(*host);
        const std::vector<RecurrenceException> exceptions = LoadRecurrenceExceptions(*host, pattern);
        const bool inZone = rnd.Between(0, 3) != 0;
        const int offset = inZone ? kZoneOffsetMinutes : 0;
        RecurrenceLineOptions options;
        options.format = kCalFormatICal;
        options.firstDayOfWeek = 0;  // the substitute store counts weeks from Sunday
        options.useItemZone = inZone;
        options.zoneName = kZoneName;
        options.toUtc = [offset](LocalTime t) { return AsUtc(t - std::chrono::minutes(offset)); };
        auto time = [&](OleDate d) {
            return inZone ? ";TZID=\"" + std::string(kZoneName) + "\":" + FormatDateTime(Local(d))
                          : ":" + FormatDateTime(options.toUtc(Local(d)));
        };
        const std::string uid = "series-" + std::to_string(i);
        calendar += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20070101T000000Z\r\n";
        calendar += "DTSTART" + time(item->Get("Start").AsDate()) + "\r\n";
        calendar += "DTEND" + time(item->Get("End").AsDate()) + "\r\n";
        calendar += RecurrenceLines(pattern, exceptions, options);
        calendar += "SUMMARY:Series " + std::to_string(i) + "\r\nEND:VEVENT\r\n";

        std::string occurrences;
        for (OleDate d : Render(app)) {
            if (!occurrences.empty()) occurrences += ",";
            occurrences += JsonString(FormatDateTime(options.toUtc(Local(d))));
        }
        if (!series.empty()) series += ",\n";
        series += "{\"uid\":" + JsonString(uid) + ",\"type\":" + std::to_string(pattern.recurrenceType) +
                  ",\"dayOfMonth\":" + std::to_string(pattern.dayOfMonth) +
                  ",\"utcOffsetMinutes\":" + std::to_string(offset) + ",\"occurrences\":[" + occurrences + "]}";
    }
    calendar += "END:VCALENDAR";
    std::printf("{\"calendar\":%s,\"series\":[\n%s]}\n", JsonString(calendar).c_str(), series.c_str());
    return 0;
}

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SEED COUNT\n", argv[0]);
        return 2;
    }
    return mireo::Run(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)), std::atoi(argv[2]));
}
