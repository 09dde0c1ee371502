#include "platform/registry_text.h"

#include "platform/utf.h"

namespace mireo::regtext {
namespace {

char32_t FoldCodePoint(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    return c;
}

}  // namespace

std::u16string ToUtf16(std::string_view utf8) { return utf::Utf8ToUtf16(utf8, utf::BadUtf8::kEachByte); }

std::string ToUtf8(std::u16string_view utf16) { return utf::Utf16ToUtf8(utf16); }

std::string LeBytesToUtf8(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return utf::Utf16ToUtf8(units);
}

std::vector<std::uint8_t> SzBytes(std::string_view utf8) {
    const std::u16string wide = ToUtf16(utf8);
    std::vector<std::uint8_t> out;
    out.reserve(wide.size() * 2 + 2);
    for (char16_t u : wide) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

bool SzText(const std::uint8_t* data, std::size_t size, std::string& utf8) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if (data[i] == 0 && data[i + 1] == 0) {
            utf8 = LeBytesToUtf8(data, i);
            return true;
        }
    }
    return false;
}

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
            ++i;
            continue;
        }
        const std::size_t start = i;
        const char32_t cp = utf::DecodeUtf8(utf8, i, utf::BadUtf8::kEachByte);
        if (cp == utf::kReplacement && i == start + 1) {
            out += utf8[start];  // keep bytes that are not UTF-8 as they are
        } else {
            utf::AppendUtf8(out, FoldCodePoint(cp));
        }
    }
    return out;
}

}  // namespace mireo::regtext
