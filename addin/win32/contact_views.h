#pragma once
// The views of the contact wizards: each moves values between its template's controls
// and its page model (vcard/ui), and asks the model what is allowed and what happens.
#include <windows.h>

#include "addin/win32/dialog_view.h"
#include "addin/win32/finish_views.h"
#include "vcard/ui/dlg_vcard_export.h"
#include "vcard/ui/dlg_vcard_export_finish.h"
#include "vcard/ui/dlg_vcard_export_options.h"
#include "vcard/ui/dlg_vcard_import.h"
#include "vcard/ui/dlg_vcard_import_finish.h"
#include "vcard/ui/dlg_vcard_import_options.h"

namespace mireo {

class IApplication;
class IContextHelp;
class IFolderOpener;
struct ContactExportChoices;
struct ContactImportChoices;

// Start page 224; ends with IDOK once the model has taken the choices.
class CContactExportView final : public CDialogView {
public:
    CContactExportView(CDlgVCardExport& model, IApplication& app, IContextHelp* help, ContactExportChoices& choices)
        : m_model(model), m_app(app), m_help(help), m_choices(choices) {}

protected:
    const char* Source() const override { return "CDlgVCardExport"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void ShowFolder();
    void ShowSummary();
    CDlgVCardExport& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
    ContactExportChoices& m_choices;
};

// Options dialog 225; ends with IDOK once the model has stored the values.
class CContactExportOptionsView final : public CDialogView {
public:
    CContactExportOptionsView(CDlgVCardExportOptions& model, IApplication& app, IContextHelp* help)
        : m_model(model), m_app(app), m_help(help) {}

protected:
    const char* Source() const override { return "CDlgVCardExportOptions"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Take();
    void EnableCategories();
    CDlgVCardExportOptions& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
};

// Finish page 227.
using CContactExportFinishView = CExportFinishView<CDlgVCardExportFinish>;
inline constexpr FinishPage kContactExportFinishPage{"CDlgVCardExportFinish", IDC_COUNT_SUCCEEDED, kHelpExportContacts};

// Start page 228.
class CContactImportView final : public CDialogView {
public:
    CContactImportView(CDlgVCardImport& model, IApplication& app, IContextHelp* help, ContactImportChoices& choices)
        : m_model(model), m_app(app), m_help(help), m_choices(choices) {}

protected:
    const char* Source() const override { return "CDlgVCardImport"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void ShowSummary();
    CDlgVCardImport& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
    ContactImportChoices& m_choices;
};

// Options dialog 230.
class CContactImportOptionsView final : public CDialogView {
public:
    CContactImportOptionsView(CDlgVCardImportOptions& model, IApplication& app, IContextHelp* help)
        : m_model(model), m_app(app), m_help(help) {}

protected:
    const char* Source() const override { return "CDlgVCardImportOptions"; }
    void OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Take();
    void EnableCategories();
    CDlgVCardImportOptions& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
};

// Finish page 229.
using CContactImportFinishView = CImportFinishView<CDlgVCardImportFinish>;
inline constexpr FinishPage kContactImportFinishPage{"CDlgVCardImportFinish", IDC_COUNT_SUCCEEDED, kHelpImportContacts};

}  // namespace mireo
