// The portable side of the case fold: what is built on the platform's FoldCaseInPlace.
#include "platform/case_fold.h"

#include "platform/utf.h"

namespace mireo {

std::u16string FoldCase(std::u16string_view text) {
    std::u16string out(text);
    FoldCaseInPlace(out);
    return out;
}

std::string FoldCaseUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    // Well-formed text is folded in runs; a byte that is not UTF-8 ends a run and is
    // copied as it is.
    std::u16string run;
    auto flush = [&] {
        if (run.empty()) return;
        FoldCaseInPlace(run);
        out += utf::Utf16ToUtf8(run);
        run.clear();
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const char32_t cp = utf::DecodeUtf8(utf8, i, utf::BadUtf8::kEachByte);
        if (cp == utf::kReplacement && i == start + 1 && static_cast<unsigned char>(utf8[start]) >= 0x80) {
            flush();
            out += utf8[start];
        } else {
            utf::AppendUtf16(run, cp);
        }
    }
    flush();
    return out;
}

}  // namespace mireo
