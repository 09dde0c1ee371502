// The calendar import run end to end through the substitute host store: exceptions from
// EXDATE and RDATE, changed and deleted occurrences, the conflict rules with subjects
// that break naive filters, the category filter, reminders, an unknown VERSION, Cancel.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/category_filter.h"
#include "engine/save_counter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcal/common/item_zone.h"
#include "vcal/common/system_zone.h"
#include "vcal/export/event_writer.h"
#include "vcal/import/event_import.h"
#include "vcal/import/testing/scripted_wizard.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

using CScriptedWizard = testing::CScriptedWizard<IEventImportWizard, EventImportChoices, EventImportOutcome>;

std::string Ics(const std::string& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + events + "END:VCALENDAR\r\n";
}

std::string Event(const std::string& lines) { return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n"; }

// A progress view whose run reaches a batch boundary at position `commitAt`: the
// store commits there, as it does every 200 ms of a long run.
class CCommittingView : public CScriptedProgressView {
public:
    void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) override {
        CScriptedProgressView::ShowStatus(pos, range, text);
        if (app == nullptr || pos != commitAt) return;
        try {
            app->CommitSaves();
        } catch (const HostError&) {
            // The run hears of it through its listener.
        }
    }
    IApplication* app = nullptr;
    std::int32_t commitAt = -1;
};

class EventImportRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                (std::string("mireo_evrun_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        // The zone list the run reads lives in a registry file of the test's own.
        SetRegistryFile((m_dir / "zones.reg").string());
        m_converter = MireoCharConverter::FromModuleDirectory();
    }
    void TearDown() override {
        SetRegistryFile("");
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    EventImportOutcome Import(const std::string& paths, int conflict = kEventConflictKeepBoth,
                              std::function<void(EventImportChoices&)> more = {}) {
        CScriptedWizard wizard([&](EventImportChoices& c) {
            c.folder = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
            c.paths = paths;
            c.conflict = conflict;
            if (const auto z = SystemZone()) c.zone = *z;
            c.zoneName = "Computer";
            if (more) more(c);
        });
        auto files = CreateSystemOutputFiles();
        RunEnvironment env{.app = m_app,
                           .mapi = m_app.Mapi(),
                           .settings = m_settings,
                           .log = m_log,
                           .help = nullptr,
                           .files = *files,
                           .messages = m_box,
                           .converter = *m_converter,
                           .listSeparator = ",",
                           .product = {1, 0, 0},
                           .hostMajorVersion = 11,
                           .progress = m_view};
        EXPECT_EQ(RunEventImport(env, wizard), kRunDone);
        EXPECT_EQ(wizard.finishes.size(), 1u);
        return wizard.finishes.empty() ? EventImportOutcome{} : wizard.finishes.front();
    }

    std::unique_ptr<IItems> Items() { return m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items(); }

    // Every occurrence in 2007 as "MM-DD HH:MM subject".
    std::vector<std::string> Occurrences() {
        auto items = Items();
        items->Sort(u"[Start]");
        items->SetIncludeRecurrences(true);
        auto found = items->Restrict(u"[Start] >= '1/1/2007 12:00 AM' And [Start] <= '12/31/2007 11:59 PM'");
        std::vector<std::string> out;
        for (auto i = found->GetFirst(); i; i = found->GetNext()) {
            const CivilTime c = SplitOleDate(i->Get("Start").AsDate());
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d-%02d %02d:%02d ", c.month, c.day, c.hour, c.minute);
            out.push_back(buf + FromHostText(i->Get("Subject").AsText()));
        }
        return out;
    }

    fs::path m_dir;
    CHostApplication m_app{HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}};
    CSettingsStore m_settings{UniqueRegKey{}};
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    CCommittingView m_view;
    std::unique_ptr<MireoCharConverter> m_converter;
};

TEST_F(EventImportRun, ExceptionsFromExdateAndRdate) {
    const std::string series = "DTSTART:20070305T090000\r\nDTEND:20070305T100000\r\nSUMMARY:W\r\n"
                               "RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=5\r\n";
    const struct {
        const char* what;
        std::string lines;
        std::vector<std::string> want;
    } cases[] = {
        {"moved one day later", "EXDATE:20070312T090000\r\nRDATE:20070313T090000\r\n",
         {"03-05 09:00 W", "03-13 09:00 W", "03-19 09:00 W", "03-26 09:00 W", "04-02 09:00 W"}},
        {"three EXDATE and one RDATE: one moved, two deleted",
         "EXDATE:20070312T090000,20070319T090000,20070326T090000\r\nRDATE:20070313T090000\r\n",
         {"03-05 09:00 W", "03-13 09:00 W", "04-02 09:00 W"}},
        {"more RDATE than EXDATE: ignored", "EXDATE:20070312T090000\r\nRDATE:20070313T090000,20070314T090000\r\n",
         {"03-05 09:00 W", "03-12 09:00 W", "03-19 09:00 W", "03-26 09:00 W", "04-02 09:00 W"}},
        {"a wrong EXDATE is dropped, the rest applies",
         "EXDATE:20070313T090000,20070319T090000\r\nEXDATE:16010101T090000,99991231T090000\r\n",
         {"03-05 09:00 W", "03-12 09:00 W", "03-26 09:00 W", "04-02 09:00 W"}},
        {"a date alone names that day's occurrence", "EXDATE;VALUE=DATE:20070326\r\n",
         {"03-05 09:00 W", "03-12 09:00 W", "03-19 09:00 W", "04-02 09:00 W"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto items = Items();
        while (items->Count() > 0) items->Item(1)->Delete();
        const EventImportOutcome o = Import(Write("s.ics", Ics(Event(series + c.lines))));
        EXPECT_EQ(o.counters.succeeded, 1);
        EXPECT_EQ(Occurrences(), c.want);
    }
}

TEST_F(EventImportRun, RecurrenceIdChangesOrDeletesAnOccurrence) {
    const std::string text = Ics(
        Event("UID:u1\r\nRECURRENCE-ID:20070306T090000\r\nDTSTART:20070306T110000\r\nDTEND:20070306T113000\r\n"
              "SUMMARY:Moved\r\n") +
        Event("UID:u2\r\nRECURRENCE-ID:20070405T090000\r\nDTSTART:20070405T140000\r\nDTEND:20070405T143000\r\n"
              "SUMMARY:Later\r\n") +
        Event("UID:u1\r\nDTSTART:20070305T090000\r\nDTEND:20070305T100000\r\nSUMMARY:D\r\n"
              "RRULE:FREQ=DAILY;COUNT=5\r\n") +
        Event("UID:u1\r\nRECURRENCE-ID:20070307T090000\r\nSTATUS:CANCELLED\r\nDTSTART:20070307T090000\r\n") +
        Event("UID:other\r\nRECURRENCE-ID:20070307T090000\r\nDTSTART:20070308T120000\r\nSUMMARY:Alone\r\n") +
        Event("UID:u2\r\nDTSTART:20070404T090000\r\nDTEND:20070404T100000\r\nSUMMARY:E\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"));
    const EventImportOutcome o = Import(Write("r.ics", text));
    EXPECT_EQ(o.events, 6);
    EXPECT_EQ(o.counters.succeeded, 6);
    EXPECT_EQ(Items()->Count(), 3);  // the two series and the event whose series is not in the file
    EXPECT_EQ(Occurrences(), (std::vector<std::string>{"03-05 09:00 D", "03-06 11:00 Moved", "03-08 09:00 D",
                                                       "03-08 12:00 Alone", "03-09 09:00 D", "04-04 09:00 E",
                                                       "04-05 14:00 Later"}));
}

TEST_F(EventImportRun, ARecurringEventKeepsItsZone) {
    // The computer is in New York (the test's TZ); the event in a zone one hour east of UTC.
    const std::string text = Ics(
        "BEGIN:VTIMEZONE\r\nTZID:Central\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n" +
        Event("DTSTART;TZID=Central:20070305T150000\r\nDTEND;TZID=Central:20070305T160000\r\nSUMMARY:Z\r\n"
              "RRULE:FREQ=WEEKLY;COUNT=2\r\nEXDATE;TZID=Central:20070312T150000\r\n"));
    EXPECT_EQ(Import(Write("z.ics", text)).counters.succeeded, 1);
    EXPECT_EQ(Occurrences(), std::vector<std::string>{"03-05 09:00 Z"});
    auto item = Items()->Item(1);
    auto utils = m_app.Mapi().CreateMapiUtils();
    CNamedPropTags tags;
    ZoneRule zone;
    std::string name;
    ASSERT_TRUE(ReadItemZone(*item, *utils, tags, zone, name));
    EXPECT_EQ(zone.bias, -60);
    EXPECT_EQ(name, "Central");
}

// A series in a zone of its own is stored with its zone by one save when it has no
// exceptions (the store keeps what a new item holds at its first save): the second
// save of the run is the next event's, and failing it fails that event alone.
TEST_F(EventImportRun, ASeriesWithItsZoneIsSavedOnce) {
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Central\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    const std::string series = "DTSTART;TZID=Central:20070305T150000\r\nDTEND;TZID=Central:20070305T160000\r\n"
                               "SUMMARY:Z\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n";
    const std::string next = Event("DTSTART:20070306T100000\r\nDTEND:20070306T110000\r\nSUMMARY:N\r\n");
    const struct {
        const char* what;
        std::string text;
        int succeeded, failed;
        std::vector<std::string> want;
    } cases[] = {
        {"no exceptions: the second save is the next event's", Ics(zone + Event(series) + next), 1, 1,
         {"03-05 09:00 Z", "03-12 09:00 Z"}},
        {"a deleted occurrence: saved before it is deleted, the series holds the zone",
         Ics(zone + Event(series + "EXDATE;TZID=Central:20070312T150000\r\n") + next), 1, 1, {"03-05 09:00 Z"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto items = Items();
        while (items->Count() > 0) items->Item(1)->Delete();
        m_app.FailCall("Save", 2, kEFail);
        const EventImportOutcome o = Import(Write("z.ics", c.text));
        EXPECT_EQ(o.counters.succeeded, c.succeeded);
        EXPECT_EQ(o.counters.failed, c.failed);
        EXPECT_EQ(Occurrences(), c.want);
        ASSERT_EQ(Items()->Count(), 1);
        auto item = Items()->Item(1);
        auto utils = m_app.Mapi().CreateMapiUtils();
        CNamedPropTags tags;
        ZoneRule stored;
        std::string name;
        ASSERT_TRUE(ReadItemZone(*item, *utils, tags, stored, name));
        EXPECT_EQ(stored.bias, -60);
        EXPECT_EQ(name, "Central");
    }
}

// A file of several megabytes, whose pages the run lets go as it reads on: every event
// is stored with its own text, and a changed occurrence read megabytes before its
// series still finds it.
TEST_F(EventImportRun, ALargeFileIsReadWhole) {
    std::string events = Event("UID:s1\r\nRECURRENCE-ID:20070306T090000\r\nDTSTART:20070306T110000\r\n"
                               "DTEND:20070306T113000\r\nSUMMARY:Moved\r\n");
    const std::string body = "DESCRIPTION:" + std::string(300, 'x') + "\r\n";
    constexpr int kPlain = 8000;
    for (int i = 0; i < kPlain; ++i) {
        char start[32];
        std::snprintf(start, sizeof start, "2006%02d%02dT%02d%02d00", 1 + i % 12, 1 + i % 28, i % 24, i % 60);
        events += Event(std::string("DTSTART:") + start + "\r\nDURATION:PT30M\r\nSUMMARY:E" + std::to_string(i) +
                        "\r\n" + body);
    }
    events += Event("UID:s1\r\nDTSTART:20070305T090000\r\nDTEND:20070305T100000\r\nSUMMARY:D\r\n"
                    "RRULE:FREQ=DAILY;COUNT=3\r\n");
    const std::string text = Ics(events);
    ASSERT_GT(text.size(), std::size_t{3} << 20);
    const EventImportOutcome o = Import(Write("large.ics", text));
    EXPECT_EQ(o.events, kPlain + 2);
    EXPECT_EQ(o.counters.succeeded, kPlain + 2);
    EXPECT_EQ(o.counters.failed, 0);
    EXPECT_EQ(Items()->Count(), kPlain + 1);
    EXPECT_EQ(Occurrences(), (std::vector<std::string>{"03-05 09:00 D", "03-06 11:00 Moved", "03-07 09:00 D"}));
    auto items = Items();
    auto last = items->Restrict(u"[Subject] = 'E7999'");
    ASSERT_EQ(last->Count(), 1);
    EXPECT_EQ(FromHostText(last->Item(1)->Get("Body").AsText()), std::string(300, 'x'));
}

TEST_F(EventImportRun, ConflictRulesFindOnlyRealDuplicates) {
    {
        auto unrelated = Items()->Add(ItemType::Appointment);
        unrelated->Put("Subject", Value::Text(u"Unrelated"));
        unrelated->Put("Start", Value::Date(MakeOleDate(2007, 1, 1, 8, 0)));
        unrelated->Put("Duration", Value::Int(30));
        unrelated->Save();
    }
    const std::string text = Ics(Event("DTSTART:20070301T090000\r\nDTEND:20070301T100000\r\nSUMMARY:John's day\r\n") +
                                 Event("DTSTART:20070302T090000\r\nDTEND:20070302T100000\r\n"
                                       "SUMMARY:x' Or [Subject] <> 'y\r\n") +
                                 Event("DTSTART:20070303T090000\r\nDTEND:20070303T100000\r\n"
                                       "SUMMARY:both ' and \"\r\n") +
                                 Event("DTSTART:20070304T090000\r\nDURATION:PT45M\r\nSUMMARY:Duration only\r\n"));
    const std::string path = Write("c.ics", text);
    EXPECT_EQ(Import(path).counters.succeeded, 4);
    EXPECT_EQ(Items()->Count(), 5);
    const EventImportOutcome again = Import(path, kEventConflictKeepExisting);
    EXPECT_EQ(again.counters.skipped, 4);
    EXPECT_EQ(Items()->Count(), 5);
    const EventImportOutcome replaced = Import(path, kEventConflictReplace);
    EXPECT_EQ(replaced.counters.succeeded, 4);
    EXPECT_EQ(Items()->Count(), 5);
    EXPECT_EQ(m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::DeletedItems)->Items()->Count(), 4);
    EXPECT_EQ(Occurrences().front(), "01-01 08:00 Unrelated");
}

// TZIDs that no VTIMEZONE of the file defines: a Windows key name or a tzdata name is
// found in the zone list (read when first needed); any other is the default zone.
TEST_F(EventImportRun, UndefinedTzidsResolveThroughTheZoneList) {
    const std::string text =
        Ics(Event("DTSTART;TZID=Tokyo Standard Time:20070315T180000\r\nDURATION:PT1H\r\nSUMMARY:Key\r\n") +
            Event("DTSTART;TZID=Asia/Tokyo:20070316T180000\r\nDURATION:PT1H\r\nSUMMARY:Iana\r\n") +
            Event("DTSTART;TZID=Nowhere/Zone:20070317T180000\r\nDURATION:PT1H\r\nSUMMARY:Unknown\r\n"));
    EXPECT_EQ(Import(Write("t.ics", text)).counters.succeeded, 3);
    // The computer is in New York, on daylight time since March 11.
    EXPECT_EQ(Occurrences(), (std::vector<std::string>{"03-15 05:00 Key", "03-16 05:00 Iana", "03-17 18:00 Unknown"}));
}

// The duplicate search's restriction text for several short-date pictures, times of day
// and subjects (the quote the subject does not hold; none with both).
TEST(EventDuplicateFilterText, DatesTimesAndQuotes) {
    struct Case {
        const char* picture;
        LocalTime start;
        std::optional<LocalTime> end;
        std::u16string subject;
        std::u16string text;
        bool subjectInText;
    };
    const std::vector<Case> cases = {
        {"M/d/yyyy", MakeLocal(2007, 3, 5, 0, 0), MakeLocal(2007, 3, 5, 12, 0), u"Day",
         u"[Start] = '3/5/2007 12:00 AM' And [End] = '3/5/2007 12:00 PM' And [Subject] = 'Day'", true},
        {"dd.MM.yyyy", MakeLocal(2010, 12, 31, 23, 59), MakeLocal(2011, 1, 1, 9, 5), u"John's",
         u"[Start] = '31.12.2010 11:59 PM' And [End] = '01.01.2011 09:05 AM' And [Subject] = \"John's\"", true},
        {"yyyy-MM-dd", MakeLocal(2008, 2, 29, 13, 30), std::nullopt, u"say \"hi\"",
         u"[Start] = '2008-02-29 01:30 PM' And [Subject] = 'say \"hi\"'", true},
        {"d MMM yy", MakeLocal(2009, 7, 4, 11, 0), MakeLocal(2009, 7, 4, 11, 45), u"both ' and \"",
         u"[Start] = '4 Jul 09 11:00 AM' And [End] = '4 Jul 09 11:45 AM'", false},
        {"M/d/yyyy", MakeLocal(2007, 1, 2, 12, 1), std::nullopt, u"", u"[Start] = '1/2/2007 12:01 PM'", true},
    };
    for (const Case& c : cases) {
        bool inText = !c.subjectInText;
        EXPECT_EQ(EventDuplicateFilter(c.start, c.end, c.subject, c.picture, inText), c.text) << c.picture;
        EXPECT_EQ(inText, c.subjectInText) << c.picture;
    }
}

TEST_F(EventImportRun, FilterRemindersAndFields) {
    const std::string text = Ics(
        Event("DTSTART:20070301T090000\r\nSUMMARY:a\r\nCATEGORIES:Holiday\r\n") +
        Event("DTSTART:20070302T090000\r\nSUMMARY:b\r\nCATEGORIES:Holidays\r\nBEGIN:VALARM\r\nTRIGGER:-PT1M\r\n"
              "END:VALARM\r\n") +
        Event("DTSTART:20070303T090000\r\nSUMMARY:c\r\nBEGIN:VALARM\r\nTRIGGER:PT0M\r\nEND:VALARM\r\n"
              "UID:0A1B2C\r\nORGANIZER:MAILTO:o@x\r\n") +
        Event("DTSTART;VALUE=DATE:20070304\r\nDTEND;VALUE=DATE:20070305\r\nSUMMARY:all day\r\nUID:a@b\r\n"));
    const EventImportOutcome o = Import(Write("f.ics", text), kEventConflictKeepBoth, [](EventImportChoices& c) {
        c.filterMask = kFilterExcludeCategories;
        c.filterCategories = "Holiday;";
    });
    EXPECT_EQ(o.counters.skipped, 1);
    EXPECT_EQ(o.counters.succeeded, 3);
    auto items = Items();
    items->Sort(u"[Start]");
    std::vector<std::pair<bool, int>> reminders;
    for (auto i = items->GetFirst(); i; i = items->GetNext())
        reminders.emplace_back(i->Get("ReminderSet").AsBool(), i->Get("ReminderMinutesBeforeStart").AsInt());
    ASSERT_EQ(reminders.size(), 3u);
    EXPECT_EQ(reminders[0], std::make_pair(true, 1));
    EXPECT_TRUE(reminders[1].first);
    EXPECT_EQ(reminders[1].second, 0);
    EXPECT_FALSE(reminders[2].first);
    EXPECT_EQ(m_log.Count("UID is not hexadecimal, not stored: a@b"), 1);
    // Only all-day events, by the filter's first bit.
    const EventImportOutcome allDay =
        Import(Write("f.ics", text), kEventConflictKeepBoth, [](EventImportChoices& c) { c.filterMask = 1; });
    EXPECT_EQ(allDay.counters.skipped, 1);
}

TEST_F(EventImportRun, UnknownVersionStopsAndCountsTheRestAsSkipped) {
    const std::string good = Write("a.ics", Ics(Event("DTSTART:20070301T090000\r\nSUMMARY:a\r\n")));
    const std::string bad = Write("b.ics", "BEGIN:VCALENDAR\r\nVERSION:3.0\r\n" +
                                               Event("DTSTART:20070301T090000\r\n") +
                                               Event("DTSTART:20070302T090000\r\n") + "END:VCALENDAR\r\n");
    const std::string third = Write("c.ics", Ics(Event("DTSTART:20070303T090000\r\nSUMMARY:c\r\n")));
    const EventImportOutcome o = Import("\"" + good + "\" \"" + bad + "\" \"" + third + "\"");
    EXPECT_EQ(o.events, 4);
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.skipped, 3);
    // A file that cannot be opened asks; OK skips it.
    m_box.QueueAnswer(MbResult::Ok);
    const EventImportOutcome missing = Import("\"" + (m_dir / "none.ics").string() + "\" \"" + good + "\"");
    EXPECT_EQ(missing.counters.succeeded, 1);
    ASSERT_FALSE(m_box.Shown().empty());
    EXPECT_EQ(m_box.Shown().back().caption, "Mireo - Error");
}

TEST_F(EventImportRun, CancelCountsTheRestAsSkipped) {
    std::string events;
    for (int i = 1; i <= 5; ++i) events += Event("DTSTART:2007030" + std::to_string(i) + "T090000\r\nSUMMARY:e\r\n");
    m_view.PressCancelAt(2);
    const EventImportOutcome o = Import(Write("x.ics", Ics(events)));
    EXPECT_EQ(o.counters.succeeded, 2);
    EXPECT_EQ(o.counters.skipped, 3);
}

}  // namespace
}  // namespace mireo

namespace mireo {
namespace {

TEST_F(EventImportRun, ALostBatchCountsItsEventsFailedAndTheRestKeepTheirUids) {
    // Six events, the second with the first UID: its named property is created in the
    // batch of the first three, which is lost when the store commits after them.
    // The fourth has no UID but a zone of its own: its zone properties are the first
    // named properties created after the loss.
    std::string events =
        "BEGIN:VTIMEZONE\r\nTZID:Central\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    for (int i = 1; i <= 6; ++i) {
        if (i == 4) {
            events += Event("DTSTART;TZID=Central:20070304T160000\r\nDTEND;TZID=Central:20070304T170000\r\n"
                            "SUMMARY:E4\r\nRRULE:FREQ=WEEKLY;COUNT=1\r\n");
            continue;
        }
        const std::string n = std::to_string(i);
        events += Event((i == 1 ? std::string() : "UID:0A0B0C0" + n + "\r\n") + "DTSTART:2007030" + n +
                        "T100000\r\nDTEND:2007030" + n + "T110000\r\nSUMMARY:E" + n + "\r\n");
    }
    const std::string path = Write("six.ics", Ics(events));
    m_view.app = &m_app;
    m_view.commitAt = 3;
    m_app.FailCall("Commit", 1, kEDiskFull);
    const EventImportOutcome o = Import(path);
    EXPECT_EQ(o.counters.failed, 3);
    EXPECT_EQ(o.counters.succeeded, 3);
    EXPECT_EQ(o.counters.Total(), 6);
    EXPECT_EQ(o.lostSaves, 3);
    EXPECT_EQ(LostSavesText(o.lostSaves, o.lostCause, "event", "events"),
              "3 events were not stored: injected failure of Commit");
    EXPECT_EQ(Occurrences(), (std::vector<std::string>{"03-04 10:00 E4", "03-05 10:00 E5", "03-06 10:00 E6"}));
    // The UID's property id was created in the lost batch: the later events asked for
    // it again and carry their UIDs.
    auto utils = m_app.Mapi().CreateMapiUtils();
    auto uids = [&] {
        CNamedPropTags tags;
        std::vector<std::string> out;
        auto items = Items();
        items->Sort(u"[Start]");
        for (auto i = items->GetFirst(); i; i = items->GetNext()) out.push_back(ReadMeetingUid(*i, *utils, tags, m_log));
        return out;
    };
    EXPECT_EQ(uids(), (std::vector<std::string>{"", "0A0B0C05", "0A0B0C06"}));

    // The store goes on: importing again keeps the three stored and stores the lost ones.
    m_view.app = nullptr;
    const EventImportOutcome again = Import(path, kEventConflictKeepExisting);
    EXPECT_EQ(again.counters.succeeded, 3);
    EXPECT_EQ(again.counters.skipped, 3);
    EXPECT_EQ(again.lostSaves, 0);
    EXPECT_EQ(uids(), (std::vector<std::string>{"", "0A0B0C02", "0A0B0C03", "", "0A0B0C05", "0A0B0C06"}));
}

}  // namespace
}  // namespace mireo
