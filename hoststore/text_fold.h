#pragma once
// The store's text comparisons use the platform's one case fold; the folded text as
// UTF-8 is the key of the store's text indexes.
#include <string>
#include <string_view>

#include "engine/host_value.h"
#include "platform/case_fold.h"

namespace mireo {

inline std::string FoldKey(std::u16string_view s) { return FromHostText(FoldCase(s)); }

}  // namespace mireo
