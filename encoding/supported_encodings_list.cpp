#include "encoding/supported_encodings_list.h"

#include <climits>
#include <cstdint>

namespace mireo {
namespace {

constexpr std::size_t kFieldCount = 3;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// ' ', \t, \n, \v, \f, \r: what strtol skips in the "C" locale.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::size_t SplitEncodingLine(std::string_view line, std::string_view* fields, std::size_t maxFields) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < maxFields) {
        while (i < line.size() && line[i] == '|') ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != '|') ++i;
        fields[count++] = line.substr(start, i - start);
    }
    return count;
}

int ParseCodePageField(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && IsSpace(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    std::int64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool SupportedEncodingsList::LoadFromText(std::string_view text) {
    m_records.clear();
    std::size_t bad = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsLineBreak(text[end])) ++end;
        const std::string_view line = text.substr(pos, end - pos);
        // Runs of CR and LF go with the line, so only a break at the very start of the
        // text gives an empty line.
        if (line.empty()) break;
        while (end < text.size() && IsLineBreak(text[end])) ++end;
        pos = end;

        std::string_view fields[kFieldCount];
        if (SplitEncodingLine(line, fields, kFieldCount) < kFieldCount) {
            ++bad;
            continue;
        }
        // Zero, negative or no number: the special values -1 and -2 must not come from
        // the file.
        const int codePage = ParseCodePageField(fields[2]);
        if (codePage <= 0) {
            ++bad;
            continue;
        }
        m_records.push_back({std::string(fields[0]), std::string(fields[1]), codePage});
    }
    if (bad > 0 || m_records.empty()) {
        SetUtf8Only();
        return false;
    }
    return true;
}

void SupportedEncodingsList::SetUtf8Only() {
    m_records.clear();
    m_records.push_back({"UTF-8", "UTF-8", 65001});
}

}  // namespace mireo
