#include "vcal/export/rrule_writer.h"
#include "textformat/date_text.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "vcal/common/recurrence_date.h"

namespace mireo {

namespace {

using std::chrono::minutes;

// The most two zones' daylight rules can put a series' times apart (a few zones shift by
// two hours; the common case is one).
constexpr minutes kMaxZoneSkew{180};

// " SU MO" for vCalendar, "SU,MO" for iCalendar: the mask's days, Sunday first.
std::string DayList(int mask, bool vcal) {
    std::string out;
    for (int d = 0; d < 7; ++d) {
        if (!(mask & (1 << d))) continue;
        if (vcal) {
            out += ' ';
        } else if (!out.empty()) {
            out += ',';
        }
        out += DayCode(d);
    }
    return out;
}

// Formats numbers only; the buffer holds any of the rule texts.
std::string Printf(const char* format, auto... args) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

// The end of a pattern whose count the host could not take back: the end of its last
// day, as UTC (RFC 5545 asks for UTC whenever DTSTART is UTC or has a zone).
std::optional<std::string> EndDateText(const RecurrencePattern& p, const RecurrenceLineOptions& o) {
    if (p.noEndDate || p.occurrences <= kMaxPatternOccurrences || !p.patternEndDate) return std::nullopt;
    const LocalTime last = StartOfDay(*p.patternEndDate) + std::chrono::hours(24) - std::chrono::seconds(1);
    return FormatDateTime(o.toUtc ? o.toUtc(last) : AsUtc(last));
}

std::string VCalRule(const RecurrencePattern& p, const std::optional<std::string>& endDate) {
    const std::string days = DayList(p.dayOfWeekMask, true);
    const int interval = p.interval > 0 ? p.interval : 1;
    std::string first;
    std::string second;
    switch (p.recurrenceType) {
    case kRecursDaily:
        first = p.interval != 0 ? Printf("D%d", p.interval) : "W1" + days;
        break;
    case kRecursWeekly:
        first = Printf("W%d", interval) + days;
        break;
    case kRecursMonthly:
        first = Printf("MD%d %d", interval, p.dayOfMonth);
        break;
    case kRecursMonthNth:
        first = Printf("MP%d %d+", interval, p.instance) + days;  // 1..5, 5+ = last
        break;
    case kRecursYearly:
        first = Printf("YM1 %d", p.monthOfYear);
        second = Printf("MD1 %d", p.dayOfMonth);
        break;
    case kRecursYearNth:
        first = Printf("YM1 %d", p.monthOfYear);
        second = Printf("MP1 %d+", p.instance) + days;
        break;
    default:
        break;
    }
    first += endDate ? " " + *endDate : p.noEndDate ? std::string(" #0") : Printf(" #%d", p.occurrences);
    if (!second.empty()) first += " " + second;
    return first;
}

std::string ICalRule(const RecurrencePattern& p, const std::optional<std::string>& endDate,
                     std::optional<int> firstDayOfWeek) {
    const std::string count = endDate       ? ";UNTIL=" + *endDate
                              : p.noEndDate ? std::string()
                                            : Printf(";COUNT=%d", p.occurrences);
    const std::string interval = Printf(";INTERVAL=%d", p.interval > 0 ? p.interval : 1);
    const std::string days = p.dayOfWeekMask > 0 ? DayList(p.dayOfWeekMask, false) : std::string();
    const int setPos = p.instance == 5 ? -1 : p.instance;
    std::string rule;
    switch (p.recurrenceType) {
    case kRecursDaily:
        rule = "FREQ=DAILY" + count + interval;
        if (p.interval == 0) rule += ";BYDAY=" + days;
        break;
    case kRecursWeekly:
        rule = std::string(p.interval == 0 ? "FREQ=DAILY" : "FREQ=WEEKLY") + count + interval + ";BYDAY=" + days;
        break;
    case kRecursMonthly:
        rule = "FREQ=MONTHLY" + count + interval + Printf(";BYMONTHDAY=%d", p.dayOfMonth);
        break;
    case kRecursMonthNth:
        rule = "FREQ=MONTHLY" + count + interval + ";BYDAY=" + days + Printf(";BYSETPOS=%d", setPos);
        break;
    case kRecursYearly:  // always INTERVAL=1, whatever the pattern's interval
        rule = "FREQ=YEARLY" + count + Printf(";INTERVAL=1;BYMONTHDAY=%d;BYMONTH=%d", p.dayOfMonth, p.monthOfYear);
        break;
    case kRecursYearNth:
        rule = "FREQ=YEARLY" + count + ";INTERVAL=1;BYDAY=" + days +
               Printf(";BYMONTH=%d;BYSETPOS=%d", p.monthOfYear, setPos);
        break;
    default:
        return {};
    }
    if (firstDayOfWeek && *firstDayOfWeek >= 0 && *firstDayOfWeek <= 6) {
        rule += ";WKST=";
        rule += DayCode(*firstDayOfWeek);
    }
    return rule;
}

// The EXDATE list: each text once, in the order first added. The "already there" test
// is a set lookup, so many exceptions cost linear time.
class CDateList {
public:
    explicit CDateList(char separator) : m_separator(separator) {}
    void Add(const std::string& text) {
        if (!m_seen.insert(text).second) return;
        if (!m_text.empty()) m_text += m_separator;
        m_text += text;
    }
    const std::string& Text() const { return m_text; }

private:
    char m_separator;
    std::string m_text;
    std::unordered_set<std::string> m_seen;
};

}  // namespace

std::string RecurrenceRuleText(const RecurrencePattern& pattern, const RecurrenceLineOptions& options) {
    const std::optional<std::string> endDate = EndDateText(pattern, options);
    return options.format == kCalFormatVCal ? VCalRule(pattern, endDate)
                                            : ICalRule(pattern, endDate, options.firstDayOfWeek);
}

std::string RecurrenceLines(const RecurrencePattern& pattern, std::span<const RecurrenceException> exceptions,
                            const RecurrenceLineOptions& o) {
    const bool vcal = o.format == kCalFormatVCal;
    std::string out = "RRULE:" + RecurrenceRuleText(pattern, o) + "\r\n";
    if (exceptions.empty()) return out;

    // Times are worked on in the zone they are written in: the item's zone, or the
    // computer's local time, which is converted to UTC only when formatted.
    auto inFrame = [&](LocalTime t) { return o.useItemZone && o.toItemZone ? o.toItemZone(t) : t; };
    auto text = [&](LocalTime frameTime) {
        if (o.useItemZone) return FormatDateTime(frameTime);
        return FormatDateTime(o.toUtc ? o.toUtc(frameTime) : AsUtc(frameTime));
    };
    const minutes seriesTime = std::chrono::floor<minutes>(pattern.startTime);
    // Readers repeat a series written in the item's zone at one wall-clock time of that
    // zone (DTSTART's); the store repeats it at one time of the computer's. Where the two
    // zones change to or from daylight time on different days, a scheduled occurrence
    // converted from the computer's time lands an hour or so beside the readers' one, and
    // an EXDATE there would remove nothing. Such a time is moved to the series' time of
    // day in the item's zone, on the nearest day.
    std::optional<minutes> zoneSeriesTime;
    if (o.useItemZone && o.toItemZone && pattern.patternStartDate) {
        const LocalTime first = inFrame(*pattern.patternStartDate + seriesTime);
        zoneSeriesTime = std::chrono::floor<minutes>(first - StartOfDay(first));
    }
    auto onSeriesTime = [&](LocalTime t) {
        if (!zoneSeriesTime) return t;
        LocalTime best = t;
        std::chrono::seconds bestGap = kMaxZoneSkew + minutes(1);
        for (int day = -1; day <= 1; ++day) {
            const LocalTime c = StartOfDay(t) + std::chrono::days(day) + *zoneSeriesTime;
            const auto gap = c > t ? c - t : t - c;
            if (gap < bestGap) {
                best = c;
                bestGap = gap;
            }
        }
        return best;
    };
    const char separator = vcal ? ';' : ',';
    CDateList exdates(separator);
    std::string rdates;
    for (const RecurrenceException& e : exceptions) {
        // A deleted occurrence is named by its day at the series' time; a changed one by
        // its original start. Both are converted to the item's zone like every other
        // time of the event, so that the EXDATE meets the occurrence it removes.
        const LocalTime scheduled = onSeriesTime(e.deleted || !o.useItemZone
                                                     ? inFrame(StartOfDay(e.originalDate) + seriesTime)
                                                     : inFrame(e.originalDate));
        exdates.Add(text(scheduled));
        if (e.deleted) continue;
        const LocalTime start = inFrame(e.start);
        const std::string startText = text(start);
        if (!rdates.empty()) rdates += separator;
        rdates += startText;
        if (StartOfDay(start) != StartOfDay(scheduled)) {
            // The new day at the scheduled time of day is excluded too, unless that is
            // the new start itself or an occurrence the series still has there: an
            // EXDATE removes an instance even when RDATE adds it, so peers would lose
            // the moved or the regular occurrence.
            const LocalTime sameTime =
                StartOfDay(start) + std::chrono::floor<minutes>(scheduled - StartOfDay(scheduled));
            const std::string sameTimeText = text(sameTime);
            if (sameTimeText != startText && !e.newDayHasOccurrence) exdates.Add(sameTimeText);
        }
    }
    const std::string tzid = !vcal && o.useItemZone ? ";TZID=\"" + o.zoneName + "\"" : std::string();
    out += "EXDATE" + tzid + ":" + exdates.Text() + "\r\n";
    // Every exception a deletion: no RDATE line, as an empty value is invalid.
    if (!rdates.empty()) out += "RDATE" + tzid + ":" + rdates + "\r\n";
    return out;
}

std::optional<int> ReadFirstDayOfWeek(IRegistry& registry, int hostMajorVersion) {
    char path[96];
    std::snprintf(path, sizeof path, "Software\\Microsoft\\Office\\%d.0\\Outlook\\Options\\Calendar", hostMajorVersion);
    IRegistry::Key key = 0;
    if (registry.OpenKey(RegRoot::CurrentUser, path, false, false, key) != kErrorSuccess) return std::nullopt;
    UniqueRegKey owner(&registry, key);
    std::uint32_t type = 0;
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    if (registry.QueryValue(key, "FirstDOW", &type, data, &size) != kErrorSuccess) return std::nullopt;
    if (type != kRegDword || size != 4) return std::nullopt;
    const std::uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    if (value > 6) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace mireo
