#pragma once
// Quoted-printable as vCard 2.1 and vCalendar 1.0 use it for values (RFC 2045 section
// 6.7, with the line rules of those formats).
#include <string>
#include <string_view>

namespace mireo {

// "=" and two hex digits (either case) give a byte (a zero byte is dropped), "=" CR LF
// and "=" LF are soft breaks, bare CR and LF are dropped. Anything else after "=" fails:
// false, with `out` holding what was decoded so far.
bool DecodeQuotedPrintable(std::string_view in, std::string& out);

// The second try for a value that failed: a "=" that cannot start an escape (not
// followed by a letter, a digit or CR), and one among the last two characters, stands
// for itself and is written "=3D".
std::string RepairQuotedPrintable(std::string_view in);

enum class QuotedPrintableResult {
    kDecoded,
    kRepaired,   // decoded after RepairQuotedPrintable
    kUndecoded,  // neither worked: `out` holds the input as it is
};

// DecodeQuotedPrintable, then the same on the repaired text, then the text as it is.
QuotedPrintableResult DecodeQuotedPrintableOrKeep(std::string_view in, std::string& out);

// Appends bytes quoted-printable: "=" and bytes outside 33..126 as =XX, space and tab
// literal while the line holds fewer than 64 characters, a soft break "=" CR LF once
// the line reaches 65 characters, but none after the last byte. Then appends CR LF.
// The line length counts the encoded value only, not the head written before it.
// With blankSafeContinuations a space or tab that would start a continuation line is
// written =20 or =09: readers disagree on white space at the start of such a line (some
// keep it, some skip it).
void AppendQuotedPrintable(std::string_view bytes, std::string& out, bool blankSafeContinuations = false);

}  // namespace mireo
