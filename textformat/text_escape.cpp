#include "textformat/text_escape.h"

#include <cstdint>
#include <cstring>

#include "platform/ascii.h"
#include "platform/utf.h"

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

// Whether AppendEscaped30 writes c otherwise than as it is.
bool NeedsEscape30(char16_t c, bool component) {
    return c == u'\\' || c == u',' || c == u'\r' || c == u'\n' || (component && c == u';');
}

}  // namespace

std::u16string Unescape(std::u16string_view s, const EscapeRules& rules) {
    std::u16string out;
    AppendUnescaped(s, rules, out);
    return out;
}

void AppendUnescaped(std::u16string_view s, const EscapeRules& rules, std::u16string& out) {
    // Most values hold no backslash at all; the others are copied run by run between
    // their backslashes.
    std::size_t slash = s.find(u'\\');
    if (slash == std::u16string_view::npos) {
        out.append(s);
        return;
    }
    out.reserve(out.size() + s.size());
    std::size_t from = 0;
    while (slash != std::u16string_view::npos) {
        out.append(s.substr(from, slash - from));
        if (slash + 1 < s.size() && IsPair(s[slash + 1], rules)) {
            const char16_t n = s[slash + 1];
            if (n == u'n' || n == u'N') {
                out += rules.lineBreak;
            } else {
                out += n;
            }
            from = slash + 2;
        } else {
            // A backslash that starts no listed pair stays, and the next character is
            // read on its own.
            out += u'\\';
            from = slash + 1;
        }
        slash = s.find(u'\\', from);
    }
    out.append(s.substr(from));
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

std::size_t SplitComponents(std::u16string_view value, std::span<std::u16string_view> parts,
                            const EscapeRules& rules) {
    if (parts.empty()) return 0;
    std::size_t n = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size() && n + 1 < parts.size(); ++i) {
        const char16_t c = value[i];
        if (c == u'\\' && i + 1 < value.size() && IsPair(value[i + 1], rules)) {
            ++i;
        } else if (c == u';') {
            parts[n++] = value.substr(start, i - start);
            start = i + 1;
        }
    }
    parts[n++] = value.substr(start);
    return n;
}

std::u16string_view TrimText(std::u16string_view s) { return ascii::Trim(s); }

void AppendEscaped30(std::u16string_view text, bool component, std::u16string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        // The text between the characters that are escaped goes in as one piece.
        std::size_t plain = i;
        while (plain < text.size() && !NeedsEscape30(text[plain], component)) ++plain;
        if (plain > i) {
            out.append(text.substr(i, plain - i));
            i = plain;
            if (i == text.size()) break;
        }
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

bool AppendUtf16AsUtf8(std::u16string_view text, std::string& out) {
    const std::size_t begin = out.size();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        std::size_t ascii = i;
        while (ascii < n && text[ascii] < 0x80) ++ascii;
        if (ascii > i) {
            const std::size_t at = out.size();
            out.resize(at + (ascii - i));
            for (std::size_t k = i; k < ascii; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
            i = ascii;
            continue;
        }
        char32_t cp = text[i++];
        if (utf::IsSurrogate(cp)) {
            if (!utf::IsHighSurrogate(cp) || i == n || !utf::IsLowSurrogate(text[i])) {
                out.resize(begin);
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i] - 0xDC00);
            ++i;
        }
        utf::AppendUtf8(out, cp);
    }
    return true;
}

bool AppendUtf8AsUtf16(std::string_view bytes, std::u16string& out) {
    const std::size_t begin = out.size();
    const std::size_t n = bytes.size();
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    auto trail = [&](std::size_t k) { return k < n && (byte(k) & 0xC0) == 0x80; };
    // A UTF-16 text never has more units than its UTF-8 bytes: one allocation at most.
    out.reserve(begin + n);
    std::size_t i = 0;
    while (i < n) {
        std::size_t ascii = i;
        for (; ascii + 8 <= n; ascii += 8) {
            std::uint64_t w;
            std::memcpy(&w, bytes.data() + ascii, 8);
            if ((w & 0x8080808080808080ull) != 0) break;
        }
        while (ascii < n && byte(ascii) < 0x80) ++ascii;
        if (ascii > i) {
            const std::size_t at = out.size();
            out.resize(at + (ascii - i));
            for (std::size_t k = i; k < ascii; ++k) out[at + (k - i)] = static_cast<char16_t>(byte(k));
            i = ascii;
            continue;
        }
        // RFC 3629's well-formed sequences: no overlong form, no surrogate, nothing past
        // U+10FFFF.
        const unsigned char lead = byte(i);
        char32_t cp = 0;
        std::size_t length = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1F;
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0F;
            length = 3;
            if (i + 1 < n && ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F))) length = 0;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07;
            length = 4;
            if (i + 1 < n && ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))) length = 0;
        }
        for (std::size_t k = 1; length != 0 && k < length; ++k) {
            if (!trail(i + k)) length = 0;
            else cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        if (length == 0) {
            out.resize(begin);
            return false;
        }
        i += length;
        utf::AppendUtf16(out, cp);
    }
    return true;
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
