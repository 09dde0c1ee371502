// mireo import-contacts end to end: a store, a registry file and vCard files of its
// own; the options are stored, the finish page printed and the exit status follows
// the counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/import_contacts_command.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kEncodingsText[] = "UTF-8|UTF-8|65001\r\n";
const char kCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann\r\nFN:Ann Smith\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Petrova;Natalya\r\nCLASS:PRIVATE\r\nEND:VCARD\r\n";

class ImportContactsRunTest : public ::testing::Test {
protected:
    ImportContactsRunTest()
        : m_base(fs::temp_directory_path() /
                 ("mireo_ir_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))),
          m_scope(m_box) {
        fs::remove_all(m_base);
        fs::create_directories(m_base / "in");
        m_app = std::make_unique<CHostApplication>(DefaultHostStoreOptions((m_base / "store.db").string()));
        m_reg = std::make_unique<CRegistryFile>((m_base / "registry.reg").string());
        m_settings = std::make_unique<CSettingsStore>(*m_reg);
        m_converter = MireoCharConverter::FromText(kEncodingsText);
        std::ofstream(m_base / "in" / "cards.vcf", std::ios::binary) << kCards;
        m_app->FolderByPath(u"Contacts")->Folders()->Add(u"Imported", kFolderContact);
    }
    ~ImportContactsRunTest() override {
        m_settings.reset();
        m_reg.reset();
        m_app.reset();
        std::error_code ec;
        fs::remove_all(m_base, ec);
    }
    std::string In() const { return (m_base / "in").string(); }

    struct Result {
        int status;
        std::string out, err;
    };
    Result Run(const std::vector<std::string>& argv) {
        ImportContactsArgs args;
        std::ostringstream parseErr;
        if (!ParseImportContactsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::ostringstream out, err;
        ImportContactsContext context{
            .app = *m_app,
            .mapi = m_app->Mapi(),
            .settings = *m_settings,
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

    fs::path m_base;
    CRecordingMessageBox m_box;
    CScopedMessageBox m_scope;
    std::unique_ptr<CHostApplication> m_app;
    std::unique_ptr<CRegistryFile> m_reg;
    std::unique_ptr<CSettingsStore> m_settings;
    std::unique_ptr<MireoCharConverter> m_converter;
    CRecordingLogger m_log;
    CScriptedProgressView m_progress;
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
