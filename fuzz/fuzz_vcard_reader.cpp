// Feeds any bytes to the vCard reader. Besides not crashing or hanging, the counting
// pass must agree with the cards read, also with small line and card limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "encoding/mireo_char_converter.h"
#include "vcard/vcard_reader.h"

namespace {

constexpr std::string_view kEncodings =
    "UTF-8|UTF-8|65001\n"
    "Western European (Windows-1252)|windows-1252|1252\n"
    "Cyrillic (Windows-1251)|windows-1251|1251\n"
    "Japanese (Shift-JIS)|Shift_JIS|932\n"
    "Simplified Chinese (GB2312)|GB2312|936\n"
    "Western European (ISO-8859-1)|ISO-8859-1|28591\n";

mireo::MireoCharConverter& Converter() {
    static std::unique_ptr<mireo::MireoCharConverter> converter = mireo::MireoCharConverter::FromText(kEncodings);
    return *converter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int counted = mireo::CvCardReader::CountCards(bytes);
    mireo::VCardReaderOptions options;
    options.invalidElement = [](const std::string& message) {
        if (message.empty()) std::abort();
    };
    mireo::CvCardReader reader(&Converter(), options);
    if (static_cast<int>(reader.ReadAll(bytes, "fuzz.vcf").size()) != counted) std::abort();

    options.maxLineBytes = 64;
    options.maxCardBytes = 256;
    mireo::CvCardReader small(&Converter(), options);
    if (static_cast<int>(small.ReadAll(bytes, "fuzz.vcf").size()) != mireo::CvCardReader::CountCards(bytes, options)) {
        std::abort();
    }
    return 0;
}
