#pragma once
// The calendar reader: the events of a vCalendar 1.0 (".vcs") or iCalendar 2.0 (".ics")
// file, one at a time, on the content-line layer both text formats share. It groups
// VCALENDAR, VEVENT, VALARM and VTIMEZONE blocks, reads every VEVENT property into an
// event record, builds the file's zone table (VTIMEZONE blocks, vCalendar's TZ and
// DAYLIGHT lines) and converts the event's date texts (ToDate).
//
// Bounded on any input: one pass over the text, lists and messages capped; a file of
// any number of events is read event by event.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/date_time.h"
#include "textformat/content_line.h"
#include "vcal/common/recurrence_date.h"
#include "vcal/common/zone_list.h"
#include "vcal/common/zone_rule.h"
#include "vcal/import/rrule_parser.h"

namespace mireo {

class ILogger;
class MireoCharConverter;

// The zone table's key of the user's default import zone: no TZID of a file can be
// this text (it holds control characters), and it is never written anywhere.
extern const std::string kDefaultZoneKey;
// The key of the zone of vCalendar 1.0's TZ and DAYLIGHT lines.
inline constexpr const char* kVCalZoneKey = "Timezone from vCal1.0";

// A date text of the event with the zone key it is read in.
struct ZonedDate {
    CalDateTime date;
    std::string tzid;  // a key of the zone table once the event is complete
    friend bool operator==(const ZonedDate&, const ZonedDate&) = default;
};

// Caps of the lists of one event; more are dropped with a log line.
constexpr std::size_t kMaxEventDates = 10000;
constexpr std::size_t kMaxAttendees = 1000;

// An ATTENDEE: its address, its CN and the host's recipient type it stands for.
struct Attendee {
    std::u16string address, name;
    int type = 1;  // 1 required, 2 optional (OPT-PARTICIPANT), 3 resource (NON-PARTICIPANT, CUTYPE resource or room)
    friend bool operator==(const Attendee&, const Attendee&) = default;
};

struct EventRecord {
    int sensitivity = 0;  // 0 normal, 2 private, 3 confidential
    int importance = 1;   // 0 low, 1 normal, 2 high
    int busyStatus = 2;   // 0 free, 2 busy
    std::u16string organizerAddress, organizerName;
    std::vector<Attendee> attendees;
    std::u16string categories;  // joined by the user's list separator
    std::u16string body, subject, location, resources;
    std::optional<ZonedDate> reminderTime;  // DALARM
    // A TRIGGER's offset in minutes (0 or less: before the start); none without an
    // alarm, which is its own state, so that TRIGGER:-PT1M and "no alarm" differ.
    std::optional<int> reminderOffset;
    std::optional<ZonedDate> start, end;
    int duration = -1;  // minutes; -1 none
    std::string uid;
    ParsedRecurrence rule;
    std::vector<ZonedDate> exdates, rdates;
    // A changed (or, with STATUS:CANCELLED, deleted) occurrence of the series of this UID.
    std::optional<ZonedDate> recurrenceId;
    bool cancelled = false;
    int line = 0;  // the physical line of BEGIN:VEVENT
};

// Why an event was not handed on.
enum class EventDrop { kNoStartOrEnd };

struct VCalReaderOptions {
    int hostMajorVersion = 9;
    std::u16string listSeparator = u",";  // CATEGORIES are joined with it
    ILogger* logger = nullptr;
    // String 113's box for a value whose quoted-printable cannot be decoded; gets the
    // property name.
    std::function<void(const std::string& property)> invalidElement;
    // The user's default import zone (the default key's entry).
    ZoneRule defaultZone;
    // The computer's zone; null when it cannot be read (times then stay as written).
    std::optional<ZoneRule> computerZone;
    // The Windows zone list: TZIDs that no VTIMEZONE defines are looked up in it by key,
    // display name and tzdata name. Null: not used.
    const std::vector<ZoneListEntry>* zoneList = nullptr;
    // Where zoneList is null: gives the list the first time a TZID needs it (reading it
    // walks the registry, which most files never need). Empty: not used.
    std::function<const std::vector<ZoneListEntry>&()> loadZoneList;
};

// Conversion modes of ToDate.
enum class DateMode { kWall = 0, kComputer = 1, kTarget = 2 };

class CvCalReader {
public:
    enum class Result {
        kEvent,    // an event is complete
        kEnd,      // the end of the text
        kStopped,  // an unknown VERSION: the whole import stops
    };

    CvCalReader(MireoCharConverter* converter, VCalReaderOptions options);

    // Starts on a file's bytes (kept by view). The version starts from the name's
    // extension: ".ics" 2.0, anything else 1.0. A UTF-8 byte-order mark is skipped and
    // UTF-16 is read.
    void Open(std::string_view bytes, std::string fileName);
    // The next complete event.
    Result Next(EventRecord& event);

    // The VEVENT blocks of a file that Next enters (each either handed on or dropped),
    // without reading their properties; an unknown VERSION does not stop the count.
    static int CountEvents(std::string_view bytes, const std::string& fileName);

    // A date text of the event as a local time: kWall as written, kComputer in the
    // computer's zone, kTarget in the zone of `target`. Null when the zone arithmetic
    // has no answer for it (a date outside the host's years).
    std::optional<LocalTime> ToDate(const ZonedDate& date, DateMode mode, const std::string& target = {}) const;

    int Version() const { return m_version; }
    const std::map<std::string, ZoneRule>& Zones() const { return m_zones; }
    const ZoneRule* Zone(const std::string& key) const;
    const std::string& FileName() const { return m_fileName; }
    // The bytes given to Open that the reader is done with: those before the next line
    // it reads (none when it reads a converted copy of them).
    std::size_t Consumed() const { return m_textOffset == kConvertedText ? 0 : m_textOffset + m_lines.Position(); }
    // Events dropped by the reader (no DTSTART and no DTEND).
    int Dropped() const { return m_dropped; }
    const std::map<std::string, int>& DropReasons() const { return m_dropReasons; }
    const std::map<std::string, int>& UnknownProperties() const { return m_unknown; }

    // The log text of a message about the current line: "%s\tin line(%s)", the line cut
    // to 512 bytes.
    std::string LineMessage(std::string_view message) const;

private:
    struct Component;
    bool NextLine();
    void Report(std::string_view message, int level, bool inLine = true, const char* source = "CvCalImport");
    // Passes over a block up to END with its name. A calendar's END ends it too, and a
    // block that never holds events (to-dos, journals, free-busy) also ends at a
    // BEGIN:VEVENT, which is read again: a misspelt END must not swallow the events after it.
    void SkipBlock(std::string_view name, bool endsAtEvent = false);
    Result ParseCalendarLine(EventRecord& event, bool& haveEvent);
    bool ParseEvent(EventRecord& event);
    void ParseEventLine(EventRecord& event);
    void ParseAlarm(EventRecord& event);
    void ParseTimeZone();
    bool ParseComponent(std::string_view kind, Component& c);
    void HandleTz(std::string_view value);
    void HandleDaylight(std::string_view value);
    void ResolveZones(EventRecord& event);
    std::string ResolveTzid(const std::string& tzid);
    std::optional<ZonedDate> ReadDate(std::string_view value, const std::string& tzid, bool report);
    void ReadDateList(const ContentLine& line, std::vector<ZonedDate>& out, std::string_view what);
    std::string ReadTzid(const ContentLine& line);
    std::u16string Decode(const ContentLine& line, bool unescape);
    std::u16string DecodeBytes(std::string_view bytes, std::string_view charset) const;
    std::u16string ReadAddress(const ContentLine& line, bool organizer, std::u16string* name, int* type = nullptr);

    MireoCharConverter* m_converter;
    VCalReaderOptions m_options;
    CContentLineReader m_lines;
    ContentLine m_line;
    bool m_replay = false;  // NextLine gives m_line again
    bool m_countOnly = false;
    std::string m_converted;
    static constexpr std::size_t kConvertedText = ~std::size_t{0};
    std::size_t m_textOffset = 0;  // where the text read starts in the bytes given to Open
    std::string m_fileName;
    std::string m_prodId;
    bool m_utf8File = false;
    bool m_inCalendar = false;
    int m_version = 10;
    std::map<std::string, ZoneRule> m_zones;
    std::map<std::string, bool> m_listLookups;  // TZIDs looked up in the zone list
    int m_dropped = 0;
    std::map<std::string, int> m_dropReasons;
    std::map<std::string, int> m_unknown;
};

// A DURATION or TRIGGER value in whole minutes: an optional sign, "P", number-unit
// pairs (W, D, H, M, S) with "T" anywhere between them. Null when it does not parse or
// does not fit.
std::optional<int> ParseDurationMinutes(std::string_view text);

// A UTC offset: "+HHMM" or "+HHMMSS" (seconds ignored), minutes 0..59; signed minutes.
std::optional<int> ParseUtcOffset(std::string_view text);

// vCalendar's TZ value "%d:%d" ("-05:00", "+5", "-00:30"): the bias (UTC = local +
// bias) in minutes, the sign taken from the text.
std::optional<int> ParseVCalBias(std::string_view text);

}  // namespace mireo
