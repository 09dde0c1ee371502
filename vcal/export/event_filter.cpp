#include "vcal/export/event_filter.h"

#include <cmath>

#include "engine/logger.h"
#include "vcal/common/item_zone.h"
#include "vcal/common/recurrence.h"

namespace mireo {
namespace {

constexpr const char* kFilterSource = "CvCalExport::FilterItem";
constexpr const char* kLabelSource = "CvCalExport::GetAppointmentLabel";

bool EndsWith(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::u16string TextOf(const Value& v) { return v.GetKind() == Value::Kind::Text ? v.AsText() : std::u16string(); }

}  // namespace

int GetAppointmentLabel(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags, ILogger& log) {
    if (utils == nullptr) return 0;
    // Per store: each store maps names to ids of its own.
    const PropTag tag = tags.Get(*utils, item, kAppointmentPropertySet, kLabelProperty);
    if (tag == 0) {
        log.LogMsg("prTAG == 0", 0, kLabelSource, kWarning, kLogFlags);
        return 0;
    }
    try {
        return safe.Fields((tag & 0xFFFF0000u) | kPtLong).AsInt();
    } catch (const HostError& e) {
        log.LogMsg("pSafeItem->get_Fields failed", e.Hr(), kLabelSource, kWarning, kLogFlags);
        return 0;
    }
}

CEventFilter::CEventFilter(const EventFilter& filter, const std::string& separator, ILogger& log)
    : m_filter(filter),
      m_categories(filter.mask, filter.categories, separator, log, kFilterSource),
      m_log(log) {}

bool CEventFilter::LabelMatches(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags) {
    const std::uint32_t labels = m_filter.labelMask;
    const int n = GetAppointmentLabel(item, safe, utils, tags, m_log);
    if (n >= 1 && n <= 32 && (labels & (1u << (n - 1))) != 0) return true;
    // The items the host makes for contacts' birthdays and anniversaries carry no label.
    const bool birthday = (labels & (1u << (kLabelBirthday - 1))) != 0;
    const bool anniversary = (labels & (1u << (kLabelAnniversary - 1))) != 0;
    if (!birthday && !anniversary) return false;
    if (!item.Get("IsRecurring").AsBool()) return false;
    std::unique_ptr<IRecurrencePattern> pattern = item.GetRecurrencePattern();
    if (pattern->Get("RecurrenceType").AsInt() != kRecursYearly || pattern->Get("Duration").AsInt() != 1440)
        return false;
    const std::u16string subject = TextOf(item.Get("Subject"));
    return (birthday && EndsWith(subject, u"'s Birthday")) || (anniversary && EndsWith(subject, u"'s Anniversary"));
}

bool CEventFilter::InPeriod(IItem& item) {
    if (!m_filter.periodStart || !m_filter.periodEnd) return true;
    const OleDate start = item.Get("Start").AsDate();
    OleDate end = item.Get("End").AsDate();
    if (item.Get("IsRecurring").AsBool()) {
        // A series is in the period when any of its occurrences may be: from its first
        // start to the end of its last day's occurrence, without end when it has none.
        std::unique_ptr<IRecurrencePattern> pattern = item.GetRecurrencePattern();
        if (pattern->Get("NoEndDate").AsBool()) {
            end = kNoDate;
        } else {
            const OleDate last = pattern->Get("PatternEndDate").AsDate();
            const OleDate lastEnd = std::floor(last) + (end - start) + (start - std::floor(start));
            if (lastEnd > end) end = lastEnd;
        }
    }
    const OleDate periodStart = OleFromLocal(*m_filter.periodStart);
    const OleDate periodEnd = OleFromLocal(*m_filter.periodEnd);
    return !(start >= periodEnd || end <= periodStart);
}

bool CEventFilter::Passes(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags) {
    const std::uint32_t mask = m_filter.mask;
    if (mask == 0) return true;
    if ((mask & kEventFilterSkipAllDay) != 0) {
        if (item.Get("AllDayEvent").AsBool()) return false;
        const double span = item.Get("End").AsDate() - item.Get("Start").AsDate();
        const long long seconds = std::llround(span * 86400.0);
        if (seconds >= 86400 && seconds % 86400 == 0) return false;
    }
    if ((mask & kFilterSkipPrivate) != 0 && item.Get("Sensitivity").AsInt() != 0) return false;
    if (!m_categories.Passes([&item] { return TextOf(item.Get("Categories")); })) return false;
    if ((mask & (kEventFilterExcludeLabels | kEventFilterIncludeLabels)) != 0) {
        if (m_filter.labelMask == 0) {
            m_log.LogMsg("filter.LabelMask = 0", 0, kFilterSource, kWarning, kLogFlags);
        } else {
            const bool match = LabelMatches(item, safe, utils, tags);
            if (match && (mask & kEventFilterExcludeLabels) != 0) return false;
            if (!match && (mask & kEventFilterIncludeLabels) != 0) return false;
        }
    }
    if ((mask & kEventFilterPeriod) != 0 && !InPeriod(item)) return false;
    return true;
}

}  // namespace mireo
