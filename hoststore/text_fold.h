#pragma once
// Case folding for the store's text comparisons: ASCII plus the simple one-to-one
// folds of Latin-1, Latin Extended-A, Greek and Cyrillic. Enough for names and
// subjects; full Unicode folding (ß -> ss) is not attempted.
#include <string>
#include <string_view>

namespace mireo {

char16_t FoldChar(char16_t c);
std::u16string FoldText(std::u16string_view s);
// The folded text as UTF-8: the key of the store's text indexes.
std::string FoldKey(std::u16string_view s);

}  // namespace mireo
