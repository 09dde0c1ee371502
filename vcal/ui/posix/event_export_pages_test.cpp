// The event export pages: the stored choices they read, what they write and when, the
// filter page's defaults and checks, the label picker and the finish page.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "engine/settings_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/recording_message_box.h"
#include "vcal/ui/dlg_vcal_export.h"
#include "vcal/ui/dlg_vcal_export_filter.h"
#include "vcal/ui/dlg_vcal_export_finish.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEncodings = {"Western European (Windows-1252)", "UTF-8"};
const LocalTime kToday = MakeLocal(2007, 3, 15);

class EventExportPages : public ::testing::Test {
protected:
    EventExportPages()
        : m_path((fs::temp_directory_path() / ("mireo_event_pages_" + std::to_string(::getpid()) + ".reg")).string()),
          m_reg(m_path),
          m_settings(m_reg) {}
    ~EventExportPages() override { fs::remove(m_path); }

    CDlgVCalExportFilter Filter(int hostMajor = 11) {
        return CDlgVCalExportFilter(m_settings, m_box, hostMajor, kToday, ",");
    }

    std::string m_path;
    CRegistryFile m_reg;
    CSettingsStore m_settings;
    CRecordingMessageBox m_box;
};

TEST_F(EventExportPages, StoredOptionsAreReadWithTheirRules) {
    struct Case {
        std::uint32_t format;
        const char* encoding;
        int wantFormat;
        const char* wantEncoding;
    } cases[] = {
        {20, "UTF-8", kICalendarFormat20, "UTF-8"},
        {15, "UTF-8", kVCalendarFormat10, "UTF-8"},  // any other value is ignored
        {10, "KOI8-R", kVCalendarFormat10, "Western European (Windows-1252)"},  // not in the list: the first
    };
    for (const Case& c : cases) {
        m_settings.WriteNumber(kSetEventExportFormat, c.format);
        m_settings.WriteText(kSetEventExportEncoding, c.encoding);
        const EventExportOptionValues v = ReadEventExportOptions(m_settings, kEncodings);
        EXPECT_EQ(v.format, c.wantFormat) << c.format;
        EXPECT_EQ(v.encoding, c.wantEncoding) << c.encoding;
    }
    // The options dialog writes its three values on OK only.
    CDlgVCalExportOptions options(m_settings, kEncodings, ReadEventExportOptions(m_settings, kEncodings));
    options.SetICalendar(true);
    options.SetOverwrite(true);
    ASSERT_TRUE(options.SelectEncoding(1));
    EXPECT_FALSE(options.SelectEncoding(2));
    EXPECT_EQ(m_settings.GetNumber(kSetEventExportFormat), 10u);
    options.OnOk();
    EXPECT_EQ(ReadEventExportOptions(m_settings, kEncodings),
              (EventExportOptionValues{.overwrite = true, .format = kICalendarFormat20, .encoding = "UTF-8"}));
}

TEST_F(EventExportPages, FilterDefaultsAndOlderHosts) {
    CDlgVCalExportFilter filter = Filter();
    EXPECT_EQ(filter.Mask(), 0x55u);
    EXPECT_EQ(filter.Categories(), "Holiday");
    EXPECT_EQ(filter.LabelMask(), 0x180u);
    EXPECT_EQ(filter.LabelsText(), "Birthday, Anniversary");
    EXPECT_EQ(filter.PeriodStart(), MakeLocal(2007, 3, 1));
    EXPECT_EQ(filter.PeriodEnd(), MakeLocal(2007, 5, 14));

    // Below version 10 the label controls are off and their bits go, stored or not.
    m_settings.WriteNumber(kSetEventExportFilter, 0x7F);
    m_settings.WriteNumber(kSetEventExportLabels, 0x3);
    CDlgVCalExportFilter old = Filter(9);
    EXPECT_FALSE(old.LabelsEnabled());
    EXPECT_EQ(old.Mask(), 0x4Bu);  // both category bits stored: "include" shows
    EXPECT_EQ(old.LabelMask(), 0u);
    old.SetDefaults();
    EXPECT_EQ(old.Mask(), 0x45u);
}

TEST_F(EventExportPages, ExportChecksInOrderAndBackStoresWithoutThem) {
    struct Case {
        bool categories;
        std::string text;
        bool labels;
        std::uint32_t labelMask;
        bool periodBackwards;
        int focus;  // 0: accepted
        const char* message;
    } cases[] = {
        {true, "  ", true, 0, true, kCtlFilterCategories, "Please, enter categories"},
        {false, "", true, 0, true, kCtlFilterLabelsButton, "Please, select labels"},
        {false, "", false, 0, true, kCtlFilterPeriodEnd, "The end date must be later than the start date"},
        {true, " Work ", true, 0x5, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        CDlgVCalExportFilter filter = Filter();
        filter.SetCategoryFilter(c.categories);
        filter.SetIncludeCategories(true);
        filter.SetCategories(c.text);
        filter.SetLabelFilter(c.labels);
        filter.ApplyLabels(c.labelMask);
        filter.SetLabelFilter(c.labels);
        filter.SetPeriodFilter(true);
        if (c.periodBackwards) filter.SetPeriod(kToday, kToday);
        m_box.Clear();
        EventFilter out;
        EXPECT_EQ(filter.OnExport(out), c.focus == 0);
        EXPECT_EQ(filter.FocusControl(), c.focus);
        if (c.message) {
            ASSERT_EQ(m_box.Shown().size(), 1u);
            EXPECT_EQ(m_box.Shown()[0].text, c.message);
            EXPECT_EQ(m_box.Shown()[0].caption, "Mireo");
        } else {
            EXPECT_EQ(out.mask, kFilterIncludeCategories | kEventFilterExcludeLabels | kEventFilterPeriod | kEventFilterSkipAllDay);
            EXPECT_EQ(out.categories, "Work");
            EXPECT_EQ(out.labelMask, 0x5u);
            EXPECT_EQ(out.periodStart, MakeLocal(2007, 3, 1));
            EXPECT_EQ(m_settings.GetText(kSetEventExportCategories), "Work");
        }
    }
    // "< Back" stores an incomplete filter as it is; the period is never stored, so the
    // next page starts from the default one.
    CDlgVCalExportFilter back = Filter();
    back.SetCategories("");
    back.SetPeriod(MakeLocal(2001, 1, 1), MakeLocal(2001, 2, 1));
    back.OnBack();
    CDlgVCalExportFilter again = Filter();
    EXPECT_EQ(again.Categories(), "");
    EXPECT_EQ(again.PeriodStart(), MakeLocal(2007, 3, 1));
}

TEST_F(EventExportPages, LabelPickerAndFinishPage) {
    CDlgLabels labels(0x180);
    EXPECT_TRUE(labels.Checked(8));
    EXPECT_FALSE(labels.Checked(1));
    labels.SetChecked(1, true);
    labels.SetChecked(8, false);
    labels.SetChecked(11, true);  // there is no label 11
    EXPECT_EQ(labels.OnOk(), 0x101u);

    EventExportOutcome outcome;
    outcome.counters = RunCounters{.skipped = 2, .failed = 1, .succeeded = 4};
    CDlgVCalExportFinish finish(m_settings, outcome);
    EXPECT_TRUE(finish.OpenFolder());
    EXPECT_FALSE(finish.Mail());
    ASSERT_EQ(finish.Counts().size(), 4u);
    EXPECT_EQ(finish.Counts()[0].label, "Selected events:");
    EXPECT_EQ(finish.Counts()[0].value, 7);
    EXPECT_TRUE(finish.Counts()[2].highlighted);
}

}  // namespace
}  // namespace mireo
