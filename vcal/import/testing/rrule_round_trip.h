#pragma once
// For tests and fuzz targets: what a pattern keeps through the recurrence writer and
// parser, and whether it can keep everything.
#include <ostream>

#include "vcal/common/recurrence.h"

namespace mireo {

// How test failures show a pattern.
inline void PrintTo(const RecurrencePattern& p, std::ostream* os) {
    *os << "{type " << p.recurrenceType << ", interval " << p.interval << ", mask " << p.dayOfWeekMask << ", dom "
        << p.dayOfMonth << ", moy " << p.monthOfYear << ", instance " << p.instance << ", noEnd " << p.noEndDate
        << ", occurrences " << p.occurrences << ", end " << (p.patternEndDate ? OleFromLocal(*p.patternEndDate) : 0.0)
        << "}";
}

}  // namespace mireo

namespace mireo::testing {

// The fields a rule carries, in the form the parser gives them back: "every weekday"
// (daily, interval 0) is written as a weekly rule of every week; an interval of 0 is
// the host's 1; yearly rules are every year; fields a type does not use, and the times,
// which belong to the event, are left out.
inline RecurrencePattern RuleFields(RecurrencePattern p) {
    const int t = p.recurrenceType == kRecursDaily && p.interval == 0 ? kRecursWeekly : p.recurrenceType;
    p.recurrenceType = t;
    if (p.interval <= 0 || t == kRecursYearly || t == kRecursYearNth) p.interval = 1;
    if (t != kRecursWeekly && t != kRecursMonthNth && t != kRecursYearNth) p.dayOfWeekMask = 0;
    if (t != kRecursMonthly && t != kRecursYearly) p.dayOfMonth = 0;
    if (t != kRecursYearly && t != kRecursYearNth) p.monthOfYear = 0;
    if (t != kRecursMonthNth && t != kRecursYearNth) p.instance = 0;
    if (p.noEndDate) p.occurrences = 0;
    p.patternStartDate.reset();
    p.patternEndDate.reset();
    p.startTime = p.endTime = {};
    p.duration = 0;
    return p;
}

// Every field the rule of its type names is set, and the pattern ends by a count or
// not at all (as the host's always does: it gives the count of one that ends on a date).
inline bool WritesCompletely(const RecurrencePattern& p) {
    if (!p.noEndDate && p.occurrences <= 0) return false;
    switch (p.recurrenceType) {
    case kRecursDaily:
        return p.interval > 0 || p.dayOfWeekMask > 0;
    case kRecursWeekly:
        return p.dayOfWeekMask > 0;
    case kRecursMonthly:
        return p.dayOfMonth > 0;
    case kRecursMonthNth:
        return p.instance > 0 && p.dayOfWeekMask > 0;
    case kRecursYearly:
        return p.dayOfMonth > 0 && p.monthOfYear > 0;
    case kRecursYearNth:
        return p.monthOfYear > 0 && p.instance > 0 && p.dayOfWeekMask > 0;
    default:
        return false;
    }
}

}  // namespace mireo::testing
