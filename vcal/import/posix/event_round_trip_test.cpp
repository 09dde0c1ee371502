// Export, import, compare: the sample events (those the README's main job adds) go from
// a fresh store through the event export into files, and from the files through the
// event import into an empty calendar; every field of every event must come back equal.
// One run per format x shipped encoding x one file or one file per event. Each encoding
// carries the sample events whose texts it can hold (UTF-8 all of them).
//
// What a format cannot carry is listed in kLimits with its reason; those fields are
// left out of the comparison for that format only, everything else must match.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/host_value.h"
#include "engine/settings_store.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "hoststore/item_json.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcal/common/recurrence.h"
#include "vcal/common/system_zone.h"
#include "vcal/export/event_export.h"
#include "vcal/export/event_writer.h"
#include "vcal/import/event_import.h"
#include "vcal/import/testing/scripted_wizard.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The named properties the comparison reads besides the host's own.
constexpr const char* kLabelKey = "{00062002-0000-0000-C000-000000000046}/0x8214";
constexpr const char* kZoneKey = "{00062002-0000-0000-C000-000000000046}/0x8233";
constexpr const char* kZoneNameKey = "{00062002-0000-0000-C000-000000000046}/0x8234";
constexpr const char* kUidKey = "{6ED8DA90-450B-101B-98DA-00AA003F1305}/0x0003";
constexpr const char* kOrganizerAddressKey = "0x0C1F001E";
constexpr const char* kOrganizerNameKey = "0x0C1A001E";

constexpr int kVCal = 1 << 0;
constexpr int kICal = 1 << 1;
constexpr int kOneFile = 1 << 2;
constexpr int kFilePerEvent = 1 << 3;
constexpr int kAnyMode = kOneFile | kFilePerEvent;

// What a format cannot carry, and why. `field` is a path of the comparison below
// ("Exceptions/Subject" is a moved occurrence's own subject). Without `keep` the field
// is left out of the comparison; with it both sides are compared as `keep` makes them
// (what survives of the field).
struct Limit {
    int formats;
    int modes;
    const char* field;
    const char* reason;
    ItemJson (*keep)(const ItemJson&) = nullptr;
};

const Limit kLimits[] = {
    {kVCal | kICal, kAnyMode, "BusyStatus",
     "TRANSP says only free or busy: tentative and out of office come back as busy",
     [](const ItemJson& v) { return ItemJson(v == 0 ? "free" : "busy"); }},
    {kVCal | kICal, kAnyMode, "Sensitivity",
     "CLASS has PUBLIC, PRIVATE and CONFIDENTIAL: a personal event is written without CLASS and comes back normal",
     [](const ItemJson& v) { return v == 1 ? ItemJson(0) : v; }},
    {kVCal | kICal, kAnyMode, "Label", "neither format has a property for the host's calendar label"},
    {kVCal | kICal, kAnyMode, "Exceptions/Subject",
     "a moved occurrence is written as an RDATE (its new start) beside an EXDATE, not as an event of its own "
     "with RECURRENCE-ID, so only its times travel: its own subject, location and body become the series'"},
    {kVCal | kICal, kAnyMode, "Exceptions/Location", "as Exceptions/Subject"},
    {kVCal | kICal, kAnyMode, "Exceptions/Body", "as Exceptions/Subject"},
    {kVCal | kICal, kAnyMode, "RecurrencePattern/PatternEndDate",
     "the end is written as the last occurrence (UNTIL, or the vCalendar rule's end date), so an end date after "
     "it comes back as that occurrence's date; the occurrences themselves are compared and equal"},
    {kVCal | kICal, kAnyMode, "RecurrencePattern/RecurrenceType",
     "\"every weekday\" is written as a weekly rule on Monday to Friday and comes back as one: the same "
     "occurrences, another pattern type",
     [](const ItemJson& v) { return v; }},
    {kICal, kAnyMode, "Body",
     "iCalendar's \\n is one line break: a lone LF or CR of the body comes back as CR LF",
     [](const ItemJson& v) {
         std::string out;
         const std::string s = v.get<std::string>();
         for (std::size_t i = 0; i < s.size(); ++i) {
             if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
             out += (s[i] == '\r' || s[i] == '\n') ? std::string("\r\n") : std::string(1, s[i]);
         }
         return ItemJson(out);
     }},
    {kVCal, kAnyMode, "Organizer",
     "vCalendar 1.0 names the organizer as ATTENDEE;ROLE=ORGANIZER with its address only: the name is lost",
     [](const ItemJson& v) { return v[1]; }},
    {kVCal, kAnyMode, "Recipients/Name",
     "vCalendar 1.0 ATTENDEE lines carry the address only: the name comes back as the address"},
    {kVCal, kAnyMode, "Recipients/Type",
     "vCalendar 1.0 writes every attendee as ROLE=ATTENDEE: optional attendees and resources come back required",
     [](const ItemJson& v) { return v == 2 || v == 3 ? ItemJson(1) : v; }},
    {kVCal, kOneFile, "Zone",
     "a vCalendar file holding all events declares the computer's zone (TZ, DAYLIGHT) and writes every series in "
     "the computer's local time: the series' own zone is not in the file"},
    {kVCal, kOneFile, "ZoneName", "as Zone"},
    {kVCal, kFilePerEvent, "ZoneName",
     "vCalendar TZ and DAYLIGHT carry offsets and dates, no name: the zone comes back named by its offset"},
};

const Limit* FindLimit(int mask, const std::string& field) {
    for (const Limit& l : kLimits)
        if ((l.formats & mask) != 0 && (l.modes & mask) != 0 && field == l.field) return &l;
    return nullptr;
}

// The fields compared, as "path" -> JSON value. A moved occurrence's own fields are
// keyed by its original date, a recipient's by its address.
using Fields = std::map<std::string, ItemJson>;

void AddField(Fields& out, int mask, const std::string& field, const std::string& key, const ItemJson& value) {
    const Limit* limit = FindLimit(mask, field);
    if (limit == nullptr) out[key] = value;
    else if (limit->keep != nullptr) out[key] = limit->keep(value);
}

// The category names of a list, trimmed, in order: "A, B" and "A,B" name the same.
ItemJson CategoryNames(const ItemJson& v) {
    ItemJson names = ItemJson::array();
    std::string text = v.is_string() ? v.get<std::string>() : std::string();
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find_first_of(",;", at);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(at, end - at);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!name.empty()) names.push_back(name);
        at = end + 1;
    }
    return names;
}

// mask: the format and file mode bits; computerZone: the rule bytes (hex) of the
// computer's zone, which an imported series does not carry as its own.
Fields Flatten(const ItemJson& j, int mask, const std::string& computerZone) {
    Fields f;
    // A property that is not set reads as the host's default.
    const ItemJson defaults = {{"Subject", ""},     {"Location", ""},   {"Body", ""},        {"Categories", ""},
                               {"AllDayEvent", false}, {"BusyStatus", 2}, {"Sensitivity", 0}, {"Importance", 1},
                               {"ReminderSet", false}, {"IsRecurring", false}};
    auto get = [&j, &defaults](const char* k) {
        return j.contains(k) ? j[k] : defaults.contains(k) ? defaults[k] : ItemJson();
    };
    for (const char* k : {"Subject", "Start", "End", "Location", "Body", "AllDayEvent", "BusyStatus", "Sensitivity",
                          "Importance", "ReminderSet", "IsRecurring"})
        AddField(f, mask, k, k, get(k));
    AddField(f, mask, "Categories", "Categories", CategoryNames(get("Categories")));
    // The minutes of a reminder that is off mean nothing.
    if (j.value("ReminderSet", false)) AddField(f, mask, "Reminder", "Reminder", get("ReminderMinutesBeforeStart"));
    const ItemJson mapi = j.contains("MAPI") ? j["MAPI"] : ItemJson::object();
    auto named = [&mapi](const char* k) { return mapi.contains(k) ? mapi[k] : ItemJson(); };
    AddField(f, mask, "Label", "Label", mapi.contains(kLabelKey) ? mapi[kLabelKey] : ItemJson(0));
    // An event without a UID of its own gets one when it is written; it must arrive.
    AddField(f, mask, "UID", "UID", named(kUidKey).is_null() ? ItemJson("written") : named(kUidKey));
    AddField(f, mask, "Organizer", "Organizer", ItemJson{named(kOrganizerNameKey), named(kOrganizerAddressKey)});
    // A series carries its zone unless it is the computer's; a single event is written
    // in UTC and keeps none.
    if (j.contains("RecurrencePattern")) {
        const ItemJson zone = named(kZoneKey);
        const bool computer = zone.is_null() || zone.value("hex", std::string()) == computerZone;
        AddField(f, mask, "Zone", "Zone", computer ? ItemJson() : zone);
        AddField(f, mask, "ZoneName", "ZoneName", computer ? ItemJson() : named(kZoneNameKey));
        ItemJson pattern = j["RecurrencePattern"];
        // "Every weekday" and weekly on Monday to Friday have the same occurrences.
        if (pattern.value("RecurrenceType", -1) == 0 && pattern.value("DayOfWeekMask", 0) != 0 &&
            FindLimit(mask, "RecurrencePattern/RecurrenceType") != nullptr) {
            pattern["RecurrenceType"] = 1;
            pattern["Interval"] = 1;
        }
        for (const auto& [k, v] : pattern.items())
            AddField(f, mask, "RecurrencePattern/" + k, "RecurrencePattern/" + k, v);
    }
    if (j.contains("Exceptions")) {
        for (const ItemJson& e : j["Exceptions"]) {
            const std::string at = "Exceptions[" + e.value("OriginalDate", std::string()) + "]/";
            for (const auto& [k, v] : e.items())
                if (k != "OriginalDate") AddField(f, mask, "Exceptions/" + k, at + k, v);
            AddField(f, mask, "Exceptions", at + "present", true);
        }
    }
    if (j.contains("Recipients")) {
        for (const ItemJson& r : j["Recipients"]) {
            const std::string at = "Recipients[" + r.value("Address", std::string()) + "]/";
            for (const auto& [k, v] : r.items()) AddField(f, mask, "Recipients/" + k, at + k, v);
        }
    }
    return f;
}

// Every occurrence of the calendar from November 2026 to the end of 2028 as
// "start - end", sorted: recurrence, deleted and moved occurrences as the store
// expands them.
std::vector<std::string> Occurrences(IApplication& app) {
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    items->Sort(u"[Start]");
    items->SetIncludeRecurrences(true);
    auto found = items->Restrict(u"[Start] >= '11/1/2026 12:00 AM' And [Start] <= '12/31/2028 11:59 PM'");
    std::vector<std::string> out;
    for (auto i = found->GetFirst(); i; i = found->GetNext())
        out.push_back(FormatJsonDate(i->Get("Start").AsDate()) + " - " + FormatJsonDate(i->Get("End").AsDate()));
    std::sort(out.begin(), out.end());
    return out;
}

using CImportWizard = testing::CScriptedWizard<IEventImportWizard, EventImportChoices, EventImportOutcome>;
using CExportWizard = testing::CScriptedWizard<IEventExportWizard, EventExportChoices, EventExportOutcome>;

// A calendar's events as JSON items by subject, and its occurrences.
struct Calendar {
    std::map<std::string, ItemJson> items;
    std::vector<std::string> occurrences;
};

struct Row {
    int format;
    bool oneFile;
    EncodingRecord encoding;
};

class EventRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("mireo_event_round_trip_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        SetRegistryFile((m_dir / "zones.reg").string());
        m_converter = MireoCharConverter::FromModuleDirectory();
        m_samples = ItemJson::parse(ReadAll(fs::path(MIREO_TESTDATA_DIR) / "hoststore/sample-events.json"));
    }
    void TearDown() override {
        SetRegistryFile("");
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    // True when every text of the sample survives the code page both ways.
    bool Carries(const EncodingRecord& e, const ItemJson& j) {
        if (j.is_string()) {
            const std::u16string text = ToHostText(j.get<std::string>());
            if (text.empty()) return true;
            std::string bytes;
            std::u16string back;
            if (m_converter->Encode(e.codePage, text, bytes) < 0) return false;
            m_converter->Decode(e.codePage, bytes, back);
            return back == text;
        }
        if (j.is_structured())
            for (const ItemJson& v : j) if (!Carries(e, v)) return false;
        return true;
    }

    RunEnvironment Environment(CHostApplication& app, IOutputFiles& files, CSettingsStore& settings) {
        return RunEnvironment{.app = app,
                              .mapi = app.Mapi(),
                              .settings = settings,
                              .log = m_log,
                              .help = nullptr,
                              .files = files,
                              .messages = m_box,
                              .converter = *m_converter,
                              .listSeparator = ",",
                              .product = {1, 0, 0},
                              .hostMajorVersion = 11,
                              .progress = m_view};
    }

    // Exports `events` (added to a fresh store) and imports the files into an empty
    // calendar; both calendars as JSON items keyed by subject.
    void RoundTrip(const Row& row, const ItemJson& events, Calendar& before, Calendar& after) {
        const fs::path out = m_dir / ("out" + std::to_string(m_runs++));
        fs::create_directories(out);
        std::unique_ptr<IOutputFiles> files = CreateSystemOutputFiles();
        CSettingsStore settings{UniqueRegKey{}};
        {
            CHostApplication source(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
            auto folder = source.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
            auto items = folder->Items();
            auto utils = source.Mapi().CreateMapiUtils();
            for (const ItemJson& j : events) AddItemFromJson(*items, kFolderAppointment, j, *utils);
            auto all = folder->Items();
            for (auto item = all->GetFirst(); item; item = all->GetNext())
                before.items[FromHostText(item->Get("Subject").AsText())] = ItemToJson(*item);
            before.occurrences = Occurrences(source);
            int uids = 0;
            EventExportHooks hooks{.now = [] { return MakeUtc(2026, 12, 1, 12, 0, 0); },
                                   .newUid = [&uids] {
                                       std::uint8_t data[16] = {};
                                       data[15] = static_cast<std::uint8_t>(++uids);
                                       return GlobalObjectUid(data);
                                   }};
            CExportWizard wizard([&](EventExportChoices& c) {
                c.folder = source.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
                c.targetFolder = out.string();
                c.oneFile = row.oneFile;
                c.format = row.format;
                c.encoding = row.encoding.displayName;
                c.filtered = false;
            });
            RunEnvironment env = Environment(source, *files, settings);
            ASSERT_EQ(RunEventExport(env, wizard, hooks), kRunDone);
            ASSERT_EQ(wizard.finishes.size(), 1u);
            ASSERT_EQ(wizard.finishes[0].counters.succeeded, static_cast<int>(events.size()));
            ASSERT_EQ(wizard.finishes[0].counters.failed, 0);
        }
        CHostApplication target(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
        CImportWizard wizard([&](EventImportChoices& c) {
            c.folder = target.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
            c.paths = out.string();
            c.conflict = kEventConflictKeepBoth;
            if (const auto z = SystemZone()) c.zone = *z;
            c.zoneName = "Computer";
        });
        RunEnvironment env = Environment(target, *files, settings);
        ASSERT_EQ(RunEventImport(env, wizard), kRunDone);
        ASSERT_EQ(wizard.finishes.size(), 1u);
        EXPECT_EQ(wizard.finishes[0].counters.succeeded, static_cast<int>(events.size()));
        EXPECT_EQ(wizard.finishes[0].counters.failed, 0);
        EXPECT_EQ(wizard.finishes[0].counters.skipped, 0);
        auto folder = target.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
        auto items = folder->Items();
        for (auto item = items->GetFirst(); item; item = items->GetNext()) {
            const std::string subject = FromHostText(item->Get("Subject").AsText());
            EXPECT_FALSE(after.items.contains(subject)) << "imported twice: " << subject;
            after.items[subject] = ItemToJson(*item);
        }
        after.occurrences = Occurrences(target);
    }

    fs::path m_dir;
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    CScriptedProgressView m_view;
    std::unique_ptr<MireoCharConverter> m_converter;
    ItemJson m_samples;
    int m_runs = 0;
};

TEST_F(EventRoundTrip, EveryFieldComesBackInEveryFormatEncodingAndFileMode) {
    ASSERT_FALSE(m_converter->Encodings().Empty());
    const std::optional<ZoneRule> computer = SystemZone();
    ASSERT_TRUE(computer);
    std::string computerZone;
    for (const std::uint8_t b : computer->ToBytes()) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        computerZone += kHex[b >> 4];
        computerZone += kHex[b & 15];
    }
    int compared = 0;
    for (const EncodingRecord& encoding : m_converter->Encodings()) {
        ItemJson events = ItemJson::array();
        for (const ItemJson& j : m_samples)
            if (Carries(encoding, j)) events.push_back(j);
        // A code page that holds none of the non-Latin texts still carries the rest.
        ASSERT_GE(events.size(), 6u) << encoding.displayName;
        for (const int format : {kCalFormatVCal, kCalFormatICal}) {
            for (const bool oneFile : {true, false}) {
                const Row row{format, oneFile, encoding};
                SCOPED_TRACE(encoding.displayName + (format == kCalFormatVCal ? " vcal" : " ical") +
                             (oneFile ? " one file" : " file per event"));
                Calendar before, after;
                RoundTrip(row, events, before, after);
                ASSERT_EQ(before.items.size(), events.size());
                ASSERT_GT(before.occurrences.size(), events.size());
                EXPECT_EQ(after.occurrences, before.occurrences);
                const int mask = (format == kCalFormatVCal ? kVCal : kICal) | (oneFile ? kOneFile : kFilePerEvent);
                for (const auto& [subject, original] : before.items) {
                    SCOPED_TRACE(subject);
                    ASSERT_TRUE(after.items.contains(subject));
                    const Fields want = Flatten(original, mask, computerZone);
                    Fields got = Flatten(after.items.at(subject), mask, computerZone);
                    if (want.at("UID") == "written" && !got.at("UID").is_null()) got["UID"] = "written";
                    for (const auto& [key, value] : want) {
                        const auto it = got.find(key);
                        EXPECT_TRUE(it != got.end() && it->second == value)
                            << key << ": want " << value.dump() << ", got "
                            << (it == got.end() ? std::string("nothing") : it->second.dump());
                    }
                    for (const auto& [key, value] : got)
                        EXPECT_TRUE(want.contains(key)) << key << " added: " << value.dump();
                    ++compared;
                }
                if (HasFailure()) return;  // one broken run says enough
            }
        }
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace mireo
