#include "vcal/common/zone_self_check.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

// The debug command's check, worked out by hand: UTC+3 in winter and UTC+4 in summer.
// The skipped hour of 26 March is read as summer time (02:00 local is 22:00 UTC, an
// hour before 01:59 local); 03:00 on 29 October is already winter time.
TEST(ZoneSelfCheck, ConvertsAroundBothChangesOf2006) {
    const struct {
        UtcTime utc;
        LocalTime fromUtc;
    } want[] = {
        {MakeUtc(2006, 3, 25, 22, 59), MakeLocal(2006, 3, 26, 5, 59)},
        {MakeUtc(2006, 3, 25, 22, 0), MakeLocal(2006, 3, 26, 6, 0)},
        {MakeUtc(2006, 3, 25, 22, 1), MakeLocal(2006, 3, 26, 6, 1)},
        {MakeUtc(2006, 10, 28, 22, 59), MakeLocal(2006, 10, 29, 5, 59)},
        {MakeUtc(2006, 10, 29, 0, 0), MakeLocal(2006, 10, 29, 6, 0)},
        {MakeUtc(2006, 10, 29, 0, 1), MakeLocal(2006, 10, 29, 6, 1)},
    };
    EXPECT_TRUE(IsValidZoneRule(SelfCheckZone()));
    const std::vector<ZoneCheckResult> got = RunZoneSelfCheck();
    ASSERT_EQ(got.size(), std::size(want));
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].utc, want[i].utc);
        EXPECT_EQ(got[i].fromUtc, want[i].fromUtc);
    }
}

}  // namespace
}  // namespace mireo
