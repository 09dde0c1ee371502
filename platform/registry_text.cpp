#include "platform/registry_text.h"

#include "platform/case_fold.h"
#include "platform/utf.h"

namespace mireo::regtext {

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

std::string FoldCase(std::string_view utf8) { return FoldCaseUtf8(utf8); }

}  // namespace mireo::regtext
