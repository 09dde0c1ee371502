// mireo export-contacts end to end: a store, a registry file and a folder of its own;
// the real run writes the files and the exit status follows the counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/commands.h"
#include "cli/export_contacts_command.h"
#include "cli/testing/command_run_fixture.h"
#include "hoststore/item_json.h"
#include "platform/output_files.h"
#include "platform/testing/filling_output_files.h"

namespace mireo::cli {
namespace {

namespace fs = std::filesystem;

const char kContacts[] = R"([
  {"LastName": "Lindqvist", "FirstName": "Åsa", "Email1Address": "asa@example.org", "Categories": "Business"},
  {"LastName": "Petrova", "FirstName": "Natalya", "Categories": "Clients", "Sensitivity": 2},
  {"LastName": "Smith", "FirstName": "Ann", "Categories": "Personal, Business"}
])";

const char kEncodingsText[] = "UTF-8|UTF-8|65001\r\nCyrillic (Windows-1251)|windows-1251|1251\r\n";

class ExportContactsRunTest : public test::CCommandRunTest {
protected:
    ExportContactsRunTest() : CCommandRunTest("mireo_xr_", kEncodingsText) {
        fs::create_directories(m_base / "out");
        m_system = CreateSystemOutputFiles();
        m_files = std::make_unique<test::CFillingOutputFiles>(*m_system);

        auto folder = m_app->FolderByPath(u"Contacts");
        auto items = folder->Items();
        auto mapi = m_app->Mapi().CreateMapiUtils();
        for (const auto& j : ItemJson::parse(kContacts)) AddItemFromJson(*items, kFolderContact, j, *mapi);
    }
    std::string Out() const { return (m_base / "out").string(); }

    Result Run(const std::vector<std::string>& argv) {
        ExportContactsArgs args;
        std::ostringstream parseErr;
        if (!ParseExportContactsArgs(argv, args, parseErr)) return {kExitUsage, "", parseErr.str()};
        std::istringstream in;
        std::ostringstream out, err;
        ExportContactsContext context{
            .app = *m_app,
            .mapi = m_app->Mapi(),
            .registry = *m_reg,
            .log = m_log,
            .help = &m_log,
            .files = *m_files,
            .converter = *m_converter,
            .listSeparator = ",",
            .progress = m_progress,
            .in = in,
            .out = out,
            .err = err,
        };
        const int status = RunExportContacts(args, context);
        return {status, out.str(), err.str()};
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_base / "out")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_base / "out" / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::unique_ptr<IOutputFiles> m_system;
    std::unique_ptr<test::CFillingOutputFiles> m_files;
};

TEST_F(ExportContactsRunTest, FilePerContactWritesEveryCardAndStoresTheChoices) {
    Result r = Run({"Contacts", "--to", Out(), "--file-per-contact", "--format", "3.0", "--encoding", "UTF-8"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Files(), (std::vector<std::string>{"Lindqvist, Åsa.vcf", "Petrova, Natalya.vcf", "Smith, Ann.vcf"}));
    const std::string card = Read("Lindqvist, Åsa.vcf");
    EXPECT_EQ(card.rfind("BEGIN:VCARD\r\n", 0), 0u) << card;
    EXPECT_NE(card.find("\r\nVERSION:3.0\r\n"), std::string::npos) << card;
    EXPECT_NE(card.find("MIREO 1.0"), std::string::npos) << card;  // the product version reaches PRODID
    EXPECT_NE(card.find("Åsa"), std::string::npos);
    EXPECT_NE(r.out.find("Export completed successfully.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Selected contacts:      3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Successfully exported:  3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(Out() + "/Smith, Ann.vcf\n"), std::string::npos) << r.out;
    EXPECT_EQ(m_progress.StartCount(), 1);
    EXPECT_EQ(m_progress.Label(), "Exporting...");
    EXPECT_EQ(m_progress.LastPos(), 3);

    EXPECT_EQ(m_settings->ReadText("Contacts.Export.Folder", 260), Out());
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.OneFile"), 0u);
    EXPECT_EQ(m_settings->ReadNumber("Contacts.Export.Format"), 30u);
    EXPECT_EQ(m_settings->ReadText("Contacts.Export.Encoding", 256), "UTF-8");
    // The finish page's choices stay as they were: the command line does not offer them.
    EXPECT_FALSE(m_settings->ReadNumber("Contacts.Export.OpenFolder"));
    EXPECT_FALSE(m_settings->ReadNumber("Contacts.Export.OpenMail"));
}

TEST_F(ExportContactsRunTest, OneFileFromTheStoredChoices) {
    ASSERT_EQ(Run({"--to", Out(), "--file-per-contact", "--format", "3.0"}).status, kExitOk);
    fs::remove_all(m_base / "out");
    fs::create_directories(m_base / "out");
    Result r = Run({"--one-file", "--format", "2.1", "--encoding", "windows-1251"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{"Contacts.vcf"});
    const std::string text = Read("Contacts.vcf");
    std::size_t cards = 0;
    for (std::size_t at = text.find("BEGIN:VCARD"); at != std::string::npos; at = text.find("BEGIN:VCARD", at + 1)) ++cards;
    EXPECT_EQ(cards, 3u);
    EXPECT_NE(text.find("VERSION:2.1\r\n"), std::string::npos);
    EXPECT_NE(text.find("CHARSET=windows-1251"), std::string::npos);
}

TEST_F(ExportContactsRunTest, FilteredContactsAreSkipped) {
    Result r = Run({"--to", Out(), "--file-per-contact", "--skip-private", "--exclude-categories", "Personal"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{"Lindqvist, Åsa.vcf"});
    EXPECT_NE(r.out.find("Export completed with skipped items.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Skipped:                2\n"), std::string::npos) << r.out;
}

TEST_F(ExportContactsRunTest, AFailedContactGivesStatusOne) {
    m_files->FailCreatesFrom(2);
    Result r = Run({"--to", Out(), "--file-per-contact"});
    EXPECT_EQ(r.status, kExitItemFailed) << r.out << r.err;
    EXPECT_NE(r.out.find("Export completed with errors.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Failures:               2\n"), std::string::npos) << r.out;
}

TEST_F(ExportContactsRunTest, InvalidOptionsGiveStatusTwoAndNoRun) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"empty include list", {"--to", Out(), "--include-categories", ""}},
        {"missing target", {"--to", Out() + "/nope"}},
        {"calendar folder", {"Calendar", "--to", Out()}},
        {"bad format", {"--to", Out(), "--format", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.args).status, kExitUsage);
        EXPECT_TRUE(Files().empty());
        EXPECT_EQ(m_progress.StartCount(), 0);
        EXPECT_FALSE(m_settings->ReadText("Contacts.Export.Folder", 260));
    }
}

TEST_F(ExportContactsRunTest, RunThatCannotStartGivesStatusTwo) {
    m_app->FailCall("Folder.Items", 1, static_cast<HRESULT>(0x80004005));
    Result r = Run({"--to", Out()});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("could not start"), std::string::npos) << r.err;
    EXPECT_TRUE(Files().empty());
}

TEST_F(ExportContactsRunTest, EmptyFolderFinishesWithZeroes) {
    m_app->FolderByPath(u"Contacts")->Folders()->Add(u"Empty", kFolderContact);
    Result r = Run({"Contacts/Empty", "--to", Out()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_progress.StartCount(), 0);
    EXPECT_NE(r.out.find("Export completed successfully.\n  Selected contacts:      0\n"), std::string::npos) << r.out;
}

TEST(ExportContactsCommand, HelpAndBadArguments) {
    GlobalOptions options;
    options.storePath = ":memory:";
    std::ostringstream out, err;
    EXPECT_EQ(RunExportContactsCommand(options, {"--help"}, out, err), kExitOk);
    EXPECT_NE(out.str().find("usage: mireo export-contacts [FOLDER] --to DIR [options]"), std::string::npos);
    EXPECT_NE(out.str().find("--include-categories LIST"), std::string::npos);
    std::ostringstream out2, err2;
    EXPECT_EQ(RunExportContactsCommand(options, {"--frobnicate"}, out2, err2), kExitUsage);
    EXPECT_NE(err2.str().find("unknown option --frobnicate"), std::string::npos);
}

}  // namespace
}  // namespace mireo::cli
