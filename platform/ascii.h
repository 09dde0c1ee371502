#pragma once
// The small text helpers of every layer for ASCII and byte text: case, white space,
// comparison without regard to ASCII case, trimming and numbers in hexadecimal. Inline,
// so that the helper library, which links nothing of the platform layer, uses them too.
// Case-insensitive comparison of user text (names, categories, files) is not ASCII: it
// goes through platform/case_fold.h.
#include <charconv>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace mireo::ascii {

// Space, tab, CR and LF: what the formats and the prompts count as white space.
inline constexpr std::string_view kWhiteSpace = " \t\r\n";
// Space and tab only: blanks inside one line.
inline constexpr std::string_view kBlanks = " \t";

template <typename Char>
constexpr Char ToLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c + ('a' - 'A')) : c;
}

template <typename Char>
constexpr Char ToUpper(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - ('a' - 'A')) : c;
}

template <typename Char>
constexpr bool IsWhiteSpace(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\r') || c == Char('\n');
}

inline std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ToLower(c);
    return out;
}

inline std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ToUpper(c);
    return out;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    }
    return true;
}

// A UTF-16 text and an ASCII one ("CON", "AUX") are equal without regard to ASCII case.
constexpr bool EqualsNoCase(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != static_cast<char16_t>(static_cast<unsigned char>(ToLower(b[i])))) return false;
    }
    return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Whether c is one of the ASCII characters of set.
template <typename Char>
constexpr bool InSet(Char c, std::string_view set) {
    const auto u = static_cast<std::make_unsigned_t<Char>>(c);
    if (u >= 0x80) return false;
    for (char m : set) {
        if (static_cast<char>(u) == m) return true;
    }
    return false;
}

// The text without the characters for which drop(c) holds at either end.
template <typename Char, typename Drop>
constexpr std::basic_string_view<Char> TrimLeftIf(std::basic_string_view<Char> s, Drop drop) {
    while (!s.empty() && drop(s.front())) s.remove_prefix(1);
    return s;
}

template <typename Char, typename Drop>
constexpr std::basic_string_view<Char> TrimRightIf(std::basic_string_view<Char> s, Drop drop) {
    while (!s.empty() && drop(s.back())) s.remove_suffix(1);
    return s;
}

// The text without white space (space, tab, CR, LF) at either end: the readers trim
// every property, so this one is a plain comparison.
constexpr std::string_view TrimLeft(std::string_view s) { return TrimLeftIf(s, IsWhiteSpace<char>); }
constexpr std::string_view TrimRight(std::string_view s) { return TrimRightIf(s, IsWhiteSpace<char>); }
constexpr std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }
constexpr std::u16string_view Trim(std::u16string_view s) {
    return TrimRightIf(TrimLeftIf(s, IsWhiteSpace<char16_t>), IsWhiteSpace<char16_t>);
}

// The text without the characters of `set` at either end (ascii::kBlanks, say).
constexpr std::string_view TrimLeft(std::string_view s, std::string_view set) {
    return TrimLeftIf(s, [set](char c) { return InSet(c, set); });
}
constexpr std::string_view TrimRight(std::string_view s, std::string_view set) {
    return TrimRightIf(s, [set](char c) { return InSet(c, set); });
}
constexpr std::string_view Trim(std::string_view s, std::string_view set) { return TrimRight(TrimLeft(s, set), set); }

// Nothing but white space, or nothing at all; or nothing but characters of `set`.
constexpr bool IsBlank(std::string_view s) { return Trim(s).empty(); }
constexpr bool IsBlank(std::string_view s, std::string_view set) { return Trim(s, set).empty(); }

// A whole text as an unsigned number in the base: digits only (either case above 9), no
// sign, no prefix, no white space, and a value that fits. False otherwise, and the value
// is left as it was.
template <typename UInt>
bool ParseNumber(std::string_view digits, int base, UInt& value) {
    if (digits.empty()) return false;
    UInt parsed{};
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, parsed, base);
    if (ec != std::errc{} || ptr != end) return false;
    value = parsed;
    return true;
}

template <typename UInt>
bool ParseHex(std::string_view digits, UInt& value) {
    return ParseNumber(digits, 16, value);
}

}  // namespace mireo::ascii
