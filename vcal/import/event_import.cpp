// The calendar import run: wizard, the files and their events, progress, the event loop
// (filter, duplicate search, conflict rule, creation with recurrence, exceptions, zone,
// UID, organizer and attendees) and the finish page.
#include "vcal/import/event_import.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_map>

#include "encoding/mireo_char_converter.h"
#include "engine/category_filter.h"
#include "engine/logger.h"
#include "engine/run_loop.h"
#include "engine/save_counter.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/locale_info.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/multi_path.h"
#include "ui/progress.h"
#include "ui/wizard_pages.h"
#include "vcal/common/item_zone.h"
#include "vcal/common/recurrence.h"
#include "vcal/common/system_zone.h"
#include "vcal/common/zone_list.h"
#include "vcal/import/vcal_reader.h"

namespace mireo {
namespace {

constexpr const char* kRunSource = "CvCalImport::Run";
constexpr const char* kCreateSource = "CvCalImport::CreateItem_";
constexpr const char* kFilterSource = "CvCalImport::FilterEvent";
constexpr const char* kExceptionsSource = "CreateExceptions";
constexpr int kStrCannotOpen = 134;
constexpr int kStrNoCalendarFiles = 137;
// The meeting property set and its UID property (the global object id, binary).
constexpr const char* kMeetingPropertySet = "{6ED8DA90-450B-101B-98DA-00AA003F1305}";
constexpr std::uint16_t kUidProperty = 3;
constexpr PropTag kSenderEmailTag = 0x0C1F001E;
constexpr PropTag kSenderNameTag = 0x0C1A001E;
// Overrides (RECURRENCE-ID events) waiting for their series, per file.
constexpr std::size_t kMaxPendingOverrides = 10000;
// The pages of a file the reader has passed are let go in steps of this many bytes.
constexpr std::size_t kReleaseBytes = std::size_t{1} << 20;
// An exception's dates reach at most this far past the series' start when it has no end.
constexpr int kMaxExceptionYears = 100;

std::filesystem::path FromUtf8(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }
std::string ToUtf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

void LogHostError(ILogger& log, const std::string& what, const HostError& e, const char* source = kRunSource) {
    log.LogMsg(what + ": " + e.what(), e.Hr(), source, kError, kLogFlags);
}

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = ascii::ToLower(c);
    return out;
}

std::string DateText(LocalTime t) {
    const CivilTime c = Split(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
    return buf;
}

// The dates of the duplicate search's filter texts: the short date by the user's
// picture, a space and "hh:mm AM". Formatting a date by the picture costs more than the
// rest of the text, and a calendar's events share their days, so the dates are kept by
// day (a bounded number of them).
class CFilterDates {
public:
    explicit CFilterDates(std::string picture) : m_picture(std::move(picture)) {}

    void Append(LocalTime t, std::u16string& out) {
        const CivilTime c = Split(t);
        const std::int64_t day = (static_cast<std::int64_t>(c.year) * 100 + c.month) * 100 + c.day;
        auto it = m_days.find(day);
        if (it == m_days.end()) {
            if (m_days.size() >= kMaxDays) m_days.clear();
            it = m_days.emplace(day, ToHostText(FormatShortDate(m_picture, c.year, c.month, c.day))).first;
        }
        out += it->second;
        const int hour12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
        const char16_t time[] = {u' ',
                                 static_cast<char16_t>(u'0' + hour12 / 10),
                                 static_cast<char16_t>(u'0' + hour12 % 10),
                                 u':',
                                 static_cast<char16_t>(u'0' + c.minute / 10),
                                 static_cast<char16_t>(u'0' + c.minute % 10),
                                 u' ',
                                 c.hour < 12 ? u'A' : u'P',
                                 u'M'};
        out.append(time, std::size(time));
    }

private:
    static constexpr std::size_t kMaxDays = 4096;
    std::string m_picture;
    std::unordered_map<std::int64_t, std::u16string> m_days;
};

// " And [Subject] = " and the subject, quoted with the quote it does not hold; nothing
// when it holds both (`inText` false: the caller compares it).
void AppendSubjectCondition(const std::u16string& subject, std::u16string& text, bool& inText) {
    const bool sq = subject.find(u'\'') != std::u16string::npos;
    const bool dq = subject.find(u'"') != std::u16string::npos;
    inText = !(sq && dq);
    if (!inText) return;
    const char16_t q = sq ? u'"' : u'\'';
    text += u" And [Subject] = ";
    text += q;
    text += subject;
    text += q;
}

// The filter text of EventDuplicateFilter, built into `text`.
void BuildDuplicateFilter(CFilterDates& dates, LocalTime start, std::optional<LocalTime> end,
                          const std::u16string& subject, std::u16string& text, bool& subjectInText) {
    text.clear();
    text += u"[Start] = '";
    dates.Append(start, text);
    text += u'\'';
    if (end) {
        text += u" And [End] = '";
        dates.Append(*end, text);
        text += u'\'';
    }
    subjectInText = true;
    if (!subject.empty()) AppendSubjectCondition(subject, text, subjectInText);
}

std::string ZoneNameOf(const ZoneRule& rule) {
    const int offset = -(rule.bias + rule.standardBias);
    char buf[32];
    std::snprintf(buf, sizeof buf, "(GMT%c%02d:%02d)", offset >= 0 ? '+' : '-', std::abs(offset) / 60,
                  std::abs(offset) % 60);
    return buf;
}

bool IsEvenHex(std::string_view s) {
    if (s.empty() || s.size() % 2 != 0) return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// A series created from this file, by UID: the changed occurrences that name it go into it.
struct SeriesInfo {
    std::string entryId;
    std::string zoneKey;  // the event's own zone
    std::optional<std::chrono::seconds> shift;  // from that zone's wall clock to the series' local time
    bool allDay = false;  // its start is a date alone: an occurrence is named by its day
};

// The times of an event as the new item gets them: the host's dates are local times of
// the computer, for a recurring event too; its own zone goes with it as its zone.
struct EventTimes {
    std::optional<LocalTime> start, end;
    std::string zoneKey;  // a recurring event's own zone; empty otherwise
    DateMode mode = DateMode::kComputer;
};

// The properties a new appointment is filled with.
struct EventProperties {
    PropertyRef start{"Start"}, end{"End"}, duration{"Duration"}, allDay{"AllDayEvent"};
    PropertyRef reminderSet{"ReminderSet"}, reminderMinutes{"ReminderMinutesBeforeStart"};
    PropertyRef sensitivity{"Sensitivity"}, importance{"Importance"}, busyStatus{"BusyStatus"};
    PropertyRef categories{"Categories"}, body{"Body"}, subject{"Subject"}, location{"Location"};
    PropertyRef resources{"Resources"}, meetingStatus{"MeetingStatus"};
};

// One run's state; lives for one call of RunEventImport.
class CEventImportRun {
public:
    CEventImportRun(const RunEnvironment& env, EventImportChoices& choices, std::string picture, std::string separator)
        : m_env(env),
          m_choices(choices),
          m_picture(std::move(picture)),
          m_separator(std::move(separator)),
          m_categories(choices.filterMask, NormalizedCategories(choices.filterCategories, m_separator), m_separator, env.log,
                       kFilterSource) {}

    void SetItems(std::unique_ptr<IItems> items) { m_items = std::move(items); }
    void SetUtils(std::unique_ptr<IMapiUtils> utils) { m_utils = std::move(utils); }
    void SetComputerZone(std::optional<ZoneRule> zone) { m_computer = zone; }
    void SetZoneBeforeSave(bool before) { m_zoneBeforeSave = before; }
    void SetSaveCounter(CSaveCounter* saves) { m_saves = saves; }
    // The saves handled so far, counted or waiting for their batch.
    std::int32_t Handled(const RunCounters& counters) const {
        return counters.Total() + (m_saves != nullptr ? m_saves->Pending() : 0);
    }

    // A batch was lost: the named-property ids it created are gone with it, and so are
    // the series it stored (their overrides can no longer find them).
    void SavesLost() {
        m_tags.Clear();
        m_series.clear();
    }

    void StartFile() {
        m_series.clear();
        ClearPending();
    }

    // The decision for one event; adds to the counters. An override whose series is not
    // read yet waits (nothing counted until it is handled).
    void HandleEvent(const EventRecord& e, const CvCalReader& reader, RunCounters& counters) {
        if (e.recurrenceId && !e.uid.empty()) {
            const auto it = m_series.find(e.uid);
            if (it != m_series.end()) {
                ApplyOverride(it->second, e, reader, counters);
                return;
            }
            if (m_pending.size() < kMaxPendingOverrides) {
                m_pendingByUid[e.uid].push_back(m_pending.size());
                m_pending.push_back(PendingOverride{e, false});
                ++m_pendingLeft;
                return;
            }
        }
        ProcessEvent(e, reader, counters);
    }

    // At the end of a file: overrides whose series never came are events of their own.
    void EndFile(const CvCalReader& reader, RunCounters& counters) {
        std::deque<PendingOverride> left;
        left.swap(m_pending);
        ClearPending();
        for (PendingOverride& p : left) {
            if (p.handled) continue;
            EventRecord& e = p.event;
            e.recurrenceId.reset();
            if (e.cancelled) {
                ++counters.skipped;  // a deleted occurrence of a series not in the file
                continue;
            }
            ProcessEvent(e, reader, counters);
        }
    }
    // After Cancel: the waiting overrides count as skipped.
    void DropPending(RunCounters& counters) {
        counters.skipped += static_cast<std::int32_t>(m_pendingLeft);
        ClearPending();
    }

private:
    // The filter's names may be split at ";" or at the list separator.
    static std::string NormalizedCategories(std::string text, const std::string& separator) {
        if (separator == ";") return text;
        for (std::size_t i = 0; (i = text.find(';', i)) != std::string::npos; i += separator.size())
            text.replace(i, 1, separator);
        return text;
    }

    // An event's categories too.
    std::u16string Normalized(std::u16string_view text) const {
        std::u16string out(text);
        const std::u16string sep = ToHostText(m_separator);
        if (sep != u";") {
            for (std::size_t i = 0; (i = out.find(u';', i)) != std::u16string::npos; i += sep.size()) out.replace(i, 1, sep);
        }
        return out;
    }

    EventTimes Times(const EventRecord& e, const CvCalReader& reader) const {
        EventTimes t;
        if (e.rule.IsRecurring())
            t.zoneKey = e.start && reader.Zone(e.start->tzid) != nullptr ? e.start->tzid : kDefaultZoneKey;
        if (e.start) t.start = reader.ToDate(*e.start, t.mode, t.zoneKey);
        if (e.end) t.end = reader.ToDate(*e.end, t.mode, t.zoneKey);
        else if (t.start && e.duration >= 0) t.end = *t.start + std::chrono::minutes(e.duration);
        return t;
    }

    bool Passes(const EventRecord& e, const CvCalReader& reader) {
        const std::uint32_t mask = m_choices.filterMask;
        if (mask == 0) return true;
        std::optional<LocalTime> start, end;
        if (e.start) start = reader.ToDate(*e.start, DateMode::kComputer);
        if (e.end) end = reader.ToDate(*e.end, DateMode::kComputer);
        else if (start && e.duration >= 0) end = *start + std::chrono::minutes(e.duration);
        if ((mask & kEventFilterSkipAllDay) != 0 && start && end) {
            const auto d = *end - *start;
            if (d >= std::chrono::days(1) && d % std::chrono::days(1) == std::chrono::seconds(0)) return false;
        }
        if ((mask & kFilterSkipPrivate) != 0 && e.sensitivity != 0) return false;
        const std::u16string categories = Normalized(e.categories);
        if (!m_categories.Passes([&categories] { return std::u16string_view(categories); })) return false;
        if ((mask & (kEventFilterExcludeLabels | kEventFilterIncludeLabels)) != 0) {
            if (m_choices.labelMask == 0) {
                m_env.log.LogMsg("filter.LabelMask empty", 0, kFilterSource, kTrace, kLogFlags);
            } else {
                const std::u16string subject = Lower(e.subject);
                bool found = false;
                for (int i = 0; i < kLabelCount && !found; ++i) {
                    if ((m_choices.labelMask & (1u << i)) == 0) continue;
                    const char* label = LoadUserString(kStrFirstLabel + i);
                    if (label == nullptr || *label == '\0') {
                        m_env.log.LogMsg("Cant load label from resources", kStrFirstLabel + i, kFilterSource, kWarning,
                                         kLogFlags);
                        continue;
                    }
                    found = !subject.empty() && subject.find(Lower(ToHostText(label))) != std::u16string::npos;
                }
                if (found && (mask & kEventFilterExcludeLabels) != 0) return false;
                if (!found && (mask & kEventFilterIncludeLabels) != 0) return false;
            }
        }
        if ((mask & kEventFilterPeriod) != 0) {
            if (start && *start < m_choices.periodStart) return false;
            if (end && *end > m_choices.periodEnd) return false;
            if (!end && start && *start > m_choices.periodEnd) return false;
        }
        return true;
    }

    // An appointment of the folder with the same start, end (to the minute) and subject;
    // every match the restriction gives is checked here before it counts.
    std::unique_ptr<IItem> FindDuplicate(const EventRecord& e, const EventTimes& t) {
        if (!t.start) return nullptr;
        bool subjectInText = true;
        BuildDuplicateFilter(m_filterDates, *t.start, t.end, e.subject, m_filter, subjectInText);
        try {
            std::unique_ptr<IItems> found = m_items->Restrict(m_filter);
            const int n = found ? found->Count() : 0;
            for (int i = 1; i <= n; ++i) {
                std::unique_ptr<IItem> item = found->Item(i);
                if (!item || item->Class() != ItemClass::Appointment) continue;
                if (OleToMinutes(item->Get("Start").AsDate()) != OleToMinutes(OleFromLocal(*t.start))) continue;
                if (t.end && OleToMinutes(item->Get("End").AsDate()) != OleToMinutes(OleFromLocal(*t.end))) continue;
                const Value subject = item->Get("Subject");
                const std::u16string s = subject.GetKind() == Value::Kind::Text ? subject.AsText() : std::u16string();
                if (s != e.subject) continue;
                return item;
            }
        } catch (const HostError& err) {
            LogHostError(m_env.log, "duplicate search failed", err, "CvCalImport::FindDuplicate");
        }
        return nullptr;
    }

    void ProcessEvent(const EventRecord& e, const CvCalReader& reader, RunCounters& counters) {
        if (!Passes(e, reader)) {
            ++counters.skipped;
            return;
        }
        const EventTimes times = Times(e, reader);
        std::unique_ptr<IItem> duplicate;
        if (m_choices.conflict == kEventConflictReplace || m_choices.conflict == kEventConflictKeepExisting) {
            duplicate = FindDuplicate(e, times);
            if (duplicate && m_choices.conflict == kEventConflictKeepExisting) {
                ++counters.skipped;
                return;
            }
        }
        std::unique_ptr<IItem> item;
        try {
            item = m_items->Add(ItemType::Appointment);
            if (!Create(*item, e, times, reader)) {
                Drop(item);
                ++counters.failed;
                return;
            }
            if (!item->Saved()) item->Save();
        } catch (const HostError& err) {
            LogHostError(m_env.log, "Event not imported", err, kCreateSource);
            Drop(item);
            ++counters.failed;
            return;
        }
        m_saves->Saved();
        if (duplicate) {
            try {
                duplicate->Delete();
            } catch (const HostError& err) {
                LogHostError(m_env.log, "Cant delete the replaced event", err);
            }
        }
        if (e.rule.IsRecurring() && !e.uid.empty()) {
            SeriesInfo info;
            try {
                info.entryId = item->EntryId();
            } catch (const HostError&) {
            }
            info.zoneKey = times.zoneKey;
            info.shift = SeriesShift(e, times, reader);
            info.allDay = e.start && !e.start->date.hasTime;
            if (info.entryId.empty()) return;
            m_series[e.uid] = info;
            // Overrides met before their series, found by the UID: a file of many
            // waiting overrides followed by many series costs each series only its own.
            const auto waiting = m_pendingByUid.find(e.uid);
            if (waiting == m_pendingByUid.end()) return;
            const std::vector<std::size_t> mine = std::move(waiting->second);
            m_pendingByUid.erase(waiting);
            for (const std::size_t i : mine) {
                PendingOverride& o = m_pending[i];
                o.handled = true;
                --m_pendingLeft;
                ApplyOverride(info, o.event, reader, counters);
                o.event = EventRecord{};
            }
        }
    }

    // A RECURRENCE-ID event: its occurrence of the series gets its times, subject,
    // location and body, or is deleted for STATUS:CANCELLED.
    void ApplyOverride(const SeriesInfo& series, const EventRecord& e, const CvCalReader& reader,
                       RunCounters& counters) {
        const DateMode mode = DateMode::kComputer;
        std::optional<LocalTime> original = reader.ToDate(*e.recurrenceId, series.allDay ? DateMode::kWall : mode,
                                                          series.zoneKey);
        if (original && series.allDay) original = StartOfDay(*original);
        if (!original) {
            ++counters.failed;
            return;
        }
        try {
            std::unique_ptr<INamespace> ns = m_env.app.GetNamespace();
            std::unique_ptr<IItem> master = ns->GetItemFromID(series.entryId);
            std::unique_ptr<IRecurrencePattern> pattern = master->GetRecurrencePattern();
            std::unique_ptr<IItem> occurrence;
            try {
                occurrence = pattern->GetOccurrence(OleFromLocal(*original));
            } catch (const HostError&) {
                // Named in the event's zone on a date its daylight time differs from the
                // computer's: the occurrence at the series' time of day.
                const std::optional<LocalTime> wall =
                    reader.ToDate(*e.recurrenceId, DateMode::kTarget, series.zoneKey);
                if (series.allDay || !series.shift || !wall || !e.recurrenceId->date.hasTime) throw;
                occurrence = pattern->GetOccurrence(OleFromLocal(*wall + *series.shift));
            }
            if (e.cancelled) {
                occurrence->Delete();
                m_saves->Saved();
                return;
            }
            std::optional<LocalTime> start, end;
            if (e.start) start = reader.ToDate(*e.start, mode, series.zoneKey);
            if (e.end) end = reader.ToDate(*e.end, mode, series.zoneKey);
            else if (start && e.duration >= 0) end = *start + std::chrono::minutes(e.duration);
            if (start) occurrence->Put("Start", Value::Date(OleFromLocal(*start)));
            if (end) occurrence->Put("End", Value::Date(OleFromLocal(*end)));
            if (!e.subject.empty()) occurrence->Put("Subject", Value::Text(e.subject));
            if (!e.location.empty()) occurrence->Put("Location", Value::Text(e.location));
            if (!e.body.empty()) occurrence->Put("Body", Value::Text(e.body));
            occurrence->Save();
            m_saves->Saved();
        } catch (const HostError& err) {
            m_env.log.LogMsg("Cant change the occurrence at " + DateText(*original) + ", err=" + err.what(), err.Hr(),
                             kCreateSource, kWarning, kLogFlagsItemDiagnostic);
            ++counters.failed;
        }
    }

    bool Create(IItem& item, const EventRecord& e, const EventTimes& t, const CvCalReader& reader) {
        EventProperties& p = m_props;
        if (t.start) item.PutByRef(p.start, Value::Date(OleFromLocal(*t.start)));
        // The reminder: "no alarm" is its own state, and then the item gets none.
        bool reminder = false;
        int lead = 0;
        if (e.reminderOffset) {
            reminder = true;
            lead = -*e.reminderOffset;
        }
        if (e.reminderTime && t.start) {
            if (const std::optional<LocalTime> at = reader.ToDate(*e.reminderTime, t.mode, t.zoneKey)) {
                const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(*t.start - *at).count();
                if (minutes < 0) {
                    m_env.log.LogMsg("DALARM after the start is ignored", 0, kCreateSource, kTrace,
                                     kLogFlagsItemDiagnostic);
                } else {
                    reminder = true;
                    lead = static_cast<int>(std::min<std::int64_t>(minutes, 0x7FFFFFFF));
                }
            }
        }
        item.PutByRef(p.reminderSet, Value::Bool(reminder));
        if (reminder) item.PutByRef(p.reminderMinutes, Value::Int(lead));
        if (!e.end && e.duration >= 0) item.PutByRef(p.duration, Value::Int(e.duration));
        else if (t.end && e.end) item.PutByRef(p.end, Value::Date(OleFromLocal(*t.end)));
        // vCalendar 1.0 has no dates alone: there an event from midnight to midnight of a
        // later day is all-day too.
        const bool v1Days = reader.Version() == kCalFormatVCal && e.end && t.end && t.start && *t.end > *t.start;
        const bool dateStart = e.start && (!e.start->date.hasTime || v1Days);
        const bool dateEnd = e.end ? (!e.end->date.hasTime || v1Days) : e.duration == 1440 || e.duration < 0;
        if (dateStart && dateEnd && t.start && *t.start == StartOfDay(*t.start) && (!t.end || *t.end == StartOfDay(*t.end)))
            item.PutByRef(p.allDay, Value::Bool(true));
        item.PutByRef(p.sensitivity, Value::Int(e.sensitivity));
        item.PutByRef(p.importance, Value::Int(e.importance));
        item.PutByRef(p.busyStatus, Value::Int(e.busyStatus));
        if (!e.categories.empty()) item.PutByRef(p.categories, Value::Text(e.categories));
        if (!e.body.empty()) item.PutByRef(p.body, Value::Text(e.body));
        if (!e.subject.empty()) item.PutByRef(p.subject, Value::Text(e.subject));
        if (!e.location.empty()) item.PutByRef(p.location, Value::Text(e.location));
        if (!e.resources.empty()) item.PutByRef(p.resources, Value::Text(e.resources));
        if (!e.attendees.empty()) {
            std::unique_ptr<IRecipients> recipients = item.Recipients();
            // The organizer leads a meeting's recipients, as the host keeps them.
            if (!e.organizerAddress.empty()) {
                std::unique_ptr<IRecipient> r =
                    recipients->Add(e.organizerName.empty() ? e.organizerAddress : e.organizerName);
                r->Put("Address", Value::Text(e.organizerAddress));
                r->Put("Type", Value::Int(kRecipientOrganizer));
            }
            for (const Attendee& a : e.attendees) {
                std::unique_ptr<IRecipient> r = recipients->Add(a.name.empty() ? a.address : a.name);
                r->Put("Address", Value::Text(a.address));
                if (a.type != kRecipientRequired) r->Put("Type", Value::Int(a.type));
            }
            item.PutByRef(p.meetingStatus, Value::Int(1));
        }

        std::optional<RecurrencePattern> pattern;
        if (e.rule.IsRecurring()) {
            pattern = ToRecurrencePattern(e.rule, reader.Version(), [&](const CalDateTime& until) {
                // A UTC end is converted; any other is taken as it stands.
                return reader.ToDate(ZonedDate{until, t.zoneKey}, until.utc ? DateMode::kComputer : DateMode::kWall);
            });
            if (pattern) StoreRecurrencePattern(*pattern, *item.GetRecurrencePattern());
        }
        // The UID and the organizer go in with the item's first save.
        if (m_utils) {
            if (!e.uid.empty()) {
                if (IsEvenHex(e.uid)) {
                    try {
                        const PropTag tag = m_tags.Get(*m_utils, item, kMeetingPropertySet, kUidProperty, true);
                        if (tag != 0)
                            m_utils->SetProp(item, tag | kPtBinary, Value::Binary(m_utils->HexToBytes(e.uid)));
                    } catch (const HostError& err) {
                        LogHostError(m_env.log, "Cant set the UID", err, kCreateSource);
                    }
                } else {
                    m_env.log.LogMsg("UID is not hexadecimal, not stored: " + e.uid.substr(0, 128), 0, kCreateSource,
                                     kTrace, kLogFlagsItemDiagnostic);
                }
            }
            if (!e.organizerAddress.empty()) {
                try {
                    m_utils->SetProp(item, kSenderEmailTag, Value::Text(e.organizerAddress));
                    if (!e.organizerName.empty()) m_utils->SetProp(item, kSenderNameTag, Value::Text(e.organizerName));
                } catch (const HostError& err) {
                    LogHostError(m_env.log, "Cant set the organizer", err, kCreateSource);
                }
            }
        }
        if (!pattern) return true;  // saved once, by the caller
        // A host that keeps a zone written before the first save gets it then: a series
        // without exceptions is saved once, by the caller, and one with exceptions once
        // before they are made (each of them saves the series as it changes it).
        const bool zoneFirst = m_utils && m_zoneBeforeSave;
        if (zoneFirst) SetZone(item, t, reader);
        if (!e.exdates.empty() || !e.rdates.empty()) {
            item.Save();
            try {
                CreateExceptions(item, e, t, *pattern, reader);
            } catch (const HostError& err) {
                LogHostError(m_env.log, "CreateExceptions raise exception", err, kCreateSource);
            }
        } else if (!zoneFirst) {
            item.Save();
        }
        if (m_utils && !zoneFirst) SetZone(item, t, reader);
        return true;
    }

    // The zone of a recurring event, when it is not the computer's.
    void SetZone(IItem& item, const EventTimes& t, const CvCalReader& reader) {
        const ZoneRule* zone = reader.Zone(t.zoneKey);
        if (zone == nullptr || (m_computer && ZonesEqual(*zone, *m_computer))) return;
        std::string name = t.zoneKey;
        if (t.zoneKey == kDefaultZoneKey) name = m_choices.zoneName.empty() ? ZoneNameOf(*zone) : m_choices.zoneName;
        else if (t.zoneKey == kVCalZoneKey) name = ZoneNameOf(*zone);
        try {
            if (!m_zoneBeforeSave && !item.Saved()) item.Save();
            if (SetAppointmentTimezone(item, *zone, name) < 0)
                m_env.log.LogMsg("SetAppointmentTimezone failed", 0, kCreateSource, kWarning, kLogFlags);
        } catch (const HostError& err) {
            LogHostError(m_env.log, "SetAppointmentTimezone raise exception", err, kCreateSource);
        }
    }

    // The zone's rule and name into the item. Its dates are local times of the computer
    // already (they were converted from the event's zone), so they are not re-expressed.
    int SetAppointmentTimezone(IItem& item, const ZoneRule& zone, const std::string& name) {
        const PropTag ruleTag = m_tags.Get(*m_utils, item, kAppointmentPropertySet, kZoneRuleProperty, true);
        const PropTag nameTag = m_tags.Get(*m_utils, item, kAppointmentPropertySet, kZoneNameProperty, true);
        if (ruleTag == 0 || nameTag == 0) return -3;
        const auto bytes = zone.ToBytes();
        m_utils->SetProp(item, ruleTag | kPtBinary, Value::Binary(Bytes(bytes.begin(), bytes.end())));
        m_utils->SetProp(item, nameTag | kPtString8, Value::Text(ToHostText(name)));
        return 0;
    }

    // The host repeats a series at one local time of day of the computer, while the
    // event's own zone may change to daylight time on other dates than the computer's: an
    // occurrence named in the event's zone is then found at the series' time of day. The
    // shift from the event's wall clock to the series' local time at its start.
    static std::optional<std::chrono::seconds> SeriesShift(const EventRecord& e, const EventTimes& t,
                                                           const CvCalReader& reader) {
        if (!e.start || !t.start || t.zoneKey.empty()) return std::nullopt;
        const std::optional<LocalTime> wall = reader.ToDate(*e.start, DateMode::kTarget, t.zoneKey);
        if (!wall) return std::nullopt;
        return *t.start - *wall;
    }

    // EXDATE and RDATE of a saved recurring item: an EXDATE paired with an RDATE moves
    // that occurrence, one left alone deletes it. Bounded: dates outside the series are
    // dropped, the lists are capped by the reader, pairing is one pass over the sorted
    // list.
    void CreateExceptions(IItem& item, const EventRecord& e, const EventTimes& t, const RecurrencePattern& pattern,
                          const CvCalReader& reader) {
        const std::string context = "Item{Subject=" + FromHostText(e.subject).substr(0, 128) + ", Start=" +
                                    (t.start ? DateText(*t.start) : std::string()) + "}";
        if (e.rdates.size() > e.exdates.size()) {
            m_env.log.LogMsg("error in vcal file: EXDATE.Count < RDATE.Count. Ignoring exceptions.\t" + context, 0,
                             kExceptionsSource, kWarning, kLogFlagsItemDiagnostic);
            return;
        }
        if (!t.start) return;
        struct Entry {
            LocalTime at;
            int kind;      // 1 EXDATE, 2 RDATE, 0 consumed
            LocalTime alt;  // an EXDATE at the series' local time of day (see SeriesShift)
        };
        const auto shift = SeriesShift(e, t, reader);
        const LocalTime first = StartOfDay(*t.start);
        LocalTime last = first + std::chrono::years(kMaxExceptionYears);
        const RecurrencePattern stored = LoadRecurrencePattern(*item.GetRecurrencePattern());
        if (!stored.noEndDate && stored.patternEndDate) last = std::min(last, *stored.patternEndDate + std::chrono::days(1));
        (void)pattern;
        std::vector<Entry> list;
        auto add = [&](const std::vector<ZonedDate>& dates, int kind) {
            for (const ZonedDate& d : dates) {
                std::optional<LocalTime> at = reader.ToDate(d, t.mode, t.zoneKey);
                // A date alone names the occurrence of that day at the series' time.
                if (at && !d.date.hasTime) at = *at + (*t.start - StartOfDay(*t.start));
                LocalTime alt = at ? *at : LocalTime{};
                if (const auto wall = reader.ToDate(d, DateMode::kTarget, t.zoneKey); wall && shift && d.date.hasTime)
                    alt = *wall + *shift;
                if (at && *at >= first && *at < last) list.push_back({*at, kind, alt});
            }
        };
        add(e.exdates, 1);
        add(e.rdates, 2);
        if (list.empty()) return;
        std::stable_sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) { return a.at < b.at; });

        // The series' occurrences between the first and the last date.
        std::vector<LocalTime> occurrences;
        const std::string id = item.EntryId();
        try {
            std::unique_ptr<IItems> all = m_choices.folder->Items();
            all->Sort(u"[Start]");
            all->SetIncludeRecurrences(true);
            // A day more on either side: an EXDATE may name its occurrence at the other time of day.
            const LocalTime from = list.front().at - std::chrono::days(1);
            const LocalTime to = list.back().at + std::chrono::days(1);
            std::u16string filter = u"[Start] >= '";
            m_filterDates.Append(from, filter);
            filter += u"' And [Start] <= '";
            m_filterDates.Append(to, filter);
            filter += u'\'';
            bool subjectInText = true;
            AppendSubjectCondition(e.subject, filter, subjectInText);
            std::unique_ptr<IItems> found = all->Restrict(filter);
            std::size_t guard = 0;
            for (std::unique_ptr<IItem> o = found->GetFirst(); o && guard < 4 * kMaxEventDates + 1000;
                 o = found->GetNext(), ++guard) {
                if (o->EntryId() != id) continue;  // another series of the same subject
                if (const std::optional<LocalTime> s = LocalFromOle(o->Get("Start").AsDate())) {
                    if (*s > to) break;
                    occurrences.push_back(*s);
                }
            }
        } catch (const HostError& err) {
            LogHostError(m_env.log, "Cant render the occurrences", err, kExceptionsSource);
            return;
        }
        std::sort(occurrences.begin(), occurrences.end());

        // EXDATEs that name no occurrence (to the second) are dropped.
        std::string wrong;
        std::vector<Entry> kept;
        kept.reserve(list.size());
        for (Entry en : list) {
            if (en.kind == 1 && !std::binary_search(occurrences.begin(), occurrences.end(), en.at) &&
                std::binary_search(occurrences.begin(), occurrences.end(), en.alt))
                en.at = en.alt;
            if (en.kind == 1 && !std::binary_search(occurrences.begin(), occurrences.end(), en.at)) {
                if (wrong.size() < 4096) wrong += (wrong.empty() ? "" : ", ") + DateText(en.at);
                continue;
            }
            kept.push_back(en);
        }
        if (!wrong.empty())
            m_env.log.LogMsg("ignoring some wrong dates in EXDATE:" + wrong, 0, kExceptionsSource, kWarning,
                             kLogFlagsItemDiagnostic);
        std::stable_sort(kept.begin(), kept.end(), [](const Entry& a, const Entry& b) { return a.at < b.at; });

        std::vector<LocalTime> deleted;
        std::vector<std::pair<LocalTime, LocalTime>> moved;
        // Groups: runs of entries with no occurrence strictly between neighbours.
        std::size_t occ = 0;
        std::size_t g = 0;
        while (g < kept.size()) {
            std::size_t end = g + 1;
            while (end < kept.size()) {
                while (occ < occurrences.size() && occurrences[occ] <= kept[end - 1].at) ++occ;
                if (occ < occurrences.size() && occurrences[occ] < kept[end].at) break;
                ++end;
            }
            PairGroup(kept, g, end, deleted, moved);
            g = end;
        }

        for (const LocalTime& d : deleted) {
            try {
                item.GetRecurrencePattern()->GetOccurrence(OleFromLocal(d))->Delete();
            } catch (const HostError& err) {
                m_env.log.LogMsg("Cant get occurence at " + DateText(d) + ", err=" + err.what(), err.Hr(),
                                 kExceptionsSource, kWarning, kLogFlagsItemDiagnostic);
            }
        }
        for (const auto& [from, to] : moved) {
            try {
                std::unique_ptr<IItem> o = item.GetRecurrencePattern()->GetOccurrence(OleFromLocal(from));
                o->Put("Start", Value::Date(OleFromLocal(to)));
                o->Save();
            } catch (const HostError& err) {
                m_env.log.LogMsg("Cant get occurence at " + DateText(from) + ", err=" + err.what(), err.Hr(),
                                 kExceptionsSource, kWarning, kLogFlagsItemDiagnostic);
            }
        }
    }

    template <typename Entries>
    void PairGroup(Entries& list, std::size_t begin, std::size_t end, std::vector<LocalTime>& deleted,
                   std::vector<std::pair<LocalTime, LocalTime>>& moved) {
        int balance = 0;
        for (std::size_t i = begin; i < end; ++i) balance += list[i].kind == 1 ? 1 : -1;
        if (balance < 0) {
            m_env.log.LogMsg("Error: missed one or more date in EXDATE beetween dates (" + DateText(list[begin].at) +
                                 ", " + DateText(list[end - 1].at) + "). Skipping this interval",
                             0, kExceptionsSource, kWarning, kLogFlagsItemDiagnostic);
            return;
        }
        std::size_t nextEx = begin;  // the first EXDATE not yet consumed or passed
        std::size_t i = begin;
        while (i < end) {
            if (list[i].kind == 2) {
                // An RDATE before any open EXDATE: the first unconsumed EXDATE after it.
                if (nextEx <= i) nextEx = i + 1;
                while (nextEx < end && list[nextEx].kind != 1) ++nextEx;
                if (nextEx < end) {
                    moved.emplace_back(list[nextEx].at, list[i].at);
                    list[nextEx].kind = 0;
                } else {
                    m_env.log.LogMsg("Error: cant find exdate for rdate " + DateText(list[i].at), 0,
                                     kExceptionsSource, kWarning, kLogFlagsItemDiagnostic);
                }
                list[i].kind = 0;
                ++i;
                continue;
            }
            if (list[i].kind != 1) {
                ++i;
                continue;
            }
            // A run from this EXDATE to where it holds as many RDATE as EXDATE: each RDATE,
            // from the last backwards, takes the nearest unconsumed EXDATE before it.
            std::size_t runEnd = i;
            int ex = 0, rd = 0;
            while (runEnd < end) {
                if (list[runEnd].kind == 1) ++ex;
                else if (list[runEnd].kind == 2) ++rd;
                ++runEnd;
                if (ex == rd) break;
            }
            std::deque<std::size_t> waiting;  // RDATEs met walking back, nearest first
            for (std::size_t k = runEnd; k-- > i;) {
                if (list[k].kind == 2) {
                    waiting.push_back(k);
                } else if (list[k].kind == 1 && !waiting.empty()) {
                    moved.emplace_back(list[k].at, list[waiting.front()].at);
                    list[waiting.front()].kind = 0;
                    list[k].kind = 0;
                    waiting.pop_front();
                }
            }
            i = runEnd;
        }
        for (std::size_t k = begin; k < end; ++k) {
            if (list[k].kind == 1) deleted.push_back(list[k].at);
        }
    }

    void Drop(std::unique_ptr<IItem>& item) {
        if (!item) return;
        try {
            if (item->EntryId().empty()) item->Discard();
            else item->Delete();
        } catch (const HostError& err) {
            LogHostError(m_env.log, "Cant remove the failed event", err);
        }
        item.reset();
    }

    const RunEnvironment& m_env;
    EventImportChoices& m_choices;
    std::string m_picture;
    std::string m_separator;
    CCategoryFilter m_categories;
    CFilterDates m_filterDates{m_picture};
    std::u16string m_filter;  // the duplicate search's text, its buffer kept between events
    EventProperties m_props;  // the names a new item is filled by, resolved once per run
    bool m_zoneBeforeSave = false;
    std::unique_ptr<IItems> m_items;
    std::unique_ptr<IMapiUtils> m_utils;
    CNamedPropTags m_tags;
    CSaveCounter* m_saves = nullptr;
    std::optional<ZoneRule> m_computer;
    std::map<std::string, SeriesInfo> m_series;
    // Overrides waiting for their series, in the file's order; the entries of those
    // whose series came are kept, marked handled, so that positions stay valid.
    struct PendingOverride {
        EventRecord event;
        bool handled = false;
    };
    void ClearPending() {
        m_pending.clear();
        m_pendingByUid.clear();
        m_pendingLeft = 0;
    }
    std::deque<PendingOverride> m_pending;
    std::unordered_map<std::string, std::vector<std::size_t>> m_pendingByUid;  // positions in m_pending
    std::size_t m_pendingLeft = 0;  // not handled yet
};

// The run's saves; a lost batch also drops what the run keeps of the store.
class CEventSaveCounter : public CSaveCounter {
public:
    CEventSaveCounter(const RunEnvironment& env, RunCounters& counters, CEventImportRun& run)
        : CSaveCounter(env.app, counters, env.log, kRunSource), m_run(run) {}
    void SavesLost(const HostError& cause) override {
        CSaveCounter::SavesLost(cause);
        m_run.SavesLost();
    }

private:
    CEventImportRun& m_run;
};

bool HasCalendarExtension(const std::string& name) {
    return ascii::EndsWithNoCase(name, ".ics") || ascii::EndsWithNoCase(name, ".vcs");
}

}  // namespace

std::vector<std::string> EventImportFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (FileCanBeOpened(path) || !PathIsDirectory(path)) {
            files.push_back(path);
            continue;
        }
        std::error_code ec;
        std::vector<std::string> inFolder;
        for (std::filesystem::directory_iterator it(FromUtf8(path), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeEc;
            if (!it->is_regular_file(typeEc)) continue;
            if (HasCalendarExtension(ToUtf8(it->path().filename()))) inFolder.push_back(ToUtf8(it->path()));
        }
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    return files;
}

std::u16string EventDuplicateFilter(LocalTime start, std::optional<LocalTime> end, const std::u16string& subject,
                                    const std::string& shortDatePicture, bool& subjectInText) {
    CFilterDates dates(shortDatePicture);
    std::u16string text;
    BuildDuplicateFilter(dates, start, end, subject, text, subjectInText);
    return text;
}

int CvCalImport::Run(const RunEnvironment& env) {
    std::unique_ptr<IEventImportWizard> wizard = m_ui.CreateEventImportWizard(env);
    if (!wizard) {
        env.log.LogMsg("no wizard", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }
    return RunEventImport(env, *wizard, m_locale);
}

int RunEventImport(const RunEnvironment& env, IEventImportWizard& wizard, ILocaleInfo* locale) {
    EventImportChoices choices;
    if (!wizard.Run(choices)) return kRunDone;
    IMessageBox& messages = env.messages;
    ILocaleInfo& loc = locale != nullptr ? *locale : SystemLocaleInfo();
    const std::string separator = env.listSeparator.empty() ? ";" : env.listSeparator;

    CMultiPath paths;
    paths.SetText(choices.paths);
    const std::vector<std::string> files = EventImportFiles(paths.Paths());

    EventImportOutcome outcome;
    outcome.files = static_cast<int>(files.size());
    // Files are mapped, not read into memory, and the pages of a file the reader has
    // passed are let go: a run holds little of a large file at a time.
    int total = 0;
    for (const std::string& file : files) {
        CMappedFile mapped;
        std::string reason;
        if (mapped.Open(file, reason)) total += CvCalReader::CountEvents(mapped.Bytes(), file);
    }
    if (total == 0) {
        messages.Show(kCaptionMireo, LoadUserString(kStrNoCalendarFiles), MbIcon::Exclamation, MbButtons::Ok);
        return kRunDone;
    }
    outcome.events = total;
    if (!choices.folder) {
        env.log.LogMsg("No folder chosen", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }

    CEventImportRun run(env, choices, loc.ShortDateFormat(), separator);
    try {
        run.SetItems(choices.folder->Items());
    } catch (const HostError& e) {
        LogHostError(env.log, "Cant get the folder's items", e);
        return kRunCannotStart;
    }
    try {
        run.SetUtils(env.mapi.CreateMapiUtils());
    } catch (const HostError& e) {
        env.log.LogMsg("Cant Create Redemption.MAPIUtils", e.Hr(), kRunSource, kError, kLogFlags);
    }
    const std::optional<ZoneRule> computer = SystemZone();
    run.SetComputerZone(computer);
    run.SetZoneBeforeSave(env.app.KeepsZoneBeforeFirstSave());
    // The zone list is read from the registry only when a TZID of a file needs it.
    std::optional<std::vector<ZoneListEntry>> zoneList;

    VCalReaderOptions options;
    options.hostMajorVersion = env.hostMajorVersion;
    options.listSeparator = ToHostText(separator);
    options.logger = &env.log;
    options.defaultZone = choices.zone;
    options.computerZone = computer;
    options.loadZoneList = [&zoneList, &env]() -> const std::vector<ZoneListEntry>& {
        if (!zoneList) GetAllTimezones(zoneList.emplace(), env.log);
        return *zoneList;
    };
    options.invalidElement = [&messages](const std::string& property) {
        (void)property;
        messages.Show(kCaptionMireo, LoadUserString(113), MbIcon::Exclamation, MbButtons::Ok);
    };

    RunCounters& counters = outcome.counters;
    std::optional<CEventSaveCounter> saves;
    try {
        saves.emplace(env, counters, run);
    } catch (const HostError& e) {
        // Another run is storing into the same store: two duplicate searches at once
        // would both find nothing and store the same event twice.
        LogHostError(env.log, "Cant import now", e);
        messages.Show(kCaptionMireoError, e.Detail().empty() ? e.what() : e.Detail(), MbIcon::Error, MbButtons::Ok);
        return kRunCannotStart;
    }
    run.SetSaveCounter(&*saves);
    CRunLoop loop(env, counters, kRunSource, kHelpImportEvents);
    if (!loop.Start(kProgressImportEvents, kStrImporting, total)) return kRunCannotStart;

    CvCalReader reader(&env.converter, options);
    EventRecord event;
    bool stopped = false;
    CMappedFile mapped;
    for (const std::string& file : files) {
        std::string reason;
        if (!mapped.Open(file, reason)) {
            env.log.LogMsg("Cant open the file " + file, 0, kRunSource, kError, kLogFlags);
            if (messages.Show(kCaptionMireoError, file + LoadUserString(kStrCannotOpen), MbIcon::Exclamation,
                              MbButtons::OkCancel) == MbResult::Cancel)
                break;
            continue;
        }
        const std::string name = std::filesystem::path(FromUtf8(file)).filename().string();
        reader.Open(mapped.Bytes(), file);
        std::size_t released = 0;
        run.StartFile();
        const int droppedBefore = reader.Dropped();
        int dropped = droppedBefore;
        for (;;) {
            const CvCalReader::Result r = reader.Next(event);
            // Events the reader dropped (no start and no end) count as failed.
            while (dropped < reader.Dropped()) {
                ++dropped;
                if (!loop.BeginUnit()) {
                    stopped = true;
                    break;
                }
                ++counters.failed;
                loop.Step();
            }
            if (stopped) break;
            if (r == CvCalReader::Result::kStopped) {
                stopped = true;  // an unknown VERSION: the rest counts as skipped
                break;
            }
            if (r == CvCalReader::Result::kEnd) break;
            if (!loop.BeginUnit()) {
                stopped = true;
                break;
            }
            const std::int32_t before = run.Handled(counters);
            run.HandleEvent(event, reader, counters);
            // The bar advances for each event handled, stored or not.
            if (run.Handled(counters) != before) loop.Step();
            if (reader.Consumed() >= released + kReleaseBytes) {
                released = reader.Consumed();
                mapped.Release(released);
            }
        }
        if (stopped) {
            run.DropPending(counters);
            break;
        }
        run.EndFile(reader, counters);
    }
    loop.SkipRest();
    // The last batch is committed before the counts are shown.
    saves->Finish();
    outcome.lostSaves = saves->Lost();
    outcome.lostCause = saves->Cause();
    loop.Close();
    outcome.folder = choices.folder.get();
    wizard.Finish(outcome);
    return kRunDone;
}

}  // namespace mireo
