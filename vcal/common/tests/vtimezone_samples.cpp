// Writes the VTIMEZONE blocks of Mireo's zones and, for each, sample times converted by
// the zone arithmetic, for an independent reader to check (vtimezone_oracle.py):
//   vtimezone_samples REGISTRY-FILE CALENDAR-OUT SAMPLES-OUT
// The zones are those of the zone list (filled into REGISTRY-FILE from tzdata) and a
// few written by hand. A sample line is: TZID, a UTC time, the zone's local time then,
// and the UTC time LocalToUtc gives for that local time.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/testing/recording_logger.h"
#include "textformat/date_text.h"
#include "platform/posix/registry_file.h"
#include "vcal/common/recurrence_date.h"
#include "vcal/common/testing/zone_rules.h"
#include "vcal/common/zone_list.h"
#include "vcal/common/zone_text.h"

namespace {

using namespace mireo;

void Samples(std::ostream& out, const std::string& name, const ZoneRule& rule) {
    std::vector<UtcTime> times;
    for (int year = 2024; year <= 2030; ++year) {
        // Every ten days at 03:00 and 15:45 UTC.
        for (UtcTime t = MakeUtc(year, 1, 1, 3); t < MakeUtc(year + 1, 1, 1); t += std::chrono::days(10)) {
            times.push_back(t);
            times.push_back(t + std::chrono::minutes(765));
        }
        // Half-hourly around each change: its local time read as UTC, 14 hours either
        // side, covers the change in every zone. On whole minutes: the text writes a
        // change at 23:59:59.999 as 235959, a second before it takes effect.
        if (!rule.HasDaylight()) continue;
        for (const SystemTime& change : {rule.standardDate, rule.daylightDate}) {
            if (change.month == 0) continue;
            const UtcTime at = std::chrono::ceil<std::chrono::minutes>(AsUtc(TransitionDate(year, change)));
            for (int m = -14 * 60; m <= 14 * 60; m += 30) times.push_back(at + std::chrono::minutes(m));
        }
    }
    for (UtcTime t : times) {
        const LocalTime local = UtcToLocal(rule, t);
        out << name << '\t' << FormatDateTime(t) << '\t' << FormatDateTime(local) << '\t'
            << FormatDateTime(LocalToUtc(rule, local)) << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: vtimezone_samples REGISTRY-FILE CALENDAR-OUT SAMPLES-OUT\n";
        return 2;
    }
    CRegistryFile reg(argv[1]);
    CRecordingLogger log;
    std::vector<ZoneListEntry> list;
    if (GetAllTimezones(list, log, reg) != 0 || list.empty()) {
        std::cerr << "no zone list\n";
        return 1;
    }
    std::vector<std::pair<std::string, ZoneRule>> zones;
    for (const ZoneListEntry& e : list) zones.emplace_back(e.key, e.rule);
    zones.emplace_back("Old Eastern", test::OldEastern());
    zones.emplace_back("Midnight Saturday",
                       test::Rule(240, 0, -60, test::Change(4, 6, 1, 23, 59, 59, 999), test::Change(9, 6, 1, 23, 59, 59, 999)));
    zones.emplace_back("Split Bias", test::Rule(240, 60, 0, test::Change(10, 0, 5, 2), test::Change(4, 0, 1, 2)));

    std::string calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Mireo//zone samples//EN\r\n";
    std::ofstream samples(argv[3], std::ios::binary);
    for (const auto& [name, rule] : zones) {
        WriteVTimezone(calendar, name, rule);
        Samples(samples, name, rule);
    }
    calendar += "END:VCALENDAR\r\n";
    std::ofstream(argv[2], std::ios::binary) << calendar;
    return samples ? 0 : 1;
}
