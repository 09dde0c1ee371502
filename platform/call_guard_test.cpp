#include "platform/call_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mireo {
namespace {

// Whatever the body throws comes back as the fallback with its description reported.
TEST(CallGuard, EveryKindOfExceptionIsCaughtAndDescribed) {
    struct Case {
        const char* name;
        void (*thrower)();
        const char* text;
        HRESULT hr;
    };
    const Case cases[] = {
        {"host error", [] { throw HostError(kDispEException, "_Items", "Item"); }, "_Items failed (0x80020009): Item",
         kDispEException},
        {"out of memory", [] { throw std::bad_alloc(); }, "out of memory", kEOutOfMemory},
        {"standard", [] { throw std::runtime_error("disk gone"); }, "disk gone", kEFail},
        {"not an exception class", [] { throw 42; }, "unknown exception", kEUnexpected},
        {"a pointer", [] { throw "text"; }, "unknown exception", kEUnexpected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CaughtFailure> reported;
        const int result = GuardCall(
            [&]() -> int {
                c.thrower();
                return 1;
            },
            -7, [&](const CaughtFailure& f) { reported.push_back(f); });
        EXPECT_EQ(result, -7);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0].text, c.text);
        EXPECT_EQ(reported[0].hr, c.hr);
    }
}

TEST(CallGuard, ResultPassesThroughAndAFailingReporterIsSwallowed) {
    int reports = 0;
    EXPECT_EQ(GuardCall([] { return 5; }, -1, [&](const CaughtFailure&) { ++reports; }), 5);
    EXPECT_EQ(reports, 0);
    const int result = GuardCall([]() -> int { throw std::logic_error("first"); }, -1,
                                 [](const CaughtFailure&) { throw std::runtime_error("the log itself failed"); });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(GuardCall([] { throw 1; }, [](const CaughtFailure&) {}));
    EXPECT_TRUE(GuardCall([] {}, [](const CaughtFailure&) {}));
}

}  // namespace
}  // namespace mireo
