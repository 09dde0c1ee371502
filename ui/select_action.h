#pragma once
// The select-action dialog: the user picks one of the four actions. CDlgSelectAction
// holds what the buttons do; ISelectActionView shows it (the Windows dialog from
// template 273, a numbered menu on the command line) and hands it each button.
#include <cstdint>
#include <functional>
#include <span>

namespace mireo {

constexpr std::uint16_t kSelectActionTemplate = 273;
constexpr int kIdSelectExportContacts = 373;
constexpr int kIdSelectImportContacts = 374;
constexpr int kIdSelectExportEvents = 375;
constexpr int kIdSelectImportEvents = 376;
constexpr int kIdSelectHelp = 238;
constexpr int kIdSelectCancel = 2;  // IDCANCEL: the button, Esc and the close box

// Action numbers, as the engine's operations are numbered.
constexpr int kActionNone = 0;
constexpr int kActionExportContacts = 1;
constexpr int kActionImportContacts = 2;
constexpr int kActionExportEvents = 3;
constexpr int kActionImportEvents = 4;

// DoModal results.
constexpr int kSelectChosen = 1;
constexpr int kSelectCancelled = 2;
constexpr int kSelectCannotShow = -1;

// The dialog's caption and group box, from the string table.
extern const char* const kSelectActionTitle;
extern const char* const kSelectActionGroup;
constexpr const char* kSelectActionHelpTopic = "Features.htm";

struct SelectActionButton {
    int controlId;
    int action;
    const char* text;  // the static text beside the button (from the string table)
    int iconId;        // the button's image
};

// The four action buttons in the dialog's order.
std::span<const SelectActionButton> SelectActionButtons();

class CDlgSelectAction;

class ISelectActionView {
public:
    virtual ~ISelectActionView() = default;
    // Shows the dialog modally over parent and passes every button press to
    // dialog.OnCommand until it answers an end code, which Run returns. Closing the
    // dialog any other way is the Cancel button. kSelectCannotShow when the dialog
    // cannot be created.
    virtual int Run(CDlgSelectAction& dialog, void* parent) = 0;
};

class CDlgSelectAction {
public:
    // Opens a help topic (the helper library's context help); may be empty.
    using HelpFn = std::function<void(const char* topic)>;

    CDlgSelectAction(ISelectActionView& view, HelpFn help) : m_view(view), m_help(std::move(help)) {}
    virtual ~CDlgSelectAction() = default;

    // kSelectChosen (Action() is then 1..4), kSelectCancelled or kSelectCannotShow.
    int DoModal(void* parent);
    // A button of the dialog: 0 keeps the dialog open, else the code it ends with.
    int OnCommand(int controlId);
    // 0 until an action button is pressed.
    int Action() const { return m_action; }

private:
    ISelectActionView& m_view;
    HelpFn m_help;
    int m_action = kActionNone;
};

}  // namespace mireo
