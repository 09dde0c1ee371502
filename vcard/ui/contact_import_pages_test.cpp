// The contact import pages: stored values and their defaults, validation, the paths
// check of the start page, and what each page stores and does on its buttons.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/logger.h"
#include "engine/settings_store.h"
#include "platform/testing/recording_message_box.h"
#include "vcard/contact_import.h"
#include "vcard/ui/dlg_vcard_import.h"
#include "vcard/ui/dlg_vcard_import_finish.h"
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
    CDlgVCardImportOptions page(settings, box);
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

using namespace testing_pages;
namespace fs = std::filesystem;

class ContactImportPages : public PageTest {
protected:
    ContactImportPages() : PageTest("mireo-ipages-") {
        m_app.explorerFolder = m_work;
        std::filesystem::create_directories(m_dir / "with space");
        std::ofstream(m_dir / "a.vcf") << "BEGIN:VCARD\r\nEND:VCARD\r\n";
    }
    std::string Path(const char* name) const { return (m_dir / name).string(); }
};

TEST_F(ContactImportPages, StartPageReadsTheStoredChoicesAndSummarisesThem) {
    CSettingsStore settings(m_reg);
    {
        CDlgVCardImport page(m_app, settings, m_box);
        EXPECT_EQ(page.PathsText(), "");
        EXPECT_FALSE(page.ImportEnabled());
        EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts\\Work");  // the explorer's folder
        const std::vector<SummaryLine> expected = {
            {"Import private contacts:", "yes"},
            {"Import contacts with categories:", "any"},
            {"Conflict resolution:", "Keep both contacts (allow duplicate items to be created)"},
        };
        EXPECT_EQ(page.Summary(), expected);
        page.SetPathsText(" \t ");
        EXPECT_FALSE(page.ImportEnabled());
    }
    settings.WriteText(kSetImportFolder, Path("a.vcf"));
    settings.WriteNumber(kSetImportConflict, kConflictKeepExisting);
    settings.WriteNumber(kSetImportFilter, kFilterSkipPrivate | kFilterIncludeCategories);
    settings.WriteText(kSetImportFilterCategories, "Business");
    m_app.explorerFolder = m_calendar;
    CDlgVCardImport page(m_app, settings, m_box);
    EXPECT_EQ(page.PathsText(), Path("a.vcf"));
    EXPECT_TRUE(page.ImportEnabled());
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts");  // not a contacts folder: the default
    const std::vector<SummaryLine> expected = {
        {"Import private contacts:", "no"},
        {"Import contacts with categories:", "include \"Business\""},
        {"Conflict resolution:", "Keep original contacts (do not import duplicate items)"},
    };
    EXPECT_EQ(page.Summary(), expected);
}

TEST_F(ContactImportPages, ImportChecksEveryPathThenStoresAndFillsTheChoices) {
    CSettingsStore settings(m_reg);
    CDlgVCardImport page(m_app, settings, m_box);
    page.SetPaths({Path("a.vcf"), Path("missing.vcf"), Path("with space")});
    ContactImportChoices choices;
    EXPECT_FALSE(page.OnImport(choices));
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].caption, "Mireo - Error");
    EXPECT_EQ(m_box.Shown()[0].text, "The name '" + Path("missing.vcf") + "' isn't accessible.");
    EXPECT_EQ(m_box.Shown()[0].icon, MbIcon::Error);
    EXPECT_TRUE(m_reg.Written().empty());
    EXPECT_EQ(choices.folder, nullptr);
    EXPECT_NE(page.Folder(), nullptr);  // the page stays as it was

    page.SetPaths({Path("a.vcf"), Path("with space")});
    const std::string text = "\"" + Path("a.vcf") + "\" \"" + Path("with space") + "\"";
    EXPECT_EQ(page.PathsText(), text);
    CDlgVCardImportOptions options = page.MakeOptionsPage();
    options.SetConflict(kConflictReplace);
    options.SetCategoryFilter(true);
    options.SetCategories("Friends");
    ASSERT_TRUE(options.OnOk());
    page.ApplyOptions(options);
    EXPECT_EQ(page.Summary()[1].value, "exclude \"Friends\"");

    ASSERT_TRUE(page.OnImport(choices));
    EXPECT_EQ(settings.GetText(kSetImportFolder), text);
    EXPECT_EQ(choices.paths, text);
    ASSERT_NE(choices.folder, nullptr);
    EXPECT_EQ(choices.folder->Name(), u"Work");
    EXPECT_EQ(choices.conflict, kConflictReplace);
    EXPECT_EQ(choices.filterMask, static_cast<std::uint32_t>(kFilterExcludeCategories));
    EXPECT_EQ(choices.filterCategories, "Friends");
    EXPECT_EQ(m_box.Shown().size(), 1u);
}

TEST_F(ContactImportPages, ChosenFolderMustHoldContacts) {
    CSettingsStore settings(m_reg);
    CDlgVCardImport page(m_app, settings, m_box);
    m_app.pickAnswer = m_calendar;
    EXPECT_FALSE(page.BrowseFolder());
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].text, "Chosen folder is not Contact's folder");
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts\\Work");
    m_app.pickAnswer = m_contacts;
    EXPECT_TRUE(page.BrowseFolder());
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts");

    m_app.defaultContacts = nullptr;
    m_app.hasExplorer = false;
    CDlgVCardImport orphan(m_app, settings, m_box);
    orphan.SetPathsText(Path("a.vcf"));
    EXPECT_FALSE(orphan.ImportEnabled());  // nowhere to import into
}

TEST_F(ContactImportPages, FinishCountsAndClose) {
    CSettingsStore settings(m_reg);
    ContactImportOutcome outcome;
    outcome.files = 3;
    outcome.contacts = 120;
    outcome.counters.succeeded = 110;
    outcome.counters.skipped = 8;
    outcome.counters.failed = 2;
    CFakeFolder target(m_contacts);
    CDlgVCardImportFinish page(settings, outcome, &target);
    EXPECT_EQ(page.StatusText(), "Import completed with skipped items and with errors.");
    const std::vector<FinishCount> counts = page.Counts();
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts[0].label, "Selected (files/contacts):");
    EXPECT_EQ(counts[0].Shown(), "3/120");
    EXPECT_EQ(counts[1].Shown(), "110");
    EXPECT_TRUE(counts[2].highlighted);
    EXPECT_EQ(counts[3].label, "Skipped (Why?):");
    EXPECT_TRUE(counts[3].highlighted);
    EXPECT_TRUE(page.OpenFolder());  // the default

    m_app.explorerFolder = m_calendar;
    EXPECT_TRUE(page.OnClose(m_app));
    EXPECT_EQ(m_app.explorerFolder, m_contacts);  // the explorer shows the target folder
    EXPECT_EQ(settings.GetFlag(kSetImportOpenFolder), true);

    m_app.explorerFolder = m_calendar;
    page.SetOpenFolder(false);
    EXPECT_TRUE(page.OnClose(m_app));
    EXPECT_EQ(m_app.explorerFolder, m_calendar);
    EXPECT_FALSE(settings.GetFlag(kSetImportOpenFolder));

    CDlgVCardImportFinish again(settings, outcome, &target);
    EXPECT_FALSE(again.OpenFolder());
    again.SetOpenFolder(true);
    m_app.failExplorer = true;
    EXPECT_FALSE(again.OnClose(m_app));  // not reported, the choice still stored
    EXPECT_TRUE(settings.GetFlag(kSetImportOpenFolder));
}

// A dialog gives its pages its own message box (owned by its window): every message
// of the pages goes there, none to the message box in force.
TEST_F(ContactImportPages, MessagesGoToTheMessageBoxThePagesWereGiven) {
    CRecordingMessageBox own;
    CSettingsStore settings(m_reg);
    CDlgVCardImport page(m_app, settings, own);
    EXPECT_FALSE(page.ChooseFolder(std::make_unique<CFakeFolder>(m_calendar)));  // string 145
    page.SetPaths({Path("missing.vcf")});
    ContactImportChoices choices;
    EXPECT_FALSE(page.OnImport(choices));  // string 114
    CDlgVCardImportOptions options = page.MakeOptionsPage();
    options.SetCategoryFilter(true);
    options.SetCategories(" ");
    EXPECT_FALSE(options.OnOk());  // string 127
    ASSERT_EQ(own.Shown().size(), 3u);
    EXPECT_EQ(own.Shown()[0].text, "Chosen folder is not Contact's folder");
    EXPECT_EQ(own.Shown()[1].caption, "Mireo - Error");
    EXPECT_EQ(own.Shown()[2].text, "Please, enter categories");
    EXPECT_TRUE(m_box.Shown().empty());
}

// "Categories..." on the import options: the host's chooser on a temporary contact
// that holds the current text; its answer replaces the text, a cancel keeps it, and the
// contact is thrown away either way. Nothing is stored before OK.
TEST_F(ContactImportPages, CategoriesButtonAsksTheHost) {
    CSettingsStore settings(m_reg);
    CDlgVCardImportOptions options(settings, m_box);
    options.SetCategories("Holiday");
    m_app.categoriesAnswer = u"Family";
    EXPECT_TRUE(options.ChooseCategories(m_app));
    EXPECT_EQ(options.Values().categories, "Family");
    m_app.categoriesAnswer.reset();
    EXPECT_FALSE(options.ChooseCategories(m_app));
    EXPECT_EQ(options.Values().categories, "Family");
    EXPECT_EQ(m_app.log.categoriesShown, (std::vector<std::u16string>{u"Holiday", u"Family"}));
    EXPECT_EQ(m_app.log.discardedItems, 2);
    EXPECT_EQ(m_app.log.savedItems, 0);
    EXPECT_TRUE(m_reg.Written().empty());
}

}  // namespace
}  // namespace mireo
