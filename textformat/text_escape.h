#pragma once
// Backslash escapes of text values. They work on decoded text (UTF-16): in a double-byte
// code page a trail byte may look like a backslash.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mireo {

// The pairs a format's rules list; a backslash that starts no listed pair stays.
struct EscapeRules {
    bool semicolon = false;  // "\;" -> ";"
    bool comma = false;      // "\," -> ","
    bool backslash = false;  // "\\" -> "\"
    bool lowerN = false;     // "\n" -> lineBreak
    bool upperN = false;     // "\N" -> lineBreak
    std::u16string_view lineBreak = u"\r\n";
};

// vCard 2.1 (components of N, ORG and ADR): only "\;".
inline constexpr EscapeRules kVCard21Escapes{.semicolon = true};
// vCard 3.0 (RFC 2426): "\\", "\,", "\;", "\n" and "\N", a break read as CR LF.
inline constexpr EscapeRules kVCard30Escapes{
    .semicolon = true, .comma = true, .backslash = true, .lowerN = true, .upperN = true};

// One left-to-right pass: every listed pair gives its character, so "\\n" is a
// backslash and an "n".
std::u16string Unescape(std::u16string_view text, const EscapeRules& rules);
// The same, appended to out: a reader fills its fields without a string of its own
// for each value.
void AppendUnescaped(std::u16string_view text, const EscapeRules& rules, std::u16string& out);

// Splits a structured value at the semicolons that are not part of a listed pair; the
// last part takes the rest, so there are at most maxParts. The parts keep their escapes.
std::vector<std::u16string_view> SplitComponents(std::u16string_view value, std::size_t maxParts,
                                                 const EscapeRules& rules);
// The same into `parts` (at most parts.size() of them, the last taking the rest), with
// no allocation; the number of parts.
std::size_t SplitComponents(std::u16string_view value, std::span<std::u16string_view> parts,
                            const EscapeRules& rules);

// Without space, TAB, CR and LF at either end.
std::u16string_view TrimText(std::u16string_view text);

// ---- writing ----

// vCard 3.0 text escaping: "\" -> "\\", "," -> "\,", CR LF, lone CR and lone LF ->
// "\n"; with component set also ";" -> "\;" (a part of N, ORG or ADR). Applied to the
// text before it is encoded, so that a trail byte of a double-byte character that
// equals the backslash is left alone.
void AppendEscaped30(std::u16string_view text, bool component, std::u16string& out);

// Conversions between UTF-16 and UTF-8 for the readers and writers whose encoding is
// UTF-8, so that a value needs no round through the code-page converter and no string of
// its own; runs of ASCII are copied as they are. Only well-formed text is converted
// here: for anything else (a lone surrogate, an ill-formed byte) they return false and
// leave out as it was, and the caller takes the converter, whose replacement rules are
// those of the platform.
bool AppendUtf16AsUtf8(std::u16string_view text, std::string& out);
bool AppendUtf8AsUtf16(std::string_view bytes, std::u16string& out);

// A component of a vCard 2.1 structured value: ";" -> "\;", so that the part
// boundaries survive; everything else as it is.
void AppendEscapedSemicolons(std::string_view bytes, std::string& out);

// A value that is not escaped otherwise: CR LF, lone CR and lone LF -> "\n", so that a
// line break does not end the line.
void AppendLineBreaksEscaped(std::string_view bytes, std::string& out);

}  // namespace mireo
