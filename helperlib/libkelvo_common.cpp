#include "helperlib/libkelvo_common.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf.h"

namespace kelvo {

namespace {

void AppendEscaped(std::string& out, const char* text, bool keepTabs) {
    if (text == nullptr) return;
    for (const char* p = text; *p != '\0'; ++p) {
        switch (*p) {
            case '\r': out += keepTabs ? "\\r" : " "; break;
            case '\n': out += keepTabs ? "\\n" : " "; break;
            case '\t': out += keepTabs ? '\t' : ' '; break;
            default: out += *p;
        }
    }
}

using mireo::ascii::Lower;

// Decodes the entity at html[i] ('&'); returns the characters consumed, 0 when it is
// not one we know (the '&' is then kept as text).
std::size_t DecodeEntity(std::string_view html, std::size_t i, std::string& out) {
    const std::size_t semi = html.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) return 0;
    const std::string_view name = html.substr(i + 1, semi - i - 1);
    static const struct {
        const char* name;
        const char* text;
    } kNamed[] = {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "},
                  {"ndash", "\xE2\x80\x93"}, {"mdash", "\xE2\x80\x94"}, {"hellip", "\xE2\x80\xA6"}};
    for (const auto& e : kNamed) {
        if (name == e.name) {
            out += e.text;
            return semi - i + 1;
        }
    }
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 7) return 0;
        unsigned long cp = 0;
        if (!mireo::ascii::ParseNumber(digits, hex ? 16 : 10, cp)) return 0;
        // &#0; is no text either: U+FFFD, as for a surrogate or a value past U+10FFFF.
        mireo::utf::AppendUtf8(out, cp == 0 ? mireo::utf::kReplacement : static_cast<char32_t>(cp));
        return semi - i + 1;
    }
    return 0;
}

class CTextBuilder {
public:
    void Text(char c) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            m_pendingSpace = !m_out.empty() && m_out.back() != '\n';
            return;
        }
        if (m_pendingSpace) m_out += ' ';
        m_pendingSpace = false;
        m_out += c;
    }
    void Raw(const std::string& s) {
        for (char c : s) Text(c);
    }
    // Ends the current line; blank lines at most `blank` in a row.
    void Break(int blank) {
        m_pendingSpace = false;
        while (!m_out.empty() && m_out.back() == ' ') m_out.pop_back();
        if (m_out.empty()) return;
        int newlines = 0;
        for (auto it = m_out.rbegin(); it != m_out.rend() && *it == '\n'; ++it) ++newlines;
        for (int n = newlines; n < blank + 1; ++n) m_out += '\n';
    }
    void Prefix(const char* s) {
        m_pendingSpace = false;
        m_out += s;
    }
    // The text with exactly one line end after its last line.
    std::string Take() {
        while (!m_out.empty() && (m_out.back() == '\n' || m_out.back() == ' ')) m_out.pop_back();
        if (!m_out.empty()) m_out += '\n';
        return std::move(m_out);
    }

private:
    std::string m_out;
    bool m_pendingSpace = false;
};

}  // namespace

std::string LevelName(std::int32_t level) {
    switch (level) {
        case 1: return "trace";
        case 2: return "warning";
        case 3: return "error";
        default: return std::to_string(level);
    }
}

std::string FormatLogLine(const LocalTime& t, std::int32_t level, std::int32_t code, const char* function,
                          const char* message, const char* eol) {
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02dT%02d:%02d:%02d\t", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::string line = head;
    line += LevelName(level);
    char hex[16];
    std::snprintf(hex, sizeof hex, "\t0x%08X\t", static_cast<unsigned>(code));
    line += hex;
    AppendEscaped(line, function, false);
    line += '\t';
    AppendEscaped(line, message, true);
    line += eol;
    return line;
}

bool IsSafeTopic(const char* topic) {
    if (topic == nullptr || *topic == '\0') return false;
    const std::string_view t(topic);
    if (t.find("..") != std::string_view::npos) return false;
    for (unsigned char c : t) {
        if (c < 0x20 || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

std::string HtmlToText(std::string_view html) {
    CTextBuilder text;
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '&') {
            std::string decoded;
            const std::size_t used = DecodeEntity(html, i, decoded);
            if (used > 0) {
                text.Raw(decoded);
                i += used;
                continue;
            }
            text.Text(c);
            ++i;
            continue;
        }
        if (c != '<') {
            text.Text(c);
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        const std::size_t close = html.find('>', i + 1);
        if (close == std::string_view::npos) break;  // a cut tag ends the page
        std::string_view tag = html.substr(i + 1, close - i - 1);
        i = close + 1;
        const bool end = !tag.empty() && tag[0] == '/';
        if (end) tag.remove_prefix(1);
        std::size_t n = 0;
        while (n < tag.size() && std::isalnum(static_cast<unsigned char>(tag[n]))) ++n;
        const std::string name = Lower(tag.substr(0, n));
        if (!end && (name == "head" || name == "script" || name == "style" || name == "title")) {
            // Skip to the matching end tag, whatever it holds.
            const std::string lower = Lower(html.substr(i));
            const std::size_t stop = lower.find("</" + name);
            if (stop == std::string::npos) break;
            const std::size_t gt = html.find('>', i + stop);
            i = gt == std::string_view::npos ? html.size() : gt + 1;
            continue;
        }
        if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
            text.Break(1);
        } else if (name == "p" || name == "ul" || name == "ol" || name == "table" || name == "pre" ||
                   name == "blockquote" || name == "dl") {
            text.Break(1);
        } else if (name == "br" || name == "div" || name == "tr" || name == "dt") {
            text.Break(0);
        } else if (name == "li" && !end) {
            text.Break(0);
            text.Prefix("  - ");
        } else if (name == "dd" && !end) {
            text.Break(0);
            text.Prefix("    ");
        } else if ((name == "td" || name == "th") && !end) {
            text.Text(' ');
        }
    }
    return text.Take();
}

std::string WrapText(std::string_view text, std::size_t width) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        std::size_t indent = 0;
        while (indent < line.size() && line[indent] == ' ') ++indent;
        if (line.compare(indent, 2, "- ") == 0) indent += 2;
        // First piece: the whole width; later pieces: the width after the indent.
        std::size_t room = width;
        std::string pad;
        while (line.size() > room) {
            std::size_t cut = line.rfind(' ', room);
            if (cut == std::string_view::npos || cut < (pad.empty() ? indent : 0) + 1) cut = line.find(' ', room);
            if (cut == std::string_view::npos) break;
            out += pad;
            out += line.substr(0, cut);
            out += '\n';
            line.remove_prefix(cut);
            while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
            pad.assign(indent, ' ');
            room = width > indent + 1 ? width - indent : 1;
        }
        out += pad;
        out += line;
        if (nl == std::string_view::npos) break;
        out += '\n';
        start = nl + 1;
    }
    return out;
}

}  // namespace kelvo
