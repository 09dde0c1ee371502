#include "platform/time_zone.h"

namespace mireo {
namespace {

void Put16(std::uint8_t* out, std::uint16_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(const std::uint8_t* in) { return static_cast<std::uint16_t>(in[0] | (in[1] << 8)); }

std::int32_t Get32(const std::uint8_t* in) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | in[i];
    return static_cast<std::int32_t>(v);
}

}  // namespace

void EncodeSystemTime(const SystemTime& t, std::uint8_t* out) {
    const std::uint16_t fields[8] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (int i = 0; i < 8; ++i) Put16(out + 2 * i, fields[i]);
}

SystemTime DecodeSystemTime(const std::uint8_t* in) {
    SystemTime t;
    t.year = Get16(in);
    t.month = Get16(in + 2);
    t.dayOfWeek = Get16(in + 4);
    t.day = Get16(in + 6);
    t.hour = Get16(in + 8);
    t.minute = Get16(in + 10);
    t.second = Get16(in + 12);
    t.milliseconds = Get16(in + 14);
    return t;
}

std::array<std::uint8_t, kTziSize> EncodeTzi(const TimeZoneInfo& info) {
    std::array<std::uint8_t, kTziSize> out{};
    Put32(out.data(), info.bias);
    Put32(out.data() + 4, info.standardBias);
    Put32(out.data() + 8, info.daylightBias);
    EncodeSystemTime(info.standardDate, out.data() + 12);
    EncodeSystemTime(info.daylightDate, out.data() + 28);
    return out;
}

std::optional<TimeZoneInfo> DecodeTzi(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kTziSize) return std::nullopt;
    TimeZoneInfo info;
    info.bias = Get32(bytes.data());
    info.standardBias = Get32(bytes.data() + 4);
    info.daylightBias = Get32(bytes.data() + 8);
    info.standardDate = DecodeSystemTime(bytes.data() + 12);
    info.daylightDate = DecodeSystemTime(bytes.data() + 28);
    return info;
}

}  // namespace mireo
