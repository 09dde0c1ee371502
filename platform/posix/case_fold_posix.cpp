// The case fold of the Linux build: one table of simple one-to-one folds to lower case.
// It is also the key of the host store's text indexes, so a change here changes which
// stored items a Restrict finds.
#include "platform/case_fold.h"

namespace mireo {
namespace {

char16_t FoldUnit(char16_t c) {
    if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);  // Latin-1
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: pairs upper/lower, even/odd, except the runs that are odd/even.
        // Dotted I and dotless i pair with i and I, not with each other: they stay.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
        if (c == 0x178) return 0xFF;
        return (c & 1) ? c : static_cast<char16_t>(c + 1);
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
    if (c == 0x3C2) return 0x3C3;  // final sigma
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);  // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    if (c >= 0x460 && c <= 0x4FF && !(c >= 0x482 && c <= 0x489)) {  // Cyrillic supplement
        if (c == 0x4C0) return 0x4CF;
        if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
        return (c & 1) ? c : static_cast<char16_t>(c + 1);
    }
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);  // full-width Latin
    return c;
}

}  // namespace

void FoldCaseInPlace(std::u16string& text) {
    for (char16_t& c : text) c = FoldUnit(c);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldUnit(a[i]) != FoldUnit(b[i])) return false;
    }
    return true;
}

}  // namespace mireo
