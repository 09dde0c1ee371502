#include "textformat/file_text.h"

#include <cstdint>
#include <cstring>

#include "platform/utf.h"

namespace mireo {
namespace {

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

}  // namespace

FileText PrepareFileText(std::string_view bytes, std::string& converted) {
    converted.clear();
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return {bytes.substr(3), FileTextForm::kUtf8Bom};
    if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        converted = Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        return {converted, FileTextForm::kUtf16};
    }
    // UTF-16 without a byte-order mark (some address books write it): text files start
    // with ASCII ("BEGIN:"), whose every second byte is zero in UTF-16. 8-bit text never
    // has a zero byte there.
    if (bytes.size() >= 4) {
        const bool zeroOdd = bytes[1] == '\0' && bytes[3] == '\0' && bytes[0] != '\0' && bytes[2] != '\0';
        const bool zeroEven = bytes[0] == '\0' && bytes[2] == '\0' && bytes[1] != '\0' && bytes[3] != '\0';
        if (zeroOdd || zeroEven) {
            converted = Utf16ToUtf8(bytes, zeroEven);
            return {converted, FileTextForm::kUtf16};
        }
    }
    return {bytes, FileTextForm::kBytes};
}

bool IsAscii(std::string_view bytes) {
    std::size_t i = 0;
    std::uint64_t high = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        high |= w;
    }
    for (; i < bytes.size(); ++i) high |= static_cast<unsigned char>(bytes[i]);
    return (high & 0x8080808080808080ull) == 0;
}

bool IsUtf8WithNonAscii(std::string_view s) {
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

}  // namespace mireo
