#include "vcal/import/rrule_parser.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "engine/logger.h"
#include "platform/ascii.h"

namespace mireo {

namespace {

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kDigitsDollar = "0123456789$";
constexpr std::string_view kDayLetters = "SUMOTWEHFRA$";  // the letters of "SUMOTUWETHFRSA", and "$"
// The errors and not-supported texts of an iCalendar rule, and any name they echo,
// are bounded: the whole message goes to the log.
constexpr std::size_t kMaxMessageText = 512;
constexpr std::size_t kMaxEchoedName = 64;

using ascii::Upper;

// The parts of a rule are trimmed of blanks (spaces and tabs).
std::string_view Trim(std::string_view s) { return ascii::Trim(s, ascii::kBlanks); }

bool AllOf(std::string_view s, std::string_view set) {
    return std::all_of(s.begin(), s.end(), [&](char c) { return set.find(c) != std::string_view::npos; });
}

// Calls fn(part) for each part of s between separators; fn returns false to stop.
template <typename Fn>
void ForEachPart(std::string_view s, char separator, Fn fn) {
    for (;;) {
        const std::size_t end = s.find(separator);
        if (!fn(s.substr(0, end))) return;
        if (end == std::string_view::npos) return;
        s.remove_prefix(end + 1);
    }
}

// Digits only, at least one, up to INT_MAX; none otherwise.
std::optional<int> Unsigned(std::string_view s) {
    if (s.empty() || !AllOf(s, kDigits)) return std::nullopt;
    std::int64_t n = 0;
    for (char c : s) {
        n = n * 10 + (c - '0');
        if (n > INT_MAX) return std::nullopt;
    }
    return static_cast<int>(n);
}

// An optional "+" or "-" and digits.
std::optional<int> Signed(std::string_view s) {
    const bool minus = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    const std::optional<int> n = Unsigned(s);
    if (!n) return std::nullopt;
    return minus ? -*n : *n;
}

// The leading digits as a number: 0 when there are none, none when it overflows.
std::optional<int> DigitPrefix(std::string_view s) {
    const std::size_t n = std::min(s.find_first_not_of(kDigits), s.size());
    return n == 0 ? std::optional<int>(0) : Unsigned(s.substr(0, n));
}

// The messages of one rule, at most kMaxRecurrenceMessages; the last place is kept
// for the verdict on the whole rule.
class CMessages {
public:
    explicit CMessages(std::vector<RecurrenceMessage>& out) : m_out(out) {}
    void Add(int level, std::string_view text) {
        if (m_out.size() + 1 < kMaxRecurrenceMessages) m_out.push_back({level, std::string(text)});
    }
    void Final(int level, std::string text) { m_out.push_back({level, std::move(text)}); }

private:
    std::vector<RecurrenceMessage>& m_out;
};

// ---------------------------------------------------------------------------
// vCalendar 1.0

struct Occurrence {
    int number;  // 0..5
    bool fromEnd;
};

// "1+", "2-", "5+", "3", "1-$": one digit 0..5 and any of "+", "-", "$".
std::optional<Occurrence> OccurrenceToken(std::string_view tok) {
    if (tok.empty() || tok[0] < '0' || tok[0] > '5' || !AllOf(tok.substr(1), "+-$")) return std::nullopt;
    return Occurrence{tok[0] - '0', tok.find('-') != std::string_view::npos};
}

void ApplyOccurrence(const Occurrence& o, int& instance, CMessages& m) {
    if (o.number == 0) {
        m.Add(kWarning, "invalid occurrence");
    } else if (o.fromEnd) {
        // 1- is the last; 2- is the second to last, which the host can only take as
        // the fourth (of five possible).
        instance = 6 - o.number;
        if (o.number != 1) m.Add(kWarning, "occurrence with \"-\" is not correctly supported");
    } else {
        instance = o.number;
    }
}

bool IsDayToken(std::string_view tok) { return !tok.empty() && AllOf(tok, kDayLetters); }

// A day code, optionally followed by the end marker "$".
void ReadDay(std::string_view tok, int& mask, CMessages& m) {
    if (tok.size() == 2 || (tok.size() == 3 && tok[2] == '$')) {
        const int day = DayOfCode(tok.substr(0, 2));
        if (day >= 0) {
            if (tok.size() == 3) m.Add(kTrace, "<endmarker> is not supported");
            mask |= 1 << day;
            return;
        }
    }
    m.Add(kWarning, "<weekday> is invalid");
}

class CVCalRule {
public:
    explicit CVCalRule(std::string_view value) : m_text(Upper(value)), m_msg(m_r.messages) {
        ForEachPart(m_text, ' ', [&](std::string_view t) {
            if (!t.empty()) m_tokens.push_back(t);
            return true;
        });
    }

    ParsedRecurrence Read() {
        if (!m_tokens.empty()) ReadRule();
        ReadEnd();
        if (!IsValid()) {
            m_msg.Final(kWarning, "RRULE is invalid");
            m_r.type = -1;
        }
        return std::move(m_r);
    }

private:
    enum class Kind { None, Daily, Weekly, MonthDay, MonthPos };

    void ReadRule() {
        const std::string_view first = m_tokens[0];
        auto interval = [&](std::size_t prefix) {
            const std::optional<int> n = DigitPrefix(first.substr(prefix));
            if (!n) m_overflow = true;
            return n.value_or(-1);
        };
        if (first.starts_with("D")) {
            m_kind = Kind::Daily;
            m_r.type = kRecursDaily;
            m_r.interval = interval(1);
        } else if (first.starts_with("W")) {
            m_kind = Kind::Weekly;
            m_r.type = kRecursWeekly;
            m_r.interval = interval(1);
        } else if (first.starts_with("MD")) {
            m_kind = Kind::MonthDay;
            m_r.type = kRecursMonthly;
            m_r.interval = interval(2);
        } else if (first.starts_with("MP")) {
            m_kind = Kind::MonthPos;
            m_r.type = kRecursMonthNth;
            m_r.interval = interval(2);
        } else if (first.starts_with("YD")) {
            m_msg.Add(kWarning, "Rule \"yearly by day\" is not supported");
            return;
        } else if (first.starts_with("YM")) {
            // Only a yearly rule of every year fits the host's yearly patterns.
            if (DigitPrefix(first.substr(2)) == 1) ReadYearly();
            return;
        } else {
            return;
        }
        for (std::size_t i = 1; i < m_tokens.size(); ++i) {
            const std::string_view tok = m_tokens[i];
            if (tok[0] == '#') {
                m_count = tok.substr(1);
                return;
            }
            if (tok.size() == 15 || tok.size() == 16) {
                m_end = tok;
                return;
            }
            if (!ReadToken(tok)) {
                const bool basic = m_kind == Kind::Daily || m_kind == Kind::Weekly;
                m_msg.Add(kWarning, basic ? "<minuteop> not supported" : "embedded rules not supported");
                return;
            }
        }
    }

    // False when the rule has no use for the token.
    bool ReadToken(std::string_view tok) {
        switch (m_kind) {
        case Kind::Daily:
            if (!AllOf(tok, kDigitsDollar)) return false;
            m_msg.Add(kWarning, "<time> not supported");
            return true;
        case Kind::Weekly:
            if (IsDayToken(tok)) {
                ReadDay(tok, m_r.dayOfWeekMask, m_msg);
                return true;
            }
            if (!AllOf(tok, kDigitsDollar)) return false;
            m_msg.Add(kWarning, "<timelist> not supported");
            return true;
        case Kind::MonthDay:
            return ReadMonthDay(tok);
        case Kind::MonthPos:
            return ReadMonthPosition(tok);
        case Kind::None:
            break;
        }
        return false;
    }

    bool ReadMonthDay(std::string_view tok) {
        if (tok != "LD" && !AllOf(tok, "0123456789+-$")) return false;
        if (m_dayRead) {
            m_msg.Add(kWarning, "multiple daynumbers is not supported");
            return true;
        }
        m_dayRead = true;
        bool last = tok == "LD";
        if (!last) {
            const std::optional<int> n = DigitPrefix(tok);
            const bool fromEnd = tok.find('-') != std::string_view::npos;
            if (!n) {
                m_overflow = true;
            } else if (*n == 0) {
                m_msg.Add(kWarning, "invalid DayOfMonth");
            } else if (fromEnd && *n == 1) {
                last = true;
            } else {
                // n- counts from the end of a 31-day month: the host has no such day.
                m_r.dayOfMonth = fromEnd ? 32 - *n : *n;
            }
        }
        if (last) {
            // The last day of the month: the last of all seven days, by position.
            m_r.type = kRecursMonthNth;
            m_r.instance = 5;
            m_r.dayOfWeekMask = kAllDaysMask;
        }
        return true;
    }

    bool ReadMonthPosition(std::string_view tok) {
        if (const std::optional<Occurrence> o = OccurrenceToken(tok)) {
            if (m_occurrenceRead) {
                m_msg.Add(kWarning, "multiple occurrences is not supported");
            } else {
                m_occurrenceRead = true;
                ApplyOccurrence(*o, m_r.instance, m_msg);
            }
            m_previousWasDay = false;
            return true;
        }
        if (IsDayToken(tok)) {
            // One day list: days are taken up to the first token that is not one.
            if (m_dayListRead && !m_previousWasDay) {
                m_msg.Add(kWarning, "multiple <weekdaylist> is not supported");
                return true;
            }
            ReadDay(tok, m_r.dayOfWeekMask, m_msg);
            m_dayListRead = true;
            m_previousWasDay = true;
            return true;
        }
        m_previousWasDay = false;
        if ((tok.size() == 4 && AllOf(tok, kDigits)) || (tok.size() == 5 && AllOf(tok, kDigitsDollar))) {
            m_msg.Add(kWarning, "<timelist> not supported");
            return true;
        }
        return false;
    }

    // "YM1" then, in any order, the month, "#n", an end date, and one embedded rule:
    // "MD1 day" (yearly on a date) or "MP1 occurrence days" (yearly on the nth weekday).
    void ReadYearly() {
        bool monthRead = false;
        for (std::size_t i = 1; i < m_tokens.size(); ++i) {
            const std::string_view tok = m_tokens[i];
            if (tok[0] == '#') {
                m_count = tok.substr(1);
            } else if (tok.size() == 15 || tok.size() == 16) {
                m_end = tok;
            } else if (AllOf(tok, kDigits)) {
                if (monthRead) {
                    m_msg.Add(kTrace, "mutiple <month> is not supported");
                    continue;
                }
                monthRead = true;
                const std::optional<int> month = Unsigned(tok);
                if (month && *month >= 1 && *month <= 12) {
                    m_r.monthOfYear = *month;
                } else {
                    m_msg.Add(kTrace, "invalid <month>");
                }
            } else if (tok == "MD1") {
                const std::optional<int> day = i + 1 < m_tokens.size() ? Unsigned(m_tokens[i + 1]) : std::nullopt;
                if (!day || *day < 1 || *day > 31) {
                    m_msg.Add(kWarning, "rule is not supported");
                    return;
                }
                ++i;
                m_r.type = kRecursYearly;
                m_r.dayOfMonth = *day;
            } else if (tok == "MP1") {
                const std::optional<Occurrence> o =
                    i + 1 < m_tokens.size() ? OccurrenceToken(m_tokens[i + 1]) : std::nullopt;
                if (!o) {
                    m_msg.Add(kWarning, "rule is not supported");
                    return;
                }
                ++i;
                ApplyOccurrence(*o, m_r.instance, m_msg);
                bool dayRead = false;
                while (i + 1 < m_tokens.size() && IsDayToken(m_tokens[i + 1])) {
                    ReadDay(m_tokens[++i], m_r.dayOfWeekMask, m_msg);
                    dayRead = true;
                }
                if (dayRead) m_r.type = kRecursYearNth;
            } else {
                m_msg.Add(kWarning, "rule is not supported");
                return;
            }
        }
    }

    void ReadEnd() {
        if (!m_count.empty()) {
            // A negative or overflowing count is no count at all.
            const std::optional<int> n = Unsigned(m_count);
            if (n) {
                m_r.occurrences = *n;
            } else {
                m_msg.Add(kWarning, "<enddate> error");
            }
        }
        if (!m_end.empty()) {
            m_r.until = ParseCalDateTime(m_end);
            if (!m_r.until) m_msg.Add(kWarning, "<enddate> error");
        }
        // Without either, a vCalendar rule repeats twice.
        if (m_r.occurrences == -1 && !m_r.until) m_r.occurrences = 2;
    }

    bool IsValid() const {
        if (m_overflow) return false;
        const ParsedRecurrence& r = m_r;
        const bool hasInstance = r.instance >= 1 && r.instance <= 5;
        const bool hasMonth = r.monthOfYear >= 1 && r.monthOfYear <= 12;
        switch (r.type) {
        case kRecursDaily:
            return r.interval > 0;
        case kRecursWeekly:
            return r.dayOfWeekMask != 0;
        case kRecursMonthly:
            return r.dayOfMonth >= 1 && r.dayOfMonth <= 31;
        case kRecursMonthNth:
            return hasInstance && r.dayOfWeekMask != 0;
        case kRecursYearly:
            return r.dayOfMonth >= 1 && r.dayOfMonth <= 31 && hasMonth;
        case kRecursYearNth:
            return hasMonth && hasInstance && r.dayOfWeekMask != 0;
        default:
            return false;
        }
    }

    std::string m_text;  // upper case; the tokens point into it
    ParsedRecurrence m_r;
    CMessages m_msg;
    std::vector<std::string_view> m_tokens;
    Kind m_kind = Kind::None;
    std::string_view m_count;  // the text after "#"
    std::string_view m_end;    // the end date text
    bool m_overflow = false;   // a number beyond 32 bits makes the rule invalid
    bool m_dayRead = false;
    bool m_occurrenceRead = false;
    bool m_dayListRead = false;
    bool m_previousWasDay = false;
};

// ---------------------------------------------------------------------------
// iCalendar 2.0

struct ByDay {
    int mask = 0;
    int days = 0;  // entries read
    int firstDay = -1;
    int firstInstance = 0;
    bool firstHasInstance = false;
    bool anyInstance = false;
};

class CICalRule {
public:
    explicit CICalRule(std::string_view value) : m_text(Upper(value)) { m_r.interval = 1; }

    ParsedRecurrence Read() {
        ForEachPart(m_text, ';', [&](std::string_view part) {
            ReadPart(part);
            return true;
        });
        ApplyFrequency();
        const bool valid = IsValid();
        if (!valid) m_r.type = -1;
        Report(valid);
        return std::move(m_r);
    }

private:
    void Error(std::string_view text) { Append(m_errors, text); }
    void Unsupported(std::string_view text) { Append(m_unsupported, text); }
    static void Append(std::string& to, std::string_view text) {
        if (to.size() < kMaxMessageText) to += text;
    }
    static std::string_view Echo(std::string_view s) { return s.substr(0, kMaxEchoedName); }

    void ReadPart(std::string_view part) {
        const std::size_t eq = part.find('=');
        const std::string_view name = Trim(part.substr(0, eq));
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : Trim(part.substr(eq + 1));
        if (name.empty() && value.empty()) return;  // ";;" or a final ";"
        if (name == "FREQ") {
            m_freq = value;
        } else if (name == "UNTIL") {
            if (const std::optional<CalDateTime> d = ParseCalDateTime(value)) {
                m_r.until = d;
            } else {
                Error("invalid UNTIL;");
            }
        } else if (name == "COUNT") {
            // COUNT=0 is no end; a negative or overflowing count is no count at all.
            const std::optional<int> n = Signed(value);
            if (n && *n >= 0) {
                m_r.occurrences = *n;
            } else {
                Error("invalid COUNT;");
                m_r.occurrences = -1;
            }
        } else if (name == "INTERVAL") {
            const std::optional<int> n = Signed(value);
            if (!n) Error("invalid INTERVAL;");
            m_r.interval = n.value_or(-1);
        } else if (name == "BYDAY") {
            m_hasByDay = true;
            ReadByDay(value);
        } else if (name == "BYMONTHDAY") {
            m_byMonthDay = value;
        } else if (name == "BYMONTH") {
            m_byMonth = value;
        } else if (name == "BYSETPOS") {
            m_bySetPos = value;
        } else if (name == "WKST") {
            if (DayOfCode(value) < 0) Error("invalid WKST;");
        } else {
            // BYSECOND, BYMINUTE, BYHOUR, BYYEARDAY, BYWEEKNO and unknown names.
            Unsupported(Echo(name));
            Unsupported(";");
        }
    }

    void ReadByDay(std::string_view value) {
        m_byDay = ByDay{};
        int entries = 0;
        bool invalid = false;
        ForEachPart(value, ',', [&](std::string_view entry) {
            if (entries == 366) {
                Error("Too many days in BYDAY;");
                return false;
            }
            ++entries;
            entry = Trim(entry);
            // [+|-][digits] and one day code.
            const std::size_t codeAt = entry.size() >= 2 ? entry.size() - 2 : 0;
            const int day = DayOfCode(entry.substr(codeAt));
            const std::string_view number = entry.substr(0, codeAt);
            std::optional<int> instance;
            if (!number.empty()) instance = Signed(number);
            if (day < 0 || (!number.empty() && !instance)) {
                invalid = true;
                return true;
            }
            m_byDay.mask |= 1 << day;
            if (m_byDay.days++ == 0) {
                m_byDay.firstDay = day;
                m_byDay.firstHasInstance = instance.has_value();
                m_byDay.firstInstance = instance.value_or(0);
            }
            if (instance) m_byDay.anyInstance = true;
            return true;
        });
        if (invalid) Error("Invalid WEEKDAY(s) in BYDAY;");
    }

    // The first number of a list ("15,16" gives 15).
    static std::optional<int> FirstNumber(std::string_view list) { return Signed(Trim(list.substr(0, list.find(',')))); }

    void ApplyFrequency() {
        auto notIn = [&](const std::optional<std::string_view>& part, const char* text) {
            if (part) Error(text);
        };
        if (m_freq == "DAILY") {
            notIn(m_byMonth, "BYMONTH in DAILY rule;");
            notIn(m_byMonthDay, "BYMONTHDAY in DAILY rule;");
            notIn(m_bySetPos, "BYSETPOS in DAILY rule;");
            if (!m_hasByDay) {
                m_r.type = kRecursDaily;
                return;
            }
            // Days of the week make it a weekly pattern, which can only be every week.
            if (m_byDay.anyInstance) Error("BYDAY INSTANCE;");
            if (m_r.interval > 1) {
                Error("INTERVAL != 1 IN DAILY RULE WITH BYDAY;");
                m_r.interval = 0;
            }
            m_r.type = kRecursWeekly;
            m_r.dayOfWeekMask = m_byDay.mask;
        } else if (m_freq == "WEEKLY") {
            notIn(m_byMonth, "BYMONTH in WEEKLY rule;");
            notIn(m_byMonthDay, "BYMONTHDAY in WEEKLY rule;");
            notIn(m_bySetPos, "BYSETPOS in WEEKLY rule;");
            if (m_byDay.anyInstance) Error("BYDAY INSTANCE;");
            m_r.type = kRecursWeekly;  // an empty mask leaves the day to the start date
            m_r.dayOfWeekMask = m_byDay.mask;
        } else if (m_freq == "MONTHLY") {
            notIn(m_byMonth, "BYMONTH in MONTHLY rule;");
            MonthlyChoice(kRecursMonthly, kRecursMonthNth, "MONTHLY");
        } else if (m_freq == "YEARLY") {
            if (m_r.interval > 1) {
                Error("INTERVAL > 1 in YEARLY RULE;");
                m_r.interval = 1;
            }
            if (m_byMonth) {
                if (m_byMonth->find(',') != std::string_view::npos) Error("multiple month in BYMONTH;");
                const std::optional<int> month = FirstNumber(*m_byMonth);
                if (!month) Error("invalid BYMONTH;");
                m_r.monthOfYear = month.value_or(-1);
            }
            MonthlyChoice(kRecursYearly, kRecursYearNth, "YEARLY");
        } else {
            Unsupported("FREQ=");
            Unsupported(Echo(m_freq));
            Unsupported(";");
        }
    }

    void MonthlyChoice(int byDayType, int byPositionType, const std::string& freq) {
        if (m_byMonthDay) {
            if (m_hasByDay) Error("BYDAY & BYMONTHDAY in " + freq + " rule;");
            if (m_bySetPos) Error("BYSETPOS & BYMONTHDAY in " + freq + " rule;");
            if (m_byMonthDay->find(',') != std::string_view::npos) Error("Multi days in BYMONTHDAY;");
            const std::optional<int> day = FirstNumber(*m_byMonthDay);
            if (!day) Error("invalid BYMONTHDAY;");
            // -1 is the 31st: the host has no day counted from the month's end.
            m_r.dayOfMonth = !day ? -1 : *day < 0 ? 32 + *day : *day;
            m_r.type = byDayType;
        } else if (!m_bySetPos && !m_hasByDay) {
            m_r.type = byDayType;
            m_r.monthOfYear = 0;  // day and month are the start date's
        } else if (m_bySetPos) {
            if (m_bySetPos->find(',') != std::string_view::npos) Error("Multi days in BYSETPOS;");
            if (m_byDay.anyInstance) Error("BYSETPOS & BYDAY instances;");
            m_r.instance = Instance(FirstNumber(*m_bySetPos), "Day not equal(-1, or 1-4) in BYSETPOS;");
            m_r.dayOfWeekMask = m_byDay.mask;
            m_r.type = byPositionType;
        } else {
            m_r.dayOfWeekMask = m_byDay.mask;
            if (!m_byDay.firstHasInstance) {
                Error("No instance was defined;");
            } else {
                if (m_byDay.days > 1) {
                    Error("Instance day & multi days in BYDAY without BYSETPOS;");
                    m_r.dayOfWeekMask = 1 << m_byDay.firstDay;
                }
                m_r.instance = Instance(m_byDay.firstInstance, "Instance not equal(-1, or 1-4) in first day in BYDAY;");
            }
            m_r.type = byPositionType;
        }
    }

    // 1..4 as they are, -1 is the last (5); anything else is reported and unset.
    int Instance(std::optional<int> n, const char* error) {
        if (n && *n >= 1 && *n <= 4) return *n;
        if (n == -1) return 5;
        Error(error);
        return 0;
    }

    bool IsValid() const {
        const ParsedRecurrence& r = m_r;
        const bool instanceOk = (r.instance >= 1 && r.instance <= 5) || (r.instance == 0 && r.dayOfWeekMask != 0);
        const bool dayOk = r.dayOfMonth >= 0 && r.dayOfMonth <= 31;
        const bool monthOk = r.monthOfYear >= 0 && r.monthOfYear <= 12;
        switch (r.type) {
        case kRecursDaily:
        case kRecursWeekly:
            return r.interval >= 0;
        case kRecursMonthly:
            return r.interval >= 0 && dayOk;
        case kRecursMonthNth:
            return r.interval >= 0 && instanceOk;
        case kRecursYearly:
            return dayOk && monthOk;
        case kRecursYearNth:
            return monthOk && instanceOk;
        default:
            return false;
        }
    }

    void Report(bool valid) {
        if (valid && m_errors.empty() && m_unsupported.empty()) return;
        std::string text = valid ? "" : "RRULE is invalid";
        if (!m_errors.empty()) {
            if (!text.empty()) text += '\n';
            text += "Was errors:" + m_errors;
        }
        if (!m_unsupported.empty()) {
            if (!text.empty()) text += '\n';
            text += "Not supported:" + m_unsupported;
        }
        CMessages(m_r.messages).Final(kWarning, std::move(text));
    }

    std::string m_text;  // upper case; the parts point into it
    ParsedRecurrence m_r;
    std::string m_errors;
    std::string m_unsupported;
    std::string_view m_freq;
    bool m_hasByDay = false;
    ByDay m_byDay;
    std::optional<std::string_view> m_byMonthDay, m_byMonth, m_bySetPos;
};

}  // namespace

ParsedRecurrence ParseVCal10Rule(std::string_view value) { return CVCalRule(value).Read(); }

ParsedRecurrence ParseICalRule(std::string_view value) { return CICalRule(value).Read(); }

ParsedRecurrence ParseRecurrenceRule(std::string_view value, int format) {
    return format == kCalFormatVCal ? ParseVCal10Rule(value) : ParseICalRule(value);
}

std::optional<RecurrencePattern> ToRecurrencePattern(
    const ParsedRecurrence& rule, int format,
    const std::function<std::optional<LocalTime>(const CalDateTime&)>& untilToLocal) {
    if (!rule.IsRecurring()) return std::nullopt;
    RecurrencePattern p;
    p.recurrenceType = rule.type;
    const bool yearly = rule.type == kRecursYearly || rule.type == kRecursYearNth;
    // The host keeps 1 for an interval that is not written, and for yearly patterns.
    p.interval = yearly || rule.interval <= 0 ? 1 : rule.interval;
    p.dayOfWeekMask = rule.dayOfWeekMask & kAllDaysMask;
    p.dayOfMonth = std::max(rule.dayOfMonth, 0);
    p.monthOfYear = std::max(rule.monthOfYear, 0);
    p.instance = std::max(rule.instance, 0);
    p.noEndDate = false;
    p.occurrences = 0;
    if (rule.occurrences == 0) {
        p.noEndDate = true;
    } else if (rule.occurrences > 0) {
        p.occurrences = rule.occurrences;
    } else {
        std::optional<LocalTime> until;
        if (rule.until) until = untilToLocal ? untilToLocal(*rule.until) : ToLocal(rule.until->civil);
        // The host holds dates of the years 100..9999 only.
        if (until && (Split(*until).year < 100 || Split(*until).year > 9999)) until.reset();
        if (until) {
            p.patternEndDate = StartOfDay(*until);
        } else if (format == kCalFormatICal) {
            p.noEndDate = true;
        } else {
            p.occurrences = 2;
        }
    }
    return p;
}

}  // namespace mireo
