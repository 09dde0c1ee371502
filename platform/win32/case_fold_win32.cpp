// The case fold of Windows: the system's lower-case mapping of the invariant locale,
// the same on every user's machine, one unit for one unit.
#include <windows.h>

#include "platform/case_fold.h"

namespace mireo {
namespace {

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

void FoldCaseInPlace(std::u16string& text) {
    if (IsAscii(text)) {
        for (char16_t& c : text) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        }
        return;
    }
    std::u16string folded(text.size(), u'\0');
    const int n = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, reinterpret_cast<const wchar_t*>(text.data()),
                                 static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(folded.data()),
                                 static_cast<int>(folded.size()));
    // The lower-case mapping keeps the length; should it not, the text stays as it is
    // rather than comparing a shifted copy.
    if (n == static_cast<int>(text.size())) text = std::move(folded);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;
    return FoldCase(a) == FoldCase(b);
}

}  // namespace mireo
