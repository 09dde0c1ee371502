#include "platform/windows_zones.h"

#include <algorithm>
#include <string>

namespace mireo {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string_view WindowsZoneOfTzdata(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = Lower(c);
    const std::span<const TzdataWindowsZone> all = TzdataWindowsZones();
    const auto it = std::lower_bound(all.begin(), all.end(), folded, [](const TzdataWindowsZone& z, const std::string& n) {
        return std::string_view(z.tzdataName) < n;
    });
    if (it == all.end() || std::string_view(it->tzdataName) != folded) return {};
    return it->windowsKey;
}

}  // namespace mireo
