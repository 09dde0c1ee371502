// Short-date pictures made of d, dd, M, MM, yy, yyyy and separators, until the
// platform's formatter (which also knows month names and quoted literals) is in
// place; this file goes when that one lands.
#include <cctype>
#include <cstdio>

#include "engine/host_value.h"
#include "platform/locale_info.h"

namespace mireo {

namespace {
// Length of the run of `c` starting at `i`.
std::size_t RunLength(const std::string& s, std::size_t i) {
    std::size_t n = 1;
    while (i + n < s.size() && s[i + n] == s[i]) ++n;
    return n;
}
}  // namespace

std::string FormatShortDate(const std::string& picture, int year, int month, int day) {
    std::string out;
    char buf[16];
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        const std::size_t n = RunLength(picture, i);
        if (c == 'd') {
            std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", day);
            out += buf;
        } else if (c == 'M') {
            std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", month);
            out += buf;
        } else if (c == 'y') {
            if (n >= 3) std::snprintf(buf, sizeof buf, "%04d", year);
            else std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", year % 100);
            out += buf;
        } else {
            out.append(n, c);
        }
        i += n;
    }
    return out;
}

bool ParseShortDate(const std::string& picture, std::string_view text, int& y, int& m, int& d) {
    int year = -1, month = -1, day = -1;
    std::size_t t = 0;
    auto readNumber = [&](std::size_t minDigits, std::size_t maxDigits, int& out) {
        std::size_t k = 0;
        int v = 0;
        while (k < maxDigits && t + k < text.size() && std::isdigit(static_cast<unsigned char>(text[t + k]))) {
            v = v * 10 + (text[t + k] - '0');
            ++k;
        }
        if (k < minDigits) return false;
        t += k;
        out = v;
        return true;
    };
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        const std::size_t n = RunLength(picture, i);
        if (c == 'd') {
            if (!readNumber(1, 2, day)) return false;
        } else if (c == 'M') {
            if (!readNumber(1, 2, month)) return false;
        } else if (c == 'y') {
            if (n >= 3) {
                if (!readNumber(4, 4, year)) return false;
            } else {
                int yy = 0;
                if (!readNumber(1, 2, yy)) return false;
                year = yy < 30 ? 2000 + yy : 1900 + yy;  // the system's 1930..2029 window
            }
        } else {
            for (std::size_t k = 0; k < n; ++k, ++t) {
                if (t >= text.size() || text[t] != c) return false;
            }
        }
        i += n;
    }
    if (t != text.size() || year < 0 || month < 1 || month > 12 || day < 1) return false;
    if (day > DaysInMonth(year, month)) return false;
    y = year;
    m = month;
    d = day;
    return true;
}

}  // namespace mireo
