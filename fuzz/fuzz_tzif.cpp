// Feeds any bytes to the TZif reader: as they are, and behind a well-formed header so
// the data blocks and the footer are reached. A file that is read must give offsets
// within 25 hours and a Windows rule whose transitions can be computed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/tz_data.h"
#include "vcal/common/zone_rule.h"

namespace {

void Check(std::string_view bytes) {
    using namespace mireo;
    const std::optional<tzdata::TzifData> data = tzdata::ReadTzif(bytes);
    if (!data) return;
    for (std::int64_t t : {std::int64_t{-4000000000}, std::int64_t{0}, std::int64_t{1719835200},
                           std::int64_t{4102444800}}) {
        const std::int32_t offset = tzdata::UtcOffsetAt(*data, t);
        if (offset < -25 * 3600 || offset > 25 * 3600) std::abort();  // a footer rule may say 24 h, daylight one more
        if (!IsValidZoneRule(ZoneRule::FromInfo(tzdata::ZoneOf(*data, t)))) std::abort();
    }
}

void Be32(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    // A version 2 file: an empty 32-bit block, then a 64-bit header whose small counts
    // come from the first bytes, then the rest as its data and footer.
    if (size < 3) return 0;
    std::string file;
    auto header = [&](std::uint32_t times, std::uint32_t types, std::uint32_t chars) {
        file += "TZif2";
        file.append(15, '\0');
        for (std::uint32_t n : {0u, 0u, 0u, times, types, chars}) Be32(file, n);
    };
    header(0, 1, 1);
    file.append(7, '\0');
    header(data[0] % 16, 1 + data[1] % 8, 1 + data[2] % 8);
    file.append(bytes.substr(3));
    Check(file);
    return 0;
}
