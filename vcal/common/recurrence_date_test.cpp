#include "vcal/common/recurrence_date.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

TEST(CalDateTime, ExactFormsWithFieldsInRange) {
    struct Case {
        const char* text;
        std::optional<CalDateTime> want;
    };
    const CalDateTime date{{2007, 12, 31, 0, 0, 0}, false, false};
    const CalDateTime local{{2007, 12, 31, 10, 5, 9}, true, false};
    const CalDateTime utc{{2007, 12, 31, 10, 5, 9}, true, true};
    const Case kCases[] = {
        {"20071231", date},
        {"20071231T100509", local},
        {"20071231T100509Z", utc},
        {"20071231t100509z", utc},
        {"19800229", CalDateTime{{1980, 2, 29, 0, 0, 0}, false, false}},
        {"20000229", CalDateTime{{2000, 2, 29, 0, 0, 0}, false, false}},
        {"20081231T235960Z", CalDateTime{{2008, 12, 31, 23, 59, 59}, true, true}},  // a leap second
        // Forms
        {"", std::nullopt},
        {"2007123", std::nullopt},
        {"20071231T1000", std::nullopt},
        {"20071231T10000", std::nullopt},
        {"20071231 100509", std::nullopt},
        {"20071231T100509+", std::nullopt},
        {"20071231T100509ZZ", std::nullopt},
        {"2007-12-31", std::nullopt},
        {"+2007123", std::nullopt},
        {"2007123a", std::nullopt},
        {"20071231T10050.", std::nullopt},
        // Fields
        {"00000000", std::nullopt},
        {"20070001", std::nullopt},
        {"20071301", std::nullopt},
        {"20071200", std::nullopt},
        {"20070431", std::nullopt},
        {"19810229", std::nullopt},
        {"19000229", std::nullopt},
        {"20071399T996060", std::nullopt},
        {"20071231T240000", std::nullopt},
        {"20071231T236000", std::nullopt},
        {"20071231T235961", std::nullopt},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseCalDateTime(c.text), c.want);
    }
}

}  // namespace
}  // namespace mireo
