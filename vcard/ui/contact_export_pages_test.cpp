// The contact export pages: defaults, enable rules, validation, and which settings are
// written at which moment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/logger.h"
#include "engine/settings_store.h"
#include "platform/testing/recording_message_box.h"
#include "ui/folder_opener.h"
#include "vcard/contact_export.h"
#include "vcard/ui/dlg_vcard_export.h"
#include "vcard/ui/dlg_vcard_export_finish.h"
#include "vcard/ui/dlg_vcard_export_options.h"
#include "vcard/ui/tests/page_doubles.h"

namespace mireo {
namespace {

using namespace testing_pages;
namespace fs = std::filesystem;

const std::vector<std::string> kEncodings = {"Western European (Windows)", "Unicode (UTF-8)", "Cyrillic (Windows)"};
const std::vector<std::string> kOptionValues = {"Contacts.Export.Format", "Contacts.Export.Encoding",
                                                "Contacts.Export.Overwrite", "Contacts.Export.Filter",
                                                "Contacts.Export.Filter.Categories"};

class CRecordingOpener : public IFolderOpener {
public:
    bool OpenFolder(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    std::vector<std::string> opened;
};

class CRecordingHelp : public IContextHelp {
public:
    int ShowContextHelp(const std::string& topic) override {
        topics.push_back(topic);
        return 0;
    }
    std::vector<std::string> topics;
};

class ContactExportPages : public PageTest {
protected:
    ContactExportPages() : PageTest("mireo-pages-") { m_app.explorerFolder = m_calendar; }
    CSettingsStore Settings() { return CSettingsStore(m_reg); }
};

std::string SummaryValue(const std::vector<SummaryLine>& lines, const std::string& label) {
    for (const SummaryLine& l : lines)
        if (l.label == label) return l.value;
    return "<missing " + label + ">";
}

TEST_F(ContactExportPages, DefaultsWithNothingStored) {
    CSettingsStore settings = Settings();
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    EXPECT_TRUE(page.OneFile());
    EXPECT_EQ(page.TargetFolder(), "");
    EXPECT_FALSE(page.ExportEnabled());
    const std::vector<SummaryLine> expected = {
        {"Export private contacts:", "yes"},
        {"Export contacts with categories:", "any"},
        {"Overwrites identical files:", "no"},
        {"Format of vCard files:", "vCard 2.1"},
        {"Encoding:", "Western European (Windows)"},
    };
    EXPECT_EQ(page.Summary(), expected);

    CDlgVCardExportOptions options(settings, m_box, kEncodings);
    EXPECT_FALSE(options.Values().skipPrivate);
    EXPECT_FALSE(options.CategoryControlsEnabled());
    EXPECT_EQ(options.Values().categories, "Personal");
    EXPECT_FALSE(options.Values().overwrite);
    EXPECT_FALSE(options.Version30());
    EXPECT_EQ(options.EncodingIndex(), 0);

    CDlgVCardExportFinish finish(settings, ContactExportOutcome{});
    EXPECT_TRUE(finish.OpenFolder());
    EXPECT_FALSE(finish.Mail());
    EXPECT_TRUE(m_reg.Written().empty());
}

TEST_F(ContactExportPages, StoredFormatPreselectsTheRadio) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        bool version30;
    } cases[] = {
        {"30 is vCard 3.0", kRegDword, {30, 0, 0, 0}, true},
        {"21 is vCard 2.1", kRegDword, {21, 0, 0, 0}, false},
        {"any other number is 2.1", kRegDword, {15, 0, 0, 0}, false},
        {"30 in the high word is not 30", kRegDword, {0, 0, 30, 0}, false},
        {"a text is ignored", kRegSz, {'3', 0, '0', 0, 0, 0}, false},
        {"a short number is ignored", kRegDword, {30, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_reg.SetRaw("Contacts.Export.Format", c.type, c.data);
        CSettingsStore settings = Settings();
        CDlgVCardExportOptions options(settings, m_box, kEncodings);
        EXPECT_EQ(options.Version30(), c.version30);
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        EXPECT_EQ(SummaryValue(page.Summary(), "Format of vCard files:"), c.version30 ? "vCard 3.0" : "vCard 2.1");
    }
}

TEST_F(ContactExportPages, StoredEncodingPreselectsItsEntry) {
    struct Case {
        const char* name;
        const char* stored;  // null: nothing stored
        int index;
    } cases[] = {
        {"nothing stored: the first entry", nullptr, 0},
        {"a listed name", "Cyrillic (Windows)", 2},
        {"a name the list no longer holds", "Klingon (pIqaD)", 0},
        {"names are exact", "unicode (utf-8)", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryRegistry reg;
        CSettingsStore settings(reg);
        if (c.stored != nullptr) settings.WriteText("Contacts.Export.Encoding", c.stored);
        CDlgVCardExportOptions options(settings, m_box, kEncodings);
        EXPECT_EQ(options.EncodingIndex(), c.index);
        EXPECT_EQ(options.Values().encoding, kEncodings[static_cast<std::size_t>(c.index)]);
    }
}

TEST_F(ContactExportPages, EmptyEncodingsListGivesAnEmptyName) {
    CSettingsStore settings = Settings();
    settings.WriteText("Contacts.Export.Encoding", "Unicode (UTF-8)");
    CDlgVCardExportOptions options(settings, m_box, {});
    EXPECT_EQ(options.EncodingIndex(), -1);
    EXPECT_EQ(options.Values().encoding, "");
    EXPECT_FALSE(options.SelectEncoding(0));
    CDlgVCardExport page(m_app, settings, m_box, {});
    EXPECT_EQ(SummaryValue(page.Summary(), "Encoding:"), "");
    ASSERT_TRUE(options.OnOk());
    EXPECT_EQ(settings.ReadText("Contacts.Export.Encoding", 256), "");
}

TEST_F(ContactExportPages, StoredFilterMaskSetsTheControlsAndTheSummary) {
    struct Case {
        const char* name;
        std::uint32_t mask;
        const char* categories;
        bool skipPrivate, filter, include;
        const char* privateText;
        const char* categoriesText;
    } cases[] = {
        {"no filter", 0, "Personal", false, false, false, "yes", "any"},
        {"private only", 2, "Personal", true, false, false, "no", "any"},
        {"exclude", 4, "Personal", false, true, false, "yes", "exclude \"Personal\""},
        {"include with private", 10, "Business, VIP", true, true, true, "no", "include \"Business, VIP\""},
        {"both bits read as include", 12, "x", false, true, true, "yes", "include \"x\""},
        {"unknown bits are dropped", 0xF9, "Personal", false, true, true, "yes", "include \"Personal\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryRegistry reg;
        CSettingsStore settings(reg);
        settings.WriteNumber("Contacts.Export.Filter", c.mask);
        settings.WriteText("Contacts.Export.Filter.Categories", c.categories);
        CDlgVCardExportOptions options(settings, m_box, kEncodings);
        EXPECT_EQ(options.Values().skipPrivate, c.skipPrivate);
        EXPECT_EQ(options.CategoryControlsEnabled(), c.filter);
        if (c.filter) {
            EXPECT_EQ(options.Values().includeCategories, c.include);
        }
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        EXPECT_EQ(SummaryValue(page.Summary(), "Export private contacts:"), c.privateText);
        EXPECT_EQ(SummaryValue(page.Summary(), "Export contacts with categories:"), c.categoriesText);
    }
}

TEST_F(ContactExportPages, OptionsOkValidatesTheCategories) {
    struct Case {
        const char* name;
        bool filter;
        bool include;
        const char* categories;
        bool accepted;
        std::uint32_t storedMask;
    } cases[] = {
        {"include with an empty text", true, true, "", false, 0},
        {"exclude with blanks only", true, false, " \t ", false, 0},
        {"check box cleared, empty text", false, true, "", true, 0},
        {"include with a category", true, true, " Work ", true, 8},
        {"exclude with a category", true, false, "Work", true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryRegistry reg;
        CSettingsStore settings(reg);
        m_box.Clear();
        CDlgVCardExportOptions options(settings, m_box, kEncodings);
        options.SetCategoryFilter(c.filter);
        options.SetIncludeCategories(c.include);
        options.SetCategories(c.categories);
        EXPECT_EQ(options.OnOk(), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(m_box.Shown().empty());
            EXPECT_EQ(reg.Written(), kOptionValues);
            EXPECT_EQ(settings.ReadNumber("Contacts.Export.Filter"), c.storedMask);
            EXPECT_EQ(settings.ReadTextAnyLength("Contacts.Export.Filter.Categories"), c.categories);
        } else {
            ASSERT_EQ(m_box.Shown().size(), 1u);
            EXPECT_EQ(m_box.Shown()[0].caption, "Mireo");
            EXPECT_EQ(m_box.Shown()[0].text, "Please, enter categories");
            EXPECT_TRUE(reg.Written().empty());
        }
    }
}

TEST_F(ContactExportPages, OptionsOkStoresTheValuesAndTheStartPageShowsThem) {
    CSettingsStore settings = Settings();
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    CDlgVCardExportOptions options = page.MakeOptionsPage();
    options.SetSkipPrivate(true);
    options.SetCategoryFilter(true);
    options.SetCategories("Business");
    options.SetOverwrite(true);
    options.SetVersion30(true);
    ASSERT_TRUE(options.SelectEncoding(1));
    ASSERT_TRUE(options.OnOk());
    page.ApplyOptions(options);
    EXPECT_EQ(m_reg.Written(), kOptionValues);
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.Format"), 30u);
    EXPECT_EQ(settings.ReadText("Contacts.Export.Encoding", 256), "Unicode (UTF-8)");
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.Overwrite"), 1u);
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.Filter"), 6u);
    const std::vector<SummaryLine> expected = {
        {"Export private contacts:", "no"},
        {"Export contacts with categories:", "exclude \"Business\""},
        {"Overwrites identical files:", "yes"},
        {"Format of vCard files:", "vCard 3.0"},
        {"Encoding:", "Unicode (UTF-8)"},
    };
    EXPECT_EQ(page.Summary(), expected);

    // A later page opens with what was stored.
    CDlgVCardExportOptions again(settings, m_box, kEncodings);
    EXPECT_EQ(again.Values(), options.Values());
}

TEST_F(ContactExportPages, CancelWritesNothing) {
    CSettingsStore settings = Settings();
    {
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        page.SetTargetFolder(Dir());
        page.SetOneFile(false);
        CDlgVCardExportOptions options = page.MakeOptionsPage();
        options.SetVersion30(true);
        options.SetCategoryFilter(true);
        options.SetCategories("");
        EXPECT_FALSE(options.OnOk());  // refused, then cancelled
    }
    EXPECT_TRUE(m_reg.Written().empty());
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    EXPECT_TRUE(page.OneFile());
    EXPECT_EQ(page.TargetFolder(), "");
}

TEST_F(ContactExportPages, ExportStoresFolderAndOneFileAndFillsTheChoices) {
    CSettingsStore settings = Settings();
    settings.WriteNumber("Contacts.Export.Filter", 2 | 8);
    settings.WriteText("Contacts.Export.Filter.Categories", "VIP");
    settings.WriteNumber("Contacts.Export.Format", 30);
    m_reg.ClearWritten();

    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    page.SetTargetFolder(Dir());
    page.SetOneFile(false);
    ContactExportChoices choices;
    ASSERT_TRUE(page.OnExport(choices));
    EXPECT_EQ(m_reg.Written(), (std::vector<std::string>{"Contacts.Export.Folder", "Contacts.Export.OneFile"}));
    EXPECT_EQ(settings.ReadText("Contacts.Export.Folder", 260), Dir());
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.OneFile"), 0u);

    ASSERT_NE(choices.folder, nullptr);
    EXPECT_EQ(choices.folder->Name(), u"Contacts");
    EXPECT_FALSE(choices.selectedOnly);
    EXPECT_EQ(choices.targetFolder, Dir());
    EXPECT_FALSE(choices.oneFile);
    EXPECT_EQ(choices.format, 30);
    EXPECT_EQ(choices.encoding, "Western European (Windows)");
    EXPECT_FALSE(choices.overwrite);
    EXPECT_EQ(choices.filterMask, 10u);
    EXPECT_EQ(choices.filterCategories, "VIP");

    // Reopened, the page shows the last choices.
    CDlgVCardExport next(m_app, settings, m_box, kEncodings);
    EXPECT_EQ(next.TargetFolder(), Dir());
    EXPECT_FALSE(next.OneFile());
}

TEST_F(ContactExportPages, ExportIsEnabledOnlyForAnExistingDirectory) {
    const std::string file = (m_dir / "a.vcf").string();
    std::ofstream(file) << "x";
    struct Case {
        const char* name;
        std::string text;
        bool enabled;
    } cases[] = {
        {"empty", "", false},
        {"missing", (m_dir / "missing").string(), false},
        {"a file", file, false},
        {"a directory", Dir(), true},
    };
    CSettingsStore settings = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        page.SetTargetFolder(c.text);
        EXPECT_EQ(page.ExportEnabled(), c.enabled);
        ContactExportChoices choices;
        EXPECT_EQ(page.OnExport(choices), c.enabled);
    }
    EXPECT_EQ(m_reg.Written().size(), 2u);  // only the accepted Export wrote
}

TEST_F(ContactExportPages, InitialOutlookFolder) {
    struct Case {
        const char* name;
        bool hasExplorer;
        bool failExplorer;
        Node explorerFolder;
        bool hasDefault;
        std::string text;
    } cases[] = {
        {"explorer on a contacts folder", true, false, m_work, true, "\\\\Personal Folders\\Contacts\\Work"},
        {"explorer on a calendar", true, false, m_calendar, true, "\\\\Personal Folders\\Contacts"},
        {"explorer without a folder", true, false, nullptr, true, "\\\\Personal Folders\\Contacts"},
        {"no explorer", false, false, m_work, true, "\\\\Personal Folders\\Contacts"},
        {"explorer fails", true, true, m_work, true, "\\\\Personal Folders\\Contacts"},
        {"no default folder either", true, false, m_calendar, false, ""},
    };
    CSettingsStore settings = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_app.hasExplorer = c.hasExplorer;
        m_app.failExplorer = c.failExplorer;
        m_app.explorerFolder = c.explorerFolder;
        m_app.defaultContacts = c.hasDefault ? m_contacts : nullptr;
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        EXPECT_EQ(page.FolderText(), c.text);
        EXPECT_EQ(page.Folder() != nullptr, !c.text.empty());
        page.SetTargetFolder(Dir());
        EXPECT_EQ(page.ExportEnabled(), !c.text.empty());  // nothing to export without a folder
    }
}

TEST_F(ContactExportPages, PickedFolderMustHoldContacts) {
    CSettingsStore settings = Settings();
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    ASSERT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts");

    m_app.pickAnswer = m_calendar;
    EXPECT_FALSE(page.BrowseFolder());
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].caption, "Mireo");
    EXPECT_EQ(m_box.Shown()[0].text, "Chosen folder is not Contact's folder");
    EXPECT_EQ(m_box.Shown()[0].icon, MbIcon::Error);
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts");

    m_app.pickAnswer.reset();  // cancelled: no message, nothing changes
    EXPECT_FALSE(page.BrowseFolder());
    EXPECT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts");

    m_app.pickAnswer = m_work;
    EXPECT_TRUE(page.BrowseFolder());
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts\\Work");
    EXPECT_EQ(m_box.Shown().size(), 1u);
    EXPECT_TRUE(m_reg.Written().empty());
}

// A dialog gives its pages its own message box (owned by its window): every message
// of the pages goes there, none to the message box in force.
TEST_F(ContactExportPages, MessagesGoToTheMessageBoxThePagesWereGiven) {
    CRecordingMessageBox own;
    CSettingsStore settings = Settings();
    CDlgVCardExport page(m_app, settings, own, kEncodings);
    m_app.pickAnswer = m_calendar;
    EXPECT_FALSE(page.BrowseFolder());  // string 145
    CDlgVCardExportOptions options = page.MakeOptionsPage();
    options.SetCategoryFilter(true);
    options.SetCategories("");
    EXPECT_FALSE(options.OnOk());  // string 127
    ASSERT_EQ(own.Shown().size(), 2u);
    EXPECT_EQ(own.Shown()[0].text, "Chosen folder is not Contact's folder");
    EXPECT_EQ(own.Shown()[1].text, "Please, enter categories");
    EXPECT_TRUE(m_box.Shown().empty());
}

TEST_F(ContactExportPages, SelectedContactsOnlyEnableRule) {
    struct Case {
        const char* name;
        Node explorerFolder;
        std::vector<ItemClass> selection;
        bool enabled;
    } cases[] = {
        {"contacts folder, a contact selected", m_work, {ItemClass::Other, ItemClass::Contact}, true},
        {"contacts folder, only a distribution list", m_work, {ItemClass::Other}, false},
        {"contacts folder, nothing selected", m_work, {}, false},
        {"calendar showing", m_calendar, {ItemClass::Contact}, false},
    };
    CSettingsStore settings = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_app.explorerFolder = c.explorerFolder;
        m_app.selection = c.selection;
        CDlgVCardExport page(m_app, settings, m_box, kEncodings);
        EXPECT_EQ(page.SelectedOnlyEnabled(), c.enabled);
        EXPECT_FALSE(page.SelectedOnly());  // never stored, starts unchecked
        page.SetSelectedOnly(true);
        EXPECT_EQ(page.SelectedOnly(), c.enabled);
        EXPECT_EQ(page.FolderChoiceEnabled(), !c.enabled);
    }
}

TEST_F(ContactExportPages, SelectedContactsOnlyExportsTheExplorersFolder) {
    m_app.explorerFolder = m_work;
    m_app.selection = {ItemClass::Contact};
    m_app.pickAnswer = m_contacts;
    CSettingsStore settings = Settings();
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    page.SetSelectedOnly(true);
    EXPECT_FALSE(page.BrowseFolder());  // the folder choice is disabled
    EXPECT_EQ(page.FolderText(), "\\\\Personal Folders\\Contacts\\Work");
    page.SetTargetFolder(Dir());
    ContactExportChoices choices;
    ASSERT_TRUE(page.OnExport(choices));
    EXPECT_TRUE(choices.selectedOnly);
    ASSERT_NE(choices.folder, nullptr);
    EXPECT_EQ(choices.folder->Name(), u"Work");
}

TEST_F(ContactExportPages, CategoriesChooserWorksOnATemporaryContact) {
    CSettingsStore settings = Settings();
    CDlgVCardExportOptions options(settings, m_box, kEncodings);
    options.SetCategories("Personal");

    m_app.categoriesAnswer = u"Business, Holiday";
    EXPECT_TRUE(options.ChooseCategories(m_app));
    EXPECT_EQ(options.Values().categories, "Business, Holiday");

    m_app.categoriesAnswer.reset();  // cancelled
    EXPECT_FALSE(options.ChooseCategories(m_app));
    EXPECT_EQ(options.Values().categories, "Business, Holiday");

    EXPECT_EQ(m_app.log.categoriesShown, (std::vector<std::u16string>{u"Personal", u"Business, Holiday"}));
    EXPECT_EQ(m_app.log.createdItems, 2);
    EXPECT_EQ(m_app.log.discardedItems, 2);
    EXPECT_EQ(m_app.log.savedItems, 0);
    EXPECT_TRUE(m_reg.Written().empty());
}

TEST_F(ContactExportPages, HelpOpensTheTopics) {
    CSettingsStore settings = Settings();
    CRecordingHelp help;
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    page.OnHelp(&help);
    page.OnHelp(nullptr);
    ContactExportOutcome outcome;
    CDlgVCardExportFinish finish(settings, outcome);
    finish.OnWhyLink(&help);
    EXPECT_EQ(help.topics, (std::vector<std::string>{"Export_Contacts_to_Files_with_Mireo.htm",
                                                     "Item_Skipping_during_Import_Export.htm"}));
}

TEST_F(ContactExportPages, FinishStatusAndCounts) {
    struct Case {
        const char* name;
        RunCounters counters;  // skipped, failed, succeeded
        const char* status;
    } cases[] = {
        {"nothing at all", {0, 0, 0}, "Export completed successfully."},
        {"all written", {0, 0, 5}, "Export completed successfully."},
        {"skipped", {2, 0, 5}, "Export completed with skipped items."},
        {"failed", {0, 1, 5}, "Export completed with errors."},
        {"both", {2, 1, 5}, "Export completed with skipped items and with errors."},
    };
    CSettingsStore settings = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContactExportOutcome outcome;
        outcome.counters = c.counters;
        CDlgVCardExportFinish finish(settings, outcome);
        EXPECT_EQ(finish.StatusText(), c.status);
        const std::vector<FinishCount> counts = finish.Counts();
        ASSERT_EQ(counts.size(), 4u);
        EXPECT_EQ(counts[0].label, "Selected contacts:");
        EXPECT_EQ(counts[0].value, c.counters.Total());
        EXPECT_EQ(counts[1].value, c.counters.succeeded);
        EXPECT_EQ(counts[2].label, "Failures:");
        EXPECT_EQ(counts[2].highlighted, c.counters.failed != 0);
        EXPECT_EQ(counts[3].label, "Skipped (Why?):");
        EXPECT_EQ(counts[3].highlighted, c.counters.skipped != 0);
        EXPECT_EQ(finish.MailEnabled(), c.counters.succeeded > 0);
    }
}

TEST_F(ContactExportPages, FinishCloseStoresAndPerforms) {
    CSettingsStore settings = Settings();
    ContactExportOutcome outcome;
    outcome.counters.succeeded = 2;
    outcome.targetFolder = Dir();
    outcome.writtenFiles = {(m_dir / "Ann.vcf").string(), (m_dir / "Bob.vcf").string()};
    CDlgVCardExportFinish finish(settings, outcome);
    finish.SetMail(true);
    CRecordingOpener opener;
    EXPECT_TRUE(m_reg.Written().empty());  // nothing until Close
    EXPECT_TRUE(finish.OnClose(opener, m_app));
    EXPECT_EQ(m_reg.Written(), (std::vector<std::string>{"Contacts.Export.OpenFolder", "Contacts.Export.OpenMail"}));
    EXPECT_EQ(opener.opened, std::vector<std::string>{Dir()});
    ASSERT_EQ(m_app.log.mails.size(), 1u);
    EXPECT_TRUE(m_app.log.mails[0].displayed);
    EXPECT_EQ(m_app.log.mails[0].attachments,
              (std::vector<std::u16string>{ToHostText(outcome.writtenFiles[0]), ToHostText(outcome.writtenFiles[1])}));

    // The next finish page opens with those choices.
    CDlgVCardExportFinish next(settings, outcome);
    EXPECT_TRUE(next.OpenFolder());
    EXPECT_TRUE(next.Mail());
}

TEST_F(ContactExportPages, MailBoxStaysDisabledWithNothingExported) {
    CSettingsStore settings = Settings();
    settings.WriteFlag("Contacts.Export.OpenMail", true);
    settings.WriteFlag("Contacts.Export.OpenFolder", false);
    ContactExportOutcome outcome;
    outcome.counters.skipped = 3;
    outcome.targetFolder = Dir();
    CDlgVCardExportFinish finish(settings, outcome);
    EXPECT_FALSE(finish.MailEnabled());
    finish.SetMail(false);  // a disabled box cannot be changed
    EXPECT_TRUE(finish.Mail());
    CRecordingOpener opener;
    finish.OnClose(opener, m_app);
    EXPECT_TRUE(m_app.log.mails.empty());
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.OpenMail"), 1u);
}

TEST_F(ContactExportPages, OpenFolderOnlyForAnExistingDirectory) {
    CSettingsStore settings = Settings();
    ContactExportOutcome outcome;
    outcome.targetFolder = (m_dir / "gone").string();
    CDlgVCardExportFinish finish(settings, outcome);
    CRecordingOpener opener;
    finish.OnOpenFolderLink(opener);
    EXPECT_FALSE(finish.OnClose(opener, m_app));
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(ContactExportPages, MailFailureIsNotFatal) {
    CSettingsStore settings = Settings();
    ContactExportOutcome outcome;
    outcome.counters.succeeded = 1;
    outcome.writtenFiles = {"x.vcf"};
    CDlgVCardExportFinish finish(settings, outcome);
    finish.SetOpenFolder(false);
    finish.SetMail(true);
    m_app.failAttach = true;
    CRecordingOpener opener;
    EXPECT_FALSE(finish.OnClose(opener, m_app));
    EXPECT_TRUE(m_box.Shown().empty());
    EXPECT_EQ(settings.ReadNumber("Contacts.Export.OpenMail"), 1u);
}

TEST_F(ContactExportPages, UnopenableSettingsKeyGivesDefaultsAndStillExports) {
    m_reg.RefuseOpen(true);
    CSettingsStore settings = Settings();
    ASSERT_FALSE(settings.IsOpen());
    CDlgVCardExport page(m_app, settings, m_box, kEncodings);
    CDlgVCardExportOptions options = page.MakeOptionsPage();
    options.SetVersion30(true);
    ASSERT_TRUE(options.OnOk());
    page.ApplyOptions(options);
    page.SetTargetFolder(Dir());
    ContactExportChoices choices;
    ASSERT_TRUE(page.OnExport(choices));
    EXPECT_EQ(choices.format, 30);  // the page's values, though nothing could be stored
    EXPECT_TRUE(m_reg.Written().empty());
}

}  // namespace
}  // namespace mireo
