#pragma once
// A recurring appointment's pattern as the host holds it, and its exceptions, read
// from and written to the host's RecurrencePattern. The calendar writer turns them
// into RRULE, EXDATE and RDATE lines (vcal/export/rrule_writer.h); the calendar
// reader builds a pattern from an RRULE value (vcal/import/rrule_parser.h) and
// stores it into the new appointment.
#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/date_time.h"
#include "engine/item_store.h"

namespace mireo {

// Calendar format codes: vCalendar 1.0 (".vcs") and iCalendar 2.0 (".ics").
constexpr int kCalFormatVCal = 10;
constexpr int kCalFormatICal = 20;

// Bits of DayOfWeekMask: 1 Sunday .. 64 Saturday.
constexpr int kAllDaysMask = 127;

// The most occurrences the host takes for a pattern that ends after a count ("end
// after 999 occurrences"); a longer one can only end on a date.
constexpr int kMaxPatternOccurrences = 999;

// The two-letter day codes of both grammars, Sunday first: "SU", "MO", ... "SA".
// day: 0 Sunday .. 6 Saturday; empty for anything else.
std::string_view DayCode(int day);
// 0 Sunday .. 6 Saturday for a two-letter code (upper case), -1 otherwise.
int DayOfCode(std::string_view code);

// RecurrencePattern's fields. A field of 0 (mask, day, month, instance) is one the
// host fills from the series' start date.
struct RecurrencePattern {
    int recurrenceType = kRecursDaily;  // 0 daily, 1 weekly, 2 monthly, 3 month-nth, 5 yearly, 6 year-nth
    int interval = 1;                   // daily with 0: every day of the mask ("every weekday")
    int dayOfWeekMask = 0;              // 1 Sunday .. 64 Saturday
    int dayOfMonth = 0;                 // 1..31
    int monthOfYear = 0;                // 1..12
    int instance = 0;                   // 1..5, 5 = last
    bool noEndDate = true;
    int occurrences = 0;                                // of an ending pattern
    std::optional<LocalTime> patternStartDate;          // midnight of the first day
    std::optional<LocalTime> patternEndDate;            // none for the host's 4501-01-01
    std::chrono::seconds startTime{0};                  // time of day of every occurrence
    std::chrono::seconds endTime{0};
    int duration = 0;                                   // minutes

    friend bool operator==(const RecurrencePattern&, const RecurrencePattern&) = default;
};

// One element of RecurrencePattern.Exceptions.
struct RecurrenceException {
    LocalTime originalDate;  // the occurrence's start in the pattern
    bool deleted = false;
    LocalTime start;         // changed occurrence: its new start
    // Changed occurrence moved to another day: the series has an occurrence of its own
    // on the new day at the series' time of day (so that time must not be excluded).
    bool newDayHasOccurrence = false;
};

// Reads every field; a failing host call throws HostError.
RecurrencePattern LoadRecurrencePattern(IRecurrencePattern& host);
// Reads the exceptions in the host's order; `pattern` gives the series' time of day.
// An exception whose dates the host cannot give as dates is passed over.
std::vector<RecurrenceException> LoadRecurrenceExceptions(IRecurrencePattern& host, const RecurrencePattern& pattern);

// Writes RecurrenceType, then the fields of that type that are above 0 (a new type
// starts from the host's defaults, which fill the rest from the start date), then the
// end: NoEndDate, else Occurrences when above 0, else PatternEndDate when set. The
// times are the appointment's own Start and End, so they are not written here.
void StoreRecurrencePattern(const RecurrencePattern& pattern, IRecurrencePattern& host);

}  // namespace mireo
