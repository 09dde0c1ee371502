// The hidden command window: "ShowForm,SelectAction" from another process opens the
// select-action dialog once; everything else is logged and ignored.
#include <gtest/gtest.h>

#include <atomic>

#include "addin/testhost/session.h"
#include "addin/win32/hidden_wnd.h"
#include "ui/select_action.h"

namespace mireo::testhost {
namespace {

const wchar_t* const kSelectTitle = L"Mireo - Select Action";

class HiddenWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
        ASSERT_EQ(m_addin.Connect(), S_OK);
        m_window = FindTitled(kHiddenWindowClass);
        ASSERT_NE(m_window, nullptr);
    }

    std::wstring Sender(const std::wstring& text) {
        return L"\"" + BinFolder() + L"\\mireo_send_copydata.exe\" " + text;
    }

    LRESULT Send(const std::string& bytes) {
        COPYDATASTRUCT data{};
        data.cbData = static_cast<DWORD>(bytes.size());
        data.lpData = bytes.empty() ? nullptr : const_cast<char*>(bytes.data());
        return ::SendMessageW(m_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    CLogCapture m_log;
    CFakeHost m_host{u"11.0.0.0"};
    CAddinSession m_addin{m_host};
    HWND m_window = nullptr;
};

TEST_F(HiddenWindowTest, CommandFromAnotherProcessOpensTheDialogOnce) {
    long second = -2;
    int dialogsWhileOpen = 0;
    bool opened = false;
    CDriver driver([&] {
        HWND dialog = WaitForTitled(kSelectTitle, 15000);
        opened = dialog != nullptr;
        if (!dialog) return;
        // The host's thread sits in the dialog's loop; a second starter gets through
        // to the window and must not open another dialog.
        second = RunBlocking(Sender(L"ShowForm,SelectAction"));
        dialogsWhileOpen = CountTitled(kSelectTitle);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdSelectCancel, BN_CLICKED), 0);
    });
    const long first = RunPumping(Sender(L"ShowForm,SelectAction"));
    driver.Join();
    EXPECT_TRUE(opened);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1) << "answered, and ignored";
    EXPECT_EQ(dialogsWhileOpen, 1);
    EXPECT_EQ(m_log.Count("->(Locked=false)", "CConnect::ShowSelectAction"), 1) << m_log.Text();
    EXPECT_EQ(m_log.Count("->(Locked=true)", "CConnect::ShowSelectAction"), 1);
    EXPECT_EQ(m_log.Count("DoModal return", "CConnect::ShowSelectAction"), 1) << "cancelled";
    EXPECT_EQ(m_log.Count("ShowForm,SelectAction", "CHiddenWnd::OnCopyData"), 2);
    EXPECT_EQ(m_host.ActiveExplorer()->activations, 2) << "each request brings the explorer to the front";
}

TEST_F(HiddenWindowTest, OtherPayloadsAreLoggedAndIgnored) {
    std::atomic<bool> done{false};
    std::atomic<int> dialogs{0};
    // Closes any dialog a wrong match would open, so that the test fails instead of
    // waiting for a user.
    CDriver watchdog([&] {
        while (!done) {
            if (HWND d = FindTitled(kSelectTitle)) {
                ++dialogs;
                ::PostMessageW(d, WM_COMMAND, MAKEWPARAM(kIdSelectCancel, BN_CLICKED), 0);
            }
            ::Sleep(20);
        }
    });
    struct Case {
        const char* name;
        std::string bytes;
        LRESULT result;
        const char* logged;  // the payload as logged; null: nothing but "->"
    };
    const Case cases[] = {
        {"command alone", "ShowForm", TRUE, "ShowForm"},
        {"other argument", "ShowForm,About", TRUE, "ShowForm,About"},
        {"other letter case", "showform,selectaction", TRUE, "showform,selectaction"},
        {"trailing space", "ShowForm,SelectAction ", TRUE, "ShowForm,SelectAction "},
        {"comma first", ",ShowForm,SelectAction", TRUE, ",ShowForm,SelectAction"},
        {"empty block", "", FALSE, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = m_log.Lines().size();
        EXPECT_EQ(Send(c.bytes), c.result);
        const std::vector<LogLine> lines = m_log.Lines();
        ASSERT_EQ(lines.size() - before, c.logged ? 2u : 1u);
        EXPECT_EQ(lines[before].message, "->");
        if (c.logged) {
            EXPECT_EQ(lines[before + 1].message, c.logged);
        }
    }
    // A block far longer than any command is read up to its bound.
    EXPECT_EQ(Send(std::string(100000, 'A')), TRUE);
    EXPECT_EQ(m_log.Lines().back().message, std::string(kMaxCopyDataBytes, 'A'));
    done = true;
    watchdog.Join();
    EXPECT_EQ(dialogs, 0);
}

// The text is read as the C string it holds: a terminating NUL sent along is fine.
TEST_F(HiddenWindowTest, TerminatedCommandAndTimersOpenTheDialog) {
    int seen = 0;
    auto closer = [&] {
        if (HWND d = WaitForTitled(kSelectTitle, 15000)) {
            ++seen;
            ::PostMessageW(d, WM_COMMAND, MAKEWPARAM(kIdSelectCancel, BN_CLICKED), 0);
        }
    };
    {
        CDriver driver(closer);
        EXPECT_EQ(Send(std::string("ShowForm,SelectAction\0", 22)), TRUE);
    }
    {
        CDriver driver(closer);
        ::SetTimer(m_window, 2, 1, nullptr);
        PumpUntil([&] { return seen == 2; }, 15000);
    }
    EXPECT_EQ(seen, 2);
    // Timer 1 opens the helper library's about box.
    bool about = false;
    {
        CDriver driver([&] {
            if (HWND box = WaitForTitled(L"About Mireo", 15000)) {
                about = true;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
        ::SetTimer(m_window, 1, 1, nullptr);
        PumpUntil([&] { return about && FindTitled(L"About Mireo") == nullptr; }, 15000);
    }
    EXPECT_TRUE(about);
}

}  // namespace
}  // namespace mireo::testhost
