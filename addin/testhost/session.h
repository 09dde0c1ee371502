#pragma once
// What every test of the test host shares: the add-in DLL loaded and registered once
// for the program, the add-in connected to a fake host, its log, its settings and the
// windows it opens.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addin/testhost/fake_host.h"
#include "addin/win32/extensibility.h"

namespace mireo::testhost {

// Mireo.dll beside the test program, as COM loads it for the host.
HMODULE AddinModule();
// An export of Mireo.dll, called as an installer or COM calls it.
template <typename Fn>
Fn AddinExport(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(AddinModule(), name)));
}
using DllFunction = HRESULT(STDAPICALLTYPE*)();
std::wstring BinFolder();
std::string TestdataDir();

// The add-in's settings (HKCU\Software\Kelvo\Mireo): emptied, set one by one.
void ClearSettings();
void SetSetting(const wchar_t* name, DWORD value);
void SetSetting(const wchar_t* name, const std::wstring& text);
// A stored text ("<none>" when there is none) and number (-1 when there is none).
std::wstring ReadSetting(const wchar_t* name);
long ReadNumberSetting(const wchar_t* name);

// The helper library's log for one test (the add-in logs through LibKelvo.dll, which
// appends to %MIREO_LOG%).
struct LogLine {
    std::string level, source, message;
    long code = 0;
};
class CLogCapture {
public:
    CLogCapture();
    ~CLogCapture();
    std::vector<LogLine> Lines() const;
    int Count(const std::string& message, const std::string& source = {}) const;
    std::string Text() const;

private:
    std::wstring m_path;
};

// The add-in as the host holds it: created by ProgID, released at the end.
class CAddinSession {
public:
    explicit CAddinSession(CFakeHost& host);
    ~CAddinSession();
    CAddinSession(const CAddinSession&) = delete;
    CAddinSession& operator=(const CAddinSession&) = delete;

    _IDTExtensibility2* Addin() { return m_addin.Get(); }
    HRESULT Connect();
    // The host's own order at exit: Quit, OnBeginShutdown, OnDisconnection(0).
    void HostShutdown();
    // The user unticks the add-in: OnDisconnection(1) only.
    void UserUnloads();
    void Release() { m_addin.Reset(); }

private:
    CFakeHost& m_host;
    ComPtr<_IDTExtensibility2> m_addin;
    bool m_connected = false;
};

// Lets this thread's messages through until `done` answers true or `ms` pass; true
// when done.
bool PumpUntil(const std::function<bool()>& done, int ms);
// A top-level window with this title (visible or not); null when none.
HWND FindTitled(const wchar_t* title);
int CountTitled(const wchar_t* title);
// Starts a program and waits for it while letting this thread's messages through;
// its exit code, or -1 when it could not start or did not end in time.
long RunPumping(const std::wstring& commandLine, int ms = 20000);
// Starts a program and waits for it without letting messages through.
long RunBlocking(const std::wstring& commandLine, int ms = 20000);

// A thread that does `work` while the test's own thread sits in a modal loop.
class CDriver {
public:
    explicit CDriver(std::function<void()> work);
    ~CDriver();
    void Join();

private:
    static DWORD WINAPI Main(void* self);
    std::function<void()> m_work;
    HANDLE m_thread = nullptr;
};

// Polls from any thread: the window appears within `ms`, or null.
HWND WaitForTitled(const wchar_t* title, int ms);

// The files of a folder, names (UTF-8) to contents, without subfolders.
std::vector<std::pair<std::string, std::string>> FolderFiles(const std::wstring& folder);
std::wstring WidePath(const std::string& utf8);
std::string ReadBytes(const std::wstring& path);

// A test of runs inside the host: the settings emptied, a fresh output folder in the
// temporary folder, nothing opening a folder or switching the view at the end of a
// run, a fake host of version 11 and the helper library's log. `folder` names the
// output folder; each `quiet` setting is set to 0.
class CHostRunTest : public ::testing::Test {
protected:
    CHostRunTest(std::wstring folder, std::vector<const wchar_t*> quiet)
        : m_folderName(std::move(folder)), m_quiet(std::move(quiet)) {}
    void SetUp() override;
    void TearDown() override;

    static void Empty(const std::wstring& folder);
    // Writes `bytes` to `name` in the output folder; the file's path.
    std::wstring WriteFile(const wchar_t* name, const std::string& bytes);
    // The contacts of testdata/addin/contacts.json into the host's contacts folder.
    void LoadContacts();

    CLogCapture m_log;
    CFakeHost m_host{u"11.0.0.0"};
    std::wstring m_out;

private:
    std::wstring m_folderName;
    std::vector<const wchar_t*> m_quiet;
};

}  // namespace mireo::testhost
