// What the add-in leaves behind: a closed window lets go of its explorer, and the
// host's exit or the user's unloading take everything down: no event connection,
// window, mutex, reference or engine outlives them.
#include <gtest/gtest.h>

#include "addin/testhost/session.h"
#include "addin/win32/connect.h"
#include "addin/win32/hidden_wnd.h"

namespace mireo::testhost {
namespace {

HRESULT CanUnloadNow() { return AddinExport<DllFunction>("DllCanUnloadNow")(); }

class TeardownTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    CLogCapture m_log;
};

TEST_F(TeardownTest, CloseLetsGoOfThatExplorerOnly) {
    CFakeHost host(u"11.0.0.0");
    CFakeExplorer& first = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    CAddinSession addin(host);
    ASSERT_EQ(addin.Connect(), S_OK);
    CFakeExplorer& second = host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), true);
    host.FireViewSwitch(second);
    ASSERT_EQ(second.AddedToolbar().size(), 4u);

    host.CloseExplorer(first);
    EXPECT_EQ(first.object->SinkCount(), 0u);
    EXPECT_EQ(first.object->Refs(), 1u) << "the explorer is given back";
    for (const auto& b : first.AddedToolbar()) {
        EXPECT_EQ(b->object->SinkCount(), 0u);
        EXPECT_EQ(b->object->Refs(), 1u) << "and its buttons";
    }
    EXPECT_GT(second.object->SinkCount(), 0u);
    EXPECT_GT(second.AddedToolbar()[0]->object->SinkCount(), 0u);

    // A window closed before its first view switch lets go too.
    CFakeExplorer& third = host.OpenExplorer(&host.Store().Inbox(), DefaultLayout(), true);
    EXPECT_GT(third.object->Refs(), 1u);
    host.CloseExplorer(third);
    EXPECT_EQ(third.object->Refs(), 1u);
    EXPECT_EQ(third.object->SinkCount(), 0u);
}

// The host's exit (Quit, OnBeginShutdown, OnDisconnection) and the user unticking the
// add-in (OnDisconnection alone) leave the same nothing behind.
TEST_F(TeardownTest, ExitAndUnloadingLeaveNothingBehind) {
    for (bool userUnloads : {false, true}) {
        SCOPED_TRACE(userUnloads ? "unloaded by the user" : "host exit");
        const long liveBefore = CFakeObject::LiveObjects();
        {
            CFakeHost host(u"11.0.0.0");
            host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
            {
                CAddinSession addin(host);
                ASSERT_EQ(addin.Connect(), S_OK);
                CFakeExplorer& second = host.OpenExplorer(&host.Store().Calendar(), DefaultLayout(), true);
                host.FireViewSwitch(second);
                ASSERT_GT(host.ConnectedSinks(), 0u);
                ASSERT_NE(FindTitled(kHiddenWindowClass), nullptr);
                if (userUnloads) addin.UserUnloads();
                else addin.HostShutdown();

                EXPECT_EQ(host.ConnectedSinks(), 0u);
                EXPECT_EQ(host.ForeignReferences(), 0);
                EXPECT_EQ(FindTitled(kHiddenWindowClass), nullptr);
                UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kAddinMutexName));
                EXPECT_FALSE(mutex);
                EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the host still holds the object";
                // Events after the teardown reach nobody.
                host.Quit();
                addin.Release();
            }
            EXPECT_EQ(CanUnloadNow(), S_OK);
        }
        EXPECT_EQ(CFakeObject::LiveObjects(), liveBefore) << "every host object the add-in took was given back";
    }
}

// A host that releases the add-in without any of the calls still gets everything back.
TEST_F(TeardownTest, ReleaseWithoutDisconnectionTearsDownToo) {
    CFakeHost host(u"11.0.0.0");
    host.OpenExplorer(&host.Store().Contacts(), DefaultLayout(), false);
    {
        CAddinSession addin(host);
        ASSERT_EQ(addin.Connect(), S_OK);
        addin.Release();
    }
    EXPECT_EQ(host.ConnectedSinks(), 0u);
    EXPECT_EQ(host.ForeignReferences(), 0);
    EXPECT_EQ(FindTitled(kHiddenWindowClass), nullptr);
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace mireo::testhost
