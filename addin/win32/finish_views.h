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

// What both directions' pages do alike: status, counts, the links and the open-folder
// box, and help. Each direction adds what its links and Close do.
template <typename Model>
class CFinishViewBase : public CDialogView {
public:
    CFinishViewBase(Model& model, IApplication& app, IContextHelp* help, const FinishPage& page)
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

    // The "Open folder" link was clicked.
    virtual void OnOpenFolderLink() = 0;
    // Close, Esc and the close box all close the page the same way.
    virtual void OnClose() = 0;

    void OnCommand(int id, int code) override {
        switch (id) {
        case IDC_SKIPPED_WHY:
            if (code == STN_CLICKED) m_model.OnWhyLink(m_help);
            return;
        case IDC_OPEN_FOLDER_LINK:
            if (code == STN_CLICKED) OnOpenFolderLink();
            return;
        case IDC_OPEN_FOLDER: m_model.SetOpenFolder(Checked(IDC_OPEN_FOLDER)); return;
        case IDC_PAGE_HELP:
            if (m_help != nullptr) m_help->ShowContextHelp(m_page.helpTopic);
            return;
        case IDOK:
        case IDCANCEL:
            OnClose();
            End(IDOK);
            return;
        default: return;
        }
    }

    Model& m_model;
    IApplication& m_app;

private:
    IContextHelp* m_help;
    FinishPage m_page;
};

// An import's page: the link and a checked box show the folder in the explorer.
template <typename Model>
class CImportFinishView final : public CFinishViewBase<Model> {
public:
    using CFinishViewBase<Model>::CFinishViewBase;

protected:
    void OnOpenFolderLink() override { this->m_model.ShowFolder(this->m_app); }
    void OnClose() override { this->m_model.OnClose(this->m_app); }
};

// An export's page: the link opens the Windows folder; the mail box.
template <typename Model>
class CExportFinishView final : public CFinishViewBase<Model> {
public:
    CExportFinishView(Model& model, IFolderOpener& opener, IApplication& app, IContextHelp* help, const FinishPage& page)
        : CFinishViewBase<Model>(model, app, help, page), m_opener(opener) {}

protected:
    void OnInit() override {
        CFinishViewBase<Model>::OnInit();
        this->SetCheck(IDC_MAIL, this->m_model.Mail() && this->m_model.MailEnabled());
        this->Enable(IDC_MAIL, this->m_model.MailEnabled());
    }
    void OnCommand(int id, int code) override {
        if (id == IDC_MAIL) {
            this->m_model.SetMail(this->Checked(IDC_MAIL));
            return;
        }
        CFinishViewBase<Model>::OnCommand(id, code);
    }
    void OnOpenFolderLink() override { this->m_model.OnOpenFolderLink(m_opener); }
    void OnClose() override { this->m_model.OnClose(m_opener, this->m_app); }

private:
    IFolderOpener& m_opener;
};

}  // namespace mireo
