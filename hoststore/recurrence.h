#pragma once
// The host's recurrence patterns: which days a pattern falls on, and the number
// of occurrences and last day of an ending pattern.
#include <cstdint>
#include <functional>

namespace mireo {

// How a pattern ends; the last one put among NoEndDate, Occurrences and
// PatternEndDate governs, and the other two are derived from it.
enum class PatternEnd { None, Count, Date };

struct RecurrenceRule {
    int type = 1;           // 0 daily, 1 weekly, 2 monthly, 3 monthly nth, 5 yearly, 6 yearly nth
    int interval = 1;       // days, weeks, months or years; below 1 counts as 1
    int dayOfWeekMask = 0;  // 1 Sunday .. 64 Saturday
    int dayOfMonth = 0;     // 1..31; beyond the month's end means its last day
    int monthOfYear = 0;    // 1..12
    int instance = 0;       // 1..5, 5 = last
    PatternEnd end = PatternEnd::None;
    int occurrences = 0;            // with PatternEnd::Count
    std::int64_t endDay = 0;        // with PatternEnd::Date: day number, inclusive
    std::int64_t startDay = 0;      // PatternStartDate as a day number
    int firstDayOfWeek = 0;         // 0 Sunday; where weekly intervals count weeks from
};

// Calls `emit` with the day number of each occurrence in order, from the pattern
// start, until the pattern ends, `emit` returns false, or the day passes
// `lastDay`. Every loop advances by whole periods, so it always ends.
void ExpandDays(const RecurrenceRule& rule, std::int64_t lastDay, const std::function<bool(std::int64_t)>& emit);

// The first occurrence day on or after the start; nullopt-like -1 when none before lastDay.
std::int64_t FirstOccurrenceDay(const RecurrenceRule& rule, std::int64_t lastDay);
// Occurrences of a pattern ending on a date; the last day of one ending after a count.
int CountUntil(RecurrenceRule rule);
std::int64_t LastDayOfCount(RecurrenceRule rule);

// Day number of 4501-01-01: no series runs beyond it.
std::int64_t NoEndDayNumber();

}  // namespace mireo
