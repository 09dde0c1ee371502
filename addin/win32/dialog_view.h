#pragma once
// CDialogView: a modal dialog from one of the module's templates, the base of every
// view of the add-in. A view only moves values between its controls and a page model;
// the model decides. The base gives the views the control plumbing (texts in UTF-8,
// check boxes, drop-down lists, links drawn blue, counts drawn red, tooltips, the
// browse buttons' image) and makes sure nothing thrown by a handler leaves the
// dialog manager's frames.
#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "ui/wizard_pages.h"

namespace mireo {

class CDialogView {
public:
    CDialogView() = default;
    virtual ~CDialogView();
    CDialogView(const CDialogView&) = delete;
    CDialogView& operator=(const CDialogView&) = delete;

    // Shows template `templateId` of the add-in module modally over `owner`; the code
    // the dialog ended with, or -1 when it could not be created.
    INT_PTR DoModal(HWND owner, int templateId);
    HWND Hwnd() const { return m_hwnd; }

protected:
    virtual void OnInit() {}
    // A control's notification: WM_COMMAND's id and code. IDCANCEL (Esc, the close
    // box) ends the dialog unless the view takes it.
    virtual void OnCommand(int id, int code);
    // Any other message; TRUE when handled.
    virtual INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The source named in the log when a handler fails.
    virtual const char* Source() const { return "CDialogView"; }

    void End(INT_PTR code);
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    void SetText(int id, const std::string& utf8);
    // Lifts an edit box's limit of about 32,000 characters (a list of thousands of
    // files is longer).
    void UnlimitText(int id);
    std::string Text(int id) const;
    void SetCheck(int id, bool on);
    bool Checked(int id) const;
    void Enable(int id, bool on);
    void Focus(int id);
    // A drop-down list with these entries, `selected` chosen (-1: none).
    void FillList(int id, const std::vector<std::string>& entries, int selected);
    int ListIndex(int id) const;
    void SelectListIndex(int id, int index);
    // Draws a static text blue with a hand cursor; it reports STN_CLICKED.
    void MakeLink(int id);
    // Draws a static text red (true) or as usual.
    void Highlight(int id, bool red);
    void SetTooltip(int id, const std::string& utf8);
    // A summary group's values, one line to each control in order.
    void ShowSummary(const std::vector<SummaryLine>& lines, std::initializer_list<int> ids);
    // A finish page's counts, one to each control in order, red where the line says.
    void ShowCounts(const std::vector<FinishCount>& counts, std::initializer_list<int> ids);
    // A date picker's day: set from the date of `t`; read as that day's midnight.
    void SetDate(int id, std::chrono::local_seconds t);
    std::chrono::local_seconds Date(int id) const;
    // Puts the folder image on a browse button.
    void SetBrowseImage(int id);

private:
    static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    HWND m_hwnd = nullptr;
    HWND m_tooltip = nullptr;
    std::set<int> m_links;
    std::set<int> m_red;
    std::vector<HICON> m_icons;  // owned, destroyed with the view
};

// The add-in module: its dialogs, strings and pictures.
HINSTANCE ResourceModule();
// Registers the common controls the templates use (progress bar, date pickers,
// tooltips); once per process.
void InitDialogControls();
// The text of a user string as UTF-16.
std::wstring UserStringW(int id);

}  // namespace mireo
