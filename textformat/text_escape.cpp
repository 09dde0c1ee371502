#include "textformat/text_escape.h"

#include "platform/ascii.h"

namespace mireo {
namespace {

// Whether a backslash followed by c is one of the listed pairs.
bool IsPair(char16_t c, const EscapeRules& rules) {
    switch (c) {
        case u';': return rules.semicolon;
        case u',': return rules.comma;
        case u'\\': return rules.backslash;
        case u'n': return rules.lowerN;
        case u'N': return rules.upperN;
        default: return false;
    }
}

}  // namespace

std::u16string Unescape(std::u16string_view s, const EscapeRules& rules) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u'\\' && i + 1 < s.size() && IsPair(s[i + 1], rules)) {
            const char16_t n = s[++i];
            if (n == u'n' || n == u'N') {
                out += rules.lineBreak;
            } else {
                out += n;
            }
            continue;
        }
        out += c;
    }
    return out;
}

std::vector<std::u16string_view> SplitComponents(std::u16string_view value, std::size_t maxParts,
                                                 const EscapeRules& rules) {
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size() && parts.size() + 1 < maxParts; ++i) {
        const char16_t c = value[i];
        if (c == u'\\' && i + 1 < value.size() && IsPair(value[i + 1], rules)) {
            ++i;
        } else if (c == u';') {
            parts.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(value.substr(start));
    return parts;
}

std::u16string_view TrimText(std::u16string_view s) { return ascii::Trim(s); }

void AppendEscaped30(std::u16string_view text, bool component, std::u16string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
            case u'\\': out += u"\\\\"; break;
            case u',': out += u"\\,"; break;
            case u'\r':
                // CR LF is one line break; a lone CR or LF is one too.
                if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                out += u"\\n";
                break;
            case u'\n': out += u"\\n"; break;
            case u';':
                if (component) out += u'\\';
                out += c;
                break;
            default: out += c;
        }
    }
}

void AppendEscapedSemicolons(std::string_view bytes, std::string& out) {
    for (char c : bytes) {
        if (c == ';') out += '\\';
        out += c;
    }
}

void AppendLineBreaksEscaped(std::string_view bytes, std::string& out) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += c;
        }
    }
}

}  // namespace mireo
