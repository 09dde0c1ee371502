// The calendar import pages: the options dialog's zone choice, the stored zone on the
// source page, the filter page's checks and defaults, Back keeping edited values.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/category_filter.h"
#include "engine/host_folders.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/scratch_folder.h"
#include "vcal/import/ui/dlg_vcal_import.h"

namespace mireo {
namespace {

ZoneListEntry Entry(const char* key, const char* display, int bias) {
    ZoneListEntry e;
    e.key = key;
    e.display = display;
    e.rule.bias = bias;
    return e;
}

class VCalImportPages : public ::testing::Test {
protected:
    test::CScratchFolder m_base{"mireo_vcalpages_"};
    CRegistryFile m_reg{(m_base / "registry.reg").string()};
    CSettingsStore m_settings{m_reg};
    CRecordingMessageBox m_box;
};

TEST_F(VCalImportPages, OptionsChooseTheZoneByRuleAndName) {
    const std::vector<ZoneListEntry> list{Entry("A Standard Time", "(GMT+01:00) A", -60),
                                          Entry("B Standard Time", "(GMT+01:00) B", -60),
                                          Entry("C Standard Time", "(GMT+02:00) C", -120)};
    ZoneRule plusOne;
    plusOne.bias = -60;
    ZoneRule plusThree;
    plusThree.bias = -180;
    const struct {
        const char* what;
        ZoneRule zone;
        const char* name;
        int selected;
        std::size_t choices;
    } cases[] = {
        {"equal rule and name", plusOne, "(GMT+01:00) A", 0, 3},
        {"equal rule, other name: the last equal", plusOne, "Elsewhere", 1, 3},
        {"no equal rule: an extra entry", plusThree, "(GMT+03:00)", 3, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDlgVCalImportOptions page(m_settings, list, 0, c.zone, c.name, plusOne);
        EXPECT_EQ(page.Selected(), c.selected);
        EXPECT_EQ(page.ZoneChoices().size(), c.choices);
    }
    // OK writes the four values; TZDefault says whether the zone is the computer's.
    CDlgVCalImportOptions page(m_settings, list, 0, plusThree, "(GMT+03:00)", plusOne);
    EXPECT_TRUE(page.SelectByName("c standard time"));
    EXPECT_TRUE(page.SetConflict(2));
    EXPECT_FALSE(page.SetConflict(3));
    page.OnOk();
    EXPECT_EQ(m_settings.GetNumber(kSetEventImportConflict), 2u);
    EXPECT_FALSE(m_settings.GetFlag(kSetEventImportTzDefault));
    EXPECT_EQ(m_settings.GetText(kSetEventImportTzName), "(GMT+02:00) C");
    const auto stored = ZoneRule::FromBytes(*m_settings.GetBinary(kSetEventImportTz));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->bias, -120);
    EXPECT_TRUE(page.SelectByName("(GMT+01:00) A"));
    page.OnOk();
    EXPECT_TRUE(m_settings.GetFlag(kSetEventImportTzDefault));
}

TEST_F(VCalImportPages, FilterChecksDefaultsAndBack) {
    const LocalTime today = MakeLocal(2007, 3, 15, 13, 30);
    CDlgVCalImportFilter page(m_settings, m_box, today);
    EXPECT_EQ(page.Values().mask, 21u);
    EXPECT_EQ(page.Values().categories, "Holiday");
    EXPECT_EQ(page.Values().labels, 384u);
    EXPECT_EQ(LabelNames(page.Values().labels), "Birthday, Anniversary");
    EXPECT_EQ(page.Values().periodStart, MakeLocal(2007, 3, 1));
    EXPECT_EQ(page.Values().periodEnd, MakeLocal(2007, 5, 14));
    const struct {
        std::uint32_t mask;
        const char* categories;
        std::uint32_t labels;
        bool periodBackwards;
        const char* message;
        int focus;  // the control the page puts the focus on
    } checks[] = {
        {kFilterIncludeCategories, " ", 0, false, "Please, enter categories", 290},
        {kEventFilterExcludeLabels, "x", 0, false, "Please, select labels", 11},
        {kEventFilterPeriod, "x", 0, true, "The end date must be later than the start date", 293},
    };
    EventImportChoices choices;
    for (const auto& c : checks) {
        SCOPED_TRACE(c.message);
        page.Edit().mask = c.mask;
        page.Edit().categories = c.categories;
        page.Edit().labels = c.labels;
        page.Edit().periodEnd = c.periodBackwards ? page.Values().periodStart : today + std::chrono::days(1);
        EXPECT_FALSE(page.OnImport(choices));
        EXPECT_EQ(m_box.Shown().back().text, c.message);
        EXPECT_EQ(page.FocusControl(), c.focus);
    }
    // Back keeps what was edited, without checks.
    page.OnBack();
    EXPECT_EQ(m_settings.GetNumber(kSetEventImportFilter), kEventFilterPeriod);
    page.SetDefaults();
    EXPECT_TRUE(page.OnImport(choices));
    EXPECT_EQ(choices.filterMask, 21u);
    EXPECT_EQ(choices.labelMask, 384u);
    EXPECT_EQ(GmtZoneName(ZoneRule{.bias = 330}), "(GMT-05:30)");
    EXPECT_EQ(GmtZoneName(ZoneRule{.bias = -60}), "(GMT+01:00)");
}

// The host's pickers through the substitute store: the folder chooser refuses a
// contacts folder and keeps the calendar; a folder the page handed to the run comes
// back after "< Back"; the category chooser's answer is trimmed, a cancel keeps the text.
TEST_F(VCalImportPages, PickersOfTheSourceAndFilterPages) {
    CHostApplication app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
    CRecordingLogger log;
    CDlgVCalImport page(app, m_settings, m_box, log);
    ASSERT_NE(page.Folder(), nullptr);
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Calendar");
    EXPECT_FALSE(page.BrowseFolder()) << "cancelled";
    app.SetPickFolderAnswer(u"\\\\Personal Folders\\Contacts");
    EXPECT_FALSE(page.BrowseFolder());
    ASSERT_FALSE(m_box.Shown().empty());
    EXPECT_EQ(m_box.Shown().back().text, "Chosen folder is not Appointment's folder");
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Calendar");

    const std::string file = (m_base / "a.ics").string();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    page.SetPathsText(file);
    EventImportChoices choices;
    ASSERT_TRUE(page.OnNext(choices, false));
    EXPECT_EQ(page.Folder(), nullptr) << "the folder went to the run's choices";
    EXPECT_TRUE(page.ChooseFolder(std::move(choices.folder)));
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Calendar");

    CDlgVCalImportFilter filter(m_settings, m_box, MakeLocal(2007, 3, 15));
    filter.Edit().categories = "Holiday";
    EXPECT_FALSE(filter.ChooseCategories(app)) << "cancelled";
    EXPECT_EQ(filter.Values().categories, "Holiday");
    app.SetCategoriesDialogAnswer(u"  Business, Travel \t");
    EXPECT_TRUE(filter.ChooseCategories(app));
    EXPECT_EQ(filter.Values().categories, "Business, Travel");
}

}  // namespace
}  // namespace mireo
