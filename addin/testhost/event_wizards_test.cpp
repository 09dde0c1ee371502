// The calendar wizards inside the host, driven as a user drives them: a thread of the
// test finds each page by its caption, types, ticks and clicks by control id while the
// host's thread sits in the pages' modal loops. The files written, the events stored,
// the settings kept and the finish pages' counts are checked; "< Back" returns to the
// first page with its values; with MIREO_SHOT_DIR set, every page and dialog is
// photographed on the way.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "addin/testhost/dialog_driver.h"
#include "addin/testhost/session.h"
#include "platform/win32/wide_path.h"
#include "resources/mireo_resource.h"

namespace mireo::testhost {
namespace {

constexpr const wchar_t* kExportPage = L"Mireo - Export calendar events to files";
constexpr const wchar_t* kExportOptions = L"Mireo - Export calendar events to files: Options";
constexpr const wchar_t* kExportFilter = L"Mireo - Export calendar events to files - Filter";
constexpr const wchar_t* kLabels = L"Mireo - Labels";
constexpr const wchar_t* kExportFinish = L"Mireo - Export calendar events: Export completed";
constexpr const wchar_t* kImportPage = L"Mireo - Import calendar events from files";
constexpr const wchar_t* kImportOptions = L"Mireo - Import calendar events from files: Options";
constexpr const wchar_t* kImportFilter = L"Mireo - Import calendar events from files - Filter";
constexpr const wchar_t* kImportFinish = L"Mireo - Import calendar events: Import completed";

// Five events: one all day, one in the "Holiday" category (both left out by the
// default filter), one private, one in Cyrillic.
constexpr const char* kIcs =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Mireo tests//EN\r\n"
    "BEGIN:VEVENT\r\nUID:review@mireo.test\r\nDTSTART:20261214T100000Z\r\nDTEND:20261214T113000Z\r\n"
    "SUMMARY:Quarterly review\r\nCATEGORIES:Business\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:thanks@mireo.test\r\nDTSTART;VALUE=DATE:20261126\r\nDTEND;VALUE=DATE:20261127\r\n"
    "SUMMARY:Thanksgiving\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:party@mireo.test\r\nDTSTART:20261218T170000Z\r\nDTEND:20261218T220000Z\r\n"
    "SUMMARY:Office party\r\nCATEGORIES:Holiday\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:dentist@mireo.test\r\nDTSTART:20261203T083000Z\r\nDTEND:20261203T090000Z\r\n"
    "SUMMARY:Dentist\r\nCLASS:PRIVATE\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:lunch@mireo.test\r\nDTSTART:20261209T123000Z\r\nDTEND:20261209T140000Z\r\n"
    "SUMMARY:\xD0\x9E\xD0\xB1\xD0\xB5\xD0\xB4 \xD1\x81 \xD0\xBA\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD\xD1\x82\xD0\xBE\xD0\xBC\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

// The control that has the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{sizeof info};
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

class EventWizardsTest : public CHostRunTest {
protected:
    // A folder name outside any ANSI code page: every path call is wide.
    EventWizardsTest()
        : CHostRunTest(L"mireo-calendar-\u0416\u65e5",
                       {L"Appointments.Export.OpenFolder", L"Appointments.Import.OpenFolder"}) {}
};

// Export: "Next >" and "Export All" wait for a folder; the options dialog switches to
// iCalendar; the filter page's three checks (labels, period, categories) keep it open
// with the focus on the control at fault; "< Back" stores the filter and shows the
// start page again with what was typed; the file holds the events the filter lets
// through, and the settings hold the choices.
TEST_F(EventWizardsTest, ExportDrivenToTheEndThroughBack) {
    m_host.Store().Load(m_host.Store().Calendar(), ReadBytes(WidePath(TestdataDir() + "\\addin\\events.json")));
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Calendar(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);

    struct Seen {
        bool heldBack = false, freed = false, labelsFocus = false, periodFocus = false, categoriesFocus = false;
        bool backKeptLabelsOff = false, periodBackToDefault = false;
        std::wstring tip, summaryBefore[3], summaryAfter[3], labelNames, labelsBox, periodBox, categoriesBox;
        std::wstring pathAfterBack, folder, status, counts[4];
        bool defaults[5] = {};
    } seen;
    const int summary[] = {IDC_SUM_OVERWRITE, IDC_SUM_FORMAT, IDC_SUM_ENCODING};
    CDriver user([&] {
        HWND page = WaitForDialog(kExportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.heldBack = !IsEnabled(page, IDOK) && !IsEnabled(page, IDC_ALL);
        seen.tip = TooltipText(page, IDC_ALL);
        seen.folder = ItemText(page, IDC_OUTLOOK_FOLDER);
        for (int i = 0; i < 3; ++i) seen.summaryBefore[i] = ItemText(page, summary[i]);
        Type(page, IDC_PATH, m_out);
        seen.freed = IsEnabled(page, IDOK) && IsEnabled(page, IDC_ALL);
        Snapshot(page, "13-event-export");

        Click(page, IDC_CHANGE_OPTIONS);
        if (HWND options = WaitForDialog(kExportOptions, IDC_ENCODING_LIST)) {
            Tick(options, IDC_FORMAT_NEW);
            Tick(options, IDC_OVERWRITE);
            Snapshot(options, "14-event-export-options");
            Click(options, IDOK);
            WaitGone(options);
        }
        for (int i = 0; i < 3; ++i) seen.summaryAfter[i] = ItemText(page, summary[i]);
        Click(page, IDOK);
        WaitGone(page);

        HWND filter = WaitForDialog(kExportFilter, IDC_PERIOD_END);
        if (filter == nullptr) return;
        const int boxes[] = {IDC_SKIP_ALL_DAY, IDC_SKIP_PRIVATE, IDC_CATEGORY_FILTER, IDC_LABEL_FILTER,
                             IDC_PERIOD_FILTER};
        for (int i = 0; i < 5; ++i) seen.defaults[i] = IsTicked(filter, boxes[i]);
        seen.labelNames = ItemText(filter, IDC_LABEL_NAMES);
        Snapshot(filter, "15-event-export-filter");
        // No label left: "Please, select labels", the focus on "Labels...".
        Click(filter, IDC_LABELS_BUTTON);
        if (HWND labels = WaitForDialog(kLabels, IDC_LABEL_FIRST)) {
            Snapshot(labels, "16-labels");
            Tick(labels, IDC_LABEL_FIRST + 7);
            Tick(labels, IDC_LABEL_FIRST + 8);
            Click(labels, IDOK);
            WaitGone(labels);
        }
        Click(filter, IDOK);
        seen.labelsBox = AnswerMessageBox(L"Mireo", IDOK, "15b-message-select-labels");
        ::Sleep(100);
        seen.labelsFocus = FocusOf(filter) == ::GetDlgItem(filter, IDC_LABELS_BUTTON);
        Tick(filter, IDC_LABEL_FILTER);
        // An end before the start: the focus on the end picker.
        PickDate(filter, IDC_PERIOD_START, 2026, 12, 20);
        PickDate(filter, IDC_PERIOD_END, 2026, 12, 1);
        Click(filter, IDOK);
        seen.periodBox = AnswerMessageBox(L"Mireo", IDOK);
        ::Sleep(100);
        seen.periodFocus = FocusOf(filter) == ::GetDlgItem(filter, IDC_PERIOD_END);
        Tick(filter, IDC_PERIOD_FILTER);
        // "< Back": the start page with the typed folder; the filter comes back as stored.
        Click(filter, IDC_BACK);
        WaitGone(filter);
        page = WaitForDialog(kExportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.pathAfterBack = ItemText(page, IDC_PATH);
        Click(page, IDOK);
        WaitGone(page);
        filter = WaitForDialog(kExportFilter, IDC_PERIOD_END);
        if (filter == nullptr) return;
        seen.backKeptLabelsOff = !IsTicked(filter, IDC_LABEL_FILTER) && !IsTicked(filter, IDC_PERIOD_FILTER);
        seen.periodBackToDefault = PickedDate(filter, IDC_PERIOD_END) != L"2026-12-01";
        // Categories with nothing in them: the focus on the field.
        Type(filter, IDC_CATEGORIES, L" ");
        Click(filter, IDOK);
        seen.categoriesBox = AnswerMessageBox(L"Mireo", IDOK);
        ::Sleep(100);
        seen.categoriesFocus = FocusOf(filter) == ::GetDlgItem(filter, IDC_CATEGORIES);
        Type(filter, IDC_CATEGORIES, L"Holiday");
        Click(filter, IDOK);
        WaitGone(filter);

        HWND finish = WaitForDialog(kExportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        seen.status = ItemText(finish, IDC_STATUS);
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) seen.counts[i] = ItemText(finish, ids[i]);
        Snapshot(finish, "17-event-export-finish");
        Click(finish, IDOK);
        WaitGone(finish);
    });
    bool progressSeen = false;
    m_host.onItemRead = [&](int index) {
        if (index != 2 || progressSeen) return;
        HWND progress = WaitForDialog(kExportPage, IDC_PROGRESS_BAR, 5000);
        progressSeen = progress != nullptr;
        Snapshot(progress, "16b-event-export-progress");
    };
    m_host.Click(*e.AddedToolbar()[3]);
    user.Join();
    m_host.onItemRead = nullptr;

    EXPECT_TRUE(seen.heldBack) << "no folder stored yet: both buttons wait for one";
    EXPECT_TRUE(seen.freed);
    EXPECT_EQ(seen.tip, L"Export without filters - Not Recommended");
    EXPECT_EQ(seen.folder, L"\\\\Personal Folders\\Calendar");
    EXPECT_EQ(seen.summaryBefore[0], L"no");
    EXPECT_EQ(seen.summaryBefore[1], L"vCalendar");
    EXPECT_EQ(seen.summaryAfter[0], L"yes");
    EXPECT_EQ(seen.summaryAfter[1], L"iCalendar");
    EXPECT_EQ(seen.summaryAfter[2], seen.summaryBefore[2]);
    const bool defaults[5] = {true, false, true, true, true};  // mask 0x55
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen.defaults[i], defaults[i]) << i;
    EXPECT_EQ(seen.labelNames, L"Birthday, Anniversary");
    EXPECT_EQ(seen.labelsBox, L"Please, select labels");
    EXPECT_TRUE(seen.labelsFocus);
    EXPECT_EQ(seen.periodBox, L"The end date must be later than the start date");
    EXPECT_TRUE(seen.periodFocus);
    EXPECT_EQ(seen.pathAfterBack, m_out);
    EXPECT_TRUE(seen.backKeptLabelsOff) << "Back stores the filter without its checks";
    EXPECT_TRUE(seen.periodBackToDefault) << "every filter page starts from the default period";
    EXPECT_EQ(seen.categoriesBox, L"Please, enter categories");
    EXPECT_TRUE(seen.categoriesFocus);
    EXPECT_TRUE(progressSeen);

    // Six events; the all-day one and the "Holiday" one are left out: skipped.
    EXPECT_EQ(seen.status, L"Export completed with skipped items.") << m_log.Text();
    const wchar_t* counts[] = {L"6", L"4", L"0", L"2"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen.counts[i], counts[i]) << i;
    const auto got = FolderFiles(m_out);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, "Calendar.ics");
    const std::string& ics = got[0].second;
    EXPECT_EQ(ics.rfind("BEGIN:VCALENDAR\r\n", 0), 0u) << ics.substr(0, 200);
    EXPECT_NE(ics.find("\r\nVERSION:2.0\r\n"), std::string::npos);
    EXPECT_EQ(Occurrences(ics, "BEGIN:VEVENT\r\n"), 4);
    EXPECT_EQ(Occurrences(ics, "END:VEVENT\r\n"), 4);
    for (const char* subject : {"Quarterly review", "Dentist", "Board meeting",
                                "\xD0\x9E\xD0\xB1\xD0\xB5\xD0\xB4 \xD1\x81 \xD0\xBA\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD"})
        EXPECT_NE(ics.find(subject), std::string::npos) << subject;
    EXPECT_EQ(ics.find("Thanksgiving"), std::string::npos);
    EXPECT_EQ(ics.find("Office party"), std::string::npos);

    EXPECT_EQ(ReadSetting(L"Appointments.Export.Folder"), m_out);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.OneFile"), 1);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.Format"), 20);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.Overwrite"), 1);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.Filter"), 0x05);
    EXPECT_EQ(ReadSetting(L"Appointments.Export.Filter.Categories"), L"Holiday");
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.Filter.Labels"), 0);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.OpenFolder"), 0);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Export.OpenMail"), 0);
}

// "Export All": no filter page, every event into a file of its own.
TEST_F(EventWizardsTest, ExportAllSkipsTheFilter) {
    m_host.Store().Load(m_host.Store().Calendar(), ReadBytes(WidePath(TestdataDir() + "\\addin\\events.json")));
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Calendar(), DefaultLayout(), false);
    SetSetting(L"Appointments.Export.Folder", m_out);
    SetSetting(L"Appointments.Export.OneFile", 0);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    bool filterShown = false;
    std::wstring counts[4];
    CDriver user([&] {
        HWND page = WaitForDialog(kExportPage, IDC_PATH);
        if (page == nullptr) return;
        Click(page, IDC_ALL);
        WaitGone(page);
        filterShown = WaitForDialog(kExportFilter, IDC_PERIOD_END, 1500) != nullptr;
        HWND finish = WaitForDialog(kExportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_SUCCEEDED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) counts[i] = ItemText(finish, ids[i]);
        Click(finish, IDOK);
        WaitGone(finish);
    });
    m_host.Click(*e.AddedToolbar()[3]);
    user.Join();
    EXPECT_FALSE(filterShown);
    const wchar_t* want[] = {L"6", L"6", L"0", L"0"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(counts[i], want[i]) << i << m_log.Text();
    const auto got = FolderFiles(m_out);
    EXPECT_EQ(got.size(), 6u);
    for (const auto& [name, bytes] : got) {
        EXPECT_TRUE(name.size() > 4 && name.substr(name.size() - 4) == ".vcs") << name;
        EXPECT_EQ(Occurrences(bytes, "BEGIN:VEVENT"), 1) << name;
    }
}

// Import: the Outlook folder picker refuses the contacts folder; the options dialog's
// conflict rule; "< Back" from the filter page keeps the source page's files and
// folder; the filter's category check keeps the page open with the focus on the field;
// the finish page counts files and events, and the events are in the calendar.
TEST_F(EventWizardsTest, ImportDrivenToTheEndThroughBack) {
    CFakeExplorer& e = m_host.OpenExplorer(&m_host.Store().Calendar(), DefaultLayout(), false);
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    const std::wstring file = WriteFile(L"events.ics", kIcs);

    struct Seen {
        bool heldBack = false, freed = false, categoriesFocus = false;
        bool defaults[5] = {};
        std::wstring tip, refusal, folderKept, conflict, zone, categoriesBox, pathAfterBack, folderAfterBack;
        std::wstring status, counts[4];
    } seen;
    CDriver user([&] {
        HWND page = WaitForDialog(kImportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.tip = TooltipText(page, IDC_ALL);
        seen.heldBack = !IsEnabled(page, IDOK) && !IsEnabled(page, IDC_ALL);
        m_host.pickedFolder = &m_host.Store().Contacts();
        Click(page, IDC_BROWSE_OUTLOOK);
        seen.refusal = AnswerMessageBox(L"Mireo", IDOK);
        seen.folderKept = ItemText(page, IDC_OUTLOOK_FOLDER);
        m_host.pickedFolder = nullptr;
        Type(page, IDC_PATH, file);
        seen.freed = IsEnabled(page, IDOK) && IsEnabled(page, IDC_ALL);
        seen.zone = ItemText(page, IDC_SUM_ZONE);
        Snapshot(page, "18-event-import");

        Click(page, IDC_CHANGE_OPTIONS);
        if (HWND options = WaitForDialog(kImportOptions, IDC_ZONE_LIST)) {
            Tick(options, IDC_CONFLICT_KEEP_EXISTING);
            Snapshot(options, "19-event-import-options");
            Click(options, IDOK);
            WaitGone(options);
        }
        seen.conflict = ItemText(page, IDC_SUM_CONFLICT);
        Click(page, IDOK);
        WaitGone(page);

        HWND filter = WaitForDialog(kImportFilter, IDC_PERIOD_END);
        if (filter == nullptr) return;
        const int boxes[] = {IDC_SKIP_ALL_DAY, IDC_SKIP_PRIVATE, IDC_CATEGORY_FILTER, IDC_LABEL_FILTER,
                             IDC_PERIOD_FILTER};
        for (int i = 0; i < 5; ++i) seen.defaults[i] = IsTicked(filter, boxes[i]);
        Snapshot(filter, "20-event-import-filter");
        Click(filter, IDC_BACK);
        WaitGone(filter);
        page = WaitForDialog(kImportPage, IDC_PATH);
        if (page == nullptr) return;
        seen.pathAfterBack = ItemText(page, IDC_PATH);
        seen.folderAfterBack = ItemText(page, IDC_OUTLOOK_FOLDER);
        Click(page, IDOK);
        WaitGone(page);

        filter = WaitForDialog(kImportFilter, IDC_PERIOD_END);
        if (filter == nullptr) return;
        Type(filter, IDC_CATEGORIES, L"");
        Click(filter, IDOK);
        seen.categoriesBox = AnswerMessageBox(L"Mireo", IDOK);
        ::Sleep(100);
        seen.categoriesFocus = FocusOf(filter) == ::GetDlgItem(filter, IDC_CATEGORIES);
        Type(filter, IDC_CATEGORIES, L"Holiday");
        Click(filter, IDOK);
        WaitGone(filter);

        HWND finish = WaitForDialog(kImportFinish, IDC_STATUS, 30000);
        if (finish == nullptr) return;
        seen.status = ItemText(finish, IDC_STATUS);
        const int ids[] = {IDC_COUNT_SELECTED, IDC_COUNT_COMPLETED, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED};
        for (int i = 0; i < 4; ++i) seen.counts[i] = ItemText(finish, ids[i]);
        Snapshot(finish, "21-event-import-finish");
        Click(finish, IDOK);
        WaitGone(finish);
    });
    m_host.Click(*e.AddedToolbar()[2]);
    user.Join();

    EXPECT_EQ(seen.tip, L"Import without filters - Not Recommended");
    EXPECT_TRUE(seen.heldBack);
    EXPECT_TRUE(seen.freed);
    EXPECT_EQ(seen.refusal, L"Chosen folder is not Appointment's folder");
    EXPECT_EQ(seen.folderKept, L"\\\\Personal Folders\\Calendar");
    EXPECT_FALSE(seen.zone.empty());
    EXPECT_EQ(seen.conflict.substr(0, 13), L"Keep original");
    const bool defaults[5] = {true, false, true, true, false};  // flags 21
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen.defaults[i], defaults[i]) << i;
    EXPECT_EQ(seen.pathAfterBack, file);
    EXPECT_EQ(seen.folderAfterBack, L"\\\\Personal Folders\\Calendar") << "Back hands the folder back to the page";
    EXPECT_EQ(seen.categoriesBox, L"Please, enter categories");
    EXPECT_TRUE(seen.categoriesFocus);

    // The all-day event and the "Holiday" one are left out: skipped.
    EXPECT_EQ(seen.status, L"Import completed with skipped items.") << m_log.Text();
    const wchar_t* counts[] = {L"1/5", L"3", L"0", L"2"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen.counts[i], counts[i]) << i;
    std::vector<std::u16string> subjects;
    for (const auto& item : m_host.Store().Calendar().items) {
        if (item->gone) continue;
        subjects.push_back(ReadItemProperty(*item, "Subject").AsText());
    }
    std::sort(subjects.begin(), subjects.end());
    const std::vector<std::u16string> want = {u"Dentist", u"Quarterly review", u"\u041e\u0431\u0435\u0434 \u0441 \u043a\u043b\u0438\u0435\u043d\u0442\u043e\u043c"};
    EXPECT_EQ(subjects, want);

    EXPECT_EQ(ReadSetting(L"Appointments.Import.Folder"), file);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Import.ConflictResolution"), 2);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Import.Filter"), 21);
    EXPECT_EQ(ReadSetting(L"Appointments.Import.Filter.Categories"), L"Holiday");
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Import.Filter.SubjectLabels"), 384);
    EXPECT_EQ(ReadNumberSetting(L"Appointments.Import.OpenFolder"), 0);
}

// A round trip through both wizards: the calendar exported with "Export All" as
// iCalendar into one file, the calendar emptied, the file imported with "Import All":
// every event comes back with its subject, times, place, all-day flag and privacy.
TEST_F(EventWizardsTest, ExportedCalendarComesBackThroughTheImportWizard) {
    MemFolder& calendar = m_host.Store().Calendar();
    m_host.Store().Load(calendar, ReadBytes(WidePath(TestdataDir() + "\\addin\\events.json")));
    CFakeExplorer& e = m_host.OpenExplorer(&calendar, DefaultLayout(), false);
    SetSetting(L"Appointments.Export.Folder", m_out);
    SetSetting(L"Appointments.Export.Format", 20);
    SetSetting(L"Appointments.Import.Folder", m_out + L"\\Calendar.ics");
    CAddinSession addin(m_host);
    ASSERT_EQ(addin.Connect(), S_OK);
    const char* kept[] = {"Subject", "Start", "End", "Location", "AllDayEvent", "Sensitivity"};
    const auto snapshot = [&] {
        std::vector<std::vector<Value>> rows;
        for (const auto& item : calendar.items) {
            if (item->gone) continue;
            std::vector<Value> row;
            for (const char* name : kept) row.push_back(ReadItemProperty(*item, name));
            rows.push_back(std::move(row));
        }
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a[0].AsText() < b[0].AsText(); });
        return rows;
    };
    const auto before = snapshot();
    ASSERT_EQ(before.size(), 6u);

    // Both wizards confirmed with their "... All" button.
    const auto all = [](const wchar_t* page, const wchar_t* finish) {
        return [page, finish] {
            HWND p = WaitForDialog(page, IDC_PATH);
            if (p == nullptr) return;
            Click(p, IDC_ALL);
            WaitGone(p);
            HWND f = WaitForDialog(finish, IDC_STATUS, 30000);
            if (f == nullptr) return;
            Click(f, IDOK);
            WaitGone(f);
        };
    };
    {
        CDriver user(all(kExportPage, kExportFinish));
        m_host.Click(*e.AddedToolbar()[3]);
        user.Join();
    }
    ASSERT_EQ(FolderFiles(m_out).size(), 1u) << m_log.Text();
    calendar.items.clear();
    {
        CDriver user(all(kImportPage, kImportFinish));
        m_host.Click(*e.AddedToolbar()[2]);
        user.Join();
    }
    const auto after = snapshot();
    ASSERT_EQ(after.size(), before.size()) << m_log.Text();
    for (std::size_t i = 0; i < before.size(); ++i)
        for (std::size_t k = 0; k < std::size(kept); ++k)
            EXPECT_TRUE(after[i][k] == before[i][k]) << kept[k] << " of event " << i;
}

}  // namespace
}  // namespace mireo::testhost
