#pragma once
// CExplorer: the add-in in one explorer window of the host. It puts the four toolbar
// buttons on the "Standard" toolbar and the submenu "Import and Export by Mireo" into
// the menu bar, shows the toolbar buttons that fit the folder on view, and routes
// clicks to its owner. An explorer announced by NewExplorer has no command bars yet:
// they are made at its first ViewSwitch.
#include <windows.h>

#include <array>
#include <vector>

#include "addin/win32/dispatch.h"
#include "addin/win32/event_sink.h"
#include "platform/win32/unique_handle.h"

namespace mireo {

class CExplorer;
class CLibKelvo;

// Commands, numbered as the engine's actions are.
enum class Command { ExportContacts = 1, ImportContacts = 2, ExportEvents = 3, ImportEvents = 4 };

class IExplorerOwner {
public:
    virtual ~IExplorerOwner() = default;
    virtual void RunCommand(Command command) = 0;
    virtual void RunDebugTool() = 0;
    // The explorer window closed; `explorer` has let go of everything it held.
    virtual void OnExplorerClosed(CExplorer& explorer) = 0;
    virtual CLibKelvo& Kelvo() = 0;
};

struct CommandBarOptions {
    int hostMajorVersion = 9;  // faces: built-in ids up to 10, pictures above
    bool debugButton = false;  // the "DEBUG" command in the submenu
};

// Ids of the host's controls the add-in places its own after (the toolbar) and
// before (the menu), and the positions taken when they are missing.
constexpr long kToolbarAnchorId = 478;
constexpr long kToolbarDefaultPosition = 6;
constexpr long kMenuAnchorId = 1886;
constexpr long kMenuDefaultPosition = 10;
constexpr const wchar_t* kDebugTag = L"Kelvo.Mireo.DEBUG";

class CExplorer {
public:
    CExplorer(ComPtr<IDispatch> explorer, bool deferred, IExplorerOwner& owner, CommandBarOptions options);
    // Disconnects every sink and releases every host object still held.
    ~CExplorer();
    CExplorer(const CExplorer&) = delete;
    CExplorer& operator=(const CExplorer&) = delete;

    // False once the window closed (or the host object was released).
    bool HoldsExplorer() const noexcept { return static_cast<bool>(m_explorer); }
    bool HasCommands() const noexcept { return m_created; }

private:
    // The buttons: toolbar import and export contacts, menu import and export contacts,
    // toolbar import and export events, menu import and export events, menu debug.
    enum Slot { kTbImportContacts, kTbExportContacts, kMnImportContacts, kMnExportContacts, kTbImportEvents,
                kTbExportEvents, kMnImportEvents, kMnExportEvents, kMnDebug, kSlots };

    static Command CommandOf(int slot);
    bool CreateCommandBars();
    void AddToolbarButtons(const CDispatch& bars);
    void AddMenu(const CDispatch& bars);
    CDispatch AddButton(const CDispatch& controls, Slot slot, long style, long before, bool beginGroup);
    void SetFace(const CDispatch& button, Command command);
    void UpdateVisibility(IDispatch* folder);
    void ConnectSinks();
    void DeleteCreatedControls() noexcept;
    void Detach() noexcept;
    void OnExplorerEvent(DISPID event, const DISPPARAMS& params);

    IExplorerOwner& m_owner;
    CommandBarOptions m_options;
    CDispatch m_explorer;
    CDispatch m_popup;
    std::array<CDispatch, kSlots> m_buttons;
    std::array<ComPtr<CEventSink>, kSlots> m_clickSinks;
    ComPtr<CEventSink> m_folderSwitchSink;  // BeforeFolderSwitch
    ComPtr<CEventSink> m_closeSink;         // Close
    ComPtr<CEventSink> m_viewSwitchSink;    // ViewSwitch, while the bars wait for it
    // The face pictures do not own their bitmaps: they live as long as the buttons.
    std::vector<UniqueGdiObject> m_bitmaps;
    bool m_created = false;
};

}  // namespace mireo
