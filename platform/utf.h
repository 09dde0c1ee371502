#pragma once
// UTF-8 <-> UTF-16 for all of Mireo: texts are UTF-8 inside, UTF-16 at the host, the
// registry and the wide Win32 functions.
//
// UTF-16 to UTF-8 has one rule: an unpaired surrogate becomes U+FFFD. UTF-8 to UTF-16
// turns ill-formed input into U+FFFD too, but callers differ in how many: see BadUtf8.
// AppendUtf8 and the surrogate tests are inline so that the helper library, which links
// nothing of the platform layer, can use them.
#include <cstddef>
#include <string>
#include <string_view>

namespace mireo::utf {

constexpr char32_t kReplacement = 0xFFFD;

constexpr bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Appends the UTF-8 bytes of cp. A surrogate or a value past U+10FFFF has no UTF-8
// form and is written as U+FFFD.
inline void AppendUtf8(std::string& out, char32_t cp) {
    if (IsSurrogate(cp) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// How much ill-formed UTF-8 one U+FFFD stands for. All three agree on well-formed
// input and on a byte that cannot start a sequence (80..C1, F5..FF: one U+FFFD each);
// they differ on a sequence that starts well and goes wrong. For "\xE2\x82" (cut
// short) and "\xED\xA0\x80" (an encoded surrogate):
enum class BadUtf8 {
    // Every byte of it: 2 and 3 U+FFFD. The registry and the host text.
    kEachByte,
    // Each maximal subpart, Unicode's recommended practice and what Windows'
    // MultiByteToWideChar does: a lead byte with the continuation bytes that may follow
    // it in a well-formed sequence (after E0 only A0..BF, after ED only 80..9F, ...).
    // 1 and 3 U+FFFD.
    kMaximalSubpart,
    // The lead byte with all continuation bytes (80..BF) it asks for, even when they
    // spell an overlong form, a surrogate or a value past U+10FFFF: 1 and 1 U+FFFD.
    // File names.
    kWholeSequence,
};

// Decodes the code point at text[i] (i < text.size()) and moves i past what it used;
// ill-formed input gives U+FFFD and moves i as `bad` says (always by at least one).
char32_t DecodeUtf8(std::string_view text, std::size_t& i, BadUtf8 bad);

// Appends cp (a scalar value) as one UTF-16 unit or a surrogate pair.
void AppendUtf16(std::u16string& out, char32_t cp);

std::u16string Utf8ToUtf16(std::string_view utf8, BadUtf8 bad = BadUtf8::kMaximalSubpart);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether a code point changes what a terminal or a list shows around it: the C0 and
// C1 controls, DEL, and the marks, embeddings, overrides and isolates of bidirectional
// text (U+200E, U+200F, U+202A..U+202E, U+2066..U+2069).
constexpr bool IsDisplayControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// UTF-8 text (a file name) as it may be shown on a terminal: each display control
// written as "\xNN" (below U+0100) or "\uNNNN", each byte of ill-formed UTF-8 as
// "\xNN". Nothing else changes (a path's separators stay as they are).
std::string EscapeControls(std::string_view utf8);

}  // namespace mireo::utf
