// The finish pages of the wizards: the status, the counts, the "(Why?)" and "Open folder"
// links and the check boxes. The contact and calendar pages of one direction differ only
// in their model, the control of the completed count, the help topic and the name in the
// log.
#pragma once

#include <windows.h>

#include "addin/win32/dialog_view.h"
#include "engine/item_store.h"
#include "ui/folder_opener.h"
#include "engine/logger.h"
#include "resources/mireo_resource.h"

namespace mireo {

struct FinishPage {
    const char* source;    // the page model's name in the log
    int completedCountId;  // the control showing the exported or imported count
    const char* helpTopic;
};

template <typename Model>
class CImportFinishView final : public CDialogView {
public:
    CImportFinishView(Model& model, IApplication& app, IContextHelp* help, const FinishPage& page)
        : m_model(model), m_app(app), m_help(help), m_page(page) {}

protected:
    const char* Source() const override { return m_page.source; }

    void OnInit() override {
        SetText(IDC_STATUS, m_model.StatusText());
        ShowCounts(m_model.Counts(), {IDC_COUNT_SELECTED, m_page.completedCountId, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED});
        MakeLink(IDC_SKIPPED_WHY);
        MakeLink(IDC_OPEN_FOLDER_LINK);
        SetCheck(IDC_OPEN_FOLDER, m_model.OpenFolder());
    }

    void OnCommand(int id, int code) override {
        switch (id) {
        case IDC_SKIPPED_WHY:
            if (code == STN_CLICKED) m_model.OnWhyLink(m_help);
            return;
        case IDC_OPEN_FOLDER_LINK:
            if (code == STN_CLICKED) m_model.ShowFolder(m_app);
            return;
        case IDC_OPEN_FOLDER: m_model.SetOpenFolder(Checked(IDC_OPEN_FOLDER)); return;
        case IDC_PAGE_HELP:
            if (m_help != nullptr) m_help->ShowContextHelp(m_page.helpTopic);
            return;
        case IDOK:
        case IDCANCEL:
            m_model.OnClose(m_app);
            End(IDOK);
            return;
        default: return;
        }
    }

private:
    Model& m_model;
    IApplication& m_app;
    IContextHelp* m_help;
    FinishPage m_page;
};

template <typename Model>
class CExportFinishView final : public CDialogView {
public:
    CExportFinishView(Model& model, IFolderOpener& opener, IApplication& app, IContextHelp* help, const FinishPage& page)
        : m_model(model), m_opener(opener), m_app(app), m_help(help), m_page(page) {}

protected:
    const char* Source() const override { return m_page.source; }

    void OnInit() override {
        SetText(IDC_STATUS, m_model.StatusText());
        ShowCounts(m_model.Counts(), {IDC_COUNT_SELECTED, m_page.completedCountId, IDC_COUNT_FAILED, IDC_COUNT_SKIPPED});
        MakeLink(IDC_SKIPPED_WHY);
        MakeLink(IDC_OPEN_FOLDER_LINK);
        SetCheck(IDC_OPEN_FOLDER, m_model.OpenFolder());
        SetCheck(IDC_MAIL, m_model.Mail() && m_model.MailEnabled());
        Enable(IDC_MAIL, m_model.MailEnabled());
    }

    void OnCommand(int id, int code) override {
        switch (id) {
        case IDC_SKIPPED_WHY:
            if (code == STN_CLICKED) m_model.OnWhyLink(m_help);
            return;
        case IDC_OPEN_FOLDER_LINK:
            if (code == STN_CLICKED) m_model.OnOpenFolderLink(m_opener);
            return;
        case IDC_OPEN_FOLDER: m_model.SetOpenFolder(Checked(IDC_OPEN_FOLDER)); return;
        case IDC_MAIL: m_model.SetMail(Checked(IDC_MAIL)); return;
        case IDC_PAGE_HELP:
            if (m_help != nullptr) m_help->ShowContextHelp(m_page.helpTopic);
            return;
        case IDOK:
        case IDCANCEL:
            // Close, Esc and the close box all close the page the same way.
            m_model.OnClose(m_opener, m_app);
            End(IDOK);
            return;
        default: return;
        }
    }

private:
    Model& m_model;
    IFolderOpener& m_opener;
    IApplication& m_app;
    IContextHelp* m_help;
    FinishPage m_page;
};

}  // namespace mireo
