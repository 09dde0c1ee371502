#pragma once
// The user's regional choices that the formats and filters depend on.
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

// Reads a date written by FormatShortDate with the same picture; the whole text must
// match. False (and the outputs untouched) when it does not or the date is invalid.
bool ParseShortDate(const std::string& picture, std::string_view text, int& y, int& m, int& d);

}  // namespace mireo
