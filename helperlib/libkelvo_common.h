#pragma once
// The helper library's platform-free parts: the log line, the topic check and the
// text rendering of a help page.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kBadArgument = -1;  // null text, refused topic, context 0
constexpr std::int32_t kNotFound = -2;     // help page missing
constexpr std::int32_t kFailed = -3;       // log not writable, viewer not started

constexpr const char* kProductName = "Mireo";

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// "2007-03-05T10:30:00<TAB>error<TAB>0x80004005<TAB>function<TAB>message" + eol.
// The message keeps its tabs (it is the last field) but its line breaks are written
// as \r and \n so that one call stays one line; the function loses tabs and breaks.
std::string FormatLogLine(const LocalTime& time, std::int32_t level, std::int32_t code, const char* function,
                          const char* message, const char* eol);

// "trace", "warning", "error" for 1, 2, 3; other levels as their number.
std::string LevelName(std::int32_t level);

// A topic is a bare file name: no path separator, no "..", no drive or stream colon,
// no control character.
bool IsSafeTopic(const char* topic);

// Readable text of an HTML page for a terminal: tags dropped, head, script and style
// left out, blocks on lines of their own, list items dashed, common entities decoded.
std::string HtmlToText(std::string_view html);

// Wraps lines longer than width at spaces; continuation lines keep the indent of the
// line's text (after a "  - " list dash as well). Words longer than width stay whole.
std::string WrapText(std::string_view text, std::size_t width);

}  // namespace kelvo
