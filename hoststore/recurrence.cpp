#include "hoststore/recurrence.h"

#include <algorithm>
#include <vector>

#include "engine/host_value.h"

namespace mireo {

namespace {

// The days of a month whose weekday is in the mask, in order.
int NthWeekdayOfMonth(int year, int month, int mask, int instance) {
    int days[31];
    int n = 0;
    const std::int64_t first = DayNumber(year, month, 1);
    const int dim = DaysInMonth(year, month);
    for (int d = 1; d <= dim; ++d) {
        if (mask & (1 << WeekdayOfDayNumber(first + d - 1))) days[n++] = d;
    }
    if (n == 0) return 0;
    if (instance >= 5) return days[n - 1];  // 5 = last
    const int i = std::max(instance, 1) - 1;
    return i < n ? days[i] : 0;
}

int ClampDay(int year, int month, int day) { return std::min(day, DaysInMonth(year, month)); }

}  // namespace

std::int64_t NoEndDayNumber() { return DayNumber(4501, 1, 1); }

void ExpandDays(const RecurrenceRule& r, std::int64_t lastDay, const std::function<bool(std::int64_t)>& emit) {
    lastDay = std::min(lastDay, NoEndDayNumber());
    if (r.end == PatternEnd::Date) lastDay = std::min(lastDay, r.endDay);
    if (r.end == PatternEnd::Count && r.occurrences <= 0) return;
    int emitted = 0;
    // True to go on.
    auto take = [&](std::int64_t day) {
        if (day < r.startDay) return true;
        if (day > lastDay) return false;
        if (!emit(day)) return false;
        ++emitted;
        return !(r.end == PatternEnd::Count && emitted >= r.occurrences);
    };
    const int interval = std::max(r.interval, 1);
    int sy = 0, sm = 0, sd = 0;
    CivilFromDayNumber(r.startDay, sy, sm, sd);
    const int startWeekday = WeekdayOfDayNumber(r.startDay);
    const int mask = r.dayOfWeekMask & 0x7F;

    switch (r.type) {
    case 0:  // daily; with a day mask: every day of the mask ("every weekday")
        if (mask) {
            for (std::int64_t d = r.startDay; d <= lastDay; ++d) {
                if ((mask & (1 << WeekdayOfDayNumber(d))) && !take(d)) return;
            }
        } else {
            for (std::int64_t d = r.startDay; d <= lastDay; d += interval) {
                if (!take(d)) return;
            }
        }
        return;
    case 1: {  // weekly
        const int m = mask ? mask : 1 << startWeekday;
        const int wkst = ((r.firstDayOfWeek % 7) + 7) % 7;
        std::int64_t weekStart = r.startDay - ((startWeekday - wkst + 7) % 7);
        for (; weekStart <= lastDay; weekStart += 7LL * interval) {
            for (int k = 0; k < 7; ++k) {
                const std::int64_t d = weekStart + k;
                if ((m & (1 << WeekdayOfDayNumber(d))) && !take(d)) return;
            }
        }
        return;
    }
    case 2:    // monthly on a day
    case 3: {  // monthly on the nth weekday
        const int dom = r.dayOfMonth > 0 ? r.dayOfMonth : sd;
        const int m = mask ? mask : 1 << startWeekday;
        for (std::int64_t k = 0;; k += interval) {
            const std::int64_t months = (sm - 1) + k;
            const int year = sy + static_cast<int>(months / 12), month = static_cast<int>(months % 12) + 1;
            if (DayNumber(year, month, 1) > lastDay) return;
            const int day = r.type == 2 ? ClampDay(year, month, dom) : NthWeekdayOfMonth(year, month, m, r.instance);
            if (day && !take(DayNumber(year, month, day))) return;
        }
    }
    case 5:    // yearly on a date
    case 6: {  // yearly on the nth weekday of a month
        const int month = r.monthOfYear >= 1 && r.monthOfYear <= 12 ? r.monthOfYear : sm;
        const int dom = r.dayOfMonth > 0 ? r.dayOfMonth : sd;
        const int m = mask ? mask : 1 << startWeekday;
        // An interval counted in months (12, 24, ...) as later hosts keep it.
        const int years = interval >= 12 && interval % 12 == 0 ? interval / 12 : interval;
        for (int year = sy;; year += years) {
            if (DayNumber(year, month, 1) > lastDay) return;
            const int day = r.type == 5 ? ClampDay(year, month, dom) : NthWeekdayOfMonth(year, month, m, r.instance);
            if (day && !take(DayNumber(year, month, day))) return;
        }
    }
    default:
        return;  // not a pattern the host has: no occurrences
    }
}

std::int64_t FirstOccurrenceDay(const RecurrenceRule& rule, std::int64_t lastDay) {
    std::int64_t found = -1;
    ExpandDays(rule, lastDay, [&](std::int64_t d) {
        found = d;
        return false;
    });
    return found;
}

int CountUntil(RecurrenceRule rule) {
    int n = 0;
    ExpandDays(rule, rule.endDay, [&](std::int64_t) {
        ++n;
        return true;
    });
    return n;
}

std::int64_t LastDayOfCount(RecurrenceRule rule) {
    std::int64_t last = rule.startDay;
    ExpandDays(rule, NoEndDayNumber(), [&](std::int64_t d) {
        last = d;
        return true;
    });
    return last;
}

}  // namespace mireo
