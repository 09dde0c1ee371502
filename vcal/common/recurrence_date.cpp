#include "vcal/common/recurrence_date.h"

namespace mireo {

namespace {

bool Digits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int Number(std::string_view s) {
    int n = 0;
    for (char c : s) n = n * 10 + (c - '0');
    return n;
}

}  // namespace

std::optional<CalDateTime> ParseCalDateTime(std::string_view s) {
    if (s.size() != 8 && s.size() != 15 && s.size() != 16) return std::nullopt;
    if (!Digits(s.substr(0, 8))) return std::nullopt;
    CalDateTime d;
    d.civil = CivilTime{Number(s.substr(0, 4)), Number(s.substr(4, 2)), Number(s.substr(6, 2)), 0, 0, 0};
    if (s.size() > 8) {
        if ((s[8] != 'T' && s[8] != 't') || !Digits(s.substr(9, 6))) return std::nullopt;
        if (s.size() == 16 && s[15] != 'Z' && s[15] != 'z') return std::nullopt;
        d.hasTime = true;
        d.utc = s.size() == 16;
        d.civil.hour = Number(s.substr(9, 2));
        d.civil.minute = Number(s.substr(11, 2));
        d.civil.second = Number(s.substr(13, 2));
        if (d.civil.second == 60) d.civil.second = 59;
    }
    if (!IsValidCivil(d.civil)) return std::nullopt;
    return d;
}

}  // namespace mireo
