#pragma once
// Date and date-time texts of calendar files: "20071231" (a date), "20071231T100000"
// (a floating or zoned time) and "20071231T100000Z" (UTC), as RRULE end dates, UNTIL,
// EXDATE, RDATE, DTSTART and DTEND carry them.
#include <optional>
#include <string>
#include <string_view>

#include "engine/date_time.h"

namespace mireo {

struct CalDateTime {
    CivilTime civil;       // time 00:00:00 for a date
    bool hasTime = false;  // 15 or 16 characters
    bool utc = false;      // ends in "Z"
    friend bool operator==(const CalDateTime&, const CalDateTime&) = default;
};

// Exactly 8 digits; or 8 digits, "T" and 6 digits; or that and "Z" ("T" and "Z" in
// either case). Nothing else: no sign, separator or fraction. The fields must name a
// real date and time: month 1..12, a day of that month, hour 0..23, minute 0..59,
// second 0..60 (a leap second reads as 59).
std::optional<CalDateTime> ParseCalDateTime(std::string_view text);

// Writing them: FormatDateTime and FormatBasicDate of textformat/date_text.h.

}  // namespace mireo
