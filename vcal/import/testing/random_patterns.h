#pragma once
// For tests: recurrence patterns of every kind the host has, put into a host pattern
// as a user would set them, from a seeded generator that gives the same patterns on
// every machine.
#include <cstdint>
#include <initializer_list>

#include "engine/item_store.h"

namespace mireo::testing {

// SplitMix64: the same patterns on every machine.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    int Between(int lo, int hi) {  // inclusive
        m_state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return lo + static_cast<int>(z % static_cast<std::uint64_t>(hi - lo + 1));
    }
    template <typename T>
    T Pick(std::initializer_list<T> values) {
        return values.begin()[Between(0, static_cast<int>(values.size()) - 1)];
    }

private:
    std::uint64_t m_state;
};

// A pattern of every kind the host has, put as a user would set it: every type,
// intervals, masks, instance 1..5 (5 the last), days 29..31, and an end after a count,
// on a date, or none.
inline void PutRandomPattern(CRandom& rnd, IRecurrencePattern& p) {
    const int type = rnd.Pick({0, 0, 1, 1, 2, 3, 5, 6});
    p.Put("RecurrenceType", Value::Int(type));
    switch (type) {
    case kRecursDaily:
        if (rnd.Between(0, 2) == 0) {  // every weekday, or other days of the mask
            p.Put("Interval", Value::Int(0));
            p.Put("DayOfWeekMask", Value::Int(rnd.Pick({62, 65, rnd.Between(1, 127)})));
        } else {
            p.Put("Interval", Value::Int(rnd.Between(1, 10)));
        }
        break;
    case kRecursWeekly:
        p.Put("Interval", Value::Int(rnd.Between(1, 4)));
        p.Put("DayOfWeekMask", Value::Int(rnd.Between(1, 127)));
        break;
    case kRecursMonthly:
        p.Put("Interval", Value::Int(rnd.Between(1, 6)));
        p.Put("DayOfMonth", Value::Int(rnd.Pick({1, 15, 28, 29, 30, 31, rnd.Between(1, 31)})));
        break;
    case kRecursMonthNth:
        p.Put("Interval", Value::Int(rnd.Between(1, 6)));
        p.Put("DayOfWeekMask", Value::Int(rnd.Pick({1 << rnd.Between(0, 6), 62, 65, rnd.Between(1, 127)})));
        p.Put("Instance", Value::Int(rnd.Between(1, 5)));
        break;
    case kRecursYearly:
        p.Put("MonthOfYear", Value::Int(rnd.Between(1, 12)));
        p.Put("DayOfMonth", Value::Int(rnd.Pick({1, 29, 30, 31, rnd.Between(1, 31)})));
        break;
    default:
        p.Put("MonthOfYear", Value::Int(rnd.Between(1, 12)));
        p.Put("DayOfWeekMask", Value::Int(rnd.Pick({1 << rnd.Between(0, 6), 62, rnd.Between(1, 127)})));
        p.Put("Instance", Value::Int(rnd.Between(1, 5)));
        break;
    }
    switch (rnd.Between(0, 3)) {
    case 0:
    case 1:
        p.Put("Occurrences", Value::Int(rnd.Between(1, 60)));
        break;
    case 2:
        p.Put("PatternEndDate", Value::Date(MakeOleDate(2004, 1, 1) + rnd.Between(0, 5 * 365)));
        break;
    default:
        p.Put("NoEndDate", Value::Bool(true));
        break;
    }
}

}  // namespace mireo::testing
