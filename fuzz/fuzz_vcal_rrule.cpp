// Feeds any bytes to the vCalendar 1.0 recurrence rule parser (fuzz/rrule_fuzz_check.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/rrule_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mireo::fuzzing::CheckRule(std::string_view(reinterpret_cast<const char*>(data), size), mireo::kCalFormatVCal);
    return 0;
}
