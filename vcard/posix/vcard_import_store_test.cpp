// The contact import run end to end through the substitute host store: files the
// export wrote come back field by field; the conflict rules; failures of the store.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "hoststore/item_json.h"
#include "platform/message_box.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcard/contact_export.h"
#include "engine/run_summary.h"
#include "engine/save_counter.h"
#include "vcard/contact_import.h"
#include "vcard/export_parts.h"
#include "vcard/testing/scripted_export_wizard.h"
#include "vcard/testing/scripted_import_wizard.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using test::CScriptedExportWizard;
using test::CScriptedImportWizard;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

constexpr const char* kCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nFN:John Smith\r\nORG:Acme\r\nTEL;WORK;VOICE:555 0100\r\n"
    "END:VCARD\r\n";
constexpr const char* kChangedCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nFN:John Smith\r\nORG:Acme\r\nTEL;WORK;VOICE:555 0199\r\n"
    "END:VCARD\r\n";

class ContactImportRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                (std::string("mireo_irun_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "files");
        m_converter = MireoCharConverter::FromModuleDirectory();
        m_ns = m_app.GetNamespace();
        m_contacts = m_ns->GetDefaultFolder(DefaultFolder::Contacts);
        m_target = m_contacts->Folders()->Add(u"Imported", kFolderContact);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string Files() const { return (m_dir / "files").string(); }

    void AddSamples() {
        auto items = m_contacts->Items();
        auto mapi = m_app.Mapi().CreateMapiUtils();
        const std::string text = ReadText(std::string(MIREO_TESTDATA_DIR) + "/hoststore/sample-contacts.json");
        for (const auto& j : ItemJson::parse(text)) AddItemFromJson(*items, kFolderContact, j, *mapi);
    }

    void Export(bool oneFile, int format, const std::string& encoding) {
        CScriptedExportWizard wizard([&](ContactExportChoices& c) {
            c.folder = m_ns->GetDefaultFolder(DefaultFolder::Contacts);
            c.targetFolder = Files();
            c.oneFile = oneFile;
            c.format = format;
            c.encoding = encoding;
            return true;
        });
        auto files = CreateSystemOutputFiles();
        ASSERT_EQ(RunContactExport(Environment(*files, m_app.MajorVersion(9)), wizard), kRunDone);
    }

    ContactImportOutcome Import(int conflict, const std::string& paths = {}, std::uint32_t mask = 0,
                                const std::string& categories = {}) {
        CScriptedImportWizard wizard([&](ContactImportChoices& c) {
            c.folder = m_use->FolderByPath(u"Contacts/Imported");
            c.paths = paths.empty() ? Files() : paths;
            c.conflict = conflict;
            c.filterMask = mask;
            c.filterCategories = categories;
            return true;
        });
        EXPECT_EQ(RunContactImport(Environment(*m_noFiles, m_app.MajorVersion(9)), wizard), kRunDone);
        if (wizard.Finishes().size() != 1) return {};
        return wizard.Finishes().front();
    }

    // The records of a folder's contacts, in name order.
    std::vector<ContactRecord> Records(IFolder& folder) {
        std::vector<ContactRecord> records;
        auto safe = m_app.Mapi().CreateSafeContactItem();
        auto items = folder.Items();
        for (int i = 1; i <= items->Count(); ++i) {
            auto item = items->Item(i);
            safe->SetItem(*item);
            ContactRecord r;
            EXPECT_EQ(ReadContactRecord(*item, *safe, m_app.MajorVersion(9), r), kContactRead);
            records.push_back(r);
        }
        std::sort(records.begin(), records.end(), [](const ContactRecord& a, const ContactRecord& b) {
            return std::tie(a.LastName, a.FirstName, a.CompanyName, a.Email1Address) <
                   std::tie(b.LastName, b.FirstName, b.CompanyName, b.Email1Address);
        });
        return records;
    }

    // What the runs reach outside themselves: the store, no help, the list separator ",".
    RunEnvironment Environment(IOutputFiles& files, int hostMajorVersion) {
        return RunEnvironment{.app = *m_use,
                              .mapi = m_use->Mapi(),
                              .settings = m_settings,
                              .log = m_log,
                              .help = nullptr,
                              .files = files,
                              .messages = m_box,
                              .converter = *m_converter,
                              .listSeparator = ",",
                              .product = {1, 0, 0},
                              .hostMajorVersion = hostMajorVersion,
                              .progress = m_view};
    }

    int Count(IFolder& folder) { return folder.Items()->Count(); }
    int TargetCount() { return Count(*m_use->FolderByPath(u"Contacts/Imported")); }
    int DeletedCount() { return Count(*m_ns->GetDefaultFolder(DefaultFolder::DeletedItems)); }

    fs::path m_dir;
    CHostApplication m_app{DefaultHostStoreOptions(":memory:")};
    CHostApplication* m_use = &m_app;  // the store the runs work on
    std::unique_ptr<INamespace> m_ns;
    std::unique_ptr<IFolder> m_contacts;
    std::unique_ptr<IFolder> m_target;
    CSettingsStore m_settings{UniqueRegKey{}};
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    CScriptedProgressView m_view;
    std::unique_ptr<MireoCharConverter> m_converter;
    std::unique_ptr<IOutputFiles> m_noFiles = CreateSystemOutputFiles();  // the import writes none
};

// Fields the export does not write, or writes only as a part of another.
void ClearUnwritten(ContactRecord& r) {
    r.LastModificationTime.reset();
    r.FullName.clear();
    r.FileAs.clear();
}

bool Latin1(const ContactRecord& r) {
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if (p.kind != ContactValueKind::kText) continue;
        const std::u16string& t = r.*p.text;
        if (std::any_of(t.begin(), t.end(), [](char16_t ch) { return ch > 0xFF; })) return false;
    }
    return true;
}

TEST_F(ContactImportRun, ExportedContactsComeBackFieldByField) {
    AddSamples();
    struct Case {
        const char* name;
        bool oneFile;
        int format;
        const char* encoding;
    } cases[] = {
        {"2.1 UTF-8 one file", true, kVCard21, "UTF-8"},
        {"3.0 UTF-8 one file", true, kVCard30, "UTF-8"},
        {"2.1 Windows-1252 per contact", false, kVCard21, "Western European (Windows-1252)"},
        {"3.0 Windows-1252 per contact", false, kVCard30, "Western European (Windows-1252)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_dir / "files");
        fs::create_directories(m_dir / "files");
        {
            auto target = m_app.FolderByPath(u"Contacts/Imported");
            auto items = target->Items();
            while (items->Count() > 0) items->Item(1)->Delete();
        }
        Export(c.oneFile, c.format, c.encoding);
        const ContactImportOutcome outcome = Import(kConflictKeepBoth);
        std::vector<ContactRecord> before = Records(*m_contacts);
        std::vector<ContactRecord> after = Records(*m_app.FolderByPath(u"Contacts/Imported"));
        EXPECT_EQ(outcome.contacts, static_cast<int>(before.size()));
        EXPECT_EQ(outcome.counters.succeeded, static_cast<int>(before.size()));
        EXPECT_EQ(outcome.counters.failed, 0);
        ASSERT_EQ(after.size(), before.size());
        const bool latin1 = std::string(c.encoding) != "UTF-8";
        for (ContactRecord a : before) {
            if (latin1 && !Latin1(a)) continue;  // not representable in the chosen code page
            const auto match = std::find_if(after.begin(), after.end(), [&](const ContactRecord& r) {
                return r.LastName == a.LastName && r.FirstName == a.FirstName && r.CompanyName == a.CompanyName;
            });
            ASSERT_NE(match, after.end()) << "no imported contact for " << std::string(a.LastName.begin(), a.LastName.end());
            ContactRecord b = *match;
            ClearUnwritten(a);
            ClearUnwritten(b);
            for (const ContactPropertyInfo& p : ContactRecordProperties()) {
                if ((p.usedBy & kUsedByExport) == 0) continue;
                const std::string name = p.name;
                // Only the preferred e-mail's type is written; it comes back empty.
                if (name.find("AddressType") != std::string::npos) continue;
                if (p.kind == ContactValueKind::kText) {
                    EXPECT_EQ(b.*p.text, a.*p.text) << name;
                } else if (p.kind == ContactValueKind::kDate) {
                    EXPECT_EQ(b.*p.date, a.*p.date) << name;
                } else {
                    EXPECT_EQ(b.*p.integer, a.*p.integer) << name;
                }
            }
        }
    }
}

// People, a contact known by one name only, a company and a nameless contact: exported,
// imported, then imported again creates nothing, in both versions.
TEST_F(ContactImportRun, ExportedFilesImportedAgainCreateNothing) {
    AddSamples();
    {
        auto items = m_contacts->Items();
        auto mapi = m_app.Mapi().CreateMapiUtils();
        const char* extra = R"([
          {"FirstName": "Cher", "Categories": "Music, Legends"},
          {"CompanyName": "Umbrella", "Department": "Labs", "BusinessTelephoneNumber": "555 0100"},
          {"FileAs": "Grandma", "HomeTelephoneNumber": "555 0101", "Categories": "Family"}
        ])";
        for (const auto& j : ItemJson::parse(extra)) AddItemFromJson(*items, kFolderContact, j, *mapi);
    }
    const int contacts = Count(*m_contacts);
    for (int format : {kVCard21, kVCard30}) {
        SCOPED_TRACE(format);
        fs::remove_all(m_dir / "files");
        fs::create_directories(m_dir / "files");
        {
            auto items = m_app.FolderByPath(u"Contacts/Imported")->Items();
            while (items->Count() > 0) items->Item(1)->Delete();
        }
        Export(true, format, "UTF-8");
        const std::string file = ReadText((m_dir / "files" / "Contacts.vcf").string());
        EXPECT_NE(file.find("\r\nFN;CHARSET=UTF-8:Grandma\r\n"), std::string::npos);
        EXPECT_NE(file.find("\r\nFN;CHARSET=UTF-8:Umbrella\r\n"), std::string::npos);
        EXPECT_EQ(Import(kConflictKeepBoth).counters.succeeded, contacts);
        const ContactImportOutcome again = Import(kConflictKeepBoth);
        EXPECT_EQ(again.counters.succeeded, 0);
        EXPECT_EQ(again.counters.skipped, contacts);
        EXPECT_EQ(TargetCount(), contacts);
    }
}

// A card cut off by the next card or by the end of the file is counted failed and logged
// with its name and line; it is never merged into the next card.
TEST_F(ContactImportRun, CardsWithoutEndFailWithoutTouchingTheNext) {
    WriteText(m_dir / "files" / "a.vcf",
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\nEMAIL:ann@x\r\nNOTE:private\r\n"
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Roe;Bo\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Cut;Off\r\n");
    const ContactImportOutcome o = Import(kConflictKeepBoth);
    EXPECT_EQ(o.contacts, 3);
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.failed, 2);
    const std::vector<ContactRecord> got = Records(*m_app.FolderByPath(u"Contacts/Imported"));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].LastName, u"Roe");
    EXPECT_EQ(got[0].Email1Address, u"");
    EXPECT_EQ(got[0].Body, u"");
    const std::string file = (m_dir / "files" / "a.vcf").string();
    EXPECT_TRUE(m_log.Contains("Card without END:VCARD, not imported: \"Ann Lee\" (" + file + ", line 1)"));
    EXPECT_TRUE(m_log.Contains("Card without END:VCARD, not imported: \"Off Cut\" (" + file + ", line 10)"));
}

TEST_F(ContactImportRun, ConflictRules) {
    WriteText(m_dir / "files" / "a.vcf", kCard);
    // First import: one new contact.
    ContactImportOutcome first = Import(kConflictKeepBoth);
    EXPECT_EQ(first.counters.succeeded, 1);
    ASSERT_EQ(TargetCount(), 1);

    struct Case {
        const char* name;
        int conflict;
        const char* card;
        int succeeded, skipped, targetAfter, deletedAfter;
    } cases[] = {
        {"keep both, identical card: skipped", kConflictKeepBoth, kCard, 0, 1, 1, 0},
        {"keep existing, changed card: skipped", kConflictKeepExisting, kChangedCard, 0, 1, 1, 0},
        {"replace, identical card: skipped", kConflictReplace, kCard, 0, 1, 1, 0},
        {"replace, changed card: the old one goes to Deleted Items", kConflictReplace, kChangedCard, 1, 0, 1, 1},
        {"keep both, changed again: a second contact", kConflictKeepBoth, kCard, 1, 0, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(m_dir / "files" / "a.vcf", c.card);
        const ContactImportOutcome o = Import(c.conflict);
        EXPECT_EQ(o.counters.succeeded, c.succeeded);
        EXPECT_EQ(o.counters.skipped, c.skipped);
        EXPECT_EQ(o.counters.failed, 0);
        EXPECT_EQ(TargetCount(), c.targetAfter);
        EXPECT_EQ(DeletedCount(), c.deletedAfter);
    }
}

TEST_F(ContactImportRun, AContactWithATitleIsFoundAgainByItsFullName) {
    // The search name "Dr. Ann Smith" is not the contact's full name "Ann Smith".
    const char* card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann;;Dr.;\r\nFN:Ann Smith\r\nORG:Acme\r\n"
                       "TITLE:Buyer\r\nEND:VCARD\r\n";
    WriteText(m_dir / "files" / "a.vcf", card);
    EXPECT_EQ(Import(kConflictKeepBoth).counters.succeeded, 1);
    const ContactImportOutcome again = Import(kConflictKeepBoth);
    EXPECT_EQ(again.counters.succeeded, 0);
    EXPECT_EQ(again.counters.skipped, 1);
    EXPECT_EQ(Import(kConflictKeepExisting).counters.skipped, 1);
    std::string changed = card;
    changed.replace(changed.find("Buyer"), 5, "Head buyer");
    WriteText(m_dir / "files" / "a.vcf", changed);
    const ContactImportOutcome replaced = Import(kConflictReplace);
    EXPECT_EQ(replaced.counters.succeeded, 1);
    EXPECT_EQ(TargetCount(), 1);
    EXPECT_EQ(DeletedCount(), 1);
}

TEST_F(ContactImportRun, AFailedSaveDuringReplaceKeepsTheOldContact) {
    WriteText(m_dir / "files" / "a.vcf", kCard);
    Import(kConflictKeepBoth);
    WriteText(m_dir / "files" / "a.vcf", kChangedCard);
    m_app.FailCall("Save", 1, static_cast<HRESULT>(0x80004005));
    const ContactImportOutcome o = Import(kConflictReplace);
    EXPECT_EQ(o.counters.failed, 1);
    EXPECT_EQ(o.counters.succeeded, 0);
    ASSERT_EQ(TargetCount(), 1);
    EXPECT_EQ(DeletedCount(), 0);
    auto items = m_app.FolderByPath(u"Contacts/Imported")->Items();
    EXPECT_EQ(items->Item(1)->Get("BusinessTelephoneNumber").AsText(), u"555 0100");
}

// The new contact is filled only when the card is to be stored: a card found identical
// never writes a field, so a failing write cannot fail it; a changed card that cannot be
// filled fails, and the contact it would replace stays.
TEST_F(ContactImportRun, TheNewContactIsFilledOnlyWhenItIsStored) {
    WriteText(m_dir / "files" / "a.vcf", kCard);
    Import(kConflictKeepBoth);
    struct Case {
        const char* name;
        const char* card;
        int conflict;
        int skipped, failed;
        bool written;  // the import wrote a field (and met the failure)
    } cases[] = {
        {"identical card, keep both", kCard, kConflictKeepBoth, 1, 0, false},
        {"identical card, replace", kCard, kConflictReplace, 1, 0, false},
        {"changed card, replace", kChangedCard, kConflictReplace, 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(m_dir / "files" / "a.vcf", c.card);
        m_app.FailCall("Put", 1, static_cast<HRESULT>(0x80004005));
        const ContactImportOutcome o = Import(c.conflict);
        EXPECT_EQ(o.counters.succeeded, 0);
        EXPECT_EQ(o.counters.skipped, c.skipped);
        EXPECT_EQ(o.counters.failed, c.failed);
        EXPECT_EQ(TargetCount(), 1);
        EXPECT_EQ(DeletedCount(), 0);
        // A failure the import did not meet is still waiting for the next write.
        auto probe = m_app.FolderByPath(u"Contacts/Imported")->Items()->Add(ItemType::Contact);
        bool pending = false;
        try {
            probe->Put("LastName", Value::Text(u"x"));
        } catch (const HostError&) {
            pending = true;
        }
        EXPECT_EQ(pending, !c.written);
        probe->Discard();
    }
}

TEST_F(ContactImportRun, TheComparisonCopyLeavesOtherDeletedContactsAlone) {
    // An older contact of the same name already in Deleted Items.
    {
        auto deleted = m_ns->GetDefaultFolder(DefaultFolder::DeletedItems)->Items();
        auto item = deleted->Add(ItemType::Contact);
        item->Put("FirstName", Value::Text(u"John"));
        item->Put("LastName", Value::Text(u"Smith"));
        item->Put("CompanyName", Value::Text(u"Acme"));
        item->Save();
    }
    WriteText(m_dir / "files" / "a.vcf", kCard);
    Import(kConflictKeepBoth);
    const ContactImportOutcome o = Import(kConflictKeepBoth);  // compares, skips
    EXPECT_EQ(o.counters.skipped, 1);
    EXPECT_EQ(DeletedCount(), 1);
    EXPECT_EQ(TargetCount(), 1);
}

TEST_F(ContactImportRun, DuplicateFilterTexts) {
    struct Case {
        const char16_t* name;
        const char16_t* company;
        const char16_t* expected;
    } cases[] = {
        {u"Dr. John Q Smith Jr.", u"", u"[FullName] = \"Dr. John Q Smith Jr.\""},
        {u"Ann \"Nan\" Lee", u"O'Neil & Co", u"[FullName] = 'Ann \"Nan\" Lee' AND [CompanyName] = \"O'Neil & Co\""},
        {u"", u"Acme", u"[CompanyName] = \"Acme\""},
        {u"O'Neil \"X\"", u"Acme", u""},
        {u"Ann Lee", u"\"Big\" O'Neil", u""},
        {u"", u"\"Big\" Co", u"[CompanyName] = '\"Big\" Co'"},
        {u"Ann O'Lee", u"'s", u"[FullName] = \"Ann O'Lee\" AND [CompanyName] = \"'s\""},
        {u"", u"", u""},
    };
    for (const Case& c : cases) EXPECT_EQ(ContactDuplicateFilter(c.name, c.company), c.expected);
    ContactRecord r;
    r.FullName = u"Full";
    EXPECT_EQ(ContactSearchName(r), u"Full");
    r.Title = u"Dr.";
    r.LastName = u"Lee";
    EXPECT_EQ(ContactSearchName(r), u"Dr. Lee");
}

// The comparison with a found contact reads each field the card set, through the
// contact or the safe item, as text, date or number: one field that differs in any of
// them makes a new contact; a list of categories spaced otherwise does not.
TEST_F(ContactImportRun, ACardDifferingInAnyOneFieldIsNotIdentical) {
    const std::string head = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nORG:Acme;Labs\r\n";
    const std::string base = "TITLE:Buyer\r\nEMAIL;TYPE=INTERNET:ann@acme.example\r\nNOTE:one\\ntwo\r\n"
                             "BDAY:1980-02-03\r\nCLASS:PRIVATE\r\nCATEGORIES:Business,Customers\r\n";
    WriteText(m_dir / "files" / "a.vcf", head + base + "END:VCARD\r\n");
    ASSERT_EQ(Import(kConflictKeepBoth).counters.succeeded, 1);
    struct Case {
        const char* name;
        const char* from;  // replaced in the base lines
        const char* to;
        bool identical;
    } cases[] = {
        {"the same card", "", "", true},
        {"categories spaced otherwise", "Business,Customers", "Business , Customers", true},
        {"an object-model text", "Buyer", "Seller", false},
        {"a guarded text (safe item)", "ann@acme.example", "ann@acme.test", false},
        {"the guarded body", "one\\ntwo", "one\\nthree", false},
        {"a date", "1980-02-03", "1980-02-04", false},
        {"the sensitivity", "PRIVATE", "CONFIDENTIAL", false},
        {"other categories", "Business,Customers", "Business,Suppliers", false},
        {"categories in another order", "Business,Customers", "Customers,Business", false},
    };
    int target = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string lines = base;
        if (*c.from != '\0') lines.replace(lines.find(c.from), std::string(c.from).size(), c.to);
        WriteText(m_dir / "files" / "a.vcf", head + lines + "END:VCARD\r\n");
        const ContactImportOutcome o = Import(kConflictKeepExisting);
        EXPECT_EQ(o.counters.skipped, 1);  // found: kept whatever it is
        const ContactImportOutcome both = Import(kConflictKeepBoth);
        EXPECT_EQ(both.counters.skipped, c.identical ? 1 : 0);
        EXPECT_EQ(both.counters.succeeded, c.identical ? 0 : 1);
        if (!c.identical) ++target;
        EXPECT_EQ(TargetCount(), target);
    }
    // Every contact made holds the card's fields whole (the texts moved into it).
    const std::vector<ContactRecord> got = Records(*m_app.FolderByPath(u"Contacts/Imported"));
    ASSERT_EQ(static_cast<int>(got.size()), target);
    for (const ContactRecord& r : got) {
        EXPECT_EQ(r.LastName, u"Lee");
        EXPECT_EQ(r.CompanyName, u"Acme");
        EXPECT_EQ(r.Department, u"Labs");
        EXPECT_FALSE(r.Email1Address.empty());
        EXPECT_FALSE(r.Body.empty());
    }
}

// A card without a name is no duplicate of a contact with one, nor a card without a
// company of a contact with one, whatever their full names say.
TEST_F(ContactImportRun, NameAndCompanyPartsDecideACandidate) {
    WriteText(m_dir / "files" / "a.vcf",
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nORG:Acme\r\nEND:VCARD\r\n");
    ASSERT_EQ(Import(kConflictKeepBoth).counters.succeeded, 1);
    struct Case {
        const char* name;
        const char* card;
        int succeeded;
    } cases[] = {
        {"the company alone", "BEGIN:VCARD\r\nVERSION:3.0\r\nORG:Acme\r\nEND:VCARD\r\n", 1},
        {"the name without the company",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nEND:VCARD\r\n", 1},
        {"name and company", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nORG:Acme\r\nEND:VCARD\r\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(m_dir / "files" / "a.vcf", c.card);
        const ContactImportOutcome o = Import(kConflictKeepExisting);
        EXPECT_EQ(o.counters.succeeded, c.succeeded);
        EXPECT_EQ(o.counters.skipped, 1 - c.succeeded);
    }
}

TEST_F(ContactImportRun, AFileThatCannotBeOpenedAsksWhatToDo) {
    WriteText(m_dir / "files" / "a.vcf", kCard);
    const std::string missing = (m_dir / "missing.vcf").string();
    const std::string paths = "\"" + missing + "\" \"" + (m_dir / "files" / "a.vcf").string() + "\"";

    // OK: the file is skipped and the next one imported.
    ContactImportOutcome o = Import(kConflictKeepBoth, paths);
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].caption, "Mireo - Error");
    EXPECT_EQ(m_box.Shown()[0].buttons, MbButtons::OkCancel);
    EXPECT_EQ(m_box.Shown()[0].text.rfind(missing + " file cannot be opened.", 0), 0u);
    EXPECT_EQ(o.counters.succeeded, 1);

    // Cancel: nothing after it.
    m_box.Clear();
    m_box.QueueAnswer(MbResult::Cancel);
    o = Import(kConflictKeepExisting, paths);
    EXPECT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(o.counters.succeeded, 0);
    EXPECT_EQ(TargetCount(), 1);
}

TEST_F(ContactImportRun, NoCardsMeansNoRun) {
    WriteText(m_dir / "files" / "notes.txt", kCard);  // not a .vcf file
    CScriptedImportWizard wizard([&](ContactImportChoices& c) {
        c.folder = m_app.FolderByPath(u"Contacts/Imported");
        c.paths = Files();
        return true;
    });
    EXPECT_EQ(RunContactImport(Environment(*m_noFiles, 11), wizard), kRunDone);
    EXPECT_TRUE(wizard.Finishes().empty());
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].caption, "Mireo");
    EXPECT_EQ(m_box.Shown()[0].text.rfind("No vCard files were found.", 0), 0u);
}

TEST_F(ContactImportRun, FilesOfAFolderAreItsVcfFilesOnly) {
    WriteText(m_dir / "files" / "a.vcf", kCard);
    WriteText(m_dir / "files" / "B.VCF", kChangedCard);
    WriteText(m_dir / "files" / "c.vcf.txt", kCard);
    fs::create_directories(m_dir / "files" / "sub.vcf");
    WriteText(m_dir / "files" / "sub.vcf" / "d.vcf", kCard);
    const std::vector<std::string> files = ContactImportFiles({Files()});
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(fs::path(files[0]).filename(), "B.VCF");
    EXPECT_EQ(fs::path(files[1]).filename(), "a.vcf");
}

TEST_F(ContactImportRun, FilterOfTheCards) {
    WriteText(m_dir / "files" / "a.vcf",
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\nCLASS:PRIVATE\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:C;D\r\nCATEGORIES:Personal\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:E;F\r\nEND:VCARD\r\n");
    const ContactImportOutcome o = Import(kConflictKeepBoth, {}, kFilterSkipPrivate | kFilterExcludeCategories,
                                          "personal");
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.skipped, 2);
    EXPECT_EQ(o.contacts, 3);
    EXPECT_EQ(o.files, 1);
}

TEST_F(ContactImportRun, ProgressStepsEveryCardAndCancelSkipsTheRest) {
    std::string three;
    for (const char* n : {"A", "B", "C"})
        three += std::string("BEGIN:VCARD\r\nVERSION:2.1\r\nN:") + n + "\r\nEND:VCARD\r\n";
    WriteText(m_dir / "files" / "a.vcf", three);
    ContactImportOutcome o = Import(kConflictKeepBoth);
    EXPECT_EQ(m_view.TemplateId(), 231);
    EXPECT_EQ(m_view.Label(), "Importing...");
    EXPECT_EQ(m_view.Positions(), (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(o.counters.succeeded, 3);

    m_view.PressCancelAt(1);
    o = Import(kConflictKeepExisting);
    EXPECT_EQ(o.counters.skipped, 3);  // one duplicate, two not reached
    EXPECT_EQ(o.counters.Total(), 3);
    EXPECT_EQ(TargetCount(), 3);
}

// Cards with a note of `noteBytes` each, named Card1, Card2, ...
std::string Cards(int n, std::size_t noteBytes) {
    std::string text;
    for (int i = 1; i <= n; ++i) {
        text += "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Card" + std::to_string(i) + ";X\r\nNOTE:" +
                std::string(noteBytes, static_cast<char>('a' + i % 26)) + "\r\nEND:VCARD\r\n";
    }
    return text;
}

TEST_F(ContactImportRun, ALostBatchCountsEveryCardOfItFailedAndNamesTheCause) {
    WriteText(m_dir / "files" / "a.vcf", Cards(25, 10));
    m_app.FailCall("Commit", 1, kEDiskFull);
    const ContactImportOutcome o = Import(kConflictKeepBoth);
    EXPECT_EQ(o.counters.failed, 25);
    EXPECT_EQ(o.counters.succeeded, 0);
    EXPECT_EQ(o.lostSaves, 25);
    EXPECT_EQ(TargetCount(), 0);
    EXPECT_EQ(LostSavesText(o.lostSaves, o.lostCause, "contact", "contacts"),
              "25 contacts were not stored: injected failure of Commit");
    // The store goes on: the same import again stores them all.
    const ContactImportOutcome again = Import(kConflictKeepBoth);
    EXPECT_EQ(again.counters.succeeded, 25);
    EXPECT_EQ(again.lostSaves, 0);
    EXPECT_EQ(TargetCount(), 25);
}

// A file system that fills: the store's writes fail past a size (as on a full disk),
// and what the run counts as imported is exactly what the store holds.
TEST_F(ContactImportRun, WhenTheStoreCannotGrowTheCountsAreWhatIsStored) {
    const std::string path = (m_dir / "store.db").string();
    HostStoreOptions options = DefaultHostStoreOptions(path);
    {
        CHostApplication prepare(options);
        prepare.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Folders()->Add(u"Imported", kFolderContact);
    }
    WriteText(m_dir / "files" / "a.vcf", Cards(400, 600));
    ContactImportOutcome o;
    {
        CHostApplication store(options);
        m_use = &store;
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 96 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        o = Import(kConflictKeepBoth);
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, previous);
        m_use = &m_app;
    }
    EXPECT_EQ(o.counters.Total(), 400);
    EXPECT_GT(o.counters.failed, 0);
    EXPECT_EQ(o.lostSaves > 0, !o.lostCause.empty());
    CHostApplication reopened(options);
    EXPECT_EQ(reopened.FolderByPath(u"Contacts/Imported")->Items()->Count(), o.counters.succeeded);
}

TEST_F(ContactImportRun, ADamagedContactIsPassedOverByTheDuplicateSearch) {
    const std::string path = (m_dir / "store.db").string();
    WriteText(m_dir / "files" / "a.vcf", kCard);
    {
        CHostApplication store(DefaultHostStoreOptions(path));
        store.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Folders()->Add(u"Imported", kFolderContact);
        m_use = &store;
        EXPECT_EQ(Import(kConflictKeepExisting).counters.succeeded, 1);
        m_use = &m_app;
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE items SET data = x'01'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    CHostApplication store(DefaultHostStoreOptions(path));
    m_use = &store;
    const ContactImportOutcome o = Import(kConflictKeepExisting);
    m_use = &m_app;
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.failed, 0);
    EXPECT_EQ(m_log.Count("A damaged contact is passed over in the duplicate search: _Items failed (0x8004011B): "
                          "damaged item 1 in the store"),
              1);
}

TEST_F(ContactImportRun, ASecondImportIntoTheSameStoreIsRefusedWhileOneRuns) {
    const std::string path = (m_dir / "store.db").string();
    WriteText(m_dir / "files" / "a.vcf", kCard);
    CHostApplication first(DefaultHostStoreOptions(path));
    first.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Folders()->Add(u"Imported", kFolderContact);
    struct CNoop : ISaveListener {
        void SavesCommitted() override {}
        void SavesLost(const HostError&) override {}
    } running;
    first.SetSaveListener(&running);
    CHostApplication second(DefaultHostStoreOptions(path));
    m_use = &second;
    CScriptedImportWizard wizard([&](ContactImportChoices& c) {
        c.folder = second.FolderByPath(u"Contacts/Imported");
        c.paths = Files();
        return true;
    });
    EXPECT_EQ(RunContactImport(Environment(*m_noFiles, 11), wizard), kRunCannotStart);
    m_use = &m_app;
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].text, "the store is in use by another run (" + path + ")");
    first.SetSaveListener(nullptr);
}

// ---- files read: no cards, unreadable files and folders, FIFOs ----

TEST_F(ContactImportRun, AFileWithoutCardsShowsTheFinishPageWithZeroCounts) {
    WriteText(m_dir / "files" / "empty.vcf", "");
    WriteText(m_dir / "files" / "notes.vcf", "just text\r\n");
    const ContactImportOutcome o = Import(kConflictKeepBoth);
    EXPECT_TRUE(m_box.Shown().empty());
    EXPECT_EQ(o.files, 2);
    EXPECT_EQ(o.contacts, 0);
    EXPECT_EQ(o.counters.Total(), 0);
    EXPECT_EQ(m_view.StartCount(), 0);
}

TEST_F(ContactImportRun, AFifoIsRefusedAtOnceAndAsked) {
    const std::string fifo = (m_dir / "pipe.vcf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteText(m_dir / "files" / "a.vcf", kCard);
    // In a folder it is no file to read; named, it is asked about (and nothing waits
    // for a writer).
    fs::rename(fifo, m_dir / "files" / "pipe.vcf");
    EXPECT_EQ(ContactImportFiles({Files()}).size(), 1u);
    const std::string named = (m_dir / "files" / "pipe.vcf").string();
    const ContactImportOutcome o = Import(kConflictKeepBoth, "\"" + named + "\" \"" + (m_dir / "files" / "a.vcf").string() + "\"");
    ASSERT_EQ(m_box.Shown().size(), 1u);
    EXPECT_EQ(m_box.Shown()[0].text.rfind(named + " file cannot be opened.", 0), 0u);
    EXPECT_NE(m_box.Shown()[0].text.find("(not a regular file"), std::string::npos) << m_box.Shown()[0].text;
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.failed, 1);
    EXPECT_NE(SummaryText(o.counters, kStrVerbImport), "Import completed successfully.");
}

TEST_F(ContactImportRun, UnreadableFilesAndFoldersSaySo) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    WriteText(m_dir / "files" / "a.vcf", kCard);
    WriteText(m_dir / "locked.vcf", kCard);
    fs::create_directories(m_dir / "closed");
    WriteText(m_dir / "closed" / "b.vcf", kCard);
    fs::permissions(m_dir / "locked.vcf", fs::perms::none);
    fs::permissions(m_dir / "closed", fs::perms::none);
    const std::string locked = (m_dir / "locked.vcf").string();
    const std::string closed = (m_dir / "closed").string();
    const ContactImportOutcome o =
        Import(kConflictKeepBoth, "\"" + locked + "\" \"" + closed + "\" \"" + (m_dir / "files" / "a.vcf").string() + "\"");
    fs::permissions(m_dir / "locked.vcf", fs::perms::owner_all);
    fs::permissions(m_dir / "closed", fs::perms::owner_all);
    ASSERT_EQ(m_box.Shown().size(), 2u);
    EXPECT_EQ(m_box.Shown()[0].text, "The folder " + closed + " cannot be read: Permission denied");
    EXPECT_EQ(m_box.Shown()[1].text.rfind(locked + " file cannot be opened.", 0), 0u);
    EXPECT_NE(m_box.Shown()[1].text.find("(Permission denied)"), std::string::npos);
    EXPECT_EQ(o.counters.succeeded, 1);
    EXPECT_EQ(o.counters.failed, 2);
}

}  // namespace
}  // namespace mireo
