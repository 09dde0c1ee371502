#include "vcal/common/export_zones.h"

#include "vcal/common/system_zone.h"
#include "vcal/common/zone_text.h"

namespace mireo {

void CExportZones::ClearCurrent() {
    m_name.clear();
    m_rule = ZoneRule{};
}

bool CExportZones::GenVTimezone(IItem& item, IMapiUtils* utils) {
    ClearCurrent();
    if (!item.Get("IsRecurring").AsBool()) return false;

    ZoneRule rule;
    std::string name;
    if (utils == nullptr || !ReadItemZone(item, *utils, m_tags, rule, name)) {
        name.clear();
        std::uint32_t error = 0;
        if (!ReadSystemZone(rule, error, m_computer)) {
            m_log.LogMsg("Cant get System Timezone Information", static_cast<long>(error), "CvCalExport::GenVTimezone",
                         kError, kLogFlags);
            return false;
        }
    }
    if (name.empty()) name = ZoneNameFromBias(rule);

    // A zone already in the file keeps its first name, whatever this item calls it.
    for (const auto& [written, writtenRule] : m_written) {
        if (ZonesEqual(writtenRule, rule)) {
            m_name = written;
            m_rule = rule;
            return true;
        }
    }
    if (IsWritten(name)) {
        std::string numbered;
        for (int n = 2;; ++n) {
            numbered = name + " (" + std::to_string(n) + ")";
            if (!IsWritten(numbered)) break;
        }
        name = std::move(numbered);
    }
    m_name = std::move(name);
    m_rule = rule;
    return true;
}

}  // namespace mireo
