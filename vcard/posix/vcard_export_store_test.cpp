// The contact export run end to end through the substitute host store, a scripted
// wizard, a scripted progress view and real files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/run_summary.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/output_files.h"
#include "platform/testing/filling_output_files.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/scratch_folder.h"
#include "ui/progress.h"
#include "ui/scripted_progress_view.h"
#include "vcard/contact_export.h"
#include "vcard/contact_record.h"
#include "vcard/file_naming.h"
#include "vcard/tests/golden.h"
#include "vcard/testing/scripted_export_wizard.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using test::CFillingOutputFiles;
using test::CScriptedExportWizard;
using test::MatchesGolden;
using test::ReadFileBytes;

constexpr double kRev = 39155.63155092593;  // 2007-03-14 15:09:26

struct Field {
    const char* name;
    Value value;
};

std::vector<Field> WorkedExample(const char16_t* first = u"John", const char16_t* last = u"Smith") {
    return {
        {"FirstName", Value::Text(first)},
        {"LastName", Value::Text(last)},
        {"CompanyName", Value::Text(u"Acme")},
        {"Department", Value::Text(u"Sales")},
        {"JobTitle", Value::Text(u"Manager")},
        {"BusinessTelephoneNumber", Value::Text(u"555 0100")},
        {"Body", Value::Text(u"Line1\r\nLine2")},
        {"BusinessAddressStreet", Value::Text(u"1 Main St")},
        {"BusinessAddressCity", Value::Text(u"Springfield")},
        {"BusinessAddressState", Value::Text(u"IL")},
        {"BusinessAddressPostalCode", Value::Text(u"62701")},
        {"BusinessAddressCountry", Value::Text(u"USA")},
        {"Birthday", Value::Date(27507.0)},
        {"Email1Address", Value::Text(u"john.smith@example.com")},
        {"Email1AddressType", Value::Text(u"SMTP")},
        {"Categories", Value::Text(u"Business")},
        {"LastModificationTime", Value::Date(kRev)},
    };
}

std::string Golden(const char* name) { return ReadFileBytes(std::string(MIREO_TESTDATA_DIR) + "/vcard/" + name); }

class ContactExportRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_converter = MireoCharConverter::FromModuleDirectory();
        m_contacts = Namespace().GetDefaultFolder(DefaultFolder::Contacts);
    }

    INamespace& Namespace() {
        if (!m_ns) m_ns = m_app.GetNamespace();
        return *m_ns;
    }

    std::string AddItem(IFolder& folder, ItemType type, const std::vector<Field>& fields) {
        auto items = folder.Items();
        auto item = items->Add(type);
        for (const Field& f : fields) item->Put(f.name, f.value);
        item->Save();
        return item->EntryId();
    }
    std::string AddContact(const std::vector<Field>& fields) { return AddItem(*m_contacts, ItemType::Contact, fields); }

    // Choices of a plain run into the temporary folder.
    CScriptedExportWizard::Script Choose(bool oneFile, int format, std::string encoding = {},
                                         std::function<void(ContactExportChoices&)> more = {}) {
        return [=, this](ContactExportChoices& c) {
            c.folder = Namespace().GetDefaultFolder(DefaultFolder::Contacts);
            c.targetFolder = Dir();
            c.oneFile = oneFile;
            c.format = format;
            c.encoding = encoding;
            if (more) more(c);
            return true;
        };
    }

    int Run(CScriptedExportWizard& wizard, IOutputFiles* files = nullptr) {
        const RunEnvironment env{.app = m_app,
                                 .mapi = m_app.Mapi(),
                                 .settings = m_settings,
                                 .log = m_log,
                                 .help = &m_log,
                                 .files = files ? *files : *m_files,
                                 .messages = m_box,
                                 .converter = *m_converter,
                                 .listSeparator = m_separator,
                                 .product = {1, 0, 0},
                                 .hostMajorVersion = m_app.MajorVersion(9),
                                 .progress = m_view};
        return RunContactExport(env, wizard);
    }

    std::string Dir() const { return m_dir.Path().string(); }
    std::string File(const std::string& name) const { return (m_dir / name).string(); }
    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir.Path())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void ClearFolder() {
        fs::remove_all(m_dir.Path());
        fs::create_directories(m_dir.Path());
    }
    static std::string Summary(const ContactExportOutcome& o) { return SummaryText(o.counters, kStrVerbExport); }

    test::CScratchFolder m_dir{"mireo_xrun_"};
    CHostApplication m_app{DefaultHostStoreOptions(":memory:")};
    std::unique_ptr<INamespace> m_ns;
    std::unique_ptr<IFolder> m_contacts;
    CSettingsStore m_settings{UniqueRegKey{}};
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    CScriptedProgressView m_view;
    std::unique_ptr<IOutputFiles> m_files = CreateSystemOutputFiles();
    std::unique_ptr<MireoCharConverter> m_converter;
    std::string m_separator = ";";
};

void ExpectCounts(const ContactExportOutcome& o, int succeeded, int failed, int skipped) {
    EXPECT_EQ(o.counters.succeeded, succeeded);
    EXPECT_EQ(o.counters.failed, failed);
    EXPECT_EQ(o.counters.skipped, skipped);
}

// ---- golden files: the worked example from the store ----

TEST_F(ContactExportRun, WorkedExampleOneFilePerContactMatchesGoldenFiles) {
    AddContact(WorkedExample());
    struct Case {
        const char* name;
        int format;
        const char* encoding;
        const char* golden;
    } cases[] = {
        {"2.1 system default", kVCard21, "", "example.21.ref"},
        {"3.0 system default", kVCard30, "", "example.30.ref"},
        {"2.1 UTF-8", kVCard21, "UTF-8", "example.21.utf8.ref"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedExportWizard wizard(Choose(false, c.format, c.encoding, [](ContactExportChoices& ch) {
            ch.overwrite = true;
        }));
        EXPECT_EQ(Run(wizard), kRunDone);
        ASSERT_EQ(wizard.Finishes().size(), 1u);
        const ContactExportOutcome& o = wizard.Finishes()[0];
        ExpectCounts(o, 1, 0, 0);
        ASSERT_EQ(o.writtenFiles, std::vector<std::string>{File("Smith, John.vcf")});
        EXPECT_TRUE(MatchesGolden(ReadFileBytes(File("Smith, John.vcf")), c.golden));
        EXPECT_EQ(Summary(o), "Export completed successfully.");
    }
    EXPECT_EQ(FileNames(), std::vector<std::string>{"Smith, John.vcf"}) << "overwrite replaced the file each time";
}

TEST_F(ContactExportRun, OneFileHoldsEveryCardAndIsNamedAfterTheFolder) {
    AddContact(WorkedExample());
    AddContact(WorkedExample());
    CScriptedExportWizard wizard(Choose(true, kVCard30));
    ASSERT_EQ(Run(wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 2, 0, 0);
    EXPECT_EQ(o.targetFolder, Dir());
    ASSERT_EQ(o.writtenFiles, std::vector<std::string>{File("Contacts.vcf")});
    const std::string one = Golden("example.30.ref");
    EXPECT_EQ(ReadFileBytes(File("Contacts.vcf")), one + one);
    // The progress: template, label, range and one step per card.
    EXPECT_EQ(m_view.TemplateId(), kProgressExportContacts);
    EXPECT_EQ(m_view.Label(), "Exporting...");
    EXPECT_EQ(m_view.Positions(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(m_view.StatusText(), "2 of 2");
    EXPECT_EQ(m_view.CloseCount(), 1);
    EXPECT_FALSE(m_view.IsOpen());
}

TEST_F(ContactExportRun, SameNamesGetNumbersAcrossRuns) {
    AddContact(WorkedExample());
    AddContact(WorkedExample());
    for (int run = 0; run < 2; ++run) {
        CScriptedExportWizard wizard(Choose(false, kVCard21));
        ASSERT_EQ(Run(wizard), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        ExpectCounts(o, 2, 0, 0);
        if (run == 0) {
            EXPECT_EQ(o.writtenFiles, (std::vector<std::string>{File("Smith, John.vcf"), File("Smith, John(1).vcf")}));
        } else {
            EXPECT_EQ(o.writtenFiles, (std::vector<std::string>{File("Smith, John(2).vcf"), File("Smith, John(3).vcf")}));
        }
    }
    EXPECT_EQ(FileNames().size(), 4u);
    for (const std::string& name : FileNames()) EXPECT_TRUE(MatchesGolden(ReadFileBytes(File(name)), "example.21.ref"));
}

TEST_F(ContactExportRun, FileNamesAreCleaned) {
    AddContact({{"FileAs", Value::Text(u"a/b:c")}});
    AddContact({{"FileAs", Value::Text(u"CON")}});
    AddContact({{"FileAs", Value::Text(u"Smith, John\r\nAcme")}});
    CScriptedExportWizard wizard(Choose(false, kVCard21));
    ASSERT_EQ(Run(wizard), kRunDone);
    ExpectCounts(wizard.Finishes().at(0), 3, 0, 0);
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"CON_.vcf", "Smith, John (Acme).vcf", "a_b_c.vcf"}));
}

// ---- the common run ----

TEST_F(ContactExportRun, EmptyFolderGoesStraightToTheFinishPage) {
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    EXPECT_EQ(Run(wizard), kRunDone);
    EXPECT_EQ(m_view.StartCount(), 0) << "no progress display for nothing";
    ASSERT_EQ(wizard.Finishes().size(), 1u);
    const ContactExportOutcome& o = wizard.Finishes()[0];
    ExpectCounts(o, 0, 0, 0);
    EXPECT_EQ(o.counters.Total(), 0);
    EXPECT_TRUE(o.writtenFiles.empty());
    EXPECT_EQ(Summary(o), "Export completed successfully.");
    EXPECT_TRUE(FileNames().empty());
}

TEST_F(ContactExportRun, CancelInTheWizardChangesNothing) {
    AddContact(WorkedExample());
    CScriptedExportWizard wizard([](ContactExportChoices&) { return false; });
    EXPECT_EQ(Run(wizard), kRunDone);
    EXPECT_TRUE(wizard.Finishes().empty());
    EXPECT_EQ(m_view.StartCount(), 0);
    EXPECT_TRUE(FileNames().empty());
}

TEST_F(ContactExportRun, CancelAtUnitKSkipsTheRest) {
    constexpr int n = 5;
    for (int i = 0; i < n; ++i) AddContact(WorkedExample());
    for (int k : {1, 3, 5}) {
        SCOPED_TRACE(k);
        m_view = CScriptedProgressView();
        m_view.PressCancelAt(k - 1);  // seen when unit k comes up
        CScriptedExportWizard wizard(Choose(true, kVCard21, "", [](ContactExportChoices& c) { c.overwrite = true; }));
        ASSERT_EQ(Run(wizard), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        ExpectCounts(o, k - 1, 0, n - k + 1);
        EXPECT_EQ(Summary(o), "Export completed with skipped items.");
        EXPECT_FALSE(m_view.IsOpen());
    }
}

TEST_F(ContactExportRun, HelpOpensTheTopic) {
    AddContact(WorkedExample());
    AddContact(WorkedExample());
    m_view.PressHelpAt(1, 3);  // three presses between two looks: one topic
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    ASSERT_EQ(Run(wizard), kRunDone);
    EXPECT_EQ(m_log.Topics(), std::vector<std::string>{"Export_Contacts_to_Files_with_Mireo.htm"});
}

TEST_F(ContactExportRun, FilterRejectsAreSkippedAndDoNotMoveTheBar) {
    auto contact = [](const char16_t* categories, int sensitivity) {
        std::vector<Field> f = WorkedExample();
        f.push_back({"Categories", Value::Text(categories)});
        f.push_back({"Sensitivity", Value::Int(sensitivity)});
        return f;
    };
    AddContact(contact(u"Business; Friends", kSensitivityNormal));
    AddContact(contact(u"friends", kSensitivityPersonal));
    AddContact(contact(u"", kSensitivityNormal));
    AddContact(contact(u"Holiday", kSensitivityNormal));
    struct Case {
        const char* name;
        std::uint32_t mask;
        const char* categories;
        int succeeded;
        int emptyListLogs;
    } cases[] = {
        {"no filter", 0, "", 4, 0},
        {"skip private and personal", kFilterSkipPrivate, "", 3, 0},
        {"include FRIENDS", kFilterIncludeCategories, " FRIENDS ;", 2, 0},
        {"exclude friends", kFilterExcludeCategories, "friends", 2, 0},
        {"exclude friends, skip private", kFilterExcludeCategories | kFilterSkipPrivate, "friends", 2, 0},
        {"include, empty list", kFilterIncludeCategories, "", 4, 4},
        {"include a name that is only a prefix", kFilterIncludeCategories, "Holi", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_view = CScriptedProgressView();
        m_log.Clear();
        CScriptedExportWizard wizard(Choose(true, kVCard21, "", [&](ContactExportChoices& ch) {
            ch.overwrite = true;
            ch.filterMask = c.mask;
            ch.filterCategories = c.categories;
        }));
        ASSERT_EQ(Run(wizard), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        ExpectCounts(o, c.succeeded, 0, 4 - c.succeeded);
        EXPECT_EQ(m_view.LastPos(), c.succeeded) << "only exported contacts move the bar";
        EXPECT_EQ(m_view.Positions().size(), static_cast<std::size_t>(c.succeeded + 1));
        EXPECT_EQ(m_log.Count("filter.Categories empty", "CvCardExport::FilterContact"), c.emptyListLogs);
    }
}

TEST_F(ContactExportRun, ItemsThatAreNotContactsArePassedOver) {
    auto inbox = Namespace().GetDefaultFolder(DefaultFolder::Inbox);
    AddItem(*inbox, ItemType::Contact, WorkedExample());
    AddItem(*inbox, ItemType::Appointment, {{"Subject", Value::Text(u"Meeting")}});
    AddItem(*inbox, ItemType::Contact, WorkedExample(u"Ann", u"Lee"));
    CScriptedExportWizard wizard([&](ContactExportChoices& c) {
        c.folder = Namespace().GetDefaultFolder(DefaultFolder::Inbox);
        c.targetFolder = Dir();
        c.oneFile = false;
        return true;
    });
    ASSERT_EQ(Run(wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 2, 0, 0);
    EXPECT_EQ(m_view.Positions(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"Lee, Ann.vcf", "Smith, John.vcf"}));
}

TEST_F(ContactExportRun, SelectionOnly) {
    AddContact(WorkedExample(u"Ann", u"Lee"));
    const std::string chosen = AddContact(WorkedExample());
    AddContact(WorkedExample(u"Bo", u"Yi"));
    m_app.SetSelection({chosen});
    CScriptedExportWizard wizard(Choose(false, kVCard21, "", [](ContactExportChoices& c) { c.selectedOnly = true; }));
    ASSERT_EQ(Run(wizard), kRunDone);
    ExpectCounts(wizard.Finishes().at(0), 1, 0, 0);
    EXPECT_EQ(FileNames(), std::vector<std::string>{"Smith, John.vcf"});
}

TEST_F(ContactExportRun, ListSeparatorOfTheEnvironment) {
    AddContact({{"FileAs", Value::Text(u"x")},
                {"Categories", Value::Text(u"Work, Home")},
                {"LastModificationTime", Value::Date(kRev)}});
    m_separator = ",";
    CScriptedExportWizard wizard(Choose(false, kVCard30, "", [](ContactExportChoices& c) {
        c.filterMask = kFilterIncludeCategories;
        c.filterCategories = "home";
    }));
    ASSERT_EQ(Run(wizard), kRunDone);
    ExpectCounts(wizard.Finishes().at(0), 1, 0, 0);
    EXPECT_NE(ReadFileBytes(File("x.vcf")).find("\r\nCATEGORIES:Work,Home\r\n"), std::string::npos);
}

TEST_F(ContactExportRun, ProgressThatCannotStartEndsWithoutAFinishPage) {
    AddContact(WorkedExample());
    m_view.FailStart();
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    EXPECT_EQ(Run(wizard), kRunCannotStart);
    EXPECT_TRUE(wizard.Finishes().empty());
    EXPECT_TRUE(FileNames().empty());
    EXPECT_TRUE(m_log.Contains("Cant start the progress display", "CvCardExport::Run"));
}

// ---- failure paths ----

int ExportReadsPerContact(int hostMajor) {
    int n = 0;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if ((p.usedBy & kUsedByExport) != 0 && (!p.needsMajor10 || hostMajor >= 10)) ++n;
    }
    return n;
}

TEST_F(ContactExportRun, AHostErrorFailsOnlyThatContact) {
    AddContact(WorkedExample(u"Ann", u"Lee"));
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Bo", u"Yi"));
    const int reads = ExportReadsPerContact(11);
    struct Case {
        const char* name;
        const char* operation;
        int nth;
    } cases[] = {
        {"first read of the second contact", "Get", reads + 1},
        {"last read of the second contact", "Get", 2 * reads},
        {"guarded read (Body) of the second contact", "SafeItem.Get", 9 + 1},
        {"attaching the safe item to the second contact", "SetItem", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFolder();
        m_log.Clear();
        m_view = CScriptedProgressView();
        m_app.FailCall(c.operation, c.nth, kEFail);
        CScriptedExportWizard wizard(Choose(false, kVCard21));
        ASSERT_EQ(Run(wizard), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        ExpectCounts(o, 2, 1, 0);
        EXPECT_EQ(FileNames(), (std::vector<std::string>{"Lee, Ann.vcf", "Yi, Bo.vcf"}));
        EXPECT_EQ(m_view.LastPos(), 3) << "a failed contact moves the bar too";
        EXPECT_EQ(Summary(o), "Export completed with errors.");
    }
}

TEST_F(ContactExportRun, HostErrorsAreLogged) {
    AddContact(WorkedExample());
    m_app.FailCall("Get", 1, kEFail);
    CScriptedExportWizard wizard(Choose(false, kVCard21));
    ASSERT_EQ(Run(wizard), kRunDone);
    ExpectCounts(wizard.Finishes().at(0), 0, 1, 0);
    const auto& m = m_log.Messages();
    EXPECT_TRUE(std::any_of(m.begin(), m.end(), [](const LoggedMessage& x) {
        return x.source == "CvCardExport::Run" && x.code == kEFail && x.level == kError &&
               x.text.find("_ContactItem") != std::string::npos;
    }));
}

TEST_F(ContactExportRun, FailingItemFetchEndsTheLoop) {
    AddContact(WorkedExample(u"Ann", u"Lee"));
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Bo", u"Yi"));
    m_app.FailCall("Items.Item", 2, kEFail);
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    ASSERT_EQ(Run(wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 1, 2, 0);
    EXPECT_EQ(Summary(o), "Export completed with errors.");
    EXPECT_FALSE(m_view.IsOpen()) << "the progress display is closed";
    // The single file is closed and holds the card written before.
    EXPECT_EQ(ReadFileBytes(File("Contacts.vcf")).find("BEGIN:VCARD"), 0u);
    EXPECT_TRUE(m_log.Contains("Cant get item 2 of 3: _Items failed (0x80004005): injected failure of Items.Item",
                               "CvCardExport::Run"));
}

TEST_F(ContactExportRun, NoSafeItemFailsEveryContact) {
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Ann", u"Lee"));
    m_app.FailCall("CreateSafeContactItem", 1, kCoEClassString);
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    ASSERT_EQ(Run(wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 0, 2, 0);
    EXPECT_NE(Summary(o), "Export completed successfully.");
    EXPECT_EQ(m_log.Count("Cant Create Redemption.SafeContactItem", "CvCardExport::Run"), 1);
    EXPECT_TRUE(FileNames().empty());
}

TEST_F(ContactExportRun, FullDiskInOneFileModeFailsEveryContactAndRemovesTheFile) {
    for (int i = 0; i < 4; ++i) AddContact(WorkedExample());
    const std::size_t card = Golden("example.21.ref").size();
    CFillingOutputFiles disk(*m_files);
    disk.SetCapacity(card + card / 2);  // the second card does not fit
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    ASSERT_EQ(Run(wizard, &disk), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    // The first card was written, but into a file that could not be completed.
    ExpectCounts(o, 0, 4, 0);
    EXPECT_TRUE(o.writtenFiles.empty());
    EXPECT_TRUE(FileNames().empty());
    EXPECT_EQ(Summary(o), "Export completed with errors.");
    EXPECT_EQ(disk.Creates(), 1);
    // The cards are written in blocks: four small ones meet the full disk at the end.
    EXPECT_EQ(m_view.LastPos(), 4);
    EXPECT_EQ(m_log.Count("Cant write the file " + File("Contacts.vcf"), "CvCardExport::Run"), 1);
}

TEST_F(ContactExportRun, ADiskFillingUpDuringALargeOneFileExportStopsTheRun) {
    // Enough cards for several blocks: the disk fills up in the second one, the run
    // stops there, counts every contact failed and leaves no file behind.
    constexpr int kContacts = 2000;  // some 680 KB of cards
    for (int i = 0; i < kContacts; ++i) {
        const std::u16string first = u"Person" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
        AddContact(WorkedExample(first.c_str(), u"Many"));
    }
    const std::size_t card = Golden("example.21.ref").size();
    CFillingOutputFiles disk(*m_files);
    disk.SetCapacity(card * kContacts / 2);
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    ASSERT_EQ(Run(wizard, &disk), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 0, kContacts, 0);
    EXPECT_TRUE(o.writtenFiles.empty());
    EXPECT_TRUE(FileNames().empty());
    EXPECT_GT(m_view.LastPos(), 1);
    EXPECT_LT(m_view.LastPos(), kContacts) << "the run goes on no further than the failed write";
    EXPECT_EQ(m_log.Count("Cant write the file " + File("Contacts.vcf"), "CvCardExport::Run"), 1);
    // With room the same run writes every card, in the folder's order.
    CScriptedExportWizard again(Choose(true, kVCard21));
    ASSERT_EQ(Run(again), kRunDone);
    ExpectCounts(again.Finishes().at(0), kContacts, 0, 0);
    const std::string text = ReadFileBytes(File("Contacts.vcf"));
    int cards = 0;
    for (std::size_t at = text.find("\r\nFN:Person"); at != std::string::npos; at = text.find("\r\nFN:Person", at + 1)) {
        ASSERT_EQ(text[at + 11], static_cast<char>('A' + cards % 26)) << "card " << cards;
        ++cards;
    }
    EXPECT_EQ(cards, kContacts);
    EXPECT_EQ(text.substr(text.size() - 11), "END:VCARD\r\n") << "the last block is written too";
}

TEST_F(ContactExportRun, FailedWriteOfOwnFileRemovesIt) {
    AddContact(WorkedExample(u"Ann", u"Lee"));
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Bo", u"Yi"));
    const std::size_t card = Golden("example.21.ref").size();
    CFillingOutputFiles disk(*m_files);
    disk.SetCapacity(card + 10);
    CScriptedExportWizard wizard(Choose(false, kVCard21));
    ASSERT_EQ(Run(wizard, &disk), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 1, 2, 0);
    EXPECT_EQ(o.writtenFiles, std::vector<std::string>{File("Lee, Ann.vcf")});
    EXPECT_EQ(FileNames(), std::vector<std::string>{"Lee, Ann.vcf"}) << "no partial card stays behind";
    EXPECT_EQ(Summary(o), "Export completed with errors.");
}

TEST_F(ContactExportRun, MissingTargetFolder) {
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Ann", u"Lee"));
    AddContact(WorkedExample(u"Bo", u"Yi"));
    for (bool oneFile : {true, false}) {
        SCOPED_TRACE(oneFile ? "one file" : "file per contact");
        m_view = CScriptedProgressView();
        CScriptedExportWizard wizard(Choose(oneFile, kVCard21, "", [&](ContactExportChoices& c) {
            c.targetFolder = File("missing");
        }));
        ASSERT_EQ(Run(wizard), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        ExpectCounts(o, 0, 3, 0);
        EXPECT_TRUE(o.writtenFiles.empty());
        EXPECT_EQ(Summary(o), "Export completed with errors.");
        // One file: the loop ends at the first contact; per contact: each is tried.
        EXPECT_EQ(m_view.LastPos(), oneFile ? 0 : 3);
    }
}

TEST_F(ContactExportRun, FailingFolderEnumerationCannotStart) {
    AddContact(WorkedExample());
    m_app.FailCall("Folder.Items", 1, kEFail);
    CScriptedExportWizard wizard(Choose(true, kVCard21));
    EXPECT_EQ(Run(wizard), kRunCannotStart);
    EXPECT_TRUE(wizard.Finishes().empty());
    EXPECT_EQ(m_view.StartCount(), 0);
    EXPECT_TRUE(m_log.Contains(
        "Cant get the folder's items: MAPIFolder failed (0x80004005): injected failure of Folder.Items",
        "CvCardExport::Run"));
}

// ---- files written: links, replacing, names, encodings, damaged items ----

TEST_F(ContactExportRun, APlantedLinkIsNeverFollowed) {
    AddContact(WorkedExample());
    const std::string outside = (m_dir / "outside").string();
    fs::create_directories(outside);
    std::ofstream(outside + "/secret.txt") << "keep";
    fs::create_symlink(outside + "/secret.txt", File("Smith, John.vcf"));
    fs::create_symlink(outside + "/dangling.txt", File("Contacts.vcf"));
    for (bool oneFile : {false, true}) {
        SCOPED_TRACE(oneFile ? "one file" : "file per contact");
        // Overwrite: refused and counted failed; the link and its target stay.
        CScriptedExportWizard replace(Choose(oneFile, kVCard21, "", [](ContactExportChoices& c) { c.overwrite = true; }));
        ASSERT_EQ(Run(replace), kRunDone);
        const ContactExportOutcome& o = replace.Finishes().at(0);
        ExpectCounts(o, 0, 1, 0);
        const std::string name = File(oneFile ? "Contacts.vcf" : "Smith, John.vcf");
        EXPECT_EQ(o.refusedFiles, std::vector<std::string>{name});
        EXPECT_TRUE(fs::is_symlink(name));
        EXPECT_EQ(ReadFileBytes(outside + "/secret.txt"), "keep");
        EXPECT_FALSE(fs::exists(outside + "/dangling.txt"));
        // Without overwrite the next number is taken.
        CScriptedExportWizard keep(Choose(oneFile, kVCard21, "", [](ContactExportChoices& c) { c.overwrite = false; }));
        ASSERT_EQ(Run(keep), kRunDone);
        ExpectCounts(keep.Finishes().at(0), 1, 0, 0);
        EXPECT_EQ(keep.Finishes().at(0).writtenFiles,
                  std::vector<std::string>{File(oneFile ? "Contacts(1).vcf" : "Smith, John(1).vcf")});
    }
}

TEST_F(ContactExportRun, AReplacedFileIsReplacedWholeOrNotAtAll) {
    AddContact(WorkedExample());
    AddContact(WorkedExample(u"Ann", u"Lee"));
    const std::size_t card = Golden("example.21.ref").size();
    for (bool oneFile : {false, true}) {
        SCOPED_TRACE(oneFile ? "one file" : "file per contact");
        ClearFolder();
        const std::string name = File(oneFile ? "Contacts.vcf" : "Smith, John.vcf");
        std::ofstream(name) << "the old file";
        CFillingOutputFiles disk(*m_files);
        disk.SetCapacity(oneFile ? card + 10 : card / 2);
        CScriptedExportWizard wizard(Choose(oneFile, kVCard21, "", [](ContactExportChoices& c) { c.overwrite = true; }));
        ASSERT_EQ(Run(wizard, &disk), kRunDone);
        const ContactExportOutcome& o = wizard.Finishes().at(0);
        EXPECT_EQ(ReadFileBytes(name), "the old file");
        EXPECT_EQ(o.counters.failed, oneFile ? 2 : 2);
        // Nothing half-written is left beside it.
        EXPECT_EQ(FileNames(), std::vector<std::string>{fs::path(name).filename().string()});
        // With room, the new file takes its place.
        CScriptedExportWizard again(Choose(oneFile, kVCard21, "", [](ContactExportChoices& c) { c.overwrite = true; }));
        ASSERT_EQ(Run(again), kRunDone);
        EXPECT_EQ(again.Finishes().at(0).counters.succeeded, 2);
        EXPECT_NE(ReadFileBytes(name), "the old file");
    }
}

TEST_F(ContactExportRun, ContactsTheEncodingCannotHoldAreCountedAndNamed) {
    AddContact(WorkedExample(u"\u0418\u0432\u0430\u043D", u"Petrov"));
    AddContact(WorkedExample(u"Ann?", u"Lee"));  // a "?" of its own is no loss
    CScriptedExportWizard wizard(Choose(false, kVCard21, "Western European (Windows)"));
    ASSERT_EQ(Run(wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 2, 0, 0);
    EXPECT_EQ(o.lossyContacts, 1);
    EXPECT_EQ(m_log.Count("Contact \"Petrov, \u0418\u0432\u0430\u043D\": characters the encoding cannot hold were "
                          "written as \"?\"",
                          "CvCardExport::Run"),
              1);
}

TEST_F(ContactExportRun, ADamagedContactFailsAloneAndTheOthersAreExported) {
    const std::string path = (m_dir / "store.db").string();
    {
        CHostApplication store(DefaultHostStoreOptions(path));
        auto contacts = store.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
        for (const char16_t* last : {u"A", u"Broken", u"C"}) {
            auto item = contacts->Items()->Add(ItemType::Contact);
            item->Put("LastName", Value::Text(last));
            item->Save();
        }
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE items SET data = x'05' WHERE fullname_key = 'broken'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    CHostApplication store(DefaultHostStoreOptions(path));
    auto ns = store.GetNamespace();
    CScriptedExportWizard wizard([&](ContactExportChoices& c) {
        c.folder = ns->GetDefaultFolder(DefaultFolder::Contacts);
        c.targetFolder = (m_dir / "out").string();
        c.oneFile = false;
        c.format = kVCard30;
        return true;
    });
    fs::create_directories(m_dir / "out");
    const RunEnvironment env{.app = store,
                             .mapi = store.Mapi(),
                             .settings = m_settings,
                             .log = m_log,
                             .help = &m_log,
                             .files = *m_files,
                             .messages = m_box,
                             .converter = *m_converter,
                             .listSeparator = m_separator,
                             .product = {1, 0, 0},
                             .hostMajorVersion = 11,
                             .progress = m_view};
    ASSERT_EQ(RunContactExport(env, wizard), kRunDone);
    const ContactExportOutcome& o = wizard.Finishes().at(0);
    ExpectCounts(o, 2, 1, 0);
    EXPECT_EQ(o.writtenFiles.size(), 2u);
    EXPECT_TRUE(m_log.Contains("Contact not exported: _Items failed (0x8004011B): damaged item 2 in the store",
                               "CvCardExport::Run"));
}

}  // namespace
}  // namespace mireo
