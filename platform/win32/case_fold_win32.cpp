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

// Maps text with the invariant locale's tables. The case mappings keep the length;
// should they not, false, and the text stays as it was.
bool Map(DWORD flags, std::u16string& text) {
    std::u16string out(text.size(), u'\0');
    const int n = ::LCMapStringW(LOCALE_INVARIANT, flags, reinterpret_cast<const wchar_t*>(text.data()),
                                 static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()),
                                 static_cast<int>(out.size()));
    if (n != static_cast<int>(text.size())) return false;
    text = std::move(out);
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
    // Lower case; the system's tables keep final sigma and sigma, dotless i and I apart.
    Map(LCMAP_LOWERCASE, text);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;
    return FoldCase(a) == FoldCase(b);
}

}  // namespace mireo
