#pragma once
// The filter bits the actions share, and the category filter: made once per run from
// the text the user typed, then asked for every item (contacts now, events too).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mireo {

class ILogger;

// Filter mask bits of "Contacts.Export.Filter", "Contacts.Import.Filter",
// "Appointments.Export.Filter" and "Appointments.Import.Filter". The contact filters
// use the private and category bits; the event filters all of them.
constexpr std::uint32_t kEventFilterSkipAllDay = 1;
constexpr std::uint32_t kFilterSkipPrivate = 2;
constexpr std::uint32_t kFilterExcludeCategories = 4;
constexpr std::uint32_t kFilterIncludeCategories = 8;
constexpr std::uint32_t kEventFilterExcludeLabels = 16;
constexpr std::uint32_t kEventFilterIncludeLabels = 32;
constexpr std::uint32_t kEventFilterPeriod = 64;

// The names of a category list: split at the separator (";" when it is empty), each
// trimmed of white space (space, tab, CR, LF, no-break and ideographic space), empty
// names dropped.
std::vector<std::u16string> SplitCategories(std::u16string_view list, std::u16string_view separator);

class CCategoryFilter {
public:
    // mask: the run's filter bits (the category bits count here); text: the filter's
    // names as the user typed them, and the user's list separator (both UTF-8; ";" when
    // the separator is empty). source: the log source of the filter
    // ("CvCardExport::FilterContact").
    CCategoryFilter(std::uint32_t mask, std::string_view text, std::string_view listSeparator, ILogger& log,
                    const char* source);

    // Whether an item passes the category bits. readCategories() gives the item's
    // categories text; it is called only when a category bit is set and the filter names
    // a category. With a category bit and an empty filter text the item passes and
    // "filter.Categories empty" is logged (for each item, as the filter is asked).
    template <typename ReadCategories>
    bool Passes(ReadCategories&& readCategories) {
        if (!m_exclude && !m_include) return true;
        if (m_textEmpty) {
            LogTextEmpty();
            return true;
        }
        const bool match = Matches(readCategories());
        if (match && m_exclude) return false;
        if (!match && m_include) return false;
        return true;
    }

    // Whether a name of the list equals a name of the filter: whole names, compared
    // without regard to case.
    bool Matches(std::u16string_view list);

    // The separator the lists are split at.
    const std::u16string& Separator() const { return m_separator; }

private:
    void LogTextEmpty();

    bool m_exclude;
    bool m_include;
    bool m_textEmpty;
    std::u16string m_separator;
    std::vector<std::u16string> m_names;  // folded
    std::u16string m_folded;              // one item's name, folded; reused
    ILogger& m_log;
    const char* m_source;
};

}  // namespace mireo
