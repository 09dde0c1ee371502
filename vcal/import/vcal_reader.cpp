#include "vcal/import/vcal_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "encoding/charset_names.h"
#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/ascii.h"
#include "textformat/file_text.h"
#include "textformat/quoted_printable.h"
#include "textformat/text_escape.h"

namespace mireo {

const std::string kDefaultZoneKey = std::string("\x01\x02Mireo default import zone\x03\x04\x05\x06", 32);

namespace {

constexpr int kUtf8CodePage = 65001;
constexpr std::size_t kMaxLoggedLine = 512;
constexpr std::size_t kMaxEchoed = 64;
constexpr std::size_t kMaxComponents = 64;
constexpr std::string_view kSoftBreakStopTexts[] = {"END:VEVENT", "END:VCALENDAR", "END:VALARM"};

// iCalendar's escapes: "\\", "\;", "\,", "\n" and "\N", one pass; a break is CR LF, the
// host's line break.
constexpr EscapeRules kICalEscapes{.semicolon = true, .comma = true, .backslash = true, .lowerN = true, .upperN = true};

ContentLineOptions LineOptions() {
    ContentLineOptions o;
    o.tabContinues = true;
    o.quotedPrintableSoftBreaks = true;
    o.softBreakStops = kSoftBreakStopTexts;
    return o;
}

std::string_view TrimValue(std::string_view s) { return ascii::Trim(s); }

std::string Cut(std::string_view s, std::size_t n = kMaxEchoed) { return std::string(s.substr(0, n)); }

// Digits only, at most INT_MAX.
std::optional<int> Digits(std::string_view s) {
    if (s.empty()) return std::nullopt;
    std::int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > INT_MAX) return std::nullopt;
    }
    return static_cast<int>(n);
}

// The week of the month of a date as transitions give it: 1..4, or 5 when the same
// weekday a week later is in the next month.
SystemTime TransitionOf(const CivilTime& c) {
    SystemTime t;
    t.month = static_cast<std::uint16_t>(c.month);
    t.dayOfWeek = static_cast<std::uint16_t>(WeekdayOfDayNumber(DayNumber(c.year, c.month, c.day)));
    t.day = static_cast<std::uint16_t>(c.day + 7 > DaysInMonth(c.year, c.month) ? 5 : (c.day - 1) / 7 + 1);
    t.hour = static_cast<std::uint16_t>(c.hour);
    t.minute = static_cast<std::uint16_t>(c.minute);
    t.second = static_cast<std::uint16_t>(std::min(c.second, 59));
    return t;
}

bool IsUtcName(std::string_view tzid) {
    for (std::string_view n : {"UTC", "GMT", "Z", "Etc/UTC", "Etc/GMT", "Etc/Universal", "Etc/Zulu", "Universal",
                               "Zulu", "Coordinated Universal Time"}) {
        if (ascii::EqualsNoCase(tzid, n)) return true;
    }
    return false;
}

struct LineParams {
    int encoding = 0;  // 0 none, 1 7BIT, 2 8BIT, 3 QUOTED-PRINTABLE, 4 BASE64
    std::string_view charset;
    bool hasCharset = false;
    std::vector<ContentParam> other;  // parameters the encoding rules do not handle
};

LineParams ReadParams(const ContentLine& line, int version) {
    LineParams p;
    std::string_view rest = line.params;
    ContentParam param;
    const ParamQuotes quotes = version == kCalFormatICal ? ParamQuotes::kRespect : ParamQuotes::kIgnore;
    int guard = 0;
    while (NextParam(rest, param, quotes) && ++guard <= 256) {
        if (param.name.empty() || ascii::EqualsNoCase(param.name, "ENCODING")) {
            const std::string v = ascii::Upper(Unquote(param.value));
            if (v == "7BIT") {
                p.encoding = 1;
                continue;
            }
            if (v == "8BIT") {
                p.encoding = 2;
                continue;
            }
            if (v == "QUOTED-PRINTABLE") {
                p.encoding = 3;
                continue;
            }
            if (v == "BASE64" || v == "B") {
                p.encoding = 4;
                continue;
            }
        } else if (ascii::EqualsNoCase(param.name, "CHARSET")) {
            p.charset = Unquote(param.value);
            p.hasCharset = true;
            continue;
        }
        p.other.push_back(param);
    }
    return p;
}

}  // namespace

// ---- small syntaxes ----

std::optional<int> ParseDurationMinutes(std::string_view text) {
    std::string_view s = ascii::Trim(text);
    int sign = 1;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        if (s.front() == '-') sign = -1;
        s.remove_prefix(1);
    }
    if (s.empty() || (s.front() != 'P' && s.front() != 'p')) return std::nullopt;
    s.remove_prefix(1);
    std::int64_t seconds = 0;
    constexpr std::int64_t kLimit = std::int64_t{INT_MAX} * 60;
    while (!s.empty()) {
        if (s.front() == 'T' || s.front() == 't') {
            s.remove_prefix(1);
            continue;
        }
        std::int64_t n = 0;
        std::size_t i = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            n = n * 10 + (s[i] - '0');
            if (n > kLimit) return std::nullopt;
            ++i;
        }
        if (i == 0 || i == s.size()) return std::nullopt;
        std::int64_t unit = 0;
        switch (ascii::ToUpper(s[i])) {
        case 'W': unit = 7 * 86400; break;
        case 'D': unit = 86400; break;
        case 'H': unit = 3600; break;
        case 'M': unit = 60; break;
        case 'S': unit = 1; break;
        default: return std::nullopt;
        }
        seconds += n * unit;
        if (seconds > kLimit) return std::nullopt;
        s.remove_prefix(i + 1);
    }
    return static_cast<int>(sign * (seconds / 60));
}

std::optional<int> ParseUtcOffset(std::string_view text) {
    const std::string_view s = ascii::Trim(text);
    if ((s.size() != 5 && s.size() != 7) || (s[0] != '+' && s[0] != '-')) return std::nullopt;
    const std::optional<int> hh = Digits(s.substr(1, 2));
    const std::optional<int> mm = Digits(s.substr(3, 2));
    if (!hh || !mm || *mm > 59) return std::nullopt;
    if (s.size() == 7) {
        const std::optional<int> ss = Digits(s.substr(5, 2));
        if (!ss || *ss > 59) return std::nullopt;
    }
    const int minutes = *hh * 60 + *mm;
    return s[0] == '-' ? -minutes : minutes;
}

std::optional<int> ParseVCalBias(std::string_view text) {
    std::string_view s = ascii::Trim(text);
    bool minus = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        minus = s.front() == '-';
        s.remove_prefix(1);
    }
    const std::size_t colon = s.find(':');
    std::string_view hours = s.substr(0, colon);
    std::string_view minutes = colon == std::string_view::npos ? std::string_view() : s.substr(colon + 1);
    // "-0500" without a colon: hours and minutes run together.
    if (colon == std::string_view::npos && hours.size() == 4) {
        minutes = hours.substr(2);
        hours = hours.substr(0, 2);
    }
    const std::optional<int> h = Digits(hours);
    if (!h || *h > 24) return std::nullopt;
    int m = 0;
    if (!minutes.empty()) {
        const std::optional<int> mm = Digits(minutes);
        if (!mm || *mm > 59) return std::nullopt;
        m = *mm;
    }
    const int offset = *h * 60 + m;  // local = UTC + offset
    return minus ? offset : -offset;
}

// ---- the reader ----

struct CvCalReader::Component {
    std::optional<CivilTime> start;
    std::optional<int> offsetFrom, offsetTo;
    std::optional<SystemTime> rule;
    bool hasUntil = false;
    std::optional<CivilTime> rdate;
};

CvCalReader::CvCalReader(MireoCharConverter* converter, VCalReaderOptions options)
    : m_converter(converter), m_options(std::move(options)), m_lines(LineOptions()) {
    if (m_options.listSeparator.empty()) m_options.listSeparator = u";";
}

void CvCalReader::Open(std::string_view bytes, std::string fileName) {
    m_fileName = std::move(fileName);
    const FileText file = PrepareFileText(bytes, m_converted);
    m_utf8File = file.IsUtf8();
    m_textOffset = file.form == FileTextForm::kUtf16 ? kConvertedText : static_cast<std::size_t>(file.text.data() - bytes.data());
    if (file.form == FileTextForm::kUtf16 && m_options.logger != nullptr) {
        m_options.logger->LogMsg("UTF-16 calendar file read as UTF-8: " + m_fileName, 0, "CvCalImport::Parse", kTrace,
                                 kLogFlags);
    }
    m_lines.Open(file.text);
    m_replay = false;
    m_inCalendar = false;
    m_version = ascii::EndsWithNoCase(m_fileName, ".ics") ? kCalFormatICal : kCalFormatVCal;
    m_zones.clear();
    m_listLookups.clear();
}

bool CvCalReader::NextLine() {
    if (m_replay) {
        m_replay = false;
        return true;
    }
    return m_lines.Next(m_line);
}

std::string CvCalReader::LineMessage(std::string_view message) const {
    std::string text(message);
    text += "\tin line(";
    if (m_line.text.size() > kMaxLoggedLine) {
        text.append(m_line.text.substr(0, kMaxLoggedLine));
        text += "...";
    } else {
        text.append(m_line.text);
    }
    text += ")";
    return text;
}

void CvCalReader::Report(std::string_view message, int level, bool inLine, const char* source) {
    if (m_options.logger == nullptr) return;
    std::string text;
    if (inLine) {
        text = LineMessage(message);
    } else {
        text = std::string(message) + "\tin file(name='" + m_fileName + "',line~" +
               std::to_string(m_lines.PhysicalLines()) + ")";
    }
    m_options.logger->LogMsg(text, 0, source, level, kLogFlagsItemDiagnostic);
}

void CvCalReader::SkipBlock(std::string_view name, bool endsAtEvent) {
    const std::string block(name);
    while (NextLine()) {
        const std::string_view value = TrimValue(m_line.value);
        if (m_line.name == "END" && (value == block || value == "VCALENDAR")) {
            m_replay = value != block;
            return;
        }
        if (endsAtEvent && m_line.name == "BEGIN" && value == "VEVENT") {
            m_replay = true;
            return;
        }
    }
}

const ZoneRule* CvCalReader::Zone(const std::string& key) const {
    const auto it = m_zones.find(key);
    return it == m_zones.end() ? nullptr : &it->second;
}

CvCalReader::Result CvCalReader::Next(EventRecord& event) {
    while (NextLine()) {
        const std::string_view value = TrimValue(m_line.value);
        if (!m_inCalendar) {
            if (m_line.name == "BEGIN" && value == "VCALENDAR") {
                m_inCalendar = true;
                m_version = ascii::EndsWithNoCase(m_fileName, ".ics") ? kCalFormatICal : kCalFormatVCal;
                m_zones.clear();
                m_listLookups.clear();
                m_zones[kDefaultZoneKey] = m_options.defaultZone;
            }
            continue;
        }
        const std::string_view name = m_line.name;
        if (name == "VERSION") {
            if (value == "1.0") {
                m_version = kCalFormatVCal;
            } else if (value == "2.0") {
                m_version = kCalFormatICal;
            } else if (!m_countOnly) {
                Report("Unknown version", kWarning);
                return Result::kStopped;
            }
        } else if (name == "BEGIN") {
            if (value == "VEVENT") {
                if (ParseEvent(event)) return Result::kEvent;
            } else if (value == "VTIMEZONE" && m_version == kCalFormatICal) {
                ParseTimeZone();
            } else if (value == "VTODO" || (m_version == kCalFormatICal && (value == "VJOURNAL" || value == "VFREEBUSY"))) {
                SkipBlock(value, true);
            } else {
                Report("skipping unknown grouping - " + Cut(value), kTrace);
                SkipBlock(value, value == "VJOURNAL" || value == "VFREEBUSY");
            }
        } else if (name == "END") {
            if (value == "VCALENDAR") m_inCalendar = false;
        } else if (name == "PRODID") {
            m_prodId = Cut(value, 256);
        } else if (name == "TZ" && m_version == kCalFormatVCal) {
            HandleTz(value);
        } else if (name == "DAYLIGHT" && m_version == kCalFormatVCal) {
            HandleDaylight(value);
        } else if (name == "CALSCALE" || name == "METHOD" || name == "GEO" || ascii::StartsWithNoCase(name, "X-")) {
            // not used
        } else {
            Report("Unknown VCALENDAR prop", kTrace);
        }
    }
    return Result::kEnd;
}

namespace {

// The events of a calendar text whose blocks all nest as calendars are written:
// VCALENDAR holding VEVENT (with VALARM) and VTIMEZONE (with STANDARD and DAYLIGHT),
// anything outside a calendar passed over, as the reader passes over it. Null for any
// other block line, where the reader's own rules for unknown, misplaced or missing
// blocks decide.
std::optional<int> CountPlainEvents(std::string_view text) {
    enum class In { kNothing, kCalendar, kEvent, kAlarm, kZone, kZonePart };
    In in = In::kNothing;
    std::string_view zonePart;
    int count = 0;
    const bool plain = ScanBlockLines(text, LineOptions(), [&](bool begin, std::string_view value) {
        switch (in) {
        case In::kNothing:
            if (begin && value == "VCALENDAR") in = In::kCalendar;
            return true;
        case In::kCalendar:
            if (begin && value == "VEVENT") {
                if (count == INT_MAX) return false;
                ++count;
                in = In::kEvent;
            } else if (begin && value == "VTIMEZONE") {
                in = In::kZone;
            } else if (!begin && value == "VCALENDAR") {
                in = In::kNothing;
            } else {
                return false;
            }
            return true;
        case In::kEvent:
            if (begin && value == "VALARM") in = In::kAlarm;
            else if (!begin && value == "VEVENT") in = In::kCalendar;
            else return false;
            return true;
        case In::kAlarm:
            if (begin || value != "VALARM") return false;
            in = In::kEvent;
            return true;
        case In::kZone:
            if (begin && (value == "STANDARD" || value == "DAYLIGHT")) {
                zonePart = value;
                in = In::kZonePart;
            } else if (!begin && value == "VTIMEZONE") {
                in = In::kCalendar;
            } else {
                return false;
            }
            return true;
        case In::kZonePart:
            if (begin || value != zonePart) return false;
            in = In::kZone;
            return true;
        }
        return false;
    });
    if (!plain) return std::nullopt;
    return count;
}

}  // namespace

int CvCalReader::CountEvents(std::string_view bytes, const std::string& fileName) {
    // Most files are counted by the starts of their lines alone: their BEGIN:VEVENT lines
    // are the events the reader enters. Only a file where a soft break or a fold could
    // make or hide such a line is read block by block.
    std::string converted;
    const FileText file = PrepareFileText(bytes, converted);
    if (const std::optional<int> plain = CountPlainEvents(file.text)) return *plain;
    // The reader itself, reading structure only, so that both passes see the same blocks.
    CvCalReader counter(nullptr, VCalReaderOptions{});
    counter.m_countOnly = true;
    counter.Open(bytes, fileName);
    EventRecord event;
    int count = 0;
    while (counter.Next(event) == Result::kEvent) ++count;
    return count;
}

// ---- VEVENT ----

bool CvCalReader::ParseEvent(EventRecord& event) {
    event = EventRecord{};
    event.line = m_lines.PhysicalLines();
    bool ended = false;
    while (!ended && NextLine()) {
        const std::string_view value = TrimValue(m_line.value);
        if (m_line.name == "END") {
            if (value == "VEVENT") ended = true;
            else if (value == "VCALENDAR") {
                // A calendar that ends inside its event: the event is not complete.
                m_inCalendar = false;
                break;
            }
        } else if (m_line.name == "BEGIN") {
            if (value == "VALARM") {
                ParseAlarm(event);
            } else {
                Report("skipping unknown grouping", kTrace);
                SkipBlock(value);
            }
        } else if (!m_countOnly) {
            ParseEventLine(event);
        }
    }
    // Counting: every event the reader enters, complete or not.
    if (m_countOnly) return true;
    if (!ended) {
        ++m_dropped;
        ++m_dropReasons["the file ends inside the event"];
        return false;
    }
    if (!event.start) {
        if (!event.end) {
            Report("No START and END - skipping event", kWarning, false, "ParseVEVENT");
            ++m_dropped;
            ++m_dropReasons["no DTSTART and no DTEND"];
            return false;
        }
        event.start = event.end;
    }
    ResolveZones(event);
    return true;
}

std::string CvCalReader::ReadTzid(const ContentLine& line) {
    if (m_version == kCalFormatVCal) return kVCalZoneKey;
    std::string_view rest = line.params;
    ContentParam param;
    int guard = 0;
    while (NextParam(rest, param, ParamQuotes::kRespect) && ++guard <= 256) {
        if (ascii::EqualsNoCase(param.name, "TZID")) {
            std::string_view v = param.value;
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            return Cut(v, 256);
        }
    }
    return {};
}

std::optional<ZonedDate> CvCalReader::ReadDate(std::string_view value, const std::string& tzid, bool report) {
    const std::optional<CalDateTime> date = ParseCalDateTime(TrimValue(value));
    if (!date || date->civil.year < 100) {
        if (report) Report("Invalid date \"" + Cut(value) + "\"", kWarning);
        return std::nullopt;
    }
    return ZonedDate{*date, tzid};
}

void CvCalReader::ReadDateList(const ContentLine& line, std::vector<ZonedDate>& out, std::string_view what) {
    const std::string tzid = ReadTzid(line);
    const char separator = m_version == kCalFormatVCal ? ';' : ',';
    std::string_view rest = line.value;
    bool capped = false;
    for (;;) {
        const std::size_t end = rest.find(separator);
        std::string_view part = rest.substr(0, end);
        // A period ("start/end" or "start/duration") gives its start.
        if (const std::size_t slash = part.find('/'); slash != std::string_view::npos) part = part.substr(0, slash);
        if (!TrimValue(part).empty()) {
            if (out.size() >= kMaxEventDates) {
                capped = true;
            } else if (std::optional<ZonedDate> d = ReadDate(part, tzid, true)) {
                out.push_back(*d);
            }
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    if (capped) Report("too many dates in " + std::string(what) + ", the rest ignored", kWarning);
}

std::u16string CvCalReader::DecodeBytes(std::string_view bytes, std::string_view charset) const {
    std::u16string out;
    if (bytes.empty() || m_converter == nullptr) return out;
    int cp = kUtf8CodePage;
    if (!charset.empty()) {
        cp = ResolveCharset(*m_converter, charset);
        if (cp == kUnknownCodePage) cp = m_converter->CurrentCodePage();
    } else if (m_version == kCalFormatVCal && !m_utf8File && !IsUtf8WithNonAscii(bytes)) {
        cp = m_converter->CurrentCodePage();
    }
    // Well-formed UTF-8 needs no round through the converter, nor does ASCII in the
    // computer's code page (every one of them holds ASCII as it is).
    const bool asIs = cp == kUtf8CodePage || (cp == kSystemCodePage && IsAscii(bytes));
    if (!asIs || !AppendUtf8AsUtf16(bytes, out)) {
        if (m_converter->DecodeText(cp, bytes, out) < 0) out.clear();
    }
    if (out.find(u'\0') != std::u16string::npos) std::erase(out, u'\0');  // host text ends at a NUL
    return out;
}

std::u16string CvCalReader::Decode(const ContentLine& line, bool unescape) {
    const LineParams p = ReadParams(line, m_version);
    std::string_view raw = line.value;
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    std::string bytes;
    if (p.encoding == 3) {
        if (DecodeQuotedPrintableOrKeep(raw, bytes) == QuotedPrintableResult::kUndecoded &&
            m_options.invalidElement) {
            m_options.invalidElement(std::string(line.name));
        }
        raw = bytes;
    }
    std::u16string text = DecodeBytes(raw, p.charset);
    // vCalendar 1.0 text is not escaped (its writers quote-print line breaks instead).
    if (unescape && m_version == kCalFormatICal) text = Unescape(text, kICalEscapes);
    return text;
}

std::u16string CvCalReader::ReadAddress(const ContentLine& line, bool organizer, std::u16string* name, int* type) {
    const LineParams p = ReadParams(line, m_version);
    const char* prop = organizer ? "ORGANIZER" : "ATTENDEE";
    for (const ContentParam& param : p.other) {
        const std::string pn = ascii::Upper(param.name);
        if (pn == "CN") {
            if (name != nullptr) *name = DecodeBytes(Unquote(param.value), "UTF-8");
        } else if (pn == "ROLE" && !organizer) {
            const std::string role = ascii::Upper(Unquote(param.value));
            if (role == "OPT-PARTICIPANT" && type != nullptr && *type == 1) *type = 2;
            else if (role == "NON-PARTICIPANT" && type != nullptr) *type = 3;
            else if (role != "REQ-PARTICIPANT" && role != "CHAIR" && role != "OPT-PARTICIPANT")
                Report("Ignoring ATTENDEE.ROLE", kTrace);
        } else if (pn == "CUTYPE" && !organizer) {
            const std::string cu = ascii::Upper(Unquote(param.value));
            if ((cu == "RESOURCE" || cu == "ROOM") && type != nullptr) *type = 3;
        } else if (pn == "RSVP" && !organizer) {
        } else {
            Report(std::string("Ignoring ") + prop + "." + Cut(param.name) + "=" + Cut(param.value), kTrace);
        }
    }
    std::u16string value(TrimText(Decode(line, false)));
    if (value.size() >= 7 && ascii::EqualsNoCase(std::u16string_view(value).substr(0, 7), "mailto:")) {
        value.erase(0, 7);
    } else if (!value.empty()) {
        Report("prop value has no \"MAILTO:\"", kTrace);
    }
    return value;
}

void CvCalReader::ParseEventLine(EventRecord& event) {
    const std::string_view name = m_line.name;
    const std::string_view value = TrimValue(m_line.value);
    const bool v1 = m_version == kCalFormatVCal;
    const bool v2 = !v1;
    if (name == "SUMMARY") {
        event.subject = Decode(m_line, true);
    } else if (name == "DESCRIPTION") {
        event.body = Decode(m_line, true);
    } else if (name == "LOCATION" || name == "RESOURCES") {
        const bool location = name == "LOCATION";
        for (const ContentParam& param : ReadParams(m_line, m_version).other) {
            if (ascii::EqualsNoCase(param.name, "ALTREP") || ascii::EqualsNoCase(param.name, "LANGUAGE")) continue;
            Report("Ignoring param " + Cut(param.name) + "=" + Cut(param.value) + " for prop " + std::string(name),
                   kTrace);
        }
        (location ? event.location : event.resources) = Decode(m_line, location);
    } else if (name == "CATEGORIES") {
        std::u16string text = Decode(m_line, false);
        std::u16string joined;
        const char16_t separator = v1 ? u';' : u',';
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (v2 && c == u'\\' && i + 1 < text.size()) {
                const char16_t n = text[++i];
                joined += (n == u'n' || n == u'N') ? u' ' : n;
            } else if (c == separator) {
                joined += m_options.listSeparator;
            } else {
                joined += c;
            }
        }
        if (!event.categories.empty() && !joined.empty()) event.categories += m_options.listSeparator;
        event.categories += joined;
    } else if (name == "CLASS") {
        if (ascii::EqualsNoCase(value, "CONFIDENTIAL")) event.sensitivity = 3;
        else if (ascii::EqualsNoCase(value, "PRIVATE")) event.sensitivity = 2;
    } else if (name == "DTSTART" || name == "DTEND") {
        if (std::optional<ZonedDate> d = ReadDate(value, ReadTzid(m_line), true))
            (name == "DTSTART" ? event.start : event.end) = *d;
    } else if (name == "DURATION" && v2) {
        const std::optional<int> d = ParseDurationMinutes(value);
        if (!d || *d < 0) Report("Invalid duration", kWarning);
        else event.duration = *d;
    } else if (name == "EXDATE") {
        ReadDateList(m_line, event.exdates, "EXDATE");
    } else if (name == "RDATE") {
        ReadDateList(m_line, event.rdates, "RDATE");
    } else if (name == "RECURRENCE-ID") {
        if (std::optional<ZonedDate> d = ReadDate(value, ReadTzid(m_line), true)) event.recurrenceId = *d;
    } else if (name == "STATUS") {
        event.cancelled = ascii::EqualsNoCase(value, "CANCELLED");
    } else if (name == "UID") {
        event.uid = Cut(value, 1024);
    } else if (name == "RRULE") {
        event.rule = ParseRecurrenceRule(value, m_version);
        for (const RecurrenceMessage& m : event.rule.messages) Report(m.text, m.level);
    } else if (name == "EXRULE") {
        Report("Exception Rule not supported", kWarning);
    } else if (name == "PRIORITY") {
        std::optional<int> n = Digits(value);
        const int p = n ? *n : (v1 ? 3 : 5);
        if (p != 0) {
            if (v1) event.importance = p <= 2 ? 2 : p <= 4 ? 1 : 0;
            else event.importance = p <= 4 ? 2 : p <= 8 ? 1 : 0;
        }
    } else if (name == "X-MICROSOFT-CDO-IMPORTANCE" && v2) {
        const std::optional<int> n = Digits(value);
        if (n && *n <= 2) event.importance = *n;
    } else if (name == "TRANSP") {
        if (v1) {
            const std::optional<int> n = Digits(value);
            event.busyStatus = n && *n != 0 ? 0 : 2;
        } else if (ascii::EqualsNoCase(value, "TRANSPARENT")) {
            event.busyStatus = 0;
        } else if (ascii::EqualsNoCase(value, "OPAQUE")) {
            event.busyStatus = 2;
        } else {
            Report("Invalid value", kWarning);
        }
    } else if (name == "ATTENDEE") {
        if (v1) {
            bool organizer = false;
            for (const ContentParam& param : ReadParams(m_line, m_version).other) {
                if (ascii::EqualsNoCase(param.name, "ROLE")) {
                    const std::string role = ascii::Upper(param.value);
                    if (role == "ORGANIZER") organizer = true;
                    else if (role != "ATTENDEE") Report("Ignoring ATTENDEE.ROLE", kTrace);
                } else {
                    Report("Ignoring ATTENDEE." + Cut(param.name) + "=" + Cut(param.value), kTrace);
                }
            }
            std::u16string address(TrimText(Decode(m_line, false)));
            if (address.size() >= 7 && ascii::EqualsNoCase(std::u16string_view(address).substr(0, 7), "mailto:"))
                address.erase(0, 7);
            if (organizer) event.organizerAddress = address;
            else if (!address.empty() && event.attendees.size() < kMaxAttendees) event.attendees.push_back({address, {}, 1});
        } else {
            Attendee a;
            a.address = ReadAddress(m_line, false, &a.name, &a.type);
            if (!a.address.empty() && event.attendees.size() < kMaxAttendees) event.attendees.push_back(std::move(a));
        }
    } else if (name == "ORGANIZER" && v2) {
        event.organizerAddress = ReadAddress(m_line, true, &event.organizerName);
    } else if (name == "DALARM" && v1) {
        const std::string_view first = value.substr(0, value.find(';'));
        event.reminderTime = ReadDate(first, kVCalZoneKey, true);
    } else if (name == "ATTACH" || name == "PALARM" || name == "LAST-MODIFIED" || name == "SEQUENCE" ||
               name == "URL" || (v1 && (name == "AALARM" || name == "MALARM" || name == "DCREATED")) ||
               (v2 && (name == "COMMENT" || name == "CONTACT" || name == "CREATED" || name == "DTSTAMP" ||
                       name == "GEO" || name == "REQUEST-STATUS")) ||
               ascii::StartsWithNoCase(name, "X-")) {
        // not used
    } else if (name == "RELATED-TO") {
        Report("Ingnoring:", kTrace);
    } else {
        Report("Unknown VEVENT Prop", kTrace);
        if (m_unknown.size() < 256 || m_unknown.count(std::string(name))) ++m_unknown[std::string(name)];
    }
}

void CvCalReader::ParseAlarm(EventRecord& event) {
    while (NextLine()) {
        const std::string_view value = TrimValue(m_line.value);
        if (m_line.name == "END") {
            if (value == "VALARM") return;
            if (value == "VEVENT" || value == "VCALENDAR") {
                // A missing END:VALARM must not swallow the event's end: read it again.
                Report("expected END:VARALM", kWarning);
                m_replay = true;
                return;
            }
            Report("expected END:VARALM", kWarning);
        } else if (m_line.name == "TRIGGER" && !m_countOnly) {
            std::string_view rest = m_line.params;
            ContentParam param;
            int guard = 0;
            while (NextParam(rest, param, ParamQuotes::kRespect) && ++guard <= 64) {
                if (ascii::EqualsNoCase(param.name, "RELATED") && ascii::EqualsNoCase(param.value, "END"))
                    Report("RELATED:END not supported", kTrace);
            }
            const std::optional<int> d = ParseDurationMinutes(value);
            if (!d) Report("Invalid duraton", kWarning);
            else if (*d > 0) Report("duraton must be negative", kWarning);
            else event.reminderOffset = *d;
        }
    }
}

// ---- zones ----

bool CvCalReader::ParseComponent(std::string_view kind, Component& c) {
    while (NextLine()) {
        const std::string_view name = m_line.name;
        const std::string_view value = TrimValue(m_line.value);
        if (name == "END") {
            if (value == kind) break;
            if (value == "VTIMEZONE" || value == "VCALENDAR") {
                m_replay = true;  // the zone's or the calendar's end, read again
                break;
            }
            continue;
        }
        if (name == "DTSTART") {
            if (std::optional<CalDateTime> d = ParseCalDateTime(value)) c.start = d->civil;
        } else if (name == "TZOFFSETFROM" || name == "TZOFFSETTO") {
            const std::optional<int> o = ParseUtcOffset(value);
            if (!o) Report("Invalid VTIMEZONE.COMPONENT.TZOFFSET - " + Cut(value), kWarning);
            else (name == "TZOFFSETFROM" ? c.offsetFrom : c.offsetTo) = *o;
        } else if (name == "RRULE") {
            const ParsedRecurrence r = ParseICalRule(value);
            for (const RecurrenceMessage& m : r.messages) Report(m.text, m.level);
            const int mask = r.dayOfWeekMask;
            const bool oneDay = mask != 0 && (mask & (mask - 1)) == 0;
            if (r.type == kRecursYearNth && r.monthOfYear >= 1 && r.monthOfYear <= 12 && r.instance >= 1 &&
                r.instance <= 5 && oneDay) {
                SystemTime t;
                t.month = static_cast<std::uint16_t>(r.monthOfYear);
                t.day = static_cast<std::uint16_t>(r.instance);
                int day = 0;
                while ((mask >> day) != 1) ++day;
                t.dayOfWeek = static_cast<std::uint16_t>(day);
                c.rule = t;
                c.hasUntil = r.until.has_value();
            } else {
                Report("Invalid VTIMEZONE.COMPONENT.RRULE", kWarning);
            }
        } else if (name == "RDATE") {
            const std::string_view first = value.substr(0, value.find(','));
            if (std::optional<CalDateTime> d = ParseCalDateTime(first)) c.rdate = d->civil;
        } else if (name == "TZNAME" || name == "COMMENT" || ascii::StartsWithNoCase(name, "X-")) {
        } else {
            Report("Unknown VTIMEZONE.COMPONENT prop", kTrace);
        }
    }
    if (!c.start || !c.offsetFrom || !c.offsetTo) {
        Report("Skipping Invalid VTIMEZONE.COMPONENT", kWarning);
        return false;
    }
    return true;
}

void CvCalReader::ParseTimeZone() {
    std::string tzid;
    std::vector<Component> standard, daylight;
    while (NextLine()) {
        const std::string_view name = m_line.name;
        const std::string_view value = TrimValue(m_line.value);
        if (name == "END") {
            if (value == "VTIMEZONE") break;
            if (value == "VCALENDAR") {
                m_replay = true;
                break;
            }
        } else if (name == "TZID") {
            tzid = Cut(value, 256);
        } else if (name == "BEGIN") {
            if (value == "STANDARD" || value == "DAYLIGHT") {
                Component c;
                const bool ok = ParseComponent(value, c);
                std::vector<Component>& list = value == "STANDARD" ? standard : daylight;
                if (ok && list.size() < kMaxComponents) list.push_back(c);
            } else {
                Report("skipping unknown grouping - " + Cut(value), kTrace);
                SkipBlock(value);
            }
        }
    }
    constexpr const char* kSource = "ParseVTIMEZONE";
    if (tzid.empty()) {
        Report("Bad VTIMEZONE - no TZID", kError, false, kSource);
        return;
    }
    auto latest = [](const std::vector<Component>& list) -> const Component* {
        const Component* best = nullptr;
        for (const Component& c : list) {
            if (best == nullptr || ToLocal(*c.start) >= ToLocal(*best->start)) best = &c;
        }
        return best;
    };
    const Component* std = latest(standard);
    const Component* dst = latest(daylight);
    if (std == nullptr) {
        Report("Bad VTIMEZONE - no or invalid STANDARD component", kError, false, kSource);
        return;
    }
    if (standard.size() > 1 || daylight.size() > 1)
        Report("Outlook is not supported VTIMEZONE with more than one STANDARD or DAYLIGHT components", kWarning,
               false, kSource);
    if (std->hasUntil) Report("Ignoring UNTIL in VTIMEZONE.STANDARD.RRULE", kWarning, false, kSource);
    if (dst != nullptr && dst->hasUntil) Report("Ignoring UNTIL in VTIMEZONE.DAYLIGHT.RRULE", kWarning, false, kSource);
    auto ruleOf = [](const Component& c) -> std::optional<SystemTime> {
        std::optional<SystemTime> t = c.rule;
        if (!t && c.rdate) t = TransitionOf(*c.rdate);
        if (t) {
            t->hour = static_cast<std::uint16_t>(c.start->hour);
            t->minute = static_cast<std::uint16_t>(c.start->minute);
            t->second = static_cast<std::uint16_t>(std::min(c.start->second, 59));
            t->year = 0;
        }
        return t;
    };
    ZoneRule rule;
    rule.bias = -*std->offsetTo;
    if (dst != nullptr) {
        const std::optional<SystemTime> s = ruleOf(*std);
        const std::optional<SystemTime> d = ruleOf(*dst);
        // Daylight time needs both changes; a zone that gave up daylight time ends with
        // a STANDARD of its own.
        if (s && d) {
            rule.daylightBias = *std->offsetTo - *dst->offsetTo;
            rule.standardDate = *s;
            rule.daylightDate = *d;
        }
    }
    if (!IsValidZoneRule(rule)) {
        Report("Bad VTIMEZONE - no or invalid STANDARD component", kError, false, kSource);
        return;
    }
    m_zones[tzid] = rule;
}

void CvCalReader::HandleTz(std::string_view value) {
    const std::optional<int> bias = ParseVCalBias(value);
    if (!bias) return;
    ZoneRule rule;
    if (const ZoneRule* old = Zone(kVCalZoneKey)) rule = *old;
    if (rule.daylightBias != 0) rule.daylightBias = rule.bias + rule.daylightBias - *bias;
    rule.bias = *bias;
    m_zones[kVCalZoneKey] = rule;
}

void CvCalReader::HandleDaylight(std::string_view value) {
    std::vector<std::string_view> fields;
    std::string_view rest = value;
    while (fields.size() < 8) {
        const std::size_t end = rest.find(';');
        fields.push_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    if (fields.size() < 4 || !ascii::EqualsNoCase(TrimValue(fields[0]), "TRUE")) return;
    const std::optional<int> bias = ParseVCalBias(fields[1]);
    const std::optional<CalDateTime> from = ParseCalDateTime(TrimValue(fields[2]));
    const std::optional<CalDateTime> to = ParseCalDateTime(TrimValue(fields[3]));
    if (!bias || !from || !to) {
        if (m_options.logger != nullptr)
            m_options.logger->LogMsg("Invalid Daylight Savings Rule:" + Cut(value, kMaxLoggedLine), 0,
                                     "ParseVCALENDAR", kError, kLogFlagsItemDiagnostic);
        return;
    }
    ZoneRule rule;
    if (const ZoneRule* old = Zone(kVCalZoneKey)) rule = *old;
    // The two dates give the days and times of the changes; their years do not count.
    rule.daylightBias = *bias - rule.bias;
    rule.daylightDate = TransitionOf(from->civil);
    rule.standardDate = TransitionOf(to->civil);
    if (!IsValidZoneRule(rule)) return;
    m_zones[kVCalZoneKey] = rule;
}

std::string CvCalReader::ResolveTzid(const std::string& tzid) {
    if (tzid.empty()) return kDefaultZoneKey;
    if (m_zones.count(tzid) != 0) return tzid;
    if (m_version == kCalFormatVCal) return kDefaultZoneKey;
    auto [it, fresh] = m_listLookups.try_emplace(tzid, false);
    if (fresh && m_listLookups.size() <= 1024) {
        if (IsUtcName(tzid)) {
            m_zones[tzid] = ZoneRule{};
            it->second = true;
        } else if (m_options.zoneList != nullptr || m_options.loadZoneList) {
            const std::vector<ZoneListEntry>& list =
                m_options.zoneList != nullptr ? *m_options.zoneList : m_options.loadZoneList();
            const ZoneListEntry* e = FindZoneByKeyOrDisplay(list, tzid);
            if (e == nullptr) e = FindZoneByIana(list, tzid);
            if (e != nullptr) {
                m_zones[tzid] = e->rule;
                it->second = true;
            }
        }
        if (!it->second && m_options.logger != nullptr)
            m_options.logger->LogMsg("No(or bad) timezone with id = '" + Cut(tzid, 256) + "'", 0,
                                     "CvCalImport::ToDate", kTrace, kLogFlagsItemDiagnostic);
    }
    return it->second ? tzid : kDefaultZoneKey;
}

void CvCalReader::ResolveZones(EventRecord& event) {
    auto resolve = [this](std::optional<ZonedDate>& d) {
        if (d) d->tzid = ResolveTzid(d->tzid);
    };
    resolve(event.start);
    resolve(event.end);
    resolve(event.recurrenceId);
    resolve(event.reminderTime);
    for (ZonedDate& d : event.exdates) d.tzid = ResolveTzid(d.tzid);
    for (ZonedDate& d : event.rdates) d.tzid = ResolveTzid(d.tzid);
}

std::optional<LocalTime> CvCalReader::ToDate(const ZonedDate& date, DateMode mode, const std::string& target) const {
    const LocalTime wall = ToLocal(date.date.civil);
    auto inRange = [](LocalTime t) -> std::optional<LocalTime> {
        const int year = Split(t).year;
        if (year < 100 || year > 9999) return std::nullopt;
        return t;
    };
    // A date alone (an all-day event's day) is the same day in every zone: a TZID on it
    // does not move it to another time of day.
    if (mode == DateMode::kWall || !date.date.hasTime) return inRange(wall);
    const ZoneRule* source = date.date.utc ? nullptr : Zone(date.tzid);
    const ZoneRule* computer = m_options.computerZone ? &*m_options.computerZone : nullptr;
    if (mode == DateMode::kTarget && !date.date.utc && date.tzid == target) return inRange(wall);
    UtcTime utc;
    if (date.date.utc) utc = AsUtc(wall);
    else if (source != nullptr) utc = LocalToUtc(*source, wall);
    else if (computer != nullptr) utc = LocalToUtc(*computer, wall);
    else return inRange(wall);
    const ZoneRule* to = mode == DateMode::kTarget ? Zone(target) : nullptr;
    if (to == nullptr) to = computer;
    return inRange(to != nullptr ? UtcToLocal(*to, utc) : AsLocal(utc));
}

}  // namespace mireo
