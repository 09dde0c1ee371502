#pragma once
// Content lines, the line grammar that vCard 2.1 and vCalendar 1.0 share, and vCard 3.0
// and iCalendar after them: a file's text as logical lines (continuation lines
// unfolded), each split into its group, name, parameters and value.
//
//     item1.TEL;TYPE=WORK,FAX;X-A="a;b":+1 555 0100
//     group name params                 value
//
// Bounded on any input: one pass over the text, a logical line keeps at most
// maxLineBytes (the rest of a longer one is passed over and the line marked truncated).
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mireo {

// One parameter of a content line.
struct ContentParam {
    std::string_view text;   // the whole parameter, white space around it trimmed
    std::string_view name;   // before the first "=", trimmed; empty when there is no "="
    std::string_view value;  // after the first "=", trimmed, quotes kept; the whole text
                             // of a bare parameter (vCard 2.1's TEL;WORK, vCalendar's
                             // ;QUOTED-PRINTABLE)
};

enum class ParamQuotes {
    kIgnore,   // every ";" ends a parameter (vCard)
    kRespect,  // a ";" inside double quotes does not (iCalendar: SENT-BY="mailto:a;b")
};

// The next non-empty parameter of a line's parameter text (ContentLine::params, ";A=1;B"),
// taken off the front of `rest`; false when none is left.
bool NextParam(std::string_view& rest, ContentParam& param, ParamQuotes quotes = ParamQuotes::kIgnore);

// A value in double quotes without them ("\"a;b\"" -> "a;b"); any other text as it is.
std::string_view Unquote(std::string_view value);

struct ContentLine {
    std::string_view text;    // the logical line, continuation lines joined
    std::string_view group;   // "item1" of "item1.TEL"; empty when there is none
    std::string_view name;    // upper case, group removed, at most 64 bytes
    std::string_view params;  // from the first ";" to the value's ":" (or the end); empty when none
    std::string_view value;   // after the first ":" outside double quotes that follows the name
    bool hasValue = false;    // the line has that ":"
    bool truncated = false;   // longer than maxLineBytes: text holds the first maxLineBytes
    int lineNo = 0;           // 1-based physical line where it starts
};

struct ContentLineOptions {
    std::size_t maxLineBytes = std::size_t{1} << 20;  // raised to 64 when smaller
    // A physical line starting with a TAB continues the previous one, as one starting
    // with a space always does.
    bool tabContinues = true;
    // vCard 2.1 and vCalendar 1.0: when a line's value is quoted-printable (its head
    // names QUOTED-PRINTABLE, or its name is one of implicitQuotedPrintable) and a
    // physical line of it ends in "=", the next physical line continues the value as it
    // is, after a CR LF, so that the decoder sees the soft break "=" CR LF.
    bool quotedPrintableSoftBreaks = false;
    // Lines such a continuation never takes (compared without case, white space around
    // them ignored): the END line of the object, which a value ending in a stray "="
    // must not swallow.
    std::span<const std::string_view> softBreakStops;
};

// The number of logical lines "BEGIN:<object>" in a text (any group, the name in any
// case, no parameters, the value starting with `object` in any case) as
// CContentLineReader with these options splits it, found by looking at the start and the
// end of each physical line only. Nothing when the text has a line whose splitting
// depends on more than that: a quoted-printable soft break in a line whose head is not
// on its first physical line or names one of `versionDependent` (whether those are
// quoted-printable depends on the object's version), or a folded line that could turn
// its start into a BEGIN line. Callers then read the lines.
std::optional<std::size_t> CountBeginLines(std::string_view text, std::string_view object,
                                           const ContentLineOptions& options,
                                           std::span<const std::string_view> versionDependent = {});

// The logical lines "BEGIN:<value>" and "END:<value>" of a text, in order, as
// CContentLineReader with these options splits it (any group, the name in any case),
// found by looking at the start and the end of each physical line only: `visit` gets
// whether the line begins a block and its value, white space around it trimmed, and
// returns false to stop. False when it stopped, and when the text has a line whose
// splitting depends on more than that (as for CountBeginLines, and a BEGIN or END line
// with parameters or continued on the next physical line): callers then read the lines.
bool ScanBlockLines(std::string_view text, const ContentLineOptions& options,
                    const std::function<bool(bool begin, std::string_view value)>& visit,
                    std::span<const std::string_view> versionDependent = {});

// Reads the content lines of a text. Lines end at CR LF, a lone LF or a lone CR.
class CContentLineReader {
public:
    explicit CContentLineReader(ContentLineOptions options = {});

    // Starts on a text (kept by view: it must outlive the reading).
    void Open(std::string_view text);
    // The next logical line that holds a ";" or a ":" (others carry no property and are
    // passed over); false at the end of the text. The line's views stay valid until the
    // next call.
    bool Next(ContentLine& line);

    // Names (upper case) whose values are quoted-printable without saying so; the span
    // must outlive its use. vCard 2.1 peers write ADR that way.
    void SetImplicitQuotedPrintable(std::span<const std::string_view> names) { m_implicitQp = names; }

    // Bytes of the text consumed so far and physical lines counted so far.
    std::size_t Position() const { return m_pos; }
    int PhysicalLines() const { return m_lineNo; }
    // Reads again from a place that Position() and PhysicalLines() gave between two
    // calls of Next (a line to be read again, an object to be read with other rules).
    void Seek(std::size_t position, int physicalLines) {
        m_pos = position < m_text.size() ? position : m_text.size();
        m_lineNo = physicalLines;
    }

private:
    bool NextPhysical(std::string_view& line);
    bool NextLogical(ContentLine& line);
    bool IsQuotedPrintableHead(std::string_view head) const;
    bool SplitHead(ContentLine& line);

    ContentLineOptions m_options;
    std::span<const std::string_view> m_implicitQp;
    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_lineNo = 0;
    // The physical line after the last logical one, found when looking for its
    // continuation: the next call starts with it rather than finding its end again.
    bool m_peeked = false;
    std::size_t m_peekFrom = 0;
    std::size_t m_peekTo = 0;
    std::string_view m_peekLine;
    std::string m_joined;  // a line made of several physical lines
    std::string m_name;    // the upper-case name of the last line
};

}  // namespace mireo
