#include "engine/run_summary.h"

#include <gtest/gtest.h>

namespace mireo {
namespace {

TEST(RunSummary, WordsTheOutcomeByFailuresAndSkips) {
    struct Case { const char* name; RunCounters counters; int verb; const char* want; };
    const Case kCases[] = {
        {"nothing at all", {0, 0, 0}, kStrVerbExport, "Export completed successfully."},
        {"all done", {0, 0, 5}, kStrVerbImport, "Import completed successfully."},
        {"skipped only", {2, 0, 5}, kStrVerbExport, "Export completed with skipped items."},
        {"failed only", {0, 1, 5}, kStrVerbExport, "Export completed with errors."},
        {"both", {1, 1, 0}, kStrVerbImport, "Import completed with skipped items and with errors."},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SummaryText(c.counters, c.verb), c.want);
    }
}

}  // namespace
}  // namespace mireo
