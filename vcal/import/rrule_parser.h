#pragma once
// RRULE values of imported events, in the vCalendar 1.0 basic grammar ("D1 #10",
// "W2 MO TU 20071231T000000", "MP1 1+ MO #0", "MD1 1 15 LD", "YM1 6 #3 MD1 15") and the
// iCalendar 2.0 grammar (FREQ, INTERVAL, COUNT, UNTIL, BYDAY, BYMONTHDAY, BYMONTH,
// BYSETPOS, WKST), read into what the host's recurrence pattern can hold. What the
// pattern cannot express is dropped or makes the rule invalid, and is said in the
// rule's messages, which the reader logs against the line.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/date_time.h"
#include "vcal/common/recurrence.h"
#include "vcal/common/recurrence_date.h"

namespace mireo {

struct RecurrenceMessage {
    int level;  // kTrace or kWarning (engine/logger.h)
    std::string text;
    friend bool operator==(const RecurrenceMessage&, const RecurrenceMessage&) = default;
};

// A rule's messages are capped; the rest are dropped, so a hostile value cannot flood
// the log.
constexpr std::size_t kMaxRecurrenceMessages = 16;

// The recurrence fields of an imported event.
struct ParsedRecurrence {
    int type = -1;         // -1 none (invalid or no rule); else a host recurrence type
    int interval = -1;     // -1 unset (1.0), 1 by default (2.0); 0 or less is left to the host
    int occurrences = -1;  // -1 unset, 0 no end, N > 0 end after N
    std::optional<CalDateTime> until;
    int instance = 0;       // 0 unset, 1..5 (5 = last)
    int dayOfWeekMask = 0;  // 0 unset
    int dayOfMonth = 0;     // 0 unset (the start date's)
    int monthOfYear = 0;    // 0 unset (the start date's)
    std::vector<RecurrenceMessage> messages;

    bool IsRecurring() const { return type >= 0; }
};

// The vCalendar 1.0 grammar.
ParsedRecurrence ParseVCal10Rule(std::string_view value);
// The iCalendar 2.0 grammar. All messages come as one, lines joined by LF:
// "RRULE is invalid", "Was errors:..." and "Not supported:...".
ParsedRecurrence ParseICalRule(std::string_view value);
// The grammar of the file's version: kCalFormatVCal or kCalFormatICal.
ParsedRecurrence ParseRecurrenceRule(std::string_view value, int format);

// The pattern the new appointment is to get, or none for an invalid rule. Fields left
// unset stay 0 (StoreRecurrencePattern does not write them, so the host takes them
// from the start date); an unset interval is the host's 1. The end: 0 occurrences is no
// end, N is N occurrences; with neither, an UNTIL date is the end date (converted by
// `untilToLocal`, the reader's date conversion into the event's zone; taken as it stands
// when unset; a date outside the host's years 100..9999 counts as none), and without
// that the pattern has no end (iCalendar) or 2 occurrences (vCalendar).
std::optional<RecurrencePattern> ToRecurrencePattern(
    const ParsedRecurrence& rule, int format,
    const std::function<std::optional<LocalTime>(const CalDateTime&)>& untilToLocal = {});

}  // namespace mireo
