// The contact wizards inside the host, driven as a user drives them: a thread of the
// test finds each page by its caption, types into its fields and clicks its buttons by
// control id while the host's thread sits in the pages' modal loops. The files written,
// the contacts stored, the settings kept and the finish pages' counts are checked;
// with MIREO_SHOT_DIR set, every page and dialog is photographed on the way.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "addin/testhost/dialog_driver.h"
#include "addin/testhost/session.h"
#include "platform/user_strings.h"
#include "platform/win32/wide_path.h"
#include "resources/mireo_resource.h"
#include "ui/multi_path.h"

namespace mireo::testhost {
namespace {

constexpr const wchar_t* kExportPage = L"Mireo - Export contacts to files";
constexpr const wchar_t* kExportOptions = L"Mireo - Export contacts to files: Options";
constexpr const wchar_t* kExportFinish = L"Mireo - Export contacts: Export completed";
constexpr const wchar_t* kImportPage = L"Mireo - Import contacts from files";
constexpr const wchar_t* kImportOptions = L"Mireo - Import contacts from files: Options";
constexpr const wchar_t* kImportFinish = L"Mireo - Import contacts: Import completed";

class WizardsTest : public CHostRunTest {
protected:
    // A folder name outside any ANSI code page: every path call is wide.
    WizardsTest()
        : CHostRunTest(L"mireo-wizards-\u0416\u65e5", {L"Contacts.Export.OpenFolder", L"Contacts.Import.OpenFolder"}) {}
};

// Export: the start page with its stored defaults, the options dialog refusing a
// category filter without categories, vCard 3.0 in Windows-1252 into one file, the
// progress dialog in the middle of the run, and the finish page's counts.
TEST_F(WizardsTest, ContactExportDrivenToTheEnd) {
    LoadContacts();
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);

    struct Seen {
        bool exportHeldBack = false, exportFreed = false, browserBanner = false;
        bool browserSelected = false;
        std::wstring browsed, summaryBefore[5], summaryAfter[5], refusal, status, counts[4];
        bool mailEnabled = false, failedRed = false;
    } seen;
    const int summary[] = {IDC_SUM_PRIVATE, IDC_SUM_CATEGORIES, IDC_SUM_OVERWRITE, IDC_SUM_FORMAT, IDC_SUM_ENCODING};
    CDriver user([&] {
        HWND page = WaitForDialog(kExportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.exportHeldBack = !IsEnabled(page, IDOK);
        for (int i = 0; i < 5; ++i) seen.summaryBefore[i] = ItemText(page, summary[i]);
        Type(page, IDC_PATH, m_out);
        seen.exportFreed = IsEnabled(page, IDOK);
        Snapshot(page, "01-contact-export");
        // The shell's folder browser opens on the folder in the box and, confirmed at
        // once, hands the same folder back.
        // The browser selects the folder after it opens; on a busy machine that takes a
        // moment, so the drive waits for the folder's own name to be selected. The first
        // browser in a new wine prefix can stop short of the folder while wine sets up
        // its shell folders; it is cancelled and opened once more.
        const std::wstring leaf = m_out.substr(m_out.find_last_of(L'\\') + 1);
        for (int attempt = 0; attempt < 2 && !seen.browserSelected; ++attempt) {
            Click(page, IDC_BROWSE_PATH);
            HWND browser = WaitForDialog(L"Browse for Folder", IDOK, 10000);
            if (browser == nullptr) break;
            seen.browserBanner = ShowsText(browser, L"Choose a folder for Export");
            seen.browserSelected = WaitForTreeSelection(browser, leaf, 5000);
            if (seen.browserSelected) Snapshot(browser, "01b-folder-browser");
            Click(browser, seen.browserSelected ? IDOK : IDCANCEL);
            WaitGone(browser);
        }
        seen.browsed = ItemText(page, IDC_PATH);

        Click(page, IDC_CHANGE_OPTIONS);
        HWND options = WaitForDialog(kExportOptions, IDC_ENCODING_LIST);
        if (options == nullptr) return;
        Tick(options, IDC_CATEGORY_FILTER);
        Type(options, IDC_CATEGORIES, L"  ");
        Tick(options, IDC_FORMAT_NEW);
        SelectIndex(options, IDC_ENCODING_LIST, 1);
        Snapshot(options, "02-contact-export-options");
        Click(options, IDOK);
        seen.refusal = AnswerMessageBox(L"Mireo", IDOK, "03-message-enter-categories");
        Tick(options, IDC_CATEGORY_FILTER);  // no category filter after all
        Click(options, IDOK);
        WaitGone(options);
        for (int i = 0; i < 5; ++i) seen.summaryAfter[i] = ItemText(page, summary[i]);
        Click(page, IDOK);
        WaitGone(page);

        HWND finish = WaitForDialog(kExportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        seen.status = ItemText(finish, IDC_STATUS);
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) seen.counts[i] = ItemText(finish, ids[i]);
        seen.mailEnabled = IsEnabled(finish, IDC_MAIL);
        Tick(finish, IDC_MAIL);
        Snapshot(finish, "05-contact-export-finish");
        Click(finish, IDOK);
        WaitGone(finish);
    });
    // Half-way through the run the progress dialog is up on its own thread.
    bool progressSeen = false;
    m_host.onItemRead = [&](int index) {
        if (index != 4 || progressSeen) return;
        HWND progress = WaitForDialog(kExportPage, IDC_PROGRESS_BAR, 5000);
        progressSeen = progress != nullptr;
        Snapshot(progress, "04-contact-export-progress");
    };
    m_host.Click(*e.AddedToolbar()[1]);
    user.Join();
    m_host.onItemRead = nullptr;

    EXPECT_TRUE(seen.exportHeldBack) << "no folder stored yet: Export waits for one";
    EXPECT_TRUE(seen.exportFreed);
    EXPECT_TRUE(seen.browserBanner);
    EXPECT_TRUE(seen.browserSelected) << "the browser never selected the folder in the box";
    EXPECT_EQ(seen.browsed, m_out);
    const wchar_t* defaults[] = {L"yes", L"any", L"no", L"vCard 2.1", L"UTF-8"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen.summaryBefore[i], defaults[i]) << i;
    EXPECT_EQ(seen.refusal, L"Please, enter categories");
    EXPECT_EQ(seen.summaryAfter[3], L"vCard 3.0");
    EXPECT_EQ(seen.summaryAfter[4], L"Western European (Windows-1252)");
    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(seen.status, L"Export completed successfully.");
    EXPECT_EQ(seen.counts[0], L"8");
    EXPECT_EQ(seen.counts[1], L"8");
    EXPECT_EQ(seen.counts[2], L"0");
    EXPECT_EQ(seen.counts[3], L"0");
    EXPECT_TRUE(seen.mailEnabled);

    // The one file, byte for byte what the command line writes for these choices.
    const auto want = FolderFiles(WidePath(TestdataDir() + "\\addin\\export-30-cp1252"));
    const auto got = FolderFiles(m_out);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(want.size(), 1u);
    EXPECT_EQ(got[0].first, want[0].first);
    EXPECT_TRUE(got[0].second == want[0].second) << "the file differs from the golden one";
    // What the pages stored.
    EXPECT_EQ(ReadSetting(L"Contacts.Export.Folder"), m_out);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Export.OneFile"), 1);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Export.Format"), 30);
    EXPECT_EQ(ReadSetting(L"Contacts.Export.Encoding"), L"Western European (Windows-1252)");
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Export.Filter"), 0);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Export.OpenFolder"), 0);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Export.OpenMail"), 1);
    // Closed with the mail box ticked: one message, the file attached, shown.
    ASSERT_EQ(m_host.mails.size(), 1u);
    EXPECT_TRUE(m_host.mails[0]->displayed);
    ASSERT_EQ(m_host.mails[0]->attachments.size(), 1u);
    const std::u16string& attached = m_host.mails[0]->attachments[0];
    EXPECT_EQ(std::wstring(attached.begin(), attached.end()), m_out + L"\\" + WidePath(got[0].first));
}

// Export of the selection: three contacts selected in the explorer, "Export selected
// contacts only" ticked (the Outlook folder is then not the source), a file each.
TEST_F(WizardsTest, ContactExportOfTheSelection) {
    LoadContacts();
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    const auto& items = m_host.Store().Contacts().items;
    ASSERT_EQ(items.size(), 8u);
    e.selection = {items[1], items[2], items[4]};
    SetSetting(L"Contacts.Export.Folder", m_out);
    SetSetting(L"Contacts.Export.OneFile", 0);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    struct Seen {
        bool offered = false, folderOff = false;
        std::wstring counts[4];
    } seen;
    CDriver user([&] {
        HWND page = WaitForDialog(kExportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.offered = IsEnabled(page, IDC_SELECTED_ONLY);
        Tick(page, IDC_SELECTED_ONLY);
        seen.folderOff = !IsEnabled(page, IDC_BROWSE_OUTLOOK);
        Click(page, IDOK);
        WaitGone(page);
        HWND finish = WaitForDialog(kExportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) seen.counts[i] = ItemText(finish, ids[i]);
        Click(finish, IDOK);
        WaitGone(finish);
    });
    m_host.Click(*e.AddedToolbar()[1]);
    user.Join();

    EXPECT_TRUE(seen.offered);
    EXPECT_TRUE(seen.folderOff);
    const wchar_t* counts[] = {L"3", L"3", L"0", L"0"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen.counts[i], counts[i]) << i;
    // Each file byte for byte the one the command line writes for that contact.
    const auto want = FolderFiles(WidePath(TestdataDir() + "\\addin\\export-21-utf8"));
    const auto got = FolderFiles(m_out);
    ASSERT_EQ(got.size(), 3u);
    for (const auto& [name, bytes] : got) {
        bool same = false;
        for (const auto& [wantName, wantBytes] : want) same = same || (wantName == name && wantBytes == bytes);
        EXPECT_TRUE(same) << name;
    }
}

// Import: a path that cannot be reached is named in an error box and the page stays;
// the file chooser takes thousands of files at once; the options dialog's conflict
// rule; the finish page counts files and cards, and shows the contacts folder in the
// explorer, which was on the calendar.
TEST_F(WizardsTest, ContactImportDrivenToTheEnd) {
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Calendar(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    const std::wstring cards = WidePath(TestdataDir() + "\\addin\\export-21-utf8");
    const std::wstring missing = m_out + L"\\no-such.vcf";

    // Many files with long names, more than any fixed result buffer holds.
    const std::wstring many = m_out + L"\\many";
    ::CreateDirectoryW(many.c_str(), nullptr);
    constexpr int kMany = 2500;
    std::wstring names;
    for (int i = 0; i < kMany; ++i) {
        // Each name in double quotes, as the chooser's name box holds a selection.
        wchar_t name[80];
        swprintf(name, 80, L"a-contact-file-with-a-rather-long-name-%05d.vcf", i);
        HANDLE f = ::CreateFileW((many + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ::CloseHandle(f);
        names += std::wstring(L"\"") + name + L"\" ";
    }

    struct Seen {
        std::wstring refusal, picked, chosen, conflict, status, counts[4], notContacts, folderKept;
    } seen;
    CDriver user([&] {
        HWND page = WaitForDialog(kImportPage, IDC_PATH);
        if (page == nullptr) return;
        Snapshot(page, "06-contact-import");
        // The Outlook folder picker: a calendar is refused, the folder stays.
        m_host.pickedFolder = &m_host.Store().Calendar();
        Click(page, IDC_BROWSE_OUTLOOK);
        seen.notContacts = AnswerMessageBox(L"Mireo", IDOK);
        seen.folderKept = ItemText(page, IDC_OUTLOOK_FOLDER);
        m_host.pickedFolder = nullptr;
        // The chooser: the system's open dialog. Into the folder, then two of its files.
        Click(page, IDC_BROWSE_PATH);
        if (HWND chooser = WaitForDialog(L"Choose a folder for Import", 0)) {
            Snapshot(chooser, "07-file-chooser");
            const int name = ::GetDlgItem(chooser, 0x480) != nullptr ? 0x480 : 0x47c;  // edt1, or cmb13
            Type(chooser, name, many);
            Click(chooser, IDOK);
            ::Sleep(500);
            Type(chooser, name, L"\"a-contact-file-with-a-rather-long-name-00007.vcf\" "
                                L"\"a-contact-file-with-a-rather-long-name-00011.vcf\"");
            Click(chooser, IDOK);
            WaitGone(chooser);
        }
        seen.picked = ItemText(page, IDC_PATH);
        // Every file of the folder at once: far more than the dialog's first buffer.
        Click(page, IDC_BROWSE_PATH);
        if (HWND chooser = WaitForDialog(L"Choose a folder for Import", 0)) {
            const int name = ::GetDlgItem(chooser, 0x480) != nullptr ? 0x480 : 0x47c;
            Type(chooser, name, names);
            Click(chooser, IDOK);
            WaitGone(chooser);
        }
        seen.chosen = ItemText(page, IDC_PATH);

        Type(page, IDC_PATH, L"\"" + cards + L"\" \"" + missing + L"\"");
        Click(page, IDOK);
        seen.refusal = AnswerMessageBox(L"Mireo - Error", IDOK, "08-message-not-accessible");
        Type(page, IDC_PATH, cards);

        Click(page, IDC_CHANGE_OPTIONS);
        if (HWND options = WaitForDialog(kImportOptions, IDC_CONFLICT_REPLACE)) {
            Tick(options, IDC_CONFLICT_KEEP_EXISTING);
            Snapshot(options, "09-contact-import-options");
            Click(options, IDOK);
            WaitGone(options);
        }
        seen.conflict = ItemText(page, IDC_SUM_CONFLICT);
        Click(page, IDOK);
        WaitGone(page);

        HWND finish = WaitForDialog(kImportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        seen.status = ItemText(finish, IDC_STATUS);
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) seen.counts[i] = ItemText(finish, ids[i]);
        Tick(finish, IDC_OPEN_FOLDER);
        Snapshot(finish, "10-contact-import-finish");
        Click(finish, IDOK);
        WaitGone(finish);
    });
    m_host.Click(*e.AddedToolbar()[0]);
    user.Join();
    for (int i = 0; i < kMany; ++i) {
        wchar_t name[80];
        swprintf(name, 80, L"a-contact-file-with-a-rather-long-name-%05d.vcf", i);
        ::DeleteFileW((many + L"\\" + name).c_str());
    }
    ::RemoveDirectoryW(many.c_str());

    EXPECT_EQ(seen.picked, L"\"" + many + L"\\a-contact-file-with-a-rather-long-name-00007.vcf\" \"" + many +
                               L"\\a-contact-file-with-a-rather-long-name-00011.vcf\"");
    CMultiPath chosen;
    chosen.SetText(widepath::ToUtf8(seen.chosen));
    EXPECT_EQ(chosen.Count(), kMany) << "every file chosen in the dialog reaches the paths box";
    if (chosen.Count() == kMany) {
        EXPECT_EQ(chosen.Path(kMany - 1), widepath::ToUtf8(many) + "\\a-contact-file-with-a-rather-long-name-02499.vcf");
    }
    EXPECT_EQ(seen.refusal, L"The name '" + missing + L"' isn't accessible.");
    EXPECT_EQ(seen.notContacts, L"Chosen folder is not Contact's folder");
    EXPECT_EQ(seen.folderKept, L"\\\\Personal Folders\\Contacts");
    EXPECT_EQ(widepath::ToUtf8(seen.conflict), LoadUserString(103));
    EXPECT_EQ(seen.status, L"Import completed successfully.");
    EXPECT_EQ(seen.counts[0], L"8/8");
    EXPECT_EQ(seen.counts[1], L"8");
    EXPECT_EQ(seen.counts[2], L"0");
    EXPECT_EQ(seen.counts[3], L"0");
    const std::string want = ReadBytes(WidePath(TestdataDir() + "\\addin\\import-21-utf8.json"));
    EXPECT_EQ(m_host.Store().Dump(m_host.Store().Contacts()), want) << m_log.Text();
    EXPECT_EQ(ReadSetting(L"Contacts.Import.Folder"), cards);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Import.ConflictResolution"), 2);
    EXPECT_EQ(ReadNumberSetting(L"Contacts.Import.OpenFolder"), 1);
    EXPECT_EQ(e.current, &m_host.Store().Contacts());
}

// With "GetOpenName.dll" beside the add-in, the import page's browse button asks it:
// the box's text, multiple selection (0x200) and the page's filter go in, its answer
// replaces the box, and a cancelled chooser leaves the box alone.
TEST_F(WizardsTest, OutsideFileChooserBesideTheAddin) {
    const std::wstring chooser = BinFolder() + L"\\GetOpenName.dll";
    ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\fake_getopenname.dll").c_str(), chooser.c_str(), FALSE));
    m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    std::wstring answered, kept;
    CDriver user([&] {
        HWND page = WaitForDialog(kImportPage, IDC_PATH);
        if (page == nullptr) return;
        Type(page, IDC_PATH, L"C:\\cards\\a.vcf");
        Click(page, IDC_BROWSE_PATH);
        ::Sleep(300);
        answered = ItemText(page, IDC_PATH);
        Type(page, IDC_PATH, L"cancel");
        Click(page, IDC_BROWSE_PATH);
        ::Sleep(300);
        kept = ItemText(page, IDC_PATH);
        Click(page, IDCANCEL);
        WaitGone(page);
    });
    m_host.Click(*m_host.Explorers().front()->AddedToolbar()[0]);
    user.Join();
    ::DeleteFileW(chooser.c_str());
    EXPECT_EQ(answered, L"C:\\cards\\a.vcf|512|VCard (*.vcf)|*.vcf||");
    EXPECT_EQ(kept, L"cancel");
}

// The select-action dialog and the debug dialog, opened the ways a user opens them.
TEST_F(WizardsTest, SharedDialogsShowTheirPictures) {
    SetSetting(L"DebugButton", 1);
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    bool buttonsHavePictures = false;
    CDriver user([&] {
        if (HWND dialog = WaitForDialog(L"Mireo - Select Action", IDC_SELECT_EXPORT_CONTACTS)) {
            buttonsHavePictures = true;
            for (int id = IDC_SELECT_EXPORT_CONTACTS; id <= IDC_SELECT_IMPORT_EVENTS; ++id)
                buttonsHavePictures = buttonsHavePictures &&
                                      ::SendMessageW(::GetDlgItem(dialog, id), BM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
            Snapshot(dialog, "11-select-action");
            Click(dialog, IDCANCEL);
            WaitGone(dialog);
        }
        if (HWND dialog = WaitForDialog(L"DEBUG Mireo", IDC_DEBUG_TOPIC)) {
            Type(dialog, IDC_DEBUG_TOPIC, L"Features.htm");
            Snapshot(dialog, "12-debug");
            Click(dialog, IDOK);
            WaitGone(dialog);
        }
    });
    const char command[] = "ShowForm,SelectAction";
    COPYDATASTRUCT data{0, sizeof command - 1, const_cast<char*>(command)};
    ::SendMessageW(FindTitled(L"Kelvo.Mireo.HiddenWnd"), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    m_host.Click(*e.AddedMenu()[0]->children[4]);
    user.Join();
    EXPECT_TRUE(buttonsHavePictures);
    EXPECT_EQ(m_log.Count("DoModal return", "CConnect::ShowSelectAction"), 1) << m_log.Text();
}

// Every template of the module holds the controls its views and the catalogue name.
// Every page is photographed while it is driven.
TEST(DialogTemplates, HoldTheirControls) {
    struct Template {
        int id;
        const wchar_t* caption;
        std::vector<int> controls;
    };
    const Template templates[] = {
        {IDD_CONTACT_EXPORT, L"Mireo - Export contacts to files",
         {IDC_OUTLOOK_FOLDER, IDC_BROWSE_OUTLOOK, IDC_PATH, IDC_BROWSE_PATH, IDC_ONE_FILE, IDC_SELECTED_ONLY,
          IDC_CHANGE_OPTIONS, IDC_PAGE_HELP, IDOK, IDCANCEL}},
        {IDD_CONTACT_EXPORT_OPTIONS, nullptr, {IDC_SKIP_PRIVATE, IDC_CATEGORY_FILTER, IDC_CATEGORY_MODE,
          IDC_CATEGORIES, IDC_CATEGORIES_BUTTON, IDC_OVERWRITE, IDC_FORMAT_OLD, IDC_FORMAT_NEW, IDC_ENCODING_LIST}},
        {IDD_CONTACT_EXPORT_FINISH, nullptr, {IDC_STATUS, IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED,
          IDC_COUNT_SKIPPED, IDC_SKIPPED_WHY, IDC_OPEN_FOLDER, IDC_OPEN_FOLDER_LINK, IDC_MAIL}},
        {IDD_CONTACT_IMPORT, nullptr, {IDC_PATH, IDC_BROWSE_PATH, IDC_OUTLOOK_FOLDER, IDC_BROWSE_OUTLOOK,
          IDC_SUM_CONFLICT, IDC_CHANGE_OPTIONS, IDOK}},
        {IDD_CONTACT_IMPORT_OPTIONS, nullptr, {IDC_CONFLICT_KEEP_BOTH, IDC_CONFLICT_REPLACE,
          IDC_CONFLICT_KEEP_EXISTING, IDC_CATEGORIES}},
        {IDD_CONTACT_IMPORT_FINISH, nullptr, {IDC_STATUS, IDC_COUNT_SELECTED, IDC_SKIPPED_WHY, IDC_OPEN_FOLDER}},
        {IDD_EVENT_EXPORT, L"Mireo - Export calendar events to files",
         {228, 229, 230, 231, 232, 233, 224, 225, 226, 227, IDC_ALL, IDOK, IDCANCEL, 9}},
        {IDD_EVENT_EXPORT_OPTIONS, nullptr, {243, 274, 275, 246, IDOK, IDCANCEL}},
        {IDD_EVENT_EXPORT_FILTER, nullptr, {285, 286, 284, 220, 290, 10, 287, 221, 291, 11, 288, 292, 293, 294, 1, 282,
          2, 9}},
        {IDD_LABELS, nullptr, {303, 304, 305, 306, 307, 308, 309, 310, 311, 312, IDOK, IDCANCEL}},
        {IDD_EVENT_EXPORT_FINISH, nullptr, {256, 252, 253, 254, 255, 251, 377, IDOK}},
        {IDD_EVENT_IMPORT, L"Mireo - Import calendar events from files",
         {228, 229, 259, 378, 231, 230, 227, 1, 307, 2, 9}},
        {IDD_EVENT_IMPORT_OPTIONS, L"Mireo - Import calendar events from files: Options",
         {261, 262, 263, 220, IDOK, IDCANCEL, 9}},
        {IDD_EVENT_IMPORT_FILTER, L"Mireo - Import calendar events from files - Filter",
         {285, 286, 284, 220, 290, 10, 287, 221, 291, 11, 288, 292, 293, 294, 1, 282, 2, 9}},
        {IDD_EVENT_IMPORT_FINISH, L"Mireo - Import calendar events: Import completed",
         {256, 252, 260, 254, 255, 273, 277, 251, IDOK, 9}},
        {IDD_CONTACT_IMPORT_PROGRESS, nullptr, {210, 202, 209, 238, 2, 263, 272}},
        {IDD_EVENT_EXPORT_PROGRESS, nullptr, {210, 202, 209, 238, 2, 263, 272}},
        {IDD_EVENT_IMPORT_PROGRESS, nullptr, {210, 202, 209, 238, 2, 263, 272}},
        {IDD_SELECT_ACTION, L"Mireo - Select Action", {373, 374, 375, 376, 238, 2}},
        {IDD_DEBUG, L"DEBUG Mireo", {371, 372, IDOK, IDCANCEL}},
    };
    struct Check {
        const Template* t;
        std::vector<int> missing;
        std::wstring caption;
    };
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    for (const Template& t : templates) {
        SCOPED_TRACE(t.id);
        Check c{&t, {}, {}};
        // The dialog checks its controls once it is up, and ends.
        struct Both {
            static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
                static Check* current = nullptr;
                if (msg == WM_INITDIALOG) {
                    current = reinterpret_cast<Check*>(lp);
                    for (int id : current->t->controls)
                        if (::GetDlgItem(dlg, id) == nullptr) current->missing.push_back(id);
                    wchar_t caption[256] = {};
                    ::GetWindowTextW(dlg, caption, 256);
                    current->caption = caption;
                    // Once it is shown.
                    ::SetTimer(dlg, 1, 200, nullptr);
                    return TRUE;
                }
                if (msg == WM_TIMER) {
                    ::KillTimer(dlg, 1);
                    ::EndDialog(dlg, IDOK);
                    return TRUE;
                }
                return FALSE;
            }
        };
        const INT_PTR r = ::DialogBoxParamW(AddinModule(), MAKEINTRESOURCEW(t.id), nullptr, Both::Proc,
                                            reinterpret_cast<LPARAM>(&c));
        EXPECT_EQ(r, IDOK) << "the template could not be shown";
        EXPECT_TRUE(c.missing.empty()) << "first missing control " << (c.missing.empty() ? 0 : c.missing.front());
        if (t.caption != nullptr) {
            EXPECT_EQ(c.caption, t.caption);
        }
    }
}

// The add-in's string table holds exactly the texts the portable code and the command
// line read: every number of the one list, with quotes, line feeds and the leading
// space of string 134 intact.
TEST(StringTable, TheModuleAndThePortableTableAgree) {
    int compared = 0;
    for (int id = 0; id < 4096; ++id) {
        const std::string want = LoadUserString(id);
        wchar_t buf[1024] = {};
        const int n = ::LoadStringW(AddinModule(), static_cast<UINT>(id), buf, 1024);
        if (want.empty()) {
            EXPECT_EQ(n, 0) << "string " << id << " only in the module";
            continue;
        }
        EXPECT_EQ(widepath::ToUtf8(std::wstring(buf, static_cast<std::size_t>(n))), want) << "string " << id;
        ++compared;
    }
    EXPECT_GT(compared, 150);
}

}  // namespace
}  // namespace mireo::testhost
