#include "vcal/common/zone_text.h"
#include "textformat/date_text.h"

#include <cstdio>

#include "vcal/common/recurrence_date.h"

namespace mireo {
namespace {

constexpr std::string_view kEol = "\r\n";
// Two letters a day, Sunday first.
constexpr std::string_view kDayCodes = "SUMOTUWETHFRSA";

std::string OffsetText(std::int64_t minutes, const char* format) {
    const char sign = minutes > 0 ? '-' : '+';
    const std::int64_t m = minutes < 0 ? -minutes : minutes;
    char buf[48];
    std::snprintf(buf, sizeof buf, format, sign, static_cast<long long>(m / 60), static_cast<long long>(m % 60));
    return buf;
}

void Line(std::string& out, std::string_view name, std::string_view value) {
    out += name;
    out += value;
    out += kEol;
}

// FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=10
std::string YearlyRule(const SystemTime& t) {
    const int week = t.day == 5 ? -1 : t.day;
    const std::string_view code = t.dayOfWeek < 7 ? kDayCodes.substr(t.dayOfWeek * 2u, 2) : std::string_view{};
    char buf[96];
    std::snprintf(buf, sizeof buf, "FREQ=YEARLY;INTERVAL=1;BYDAY=%d%.*s;BYMONTH=%d", week,
                  static_cast<int>(code.size()), code.data(), static_cast<int>(t.month));
    return buf;
}

}  // namespace

std::string IcalOffsetText(std::int64_t minutes) { return OffsetText(minutes, "%c%02lld%02lld"); }

std::string VcalOffsetText(std::int64_t minutes) { return OffsetText(minutes, "%c%02lld:%02lld"); }

std::string CleanZoneName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"') c = '\'';
        else if (u < 0x20 || u == 0x7F) c = ' ';
    }
    return out;
}

std::string ZoneNameFromBias(const ZoneRule& rule) {
    return "(GMT" + VcalOffsetText(std::int64_t{rule.bias} + rule.standardBias) + ")";
}

void WriteVTimezone(std::string& out, std::string_view name, const ZoneRule& rule) {
    const std::int64_t standard = std::int64_t{rule.bias} + rule.standardBias;
    const std::int64_t daylight = std::int64_t{rule.bias} + rule.daylightBias;
    const bool hasStandardDate = rule.standardDate.month != 0;
    Line(out, "BEGIN:VTIMEZONE", {});
    Line(out, "TZID:", CleanZoneName(name));
    Line(out, "BEGIN:STANDARD", {});
    Line(out, "DTSTART:",
         hasStandardDate ? FormatDateTime(TransitionDate(1980, rule.standardDate)) : "16010101T000000");
    if (hasStandardDate) Line(out, "RRULE:", YearlyRule(rule.standardDate));
    Line(out, "TZOFFSETFROM:", IcalOffsetText(hasStandardDate && rule.HasDaylight() ? daylight : standard));
    Line(out, "TZOFFSETTO:", IcalOffsetText(standard));
    Line(out, "END:STANDARD", {});
    if (rule.HasDaylight()) {
        Line(out, "BEGIN:DAYLIGHT", {});
        Line(out, "DTSTART:", FormatDateTime(TransitionDate(1980, rule.daylightDate)));
        Line(out, "RRULE:", YearlyRule(rule.daylightDate));
        Line(out, "TZOFFSETFROM:", IcalOffsetText(standard));
        Line(out, "TZOFFSETTO:", IcalOffsetText(daylight));
        Line(out, "END:DAYLIGHT", {});
    }
    Line(out, "END:VTIMEZONE", {});
}

void WriteVCalZoneLines(std::string& out, const ZoneRule& rule) {
    Line(out, "TZ:", VcalOffsetText(std::int64_t{rule.bias} + rule.standardBias));
    out += "DAYLIGHT:";
    if (!rule.HasDaylight()) {
        out += "FALSE";
    } else {
        out += "TRUE;";
        out += VcalOffsetText(std::int64_t{rule.bias} + rule.daylightBias);
        out += ';';
        out += FormatDateTime(TransitionDate(1980, rule.daylightDate));
        out += ';';
        out += FormatDateTime(TransitionDate(1980, rule.standardDate));
        out += ";;";
    }
    out += kEol;
}

}  // namespace mireo
