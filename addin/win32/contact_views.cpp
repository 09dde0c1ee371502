#include "addin/win32/contact_views.h"

#include "addin/win32/pickers.h"
#include "engine/logger.h"
#include "resources/mireo_resource.h"
#include "mireo_strings.h"
#include "platform/user_strings.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"

namespace mireo {

namespace {

constexpr const char* kFilterVCard = "VCard (*.vcf)|*.vcf||";

std::vector<std::string> CategoryModes() { return {LoadUserString(IDS_EXCLUDE), LoadUserString(IDS_INCLUDE)}; }

}  // namespace

// ------------------------------------------------------------------ export, start page

void CContactExportView::OnInit() {
    SetBrowseImage(IDC_BROWSE_OUTLOOK);
    SetBrowseImage(IDC_BROWSE_PATH);
    ShowFolder();
    SetCheck(IDC_SELECTED_ONLY, m_model.SelectedOnly());
    Enable(IDC_SELECTED_ONLY, m_model.SelectedOnlyEnabled());
    SetText(IDC_PATH, m_model.TargetFolder());
    SetCheck(IDC_ONE_FILE, m_model.OneFile());
    ShowSummary();
    Enable(IDOK, m_model.ExportEnabled());
    if (m_model.TargetFolder().empty()) Focus(IDC_PATH);
}

void CContactExportView::ShowFolder() {
    SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
    Enable(IDC_OUTLOOK_FOLDER, m_model.FolderChoiceEnabled());
    Enable(IDC_BROWSE_OUTLOOK, m_model.FolderChoiceEnabled());
}

void CContactExportView::ShowSummary() {
    CDialogView::ShowSummary(m_model.Summary(),
                             {IDC_SUM_PRIVATE, IDC_SUM_CATEGORIES, IDC_SUM_OVERWRITE, IDC_SUM_FORMAT, IDC_SUM_ENCODING});
}

void CContactExportView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PATH:
        if (code == EN_CHANGE) {
            m_model.SetTargetFolder(Text(IDC_PATH));
            Enable(IDOK, m_model.ExportEnabled());
        }
        return;
    case IDC_BROWSE_OUTLOOK:
        if (m_model.BrowseFolder()) ShowFolder();
        Enable(IDOK, m_model.ExportEnabled());
        return;
    case IDC_BROWSE_PATH:
        if (auto chosen = BrowseForFolder(Hwnd(), LoadUserString(IDS_CHOOSE_EXPORT_FOLDER), m_model.TargetFolder()))
            SetText(IDC_PATH, *chosen);  // EN_CHANGE hands it to the model
        return;
    case IDC_SELECTED_ONLY:
        m_model.SetSelectedOnly(Checked(IDC_SELECTED_ONLY));
        ShowFolder();
        Enable(IDOK, m_model.ExportEnabled());
        return;
    case IDC_ONE_FILE: m_model.SetOneFile(Checked(IDC_ONE_FILE)); return;
    case IDC_CHANGE_OPTIONS: {
        CDlgVCardExportOptions page = m_model.MakeOptionsPage();
        CContactExportOptionsView options(page, m_app, m_help);
        if (options.DoModal(Hwnd(), IDD_CONTACT_EXPORT_OPTIONS) == IDOK) {
            m_model.ApplyOptions(page);
            ShowSummary();
        }
        return;
    }
    case IDC_PAGE_HELP: m_model.OnHelp(m_help); return;
    case IDOK:
        if (m_model.OnExport(m_choices)) End(IDOK);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ export, options

void CContactExportOptionsView::OnInit() {
    const ContactExportOptionValues& v = m_model.Values();
    SetCheck(IDC_SKIP_PRIVATE, v.skipPrivate);
    SetCheck(IDC_CATEGORY_FILTER, v.categoryFilter);
    FillList(IDC_CATEGORY_MODE, CategoryModes(), v.includeCategories ? 1 : 0);
    SetText(IDC_CATEGORIES, v.categories);
    SetCheck(IDC_OVERWRITE, v.overwrite);
    SetCheck(m_model.Version30() ? IDC_FORMAT_NEW : IDC_FORMAT_OLD, true);
    FillList(IDC_ENCODING_LIST, m_model.EncodingNames(), m_model.EncodingIndex());
    EnableCategories();
}

void CContactExportOptionsView::EnableCategories() {
    const bool on = m_model.CategoryControlsEnabled();
    Enable(IDC_CATEGORY_MODE, on);
    Enable(IDC_CATEGORIES, on);
    Enable(IDC_CATEGORIES_BUTTON, on);
}

void CContactExportOptionsView::Take() {
    m_model.SetSkipPrivate(Checked(IDC_SKIP_PRIVATE));
    m_model.SetCategoryFilter(Checked(IDC_CATEGORY_FILTER));
    m_model.SetIncludeCategories(ListIndex(IDC_CATEGORY_MODE) == 1);
    m_model.SetCategories(Text(IDC_CATEGORIES));
    m_model.SetOverwrite(Checked(IDC_OVERWRITE));
    m_model.SetVersion30(Checked(IDC_FORMAT_NEW));
    m_model.SelectEncoding(ListIndex(IDC_ENCODING_LIST));
}

void CContactExportOptionsView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_CATEGORY_FILTER:
        m_model.SetCategoryFilter(Checked(IDC_CATEGORY_FILTER));
        EnableCategories();
        return;
    case IDC_CATEGORIES_BUTTON:
        m_model.SetCategories(Text(IDC_CATEGORIES));
        if (m_model.ChooseCategories(m_app)) SetText(IDC_CATEGORIES, m_model.Values().categories);
        return;
    case IDC_PAGE_HELP:
        if (m_help != nullptr) m_help->ShowContextHelp(kHelpExportContacts);
        return;
    case IDOK:
        Take();
        if (m_model.OnOk())
            End(IDOK);
        else
            Focus(IDC_CATEGORIES);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ import, start page

void CContactImportView::OnInit() {
    SetBrowseImage(IDC_BROWSE_OUTLOOK);
    SetBrowseImage(IDC_BROWSE_PATH);
    UnlimitText(IDC_PATH);
    SetText(IDC_PATH, m_model.PathsText());
    SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
    ShowSummary();
    Enable(IDOK, m_model.ImportEnabled());
    if (m_model.PathsText().empty()) Focus(IDC_PATH);
}

void CContactImportView::ShowSummary() {
    CDialogView::ShowSummary(m_model.Summary(), {IDC_SUM_PRIVATE, IDC_SUM_CATEGORIES, IDC_SUM_CONFLICT});
}

void CContactImportView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PATH:
        if (code == EN_CHANGE) {
            m_model.SetPathsText(Text(IDC_PATH));
            Enable(IDOK, m_model.ImportEnabled());
        }
        return;
    case IDC_BROWSE_PATH:
        if (auto chosen = ChooseFiles(Hwnd(), LoadUserString(IDS_CHOOSE_IMPORT_FOLDER), kFilterVCard, m_model.PathsText()))
            SetText(IDC_PATH, *chosen);
        return;
    case IDC_BROWSE_OUTLOOK:
        if (m_model.BrowseFolder()) SetText(IDC_OUTLOOK_FOLDER, m_model.FolderText());
        Enable(IDOK, m_model.ImportEnabled());
        return;
    case IDC_CHANGE_OPTIONS: {
        CDlgVCardImportOptions page = m_model.MakeOptionsPage();
        CContactImportOptionsView options(page, m_app, m_help);
        if (options.DoModal(Hwnd(), IDD_CONTACT_IMPORT_OPTIONS) == IDOK) {
            m_model.ApplyOptions(page);
            ShowSummary();
        }
        return;
    }
    case IDC_PAGE_HELP: m_model.OnHelp(m_help); return;
    case IDOK:
        if (m_model.OnImport(m_choices))
            End(IDOK);
        else
            Focus(IDC_PATH);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

// ------------------------------------------------------------------ import, options

void CContactImportOptionsView::OnInit() {
    const ContactImportOptionValues& v = m_model.Values();
    SetCheck(IDC_SKIP_PRIVATE, v.skipPrivate);
    SetCheck(IDC_CATEGORY_FILTER, v.categoryFilter);
    FillList(IDC_CATEGORY_MODE, CategoryModes(), v.includeCategories ? 1 : 0);
    SetText(IDC_CATEGORIES, v.categories);
    SetCheck(IDC_CONFLICT_KEEP_BOTH + v.conflict, true);
    EnableCategories();
}

void CContactImportOptionsView::EnableCategories() {
    const bool on = Checked(IDC_CATEGORY_FILTER);
    Enable(IDC_CATEGORY_MODE, on);
    Enable(IDC_CATEGORIES, on);
    Enable(IDC_CATEGORIES_BUTTON, on);
}

void CContactImportOptionsView::Take() {
    m_model.SetSkipPrivate(Checked(IDC_SKIP_PRIVATE));
    m_model.SetCategoryFilter(Checked(IDC_CATEGORY_FILTER));
    m_model.SetIncludeCategories(ListIndex(IDC_CATEGORY_MODE) == 1);
    m_model.SetCategories(Text(IDC_CATEGORIES));
    for (int rule = 0; rule < 3; ++rule)
        if (Checked(IDC_CONFLICT_KEEP_BOTH + rule)) m_model.SetConflict(rule);
}

void CContactImportOptionsView::OnCommand(int id, int code) {
    switch (id) {
    case IDC_CATEGORY_FILTER: EnableCategories(); return;
    case IDC_CATEGORIES_BUTTON:
        m_model.SetCategories(Text(IDC_CATEGORIES));
        if (m_model.ChooseCategories(m_app)) SetText(IDC_CATEGORIES, m_model.Values().categories);
        return;
    case IDC_PAGE_HELP:
        if (m_help != nullptr) m_help->ShowContextHelp(kHelpImportContacts);
        return;
    case IDOK:
        Take();
        if (m_model.OnOk())
            End(IDOK);
        else
            Focus(IDC_CATEGORIES);
        return;
    default: CDialogView::OnCommand(id, code);
    }
}

}  // namespace mireo
