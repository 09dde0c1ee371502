#pragma once
// Value encoders for tests and benchmarks: UTF-16 to UTF-8 or to Windows-1252, with
// the converter's rules (empty text and an unknown code page give -2; characters the
// code page lacks become "?").
#include <string>
#include <string_view>

#include "vcard/file_naming.h"
#include "vcard/vcard_writer.h"

namespace mireo::test {

class CUtf8Encoder : public IValueEncoder {
public:
    explicit CUtf8Encoder(std::string charset = "UTF-8") : m_charset(std::move(charset)) {}
    std::string CharsetName() override { return m_charset; }
    int Encode(std::u16string_view text, std::string& out) override {
        if (text.empty()) return -2;
        out = PathToUtf8(text);
        return static_cast<int>(out.size());
    }

private:
    std::string m_charset;
};

// Windows-1252; the charset name is empty for the system default.
class CCp1252Encoder : public IValueEncoder {
public:
    explicit CCp1252Encoder(std::string charset = {}) : m_charset(std::move(charset)) {}
    std::string CharsetName() override { return m_charset; }
    int Encode(std::u16string_view text, std::string& out) override {
        if (text.empty()) return -2;
        out.clear();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                out += static_cast<char>(c);
                continue;
            }
            char b = '?';
            for (int k = 0; k < 32; ++k) {
                if (kHigh[k] == c && c != 0) b = static_cast<char>(0x80 + k);
            }
            // A surrogate pair is one character: one "?".
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            out += b;
        }
        return static_cast<int>(out.size());
    }

private:
    // 0x80..0x9F of Windows-1252 (0 = undefined).
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
        0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    std::string m_charset;
};

// A stored encoding that is no longer in the list: code page -2, every value empty.
class CUnknownEncoder : public IValueEncoder {
public:
    std::string CharsetName() override { return {}; }
    int Encode(std::u16string_view, std::string&) override { return -2; }
};

}  // namespace mireo::test
