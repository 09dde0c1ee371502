// mireo import-contacts end to end: a store, a registry file and vCard files of its
// own; the options are stored, the finish page printed and the exit status follows
// the counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/import_contacts_command.h"
#include "cli/testing/command_run_fixture.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kEncodingsText[] = "UTF-8|UTF-8|65001\r\n";
const char kCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann\r\nFN:Ann Smith\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Petrova;Natalya\r\nCLASS:PRIVATE\r\nEND:VCARD\r\n";

class ImportContactsRunTest : public test::CCommandRunTest {
protected:
    ImportContactsRunTest() : CCommandRunTest("mireo_ir_", kEncodingsText) {
        fs::create_directories(m_base / "in");
        std::ofstream(m_base / "in" / "cards.vcf", std::ios::binary) << kCards;
        m_app->FolderByPath(u"Contacts")->Folders()->Add(u"Imported", kFolderContact);
    }
    std::string In() const { return (m_base / "in").string(); }

    Result Run(const std::vector<std::string>& argv) {
        ImportContactsArgs args;
        std::ostringstream parseErr;
        if (!ParseImportContactsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::ostringstream out, err;
        ImportContactsContext context{
            .app = *m_app,
            .mapi = m_app->Mapi(),
            .registry = *m_reg,
            .log = m_log,
            .help = &m_log,
            .converter = *m_converter,
            .listSeparator = ",",
            .progress = m_progress,
            .out = out,
            .err = err,
        };
        const int status = RunImportContacts(args, context);
        return {status, out.str(), err.str()};
    }
    int Count(const char16_t* path) { return m_app->FolderByPath(path)->Items()->Count(); }
};

TEST_F(ImportContactsRunTest, ImportsPrintsAndStores) {
    const Result r = Run({"--folder", "Contacts/Imported", "--skip-private", "--conflict", "keep-existing", In()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("  Selected (files/contacts):  1/2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Successfully imported:      1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Skipped:                    1\n"), std::string::npos) << r.out;
    EXPECT_EQ(Count(u"Contacts/Imported"), 1);
    EXPECT_EQ(m_settings->GetNumber("Contacts.Import.ConflictResolution"), 2u);
    EXPECT_EQ(m_settings->GetNumber("Contacts.Import.Filter"), static_cast<std::uint32_t>(kFilterSkipPrivate));
    EXPECT_EQ(m_settings->GetText("Contacts.Import.Folder"), In());

    // No paths and no options: the stored ones; keep existing skips both now.
    const Result again = Run({"--folder", "Contacts/Imported", "--include-private"});
    EXPECT_EQ(again.status, kExitOk) << again.err;
    EXPECT_EQ(Count(u"Contacts/Imported"), 2);
    EXPECT_NE(again.out.find("  Skipped:                    1\n"), std::string::npos) << again.out;
}

TEST_F(ImportContactsRunTest, InvalidOptions) {
    struct Case {
        const char* name;
        std::vector<std::string> argv;
        const char* message;  // the message box text, or empty
    } cases[] = {
        {"unreachable path", {(m_base / "nowhere").string()}, "isn't accessible."},
        {"empty include list", {"--include-categories", " ", In()}, "enter categories"},
        {"bad conflict", {"--conflict", "merge", In()}, ""},
        {"unknown folder", {"--folder", "Nope", In()}, ""},
        {"nothing stored, nothing given", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.Clear();
        const Result r = Run(c.argv);
        EXPECT_EQ(r.status, kExitUsage);
        if (*c.message) {
            ASSERT_EQ(m_box.Shown().size(), 1u);
            EXPECT_NE(m_box.Shown()[0].text.find(c.message), std::string::npos) << m_box.Shown()[0].text;
        }
    }
    EXPECT_EQ(Count(u"Contacts"), 0);
}

TEST_F(ImportContactsRunTest, AFailedContactGivesStatusOne) {
    m_app->FailCall("Save", 1, static_cast<HRESULT>(0x80004005));
    const Result r = Run({"--include-private", In()});
    EXPECT_EQ(r.status, kExitItemFailed);
    EXPECT_NE(r.out.find("  Failures:                   1\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mireo::cli
