#include "textformat/date_text.h"

#include <cstdio>

#include "platform/ascii.h"

namespace mireo {
namespace {

std::string Format(const char* pattern, const CivilTime& c) {
    char buf[40];
    std::snprintf(buf, sizeof buf, pattern, c.year, c.month, c.day, c.hour, c.minute, c.second);
    return buf;
}

// Reads up to maxDigits digits (0: any number, capped at 9) at pos; false when none.
bool ReadNumber(std::string_view s, std::size_t& pos, int maxDigits, int& value) {
    const std::size_t limit = maxDigits > 0 ? static_cast<std::size_t>(maxDigits) : 9;
    std::size_t n = 0;
    value = 0;
    while (pos < s.size() && n < limit && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    if (maxDigits == 0) {
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            value = 1000000000;  // too large for any field
            ++pos;
        }
    }
    return n > 0;
}

// Exactly `digits` digits at pos.
bool ReadFixed(std::string_view s, std::size_t& pos, int digits, int& value) {
    const std::size_t start = pos;
    return ReadNumber(s, pos, digits, value) && pos - start == static_cast<std::size_t>(digits);
}

// "YYYYMMDD", "YYYYMMDDTHHMMSS" and the same with "Z", digit by digit: the calendar
// writer formats several per event, and a formatted print costs more than the event.
std::string Compact(const CivilTime& c, bool time, bool utc) {
    if (c.year < 0 || c.year > 9999) {
        if (!time) return Format("%04d%02d%02d", c);
        return Format(utc ? "%04d%02d%02dT%02d%02d%02dZ" : "%04d%02d%02dT%02d%02d%02d", c);
    }
    char buf[16];
    auto two = [&buf](int at, int v) {
        buf[at] = static_cast<char>('0' + v / 10);
        buf[at + 1] = static_cast<char>('0' + v % 10);
    };
    two(0, c.year / 100);
    two(2, c.year % 100);
    two(4, c.month);
    two(6, c.day);
    std::size_t n = 8;
    if (time) {
        buf[8] = 'T';
        two(9, c.hour);
        two(11, c.minute);
        two(13, c.second);
        n = 15;
        if (utc) buf[n++] = 'Z';
    }
    return std::string(buf, n);
}

}  // namespace

std::string FormatBasicDate(LocalTime t) { return Compact(Split(t), false, false); }
std::string FormatIsoDate(LocalTime t) { return Format("%04d-%02d-%02d", Split(t)); }
std::string FormatDateTime(LocalTime t) { return Compact(Split(t), true, false); }
std::string FormatDateTime(UtcTime t) { return Compact(Split(t), true, true); }

std::optional<DateTimeText> ParseDateTime(std::string_view text) {
    text = ascii::Trim(text);
    CivilTime c{0, 0, 0, 0, 0, 0};
    DateTimeText out;
    std::size_t pos = 0;
    if (!ReadFixed(text, pos, 4, c.year)) return std::nullopt;
    const bool iso = pos < text.size() && text[pos] == '-';
    if (iso) ++pos;
    if (!ReadFixed(text, pos, 2, c.month)) return std::nullopt;
    if (iso && (pos >= text.size() || text[pos++] != '-')) return std::nullopt;
    if (!ReadFixed(text, pos, 2, c.day)) return std::nullopt;
    if (!iso && pos < text.size() && text[pos] == 'T') {
        ++pos;
        if (!ReadFixed(text, pos, 2, c.hour) || !ReadFixed(text, pos, 2, c.minute) ||
            !ReadFixed(text, pos, 2, c.second)) {
            return std::nullopt;
        }
        out.hasTime = true;
        if (pos < text.size() && text[pos] == 'Z') {
            ++pos;
            out.utc = true;
        }
        if (c.second == 60) c.second = 59;  // a leap second
    }
    if (pos != text.size() || !IsValidCivil(c)) return std::nullopt;
    out.time = ToLocal(c);
    return out;
}

std::optional<LocalTime> ParseDatePrefix(std::string_view text) {
    text = ascii::Trim(text);
    int y = 0, m = 0, d = 0;
    std::size_t pos = 0;
    if (text.find('-') != std::string_view::npos) {
        if (!ReadNumber(text, pos, 0, y) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
        if (!ReadNumber(text, pos, 0, m) || pos >= text.size() || text[pos++] != '-') return std::nullopt;
        if (!ReadNumber(text, pos, 0, d)) return std::nullopt;
    } else {
        if (!ReadNumber(text, pos, 4, y) || !ReadNumber(text, pos, 2, m) || !ReadNumber(text, pos, 2, d)) {
            return std::nullopt;
        }
    }
    const CivilTime c{y, m, d, 0, 0, 0};
    if (y < 100 || y > 9999 || !IsValidCivil(c)) return std::nullopt;
    return ToLocal(c);
}

}  // namespace mireo
