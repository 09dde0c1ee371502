#pragma once
// The one case fold of Mireo: every comparison of user text that ignores case goes
// through it (the host store's Restrict, the category filter, file names on a file
// system that ignores case, registry names). Windows folds with the system's own
// tables (LCMapStringW, invariant locale, lower case); Linux with one table: ASCII and the simple one-to-one folds of Latin-1, Latin Extended-A, Greek,
// Cyrillic and its supplement, and full-width Latin. Full folding (ß to ss) is not
// attempted: a fold never changes the number of UTF-16 units, and each unit folds on
// its own.
#include <string>
#include <string_view>

namespace mireo {

// Lower-cases text for comparison.
void FoldCaseInPlace(std::u16string& text);
std::u16string FoldCase(std::u16string_view text);
// a and b are equal once folded.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);
// The same fold on UTF-8; bytes that are not UTF-8 stay as they are.
std::string FoldCaseUtf8(std::string_view utf8);

}  // namespace mireo
