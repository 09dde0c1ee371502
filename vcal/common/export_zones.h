#pragma once
// The zones of an export run: the zone the current event is written in, and the zones
// already written to the current file, by name.
#include <map>
#include <string>
#include <string_view>

#include "engine/item_store.h"
#include "engine/logger.h"
#include "platform/time_zone.h"
#include "vcal/common/item_zone.h"
#include "vcal/common/zone_rule.h"

namespace mireo {

class CExportZones {
public:
    explicit CExportZones(ILogger& log, ITimeZoneSource& computer = SystemTimeZone()) : m_log(log), m_computer(computer) {}

    // CvCalExport::GenVTimezone: the zone of an item about to be exported. Only a
    // recurring item uses a zone (any other is written in UTC): its own, else the
    // computer's. The name is the zone's description, else "(GMT-05:00)" from its bias;
    // a zone already written to this file under another name is reused by that name,
    // and a name already written with another rule becomes "name (2)", "name (3)", ...
    // False when there is no zone: the item is not recurring, or no zone can be read
    // ("Cant get System Timezone Information" is logged). `utils` may be null (the
    // outside library is missing): the computer's zone is used. Host failures are raised.
    bool GenVTimezone(IItem& item, IMapiUtils* utils);

    // The current item's zone, set by GenVTimezone.
    const std::string& Name() const { return m_name; }
    const ZoneRule& Rule() const { return m_rule; }
    void ClearCurrent();

    // The written-zones map of the current file; names compare exactly.
    bool IsWritten(std::string_view name) const { return m_written.find(name) != m_written.end(); }
    void MarkWritten(const std::string& name, const ZoneRule& rule) { m_written[name] = rule; }
    // A new file: nothing written yet.
    void ClearWritten() { m_written.clear(); }

    CNamedPropTags& Tags() { return m_tags; }

private:
    ILogger& m_log;
    ITimeZoneSource& m_computer;
    CNamedPropTags m_tags;
    std::string m_name;
    ZoneRule m_rule;
    std::map<std::string, ZoneRule, std::less<>> m_written;
};

}  // namespace mireo
