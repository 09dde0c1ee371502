#include "platform/utf.h"

#include <algorithm>
#include <cstdio>

namespace mireo::utf {

char32_t DecodeUtf8(std::string_view text, std::size_t& i, BadUtf8 bad) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char b = s[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    int need = 0;
    char32_t cp = 0;
    char32_t min = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2, cp = b & 0x0F, min = 0x800;
        if (bad == BadUtf8::kMaximalSubpart && b == 0xE0) lo = 0xA0;
        if (bad == BadUtf8::kMaximalSubpart && b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3, cp = b & 0x07, min = 0x10000;
        if (bad == BadUtf8::kMaximalSubpart && b == 0xF0) lo = 0x90;
        if (bad == BadUtf8::kMaximalSubpart && b == 0xF4) hi = 0x8F;
    } else {
        ++i;
        return kReplacement;
    }
    std::size_t j = i + 1;
    int got = 0;
    while (got < need && j < text.size()) {
        const unsigned char c = s[j];
        if (c < (got == 0 ? lo : 0x80) || c > (got == 0 ? hi : 0xBF)) break;
        cp = (cp << 6) | (c & 0x3F);
        ++j, ++got;
    }
    if (got < need || cp < min || cp > 0x10FFFF || IsSurrogate(cp)) {
        i = bad == BadUtf8::kEachByte ? i + 1 : j;
        return kReplacement;
    }
    i = j;
    return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8, BadUtf8 bad) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) AppendUtf16(out, DecodeUtf8(utf8, i, bad));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (IsHighSurrogate(cp) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, cp);  // a lone surrogate is written as U+FFFD
    }
    return out;
}

std::string EscapeControls(std::string_view utf8) {
    // Printable ASCII alone, the common name, is given back as it is.
    const auto printable = [](char c) { return c >= 0x20 && c < 0x7F; };
    if (std::all_of(utf8.begin(), utf8.end(), printable)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    char buf[12];
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        const char32_t c = DecodeUtf8(utf8, i, BadUtf8::kEachByte);
        if (c == kReplacement && utf8.substr(start, i - start) != "\xEF\xBF\xBD") {
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(utf8[start]));
            out += buf;
        } else if (IsDisplayControl(c)) {
            std::snprintf(buf, sizeof buf, c < 0x100 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        } else {
            out.append(utf8, start, i - start);
        }
    }
    return out;
}

}  // namespace mireo::utf
