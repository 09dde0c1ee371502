#pragma once
// The counters of one run and the sentence the finish pages make of them.
#include <cstdint>
#include <string>

namespace mireo {

struct RunCounters {
    std::int32_t skipped = 0;
    std::int32_t failed = 0;
    std::int32_t succeeded = 0;

    std::int32_t Total() const { return skipped + failed + succeeded; }
};

// User string ids of the verbs.
constexpr int kStrVerbImport = 108;
constexpr int kStrVerbExport = 109;

// "Export completed successfully." and its three siblings (strings 104 to 107),
// chosen by whether anything failed and whether anything was skipped.
std::string SummaryText(const RunCounters& counters, int verbStringId);

}  // namespace mireo
