#include "vcal/common/recurrence.h"

#include <algorithm>

namespace mireo {

namespace {

constexpr std::string_view kDayCodes = "SUMOTUWETHFRSA";

std::chrono::seconds TimeOfDay(LocalTime t) { return t - StartOfDay(t); }

std::chrono::seconds TimeOfDayOf(const Value& v) {
    const std::optional<LocalTime> t = LocalFromOle(v.AsDate());
    return t ? TimeOfDay(*t) : std::chrono::seconds{0};
}

std::optional<LocalTime> DateOf(const Value& v) {
    const std::optional<LocalTime> t = LocalFromOle(v.AsDate());
    if (!t) return std::nullopt;
    return StartOfDay(*t);
}

}  // namespace

std::string_view DayCode(int day) {
    if (day < 0 || day > 6) return {};
    return kDayCodes.substr(static_cast<std::size_t>(day) * 2, 2);
}

int DayOfCode(std::string_view code) {
    if (code.size() != 2) return -1;
    for (int d = 0; d < 7; ++d) {
        if (DayCode(d) == code) return d;
    }
    return -1;
}

RecurrencePattern LoadRecurrencePattern(IRecurrencePattern& host) {
    RecurrencePattern p;
    p.recurrenceType = host.Get("RecurrenceType").AsInt();
    p.interval = host.Get("Interval").AsInt();
    p.dayOfWeekMask = host.Get("DayOfWeekMask").AsInt();
    p.dayOfMonth = host.Get("DayOfMonth").AsInt();
    p.monthOfYear = host.Get("MonthOfYear").AsInt();
    p.instance = host.Get("Instance").AsInt();
    p.noEndDate = host.Get("NoEndDate").AsBool();
    p.occurrences = host.Get("Occurrences").AsInt();
    p.patternStartDate = DateOf(host.Get("PatternStartDate"));
    p.patternEndDate = DateOf(host.Get("PatternEndDate"));
    p.startTime = TimeOfDayOf(host.Get("StartTime"));
    p.endTime = TimeOfDayOf(host.Get("EndTime"));
    p.duration = host.Get("Duration").AsInt();
    return p;
}

std::vector<RecurrenceException> LoadRecurrenceExceptions(IRecurrencePattern& host, const RecurrencePattern& pattern) {
    std::vector<RecurrenceException> out;
    std::unique_ptr<IExceptions> exceptions = host.Exceptions();
    const int count = exceptions->Count();
    out.reserve(static_cast<std::size_t>(std::max(count, 0)));
    const auto seriesTime = std::chrono::floor<std::chrono::minutes>(pattern.startTime);
    for (int i = 1; i <= count; ++i) {
        std::unique_ptr<IException> e = exceptions->Item(i);
        const std::optional<LocalTime> original = LocalFromOle(e->OriginalDate());
        if (!original) continue;
        RecurrenceException x;
        x.originalDate = *original;
        x.deleted = e->Deleted();
        if (!x.deleted) {
            const std::optional<LocalTime> start = LocalFromOle(e->AppointmentItem()->Get("Start").AsDate());
            if (!start) continue;
            x.start = *start;
            if (StartOfDay(x.start) != StartOfDay(x.originalDate)) {
                // GetOccurrence finds an occurrence that starts at that time, or throws.
                const LocalTime candidate = StartOfDay(x.start) + seriesTime;
                try {
                    host.GetOccurrence(OleFromLocal(candidate));
                    x.newDayHasOccurrence = true;
                } catch (const HostError&) {
                    x.newDayHasOccurrence = false;
                }
            }
        }
        out.push_back(x);
    }
    return out;
}

void StoreRecurrencePattern(const RecurrencePattern& p, IRecurrencePattern& host) {
    auto putPositive = [&](const char* name, int value) {
        if (value > 0) host.Put(name, Value::Int(value));
    };
    host.Put("RecurrenceType", Value::Int(p.recurrenceType));
    switch (p.recurrenceType) {
    case kRecursDaily:
        // Every weekday is a daily pattern with interval 0 and its days in the mask.
        if (p.dayOfWeekMask > 0) {
            host.Put("Interval", Value::Int(std::max(p.interval, 0)));
            host.Put("DayOfWeekMask", Value::Int(p.dayOfWeekMask));
        } else {
            putPositive("Interval", p.interval);
        }
        break;
    case kRecursWeekly:
        putPositive("Interval", p.interval);
        putPositive("DayOfWeekMask", p.dayOfWeekMask);
        break;
    case kRecursMonthly:
        putPositive("Interval", p.interval);
        putPositive("DayOfMonth", p.dayOfMonth);
        break;
    case kRecursMonthNth:
        putPositive("Interval", p.interval);
        putPositive("Instance", p.instance);
        putPositive("DayOfWeekMask", p.dayOfWeekMask);
        break;
    case kRecursYearly:
        putPositive("DayOfMonth", p.dayOfMonth);
        putPositive("MonthOfYear", p.monthOfYear);
        break;
    case kRecursYearNth:
        putPositive("Instance", p.instance);
        putPositive("DayOfWeekMask", p.dayOfWeekMask);
        putPositive("MonthOfYear", p.monthOfYear);
        break;
    default:
        break;
    }
    if (p.noEndDate) {
        host.Put("NoEndDate", Value::Bool(true));
    } else if (p.occurrences > 0) {
        host.Put("Occurrences", Value::Int(p.occurrences));
    } else if (p.patternEndDate) {
        host.Put("PatternEndDate", Value::Date(OleFromLocal(*p.patternEndDate)));
    }
}

}  // namespace mireo
