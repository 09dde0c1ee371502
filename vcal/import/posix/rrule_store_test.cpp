// Recurrence patterns through the substitute host store: a pattern read from one
// appointment, written as a rule in either format, read back and stored into another
// appointment gives the same pattern and the same occurrences; exceptions are read in
// the host's order with the days the series still holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hoststore/host_store.h"
#include "vcal/export/rrule_writer.h"
#include "vcal/import/rrule_parser.h"
#include "vcal/import/testing/random_patterns.h"
#include "vcal/import/testing/rrule_round_trip.h"

namespace mireo {
namespace {

std::unique_ptr<IItem> AddAppointment(IApplication& app, const std::u16string& subject, OleDate start, int minutes) {
    auto item = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
    item->Put("Subject", Value::Text(subject));
    item->Put("Start", Value::Date(start));
    item->Put("Duration", Value::Int(minutes));
    return item;
}

// The starts of a series' occurrences up to 2012, as the host renders them.
std::vector<OleDate> Occurrences(IApplication& app, const std::u16string& subject) {
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    items->Sort(u"[Start]");
    items->SetIncludeRecurrences(true);
    auto found = items->Restrict(u"[Start] >= '1/1/2000 12:00 AM' And [Start] <= '12/31/2012 11:59 PM' And "
                                 u"[Subject] = '" + subject + u"'");
    std::vector<OleDate> starts;
    for (auto i = found->GetFirst(); i; i = found->GetNext()) starts.push_back(i->Get("Start").AsDate());
    return starts;
}

HostStoreOptions MemoryStore() { return HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}; }

TEST(RecurrenceStore, GeneratedPatternsComeBackThroughEitherFormat) {
    testing::CRandom rnd(20070305);
    int compared = 0;
    for (int i = 0; i < 300; ++i) {
        // A store of its own for each series: the host renders every series of a folder.
        CHostApplication app(MemoryStore());
        char name[16];
        std::snprintf(name, sizeof name, "S%03d", i);
        const std::u16string subject = ToHostText(name);
        const OleDate start = MakeOleDate(2003, 1, 1, 0, 15 * rnd.Between(0, 95)) + rnd.Between(0, 4 * 365);
        const int minutes = rnd.Pick({15, 30, 60, 1440});
        auto source = AddAppointment(app, subject, start, minutes);
        testing::PutRandomPattern(rnd, *source->GetRecurrencePattern());
        source->Save();
        const RecurrencePattern pattern = LoadRecurrencePattern(*source->GetRecurrencePattern());
        const std::vector<OleDate> want = Occurrences(app, subject);
        if (want.empty()) continue;  // an end date before the first occurrence
        for (int format : {kCalFormatVCal, kCalFormatICal}) {
            RecurrenceLineOptions options;
            options.format = format;
            options.firstDayOfWeek = 0;
            const std::string rule = RecurrenceRuleText(pattern, options);
            SCOPED_TRACE(std::string(name) + " " + rule);
            const ParsedRecurrence parsed = ParseRecurrenceRule(rule, format);
            EXPECT_TRUE(parsed.messages.empty()) << parsed.messages.front().text;
            const std::optional<RecurrencePattern> back = ToRecurrencePattern(parsed, format);
            ASSERT_TRUE(back);
            const std::u16string copy = subject + (format == kCalFormatVCal ? u"v" : u"i");
            auto target = AddAppointment(app, copy, source->Get("Start").AsDate(), minutes);
            StoreRecurrencePattern(*back, *target->GetRecurrencePattern());
            target->Save();
            const RecurrencePattern stored = LoadRecurrencePattern(*target->GetRecurrencePattern());
            EXPECT_EQ(testing::RuleFields(stored), testing::RuleFields(pattern));
            EXPECT_EQ(stored.startTime, pattern.startTime);
            EXPECT_EQ(stored.patternStartDate, pattern.patternStartDate);
            EXPECT_EQ(Occurrences(app, copy), want);
            ++compared;
        }
    }
    EXPECT_GT(compared, 500);
}

TEST(RecurrenceStore, AnUntilDateEndsTheStoredPattern) {
    CHostApplication app(MemoryStore());
    auto a = AddAppointment(app, u"Until", MakeOleDate(2007, 3, 5, 10, 0), 30);
    const std::optional<RecurrencePattern> p =
        ToRecurrencePattern(ParseICalRule("FREQ=DAILY;INTERVAL=2;UNTIL=20070314T090000Z"), kCalFormatICal);
    ASSERT_TRUE(p);
    StoreRecurrencePattern(*p, *a->GetRecurrencePattern());
    a->Save();
    const RecurrencePattern stored = LoadRecurrencePattern(*a->GetRecurrencePattern());
    EXPECT_FALSE(stored.noEndDate);
    EXPECT_EQ(stored.occurrences, 5);  // 5, 7, 9, 11 and 13 March
    EXPECT_EQ(stored.interval, 2);
}

TEST(RecurrenceStore, ExceptionsAndTheDaysTheSeriesStillHolds) {
    // Daily at 10:00 from Monday 5 March 2007, ten times.
    CHostApplication app(MemoryStore());
    auto daily = AddAppointment(app, u"Daily", MakeOleDate(2007, 3, 5, 10, 0), 30);
    auto p = daily->GetRecurrencePattern();
    p->Put("RecurrenceType", Value::Int(kRecursDaily));
    p->Put("Occurrences", Value::Int(10));
    daily->Save();
    p->GetOccurrence(MakeOleDate(2007, 3, 6, 10, 0))->Delete();
    auto moveTo = [&](OleDate from, OleDate to) {
        auto o = p->GetOccurrence(from);
        o->Put("Start", Value::Date(to));
        o->Save();
    };
    moveTo(MakeOleDate(2007, 3, 7, 10, 0), MakeOleDate(2007, 3, 8, 14, 0));   // onto a day with its own 10:00
    moveTo(MakeOleDate(2007, 3, 9, 10, 0), MakeOleDate(2007, 3, 9, 12, 0));   // within its day
    moveTo(MakeOleDate(2007, 3, 14, 10, 0), MakeOleDate(2007, 3, 16, 9, 0));  // past the last occurrence

    const RecurrencePattern pattern = LoadRecurrencePattern(*p);
    const std::vector<RecurrenceException> ex = LoadRecurrenceExceptions(*p, pattern);
    ASSERT_EQ(ex.size(), 4u);
    EXPECT_TRUE(ex[0].deleted);
    EXPECT_EQ(ex[0].originalDate, MakeLocal(2007, 3, 6, 10));
    EXPECT_EQ(ex[1].start, MakeLocal(2007, 3, 8, 14));
    EXPECT_TRUE(ex[1].newDayHasOccurrence);
    EXPECT_FALSE(ex[2].newDayHasOccurrence);  // not moved to another day
    EXPECT_FALSE(ex[3].newDayHasOccurrence);

    RecurrenceLineOptions o;
    o.format = kCalFormatICal;
    EXPECT_EQ(RecurrenceLines(pattern, ex, o),
              "RRULE:FREQ=DAILY;COUNT=10;INTERVAL=1\r\n"
              "EXDATE:20070306T100000Z,20070307T100000Z,20070309T100000Z,20070314T100000Z,20070316T100000Z\r\n"
              "RDATE:20070308T140000Z,20070309T120000Z,20070316T090000Z\r\n");
}

}  // namespace
}  // namespace mireo
