#pragma once
// CvCalExport::FilterItem: whether an appointment is exported, by the filter page's
// mask (all-day, private, categories, labels, period); and the appointment's label.
#include <string>

#include "engine/category_filter.h"
#include "engine/item_store.h"
#include "vcal/export/event_export.h"

namespace mireo {

class CNamedPropTags;
class ILogger;

// The label's named property: 0x8214 of the appointment set, a 32-bit number 0..10.
constexpr std::uint16_t kLabelProperty = 0x8214;

// CvCalExport::GetAppointmentLabel: the label number, 0 when none or not readable.
int GetAppointmentLabel(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags, ILogger& log);

class CEventFilter {
public:
    // separator: the user's list separator (UTF-8; ";" when empty).
    CEventFilter(const EventFilter& filter, const std::string& separator, ILogger& log);

    // True to export. `safe` has the item attached. Host failures are raised.
    bool Passes(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags);

private:
    bool LabelMatches(IItem& item, ISafeItem& safe, IMapiUtils* utils, CNamedPropTags& tags);
    bool InPeriod(IItem& item);

    EventFilter m_filter;
    CCategoryFilter m_categories;
    ILogger& m_log;
};

}  // namespace mireo
