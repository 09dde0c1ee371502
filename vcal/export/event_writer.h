#pragma once
// The calendar text of exported appointments: the file header and one VEVENT, in
// vCalendar 1.0 or iCalendar 2.0. The appointment is read into a record first
// (ReadAppointment), so that the text is built from plain values.
#include <optional>
#include <string>
#include <vector>

#include "engine/date_time.h"
#include "engine/item_store.h"
#include "vcal/common/recurrence.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

class MireoCharConverter;
class CNamedPropTags;
class ILogger;

struct EventRecipient {
    std::u16string name;
    std::u16string address;
    int type = kRecipientRequired;
};

// The appointment record: what the writer, the filter and the file names read.
struct AppointmentRecord {
    LocalTime start{};  // the computer's local time
    LocalTime end{};
    bool allDay = false;
    std::u16string subject, location, body, categories;
    int sensitivity = 0;  // 0 normal, 1 personal, 2 private, 3 confidential
    int importance = 1;   // 0 low, 1 normal, 2 high
    int busyStatus = 2;   // 0 free
    bool reminderSet = false;
    int reminderMinutes = 0;
    int meetingStatus = 0;  // 0 not a meeting
    std::u16string organizerAddress, organizerName;
    std::vector<EventRecipient> recipients;
    bool isRecurring = false;
    RecurrencePattern pattern;
    std::vector<RecurrenceException> exceptions;
    std::string uid;  // hexadecimal global object id; empty when the item has none
};

// The zone an event is written in: `use` when it is a recurring event with a known zone;
// its times are then local times of `rule`, labelled `name`.
struct EventZone {
    bool use = false;
    std::string name;
    ZoneRule rule;
};

// Sender address and name (8-bit text), read through the safe item's Fields.
constexpr PropTag kPrSenderEmailAddress = 0x0C1F001E;
constexpr PropTag kPrSenderName = 0x0C1A001E;
// The published global object id: named property 0x0003 of this set.
constexpr const char* kMeetingPropertySet = "{6ED8DA90-450B-101B-98DA-00AA003F1305}";
constexpr std::uint16_t kGlobalObjectIdProperty = 0x0003;

// Reads the record of an appointment (the pattern and its exceptions of a recurring
// one, the recipients and sender of a meeting, the UID). `safe` has the item attached.
// Host failures are raised.
void ReadAppointment(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags, ILogger& log,
                     AppointmentRecord& record);

// CvCalExport::GetMeetingUID: the hexadecimal global object id, empty when there is none.
std::string ReadMeetingUid(IItem& item, IMapiUtils& utils, CNamedPropTags& tags, ILogger& log);

// A new UID in the layout of a global object id: the class id, zero instance date,
// creation time and reserved bytes, the size 16, then 16 bytes of a new GUID (112
// upper-case hexadecimal digits).
std::string NewGlobalObjectUid();
// The same with the 16 data bytes given.
std::string GlobalObjectUid(const std::uint8_t (&data)[16]);

struct CalWriterOptions {
    int format = kCalFormatVCal;
    int productMajor = 1, productMinor = 0;
    std::u16string listSeparator = u",";  // the user's; ";" when empty
    // The computer's zone; null when it cannot be read (times are then taken as UTC).
    std::optional<ZoneRule> computerZone;
    std::optional<int> firstDayOfWeek;  // WKST
};

class CvCalWriter {
public:
    // The converter's current encoding is the one the text values are written in.
    CvCalWriter(MireoCharConverter& converter, CalWriterOptions options);

    // BEGIN:VCALENDAR, PRODID, VERSION and, for iCalendar, METHOD:PUBLISH.
    void AppendHeader(std::string& out) const;
    // One VEVENT with its lines in the fixed order. False when a text value cannot be
    // converted to the chosen encoding (out then holds a partial event).
    bool AppendEvent(const AppointmentRecord& record, const EventZone& zone, UtcTime stamp, std::string& out);

    // The charset parameter of the text values (";CHARSET=..." or empty).
    const std::string& CharsetParameter() const { return m_charsetParam; }
    // A local time of the computer as UTC by its zone.
    UtcTime ToUtc(LocalTime t) const;

private:
    bool AppendText(const char* name, std::u16string_view text, std::string& out);
    void AppendDate(const char* name, LocalTime t, bool allDay, const EventZone& zone, std::string& out) const;
    LocalTime ToZone(LocalTime t, const EventZone& zone) const;
    bool Encode(std::u16string_view text, std::string& out);

    MireoCharConverter& m_converter;
    CalWriterOptions m_o;
    std::string m_charset;
    std::string m_charsetParam;
    bool m_utf8 = false;  // the chosen encoding is UTF-8: text is appended without the converter
    std::u16string m_scratch16;
    std::string m_scratch;
    std::string m_bytes;  // a vCalendar value before quoted-printable
};

}  // namespace mireo
