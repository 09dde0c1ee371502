#pragma once
// The views of the calendar wizards: each moves values between its template's controls
// and its page model (vcal/ui for the export, vcal/import/ui for the import), and asks
// the model what is allowed and what happens. The filter pages end with IDC_BACK for
// "< Back"; the wizard then shows its first page again.
#include <windows.h>

#include "addin/win32/dialog_view.h"
#include "addin/win32/finish_views.h"
#include "vcal/import/ui/dlg_vcal_import.h"
#include "vcal/ui/dlg_vcal_export.h"
#include "vcal/ui/dlg_vcal_export_filter.h"
#include "vcal/ui/dlg_vcal_export_finish.h"

namespace mireo {

class IApplication;
class IContextHelp;
class IFolderOpener;
struct EventExportChoices;
struct EventImportChoices;

// Start page 238; ends with IDOK after "Next >" or "Export All" (the choices say which:
// `filtered` is false after "Export All").
class CEventExportView final : public CDialogView {
public:
    CEventExportView(CDlgVCalExport& model, IContextHelp* help, EventExportChoices& choices)
        : m_model(model), m_help(help), m_choices(choices) {}

protected:
    const char* Source() const override { return "CDlgVCalExport"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void ShowSummary();
    void EnableNext();
    CDlgVCalExport& m_model;
    IContextHelp* m_help;
    EventExportChoices& m_choices;
};

// Options dialog 241; ends with IDOK once the model has stored the values.
class CEventExportOptionsView final : public CDialogView {
public:
    CEventExportOptionsView(CDlgVCalExportOptions& model, IContextHelp* help) : m_model(model), m_help(help) {}

protected:
    const char* Source() const override { return "CDlgVCalExportOptions"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    CDlgVCalExportOptions& m_model;
    IContextHelp* m_help;
};

// Filter page 268: IDOK once the model has taken and stored the filter, IDC_BACK after
// "< Back" (stored without the checks), IDCANCEL.
class CEventExportFilterView final : public CDialogView {
public:
    CEventExportFilterView(CDlgVCalExportFilter& model, IApplication& app, IContextHelp* help, EventFilter& filter)
        : m_model(model), m_app(app), m_help(help), m_filter(filter) {}

protected:
    const char* Source() const override { return "CDlgVCalExportFilter"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Show();
    void Take();
    CDlgVCalExportFilter& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
    EventFilter& m_filter;
};

// CDlgLabels (270): ten check boxes; IDOK once the model holds the checked ones.
class CLabelsView final : public CDialogView {
public:
    explicit CLabelsView(CDlgLabels& model) : m_model(model) {}

protected:
    const char* Source() const override { return "CDlgLabels"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    CDlgLabels& m_model;
};

// Finish page 240.
using CEventExportFinishView = CExportFinishView<CDlgVCalExportFinish>;
inline constexpr FinishPage kEventExportFinishPage{"CDlgVCalExportFinish", IDC_COUNT_SUCCEEDED, kHelpExportEvents};

// Source page 242; ends with IDOK after "Next >" or "Import All" (All() says which).
class CEventImportView final : public CDialogView {
public:
    CEventImportView(CDlgVCalImport& model, IContextHelp* help, EventImportChoices& choices)
        : m_model(model), m_help(help), m_choices(choices) {}
    bool All() const { return m_all; }

protected:
    const char* Source() const override { return "CDlgVCalImport"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void ShowOptions();
    void EnableNext();
    void Close(bool all);
    CDlgVCalImport& m_model;
    IContextHelp* m_help;
    EventImportChoices& m_choices;
    bool m_all = false;
};

// Options dialog 244; ends with IDOK once the model has stored the values.
class CEventImportOptionsView final : public CDialogView {
public:
    CEventImportOptionsView(CDlgVCalImportOptions& model, IContextHelp* help) : m_model(model), m_help(help) {}

protected:
    const char* Source() const override { return "CDlgVCalImportOptions"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    CDlgVCalImportOptions& m_model;
    IContextHelp* m_help;
};

// Filter page 271: IDOK, IDC_BACK or IDCANCEL as the export's filter page.
class CEventImportFilterView final : public CDialogView {
public:
    CEventImportFilterView(CDlgVCalImportFilter& model, IApplication& app, IContextHelp* help,
                           EventImportChoices& choices)
        : m_model(model), m_app(app), m_help(help), m_choices(choices) {}

protected:
    const char* Source() const override { return "CDlgVCalImportFilter"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Show();
    void Take();
    CDlgVCalImportFilter& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
    EventImportChoices& m_choices;
};

// Finish page 243.
using CEventImportFinishView = CImportFinishView<CDlgVCalImportFinish>;
inline constexpr FinishPage kEventImportFinishPage{"CDlgVCalImportFinish", IDC_COUNT_COMPLETED, kHelpImportEvents};

}  // namespace mireo
