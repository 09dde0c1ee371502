#pragma once
// The test host: an application object with explorers, their command bars, a
// namespace with folders and items (CMemStore), and the outside MAPI library's
// classes, registered by ProgID so that the add-in creates them as it creates the
// real ones. Tests drive it as a user would (open, switch, close an explorer, click a
// button, quit) and read back what the add-in did to it.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "addin/testhost/fake_object.h"
#include "addin/testhost/mem_store.h"

namespace mireo::testhost {

// A control of a command bar.
struct ControlState {
    long id = 1;
    long type = 1;  // 1 button, 10 popup
    bool temporary = false;
    ComPtr<CFakeObject> object;
    std::vector<std::shared_ptr<ControlState>> children;  // a popup's controls
    std::vector<std::shared_ptr<ControlState>>* parent = nullptr;

    std::u16string Text(const char* property);
    long Number(const char* property);
    bool Flag(const char* property);
    bool HasPicture(const char* property);
};
using Controls = std::vector<std::shared_ptr<ControlState>>;

// The built-in controls an explorer starts with: Ids of the "Standard" toolbar and of
// the first menu's popup.
struct ExplorerLayout {
    std::vector<long> toolbar;
    std::vector<long> menu;
};
ExplorerLayout DefaultLayout();  // control 478 at toolbar position 2, 1886 at menu position 3

class CFakeExplorer {
public:
    ComPtr<CFakeObject> object;
    MemFolder* current = nullptr;
    std::vector<std::shared_ptr<MemItem>> selection;  // what the user selected in the view
    Controls toolbar;
    std::shared_ptr<ControlState> firstMenu;  // a popup; its children are the menu
    int activations = 0;

    // The controls the add-in added (temporary ones), in order.
    std::vector<std::shared_ptr<ControlState>> AddedToolbar() const;
    std::vector<std::shared_ptr<ControlState>> AddedMenu() const;
    // 1-based position of a control in the toolbar.
    long ToolbarPosition(const ControlState& c) const;
};

// A mail message the add-in created (CreateItem(0)): the files attached to it, in
// order, and whether it was shown to the user.
struct FakeMail {
    std::vector<std::u16string> attachments;
    bool displayed = false;
};

class CFakeHost {
public:
    explicit CFakeHost(std::u16string version);
    ~CFakeHost();
    CFakeHost(const CFakeHost&) = delete;
    CFakeHost& operator=(const CFakeHost&) = delete;

    CMemStore& Store() { return m_store; }
    IDispatch* Application() { return m_app.Get(); }
    CFakeObject& AppObject() { return *m_app.Get(); }
    CFakeObject& ExplorersObject() { return *m_explorers.Get(); }

    // A new explorer window on `folder`; the first becomes the active one. Announced:
    // the host fires NewExplorer and then, as it shows the window, ViewSwitch.
    CFakeExplorer& OpenExplorer(MemFolder* folder, ExplorerLayout layout, bool announce);
    void FireViewSwitch(CFakeExplorer& e);
    // BeforeFolderSwitch(new folder, cancel), then the switch.
    void SwitchFolder(CFakeExplorer& e, MemFolder* folder);
    void CloseExplorer(CFakeExplorer& e);
    void Quit();
    // Click(button, cancel) on a button's connected sinks.
    void Click(ControlState& button);
    CFakeExplorer* ActiveExplorer() { return m_active; }
    void SetActiveExplorer(CFakeExplorer* e) { m_active = e; }
    std::vector<std::unique_ptr<CFakeExplorer>>& Explorers() { return m_explorerList; }

    // Connected sinks on every object the host keeps (application, explorers and their
    // buttons).
    std::size_t ConnectedSinks() const;
    // References held on those objects beyond the host's own.
    long ForeignReferences() const;

    // Called with the item's index each time the add-in reads Items.Item: lets a test
    // act in the middle of a run, as a user can while a dialog's loop runs.
    std::function<void(int index)> onItemRead;
    // The folder the namespace's folder picker answers with; null: the user cancels.
    MemFolder* pickedFolder = nullptr;
    // Every mail message the add-in created.
    std::vector<std::shared_ptr<FakeMail>> mails;

    ComPtr<CFakeObject> FolderObject(MemFolder& f);
    ComPtr<CFakeObject> ItemObject(std::shared_ptr<MemItem> item);

private:
    ComPtr<CFakeObject> MailObject();
    ComPtr<CFakeObject> ItemsObject(MemFolder& f, std::vector<std::shared_ptr<MemItem>> items);
    ComPtr<CFakeObject> NamespaceObject();
    ComPtr<CFakeObject> ControlsObject(Controls& list, const std::string& iface);
    ComPtr<CFakeObject> CommandBarsObject(CFakeExplorer& e);
    std::shared_ptr<ControlState> NewControl(long id, long type, Controls* parent);
    void RegisterClasses();
    void RevokeClasses();

    CMemStore m_store;
    std::u16string m_version;
    ComPtr<CFakeObject> m_app;
    ComPtr<CFakeObject> m_explorers;
    std::vector<std::unique_ptr<CFakeExplorer>> m_explorerList;
    CFakeExplorer* m_active = nullptr;
    std::vector<DWORD> m_classCookies;
    std::vector<ComPtr<IClassFactory>> m_factories;
};

// The ProgIDs the host registers: the application and the outside library's classes.
constexpr const wchar_t* kHostProgIds[] = {L"Outlook.Application", L"Redemption.SafeContactItem",
                                           L"Redemption.SafeAppointmentItem", L"Redemption.MAPIUtils"};

}  // namespace mireo::testhost
