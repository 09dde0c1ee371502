#include "addin/testhost/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "addin/win32/com_server.h"
#include "engine/host_value.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo::testhost {

namespace {

HMODULE g_addin = nullptr;

// The program's one apartment, the add-in registered as an installer would, and the
// list of host calls the add-in made, printed at the end.
class CHostEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        g_addin = ::LoadLibraryW((BinFolder() + L"\\Mireo.dll").c_str());
        ASSERT_NE(g_addin, nullptr) << "Mireo.dll beside the test program";
        auto reg = AddinExport<DllFunction>("DllRegisterServer");
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
    }
    void TearDown() override {
        if (g_addin != nullptr) {
            auto unreg = AddinExport<DllFunction>("DllUnregisterServer");
            if (unreg != nullptr) unreg();
            ::FreeLibrary(g_addin);
            g_addin = nullptr;
        }
        ClearSettings();
        std::printf("host calls the add-in made:\n");
        for (const std::string& entry : JournalEver()) std::printf("  %s\n", entry.c_str());
        ::CoUninitialize();
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CHostEnvironment);

std::wstring SettingsKey() { return L"Software\\Kelvo\\Mireo"; }

}  // namespace

HMODULE AddinModule() { return g_addin; }

std::wstring BinFolder() { return widepath::FolderOf(widepath::ModuleFileName(nullptr)); }

// The test data as wine's Z: drive shows the build machine's folders.
std::string TestdataDir() {
    std::string dir = "Z:" + std::string(MIREO_TESTDATA_DIR);
    std::replace(dir.begin(), dir.end(), '/', '\\');
    return dir;
}

std::wstring WidePath(const std::string& utf8) { return widepath::FromUtf8(utf8); }

void ClearSettings() {
    // The key holds values only.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, SettingsKey().c_str());
}

void SetSetting(const wchar_t* name, DWORD value) {
    UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                key.Put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetSetting(const wchar_t* name, const std::wstring& text) {
    UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                key.Put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

namespace {

// The value's bytes and type; false when there is none.
bool QuerySetting(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey().c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    data.resize(size);
    return ::RegQueryValueExW(key.Get(), name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
}

}  // namespace

std::wstring ReadSetting(const wchar_t* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QuerySetting(name, type, data) || type != REG_SZ) return L"<none>";
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    text.resize(wcsnlen(text.data(), text.size()));
    return text;
}

long ReadNumberSetting(const wchar_t* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QuerySetting(name, type, data) || type != REG_DWORD || data.size() != sizeof(DWORD)) return -1;
    DWORD value = 0;
    memcpy(&value, data.data(), sizeof value);
    return static_cast<long>(value);
}

CLogCapture::CLogCapture() {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    m_path = std::wstring(folder) + L"mireo-testhost.log";
    ::DeleteFileW(m_path.c_str());
    ::SetEnvironmentVariableW(L"MIREO_LOG", m_path.c_str());
}

CLogCapture::~CLogCapture() { ::DeleteFileW(m_path.c_str()); }

std::string CLogCapture::Text() const { return ReadBytes(m_path); }

std::vector<LogLine> CLogCapture::Lines() const {
    std::vector<LogLine> lines;
    std::istringstream in(Text());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // time, level, code, source, message (which may hold tabs)
        std::vector<std::string> f;
        std::size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            const std::size_t tab = line.find('\t', start);
            if (tab == std::string::npos) break;
            f.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        if (f.size() != 4) continue;
        lines.push_back({f[1], f[3], line.substr(start), static_cast<long>(std::strtoul(f[2].c_str(), nullptr, 16))});
    }
    return lines;
}

int CLogCapture::Count(const std::string& message, const std::string& source) const {
    int n = 0;
    for (const LogLine& l : Lines())
        if (l.message == message && (source.empty() || l.source == source)) ++n;
    return n;
}

CAddinSession::CAddinSession(CFakeHost& host) : m_host(host) {
    CLSID clsid{};
    EXPECT_EQ(::CLSIDFromProgID(L"Mireo.Connect", &clsid), S_OK);
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2, m_addin.PutVoid()),
              S_OK);
}

CAddinSession::~CAddinSession() {
    if (m_connected && m_addin) HostShutdown();
}

HRESULT CAddinSession::Connect() {
    if (!m_addin) return E_POINTER;
    m_connected = true;
    return m_addin->OnConnection(m_host.Application(), ext_cm_Startup, nullptr, nullptr);
}

void CAddinSession::HostShutdown() {
    m_host.Quit();
    EXPECT_EQ(m_addin->OnBeginShutdown(nullptr), S_OK);
    EXPECT_EQ(m_addin->OnDisconnection(ext_dm_HostShutdown, nullptr), S_OK);
    m_connected = false;
}

void CAddinSession::UserUnloads() {
    EXPECT_EQ(m_addin->OnDisconnection(ext_dm_UserClosed, nullptr), S_OK);
    m_connected = false;
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (static_cast<LONG>(::GetTickCount() - end) >= 0) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

HWND FindTitled(const wchar_t* title) { return ::FindWindowW(nullptr, title); }

int CountTitled(const wchar_t* title) {
    struct Search {
        const wchar_t* title;
        int count = 0;
    } search{title};
    ::EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t text[256] = {};
            ::GetWindowTextW(w, text, 256);
            if (std::wstring(text) == s->title) ++s->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

HWND WaitForTitled(const wchar_t* title, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (HWND w = FindTitled(title)) return w;
        ::Sleep(20);
    }
    return nullptr;
}

namespace {

UniqueHandle Start(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return UniqueHandle();
    ::CloseHandle(pi.hThread);
    return UniqueHandle(pi.hProcess);
}

long ExitCode(HANDLE process) {
    DWORD code = 0;
    return ::GetExitCodeProcess(process, &code) ? static_cast<long>(code) : -1;
}

}  // namespace

long RunPumping(const std::wstring& commandLine, int ms) {
    UniqueHandle process = Start(commandLine);
    if (!process) return -1;
    HANDLE h = process.Get();
    if (!PumpUntil([h] { return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }, ms)) {
        ::TerminateProcess(h, 99);
        return -1;
    }
    return ExitCode(h);
}

long RunBlocking(const std::wstring& commandLine, int ms) {
    UniqueHandle process = Start(commandLine);
    if (!process) return -1;
    if (::WaitForSingleObject(process.Get(), static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 99);
        return -1;
    }
    return ExitCode(process.Get());
}

CDriver::CDriver(std::function<void()> work) : m_work(std::move(work)) {
    m_thread = ::CreateThread(nullptr, 0, Main, this, 0, nullptr);
}

CDriver::~CDriver() { Join(); }

void CDriver::Join() {
    if (m_thread == nullptr) return;
    ::WaitForSingleObject(m_thread, 30000);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
}

DWORD WINAPI CDriver::Main(void* self) {
    static_cast<CDriver*>(self)->m_work();
    return 0;
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(file.Get(), buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    return out;
}

std::vector<std::pair<std::string, std::string>> FolderFiles(const std::wstring& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return files;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        files.emplace_back(widepath::ToUtf8(data.cFileName), ReadBytes(folder + L"\\" + data.cFileName));
    } while (::FindNextFileW(find.Get(), &data));
    std::sort(files.begin(), files.end());
    return files;
}

void CHostRunTest::SetUp() {
    ClearSettings();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_out = std::wstring(temp) + m_folderName;
    Empty(m_out);
    ::CreateDirectoryW(m_out.c_str(), nullptr);
    for (const wchar_t* name : m_quiet) SetSetting(name, 0);
}

void CHostRunTest::TearDown() {
    Empty(m_out);
    ClearSettings();
}

void CHostRunTest::Empty(const std::wstring& folder) {
    for (const auto& [name, bytes] : FolderFiles(folder)) ::DeleteFileW((folder + L"\\" + WidePath(name)).c_str());
    ::RemoveDirectoryW(folder.c_str());
}

std::wstring CHostRunTest::WriteFile(const wchar_t* name, const std::string& bytes) {
    const std::wstring path = m_out + L"\\" + name;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot write the test file " << widepath::ToUtf8(path);
        return path;
    }
    DWORD written = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
    return path;
}

void CHostRunTest::LoadContacts() {
    const std::string json = ReadBytes(WidePath(TestdataDir() + "\\addin\\contacts.json"));
    ASSERT_FALSE(json.empty());
    m_host.Store().Load(m_host.Store().Contacts(), json);
}

}  // namespace mireo::testhost
