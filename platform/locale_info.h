#pragma once
// The user's regional choices that the formats and filters depend on.
#include <cstddef>
#include <string>
#include <string_view>

namespace mireo {

class ILocaleInfo {
public:
    virtual ~ILocaleInfo() = default;
    // LOCALE_SLIST of the user default locale, UTF-8 ("," for en-US).
    virtual std::string ListSeparator() = 0;
    // LOCALE_SSHORTDATE picture of the user default locale ("M/d/yyyy" for en-US).
    virtual std::string ShortDateFormat() = 0;
};

// Windows: the user default locale. Linux: the values sList and sShortDate under
// "HKEY_CURRENT_USER\Control Panel\International" of the registry substitute,
// defaulting to "," and "M/d/yyyy".
ILocaleInfo& SystemLocaleInfo();

// Formats a date by a Windows short-date picture (d, dd, M, MM, MMM, MMMM, y, yy, yyyy,
// quoted literals); the host's filter texts are written and parsed with it.
std::string FormatShortDate(const std::string& picture, int year, int month, int day);

// The inverse of FormatShortDate: reads a date written by the picture. Day and month
// names are matched in English, ignoring case; a two-digit year is taken from
// 1930..2029. False when the text does not match or the date does not exist.
bool ParseShortDate(const std::string& picture, std::string_view text, int& year, int& month, int& day);
// The same, reading a date at the start of the text; consumed is set to the number of
// bytes the date took (what follows, such as a time, is left to the caller).
bool ParseShortDatePrefix(const std::string& picture, std::string_view text, int& year, int& month, int& day,
                          std::size_t& consumed);

}  // namespace mireo
