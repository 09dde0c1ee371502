#include "textformat/content_line.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/ascii.h"

namespace mireo {
namespace {

constexpr std::size_t kMaxNameBytes = 64;

// Where a property's name ends: the first ";" or ":"; npos when there is neither.
std::size_t NameEnd(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ':' || text[i] == ';') return i;
    }
    return std::string_view::npos;
}

// The length of p[0, n) before its first CR or LF; n when there is none. Eight bytes at
// a time while none of them is a CR or an LF: the scan runs over every byte of a file
// twice (the count, then the import).
std::size_t LineLength(const char* p, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t lf = w ^ (kOnes * '\n');
        const std::uint64_t cr = w ^ (kOnes * '\r');
        // The high bit of the first byte that is LF or CR is the lowest one set (a borrow
        // can mark only bytes after a zero one), so on a little-endian machine the
        // trailing zeros give its place.
        const std::uint64_t found = (((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHighs;
        if (found != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return i + static_cast<std::size_t>(std::countr_zero(found)) / 8;
            break;
        }
    }
    while (i < n && p[i] != '\n' && p[i] != '\r') ++i;
    return i;
}

// Whether a line whose head (up to the first ":" outside double quotes) is in `line`
// takes soft breaks: 1 yes, 0 no, -1 cannot tell (no ":" in it, or a version-dependent
// name).
int SoftBreakHead(std::string_view line, std::span<const std::string_view> versionDependent) {
    bool quoted = false;
    std::size_t colon = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos) return -1;
    const std::string upper = ascii::Upper(line.substr(0, colon));
    if (upper.find("QUOTED-PRINTABLE") != std::string::npos) return 1;
    std::string_view name = std::string_view(upper).substr(0, upper.find(';'));
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    for (std::string_view v : versionDependent) {
        if (name == v) return -1;
    }
    return 0;
}

// What a walk's caller makes of a logical line's start.
enum class LineStart {
    kSeen,      // nothing a continuation could add changes it
    kDecisive,  // a fold or soft break of it would change what the caller saw: the walk fails
    kStop,      // the walk ends here and fails
};

// The logical lines of a text as CContentLineReader with these options splits them,
// found by looking at the start and the end of each physical line only. `start` gets
// the first physical line of each logical line that has a name (its leading white space
// removed, cut to the line cap): the name (its group removed, case kept), the byte that
// ends it (":" or ";") and the rest of that physical line after it. False when `start`
// stopped the walk, and when a line's splitting depends on more than the walk sees: a
// quoted-printable soft break in a line whose head is not on its first physical line or
// names one of `versionDependent`, a continuation of a line that has no name yet (it
// could make one), or of one `start` found decisive.
template <typename Start>
bool WalkLineStarts(std::string_view text, const ContentLineOptions& options,
                    std::span<const std::string_view> versionDependent, Start&& start) {
    const std::size_t cap = std::max<std::size_t>(options.maxLineBytes, 64);
    const bool softBreaks = options.quotedPrintableSoftBreaks;
    std::size_t pos = 0;
    bool inLine = false;  // a logical line has begun
    // Of the current logical line: its first physical line (as far as it is kept),
    // whether a continuation would change what the caller saw of it, whether its value
    // takes soft breaks (2: not worked out yet), and the last byte that decides a soft
    // break.
    std::string_view head;
    bool continuationDecides = false;
    int qp = 2;
    char last = '\0';
    while (pos < text.size()) {
        // The physical line, ended as CContentLineReader::NextPhysical ends it.
        const std::size_t left = text.size() - pos;
        const std::size_t n = LineLength(text.data() + pos, left);
        std::string_view line = text.substr(pos, n);
        pos += n;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (n < left && pos < text.size() && text[pos] == '\n') ++pos;
        if (inLine) {
            if (softBreaks && last == '=') {
                bool stop = false;
                const std::string_view trimmed = ascii::Trim(line);
                for (std::string_view s : options.softBreakStops) stop |= ascii::EqualsNoCase(trimmed, s);
                if (!stop) {
                    if (qp == 2) qp = SoftBreakHead(head, versionDependent);
                    if (qp < 0) return false;
                    if (qp == 1) {
                        if (continuationDecides) return false;
                        last = line.empty() ? '\n' : line.back();
                        continue;
                    }
                }
            }
            if (!line.empty() && (line.front() == ' ' || (line.front() == '\t' && options.tabContinues))) {
                if (continuationDecides) return false;
                if (line.size() > 1) last = line.back();
                continue;
            }
        }
        // A logical line begins here.
        inLine = true;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        last = line.empty() ? '\0' : line.back();
        head = line.substr(0, std::min(line.size(), cap));
        qp = 2;
        std::size_t nameEnd = 0;
        while (nameEnd < head.size() && head[nameEnd] != ':' && head[nameEnd] != ';') ++nameEnd;
        if (nameEnd == head.size()) {
            // No name yet: a fold could still make one.
            continuationDecides = true;
            continue;
        }
        std::string_view name = head.substr(0, nameEnd);
        if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
        const LineStart seen = start(name, head[nameEnd], head.substr(nameEnd + 1));
        if (seen == LineStart::kStop) return false;
        continuationDecides = seen == LineStart::kDecisive;
    }
    return true;
}

}  // namespace

std::optional<std::size_t> CountBeginLines(std::string_view text, std::string_view object,
                                           const ContentLineOptions& options,
                                           std::span<const std::string_view> versionDependent) {
    std::size_t count = 0;
    const bool plain = WalkLineStarts(text, options, versionDependent,
                                      [&](std::string_view name, char end, std::string_view value) {
        if (end != ':' || !ascii::EqualsNoCase(name, "BEGIN")) return LineStart::kSeen;
        if (value.size() >= object.size()) {
            if (ascii::StartsWithNoCase(value, object)) ++count;
            return LineStart::kSeen;
        }
        // "BEGIN:VCA": a fold could complete it.
        return ascii::StartsWithNoCase(object, value) ? LineStart::kDecisive : LineStart::kSeen;
    });
    if (!plain) return std::nullopt;
    return count;
}

bool ScanBlockLines(std::string_view text, const ContentLineOptions& options,
                    const std::function<bool(bool begin, std::string_view value)>& visit,
                    std::span<const std::string_view> versionDependent) {
    return WalkLineStarts(text, options, versionDependent, [&](std::string_view name, char end, std::string_view value) {
        const bool begin = ascii::EqualsNoCase(name, "BEGIN");
        if (!begin && !ascii::EqualsNoCase(name, "END")) return LineStart::kSeen;
        if (end != ':') return LineStart::kStop;
        if (!visit(begin, ascii::Trim(value))) return LineStart::kStop;
        return LineStart::kDecisive;
    });
}

bool NextParam(std::string_view& rest, ContentParam& param, ParamQuotes quotes) {
    while (!rest.empty()) {
        if (rest.front() == ';') rest.remove_prefix(1);
        std::size_t end = rest.size();
        bool quoted = false;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '"' && quotes == ParamQuotes::kRespect) quoted = !quoted;
            if (rest[i] == ';' && !quoted) {
                end = i;
                break;
            }
        }
        const std::string_view text = ascii::Trim(rest.substr(0, end));
        rest.remove_prefix(end);
        if (text.empty()) continue;
        param.text = text;
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) {
            param.name = {};
            param.value = text;
        } else {
            param.name = ascii::Trim(text.substr(0, eq));
            param.value = ascii::Trim(text.substr(eq + 1));
        }
        return true;
    }
    return false;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

CContentLineReader::CContentLineReader(ContentLineOptions options) : m_options(options) {
    if (m_options.maxLineBytes < 64) m_options.maxLineBytes = 64;
}

void CContentLineReader::Open(std::string_view text) {
    m_text = text;
    m_pos = 0;
    m_lineNo = 0;
    m_peeked = false;
}

bool CContentLineReader::Next(ContentLine& line) {
    while (NextLogical(line)) {
        if (SplitHead(line)) return true;
    }
    return false;
}

bool CContentLineReader::NextPhysical(std::string_view& line) {
    if (m_peeked && m_peekFrom == m_pos) {
        // The same text from the same place: the same line.
        m_peeked = false;
        line = m_peekLine;
        m_pos = m_peekTo;
        ++m_lineNo;
        return true;
    }
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

bool CContentLineReader::IsQuotedPrintableHead(std::string_view upperHead) const {
    if (upperHead.find("QUOTED-PRINTABLE") != std::string_view::npos) return true;
    std::string_view name = upperHead.substr(0, upperHead.find(';'));
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    return std::find(m_implicitQp.begin(), m_implicitQp.end(), name) != m_implicitQp.end();
}

bool CContentLineReader::NextLogical(ContentLine& line) {
    std::string_view physical;
    if (!NextPhysical(physical)) return false;
    line.truncated = false;
    line.lineNo = m_lineNo;
    while (!physical.empty() && (physical.front() == ' ' || physical.front() == '\t')) physical.remove_prefix(1);

    // A line of one physical line stays a view into the text; the first continuation
    // copies it into m_joined.
    const std::size_t cap = m_options.maxLineBytes;
    std::string_view single;
    bool joined = false;
    char last = '\0';
    auto text = [&]() -> std::string_view { return joined ? std::string_view(m_joined) : single; };
    auto append = [&](std::string_view part) {
        if (part.empty()) return;
        last = part.back();
        const std::size_t size = text().size();
        const std::size_t room = size < cap ? cap - size : 0;
        if (part.size() > room) {
            line.truncated = true;
            part = part.substr(0, room);
            if (part.empty()) return;
        }
        if (!joined) {
            if (single.empty()) {
                single = part;
                return;
            }
            m_joined.assign(single);
            joined = true;
        }
        m_joined.append(part);
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
        const std::string_view current = text();
        std::size_t colon = std::string_view::npos;
        for (; scanned < current.size(); ++scanned) {
            if (current[scanned] == '"') quoted = !quoted;
            if (current[scanned] == ':' && !quoted) {
                colon = scanned;
                break;
            }
        }
        if (colon == std::string_view::npos) return false;
        qp = IsQuotedPrintableHead(ascii::Upper(current.substr(0, colon))) ? 1 : 0;
        return qp == 1;
    };
    auto isStop = [&](std::string_view physicalLine) {
        const std::string_view trimmed = ascii::Trim(physicalLine);
        for (std::string_view stop : m_options.softBreakStops) {
            if (ascii::EqualsNoCase(trimmed, stop)) return true;
        }
        return false;
    };

    for (;;) {
        const std::size_t savedPos = m_pos;
        const int savedLineNo = m_lineNo;
        if (!NextPhysical(physical)) break;
        if (m_options.quotedPrintableSoftBreaks && last == '=' && isQuotedPrintable() && !isStop(physical)) {
            // Quoted-printable soft break: the next line continues the value as it is.
            append("\r\n");
            last = '\n';
            append(physical);
            if (physical.empty()) last = '\n';
            continue;
        }
        if (!physical.empty() && (physical.front() == ' ' || (physical.front() == '\t' && m_options.tabContinues))) {
            append(physical.substr(1));  // folded line
            continue;
        }
        m_peeked = true;
        m_peekFrom = savedPos;
        m_peekTo = m_pos;
        m_peekLine = physical;
        m_pos = savedPos;
        m_lineNo = savedLineNo;
        break;
    }
    line.text = text();
    return true;
}

bool CContentLineReader::SplitHead(ContentLine& line) {
    const std::string_view text = line.text;
    const std::size_t nameEnd = NameEnd(text);
    if (nameEnd == std::string_view::npos) return false;
    std::string_view name = text.substr(0, nameEnd);
    line.group = {};
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) {
        line.group = name.substr(0, dot);
        name.remove_prefix(dot + 1);
    }
    m_name.assign(name.substr(0, std::min(name.size(), kMaxNameBytes)));
    for (char& c : m_name) c = ascii::ToUpper(c);
    line.name = m_name;
    bool quoted = false;
    std::size_t colon = std::string_view::npos;
    for (std::size_t i = nameEnd; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    line.hasValue = colon != std::string_view::npos;
    line.params = text.substr(nameEnd, (line.hasValue ? colon : text.size()) - nameEnd);
    line.value = line.hasValue ? text.substr(colon + 1) : std::string_view{};
    return true;
}

}  // namespace mireo
