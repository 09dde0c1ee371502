// Runs started inside the host: a click runs the real contact export and import on
// the host's own folders, and what they write is byte for byte what the command line
// writes under Linux for the same contacts (the golden files in testdata/addin, which
// the Linux test mireo_addin_reference checks against the command line).
#include <gtest/gtest.h>

#include "addin/testhost/dialog_driver.h"
#include "addin/testhost/session.h"
#include "addin/win32/hidden_wnd.h"
#include "platform/win32/wide_path.h"
#include "ui/select_action.h"

namespace mireo::testhost {
namespace {

constexpr const wchar_t* kExportPage = L"Mireo - Export contacts to files";
constexpr const wchar_t* kExportFinish = L"Mireo - Export contacts: Export completed";
constexpr const wchar_t* kImportPage = L"Mireo - Import contacts from files";
constexpr const wchar_t* kImportFinish = L"Mireo - Import contacts: Import completed";

// A user who takes the stored choices as the wizard shows them.
class CAcceptingUser {
public:
    CAcceptingUser(const wchar_t* start, const wchar_t* finish)
        : m_driver([this, start, finish] { m_done = AcceptWizard(start, finish); }) {}
    bool Done() {
        m_driver.Join();
        return m_done;
    }

private:
    bool m_done = false;
    CDriver m_driver;
};

// Each test writes into a folder of its own name.
class RunsTest : public CHostRunTest {
protected:
    RunsTest()
        : CHostRunTest(L"mireo-testhost-" + TestName(), {L"Contacts.Export.OpenFolder", L"Contacts.Import.OpenFolder"}) {}
    static std::wstring TestName() {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name.begin(), name.end());
    }

    // The export's settings as the wizard stores them.
    void StoreExportChoices(bool oneFile, int format, const wchar_t* encoding) {
        SetSetting(L"Contacts.Export.Folder", m_out);
        SetSetting(L"Contacts.Export.OneFile", oneFile ? 1 : 0);
        SetSetting(L"Contacts.Export.Format", static_cast<DWORD>(format));
        SetSetting(L"Contacts.Export.Encoding", std::wstring(encoding));
        SetSetting(L"Contacts.Export.Overwrite", 0);
        SetSetting(L"Contacts.Export.Filter", 0);
    }

    ::testing::AssertionResult SameFilesAs(const std::string& golden) {
        const auto want = FolderFiles(WidePath(TestdataDir() + "\\addin\\" + golden));
        const auto got = FolderFiles(m_out);
        if (want.empty()) return ::testing::AssertionFailure() << "no golden files in " << golden;
        if (got.size() != want.size())
            return ::testing::AssertionFailure() << got.size() << " files written, " << want.size() << " expected";
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (got[i].first != want[i].first)
                return ::testing::AssertionFailure() << "file \"" << got[i].first << "\", expected \"" << want[i].first << "\"";
            if (got[i].second != want[i].second) {
                std::size_t at = 0;
                while (at < got[i].second.size() && at < want[i].second.size() && got[i].second[at] == want[i].second[at])
                    ++at;
                return ::testing::AssertionFailure() << got[i].first << " differs from byte " << at << ": \""
                                                     << got[i].second.substr(at, 40) << "\" for \""
                                                     << want[i].second.substr(at, 40) << "\"";
            }
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(RunsTest, ExportClicksWriteWhatTheCommandLineWrites) {
    LoadContacts();
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);

    // The toolbar button: one file per contact, vCard 2.1 in UTF-8.
    StoreExportChoices(false, 21, L"UTF-8");
    {
        CAcceptingUser user(kExportPage, kExportFinish);
        m_host.Click(*e.AddedToolbar()[1]);
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(SameFilesAs("export-21-utf8")) << m_log.Text();

    // The menu command: one file, vCard 3.0 in Windows-1252.
    Empty(m_out);
    ::CreateDirectoryW(m_out.c_str(), nullptr);
    StoreExportChoices(true, 30, L"Western European (Windows-1252)");
    {
        CAcceptingUser user(kExportPage, kExportFinish);
        m_host.Click(*e.AddedMenu()[0]->children[0]);
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(SameFilesAs("export-30-cp1252")) << m_log.Text();
}

TEST_F(RunsTest, ImportClickStoresWhatTheCommandLineStores) {
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    SetSetting(L"Contacts.Import.Folder", WidePath(TestdataDir() + "\\addin\\export-21-utf8"));
    SetSetting(L"Contacts.Import.ConflictResolution", 0);
    SetSetting(L"Contacts.Import.Filter", 0);
    {
        CAcceptingUser user(kImportPage, kImportFinish);
        m_host.Click(*e.AddedToolbar()[0]);
        EXPECT_TRUE(user.Done());
    }
    const std::string want = ReadBytes(WidePath(TestdataDir() + "\\addin\\import-21-utf8.json"));
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(m_host.Store().Dump(m_host.Store().Contacts()), want) << m_log.Text();
}

// While a run is open (its dialogs let the host's messages through), a click in
// another window and a starter's command are refused; the run goes on unharmed.
TEST_F(RunsTest, RequestsWhileARunIsOpenAreRefused) {
    LoadContacts();
    CFakeExplorer& first = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    CFakeExplorer& second = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), true);
    m_host.FireViewSwitch(second);
    StoreExportChoices(false, 21, L"UTF-8");
    int reentered = 0;
    m_host.onItemRead = [&](int index) {
        if (index != 3 || reentered++ > 0) return;
        m_host.Click(*second.AddedToolbar()[1]);
        m_host.Click(*first.AddedMenu()[0]->children[1]);
        const char command[] = "ShowForm,SelectAction";
        COPYDATASTRUCT data{0, sizeof command - 1, const_cast<char*>(command)};
        ::SendMessageW(FindTitled(kHiddenWindowClass), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    {
        CAcceptingUser user(kExportPage, kExportFinish);
        m_host.Click(*first.AddedToolbar()[1]);
        EXPECT_TRUE(user.Done());
    }
    m_host.onItemRead = nullptr;
    EXPECT_EQ(reentered, 1);
    EXPECT_TRUE(SameFilesAs("export-21-utf8"));
    EXPECT_EQ(m_log.Count("action refused: a run or a dialog is open", "CConnect::RunCommand"), 2) << m_log.Text();
    EXPECT_EQ(m_log.Count("->(Locked=true)", "CConnect::ShowSelectAction"), 1);
    // After the run, the next click is taken again.
    Empty(m_out);
    ::CreateDirectoryW(m_out.c_str(), nullptr);
    {
        CAcceptingUser user(kExportPage, kExportFinish);
        m_host.Click(*second.AddedToolbar()[1]);
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(SameFilesAs("export-21-utf8"));
}

// The select-action dialog opened by the hidden window starts the action chosen.
TEST_F(RunsTest, SelectActionRunsTheChosenAction) {
    LoadContacts();
    m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    StoreExportChoices(false, 21, L"UTF-8");
    bool chosen = false;
    CDriver driver([&] {
        if (HWND dialog = WaitForTitled(L"Mireo - Select Action", 15000)) {
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdSelectExportContacts, BN_CLICKED), 0);
            chosen = AcceptWizard(kExportPage, kExportFinish);
        }
    });
    const char command[] = "ShowForm,SelectAction";
    COPYDATASTRUCT data{0, sizeof command - 1, const_cast<char*>(command)};
    EXPECT_EQ(::SendMessageW(FindTitled(kHiddenWindowClass), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
    driver.Join();
    EXPECT_TRUE(chosen);
    EXPECT_TRUE(SameFilesAs("export-21-utf8")) << m_log.Text();
}

// The pages keep a run from starting on choices that cannot work: Export waits for an
// existing folder and Import for a path; a cancelled wizard writes and stores nothing.
// The calendar export holds back both "Next >" and "Export All" without a folder.
TEST_F(RunsTest, PagesHoldBackRunsThatCannotWork) {
    LoadContacts();
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    SetSetting(L"Contacts.Export.Folder", m_out + L"\\missing");
    bool exportHeld = false, exportFreed = false, importHeld = false, eventsHeld = false;
    CDriver driver([&] {
        if (HWND page = WaitForDialog(kExportPage, 229)) {
            exportHeld = !IsEnabled(page, IDOK);
            Type(page, 229, m_out);
            exportFreed = IsEnabled(page, IDOK);
            Click(page, IDCANCEL);
            WaitGone(page);
        }
        if (HWND page = WaitForDialog(kImportPage, 229)) {
            Type(page, 229, L"   ");
            importHeld = !IsEnabled(page, IDOK);
            Click(page, IDCANCEL);
            WaitGone(page);
        }
        if (HWND page = WaitForDialog(L"Mireo - Export calendar events to files", 229)) {
            eventsHeld = !IsEnabled(page, IDOK) && !IsEnabled(page, 307);
            Click(page, IDCANCEL);
            WaitGone(page);
        }
    });
    m_host.Click(*e.AddedToolbar()[1]);
    m_host.Click(*e.AddedToolbar()[0]);
    m_host.SwitchFolder(e, &m_host.Store().Calendar());
    m_host.Click(*e.AddedToolbar()[3]);
    driver.Join();
    EXPECT_TRUE(exportHeld);
    EXPECT_TRUE(exportFreed);
    EXPECT_TRUE(importHeld);
    EXPECT_TRUE(eventsHeld);
    EXPECT_TRUE(FolderFiles(m_out).empty());
    EXPECT_EQ(ReadSetting(L"Contacts.Export.Folder"), m_out + L"\\missing") << "a cancelled page stores nothing";
    EXPECT_EQ(ReadSetting(L"Appointments.Export.Folder"), L"<none>") << "a cancelled page stores nothing";
}

}  // namespace
}  // namespace mireo::testhost
