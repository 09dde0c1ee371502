#pragma once
// The calendar's labels, shared by the event export and the event import: labels 1..10,
// and bit n-1 of a label mask selects label n.

namespace mireo {

constexpr int kLabelCount = 10;

}  // namespace mireo
