#pragma once
// Dates and times as the text formats write them: "19750423", "1975-04-23",
// "20070314T150926" (a local or floating time) and "20070314T150926Z" (UTC).
#include <optional>
#include <string>
#include <string_view>

#include "engine/date_time.h"

namespace mireo {

// "YYYYMMDD", "YYYY-MM-DD", "YYYYMMDDTHHMMSS".
std::string FormatBasicDate(LocalTime t);
std::string FormatIsoDate(LocalTime t);
std::string FormatDateTime(LocalTime t);
// "YYYYMMDDTHHMMSSZ".
std::string FormatDateTime(UtcTime t);

struct DateTimeText {
    LocalTime time;        // midnight for a date alone
    bool hasTime = false;  // "T" and a time of day were given
    bool utc = false;      // the time ended in "Z": time holds UTC fields
    UtcTime Utc() const { return AsUtc(time); }
};

// Exactly one of "YYYYMMDD", "YYYY-MM-DD", "YYYYMMDDTHHMMSS" and "YYYYMMDDTHHMMSSZ",
// white space around it ignored. Validated: month 1..12, day within the month, hour
// 0..23, minute 0..59, second 0..59 (a leap second, 60, is read as 59). Null otherwise.
std::optional<DateTimeText> ParseDateTime(std::string_view text);

// The date at the start of a vCard date value, leniently as peers write it:
// "1975-04-23" (each field of any number of digits) or "19750423"; what follows (a time
// such as "T101500Z") is ignored. Midnight of that day; null when three numbers are not
// there or the date does not exist in the years 100..9999.
std::optional<LocalTime> ParseDatePrefix(std::string_view text);

}  // namespace mireo
