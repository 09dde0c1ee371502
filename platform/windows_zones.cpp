#include "platform/windows_zones.h"

#include <algorithm>
#include <string>

#include "platform/ascii.h"

namespace mireo {

std::string_view WindowsZoneOfTzdata(std::string_view name) {
    const std::string folded = ascii::Lower(name);
    const std::span<const TzdataWindowsZone> all = TzdataWindowsZones();
    const auto it = std::lower_bound(all.begin(), all.end(), folded, [](const TzdataWindowsZone& z, const std::string& n) {
        return std::string_view(z.tzdataName) < n;
    });
    if (it == all.end() || std::string_view(it->tzdataName) != folded) return {};
    return it->windowsKey;
}

}  // namespace mireo
