#include "vcard/vcard_reader.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/user_strings.h"
#include "platform/utf.h"

namespace mireo {
namespace {

constexpr int kUtf8CodePage = 65001;
constexpr std::size_t kMaxUnknownNames = 256;
constexpr std::size_t kMaxNameBytes = 64;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string ToUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

// The bytes before the first CR or LF of p[0, n), n when there is none. Eight bytes
// at a time while none of them is a CR or an LF: the scan runs over every byte of a
// file twice (the count, then the import).
std::size_t LineLength(const char* p, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t lf = w ^ (kOnes * '\n');
        const std::uint64_t cr = w ^ (kOnes * '\r');
        // Non-zero when a byte of lf or cr is zero (a byte of w is LF or CR).
        if ((((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHighs) break;
    }
    while (i < n && p[i] != '\n' && p[i] != '\r') ++i;
    return i;
}

// Where a property's name ends: the first ";" or ":"; npos when there is neither.
std::size_t NameEnd(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ':' || text[i] == ';') return i;
    }
    return std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (Upper(c) >= 'A' && Upper(c) <= 'Z'); }

// Quoted-printable: "=" and two hex digits give a byte (a zero byte is dropped), "="
// CR LF is a soft break, bare CR and LF are dropped. Anything else after "=" fails.
bool DecodeQuotedPrintable(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=') {
            if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') {
                i += 2;
                continue;
            }
            if (i + 1 < in.size() && in[i + 1] == '\n') {
                i += 1;
                continue;
            }
            if (i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
                const char b = static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
                if (b != '\0') out += b;
                i += 2;
                continue;
            }
            return false;
        }
        if (c == '\r' || c == '\n') continue;
        out += c;
    }
    return true;
}

// The second try: a "=" that cannot start an escape, and one among the last two
// characters, stands for itself.
std::string RepairQuotedPrintable(std::string_view in) {
    std::string out;
    out.reserve(in.size() + 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        out += in[i];
        if (in[i] != '=') continue;
        const bool nearEnd = i + 2 >= in.size();
        const bool startsEscape = !nearEnd && (IsAlnum(in[i + 1]) || in[i + 1] == '\r');
        if (nearEnd || !startsEscape) out += "3D";
    }
    return out;
}

bool IsValidUtf8WithNonAscii(std::string_view s) {
    bool nonAscii = false;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        int n;
        unsigned cp;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(n) >= s.size()) return false;
        for (int k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += n + 1;
    }
    return nonAscii;
}

// UTF-16 bytes after the byte-order mark -> UTF-8; a lone surrogate becomes U+FFFD and
// an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) -> unsigned {
        const auto a = static_cast<unsigned char>(bytes[2 * k]);
        const auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t k = 0; k < units; ++k) {
        unsigned u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        utf::AppendUtf8(out, u);
    }
    return out;
}

// Charset names that files use for the code pages of the list, compared after lower
// casing and dropping "-", "_" and spaces.
struct Alias {
    const char* name;
    int codePage;
};
constexpr Alias kAliases[] = {
    {"utf8", 65001},         {"unicode11utf8", 65001}, {"latin1", 28591},     {"iso88591", 28591},
    {"l1", 28591},           {"iso885915", 28605},     {"latin9", 28605},     {"iso88592", 28592},
    {"latin2", 28592},       {"iso88595", 28595},      {"usascii", 20127},    {"ascii", 20127},
    {"windows1250", 1250},   {"cp1250", 1250},         {"windows1251", 1251}, {"cp1251", 1251},
    {"windows1252", 1252},   {"cp1252", 1252},         {"windows1253", 1253}, {"cp1253", 1253},
    {"windows1254", 1254},   {"cp1254", 1254},         {"windows1255", 1255}, {"cp1255", 1255},
    {"windows1256", 1256},   {"cp1256", 1256},         {"windows1257", 1257}, {"cp1257", 1257},
    {"windows1258", 1258},   {"cp1258", 1258},         {"windows874", 874},   {"cp874", 874},
    {"tis620", 874},         {"shiftjis", 932},        {"sjis", 932},         {"cp932", 932},
    {"windows31j", 932},     {"mskanji", 932},         {"gb2312", 936},       {"gbk", 936},
    {"cp936", 936},          {"euckr", 949},           {"cp949", 949},        {"ksc56011987", 949},
    {"big5", 950},           {"cp950", 950},           {"koi8r", 20866},      {"koi8u", 21866},
};

std::string AliasKey(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == '-' || c == '_' || c == ' ') continue;
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Reads up to maxDigits digits (0: any number, capped at 9) at pos; false when none.
bool ReadNumber(std::string_view s, std::size_t& pos, int maxDigits, int& value) {
    const std::size_t limit = maxDigits > 0 ? static_cast<std::size_t>(maxDigits) : 9;
    std::size_t n = 0;
    value = 0;
    while (pos < s.size() && n < limit && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    if (maxDigits == 0) {
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            value = 1000000000;  // too large for any field
            ++pos;
        }
    }
    return n > 0;
}

// "1975-04-23", "19750423", "19750423T000000Z" -> OLE date at midnight; false when the
// text has fewer than three numbers or a field out of range.
bool ParseVCardDate(std::string_view text, double& date) {
    text = Trim(text);
    int y = 0, m = 0, d = 0;
    std::size_t pos = 0;
    if (text.find('-') != std::string_view::npos) {
        if (!ReadNumber(text, pos, 0, y) || pos >= text.size() || text[pos++] != '-') return false;
        if (!ReadNumber(text, pos, 0, m) || pos >= text.size() || text[pos++] != '-') return false;
        if (!ReadNumber(text, pos, 0, d)) return false;
    } else {
        if (!ReadNumber(text, pos, 4, y) || !ReadNumber(text, pos, 2, m) || !ReadNumber(text, pos, 2, d)) return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const int last = kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
    if (d > last) return false;
    date = static_cast<double>(DaysFromCivil(y, m, d) + 25569);
    return true;
}

// Splits a structured value at semicolons that are not escaped; the last part takes
// the rest. 3.0 keeps any backslash pair together; 2.1 only "\;". Works on decoded
// text: in a double-byte code page a trail byte may look like a backslash.
std::vector<std::u16string_view> SplitComponents(std::u16string_view value, std::size_t maxParts, bool v30) {
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size() && parts.size() + 1 < maxParts; ++i) {
        const char16_t c = value[i];
        if (c == u'\\' && i + 1 < value.size() && (v30 || value[i + 1] == u';')) {
            ++i;
        } else if (c == u';') {
            parts.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(value.substr(start));
    return parts;
}

std::u16string_view TrimText(std::u16string_view s) {
    auto space = [](char16_t c) { return c < 0x80 && IsSpace(static_cast<char>(c)); };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

// One left-to-right pass over decoded text. 3.0: "\\", "\,", "\;", "\n" and "\N";
// 2.1: only "\;". Any other backslash stays.
std::u16string Unescape(std::u16string_view s, bool v30) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u'\\' && i + 1 < s.size()) {
            const char16_t n = s[i + 1];
            if (n == u';' || (v30 && (n == u'\\' || n == u','))) {
                out += n;
                ++i;
                continue;
            }
            if (v30 && (n == u'n' || n == u'N')) {
                out += u"\r\n";
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

struct Params {
    std::vector<std::string> types;  // upper case, TYPE= removed, comma lists split
    bool quotedPrintable = false;
    bool hasCharset = false;
    std::string_view charset;
    bool Has(std::string_view type) const {
        for (const std::string& t : types) {
            if (t == type) return true;
        }
        return false;
    }
};

}  // namespace

std::string FormatInvalidElement(std::string_view fileName, std::string_view property) {
    std::string out;
    const char* text = LoadUserString(135);
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            out += p[1] == '1' ? fileName : property;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

bool VCardCard::IsSet(std::string_view hostName) const {
    const auto props = ContactRecordProperties();
    for (std::size_t i = 0; i < props.size(); ++i) {
        if (hostName == props[i].name) return IsSet(i);
    }
    return false;
}

struct CvCardReader::Line {
    std::string text;
    bool truncated = false;
    int lineNo = 0;
};

CvCardReader::CvCardReader(MireoCharConverter* converter, VCardReaderOptions options)
    : m_converter(converter), m_options(std::move(options)) {
    if (m_options.listSeparator.empty()) m_options.listSeparator = u";";
    if (m_options.maxLineBytes < 64) m_options.maxLineBytes = 64;
}

void CvCardReader::Open(std::string_view bytes, std::string fileName) {
    m_fileName = std::move(fileName);
    m_converted.clear();
    m_utf8File = false;
    m_warnedCharset = false;
    m_warnedNul = false;
    m_version = 21;
    m_pos = 0;
    m_lineNo = 0;
    bool utf16 = false;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        m_utf8File = true;
    } else if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        utf16 = true;
        const bool bigEndian = bytes[0] == '\xFE';
        m_converted = Utf16ToUtf8(bytes.substr(2), bigEndian);
        m_utf8File = true;
        if (m_options.logger != nullptr) {
            m_options.logger->LogMsg("UTF-16 vCard file read as UTF-8: " + m_fileName, 0, "CvCardReader::Open",
                                     kTrace, kLogFlags);
        }
    }
    m_text = utf16 ? std::string_view(m_converted) : bytes;
    if (!m_warnedNul && m_text.find('\0') != std::string_view::npos && m_options.logger != nullptr) {
        m_warnedNul = true;
        m_options.logger->LogMsg("vCard file holds NUL bytes: " + m_fileName, 0, "CvCardReader::Open", kWarning,
                                 kLogFlags);
    }
}

bool CvCardReader::NextPhysical(std::string_view& line) {
    if (m_pos >= m_text.size()) return false;
    const char* begin = m_text.data() + m_pos;
    const std::size_t left = m_text.size() - m_pos;
    const std::size_t n = LineLength(begin, left);
    line = std::string_view(begin, n);
    m_pos += n;
    // CR LF, a lone CR or a lone LF ends the line.
    if (m_pos < m_text.size() && m_text[m_pos] == '\r') ++m_pos;
    if (n < left && m_pos < m_text.size() && m_text[m_pos] == '\n') ++m_pos;
    ++m_lineNo;
    return true;
}

bool CvCardReader::NextLogical(Line& line) {
    std::string_view physical;
    if (!NextPhysical(physical)) return false;
    line.text.clear();
    line.truncated = false;
    line.lineNo = m_lineNo;
    while (!physical.empty() && (physical.front() == ' ' || physical.front() == '\t')) physical.remove_prefix(1);

    const std::size_t cap = m_options.maxLineBytes;
    char last = '\0';
    auto append = [&](std::string_view part) {
        if (part.empty()) return;
        last = part.back();
        const std::size_t room = line.text.size() < cap ? cap - line.text.size() : 0;
        if (part.size() > room) {
            line.truncated = true;
            part = part.substr(0, room);
        }
        line.text.append(part);
    };
    append(physical);

    // Whether the value is quoted-printable, known once the head (up to ":") is read.
    // The scan for the ":" resumes where it stopped, so that many short folded lines
    // stay linear.
    int qp = -1;
    bool quoted = false;
    std::size_t scanned = 0;
    auto isQuotedPrintable = [&]() {
        if (qp >= 0) return qp == 1;
        std::size_t colon = std::string::npos;
        for (; scanned < line.text.size(); ++scanned) {
            if (line.text[scanned] == '"') quoted = !quoted;
            if (line.text[scanned] == ':' && !quoted) {
                colon = scanned;
                break;
            }
        }
        if (colon == std::string::npos) return false;
        const std::string head = ToUpper(std::string_view(line.text).substr(0, colon));
        std::string_view name = head;
        name = name.substr(0, name.find(';'));
        if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
        qp = head.find("QUOTED-PRINTABLE") != std::string::npos || (name == "ADR" && m_version == 21) ? 1 : 0;
        return qp == 1;
    };

    for (;;) {
        const std::size_t savedPos = m_pos;
        const int savedLineNo = m_lineNo;
        if (!NextPhysical(physical)) break;
        if (last == '=' && isQuotedPrintable() && !EqualsNoCase(Trim(physical), "END:VCARD")) {
            // Quoted-printable soft break: the next line continues the value as it is.
            append("\r\n");
            last = '\n';
            append(physical);
            if (physical.empty()) last = '\n';
            continue;
        }
        if (!physical.empty() && (physical.front() == ' ' || physical.front() == '\t')) {
            append(physical.substr(1));  // folded line
            continue;
        }
        m_pos = savedPos;
        m_lineNo = savedLineNo;
        break;
    }
    return true;
}

namespace {

struct HeadParts {
    std::string name;       // upper case, group removed
    std::string_view params;  // from the first ";" to the ":" (or the end)
    std::string_view value;
    bool hasValue = false;
};

bool SplitHead(std::string_view text, HeadParts& head) {
    const std::size_t nameEnd = NameEnd(text);
    if (nameEnd == std::string_view::npos) return false;
    std::string_view name = text.substr(0, nameEnd);
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    head.name.assign(name.substr(0, std::min(name.size(), kMaxNameBytes)));
    for (char& c : head.name) c = Upper(c);
    bool quoted = false;
    std::size_t colon = std::string_view::npos;
    for (std::size_t i = nameEnd; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    head.hasValue = colon != std::string_view::npos;
    head.params = text.substr(nameEnd, (head.hasValue ? colon : text.size()) - nameEnd);
    head.value = head.hasValue ? text.substr(colon + 1) : std::string_view{};
    return true;
}

Params ParseParams(std::string_view list) {
    Params p;
    while (!list.empty()) {
        if (list.front() == ';') list.remove_prefix(1);
        std::size_t end = list.find(';');
        if (end == std::string_view::npos) end = list.size();
        std::string_view param = Trim(list.substr(0, end));
        list.remove_prefix(end);
        if (param.empty()) continue;
        if (StartsNoCase(param, "CHARSET=")) {
            p.hasCharset = true;
            p.charset = Trim(param.substr(8));
            if (p.charset.size() >= 2 && p.charset.front() == '"' && p.charset.back() == '"') {
                p.charset = Trim(p.charset.substr(1, p.charset.size() - 2));
            }
            continue;
        }
        if (EqualsNoCase(param, "ENCODING=QUOTED-PRINTABLE") || EqualsNoCase(param, "QUOTED-PRINTABLE")) {
            p.quotedPrintable = true;
            continue;
        }
        if (StartsNoCase(param, "TYPE=") && param.size() > 5) param.remove_prefix(5);
        while (!param.empty()) {
            std::size_t comma = param.find(',');
            if (comma == std::string_view::npos) comma = param.size();
            std::string_view one = Trim(param.substr(0, comma));
            if (one.size() >= 2 && one.front() == '"' && one.back() == '"') one = one.substr(1, one.size() - 2);
            if (!one.empty() && p.types.size() < 32) p.types.push_back(ToUpper(one));
            param.remove_prefix(std::min(param.size(), comma + 1));
        }
    }
    return p;
}

bool AllEmpty(std::initializer_list<const std::u16string*> fields) {
    for (const std::u16string* f : fields) {
        if (!f->empty()) return false;
    }
    return true;
}

void SetFirst(std::u16string& field, std::u16string value) {
    if (field.empty()) field = std::move(value);
}

}  // namespace

void CvCardReader::Problem(VCardCard& card, VCardProblemKind kind, int line, const std::string& property) {
    if (card.problems.size() < 64) card.problems.push_back({kind, line, property});
    ++m_stats.problems[kind];
}

int CvCardReader::ResolveCharset(std::string_view name, const std::string& property, VCardCard& card) {
    if (name.empty()) return kSystemCodePage;
    int cp = m_converter->CodePageOfCharset(name);
    if (cp != kUnknownCodePage) return cp;
    for (const EncodingRecord& r : m_converter->Encodings()) {
        if (EqualsNoCase(r.charsetName, name)) return r.codePage;
    }
    const std::string key = AliasKey(name);
    for (const Alias& a : kAliases) {
        if (key == a.name) return a.codePage;
    }
    Problem(card, VCardProblemKind::kUnknownCharset, m_lineNo, property);
    if (!m_warnedCharset && m_options.logger != nullptr) {
        m_warnedCharset = true;
        m_options.logger->LogMsg("Unknown charset \"" + std::string(name.substr(0, 64)) +
                                     "\" read with the system code page in " + m_fileName,
                                 0, "CvCardReader::ResolveCharset", kWarning, kLogFlags);
    }
    return kSystemCodePage;
}

std::u16string CvCardReader::DecodeBytes(std::string_view bytes, int codePage) {
    std::u16string out;
    if (bytes.empty() || m_converter == nullptr) return out;
    if (m_converter->DecodeText(codePage, bytes, out) < 0) out.clear();
    // Host text ends at a NUL: drop any.
    std::erase(out, u'\0');
    return out;
}

void CvCardReader::Dispatch(Line& line, VCardCard& card) {
    HeadParts head;
    if (!SplitHead(line.text, head)) return;
    const std::string& name = head.name;
    if (name == "VERSION") {
        const std::string_view v = Trim(head.value);
        if (head.hasValue && (StartsNoCase(v, "3.0") || StartsNoCase(v, "4.0"))) m_version = 30;
        card.version = m_version;
        return;
    }
    if (m_countOnly) return;
    if (name.starts_with("X-SKYPE-")) {
        card.hadSkypeLines = true;
        return;
    }

    enum class H { kN, kFn, kNick, kRole, kOrg, kTitle, kNote, kBday, kAdr, kTel, kEmail, kUrl, kIm, kCategories,
                   kManager, kAssistant, kSpouse, kNmServer, kNmAlias, kFreeBusy, kAnniversary, kClass, kNone };
    static constexpr std::pair<std::string_view, H> kNames[] = {
        {"N", H::kN}, {"FN", H::kFn}, {"NICKNAME", H::kNick}, {"ROLE", H::kRole}, {"ORG", H::kOrg},
        {"TITLE", H::kTitle}, {"NOTE", H::kNote}, {"BDAY", H::kBday}, {"ADR", H::kAdr}, {"TEL", H::kTel},
        {"EMAIL", H::kEmail}, {"URL", H::kUrl}, {"X-OUTL-IMADDRESS", H::kIm}, {"X-OUTL-CATEGORIES", H::kCategories},
        {"CATEGORIES", H::kCategories}, {"X-OUTL-MANAGERNAME", H::kManager}, {"X-OUTL-ASSISTANTNAME", H::kAssistant},
        {"X-OUTL-SPOUSE", H::kSpouse}, {"X-OUTL-NMSERVER", H::kNmServer}, {"X-OUTL-NMALIAS", H::kNmAlias},
        {"X-OUTL-IFBADDRESS", H::kFreeBusy}, {"X-OUTL-ANNIVERSARY", H::kAnniversary}, {"CLASS", H::kClass},
        {"X-OUTL-CLASS", H::kClass},
    };
    H handler = H::kNone;
    for (const auto& [n, h] : kNames) {
        if (name == n) handler = h;
    }
    if (handler == H::kNone || (handler == H::kIm && m_options.hostMajorVersion <= 9)) {
        auto& unknown = m_stats.unknownProperties;
        if (unknown.size() < kMaxUnknownNames || unknown.count(name) != 0) {
            ++unknown[name];
        } else {
            ++unknown["(other)"];
        }
        return;
    }
    if (line.truncated) {
        Problem(card, VCardProblemKind::kLineTooLong, line.lineNo, name);
        return;
    }
    if (!head.hasValue) return;

    const Params params = ParseParams(head.params);
    const bool v30 = m_version == 30;

    // The value's bytes: quoted-printable decoded when announced (and for a 2.1 ADR,
    // which peers encode without saying so), then trimmed.
    std::string bytes;
    std::string_view raw = head.value;
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    const bool adrImplicit = handler == H::kAdr && !v30 && !params.quotedPrintable;
    if (params.quotedPrintable || adrImplicit) {
        if (!DecodeQuotedPrintable(raw, bytes)) {
            if (!DecodeQuotedPrintable(RepairQuotedPrintable(raw), bytes)) {
                bytes.assign(raw);
                if (!adrImplicit) {
                    Problem(card, VCardProblemKind::kInvalidQuotedPrintable, line.lineNo, name);
                    if (m_options.invalidElement) m_options.invalidElement(FormatInvalidElement(m_fileName, name));
                }
            }
        }
    } else {
        bytes.assign(raw);
    }
    if (bytes.find('\0') != std::string::npos) std::erase(bytes, '\0');
    {
        const std::string_view trimmed = Trim(bytes);
        if (trimmed.size() != bytes.size()) bytes = std::string(trimmed);
    }

    int codePage;
    if (params.hasCharset) {
        codePage = ResolveCharset(params.charset, name, card);
    } else if (m_utf8File || IsValidUtf8WithNonAscii(bytes)) {
        codePage = kUtf8CodePage;
    } else {
        codePage = kSystemCodePage;
    }

    // The value is decoded first and unescaped or split as text, so that a trail byte
    // of a double-byte character is never taken for a backslash.
    auto textOf = [&](std::string_view b) -> std::u16string {
        std::u16string text = DecodeBytes(b, codePage);
        return v30 ? Unescape(text, true) : text;
    };
    auto components = [&](std::size_t count) {
        std::vector<std::u16string> out;
        const std::u16string text = DecodeBytes(bytes, codePage);
        for (std::u16string_view part : SplitComponents(text, count, v30)) out.push_back(Unescape(TrimText(part), v30));
        out.resize(count);
        return out;
    };

    ContactRecord& c = card.contact;
    switch (handler) {
        case H::kN: {
            auto parts = components(5);
            c.LastName = std::move(parts[0]);
            c.FirstName = std::move(parts[1]);
            c.MiddleName = std::move(parts[2]);
            c.Title = std::move(parts[3]);
            c.Suffix = std::move(parts[4]);
            break;
        }
        case H::kFn: SetFirst(c.FullName, textOf(bytes)); break;
        case H::kNick: SetFirst(c.NickName, textOf(bytes)); break;
        case H::kRole: SetFirst(c.Profession, textOf(bytes)); break;
        case H::kTitle: SetFirst(c.JobTitle, textOf(bytes)); break;
        case H::kNote: SetFirst(c.Body, textOf(bytes)); break;
        case H::kOrg:
            if (c.CompanyName.empty() && c.Department.empty()) {
                auto parts = components(2);
                c.CompanyName = std::move(parts[0]);
                c.Department = std::move(parts[1]);
            }
            break;
        case H::kIm: SetFirst(c.IMAddress, textOf(bytes)); break;
        case H::kManager: SetFirst(c.ManagerName, textOf(bytes)); break;
        case H::kAssistant: SetFirst(c.AssistantName, textOf(bytes)); break;
        case H::kSpouse: SetFirst(c.Spouse, textOf(bytes)); break;
        case H::kNmServer: SetFirst(c.NetMeetingServer, textOf(bytes)); break;
        case H::kNmAlias: SetFirst(c.NetMeetingAlias, textOf(bytes)); break;
        case H::kFreeBusy: SetFirst(c.InternetFreeBusyAddress, textOf(bytes)); break;
        case H::kCategories:
            if (c.Categories.empty()) {
                std::u16string value = textOf(bytes);
                if (v30) {
                    std::u16string joined;
                    for (char16_t ch : value) {
                        if (ch == u',') {
                            joined += m_options.listSeparator;
                        } else {
                            joined += ch;
                        }
                    }
                    value = std::move(joined);
                }
                c.Categories = std::move(value);
            }
            break;
        case H::kBday:
        case H::kAnniversary: {
            double date;
            if (ParseVCardDate(bytes, date)) {
                (handler == H::kBday ? c.Birthday : c.Anniversary) = date;
            } else {
                Problem(card, VCardProblemKind::kInvalidDate, line.lineNo, name);
            }
            break;
        }
        case H::kClass: {
            const std::string_view v = Trim(bytes);
            if (EqualsNoCase(v, "CONFIDENTIAL")) {
                c.Sensitivity = kSensitivityConfidential;
                card.sensitivitySet = true;
            } else if (EqualsNoCase(v, "PRIVATE")) {
                c.Sensitivity = kSensitivityPrivate;
                card.sensitivitySet = true;
            }
            break;
        }
        case H::kUrl: {
            const bool home = params.Has("HOME");
            const bool work = params.Has("WORK");
            const std::u16string value = textOf(bytes);
            if (home) c.PersonalHomePage = value;
            if (work || !home) c.BusinessHomePage = value;
            break;
        }
        case H::kAdr: {
            bool work = params.Has("WORK");
            const bool home = params.Has("HOME");
            bool postal = params.Has("POSTAL");
            if (!work && !home && !postal) work = true;
            std::vector<std::u16string> parts;
            auto fill = [&](std::u16string* box, std::u16string* extended, std::u16string* street,
                            std::u16string* city, std::u16string* state, std::u16string* zip,
                            std::u16string* country) {
                if (parts.empty()) parts = components(7);
                *box = parts[0];
                if (extended != nullptr) *extended = parts[1];
                *street = parts[2];
                *city = parts[3];
                *state = parts[4];
                *zip = parts[5];
                *country = parts[6];
            };
            if (work) {
                if (AllEmpty({&c.BusinessAddressPostOfficeBox, &c.OfficeLocation, &c.BusinessAddressStreet,
                              &c.BusinessAddressCity, &c.BusinessAddressState, &c.BusinessAddressPostalCode,
                              &c.BusinessAddressCountry})) {
                    fill(&c.BusinessAddressPostOfficeBox, &c.OfficeLocation, &c.BusinessAddressStreet,
                         &c.BusinessAddressCity, &c.BusinessAddressState, &c.BusinessAddressPostalCode,
                         &c.BusinessAddressCountry);
                } else {
                    postal = true;
                }
            }
            if (home) {
                if (AllEmpty({&c.HomeAddressPostOfficeBox, &c.HomeAddressStreet, &c.HomeAddressCity,
                              &c.HomeAddressState, &c.HomeAddressPostalCode, &c.HomeAddressCountry})) {
                    fill(&c.HomeAddressPostOfficeBox, nullptr, &c.HomeAddressStreet, &c.HomeAddressCity,
                         &c.HomeAddressState, &c.HomeAddressPostalCode, &c.HomeAddressCountry);
                } else {
                    postal = true;
                }
            }
            if (postal && AllEmpty({&c.OtherAddressPostOfficeBox, &c.OtherAddressStreet, &c.OtherAddressCity,
                                    &c.OtherAddressState, &c.OtherAddressPostalCode, &c.OtherAddressCountry})) {
                fill(&c.OtherAddressPostOfficeBox, nullptr, &c.OtherAddressStreet, &c.OtherAddressCity,
                     &c.OtherAddressState, &c.OtherAddressPostalCode, &c.OtherAddressCountry);
            }
            break;
        }
        case H::kTel: {
            bool work = params.Has("WORK"), home = params.Has("HOME"), cell = params.Has("CELL"),
                 fax = params.Has("FAX"), car = params.Has("CAR"), pager = params.Has("PAGER"),
                 isdn = params.Has("ISDN"), pref = params.Has("PREF"), voice = params.Has("VOICE");
            const std::u16string value = textOf(bytes);
            // A bare FAX line is the other fax (the writer writes the other fax that
            // way); when the other fax is already taken it goes on as a work fax.
            if (fax && !work && !home && !cell && !car && !pager && !isdn && !pref && !voice) {
                if (c.OtherFaxNumber.empty()) {
                    c.OtherFaxNumber = value;
                    break;
                }
                work = true;
            }
            if (pager && pref && !work && !home && !cell && !fax && !car && !isdn && !voice) voice = true;
            auto place = [&](std::initializer_list<std::u16string*> slots) {
                for (std::u16string* s : slots) {
                    if (s->empty()) {
                        *s = value;
                        return;
                    }
                }
            };
            if (work) {
                if (fax && c.BusinessFaxNumber.empty()) {
                    c.BusinessFaxNumber = value;
                } else {
                    place({&c.BusinessTelephoneNumber, &c.Business2TelephoneNumber});
                }
            }
            if (home) {
                if (fax && c.HomeFaxNumber.empty()) {
                    c.HomeFaxNumber = value;
                } else {
                    place({&c.HomeTelephoneNumber, &c.Home2TelephoneNumber});
                }
            }
            if (cell) SetFirst(c.MobileTelephoneNumber, value);
            if (car) SetFirst(c.CarTelephoneNumber, value);
            if (pager) SetFirst(c.PagerNumber, value);
            if (isdn) SetFirst(c.ISDNNumber, value);
            if (pref) SetFirst(c.PrimaryTelephoneNumber, value);
            if (fax && !work && !home) SetFirst(c.OtherFaxNumber, value);
            if (voice) SetFirst(c.OtherTelephoneNumber, value);
            break;
        }
        case H::kEmail: {
            bool internet = params.Has("INTERNET");
            const bool pref = params.Has("PREF");
            bool other = false;
            for (const std::string& t : params.types) {
                if (t != "WORK" && t != "HOME" && t != "PREF" && t != "INTERNET" &&
                    t.find('=') == std::string::npos) {
                    other = true;
                }
            }
            if (!internet && !other) internet = true;
            std::u16string value = textOf(bytes);
            if (pref) {
                if (!c.Email1Address.empty()) {
                    if (!c.Email2Address.empty()) {
                        c.Email3Address = std::move(c.Email2Address);
                        c.Email3AddressType = std::move(c.Email2AddressType);
                    }
                    c.Email2Address = std::move(c.Email1Address);
                    c.Email2AddressType = std::move(c.Email1AddressType);
                }
                c.Email1Address = std::move(value);
                c.Email1AddressType.clear();
            } else {
                for (auto [address, type] : {std::pair{&c.Email1Address, &c.Email1AddressType},
                                             std::pair{&c.Email2Address, &c.Email2AddressType},
                                             std::pair{&c.Email3Address, &c.Email3AddressType}}) {
                    if (!address->empty()) continue;
                    *address = std::move(value);
                    if (internet) *type = u"SMTP";
                    break;
                }
            }
            break;
        }
        case H::kNone: break;
    }
}

void CvCardReader::Finish(VCardCard& card) {
    ContactRecord& c = card.contact;
    if (card.hadSkypeLines) {
        if (!c.FullName.empty() && AllEmpty({&c.FirstName, &c.MiddleName, &c.Title, &c.Suffix})) c.LastName.clear();
        if (!c.Email1Address.empty() && c.Email2Address.empty() && c.Email3Address.empty()) {
            std::u16string all = c.Email1Address;
            for (char16_t& ch : all) {
                if (ch == u'\t') ch = u' ';
            }
            std::vector<std::u16string> words;
            std::size_t pos = 0;
            while (pos < all.size()) {
                while (pos < all.size() && all[pos] == u' ') ++pos;
                if (pos >= all.size()) break;
                std::size_t end = all.find(u' ', pos);
                if (end == std::u16string::npos) end = all.size();
                if (words.size() < 2) {
                    words.push_back(all.substr(pos, end - pos));
                } else {
                    // The rest keeps its inner spaces.
                    std::u16string rest = all.substr(pos);
                    while (!rest.empty() && rest.back() == u' ') rest.pop_back();
                    words.push_back(std::move(rest));
                    break;
                }
                pos = end;
            }
            if (!words.empty()) c.Email1Address = words[0];
            if (words.size() > 1) {
                c.Email2Address = words[1];
                c.Email2AddressType = c.Email1AddressType;
            }
            if (words.size() > 2) {
                c.Email3Address = words[2];
                c.Email3AddressType = c.Email1AddressType;
            }
        }
    }
    const auto props = ContactRecordProperties();
    for (std::size_t i = 0; i < props.size() && i < card.m_set.size(); ++i) {
        const ContactPropertyInfo& p = props[i];
        bool set = false;
        if (p.text != nullptr) set = !(c.*(p.text)).empty();
        if (p.date != nullptr) set = c.*(p.date) != kNoDate;
        if (p.integer != nullptr) set = card.sensitivitySet;
        card.m_set[i] = set;
    }
}

bool CvCardReader::Next(VCardCard& card) {
    Line line;
    bool inCard = false;
    std::size_t cardStart = 0;
    bool cardTooLong = false;
    HeadParts head;
    while (NextLogical(line)) {
        if (!SplitHead(line.text, head)) continue;
        const bool isVCard = StartsNoCase(std::string_view(line.text).substr(NameEnd(line.text)), ":VCARD");
        if (!inCard) {
            if (head.name == "BEGIN" && isVCard) {
                inCard = true;
                card = VCardCard{};
                card.line = line.lineNo;
                m_version = 21;
                cardStart = m_pos;
                cardTooLong = false;
            } else if (head.name == "END" && isVCard) {
                ++m_stats.endsWithoutBegin;
            }
            continue;
        }
        if (head.name == "END" && isVCard) {
            card.version = m_version;
            if (!m_countOnly) Finish(card);
            return true;
        }
        if (head.name == "BEGIN") continue;  // a nested BEGIN is ignored
        if (m_pos - cardStart > m_options.maxCardBytes) {
            if (!cardTooLong) Problem(card, VCardProblemKind::kCardTooLong, line.lineNo, head.name);
            cardTooLong = true;
            continue;
        }
        Dispatch(line, card);
    }
    if (inCard) ++m_stats.cardsWithoutEnd;
    return false;
}

std::vector<VCardCard> CvCardReader::ReadAll(std::string_view bytes, std::string fileName) {
    Open(bytes, std::move(fileName));
    std::vector<VCardCard> cards;
    VCardCard card;
    while (Next(card)) cards.push_back(std::move(card));
    return cards;
}

int CvCardReader::CountCards(std::string_view bytes, const VCardReaderOptions& options) {
    VCardReaderOptions limits;
    limits.maxLineBytes = options.maxLineBytes;
    limits.maxCardBytes = options.maxCardBytes;
    CvCardReader reader(nullptr, std::move(limits));
    reader.m_countOnly = true;
    reader.Open(bytes, {});
    VCardCard card;
    int count = 0;
    while (reader.Next(card)) ++count;
    return count;
}

}  // namespace mireo
