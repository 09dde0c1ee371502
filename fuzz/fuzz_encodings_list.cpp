// Any bytes as "supportedEncodings.txt": the list loads or falls back to UTF-8, the
// converter maps it, and every name it holds converts a little text both ways.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/mireo_char_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mireo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SupportedEncodingsList list;
    const bool loaded = list.LoadFromText(text);
    if (list.Empty()) __builtin_trap();
    if (!loaded && (list.Size() != 1 || list.begin()->codePage != 65001)) __builtin_trap();
    for (const EncodingRecord& r : list) {
        if (r.codePage <= 0 || r.displayName.empty() || r.charsetName.empty()) __builtin_trap();
    }

    MireoCharConverter conv(std::move(list));
    int checked = 0;
    for (const EncodingRecord& r : conv.Encodings()) {
        if (++checked > 8) break;  // the conversions themselves are not what is fuzzed here
        if (conv.SetCurrentByDisplayName(r.displayName) <= 0) __builtin_trap();
        const std::string charset = conv.CurrentCharsetName();
        std::string bytes;
        conv.EncodeByCharset(charset, u"Gr\u00FC\u00DFe \u20AC", bytes);
        std::u16string back;
        conv.DecodeByCharset(charset, text.substr(0, 64), back);
    }
    return 0;
}
