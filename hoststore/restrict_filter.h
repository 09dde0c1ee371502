#pragma once
// The filter texts of Items.Restrict, parsed and evaluated as the host does:
//   filter   := disjunct ( OR disjunct )*
//   disjunct := term ( AND term )*            AND binds tighter than OR
//   term     := NOT term | "(" filter ")" | "[" name "]" op literal
//   op       := = <> < > <= >=
//   literal  := '...' | "..."                 a doubled delimiter stands for one
// Keywords are case-insensitive. Text compares case-insensitively, literals are
// taken verbatim. Dates are "<short date> <time>", the time h:mm or hh:mm with an
// optional AM/PM ("PM" adds 12 to hours below 12, "AM" makes 12 into 0, any other
// hour stays as written, so "14:00 PM" is 14:00); seconds are refused; item dates
// compare at minute resolution. Anything else raises HostError, as the host does.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_properties.h"

namespace mireo {

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };

struct FilterNode {
    enum class Kind { And, Or, Not, Compare } kind = Kind::Compare;
    std::vector<FilterNode> children;
    // Compare:
    const HostProperty* property = nullptr;
    CompareOp op = CompareOp::Eq;
    std::u16string text;        // folded text literal
    std::int64_t number = 0;    // minutes for dates, value for integers and bools
};

// Reads one property of the item under test; an item without the property gives
// the property's default value.
using PropertyReader = std::function<Value(const HostProperty&)>;

class CRestrictFilter {
public:
    // Throws HostError(DISP_E_EXCEPTION, "_Items") with the reason.
    static CRestrictFilter Parse(std::u16string_view text, const std::string& shortDatePicture);

    bool Matches(const PropertyReader& read) const;
    const FilterNode& Root() const { return m_root; }

    // The [Start] range the filter confines every match to (minutes, inclusive);
    // open ends are unset.
    struct Range {
        std::optional<std::int64_t> lo, hi;
    };
    Range StartRange() const;

private:
    FilterNode m_root;
};

// A date literal of a filter: the short date, a space and the time; minutes since
// 1899-12-30. Nullopt when it does not parse (seconds included).
std::optional<std::int64_t> ParseFilterDate(std::u16string_view text, const std::string& shortDatePicture);

}  // namespace mireo
