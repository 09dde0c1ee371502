#include "vcal/import/rrule_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/logger.h"
#include "vcal/export/rrule_writer.h"
#include "vcal/import/testing/rrule_round_trip.h"

namespace mireo {
namespace {

// The fields of a parsed rule, in the order of the record: type, interval, occurrences,
// instance, mask, day of month, month of year.
struct Fields {
    int type, interval, occurrences, instance, mask, dom, moy;
    friend bool operator==(const Fields&, const Fields&) = default;
};

Fields FieldsOf(const ParsedRecurrence& r) {
    return {r.type, r.interval, r.occurrences, r.instance, r.dayOfWeekMask, r.dayOfMonth, r.monthOfYear};
}

std::ostream& operator<<(std::ostream& os, const Fields& f) {
    return os << "{type " << f.type << ", interval " << f.interval << ", occurrences " << f.occurrences
              << ", instance " << f.instance << ", mask " << f.mask << ", dom " << f.dom << ", moy " << f.moy << "}";
}

std::string Messages(const ParsedRecurrence& r) {
    std::string out;
    for (const RecurrenceMessage& m : r.messages) {
        if (!out.empty()) out += " | ";
        out += std::to_string(m.level) + ":" + m.text;
    }
    return out;
}

std::string Until(const ParsedRecurrence& r) {
    if (!r.until) return "";
    const CivilTime& c = r.until->civil;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%s%02d%02d%02d%s", c.year, c.month, c.day, r.until->hasTime ? "T" : "",
                  c.hour, c.minute, c.second, r.until->utc ? "Z" : "");
    return r.until->hasTime ? buf : std::string(buf, 8);
}

struct Case {
    const char* rule;
    Fields want;
    const char* messages;  // "level:text | ..."
    const char* until = "";
};

constexpr int kNone = -1;
constexpr int D = kRecursDaily, W = kRecursWeekly, MD = kRecursMonthly, MP = kRecursMonthNth, YD = kRecursYearly,
              YP = kRecursYearNth;
constexpr int SU = 1, MO = 2, TU = 4, WE = 8, TH = 16, FR = 32, SA = 64;

void Check(const Case& c, ParsedRecurrence (*parse)(std::string_view)) {
    SCOPED_TRACE(c.rule);
    const ParsedRecurrence r = parse(c.rule);
    EXPECT_EQ(FieldsOf(r), c.want);
    EXPECT_EQ(Messages(r), c.messages);
    EXPECT_EQ(Until(r), c.until);
}

TEST(VCal10Rule, Grammar) {
    const Case kCases[] = {
        {"D1 #10", {D, 1, 10, 0, 0, 0, 0}, ""},
        {"D2 20071231T000000Z", {D, 2, -1, 0, 0, 0, 0}, "", "20071231T000000Z"},
        {"d2 20071231t000000", {D, 2, -1, 0, 0, 0, 0}, "", "20071231T000000"},
        {"  D1    #3  ", {D, 1, 3, 0, 0, 0, 0}, ""},
        {"D1 #10 20071231T000000", {D, 1, 10, 0, 0, 0, 0}, ""},  // nothing after the count is read
        {"D1 1000 #5", {D, 1, 5, 0, 0, 0, 0}, "2:<time> not supported"},
        {"D1 +5 #5", {D, 1, 2, 0, 0, 0, 0}, "2:<minuteop> not supported"},
        {"W1 MO WE FR #0", {W, 1, 0, 0, MO | WE | FR, 0, 0}, ""},
        {"W1 MO MO", {W, 1, 2, 0, MO, 0, 0}, ""},
        {"W MO", {W, 0, 2, 0, MO, 0, 0}, ""},
        {"W2 TU TH 20050630T000000", {W, 2, -1, 0, TU | TH, 0, 0}, "", "20050630T000000"},
        {"W1 MO$ #3", {W, 1, 3, 0, MO, 0, 0}, "1:<endmarker> is not supported"},
        {"W1 MO SS MOO", {W, 1, 2, 0, MO, 0, 0}, "2:<weekday> is invalid | 2:<weekday> is invalid"},
        {"W1 MO 0900$ 1700", {W, 1, 2, 0, MO, 0, 0}, "2:<timelist> not supported | 2:<timelist> not supported"},
        {"MD1 15", {MD, 1, 2, 0, 0, 15, 0}, ""},
        {"MD2 1 15", {MD, 2, 2, 0, 0, 1, 0}, "2:multiple daynumbers is not supported"},
        {"MD1 2-", {MD, 1, 2, 0, 0, 30, 0}, ""},
        {"MD1 LD", {MP, 1, 2, 5, 127, 0, 0}, ""},
        {"MD1 1- #4", {MP, 1, 4, 5, 127, 0, 0}, ""},
        {"MD1 15 MO", {MD, 1, 2, 0, 0, 15, 0}, "2:embedded rules not supported"},
        {"MP1 1+ MO", {MP, 1, 2, 1, MO, 0, 0}, ""},
        {"MP1 1- FR", {MP, 1, 2, 5, FR, 0, 0}, ""},
        {"MP1 2- FR", {MP, 1, 2, 4, FR, 0, 0}, "2:occurrence with \"-\" is not correctly supported"},
        {"MP2 3+ MO TU #4", {MP, 2, 4, 3, MO | TU, 0, 0}, ""},
        {"MP1 5+ FR #0", {MP, 1, 0, 5, FR, 0, 0}, ""},
        {"MP1 1+ 2+ MO", {MP, 1, 2, 1, MO, 0, 0}, "2:multiple occurrences is not supported"},
        {"MP1 1+ MO 1000 TU", {MP, 1, 2, 1, MO, 0, 0},
         "2:<timelist> not supported | 2:multiple <weekdaylist> is not supported"},
        {"MP1 1+ MO 1+$", {MP, 1, 2, 1, MO, 0, 0}, "2:multiple occurrences is not supported"},
        {"MP1 1+ MO 20 TU", {MP, 1, 2, 1, MO, 0, 0}, "2:embedded rules not supported"},
        {"YM1 6 MD1 15", {YD, -1, 2, 0, 0, 15, 6}, ""},
        {"YM1 6 #5 MD1 15", {YD, -1, 5, 0, 0, 15, 6}, ""},
        {"YM1 6 MD1 15 #5", {YD, -1, 5, 0, 0, 15, 6}, ""},
        {"YM1 6 7 MD1 15", {YD, -1, 2, 0, 0, 15, 6}, "1:mutiple <month> is not supported"},
        {"YM1 10 #0 MP1 5+ SU", {YP, -1, 0, 5, SU, 0, 10}, ""},
        {"YM1 1 MP1 2- MO TU 20101231T000000", {YP, -1, -1, 4, MO | TU, 0, 1},
         "2:occurrence with \"-\" is not correctly supported", "20101231T000000"},
    };
    for (const Case& c : kCases) Check(c, ParseVCal10Rule);
}

TEST(VCal10Rule, RulesTheHostCannotHold) {
    const char* kInvalid = "2:RRULE is invalid";
    const Case kCases[] = {
        {"W1 #5", {kNone, 1, 5, 0, 0, 0, 0}, kInvalid},
        {"D0 #5", {kNone, 0, 5, 0, 0, 0, 0}, kInvalid},
        {"Dx", {kNone, 0, 2, 0, 0, 0, 0}, kInvalid},
        {"MD1 0", {kNone, 1, 2, 0, 0, 0, 0}, "2:invalid DayOfMonth | 2:RRULE is invalid"},
        {"MD1 45", {kNone, 1, 2, 0, 0, 45, 0}, kInvalid},
        {"MD1 40-", {kNone, 1, 2, 0, 0, -8, 0}, kInvalid},
        {"MP1 0+ MO", {kNone, 1, 2, 0, MO, 0, 0}, "2:invalid occurrence | 2:RRULE is invalid"},
        {"MP1 MO", {kNone, 1, 2, 0, MO, 0, 0}, kInvalid},
        {"YM1 6", {kNone, -1, 2, 0, 0, 0, 6}, kInvalid},
        {"YM1 13 MD1 15", {kNone, -1, 2, 0, 0, 15, 0}, "1:invalid <month> | 2:RRULE is invalid"},
        {"YM1 6 MD1 32", {kNone, -1, 2, 0, 0, 0, 6}, "2:rule is not supported | 2:RRULE is invalid"},
        {"YM1 6 MD1", {kNone, -1, 2, 0, 0, 0, 6}, "2:rule is not supported | 2:RRULE is invalid"},
        {"YM1 10 MP1 5+", {kNone, -1, 2, 5, 0, 0, 10}, kInvalid},
        {"YM1 10 MP1 SU", {kNone, -1, 2, 0, 0, 0, 10}, "2:rule is not supported | 2:RRULE is invalid"},
        {"YM1 6 FOO MD1 15", {kNone, -1, 2, 0, 0, 0, 6}, "2:rule is not supported | 2:RRULE is invalid"},
        {"YM2 5 #13", {kNone, -1, 2, 0, 0, 0, 0}, kInvalid},
        {"YD1 100", {kNone, -1, 2, 0, 0, 0, 0}, "2:Rule \"yearly by day\" is not supported | 2:RRULE is invalid"},
        {"XYZ 1", {kNone, -1, 2, 0, 0, 0, 0}, kInvalid},
        {"", {kNone, -1, 2, 0, 0, 0, 0}, kInvalid},
        // The end: a count that is not a number of 0 or more, and dates out of range.
        {"D1 #", {D, 1, 2, 0, 0, 0, 0}, ""},
        {"D1 #-5", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        {"D1 #5x", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        {"D1 #99999999999", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        {"D1 20071399T000000", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        {"D1 20070229T000000", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        {"D1 ABCDEFGHIJKLMNO", {D, 1, 2, 0, 0, 0, 0}, "2:<enddate> error"},
        // Numbers beyond 32 bits make the rule invalid.
        {"D99999999999 #5", {kNone, -1, 5, 0, 0, 0, 0}, kInvalid},
        {"W4294967298 MO", {kNone, -1, 2, 0, MO, 0, 0}, kInvalid},
        {"MD1 4294967311", {kNone, 1, 2, 0, 0, 0, 0}, kInvalid},
    };
    for (const Case& c : kCases) Check(c, ParseVCal10Rule);
}

TEST(ICalRule, Grammar) {
    const Case kCases[] = {
        {"FREQ=DAILY;COUNT=0", {D, 1, 0, 0, 0, 0, 0}, ""},
        {"FREQ=DAILY;UNTIL=20071231", {D, 1, -1, 0, 0, 0, 0}, "", "20071231"},
        {"freq=weekly;byday=mo", {W, 1, -1, 0, MO, 0, 0}, ""},
        {" FREQ = WEEKLY ; BYDAY = MO , TU ;", {W, 1, -1, 0, MO | TU, 0, 0}, ""},
        {"FREQ=WEEKLY;COUNT=10;INTERVAL=1;BYDAY=MO,WE,FR;WKST=MO", {W, 1, 10, 0, MO | WE | FR, 0, 0}, ""},
        {"FREQ=WEEKLY", {W, 1, -1, 0, 0, 0, 0}, ""},
        {"FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR;INTERVAL=1", {W, 1, -1, 0, 62, 0, 0}, ""},
        {"FREQ=DAILY;BYDAY=MO,TU;INTERVAL=2", {W, 0, -1, 0, MO | TU, 0, 0},
         "2:Was errors:INTERVAL != 1 IN DAILY RULE WITH BYDAY;"},
        {"FREQ=DAILY;BYMONTH=1;BYMONTHDAY=1;BYSETPOS=1", {D, 1, -1, 0, 0, 0, 0},
         "2:Was errors:BYMONTH in DAILY rule;BYMONTHDAY in DAILY rule;BYSETPOS in DAILY rule;"},
        {"FREQ=DAILY;BYDAY=1MO", {W, 1, -1, 0, MO, 0, 0}, "2:Was errors:BYDAY INSTANCE;"},
        {"FREQ=WEEKLY;BYDAY=1MO;BYMONTH=2;BYMONTHDAY=3;BYSETPOS=1", {W, 1, -1, 0, MO, 0, 0},
         "2:Was errors:BYMONTH in WEEKLY rule;BYMONTHDAY in WEEKLY rule;BYSETPOS in WEEKLY rule;BYDAY INSTANCE;"},
        {"FREQ=WEEKLY;BYHOUR=9", {W, 1, -1, 0, 0, 0, 0}, "2:Not supported:BYHOUR;"},
        {"FREQ=WEEKLY;BYSECOND=1;BYMINUTE=2;BYYEARDAY=3;BYWEEKNO=4;X-NAME=5;RSCALE", {W, 1, -1, 0, 0, 0, 0},
         "2:Not supported:BYSECOND;BYMINUTE;BYYEARDAY;BYWEEKNO;X-NAME;RSCALE;"},
        {"FREQ=WEEKLY;BYDAY=MO,XX,TU,3,+MO", {W, 1, -1, 0, MO | TU, 0, 0}, "2:Was errors:Invalid WEEKDAY(s) in BYDAY;"},
        {"FREQ=WEEKLY;WKST=XX", {W, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid WKST;"},
        {"FREQ=MONTHLY;BYMONTHDAY=-1", {MD, 1, -1, 0, 0, 31, 0}, ""},
        {"FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=15", {MD, 3, -1, 0, 0, 15, 0}, ""},
        {"FREQ=MONTHLY", {MD, 1, -1, 0, 0, 0, 0}, ""},
        {"FREQ=MONTHLY;BYMONTH=3;BYMONTHDAY=1", {MD, 1, -1, 0, 0, 1, 0}, "2:Was errors:BYMONTH in MONTHLY rule;"},
        {"FREQ=MONTHLY;BYMONTHDAY=1,15;BYDAY=MO;BYSETPOS=1", {MD, 1, -1, 0, 0, 1, 0},
         "2:Was errors:BYDAY & BYMONTHDAY in MONTHLY rule;BYSETPOS & BYMONTHDAY in MONTHLY rule;"
         "Multi days in BYMONTHDAY;"},
        {"FREQ=MONTHLY;BYDAY=-1FR", {MP, 1, -1, 5, FR, 0, 0}, ""},
        {"FREQ=MONTHLY;BYDAY=+2TU", {MP, 1, -1, 2, TU, 0, 0}, ""},
        {"FREQ=MONTHLY;BYDAY=MO,TU;BYSETPOS=2", {MP, 1, -1, 2, MO | TU, 0, 0}, ""},
        {"FREQ=MONTHLY;COUNT=12;INTERVAL=1;BYDAY=TU;BYSETPOS=-1", {MP, 1, 12, 5, TU, 0, 0}, ""},
        {"FREQ=MONTHLY;BYSETPOS=3", {MP, 1, -1, 3, 0, 0, 0}, ""},
        {"FREQ=MONTHLY;BYDAY=MO", {MP, 1, -1, 0, MO, 0, 0}, "2:Was errors:No instance was defined;"},
        {"FREQ=MONTHLY;BYDAY=2MO,3TU", {MP, 1, -1, 2, MO, 0, 0},
         "2:Was errors:Instance day & multi days in BYDAY without BYSETPOS;"},
        {"FREQ=MONTHLY;BYDAY=3TU,2MO", {MP, 1, -1, 3, TU, 0, 0},
         "2:Was errors:Instance day & multi days in BYDAY without BYSETPOS;"},
        {"FREQ=MONTHLY;BYDAY=5MO", {MP, 1, -1, 0, MO, 0, 0},
         "2:Was errors:Instance not equal(-1, or 1-4) in first day in BYDAY;"},
        {"FREQ=MONTHLY;BYDAY=1MO;BYSETPOS=1,2", {MP, 1, -1, 1, MO, 0, 0},
         "2:Was errors:Multi days in BYSETPOS;BYSETPOS & BYDAY instances;"},
        {"FREQ=YEARLY;INTERVAL=2;BYMONTH=6;BYMONTHDAY=15", {YD, 1, -1, 0, 0, 15, 6},
         "2:Was errors:INTERVAL > 1 in YEARLY RULE;"},
        {"FREQ=YEARLY;COUNT=5;INTERVAL=1;BYMONTHDAY=15;BYMONTH=6", {YD, 1, 5, 0, 0, 15, 6}, ""},
        {"FREQ=YEARLY;BYMONTH=6,7;BYMONTHDAY=1", {YD, 1, -1, 0, 0, 1, 6}, "2:Was errors:multiple month in BYMONTH;"},
        {"FREQ=YEARLY;INTERVAL=1", {YD, 1, -1, 0, 0, 0, 0}, ""},
        {"FREQ=YEARLY;BYMONTH=6", {YD, 1, -1, 0, 0, 0, 0}, ""},  // day and month from the start date
        {"FREQ=YEARLY;INTERVAL=1;BYDAY=SU;BYMONTH=10;BYSETPOS=-1", {YP, 1, -1, 5, SU, 0, 10}, ""},
        {"FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10", {YP, 1, -1, 5, SU, 0, 10}, ""},
        {"FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU;UNTIL=19960331T010000", {YP, 1, -1, 5, SU, 0, 3}, "",
         "19960331T010000"},
    };
    for (const Case& c : kCases) Check(c, ParseICalRule);
}

TEST(ICalRule, RulesTheHostCannotHold) {
    const Case kCases[] = {
        {"FREQ=HOURLY", {kNone, 1, -1, 0, 0, 0, 0}, "2:RRULE is invalid\nNot supported:FREQ=HOURLY;"},
        {"", {kNone, 1, -1, 0, 0, 0, 0}, "2:RRULE is invalid\nNot supported:FREQ=;"},
        {"FREQ=DAILY;INTERVAL=-1", {kNone, -1, -1, 0, 0, 0, 0}, "2:RRULE is invalid"},
        {"FREQ=WEEKLY;INTERVAL=x;FOO", {kNone, -1, -1, 0, 0, 0, 0},
         "2:RRULE is invalid\nWas errors:invalid INTERVAL;\nNot supported:FOO;"},
        {"FREQ=DAILY;INTERVAL=99999999999", {kNone, -1, -1, 0, 0, 0, 0}, "2:RRULE is invalid\nWas errors:invalid INTERVAL;"},
        {"FREQ=MONTHLY;BYSETPOS=-2", {kNone, 1, -1, 0, 0, 0, 0},
         "2:RRULE is invalid\nWas errors:Day not equal(-1, or 1-4) in BYSETPOS;"},
        {"FREQ=MONTHLY;BYDAY=+TU", {kNone, 1, -1, 0, 0, 0, 0},
         "2:RRULE is invalid\nWas errors:Invalid WEEKDAY(s) in BYDAY;No instance was defined;"},
        {"FREQ=MONTHLY;BYMONTHDAY=-40", {kNone, 1, -1, 0, 0, -8, 0}, "2:RRULE is invalid"},
        {"FREQ=MONTHLY;BYMONTHDAY=x", {kNone, 1, -1, 0, 0, -1, 0}, "2:RRULE is invalid\nWas errors:invalid BYMONTHDAY;"},
        {"FREQ=YEARLY;BYMONTH=13;BYMONTHDAY=1", {kNone, 1, -1, 0, 0, 1, 13}, "2:RRULE is invalid"},
        {"FREQ=YEARLY;BYMONTH=99999999999;BYMONTHDAY=1", {kNone, 1, -1, 0, 0, 1, -1},
         "2:RRULE is invalid\nWas errors:invalid BYMONTH;"},
        // A count that is not a number of 0 or more is no count.
        {"FREQ=DAILY;COUNT=-5", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid COUNT;"},
        {"FREQ=DAILY;COUNT=5;COUNT=99999999999", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid COUNT;"},
        {"FREQ=DAILY;COUNT=", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid COUNT;"},
        // UNTIL must be a date that exists.
        {"FREQ=DAILY;UNTIL=2007-12-31", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid UNTIL;"},
        {"FREQ=DAILY;UNTIL=20070230T000000Z", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid UNTIL;"},
        {"FREQ=DAILY;UNTIL=20071231T246000Z", {D, 1, -1, 0, 0, 0, 0}, "2:Was errors:invalid UNTIL;"},
    };
    for (const Case& c : kCases) Check(c, ParseICalRule);
}

TEST(RecurrenceRule, HostileValuesAreBounded) {
    std::string times = "D1";
    for (int i = 0; i < 100000; ++i) times += " 1000";
    const ParsedRecurrence vcal = ParseVCal10Rule(times);
    EXPECT_EQ(vcal.type, kRecursDaily);
    EXPECT_EQ(vcal.messages.size(), kMaxRecurrenceMessages - 1);

    // The last place is kept for the verdict.
    std::string days = "W1";
    for (int i = 0; i < 100000; ++i) days += " SS";
    const ParsedRecurrence invalid = ParseVCal10Rule(days);
    ASSERT_EQ(invalid.messages.size(), kMaxRecurrenceMessages);
    EXPECT_EQ(invalid.messages.back().text, "RRULE is invalid");

    std::string unknown = "FREQ=WEEKLY";
    for (int i = 0; i < 100000; ++i) unknown += ";X-" + std::string(100, 'A');
    unknown += ";BYDAY=" + std::string(1000000, ',');
    const ParsedRecurrence ical = ParseICalRule(unknown);
    EXPECT_EQ(ical.type, kRecursWeekly);
    ASSERT_EQ(ical.messages.size(), 1u);
    EXPECT_LT(ical.messages[0].text.size(), 1400u);
    EXPECT_NE(ical.messages[0].text.find("Too many days in BYDAY;"), std::string::npos);

    std::string byday = "FREQ=WEEKLY;BYDAY=MO";
    for (int i = 0; i < 365; ++i) byday += ",TU";
    EXPECT_EQ(Messages(ParseICalRule(byday)), "");
    EXPECT_EQ(Messages(ParseICalRule(byday + ",WE")), "2:Was errors:Too many days in BYDAY;");
    EXPECT_EQ(ParseICalRule(byday + ",WE").dayOfWeekMask, MO | TU);
}

TEST(RecurrenceRule, ThePatternTheAppointmentGets) {
    struct Case {
        const char* name;
        const char* rule;
        int format;
        std::optional<int> untilShiftHours;  // the reader's conversion of UNTIL; none: as it stands
        bool convertFails;
        RecurrencePattern want;
    };
    auto pattern = [](int type, int interval, int mask, int dom, int moy, int instance, bool noEnd, int count,
                      std::optional<LocalTime> end = std::nullopt) {
        RecurrencePattern p;
        p.recurrenceType = type;
        p.interval = interval;
        p.dayOfWeekMask = mask;
        p.dayOfMonth = dom;
        p.monthOfYear = moy;
        p.instance = instance;
        p.noEndDate = noEnd;
        p.occurrences = count;
        p.patternEndDate = end;
        return p;
    };
    const int V = kCalFormatVCal, I = kCalFormatICal;
    const Case kCases[] = {
        {"no end in iCalendar", "FREQ=DAILY", I, {}, false, pattern(D, 1, 0, 0, 0, 0, true, 0)},
        {"two occurrences in vCalendar", "D1", V, {}, false, pattern(D, 1, 0, 0, 0, 0, false, 2)},
        {"COUNT=0", "FREQ=DAILY;COUNT=0", I, {}, false, pattern(D, 1, 0, 0, 0, 0, true, 0)},
        {"#0", "W1 MO #0", V, {}, false, pattern(W, 1, MO, 0, 0, 0, true, 0)},
        {"a count", "FREQ=DAILY;COUNT=7", I, {}, false, pattern(D, 1, 0, 0, 0, 0, false, 7)},
        {"UNTIL as it stands", "FREQ=DAILY;UNTIL=20071231T235959Z", I, {}, false,
         pattern(D, 1, 0, 0, 0, 0, false, 0, MakeLocal(2007, 12, 31))},
        {"UNTIL in the event's zone", "FREQ=DAILY;UNTIL=20071231T235959Z", I, 1, false,
         pattern(D, 1, 0, 0, 0, 0, false, 0, MakeLocal(2008, 1, 1))},
        {"a vCalendar end date", "D1 20071231T000000", V, {}, false,
         pattern(D, 1, 0, 0, 0, 0, false, 0, MakeLocal(2007, 12, 31))},
        {"an UNTIL the reader cannot convert (iCalendar)", "FREQ=DAILY;UNTIL=20071231", I, {}, true,
         pattern(D, 1, 0, 0, 0, 0, true, 0)},
        {"an end date the reader cannot convert (vCalendar)", "D1 20071231T000000", V, {}, true,
         pattern(D, 1, 0, 0, 0, 0, false, 2)},
        {"an UNTIL outside the host's years", "FREQ=DAILY;UNTIL=00990101", I, {}, false,
         pattern(D, 1, 0, 0, 0, 0, true, 0)},
        {"COUNT wins over UNTIL", "FREQ=DAILY;UNTIL=20071231;COUNT=3", I, {}, false, pattern(D, 1, 0, 0, 0, 0, false, 3)},
        {"interval 0 is the host's 1", "FREQ=DAILY;INTERVAL=0", I, {}, false, pattern(D, 1, 0, 0, 0, 0, true, 0)},
        {"daily with days is every week", "FREQ=DAILY;BYDAY=MO,TU;INTERVAL=2", I, {}, false,
         pattern(W, 1, MO | TU, 0, 0, 0, true, 0)},
        {"yearly is every year", "FREQ=YEARLY;BYMONTH=6;BYMONTHDAY=15", I, {}, false,
         pattern(YD, 1, 0, 15, 6, 0, true, 0)},
        {"the last day of the month", "MD2 LD #0", V, {}, false, pattern(MP, 2, 127, 0, 0, 5, true, 0)},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::function<std::optional<LocalTime>(const CalDateTime&)> convert;
        if (c.untilShiftHours || c.convertFails) {
            convert = [&](const CalDateTime& d) -> std::optional<LocalTime> {
                if (c.convertFails) return std::nullopt;
                return ToLocal(d.civil) + std::chrono::hours(*c.untilShiftHours);
            };
        }
        const std::optional<RecurrencePattern> p = ToRecurrencePattern(ParseRecurrenceRule(c.rule, c.format), c.format, convert);
        ASSERT_TRUE(p);
        EXPECT_EQ(*p, c.want);
    }
    EXPECT_FALSE(ToRecurrencePattern(ParseICalRule("FREQ=HOURLY"), I));
    EXPECT_FALSE(ToRecurrencePattern(ParseVCal10Rule("YM1 6"), V));
}

// Every RRULE of the sample calendars: read without a crash, and each that the host
// can hold completely comes back the same through the writer of either format.
TEST(RecurrenceRule, SampleCalendarsRoundTrip) {
    const std::filesystem::path corpus = std::filesystem::path(MIREO_SHARED_DIR) / "corpus";
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no sample calendars at " << corpus;
    int rules = 0, recurring = 0, complete = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".ics" && ext != ".vcs" && ext != ".ical")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        int format = ext == ".vcs" ? kCalFormatVCal : kCalFormatICal;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line == "VERSION:1.0") format = kCalFormatVCal;
            if (line == "VERSION:2.0") format = kCalFormatICal;
            if (!line.starts_with("RRULE:")) continue;
            SCOPED_TRACE(entry.path().string() + ": " + line);
            ++rules;
            const ParsedRecurrence r = ParseRecurrenceRule(line.substr(6), format);
            EXPECT_LE(r.messages.size(), kMaxRecurrenceMessages);
            const std::optional<RecurrencePattern> p = ToRecurrencePattern(r, format);
            if (!p) continue;
            ++recurring;
            if (!testing::WritesCompletely(*p)) continue;
            ++complete;
            for (int out : {kCalFormatVCal, kCalFormatICal}) {
                RecurrenceLineOptions options;
                options.format = out;
                options.firstDayOfWeek = 1;
                const std::string text = RecurrenceRuleText(*p, options);
                const ParsedRecurrence back = ParseRecurrenceRule(text, out);
                EXPECT_EQ(Messages(back), "") << text;
                const std::optional<RecurrencePattern> q = ToRecurrencePattern(back, out);
                ASSERT_TRUE(q) << text;
                EXPECT_EQ(testing::RuleFields(*q), testing::RuleFields(*p)) << text;
            }
        }
    }
    EXPECT_GT(complete, 100);
    std::printf("%d rules, %d the host can hold, %d of them complete\n", rules, recurring, complete);
}

}  // namespace
}  // namespace mireo
