#include "vcal/export/event_writer.h"

#include <cstdio>
#include <random>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/ascii.h"
#include "platform/utf.h"
#include "textformat/date_text.h"
#include "textformat/quoted_printable.h"
#include "textformat/text_escape.h"
#include "vcal/common/item_zone.h"
#include "vcal/common/system_zone.h"
#include "vcal/export/rrule_writer.h"

namespace mireo {
namespace {

constexpr const char* kUidSource = "CvCalExport::GetMeetingUID";

std::u16string TextOf(Value&& v) { return std::move(v).TakeText(); }

LocalTime DateOf(const Value& v) {
    const std::optional<LocalTime> t = LocalFromOle(v.AsDate());
    return t ? *t : kNoDateLocal;
}

// A name or address of an organizer or attendee line: CR and LF become spaces so that
// the value cannot break its line; in a CN value a double quote becomes an apostrophe,
// as a quoted parameter value cannot hold one.
std::u16string CleanPartyText(std::u16string_view text, bool quoted) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c == u'\r' || c == u'\n') c = u' ';
        if (quoted && c == u'"') c = u'\'';
    }
    return out;
}

}  // namespace

std::string ReadMeetingUid(IItem& item, IMapiUtils& utils, CNamedPropTags& tags, ILogger& log) {
    const PropTag tag = tags.Get(utils, item, kMeetingPropertySet, kGlobalObjectIdProperty);
    if (tag == 0) {
        log.LogMsg("prUID == 0", 0, kUidSource, kWarning, kLogFlags);
        return {};
    }
    if (tag < 0x80000000u) log.LogMsg("prUID < 0x80000000", static_cast<long>(tag), kUidSource, kWarning, kLogFlags);
    const std::optional<Value> v = utils.GetProp(item, (tag & 0xFFFF0000u) | kPtBinary);
    if (!v || v->GetKind() != Value::Kind::Binary || v->AsBinary().empty()) return {};
    return utils.BytesToHex(v->AsBinary());
}

std::string GlobalObjectUid(const std::uint8_t (&data)[16]) {
    std::string uid =
        "040000008200E00074C5B7101A82E008"
        "00000000000000000000000000000000"
        "0000000010000000";
    char hex[3];
    for (std::uint8_t b : data) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        uid += hex;
    }
    return uid;
}

std::string NewGlobalObjectUid() {
    static std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(std::random_device{}()) << 32)};
    std::uint8_t data[16];
    for (int i = 0; i < 16; i += 8) {
        const std::uint64_t r = random();
        for (int k = 0; k < 8; ++k) data[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    // A random (version 4) GUID in memory order: Data3 is little-endian.
    data[7] = static_cast<std::uint8_t>((data[7] & 0x0F) | 0x40);
    data[8] = static_cast<std::uint8_t>((data[8] & 0x3F) | 0x80);
    return GlobalObjectUid(data);
}

void ReadAppointment(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags, ILogger& log,
                     AppointmentRecord& r) {
    r = AppointmentRecord{};
    r.start = DateOf(item.Get("Start"));
    r.end = DateOf(item.Get("End"));
    r.allDay = item.Get("AllDayEvent").AsBool();
    r.subject = TextOf(item.Get("Subject"));
    r.location = TextOf(item.Get("Location"));
    r.body = TextOf(safe.Get("Body"));
    r.categories = TextOf(item.Get("Categories"));
    r.sensitivity = item.Get("Sensitivity").AsInt();
    r.importance = item.Get("Importance").AsInt();
    r.busyStatus = item.Get("BusyStatus").AsInt();
    r.reminderSet = item.Get("ReminderSet").AsBool();
    if (r.reminderSet) r.reminderMinutes = item.Get("ReminderMinutesBeforeStart").AsInt();
    r.meetingStatus = item.Get("MeetingStatus").AsInt();
    if (r.meetingStatus != 0) {
        r.organizerAddress = TextOf(safe.Fields(kPrSenderEmailAddress));
        r.organizerName = TextOf(safe.Fields(kPrSenderName));
        if (std::unique_ptr<IRecipients> recipients = safe.Recipients()) {
            const int n = recipients->Count();
            for (int i = 1; i <= n; ++i) {
                std::unique_ptr<IRecipient> p = recipients->Item(i);
                if (!p) continue;
                r.recipients.push_back({TextOf(p->Get("Name")), TextOf(p->Get("Address")), p->Get("Type").AsInt()});
            }
        }
    }
    r.isRecurring = item.Get("IsRecurring").AsBool();
    if (r.isRecurring) {
        std::unique_ptr<IRecurrencePattern> pattern = item.GetRecurrencePattern();
        r.pattern = LoadRecurrencePattern(*pattern);
        r.exceptions = LoadRecurrenceExceptions(*pattern, r.pattern);
    }
    if (utils != nullptr) r.uid = ReadMeetingUid(item, *utils, tags, log);
}

CvCalWriter::CvCalWriter(MireoCharConverter& converter, CalWriterOptions options)
    : m_converter(converter), m_o(std::move(options)) {
    if (m_o.listSeparator.empty()) m_o.listSeparator.assign(1, u';');
    m_charset = m_converter.CurrentCharsetName();
    m_utf8 = ascii::EqualsNoCase(m_charset, "UTF-8");
    // UTF-8 is what iCalendar is read as anyway; any spelling of it needs no parameter.
    if (!m_charset.empty() && !(m_o.format == kCalFormatICal && ascii::EqualsNoCase(m_charset, "UTF-8")))
        m_charsetParam = ";CHARSET=" + m_charset;
}

void CvCalWriter::AppendHeader(std::string& out) const {
    char prodid[96];
    std::snprintf(prodid, sizeof prodid, "PRODID:-//Kelvo Corporation//MIREO %d.%d//EN\r\n", m_o.productMajor,
                  m_o.productMinor);
    out += "BEGIN:VCALENDAR\r\n";
    out += prodid;
    out += m_o.format == kCalFormatICal ? "VERSION:2.0\r\nMETHOD:PUBLISH\r\n" : "VERSION:1.0\r\n";
}

UtcTime CvCalWriter::ToUtc(LocalTime t) const {
    return m_o.computerZone ? LocalToUtc(*m_o.computerZone, t) : AsUtc(t);
}

LocalTime CvCalWriter::ToZone(LocalTime t, const EventZone& zone) const {
    return LocalToZone(t, m_o.computerZone, zone.rule);
}

bool CvCalWriter::Encode(std::u16string_view text, std::string& out) {
    m_scratch.clear();
    if (text.empty()) return true;
    if (m_utf8 && AppendUtf16AsUtf8(text, out)) return true;
    if (m_converter.EncodeByCharset(m_charset, text, m_scratch) < 0) return false;
    out += m_scratch;
    return true;
}

bool CvCalWriter::AppendText(const char* name, std::u16string_view text, std::string& out) {
    out += name;
    out += m_charsetParam;
    if (m_o.format == kCalFormatVCal) {
        out += ";ENCODING=QUOTED-PRINTABLE:";
        m_bytes.clear();
        if (!Encode(text, m_bytes)) return false;
        AppendQuotedPrintable(m_bytes, out);
        return true;
    }
    out += ':';
    m_scratch16.clear();
    AppendEscaped30(text, true, m_scratch16);
    if (!Encode(m_scratch16, out)) return false;
    out += "\r\n";
    return true;
}

void CvCalWriter::AppendDate(const char* name, LocalTime t, bool allDay, const EventZone& zone,
                             std::string& out) const {
    out += name;
    const bool dateOnly = allDay && m_o.format == kCalFormatICal;
    if (dateOnly) out += ";VALUE=DATE";
    if (zone.use && m_o.format == kCalFormatICal) {
        out += ";TZID=\"";
        out += zone.name;
        out += '"';
    }
    out += ':';
    if (dateOnly) {
        // The day the user sees: taken before any zone conversion, which could move
        // midnight into the day before.
        out += FormatBasicDate(t);
    } else if (zone.use) {
        out += FormatDateTime(ToZone(t, zone));
    } else {
        out += FormatDateTime(ToUtc(t));
    }
    out += "\r\n";
}

bool CvCalWriter::AppendEvent(const AppointmentRecord& r, const EventZone& zone, UtcTime stamp, std::string& out) {
    const bool ical = m_o.format == kCalFormatICal;
    out += "BEGIN:VEVENT\r\n";
    if (r.meetingStatus != 0) {
        const std::u16string organizer = CleanPartyText(r.organizerAddress, false);
        std::string organizerBytes;
        auto party = [&](std::u16string_view text, std::string& bytes) {
            if (ical) {
                bytes = utf::Utf16ToUtf8(text);
                return true;
            }
            bytes.clear();
            return Encode(text, bytes);
        };
        if (!party(organizer, organizerBytes)) return false;
        if (!organizerBytes.empty()) {
            if (ical) {
                std::string name;
                party(CleanPartyText(r.organizerName, true), name);
                out += "ORGANIZER;CN=\"" + name + "\":MAILTO:" + organizerBytes + "\r\n";
            } else {
                out += "ATTENDEE;ROLE=ORGANIZER:" + organizerBytes + "\r\n";
            }
        }
        std::string address, name;
        for (const EventRecipient& p : r.recipients) {
            if (p.address.empty() || p.type == kRecipientOrganizer) continue;
            if (!party(CleanPartyText(p.address, false), address)) return false;
            if (address == organizerBytes) continue;
            if (ical) {
                const char* role = p.type == kRecipientRequired   ? "REQ-PARTICIPANT"
                                   : p.type == kRecipientOptional ? "OPT-PARTICIPANT"
                                   : p.type == kRecipientResource ? "NON-PARTICIPANT"
                                                                  : "";
                party(CleanPartyText(p.name, true), name);
                out += "ATTENDEE;CN=\"" + name + "\";ROLE=" + role + ":MAILTO:" + address + "\r\n";
            } else {
                out += "ATTENDEE;ROLE=ATTENDEE:" + address + "\r\n";
            }
        }
    }
    if (!r.categories.empty()) {
        if (ical) {
            // A list: each name escaped, the names joined by plain commas.
            out += "CATEGORIES";
            out += m_charsetParam;
            out += ':';
            std::u16string joined;
            std::u16string_view rest = r.categories;
            bool first = true;
            while (true) {
                const std::size_t at = rest.find(m_o.listSeparator);
                const std::u16string_view name = TrimText(rest.substr(0, at));
                if (!name.empty()) {
                    if (!first) joined += u',';
                    AppendEscaped30(name, true, joined);
                    first = false;
                }
                if (at == std::u16string_view::npos) break;
                rest.remove_prefix(at + m_o.listSeparator.size());
            }
            if (!Encode(joined, out)) return false;
            out += "\r\n";
        } else {
            std::u16string list;
            std::u16string_view rest = r.categories;
            for (std::size_t at; (at = rest.find(m_o.listSeparator)) != std::u16string_view::npos;) {
                list += rest.substr(0, at);
                list += u';';
                rest.remove_prefix(at + m_o.listSeparator.size());
            }
            list += rest;
            if (!AppendText("CATEGORIES", list, out)) return false;
        }
    }
    if (r.sensitivity == 2) out += "CLASS:PRIVATE\r\n";
    if (r.sensitivity == 3) out += "CLASS:CONFIDENTIAL\r\n";
    if (!r.body.empty() && !AppendText("DESCRIPTION", r.body, out)) return false;
    if (r.reminderSet) {
        if (ical) {
            char trigger[48];
            std::snprintf(trigger, sizeof trigger, "TRIGGER:-PT%dM\r\n", r.reminderMinutes);
            out += "BEGIN:VALARM\r\n";
            out += trigger;
            out += "ACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n";
        } else {
            const LocalTime alarm = r.start - std::chrono::minutes(r.reminderMinutes);
            out += "DALARM:";
            out += zone.use ? FormatDateTime(ToZone(alarm, zone)) : FormatDateTime(ToUtc(alarm));
            out += "; ; ;Reminder\r\n";
        }
    }
    AppendDate("DTEND", r.end, r.allDay, zone, out);
    if (ical) out += "DTSTAMP:" + FormatDateTime(stamp) + "\r\n";
    AppendDate("DTSTART", r.start, r.allDay, zone, out);
    if (!r.location.empty() && !AppendText("LOCATION", r.location, out)) return false;
    static constexpr const char* kVCalPriority[] = {"5", "3", "1"};
    static constexpr const char* kICalPriority[] = {"9", "5", "1"};
    out += "PRIORITY:";
    if (r.importance >= 0 && r.importance <= 2) out += (ical ? kICalPriority : kVCalPriority)[r.importance];
    out += "\r\n";
    if (r.isRecurring) {
        RecurrenceLineOptions o;
        o.format = m_o.format;
        o.firstDayOfWeek = m_o.firstDayOfWeek;
        o.useItemZone = zone.use;
        o.zoneName = zone.name;
        if (zone.use) o.toItemZone = [this, &zone](LocalTime t) { return ToZone(t, zone); };
        o.toUtc = [this](LocalTime t) { return ToUtc(t); };
        out += RecurrenceLines(r.pattern, r.exceptions, o);
    }
    if (!r.subject.empty() && !AppendText("SUMMARY", r.subject, out)) return false;
    if (ical) {
        out += r.busyStatus == 0 ? "TRANSP:TRANSPARENT\r\n" : "TRANSP:OPAQUE\r\n";
    } else {
        out += r.busyStatus == 0 ? "TRANSP:1\r\n" : "TRANSP:0\r\n";
    }
    if (!r.uid.empty()) out += "UID:" + r.uid + "\r\n";
    if (ical) out += "X-MICROSOFT-CDO-IMPORTANCE:" + std::to_string(r.importance) + "\r\n";
    out += "END:VEVENT\r\n";
    return true;
}

}  // namespace mireo
