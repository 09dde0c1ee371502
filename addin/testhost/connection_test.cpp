// The add-in connected to the test host: what it puts on each explorer's command bars,
// how it follows the folder on view and new windows, and what it leaves behind.
#include <gtest/gtest.h>

#include "addin/testhost/session.h"
#include "addin/win32/connect.h"
#include "addin/win32/hidden_wnd.h"
#include "addin/win32/shared_dialogs.h"

namespace mireo::testhost {
namespace {

const char16_t* const kToolbarTips[] = {u"Import contacts from vCard", u"Export contacts to vCard",
                                        u"Import events from vCal/iCal", u"Export events to vCal/iCal"};
const char16_t* const kMenuCaptions[] = {u"Export contacts to vCard", u"Import contacts from vCard",
                                         u"Export events to vCal/iCal", u"Import events from vCal/iCal"};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
    CLogCapture m_log;
};

std::vector<bool> ToolbarVisible(const CFakeExplorer& e) {
    std::vector<bool> v;
    for (const auto& c : e.AddedToolbar()) v.push_back(c->Flag("Visible"));
    return v;
}

TEST_F(ConnectionTest, HostBeforeVersionNineGetsNothing) {
    CFakeHost host(u"8.5.5.0");
    host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    {
        CAddinSession addin(host);
        ASSERT_EQ(addin.Connect(), S_OK);
        EXPECT_TRUE(host.ActiveExplorer()->AddedToolbar().empty());
        EXPECT_EQ(host.ConnectedSinks(), 0u);
        EXPECT_EQ(host.ForeignReferences(), 0) << "the application is given back at once";
        EXPECT_EQ(FindTitled(kHiddenWindowClass), nullptr);
        addin.HostShutdown();
    }
}

TEST_F(ConnectionTest, AddsFourButtonsAfterControl478AndTheSubmenuBefore1886) {
    CFakeHost host(u"11.0.0.8010");
    CFakeExplorer& e = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);

    const auto toolbar = e.AddedToolbar();
    ASSERT_EQ(toolbar.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(e.ToolbarPosition(*toolbar[i]), static_cast<long>(3 + i)) << "478 stands at position 2";
        EXPECT_EQ(toolbar[i]->Text("TooltipText"), kToolbarTips[i]);
        EXPECT_EQ(toolbar[i]->Number("Style"), 1) << "icon only";
        EXPECT_TRUE(toolbar[i]->Flag("Enabled"));
        EXPECT_TRUE(toolbar[i]->HasPicture("Picture") && toolbar[i]->HasPicture("Mask"));
    }
    EXPECT_EQ(ToolbarVisible(e), (std::vector<bool>{true, true, false, false})) << "a contacts folder is on view";

    const auto menu = e.AddedMenu();
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0]->type, 10);
    EXPECT_EQ(menu[0]->Text("Caption"), u"Import and Export by Mireo");
    EXPECT_EQ(e.firstMenu->children[2], menu[0]) << "in the place of 1886, which moves down";
    EXPECT_EQ(e.firstMenu->children[3]->id, 1886);
    ASSERT_EQ(menu[0]->children.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const auto& c = menu[0]->children[i];
        EXPECT_TRUE(c->temporary);
        EXPECT_EQ(c->Text("Caption"), kMenuCaptions[i]);
        EXPECT_EQ(c->Number("Style"), 3) << "icon and caption";
        EXPECT_TRUE(c->Flag("Visible"));
        EXPECT_EQ(c->Flag("BeginGroup"), i == 2) << "the events begin a group";
    }
    // Ten buttons' clicks, the explorer's folder switch and close, the application's
    // quit and the explorers' new window are heard.
    EXPECT_EQ(host.ConnectedSinks(), 8u + 2u + 2u);
    EXPECT_NE(FindTitled(kHiddenWindowClass), nullptr);
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kAddinMutexName));
    EXPECT_TRUE(mutex) << "the mutex marks the add-in as loaded";
}

// Built-in faces up to version 10, the add-in's own pictures above.
TEST_F(ConnectionTest, FacesFollowTheHostVersion) {
    struct Case {
        const char16_t* version;
        bool pictures;
    };
    for (const Case& c : {Case{u"9.0.0.2711", false}, Case{u"10.0.2627.1", false}, Case{u"11.0.0.0", true},
                          Case{u"12.0.4518.1014", true}}) {
        SCOPED_TRACE(FromHostText(c.version));
        CFakeHost host(c.version);
        CFakeExplorer& e = host.OpenExplorer(&host.Store().Calendar(), DefaultLayout(), false);
        CAddinSession addin(host);
        ASSERT_EQ(addin.Connect(), S_OK);
        const auto toolbar = e.AddedToolbar();
        ASSERT_EQ(toolbar.size(), 4u);
        const long faces[] = {270, 271, 270, 271};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(toolbar[i]->HasPicture("Picture"), c.pictures);
            EXPECT_EQ(toolbar[i]->Number("FaceId"), c.pictures ? 0 : faces[i]);
        }
        EXPECT_EQ(ToolbarVisible(e), (std::vector<bool>{false, false, true, true})) << "a calendar is on view";
    }
}

TEST_F(ConnectionTest, WithoutTheAnchorsButtonsGoToSixAndTheMenuToTen) {
    CFakeHost host(u"11.0.0.0");
    ExplorerLayout layout{{101, 102, 103, 104, 105, 106, 107}, {201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211}};
    CFakeExplorer& e = host.OpenExplorer(&host.Store().Contacts(), layout, false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    const auto toolbar = e.AddedToolbar();
    ASSERT_EQ(toolbar.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(e.ToolbarPosition(*toolbar[i]), static_cast<long>(6 + i));
    ASSERT_EQ(e.AddedMenu().size(), 1u);
    EXPECT_EQ(e.firstMenu->children[9], e.AddedMenu()[0]);
}

// A toolbar the user emptied is shorter than the default position: the buttons go to
// its end instead of failing, and the explorer still gets its commands.
TEST_F(ConnectionTest, ShortToolbarAndMenuTakeTheCommandsAtTheirEnd) {
    CFakeHost host(u"11.0.0.0");
    CFakeExplorer& e = host.OpenExplorer(&host.Store().Contacts(), ExplorerLayout{{101, 102}, {201}}, false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    ASSERT_EQ(e.AddedToolbar().size(), 4u);
    EXPECT_EQ(e.ToolbarPosition(*e.AddedToolbar()[0]), 3);
    ASSERT_EQ(e.AddedMenu().size(), 1u);
    EXPECT_EQ(e.firstMenu->children.back(), e.AddedMenu()[0]);
}

TEST_F(ConnectionTest, FolderSwitchShowsTheButtonsThatFit) {
    CFakeHost host(u"11.0.0.0");
    CFakeExplorer& e = host.OpenExplorer(&host.Store().Inbox(), DefaultLayout(), false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    EXPECT_EQ(ToolbarVisible(e), (std::vector<bool>{false, false, false, false}));
    struct Step {
        MemFolder* folder;
        std::vector<bool> visible;
    };
    const Step steps[] = {
        {&host.Store().Contacts(), {true, true, false, false}},
        {&host.Store().Inbox(), {false, false, false, false}},
        {&host.Store().Calendar(), {false, false, true, true}},
        {nullptr, {false, false, false, false}},
        {&host.Store().Contacts(), {true, true, false, false}},
    };
    for (const Step& s : steps) {
        host.SwitchFolder(e, s.folder);
        EXPECT_EQ(ToolbarVisible(e), s.visible) << (s.folder ? FromHostText(s.folder->name) : "no folder");
    }
    for (const auto& c : e.AddedMenu()[0]->children) EXPECT_TRUE(c->Flag("Visible")) << "the menu never hides";
}

// A window announced by NewExplorer gets its bars at its first view switch, and each
// window keeps its own.
TEST_F(ConnectionTest, EachExplorerGetsItsOwnCommandsAtItsFirstViewSwitch) {
    CFakeHost host(u"11.0.0.0");
    CFakeExplorer& first = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    CFakeExplorer& second = host.OpenExplorer(&host.Store().Calendar(), DefaultLayout(), true);
    EXPECT_TRUE(second.AddedToolbar().empty()) << "not before the window shows";
    host.FireViewSwitch(second);
    ASSERT_EQ(second.AddedToolbar().size(), 4u);
    EXPECT_EQ(ToolbarVisible(second), (std::vector<bool>{false, false, true, true}));
    host.FireViewSwitch(second);
    EXPECT_EQ(second.AddedToolbar().size(), 4u) << "only the first view switch adds";
    EXPECT_EQ(first.AddedToolbar().size(), 4u);
    EXPECT_NE(first.AddedToolbar()[0], second.AddedToolbar()[0]);
    host.SwitchFolder(second, &host.Store().Inbox());
    EXPECT_EQ(ToolbarVisible(first), (std::vector<bool>{true, true, false, false})) << "one window's switch only";
}

// A failing command-bar call leaves the explorer without commands and without the
// controls made before it.
TEST_F(ConnectionTest, FailedCreationRemovesWhatWasAdded) {
    CFakeHost host(u"11.0.0.0");
    CFakeExplorer& e = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    e.firstMenu->object->FailNext("Controls", kEFail);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    EXPECT_TRUE(e.AddedToolbar().empty());
    EXPECT_TRUE(e.AddedMenu().empty());
    EXPECT_EQ(e.object->SinkCount(), 1u) << "only Close is still heard";
    bool logged = false;
    for (const LogLine& l : m_log.Lines())
        logged = logged || (l.source == "CExplorer::CreateCommandBars" && l.code == static_cast<long>(kEFail));
    EXPECT_TRUE(logged) << m_log.Text();
}

TEST_F(ConnectionTest, DebugCommandOnlyWhenDebugButtonIsANonzeroNumber) {
    struct Case {
        const char* name;
        std::function<void()> set;
        bool debug;
    };
    const Case cases[] = {
        {"absent", [] {}, false},
        {"zero", [] { SetSetting(L"DebugButton", 0); }, false},
        {"text", [] { SetSetting(L"DebugButton", std::wstring(L"1")); }, false},
        {"one", [] { SetSetting(L"DebugButton", 1); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearSettings();
        c.set();
        CFakeHost host(u"11.0.0.0");
        CFakeExplorer& e = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
        CAddinSession addin(host);
        ASSERT_EQ(addin.Connect(), S_OK);
        const auto& items = e.AddedMenu()[0]->children;
        ASSERT_EQ(items.size(), c.debug ? 5u : 4u);
        if (!c.debug) continue;
        EXPECT_EQ(items[4]->Text("Caption"), u"DEBUG");
        EXPECT_EQ(items[4]->Text("Tag"), u"Kelvo.Mireo.DEBUG");
        EXPECT_EQ(items[4]->Number("Style"), 2) << "caption only";
        // Its click opens the debug dialog, which a user closes.
        bool seen = false;
        CDriver driver([&] {
            HWND dialog = WaitForTitled(L"DEBUG Mireo", 10000);
            seen = dialog != nullptr;
            if (dialog) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        const int before = e.activations;
        host.Click(*items[4]);
        driver.Join();
        EXPECT_TRUE(seen);
        EXPECT_EQ(e.activations, before + 1) << "the explorer comes to the front first";
    }
}

}  // namespace
}  // namespace mireo::testhost
