#pragma once
// Dates and times as records, writers, readers and zones handle them: a local
// date-time (the wall clock of some zone: the computer's, or an appointment's own)
// and a UTC date-time, both to the second, on <chrono>. The two are distinct types,
// so a local time cannot be written where a UTC time is meant; a zone (vcal/common)
// converts between them.
//
// The host speaks OLE automation dates (days since 1899-12-30 as a double, in the
// computer's local time). The one calendar implementation of
// the project is here: OLE dates, day numbers and civil dates all go through it.
#include <chrono>
#include <cstdint>
#include <optional>

namespace mireo {

// Days since 1899-12-30 as a double, in the computer's local time.
using OleDate = double;
// 4501-01-01: the host's "none" date.
inline constexpr OleDate kNoDate = 949998.0;

using LocalTime = std::chrono::local_seconds;
using UtcTime = std::chrono::sys_seconds;

// The none date as a local time, 4501-01-01 00:00 (LocalFromOle reads kNoDate as null):
// for a text that writes the host's none date as the host gives it.
inline constexpr LocalTime kNoDateLocal{std::chrono::local_days{std::chrono::year{4501} / std::chrono::January / 1}};

// A date and time of day by its fields; no zone.
struct CivilTime {
    int year = 1899, month = 12, day = 30;  // month 1..12, day 1..31
    int hour = 0, minute = 0, second = 0;
    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Month 1..12, day within the month, hour 0..23, minute 0..59, second 0..59.
bool IsValidCivil(const CivilTime& civil);
bool IsLeapYear(int year);
// 0 when the month is outside 1..12.
int DaysInMonth(int year, int month);

// Fields to a point in time and back. Fields outside their ranges are normalised as
// <chrono> does (day 32 of January is February 1); check IsValidCivil first where
// input must be rejected instead.
LocalTime ToLocal(const CivilTime& civil);
UtcTime ToUtc(const CivilTime& civil);
CivilTime Split(LocalTime t);
CivilTime Split(UtcTime t);
LocalTime MakeLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
UtcTime MakeUtc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The same fields read in the other clock: no zone conversion, only the type changes.
// For a wall clock that is known to be UTC, or a UTC time written as a floating one.
inline UtcTime AsUtc(LocalTime t) { return UtcTime{t.time_since_epoch()}; }
inline LocalTime AsLocal(UtcTime t) { return LocalTime{t.time_since_epoch()}; }

// 0 Sunday .. 6 Saturday.
int Weekday(LocalTime t);
// Midnight of the same day.
LocalTime StartOfDay(LocalTime t);

// Day numbers: days since 1899-12-30 (the OLE epoch), negative before it.
std::int64_t DayNumber(int year, int month, int day);
void CivilFromDayNumber(std::int64_t n, int& year, int& month, int& day);
int WeekdayOfDayNumber(std::int64_t n);  // 0 Sunday .. 6 Saturday

// OLE dates. The host's form before the epoch has a signed fraction: the time of day
// counts away from zero (-1.25 is 1899-12-29 06:00). Converted to the nearest second.
// Null for the host's "none" date (kNoDate), values that are not finite and values
// outside the years 100..9999, which the host never holds.
std::optional<LocalTime> LocalFromOle(OleDate d);
OleDate OleFromLocal(LocalTime t);
// kNoDate for null.
OleDate OleFromLocal(std::optional<LocalTime> t);

// Minutes since 1899-12-30 00:00 with seconds truncated (the resolution at which the
// host compares dates in filters), and back.
std::int64_t OleToMinutes(OleDate d);
OleDate MinutesToOle(std::int64_t minutes);

// Shorthands over the above for the host's own values.
OleDate MakeOleDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The fields of an OLE date to the nearest second (kNoDate is 4501-01-01);
// 1899-12-30 00:00 for a value that is not finite or is outside the years 100..9999.
CivilTime SplitOleDate(OleDate d);
using DateParts = CivilTime;

}  // namespace mireo
