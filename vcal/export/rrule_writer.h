#pragma once
// The recurrence lines of an exported event: RRULE in the vCalendar 1.0 basic grammar
// or the iCalendar 2.0 grammar, then EXDATE and RDATE for the deleted and changed
// occurrences.
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "engine/date_time.h"
#include "platform/registry.h"
#include "vcal/common/recurrence.h"

namespace mireo {

// How the exception dates are written.
struct RecurrenceLineOptions {
    int format = kCalFormatICal;  // kCalFormatVCal or kCalFormatICal
    // The host's first day of the week (FirstDOW, 0 Sunday .. 6 Saturday): the iCalendar
    // rule's WKST. None: no WKST.
    std::optional<int> firstDayOfWeek;
    // The event is written in its own zone: exception dates are local times of that zone,
    // without "Z", and the iCalendar lines carry ;TZID="zoneName". Otherwise they are UTC.
    bool useItemZone = false;
    std::string zoneName;
    // The computer's local time in the item's zone (LocalToZone); identity when unset.
    std::function<LocalTime(LocalTime)> toItemZone;
    // The computer's local time as UTC (the computer's zone rule); read as UTC when unset.
    std::function<UtcTime(LocalTime)> toUtc;
};

// The RRULE value (without "RRULE:"). vCalendar: the first rule with its end (" #n",
// " #0" without end) and, for the yearly types, a space and the second rule
// ("YM1 6 #5 MD1 15"). iCalendar: FREQ, COUNT, INTERVAL and the BY parts, then
// ";WKST=" when firstDayOfWeek is 0..6. An ending pattern is written with its count of
// occurrences; only a count beyond what the host takes back (kMaxPatternOccurrences)
// is replaced by the end of the pattern's last day, in UTC. A type the host does not
// have gives an empty rule.
std::string RecurrenceRuleText(const RecurrencePattern& pattern, const RecurrenceLineOptions& options);

// Every line the event needs at its recurrence position, each ending in CR LF:
// "RRULE:" + the rule; with exceptions, "EXDATE" with the scheduled times of the
// deleted and changed occurrences (each time once), and "RDATE" with the new starts of
// the changed ones (left out when every exception is a deletion). The values are
// separated by ";" in vCalendar and "," in iCalendar.
std::string RecurrenceLines(const RecurrencePattern& pattern, std::span<const RecurrenceException> exceptions,
                            const RecurrenceLineOptions& options);

// The host's first day of the week: FirstDOW under HKEY_CURRENT_USER
// "Software\Microsoft\Office\<major>.0\Outlook\Options\Calendar", when it is a
// REG_DWORD of 0..6. None otherwise (no key, no value, another type or size, 7 or more).
std::optional<int> ReadFirstDayOfWeek(IRegistry& registry, int hostMajorVersion);

}  // namespace mireo
