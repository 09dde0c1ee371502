#include "addin/win32/event_views.h"

#include <algorithm>

#include "addin/win32/pickers.h"
#include "engine/category_filter.h"
#include "engine/logger.h"
#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "resources/mireo_resource.h"
#include "vcal/export/event_export.h"
#include "vcal/import/event_import.h"

namespace mireo {

namespace {

constexpr const char* kFilterVCal = "VCal (*.vcs;*.ics)|*.vcs;*.ics||";

// Combo boxes 220 and 221: index 0 "exclude", index 1 "include".
std::vector<std::string> FilterModes() { return {LoadUserString(IDS_EXCLUDE), LoadUserString(IDS_INCLUDE)}; }

void ShowHelp(IContextHelp* help, const char* topic) {
    if (help != nullptr) help->ShowContextHelp(topic);
}

}  // namespace

// ------------------------------------------------------------------ export, start page

void CEventExportView::OnInit() {
    SetBrowseImage(IDC_BROWSE_OUTLOOK);
    SetBrowseImage(IDC_BROWSE_PATH);
    SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
    SetCheck(IDC_SELECTED_ONLY, m_model.SelectedOnly());
    Enable(IDC_SELECTED_ONLY, m_model.SelectedOnlyEnabled());
    SetText(IDC_PATH, m_model.TargetFolder());
    SetCheck(IDC_ONE_FILE, m_model.OneFile());
    SetTooltip(IDC_ALL, LoadUserString(IDS_EXPORT_ALL_TIP));
    ShowSummary();
    EnableNext();
    if (m_model.TargetFolder().empty()) Focus(IDC_PATH);
}

void CEventExportView::ShowSummary() {
    CDialogView::ShowSummary(m_model.Summary(), {IDC_SUM_OVERWRITE, IDC_SUM_FORMAT, IDC_SUM_ENCODING});
}

void CEventExportView::EnableNext() {
    const bool on = m_model.NextEnabled();
    Enable(IDOK, on);
    Enable(IDC_ALL, on);
}

void CEventExportView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PATH:
        if (code == EN_CHANGE) {
            m_model.SetTargetFolder(Text(IDC_PATH));
            EnableNext();
        }
        return;
    case IDC_BROWSE_OUTLOOK:
        if (m_model.BrowseFolder()) SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
        EnableNext();
        return;
    case IDC_BROWSE_PATH:
        if (auto chosen = BrowseForFolder(Hwnd(), LoadUserString(IDS_CHOOSE_EXPORT_FOLDER), m_model.TargetFolder()))
            SetText(IDC_PATH, *chosen);  // EN_CHANGE hands it to the model
        return;
    case IDC_SELECTED_ONLY:
        m_model.SetSelectedOnly(Checked(IDC_SELECTED_ONLY));
        EnableNext();
        return;
    case IDC_ONE_FILE: m_model.SetOneFile(Checked(IDC_ONE_FILE)); return;
    case IDC_CHANGE_OPTIONS: {
        CDlgVCalExportOptions page = m_model.MakeOptionsPage();
        CEventExportOptionsView options(page, m_help);
        if (options.DoModal(Hwnd(), IDD_EVENT_EXPORT_OPTIONS) == IDOK) {
            m_model.ApplyOptions(page);
            ShowSummary();
        }
        return;
    }
    case IDC_PAGE_HELP: m_model.OnHelp(m_help); return;
    case IDOK:
        if (m_model.OnNext(m_choices)) End(IDOK);
        return;
    case IDC_ALL:
        if (m_model.OnExportAll(m_choices)) End(IDOK);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ export, options

void CEventExportOptionsView::OnInit() {
    const EventExportOptionValues& v = m_model.Values();
    SetCheck(IDC_OVERWRITE, v.overwrite);
    SetCheck(m_model.ICalendar() ? IDC_FORMAT_NEW : IDC_FORMAT_OLD, true);
    const std::vector<std::string>& names = m_model.EncodingNames();
    const auto at = std::find(names.begin(), names.end(), v.encoding);
    FillList(IDC_ENCODING_LIST, names, at == names.end() ? -1 : static_cast<int>(at - names.begin()));
}

void CEventExportOptionsView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PAGE_HELP: ShowHelp(m_help, kHelpExportEvents); return;
    case IDOK:
        m_model.SetOverwrite(Checked(IDC_OVERWRITE));
        m_model.SetICalendar(Checked(IDC_FORMAT_NEW));
        m_model.SelectEncoding(ListIndex(IDC_ENCODING_LIST));
        m_model.OnOk();
        End(IDOK);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ export, filter page

void CEventExportFilterView::OnInit() {
    FillList(IDC_CATEGORY_MODE, FilterModes(), 0);
    FillList(IDC_LABEL_MODE, FilterModes(), 0);
    const bool labels = m_model.LabelsEnabled();
    Enable(IDC_LABEL_FILTER, labels);
    Enable(IDC_LABEL_MODE, labels);
    Enable(IDC_LABEL_NAMES, labels);
    Enable(IDC_LABELS_BUTTON, labels);
    Show();
}

void CEventExportFilterView::Show() {
    SetCheck(IDC_SKIP_ALL_DAY, m_model.SkipAllDay());
    SetCheck(IDC_SKIP_PRIVATE, m_model.SkipPrivate());
    SetCheck(IDC_CATEGORY_FILTER, m_model.CategoryFilter());
    SelectListIndex(IDC_CATEGORY_MODE, m_model.IncludeCategories() ? 1 : 0);
    SetText(IDC_CATEGORIES, m_model.Categories());
    SetCheck(IDC_LABEL_FILTER, m_model.LabelFilter());
    SelectListIndex(IDC_LABEL_MODE, m_model.IncludeLabels() ? 1 : 0);
    SetText(IDC_LABEL_NAMES, m_model.LabelsText());
    SetCheck(IDC_PERIOD_FILTER, m_model.PeriodFilter());
    SetDate(IDC_PERIOD_START, m_model.PeriodStart());
    SetDate(IDC_PERIOD_END, m_model.PeriodEnd());
}

void CEventExportFilterView::Take() {
    m_model.SetSkipAllDay(Checked(IDC_SKIP_ALL_DAY));
    m_model.SetSkipPrivate(Checked(IDC_SKIP_PRIVATE));
    m_model.SetCategoryFilter(Checked(IDC_CATEGORY_FILTER));
    m_model.SetIncludeCategories(ListIndex(IDC_CATEGORY_MODE) == 1);
    m_model.SetCategories(Text(IDC_CATEGORIES));
    m_model.SetLabelFilter(Checked(IDC_LABEL_FILTER));
    m_model.SetIncludeLabels(ListIndex(IDC_LABEL_MODE) == 1);
    m_model.SetPeriodFilter(Checked(IDC_PERIOD_FILTER));
    m_model.SetPeriod(Date(IDC_PERIOD_START), Date(IDC_PERIOD_END));
}

void CEventExportFilterView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_CATEGORIES_BUTTON:
        m_model.SetCategories(Text(IDC_CATEGORIES));
        if (m_model.ChooseCategories(m_app)) SetText(IDC_CATEGORIES, m_model.Categories());
        return;
    case IDC_LABELS_BUTTON: {
        CDlgLabels page = m_model.MakeLabelsPage();
        CLabelsView labels(page);
        if (labels.DoModal(Hwnd(), IDD_LABELS) == IDOK) {
            m_model.ApplyLabels(page.OnOk());
            SetCheck(IDC_LABEL_FILTER, m_model.LabelFilter());
            SetText(IDC_LABEL_NAMES, m_model.LabelsText());
        }
        return;
    }
    case IDC_FILTER_DEFAULTS:
        m_model.SetDefaults();
        Show();
        return;
    case IDC_PAGE_HELP: ShowHelp(m_help, kHelpExportEvents); return;
    case IDC_BACK:
        Take();
        m_model.OnBack();
        End(IDC_BACK);
        return;
    case IDOK:
        Take();
        if (m_model.OnExport(m_filter))
            End(IDOK);
        else
            Focus(m_model.FocusControl());
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ labels

void CLabelsView::OnInit() {
    for (int label = 1; label <= kLabelCount; ++label) SetCheck(IDC_LABEL_FIRST + label - 1, m_model.Checked(label));
}

void CLabelsView::OnCommand(int id, int code) {
    if (id != IDOK) return CDialogView::OnCommand(id, code);
    for (int label = 1; label <= kLabelCount; ++label) m_model.SetChecked(label, Checked(IDC_LABEL_FIRST + label - 1));
    End(IDOK);
}

// ------------------------------------------------------------------ import, source page

void CEventImportView::OnInit() {
    SetBrowseImage(IDC_BROWSE_OUTLOOK);
    SetBrowseImage(IDC_BROWSE_PATH);
    UnlimitText(IDC_PATH);
    SetText(IDC_PATH, m_model.PathsText());
    SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
    SetTooltip(IDC_ALL, LoadUserString(IDS_IMPORT_ALL_TIP));
    ShowOptions();
    EnableNext();
    if (m_model.PathsText().empty()) Focus(IDC_PATH);
}

void CEventImportView::ShowOptions() {
    SetText(IDC_SUM_CONFLICT, m_model.ConflictText());
    SetText(IDC_SUM_ZONE, m_model.ZoneName());
}

void CEventImportView::EnableNext() {
    const bool on = m_model.NextEnabled();
    Enable(IDOK, on);
    Enable(IDC_ALL, on);
}

void CEventImportView::Close(bool all) {
    if (m_model.OnNext(m_choices, all)) {
        m_all = all;
        End(IDOK);
    } else {
        Focus(IDC_PATH);
    }
}

void CEventImportView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PATH:
        if (code == EN_CHANGE) {
            m_model.SetPathsText(Text(IDC_PATH));
            EnableNext();
        }
        return;
    case IDC_BROWSE_PATH:
        if (auto chosen = ChooseFiles(Hwnd(), LoadUserString(IDS_CHOOSE_IMPORT_FOLDER), kFilterVCal, m_model.PathsText()))
            SetText(IDC_PATH, *chosen);
        return;
    case IDC_BROWSE_OUTLOOK:
        if (m_model.BrowseFolder()) SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
        return;
    case IDC_CHANGE_OPTIONS: {
        CDlgVCalImportOptions page = m_model.MakeOptionsPage();
        CEventImportOptionsView options(page, m_help);
        if (options.DoModal(Hwnd(), IDD_EVENT_IMPORT_OPTIONS) == IDOK) {
            m_model.ApplyOptions(page);
            ShowOptions();
        }
        return;
    }
    case IDC_PAGE_HELP: m_model.OnHelp(m_help); return;
    case IDOK: Close(false); return;
    case IDC_ALL: Close(true); return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ import, options

void CEventImportOptionsView::OnInit() {
    SetCheck(IDC_CONFLICT_KEEP_BOTH + m_model.Conflict(), true);
    FillList(IDC_ZONE_LIST, m_model.ZoneChoices(), m_model.Selected());
}

void CEventImportOptionsView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PAGE_HELP: ShowHelp(m_help, kHelpImportEvents); return;
    case IDOK:
        for (int rule = 0; rule < 3; ++rule)
            if (Checked(IDC_CONFLICT_KEEP_BOTH + rule)) m_model.SetConflict(rule);
        m_model.Select(ListIndex(IDC_ZONE_LIST));
        m_model.OnOk();
        End(IDOK);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ import, filter page

void CEventImportFilterView::OnInit() {
    FillList(IDC_CATEGORY_MODE, FilterModes(), 0);
    FillList(IDC_LABEL_MODE, FilterModes(), 0);
    Show();
}

void CEventImportFilterView::Show() {
    const EventFilterValues& v = m_model.Values();
    SetCheck(IDC_SKIP_ALL_DAY, (v.mask & kEventFilterSkipAllDay) != 0);
    SetCheck(IDC_SKIP_PRIVATE, (v.mask & kFilterSkipPrivate) != 0);
    SetCheck(IDC_CATEGORY_FILTER, (v.mask & (kFilterExcludeCategories | kFilterIncludeCategories)) != 0);
    SelectListIndex(IDC_CATEGORY_MODE, (v.mask & kFilterIncludeCategories) != 0 ? 1 : 0);
    SetText(IDC_CATEGORIES, v.categories);
    SetCheck(IDC_LABEL_FILTER, (v.mask & (kEventFilterExcludeLabels | kEventFilterIncludeLabels)) != 0);
    SelectListIndex(IDC_LABEL_MODE, (v.mask & kEventFilterIncludeLabels) != 0 ? 1 : 0);
    SetText(IDC_LABEL_NAMES, LabelNames(v.labels));
    SetCheck(IDC_PERIOD_FILTER, (v.mask & kEventFilterPeriod) != 0);
    SetDate(IDC_PERIOD_START, v.periodStart);
    SetDate(IDC_PERIOD_END, v.periodEnd);
}

void CEventImportFilterView::Take() {
    EventFilterValues& v = m_model.Edit();
    std::uint32_t mask = 0;
    if (Checked(IDC_SKIP_ALL_DAY)) mask |= kEventFilterSkipAllDay;
    if (Checked(IDC_SKIP_PRIVATE)) mask |= kFilterSkipPrivate;
    if (Checked(IDC_CATEGORY_FILTER))
        mask |= ListIndex(IDC_CATEGORY_MODE) == 1 ? kFilterIncludeCategories : kFilterExcludeCategories;
    if (Checked(IDC_LABEL_FILTER))
        mask |= ListIndex(IDC_LABEL_MODE) == 1 ? kEventFilterIncludeLabels : kEventFilterExcludeLabels;
    if (Checked(IDC_PERIOD_FILTER)) mask |= kEventFilterPeriod;
    v.mask = mask;
    v.categories = Text(IDC_CATEGORIES);
    v.periodStart = Date(IDC_PERIOD_START);
    v.periodEnd = Date(IDC_PERIOD_END);
}

void CEventImportFilterView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_CATEGORIES_BUTTON:
        m_model.Edit().categories = Text(IDC_CATEGORIES);
        if (m_model.ChooseCategories(m_app)) SetText(IDC_CATEGORIES, m_model.Values().categories);
        return;
    case IDC_LABELS_BUTTON: {
        CDlgLabels page(m_model.Values().labels);
        CLabelsView labels(page);
        if (labels.DoModal(Hwnd(), IDD_LABELS) == IDOK) {
            const std::uint32_t mask = page.OnOk();
            m_model.Edit().labels = mask;
            if (mask != 0) SetCheck(IDC_LABEL_FILTER, true);
            SetText(IDC_LABEL_NAMES, LabelNames(mask));
        }
        return;
    }
    case IDC_FILTER_DEFAULTS:
        m_model.SetDefaults();
        Show();
        return;
    case IDC_PAGE_HELP: ShowHelp(m_help, kHelpImportEvents); return;
    case IDC_BACK:
        Take();
        m_model.OnBack();
        End(IDC_BACK);
        return;
    case IDOK:
        Take();
        if (m_model.OnImport(m_choices))
            End(IDOK);
        else
            Focus(m_model.FocusControl());
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

}  // namespace mireo
