#include "engine/run_summary.h"

#include <cstdio>
#include <vector>

#include "platform/user_strings.h"

namespace mireo {

std::string SummaryText(const RunCounters& counters, int verbStringId) {
    int id = 104;  // completed successfully
    if (counters.failed > 0 && counters.skipped > 0) {
        id = 107;
    } else if (counters.failed > 0) {
        id = 105;
    } else if (counters.skipped > 0) {
        id = 106;
    }
    const std::string pattern = LoadUserString(id);
    const std::string verb = LoadUserString(verbStringId);
    std::string out;
    const std::size_t at = pattern.find("%s");
    if (at == std::string::npos) return pattern;
    out.reserve(pattern.size() + verb.size());
    out.append(pattern, 0, at).append(verb).append(pattern, at + 2, std::string::npos);
    return out;
}

}  // namespace mireo
