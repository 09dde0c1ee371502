#include "platform/locale_info.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/ascii.h"

namespace mireo {
namespace {

constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Calendar facts from <chrono> (proleptic Gregorian); m is 1..12.
int DaysInMonth(int y, int m) {
    using namespace std::chrono;
    return static_cast<int>(static_cast<unsigned>((year{y} / month{static_cast<unsigned>(m)} / last).day()));
}

// 0 = Sunday.
int DayOfWeek(int y, int m, int d) {
    using namespace std::chrono;
    const sys_days day{year{y} / month{static_cast<unsigned>(m)} / static_cast<unsigned>(d)};
    return static_cast<int>(weekday{day}.c_encoding());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One element of a picture: a run of d, M or y, or literal text.
struct Token {
    char field = 0;  // 'd', 'M', 'y' or 0 for literal text
    int count = 0;
    std::string literal;
};

// Splits a picture into tokens. Text in single quotes is literal ('' inside quotes is
// one quote; outside it is an empty quotation); 'g' (the era) has no equivalent here and is dropped.
template <typename Sink>
void Tokenise(const std::string& picture, Sink sink) {
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == 'd' || c == 'M' || c == 'y' || c == 'g') {
            std::size_t j = i;
            while (j < picture.size() && picture[j] == c) ++j;
            if (c != 'g') sink(Token{c, static_cast<int>(j - i), {}});
            i = j;
        } else if (c == '\'') {
            Token t;
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        t.literal += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.literal += picture[i++];
            }
            if (!t.literal.empty()) sink(std::move(t));
        } else {
            sink(Token{0, 0, std::string(1, c)});
            ++i;
        }
    }
}

std::string Number(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// Matches the longest of the names (full or first three letters) at text[pos].
int MatchName(std::string_view text, std::size_t& pos, const char* const* names, int count) {
    for (int full = 1; full >= 0; --full) {
        for (int k = 0; k < count; ++k) {
            const std::string_view name = full ? std::string_view(names[k]) : std::string_view(names[k], 3);
            if (pos <= text.size() && ascii::StartsWithNoCase(text.substr(pos), name)) {
                pos += name.size();
                return k;
            }
        }
    }
    return -1;
}

// Reads between 1 and maxDigits digits; fewer when the next token is a number too.
bool ReadNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value, int& digits) {
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits && IsDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

}  // namespace

std::string FormatShortDate(const std::string& picture, int year, int month, int day) {
    std::string out;
    const bool validMonth = month >= 1 && month <= 12;
    Tokenise(picture, [&](Token t) {
        switch (t.field) {
            case 'd':
                if (t.count <= 2) {
                    out += Number(day, t.count);
                } else if (validMonth && day >= 1 && day <= 31) {
                    const char* name = kDayNames[DayOfWeek(year, month, day)];
                    out += t.count == 3 ? std::string(name, 3) : std::string(name);
                }
                break;
            case 'M':
                if (t.count <= 2) out += Number(month, t.count);
                else if (validMonth) out += t.count == 3 ? std::string(kMonthNames[month - 1], 3) : kMonthNames[month - 1];
                break;
            case 'y':
                // "y" is the year of the century without a leading zero.
                if (t.count == 1) out += Number(((year % 100) + 100) % 100, 1);
                else if (t.count == 2) out += Number(((year % 100) + 100) % 100, 2);
                else out += Number(year, 4);
                break;
            default:
                out += t.literal;
        }
    });
    return out;
}

bool ParseShortDatePrefix(const std::string& picture, std::string_view text, int& year, int& month, int& day,
                          std::size_t& consumed) {
    std::vector<Token> tokens;
    Tokenise(picture, [&](Token t) { tokens.push_back(std::move(t)); });
    int y = -1, m = -1, d = -1;
    int weekday = -1;
    bool twoDigitYear = false;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        // Without a separator to the next number, a field takes exactly its width.
        const bool nextIsNumber =
            i + 1 < tokens.size() && tokens[i + 1].field != 0 && tokens[i + 1].count <= (tokens[i + 1].field == 'y' ? 4 : 2);
        int value = 0, digits = 0;
        switch (t.field) {
            case 'd':
                if (t.count <= 2) {
                    if (!ReadNumber(text, pos, nextIsNumber ? (t.count == 2 ? 2 : 1) : 2, value, digits)) return false;
                    d = value;
                } else {
                    weekday = MatchName(text, pos, kDayNames, 7);
                    if (weekday < 0) return false;
                }
                break;
            case 'M':
                if (t.count <= 2) {
                    if (!ReadNumber(text, pos, nextIsNumber ? (t.count == 2 ? 2 : 1) : 2, value, digits)) return false;
                    m = value;
                } else {
                    const int k = MatchName(text, pos, kMonthNames, 12);
                    if (k < 0) return false;
                    m = k + 1;
                }
                break;
            case 'y': {
                const int width = t.count <= 2 ? 2 : 4;
                if (!ReadNumber(text, pos, width, value, digits)) return false;
                y = value;
                twoDigitYear = digits <= 2;
                break;
            }
            default:
                if (text.substr(pos, t.literal.size()) != t.literal) return false;
                pos += t.literal.size();
        }
    }
    if (y < 0 || m < 0 || d < 0) return false;
    if (twoDigitYear) y += y < 30 ? 2000 : 1900;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    if (weekday >= 0 && weekday != DayOfWeek(y, m, d)) return false;
    year = y;
    month = m;
    day = d;
    consumed = pos;
    return true;
}

bool ParseShortDate(const std::string& picture, std::string_view text, int& year, int& month, int& day) {
    std::size_t consumed = 0;
    int y = 0, m = 0, d = 0;
    if (!ParseShortDatePrefix(picture, text, y, m, d, consumed) || consumed != text.size()) return false;
    year = y;
    month = m;
    day = d;
    return true;
}

}  // namespace mireo
