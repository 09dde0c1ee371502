#include "engine/category_filter.h"

#include <algorithm>

#include "engine/logger.h"
#include "platform/case_fold.h"
#include "platform/utf.h"

namespace mireo {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == 0x3000; }

std::u16string_view TrimSpace(std::u16string_view name) {
    while (!name.empty() && IsSpace(name.front())) name.remove_prefix(1);
    while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
    return name;
}

// Calls f(name) for each non-empty trimmed name of the list until f answers false.
template <typename F>
void ForEachName(std::u16string_view list, std::u16string_view separator, F f) {
    if (separator.empty()) separator = u";";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(separator, start);
        if (end == std::u16string_view::npos) end = list.size();
        const std::u16string_view name = TrimSpace(list.substr(start, end - start));
        if (!name.empty() && !f(name)) return;
        start = end + separator.size();
    }
}

std::u16string FromUtf8(std::string_view text) { return utf::Utf8ToUtf16(text, utf::BadUtf8::kWholeSequence); }

}  // namespace

std::vector<std::u16string> SplitCategories(std::u16string_view list, std::u16string_view separator) {
    std::vector<std::u16string> names;
    ForEachName(list, separator, [&](std::u16string_view name) {
        names.emplace_back(name);
        return true;
    });
    return names;
}

CCategoryFilter::CCategoryFilter(std::uint32_t mask, std::string_view text, std::string_view listSeparator,
                                 ILogger& log, const char* source)
    : m_exclude((mask & kFilterExcludeCategories) != 0),
      m_include((mask & kFilterIncludeCategories) != 0),
      m_textEmpty(text.empty()),
      m_separator(FromUtf8(listSeparator.empty() ? std::string_view(";") : listSeparator)),
      m_log(log),
      m_source(source) {
    m_names = SplitCategories(FromUtf8(text), m_separator);
    for (std::u16string& name : m_names) FoldCaseInPlace(name);
}

bool CCategoryFilter::Matches(std::u16string_view list) {
    bool match = false;
    ForEachName(list, m_separator, [&](std::u16string_view name) {
        m_folded.assign(name);
        FoldCaseInPlace(m_folded);
        match = std::find(m_names.begin(), m_names.end(), m_folded) != m_names.end();
        return !match;
    });
    return match;
}

void CCategoryFilter::LogTextEmpty() {
    m_log.LogMsg("filter.Categories empty", 0, m_source, kWarning, kLogFlags);
}

}  // namespace mireo
