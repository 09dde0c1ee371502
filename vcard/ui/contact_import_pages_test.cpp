// The contact import options page: stored values and their defaults, validation, and
// what OK stores.
#include <gtest/gtest.h>

#include "engine/settings_store.h"
#include "platform/testing/recording_message_box.h"
#include "vcard/contact_import.h"
#include "vcard/ui/dlg_vcard_import_options.h"
#include "vcard/ui/tests/page_doubles.h"

namespace mireo {
namespace {

TEST(ContactImportOptionsPage, DefaultsOutOfRangeRuleAndMask) {
    testing_pages::CMemoryRegistry reg;
    CSettingsStore settings(reg);
    EXPECT_EQ(ReadContactImportOptions(settings), ContactImportOptionValues{});
    EXPECT_EQ(ReadContactImportOptions(settings).categories, "Personal");
    settings.WriteNumber(kSetImportConflict, 7);
    settings.WriteNumber(kSetImportFilter, kFilterSkipPrivate | kFilterIncludeCategories);
    const ContactImportOptionValues v = ReadContactImportOptions(settings);
    EXPECT_EQ(v.conflict, kConflictKeepBoth);
    EXPECT_TRUE(v.skipPrivate);
    EXPECT_TRUE(v.categoryFilter);
    EXPECT_TRUE(v.includeCategories);
    EXPECT_EQ(v.FilterMask(), kFilterSkipPrivate | kFilterIncludeCategories);
}

TEST(ContactImportOptionsPage, OkValidatesAndStores) {
    CRecordingMessageBox box;
    CScopedMessageBox scope(box);
    testing_pages::CMemoryRegistry reg;
    CSettingsStore settings(reg);
    CDlgVCardImportOptions page(settings);
    EXPECT_FALSE(page.SetConflict(3));
    EXPECT_TRUE(page.SetConflict(kConflictReplace));
    page.SetCategoryFilter(true);
    page.SetCategories(" \t");
    EXPECT_FALSE(page.OnOk());
    ASSERT_EQ(box.Shown().size(), 1u);
    EXPECT_EQ(box.Shown()[0].caption, "Mireo");
    EXPECT_FALSE(settings.ReadNumber(kSetImportConflict).has_value());

    page.SetCategories("Business");
    EXPECT_TRUE(page.OnOk());
    EXPECT_EQ(settings.GetNumber(kSetImportConflict), 1u);
    EXPECT_EQ(settings.GetNumber(kSetImportFilter), static_cast<std::uint32_t>(kFilterExcludeCategories));
    EXPECT_EQ(settings.GetText(kSetImportFilterCategories), "Business");
}

}  // namespace
}  // namespace mireo
