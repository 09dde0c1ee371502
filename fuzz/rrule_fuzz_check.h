#pragma once
// What the fuzz targets of both rule grammars check for any input: the parser stays
// within its messages and the host's ranges, and a rule the host can hold completely
// comes back the same through the writer of either format.
#include <cstdlib>
#include <string_view>

#include "vcal/export/rrule_writer.h"
#include "vcal/import/rrule_parser.h"
#include "vcal/import/testing/rrule_round_trip.h"

namespace mireo::fuzzing {

inline void Require(bool condition) {
    if (!condition) std::abort();
}

inline void CheckRule(std::string_view text, int format) {
    const ParsedRecurrence r = ParseRecurrenceRule(text, format);
    Require(r.messages.size() <= kMaxRecurrenceMessages);
    for (const RecurrenceMessage& m : r.messages) Require(!m.text.empty() && m.text.size() < 2048);
    if (r.until) Require(IsValidCivil(r.until->civil));
    const std::optional<RecurrencePattern> p = ToRecurrencePattern(r, format);
    if (!p) {
        Require(r.type == -1);
        return;
    }
    const int t = p->recurrenceType;
    Require(t == kRecursDaily || t == kRecursWeekly || t == kRecursMonthly || t == kRecursMonthNth ||
            t == kRecursYearly || t == kRecursYearNth);
    Require(p->interval >= 1 && p->dayOfWeekMask >= 0 && p->dayOfWeekMask <= kAllDaysMask);
    Require(p->dayOfMonth >= 0 && p->dayOfMonth <= 31 && p->monthOfYear >= 0 && p->monthOfYear <= 12);
    Require(p->instance >= 0 && p->instance <= 5 && p->occurrences >= 0);
    for (int out : {kCalFormatVCal, kCalFormatICal}) {
        RecurrenceLineOptions options;
        options.format = out;
        options.firstDayOfWeek = 1;
        const std::string written = RecurrenceRuleText(*p, options);
        if (!testing::WritesCompletely(*p)) continue;
        const ParsedRecurrence back = ParseRecurrenceRule(written, out);
        Require(back.messages.empty());
        const std::optional<RecurrencePattern> q = ToRecurrencePattern(back, out);
        Require(q && testing::RuleFields(*q) == testing::RuleFields(*p));
    }
}

}  // namespace mireo::fuzzing
