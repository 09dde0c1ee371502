// mireo export-contacts: the options onto the pages, their checks, and what is stored.
#include "cli/export_contacts_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "hoststore/host_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/scratch_folder.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kEncodingsText[] =
    "UTF-8|UTF-8|65001\r\n"
    "Western European (Windows-1252)|windows-1252|1252\r\n"
    "Cyrillic (Windows-1251)|windows-1251|1251\r\n";

const char* const kStoredNames[] = {"Contacts.Export.Folder",   "Contacts.Export.OneFile",
                                    "Contacts.Export.Format",   "Contacts.Export.Encoding",
                                    "Contacts.Export.Overwrite", "Contacts.Export.Filter",
                                    "Contacts.Export.Filter.Categories"};

SupportedEncodingsList Encodings() {
    SupportedEncodingsList list;
    list.LoadFromText(kEncodingsText);
    return list;
}

// ---- argument parsing ------------------------------------------------------------

TEST(ExportContactsArgs, ParsesThePagesControls) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool ok;
        void (*check)(const ExportContactsArgs&);
    } cases[] = {
        {"folder and target", {"Contacts/Work", "--to", "/tmp/x"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_EQ(a.folder, "Contacts/Work");
             EXPECT_EQ(a.to, "/tmp/x");
             EXPECT_FALSE(a.TouchesOptionsPage());
         }},
        {"inline values", {"--to=/a b", "--format=3.0", "--encoding=utf-8"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_EQ(a.to, "/a b");
             EXPECT_EQ(a.format, 30);
             EXPECT_EQ(a.encoding, "utf-8");
         }},
        {"the last of a pair wins", {"--one-file", "--file-per-contact", "--overwrite", "--no-overwrite"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_EQ(a.oneFile, false);
             EXPECT_EQ(a.overwrite, false);
             EXPECT_TRUE(a.TouchesOptionsPage());
         }},
        {"format 2.1", {"--format", "2.1"}, true, [](const ExportContactsArgs& a) { EXPECT_EQ(a.format, 21); }},
        {"include categories", {"--include-categories", "VIP, Business", "--skip-private"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_EQ(a.categoryMode, CategoryMode::Include);
             EXPECT_EQ(a.categories, "VIP, Business");
             EXPECT_EQ(a.skipPrivate, true);
         }},
        {"any categories after exclude", {"--exclude-categories", "X", "--any-categories"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_EQ(a.categoryMode, CategoryMode::Any);
             EXPECT_EQ(a.categories, "");
         }},
        {"a folder after --", {"--", "-odd name"}, true,
         [](const ExportContactsArgs& a) { EXPECT_EQ(a.folder, "-odd name"); }},
        {"interactive and help", {"-i", "--help"}, true,
         [](const ExportContactsArgs& a) {
             EXPECT_TRUE(a.interactive);
             EXPECT_TRUE(a.help);
         }},
        {"unknown format", {"--format", "4.0"}, false, nullptr},
        {"missing value", {"--to"}, false, nullptr},
        {"value on a flag", {"--overwrite=yes"}, false, nullptr},
        {"unknown option", {"--selected-only"}, false, nullptr},
        {"two folders", {"Contacts", "Calendar"}, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExportContactsArgs a;
        std::ostringstream err;
        EXPECT_EQ(ParseExportContactsArgs(c.args, a, err), c.ok);
        EXPECT_EQ(err.str().empty(), c.ok) << err.str();
        if (c.ok && c.check != nullptr) c.check(a);
    }
}

TEST(ExportContactsArgs, EncodingByDisplayOrCharsetName) {
    const SupportedEncodingsList list = Encodings();
    struct Case {
        const char* text;
        const char* want;  // null: not found
    } cases[] = {
        {"Cyrillic (Windows-1251)", "Cyrillic (Windows-1251)"},
        {"cyrillic (windows-1251)", "Cyrillic (Windows-1251)"},
        {"WINDOWS-1252", "Western European (Windows-1252)"},
        {"utf-8", "UTF-8"},
        {"1252", nullptr},
        {"", nullptr},
        {"Cyrillic", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<std::string> got = ResolveEncodingName(c.text, list);
        if (c.want == nullptr) {
            EXPECT_FALSE(got);
        } else {
            EXPECT_EQ(got, c.want);
        }
    }
}

// ---- the wizard over a store and a registry file ---------------------------------

class ExportContactsWizardTest : public ::testing::Test {
protected:
    ExportContactsWizardTest()
        : m_app(DefaultHostStoreOptions(":memory:")),
          m_base("mireo_xc_"),
          m_scope(m_box) {
        fs::create_directories(m_base / "out");
        m_reg = std::make_unique<CRegistryFile>((m_base / "registry.reg").string());
        m_settings = std::make_unique<CSettingsStore>(*m_reg);
        auto contacts = m_app.FolderByPath(u"Contacts");
        contacts->Folders()->Add(u"Work", kFolderContact);
        m_encodings = Encodings();
    }
    std::string Out() const { return (m_base / "out").string(); }

    struct Result {
        bool ran;
        int status;
        ContactExportChoices choices;
        std::string out, err;
    };
    Result Run(const std::vector<std::string>& argv, const std::string& input = "") {
        ExportContactsArgs args;
        std::ostringstream parseErr;
        EXPECT_TRUE(ParseExportContactsArgs(argv, args, parseErr)) << parseErr.str();
        std::istringstream in(input);
        std::ostringstream out, err;
        CTerminalContactExportWizard wizard(m_app, *m_settings, m_box, m_encodings, args, in, out, err);
        Result r;
        r.ran = wizard.Run(r.choices);
        r.status = wizard.WizardStatus();
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    bool NothingStored() const {
        for (const char* name : kStoredNames)
            if (m_settings->ReadNumber(name) || m_settings->ReadTextAnyLength(name)) return false;
        return true;
    }
    std::string FolderPath(IFolder* f) const { return f != nullptr ? FromHostText(FolderPathText(*f)) : "<none>"; }

    CHostApplication m_app;
    test::CScratchFolder m_base;  // before the registry file, which closes first
    std::unique_ptr<CRegistryFile> m_reg;
    std::unique_ptr<CSettingsStore> m_settings;
    SupportedEncodingsList m_encodings;
    CRecordingMessageBox m_box;
    CScopedMessageBox m_scope;
};

TEST_F(ExportContactsWizardTest, TargetAloneStoresFolderAndOneFileOnly) {
    Result r = Run({"--to", Out()});
    ASSERT_TRUE(r.ran) << r.err;
    EXPECT_EQ(FolderPath(r.choices.folder.get()), "\\\\Personal Folders\\Contacts");
    EXPECT_EQ(r.choices.targetFolder, Out());
    EXPECT_TRUE(r.choices.oneFile);
    EXPECT_EQ(r.choices.format, 21);
    EXPECT_EQ(r.choices.encoding, "UTF-8");
    EXPECT_EQ(r.choices.filterMask, 0u);
    EXPECT_EQ(m_settings->ReadText("Contacts.Export.Folder", 260), Out());
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.OneFile"), 1u);
    for (const char* name : {"Contacts.Export.Format", "Contacts.Export.Encoding", "Contacts.Export.Overwrite",
                             "Contacts.Export.Filter", "Contacts.Export.Filter.Categories"}) {
        EXPECT_FALSE(m_settings->ReadNumber(name) || m_settings->ReadTextAnyLength(name)) << name;
    }
    EXPECT_TRUE(m_box.Shown().empty());
}

TEST_F(ExportContactsWizardTest, GivenOptionsAreStoredAsTheOptionsPageStoresThem) {
    Result r = Run({"Contacts/Work", "--to", Out(), "--file-per-contact", "--format", "3.0", "--encoding",
                    "windows-1251", "--overwrite", "--skip-private", "--include-categories", "VIP"});
    ASSERT_TRUE(r.ran) << r.err;
    EXPECT_EQ(FolderPath(r.choices.folder.get()), "\\\\Personal Folders\\Contacts\\Work");
    EXPECT_FALSE(r.choices.oneFile);
    EXPECT_EQ(r.choices.format, 30);
    EXPECT_EQ(r.choices.encoding, "Cyrillic (Windows-1251)");
    EXPECT_TRUE(r.choices.overwrite);
    EXPECT_EQ(r.choices.filterMask, 2u | 8u);
    EXPECT_EQ(r.choices.filterCategories, "VIP");
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.OneFile"), 0u);
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Format"), 30u);
    EXPECT_EQ(m_settings->ReadText("Contacts.Export.Encoding", 256), "Cyrillic (Windows-1251)");
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Overwrite"), 1u);
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Filter"), 10u);
    EXPECT_EQ(m_settings->ReadTextAnyLength("Contacts.Export.Filter.Categories"), "VIP");

    // The next run without options starts from the stored choices.
    Result next = Run({});
    ASSERT_TRUE(next.ran) << next.err;
    EXPECT_EQ(next.choices.targetFolder, Out());
    EXPECT_FALSE(next.choices.oneFile);
    EXPECT_EQ(next.choices.format, 30);
    EXPECT_EQ(next.choices.filterMask, 10u);
    // "--any-categories" alone stores the options page again, filter off.
    Result any = Run({"--any-categories"});
    ASSERT_TRUE(any.ran) << any.err;
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Filter"), 2u);
    EXPECT_EQ(m_settings->ReadTextAnyLength("Contacts.Export.Filter.Categories"), "VIP");
}

TEST_F(ExportContactsWizardTest, InvalidOptionsAreRefusedAndNothingIsStored) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* caption;  // the message box, or null for a message on stderr
        std::string text;
    } cases[] = {
        {"include with an empty list", {"--to", Out(), "--include-categories", " "}, "Mireo", "Please, enter categories"},
        {"exclude with an empty list", {"--to", Out(), "--format", "3.0", "--exclude-categories", ""}, "Mireo",
         "Please, enter categories"},
        {"target missing", {"--to", Out() + "/missing", "--format", "3.0"}, "Mireo - Error",
         "The name '" + Out() + "/missing' isn't accessible."},
        {"not a contacts folder", {"Calendar", "--to", Out()}, "Mireo", "Chosen folder is not Contact's folder"},
        {"no such folder", {"Contacts/Home", "--to", Out()}, nullptr, "no Outlook folder \"Contacts/Home\""},
        {"unknown encoding", {"--to", Out(), "--encoding", "EBCDIC"}, nullptr, "Cyrillic (Windows-1251) (windows-1251)"},
        {"no target at all", {"--one-file"}, nullptr, "give --to DIR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.Clear();
        Result r = Run(c.args);
        EXPECT_FALSE(r.ran);
        EXPECT_EQ(r.status, kExitUsage);
        EXPECT_TRUE(NothingStored());
        if (c.caption != nullptr) {
            ASSERT_EQ(m_box.Shown().size(), 1u);
            EXPECT_EQ(m_box.Shown()[0].caption, c.caption);
            EXPECT_EQ(m_box.Shown()[0].text, c.text);
            if (std::string(c.caption) == "Mireo - Error" || c.text.find("Contact's") != std::string::npos) {
                EXPECT_EQ(m_box.Shown()[0].icon, MbIcon::Error);
            }
        } else {
            EXPECT_TRUE(m_box.Shown().empty());
            EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        }
    }
}

TEST_F(ExportContactsWizardTest, StoredTargetThatIsGoneIsRefused) {
    m_settings->WriteText("Contacts.Export.Folder", Out() + "/gone");
    Result r = Run({});
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.status, kExitUsage);
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].caption, "Mireo - Error");
}

TEST_F(ExportContactsWizardTest, InteractiveEnterKeepsEveryValue) {
    // Folder, Windows folder, one file, private, categories, overwrite, format, encoding, Export.
    Result r = Run({"--to", Out(), "--format", "3.0", "-i"}, "\n\n\n\n\n\n\n\n\n");
    ASSERT_TRUE(r.ran) << r.out << r.err;
    EXPECT_EQ(FolderPath(r.choices.folder.get()), "\\\\Personal Folders\\Contacts");
    EXPECT_EQ(r.choices.targetFolder, Out());
    EXPECT_EQ(r.choices.format, 30);
    EXPECT_NE(r.out.find("Outlook folder [\\\\Personal Folders\\Contacts]: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Format of vCard files [2]: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Encoding [UTF-8]: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Export contacts with categories:   any"), std::string::npos) << r.out;
    // Walking the options page is its OK: all five values are stored.
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Format"), 30u);
    EXPECT_EQ(m_settings->ReadText("Contacts.Export.Encoding", 256), "UTF-8");
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Filter"), 0u);
}

TEST_F(ExportContactsWizardTest, InteractiveAnswersAreCheckedAsThePagesCheckThem) {
    const std::string input = std::string("Calendar\n")  // refused: string 145
                              + "Contacts/Nowhere\n"      // no such folder
                              + "contacts/work\n"         // names ignore case
                              + Out() + "/missing\n"      // string 114
                              + Out() + "\n"
                              + "n\n"                     // one file: no
                              + "maybe\ny\n"              // private
                              + "include\n"
                              + "   \n"                   // keeps "Personal"
                              + "y\n"                     // overwrite
                              + "3\n2\n"                  // format: 3 is not offered
                              + "3\n"                     // encoding number 3
                              + "\n";                     // Export
    Result r = Run({"-i"}, input);
    ASSERT_TRUE(r.ran) << r.out << r.err;
    EXPECT_EQ(FolderPath(r.choices.folder.get()), "\\\\Personal Folders\\Contacts\\Work");
    EXPECT_FALSE(r.choices.oneFile);
    EXPECT_EQ(r.choices.filterMask, 2u | 8u);
    EXPECT_EQ(r.choices.filterCategories, "Personal");
    EXPECT_TRUE(r.choices.overwrite);
    EXPECT_EQ(r.choices.format, 30);
    EXPECT_EQ(r.choices.encoding, "Cyrillic (Windows-1251)");
    ASSERT_EQ(m_box.Shown().size(), 2u);
    EXPECT_EQ(m_box.Shown()[0].text, "Chosen folder is not Contact's folder");
    EXPECT_EQ(m_box.Shown()[1].text, "The name '" + Out() + "/missing' isn't accessible.");
    EXPECT_NE(r.out.find("There is no Outlook folder \"Contacts/Nowhere\"."), std::string::npos);
}

TEST_F(ExportContactsWizardTest, InteractiveEmptyCategoriesAreAskedAgain) {
    m_settings->WriteText("Contacts.Export.Filter.Categories", "");
    Result r = Run({"--to", Out(), "-i"}, "\n\n\n\nexclude\n\n\nFriends\n\n\n\n\n");
    ASSERT_TRUE(r.ran) << r.out << r.err;
    EXPECT_EQ(r.choices.filterMask, 4u);
    EXPECT_EQ(r.choices.filterCategories, "Friends");
    ASSERT_EQ(m_box.Shown().size(), 2u);  // two empty answers, two refusals
    EXPECT_EQ(m_box.Shown()[0].text, "Please, enter categories");
}

TEST_F(ExportContactsWizardTest, InteractiveEndOfInputCancels) {
    Result r = Run({"--to", Out(), "-i"}, "\n\n");
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.find("Export cancelled."), std::string::npos);
    EXPECT_TRUE(NothingStored());

    Result no = Run({"--to", Out(), "-i"}, "\n\n\n\n\n\n\n\nno\n");
    EXPECT_FALSE(no.ran);
    EXPECT_EQ(no.status, kExitOk);
    EXPECT_FALSE(m_settings->ReadText("Contacts.Export.Folder", 260));  // Export was not pressed
}

TEST_F(ExportContactsWizardTest, FinishPrintsTheFinishPage) {
    ExportContactsArgs args;
    std::istringstream in;
    std::ostringstream out, err;
    CTerminalContactExportWizard wizard(m_app, *m_settings, m_box, m_encodings, args, in, out, err);
    ContactExportOutcome outcome;
    outcome.counters = {1, 2, 3};  // skipped, failed, succeeded
    outcome.targetFolder = "/x";
    outcome.writtenFiles = {"/x/a.vcf", "/x/b.vcf"};
    wizard.Finish(outcome);
    EXPECT_TRUE(wizard.Finished());
    EXPECT_EQ(out.str(),
              "Export completed with skipped items and with errors.\n"
              "  Selected contacts:      6\n"
              "  Successfully exported:  3\n"
              "  Failures:               2\n"
              "  Skipped:                1\n"
              "Files written to /x:\n"
              "  /x/a.vcf\n"
              "  /x/b.vcf\n");
    EXPECT_TRUE(NothingStored());
}

}  // namespace
}  // namespace mireo::cli
