// The calendar reader: the faults it mends (byte-order marks, TAB folding, quote-aware
// parameters, "mailto:" in any case, one-pass unescaping, range-checked dates, bounded
// numbers, the reminder's "none", offsets with seconds and the sign of "-00:30",
// importance out of range, unknown VERSION), zones and changed occurrences.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "encoding/mireo_char_converter.h"
#include "engine/testing/recording_logger.h"
#include "vcal/import/vcal_reader.h"

namespace mireo {
namespace {

MireoCharConverter& Converter() {
    static std::unique_ptr<MireoCharConverter> c = [] {
        std::ifstream in(std::filesystem::path(MIREO_TESTDATA_DIR) / ".." / "resources" / "supportedEncodings.txt",
                         std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return MireoCharConverter::FromText(s.str());
    }();
    return *c;
}

std::string Ics(const std::string& event, const std::string& head = "VERSION:2.0\r\n") {
    return "BEGIN:VCALENDAR\r\n" + head + "BEGIN:VEVENT\r\n" + event + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

struct Read {
    std::vector<EventRecord> events;
    CvCalReader::Result end;
};

Read ReadAll(const std::string& text, const std::string& name = "a.ics", ILogger* log = nullptr,
             const std::vector<ZoneListEntry>* zones = nullptr) {
    VCalReaderOptions o;
    o.logger = log;
    o.zoneList = zones;
    o.computerZone = ZoneRule{};
    CvCalReader reader(&Converter(), o);
    reader.Open(text, name);
    Read r;
    EventRecord e;
    while ((r.end = reader.Next(e)) == CvCalReader::Result::kEvent) r.events.push_back(e);
    EXPECT_EQ(static_cast<int>(r.events.size()) + reader.Dropped(), CvCalReader::CountEvents(text, name));
    return r;
}

EventRecord One(const std::string& text, const std::string& name = "a.ics") {
    const Read r = ReadAll(text, name);
    EXPECT_EQ(r.events.size(), 1u);
    return r.events.empty() ? EventRecord{} : r.events.front();
}

TEST(VCalReader, TextValuesAsPeersWriteThem) {
    struct Case {
        const char* what;
        std::string file;
        const char* name;
        std::u16string subject;
    };
    const std::string utf16 = [] {
        const std::u16string t = u"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20070101\r\nSUMMARY:Žluť\r\n"
                                 u"END:VEVENT\r\nEND:VCALENDAR\r\n";
        std::string b = "\xFF\xFE";
        for (char16_t c : t) b += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        return b;
    }();
    const Case cases[] = {
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + Ics("DTSTART:20070101\r\nSUMMARY:x\r\n"), "a.ics", u"x"},
        {"UTF-16 file", utf16, "a.ics", u"Žluť"},
        {"TAB folding", Ics("DTSTART:20070101\r\nSUMMARY:ab\r\n\tcd\r\n"), "a.ics", u"abcd"},
        {"one-pass unescaping", Ics("DTSTART:20070101\r\nSUMMARY:C:\\\\new\\, \\\\,x\\;y\\nz\r\n"), "a.ics",
         u"C:\\new, \\,x;y\r\nz"},
        {"1.0 text is not unescaped", Ics("DTSTART:20070101\r\nSUMMARY:C:\\new\r\n", "VERSION:1.0\r\n"), "a.vcs",
         u"C:\\new"},
        {"1.0 quoted-printable soft break",
         Ics("DTSTART:20070101\r\nSUMMARY;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=3d=c3=a9\r\n", "VERSION:1.0\r\n"),
         "a.vcs", u"abcdef=é"},
        {"CHARSET by alias, any case", Ics("DTSTART:20070101\r\nSUMMARY;CHARSET=LATIN1:\xE9\r\n", "VERSION:1.0\r\n"),
         "a.vcs", u"é"},
        {"group prefix and lower-case name", Ics("DTSTART:20070101\r\nitem1.summary:g\r\n"), "a.ics", u"g"},
        {"quoted ALTREP with a colon", Ics("DTSTART:20070101\r\nSUMMARY;ALTREP=\"cid:x\":text\r\n"), "a.ics",
         u"text"},
        {"a .vcs whose VERSION says 2.0", Ics("DTSTART:20070101\r\nSUMMARY:a\\,b\r\n"), "a.vcs", u"a,b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(One(c.file, c.name).subject, c.subject);
    }
}

TEST(VCalReader, AddressesAndCategories) {
    const EventRecord e = One(Ics(
        "DTSTART:20070101\r\n"
        "ORGANIZER;CN=\"Doe; Jane\":mailto:jane@example.com\r\n"
        "ATTENDEE;SENT-BY=\"mailto:a@b\":MAILTO:c@d\r\n"
        "ATTENDEE;ROLE=OPT-PARTICIPANT:Mailto:e@f\r\n"
        "CATEGORIES:Holiday,Work\\,Home\r\n"
        "CATEGORIES:Third\r\n"));
    EXPECT_EQ(e.organizerAddress, u"jane@example.com");
    EXPECT_EQ(e.organizerName, u"Doe; Jane");
    EXPECT_EQ(e.attendees, (std::vector<Attendee>{{u"c@d", u"", 1}, {u"e@f", u"", 2}}));
    EXPECT_EQ(e.categories, u"Holiday,Work,Home,Third");
    const EventRecord v = One(Ics("DTSTART:20070101\r\nCATEGORIES:A;B\r\nATTENDEE;ROLE=ORGANIZER:o@x\r\n",
                                  "VERSION:1.0\r\n"),
                              "a.vcs");
    EXPECT_EQ(v.categories, u"A,B");
    EXPECT_EQ(v.organizerAddress, u"o@x");
}

TEST(VCalReader, DatesAreRangeChecked) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"20070101", true},          {"20071231t100000z", true}, {"20071231T100000", true},
        {"19840229", true},          {"19810229", false},        {"00000000", false},
        {"20071399T996060", false},  {"20071301", false},        {"20071231T1000", false},
        {"2007-12-31", false},       {"20071231T240000", false}, {"+2007123", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const EventRecord e = One(Ics(std::string("DTSTART:") + c.text + "\r\nDTEND:20070101\r\n"));
        EXPECT_EQ(e.start && e.start->date.civil != e.end->date.civil, c.valid && std::string(c.text) != "20070101");
    }
}

TEST(VCalReader, NumbersAndSyntaxes) {
    const struct {
        const char* text;
        std::optional<int> minutes;
    } durations[] = {
        {"PT1H30M", 90}, {"PT30S", 0},  {"-PT15M", -15},      {"P", 0},          {"P1W", 10080},
        {"p1dt1h", 1500}, {"PT1", {}},  {"1H", {}},           {"P99999999999999W", {}}, {"PT5X", {}},
    };
    for (const auto& d : durations) EXPECT_EQ(ParseDurationMinutes(d.text), d.minutes) << d.text;
    const struct {
        const char* text;
        std::optional<int> minutes;
    } offsets[] = {{"+0530", 330}, {"-0500", -300}, {"+053000", 330}, {"-0030", -30}, {"+0560", {}}, {"0100", {}}};
    for (const auto& o : offsets) EXPECT_EQ(ParseUtcOffset(o.text), o.minutes) << o.text;
    // vCalendar's TZ: the bias (UTC = local + bias); "-00:30" keeps its sign.
    EXPECT_EQ(ParseVCalBias("-03:30"), 210);
    EXPECT_EQ(ParseVCalBias("-00:30"), 30);
    EXPECT_EQ(ParseVCalBias("+01"), -60);
    EXPECT_EQ(ParseVCalBias("x"), std::nullopt);
}

TEST(VCalReader, ReminderImportanceAndPriority) {
    const struct {
        const char* lines;
        std::optional<int> reminder;
        int importance;
    } cases[] = {
        {"", std::nullopt, 1},
        {"BEGIN:VALARM\r\nTRIGGER:-PT1M\r\nEND:VALARM\r\n", -1, 1},
        {"BEGIN:VALARM\r\nTRIGGER:PT0M\r\nEND:VALARM\r\n", 0, 1},
        {"BEGIN:VALARM\r\nTRIGGER:PT5M\r\nEND:VALARM\r\n", std::nullopt, 1},
        {"X-MICROSOFT-CDO-IMPORTANCE:7\r\n", std::nullopt, 1},
        {"X-MICROSOFT-CDO-IMPORTANCE:2\r\n", std::nullopt, 2},
        {"PRIORITY:1\r\n", std::nullopt, 2},
        {"PRIORITY:9\r\n", std::nullopt, 0},
        {"PRIORITY:99999999999999999999\r\n", std::nullopt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        const EventRecord e = One(Ics(std::string("DTSTART:20070101T100000\r\n") + c.lines));
        EXPECT_EQ(e.reminderOffset, c.reminder);
        EXPECT_EQ(e.importance, c.importance);
    }
    // A missing END:VALARM does not swallow the event.
    const Read r = ReadAll(Ics("DTSTART:20070101\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\n"));
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].reminderOffset, -5);
}

TEST(VCalReader, UnknownVersionStopsAndLogLinesAreBounded) {
    CRecordingLogger log;
    const std::string text = Ics("DTSTART:20070101\r\nX-" + std::string(3000, 'a') + "\r\nFOO:" +
                                 std::string(3000, 'b') + "\r\n") +
                             "BEGIN:VCALENDAR\r\nVERSION:3.0\r\nBEGIN:VEVENT\r\nDTSTART:20070101\r\nEND:VEVENT\r\n"
                             "END:VCALENDAR\r\n";
    VCalReaderOptions o;
    o.logger = &log;
    CvCalReader reader(&Converter(), o);
    reader.Open(text, "a.ics");
    EventRecord e;
    EXPECT_EQ(reader.Next(e), CvCalReader::Result::kEvent);
    EXPECT_EQ(reader.Next(e), CvCalReader::Result::kStopped);
    EXPECT_EQ(CvCalReader::CountEvents(text, "a.ics"), 2);  // the second counts as skipped
    ASSERT_GE(log.Count("Unknown version"), 0);
    for (const auto& m : log.Messages()) EXPECT_LT(m.text.size(), 700u) << m.text.substr(0, 40);
    EXPECT_EQ(log.Messages().size(), 2u);
}

TEST(VCalReader, ZonesFromTheFileAndTheZoneList) {
    const std::string tz =
        "BEGIN:VTIMEZONE\r\nTZID:Eastern\r\n"
        "BEGIN:STANDARD\r\nDTSTART:19671029T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
        "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:19870405T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
        "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Bad\r\nBEGIN:STANDARD\r\nDTSTART:19671029T020000\r\n"
        "TZOFFSETFROM:-0400\r\nTZOFFSETTO:+0560\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:India\r\nBEGIN:STANDARD\r\nDTSTART:19450101T000000\r\n"
        "TZOFFSETFROM:+055320\r\nTZOFFSETTO:+053000\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    ZoneListEntry berlin;
    berlin.key = "W. Europe Standard Time";
    berlin.display = "(GMT+01:00) Amsterdam, Berlin";
    berlin.rule.bias = -60;
    const std::vector<ZoneListEntry> list{berlin};
    const std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + tz +
                             "BEGIN:VEVENT\r\nDTSTART;TZID=Eastern:20070701T120000\r\n"
                             "DTEND;TZID=\"Bad\":20070701T130000\r\n"
                             "EXDATE;TZID=India:20070702T120000\r\n"
                             "RDATE;TZID=Europe/Berlin:20070703T120000\r\n"
                             "RECURRENCE-ID;TZID=W. Europe Standard Time:20070704T120000\r\n"
                             "STATUS:CANCELLED\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    VCalReaderOptions o;
    o.zoneList = &list;
    CvCalReader reader(&Converter(), o);
    reader.Open(text, "a.ics");
    EventRecord e;
    ASSERT_EQ(reader.Next(e), CvCalReader::Result::kEvent);
    const ZoneRule* eastern = reader.Zone("Eastern");
    ASSERT_NE(eastern, nullptr);
    EXPECT_EQ(eastern->bias, 300);
    EXPECT_EQ(eastern->daylightBias, -60);
    EXPECT_EQ(eastern->daylightDate.month, 3);
    EXPECT_EQ(eastern->daylightDate.day, 2);
    EXPECT_EQ(reader.Zone("India")->bias, -330);  // offsets with seconds are read
    EXPECT_EQ(reader.Zone("Bad"), nullptr);
    EXPECT_EQ(e.start->tzid, "Eastern");
    EXPECT_EQ(e.end->tzid, kDefaultZoneKey);
    EXPECT_EQ(e.rdates.at(0).tzid, "Europe/Berlin");  // through the tzdata name
    EXPECT_EQ(e.recurrenceId->tzid, "W. Europe Standard Time");
    EXPECT_TRUE(e.cancelled);
    // 12:00 in New York daylight time is 16:00 UTC; in the computer's zone (UTC here) too.
    EXPECT_EQ(reader.ToDate(*e.start, DateMode::kTarget, "W. Europe Standard Time"), MakeLocal(2007, 7, 1, 17));
    EXPECT_EQ(reader.ToDate(*e.start, DateMode::kTarget, "Eastern"), MakeLocal(2007, 7, 1, 12));
    EXPECT_EQ(reader.ToDate(*e.start, DateMode::kWall), MakeLocal(2007, 7, 1, 12));
}

TEST(VCalReader, VCalendarZoneLines) {
    const EventRecord e = One(
        "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nTZ:-05:00\r\nDAYLIGHT:TRUE;-04;20070311T020000;20071104T020000;EST;EDT\r\n"
        "BEGIN:VEVENT\r\nDTSTART:20070701T120000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
        "a.vcs");
    EXPECT_EQ(e.start->tzid, kVCalZoneKey);
    VCalReaderOptions o;
    CvCalReader reader(&Converter(), o);
    const std::string text = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nTZ:-03:30\r\nDAYLIGHT:FALSE\r\n"
                             "BEGIN:VEVENT\r\nDTSTART:20070701T120000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    reader.Open(text, "a.vcs");
    EventRecord r;
    ASSERT_EQ(reader.Next(r), CvCalReader::Result::kEvent);
    EXPECT_EQ(reader.Zone(kVCalZoneKey)->bias, 210);
    EXPECT_FALSE(reader.Zone(kVCalZoneKey)->HasDaylight());
}

TEST(VCalReader, EventsWithoutStartAndManyEvents) {
    // Only DTEND: the end is the start. Neither: dropped.
    const Read r = ReadAll(Ics("DTEND:20070102\r\n") + Ics("SUMMARY:none\r\n"));
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].start, r.events[0].end);
    // Lower-case BEGIN value is no event; a VTODO is passed over.
    EXPECT_TRUE(ReadAll("BEGIN:VCALENDAR\r\nBEGIN:vevent\r\nDTSTART:20070101\r\nEND:vevent\r\nBEGIN:VTODO\r\n"
                        "BEGIN:VEVENT\r\nEND:VEVENT\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
                    .events.empty());
    // A misspelt END of a to-do does not swallow the events after it.
    EXPECT_EQ(ReadAll("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nEND:VTOOD\r\nBEGIN:VEVENT\r\nDTSTART:20070101\r\n"
                      "BEGIN:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
                  .events.size(),
              1u);
    // One calendar of many events is read whole, event by event.
    std::string many = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n";
    for (int i = 0; i < 20000; ++i) many += "BEGIN:VEVENT\r\nDTSTART:20070101T100000\r\nSUMMARY:e\r\nEND:VEVENT\r\n";
    many += "END:VCALENDAR\r\n";
    EXPECT_EQ(ReadAll(many, "big.vcs").events.size(), 20000u);
}

// The count before the import is the number of events the reader enters (handed on or
// dropped), whether the file's blocks nest plainly (counted by the starts of its lines)
// or not (counted block by block): folds, soft breaks, misplaced and missing blocks.
TEST(VCalReader, CountMatchesTheEventsRead) {
    const std::string ev = "BEGIN:VEVENT\r\nDTSTART:20070101T100000\r\nEND:VEVENT\r\n";
    const std::string zone = "BEGIN:VTIMEZONE\r\nTZID:X\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
                             "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    auto cal = [](const std::string& body) { return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n"; };
    const struct {
        const char* what;
        std::string text;
        int events;
    } cases[] = {
        {"plain, with a zone and an alarm", cal(zone + ev + "BEGIN:VEVENT\r\nDTSTART:20070101\r\nBEGIN:VALARM\r\n"
                                                        "TRIGGER:-PT5M\r\nEND:VALARM\r\nEND:VEVENT\r\n"), 2},
        {"events outside any calendar", ev + cal(ev) + ev, 1},
        {"two calendars", cal(ev) + cal(ev + ev), 3},
        {"LF and lone CR line ends", "BEGIN:VCALENDAR\nBEGIN:VEVENT\rDTSTART:20070101\nEND:VEVENT\rEND:VCALENDAR\n", 1},
        {"a group and lower-case names", cal("a.begin:VEVENT\r\nDTSTART:20070101\r\nend:VEVENT\r\n"), 1},
        {"lower-case value", cal("BEGIN:vevent\r\nDTSTART:20070101\r\nEND:vevent\r\n" + ev), 1},
        {"folded BEGIN line", cal("BEGIN:VEV\r\n ENT\r\nDTSTART:20070101\r\nEND:VEVENT\r\n" + ev), 2},
        {"a fold makes the name", cal("BEG\r\n IN:VEVENT\r\nDTSTART:20070101\r\nEND:VEVENT\r\n"), 1},
        {"soft break swallows a BEGIN line",
         cal("BEGIN:VEVENT\r\nDTSTART:20070101\r\nDESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=\r\nBEGIN:VEVENT\r\n"
             "END:VEVENT\r\n"),
         1},
        {"a to-do holding an event", cal("BEGIN:VTODO\r\n" + ev + "END:VTODO\r\n"), 1},
        {"unknown block in an event", cal("BEGIN:VEVENT\r\nDTSTART:20070101\r\nBEGIN:X-A\r\n" + ev +
                                          "END:X-A\r\nEND:VEVENT\r\n"), 1},
        {"missing END:VALARM", cal("BEGIN:VEVENT\r\nDTSTART:20070101\r\nBEGIN:VALARM\r\nEND:VEVENT\r\n" + ev), 2},
        {"the file ends inside an event", "BEGIN:VCALENDAR\r\n" + ev + "BEGIN:VEVENT\r\nDTSTART:20070101\r\n", 2},
        {"the calendar ends inside an event", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n" + cal(ev), 2},
        {"BEGIN with a parameter", cal("BEGIN;X=1:VEVENT\r\nDTSTART:20070101\r\nEND:VEVENT\r\n"), 1},
        {"an event in a zone", cal("BEGIN:VTIMEZONE\r\nTZID:X\r\n" + ev + "END:VTIMEZONE\r\n" + ev), 1},
        {"no calendar at all", ev + ev, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"a.ics", "a.vcs"}) {
            const Read r = ReadAll(c.text, name);  // checks the count against the events read
            EXPECT_EQ(CvCalReader::CountEvents(c.text, name), c.events) << name;
        }
    }
}

}  // namespace
}  // namespace mireo
