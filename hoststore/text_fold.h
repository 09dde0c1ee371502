#pragma once
// The store's text comparisons use the platform's one case fold; the folded text as
// UTF-8 is the key of the store's text indexes.
#include <algorithm>
#include <string>
#include <string_view>

#include "engine/host_value.h"
#include "platform/ascii.h"
#include "platform/case_fold.h"

namespace mireo {

inline std::string FoldKey(std::u16string_view s) {
    // Most names and subjects are ASCII, whose fold is the ASCII lower case: one
    // pass, one allocation, instead of a folded copy and its conversion.
    if (std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; })) {
        std::string key(s.size(), '\0');
        for (std::size_t i = 0; i < s.size(); ++i) key[i] = ascii::ToLower(static_cast<char>(s[i]));
        return key;
    }
    return FromHostText(FoldCase(s));
}

}  // namespace mireo
