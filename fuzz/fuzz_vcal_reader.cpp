// Feeds any bytes to the calendar reader, as a .vcs and as an .ics. Besides not crashing
// or hanging, every VEVENT the counting pass finds must be handed on or dropped (or the
// reading stopped at an unknown VERSION), and every date of an event must convert.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "encoding/mireo_char_converter.h"
#include "vcal/import/vcal_reader.h"

namespace {

constexpr std::string_view kEncodings =
    "UTF-8|UTF-8|65001\n"
    "Western European (Windows-1252)|windows-1252|1252\n"
    "Cyrillic (Windows-1251)|windows-1251|1251\n"
    "Japanese (Shift-JIS)|Shift_JIS|932\n";

mireo::MireoCharConverter& Converter() {
    static std::unique_ptr<mireo::MireoCharConverter> converter = mireo::MireoCharConverter::FromText(kEncodings);
    return *converter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"fuzz.vcs", "fuzz.ics"}) {
        const int counted = mireo::CvCalReader::CountEvents(bytes, name);
        mireo::VCalReaderOptions options;
        options.defaultZone.bias = -60;
        options.computerZone = mireo::ZoneRule{};
        mireo::CvCalReader reader(&Converter(), options);
        reader.Open(bytes, name);
        mireo::EventRecord event;
        int read = 0;
        mireo::CvCalReader::Result r;
        while ((r = reader.Next(event)) == mireo::CvCalReader::Result::kEvent) {
            ++read;
            for (const auto* d : {&event.start, &event.end, &event.recurrenceId}) {
                if (*d) (void)reader.ToDate(**d, mireo::DateMode::kTarget, event.start->tzid);
            }
            for (const auto& d : event.exdates) (void)reader.ToDate(d, mireo::DateMode::kComputer);
        }
        const int seen = read + reader.Dropped();
        if (r == mireo::CvCalReader::Result::kEnd ? seen != counted : seen > counted) std::abort();
    }
    return 0;
}
