#include "addin/lib_kelvo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "helperlib/testing/fake_kelvo.h"
#include "mireo_version.h"
#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/module.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
const char* const kExt = ".dll";
#else
const char* const kExt = ".so";
#endif

std::string BesideTests(const std::string& stem) { return JoinPath(ModuleDirectory(), stem + kExt); }

void SetEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv((std::string(name) + "=" + value).c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

// "2007-03-05T09:04:00": digits where the pattern has 'd', the rest literally.
bool IsIsoLocalTime(const std::string& s) {
    const std::string pattern = "dddd-dd-ddTdd:dd:dd";
    if (s.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (pattern[i] == 'd' ? (s[i] < '0' || s[i] > '9') : s[i] != pattern[i]) return false;
    }
    return true;
}

void* FakeHandle(std::uintptr_t v) { return reinterpret_cast<void*>(v); }

std::vector<std::string> Split(const std::string& s, char sep, std::size_t maxParts) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() + 1 < maxParts) {
        const std::size_t at = s.find(sep, start);
        if (at == std::string::npos) break;
        parts.push_back(s.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(s.substr(start));
    return parts;
}

// The state of a test double, read through its extra export from the same loaded
// library (the loader hands out the module already in memory).
class CFakeState {
public:
    explicit CFakeState(const std::string& path) : m_lib(LoadLibraryFromPath(path)) {
        if (m_lib == nullptr) return;
        auto fn = reinterpret_cast<FakeKelvoStateFn>(m_lib->Resolve("FakeKelvoGetState"));
        if (fn != nullptr) m_state = fn();
    }
    FakeKelvoState* operator->() const { return m_state; }
    explicit operator bool() const { return m_state != nullptr; }

private:
    std::unique_ptr<IDynamicLibrary> m_lib;
    FakeKelvoState* m_state = nullptr;
};

// --- the wrapper against doubles of the library -------------------------------------

TEST(LibKelvoWrapper, PassesArgumentsAndReturnsTheExportsResults) {
    CLibKelvo lib(BesideTests("fake_kelvo"));
    ASSERT_TRUE(lib.IsPresent());
    CFakeState state(BesideTests("fake_kelvo"));
    ASSERT_TRUE(state);
    *state.operator->() = FakeKelvoState{};

    EXPECT_EQ(lib.Init(FakeHandle(0x10000), FakeHandle(0xABC0)), kFakeInitResult);
    EXPECT_EQ(lib.Context(), 0x10000);
    EXPECT_EQ(state->context, 0x10000);
    EXPECT_EQ(state->reserved, 0);
    EXPECT_EQ(state->hostApp, FakeHandle(0xABC0));
    EXPECT_EQ(state->hostKind, 14);
    EXPECT_EQ(state->options, 0);

    // The view is not NUL-terminated where it ends: the wrapper must copy it.
    const std::string text = "Invalid date \"x\"\tin line(DTSTART:x)TRAILING";
    EXPECT_EQ(lib.LogMessage(std::string_view(text).substr(0, text.size() - 8), kEFail, "CvCalImport", kWarning,
                             kLogFlagsItemDiagnostic),
              kFakeLogMsgResult);
    EXPECT_STREQ(state->message, "Invalid date \"x\"\tin line(DTSTART:x)");
    EXPECT_EQ(state->code, kEFail);
    EXPECT_STREQ(state->function, "CvCalImport");
    EXPECT_EQ(state->level, kWarning);
    EXPECT_EQ(state->flags, 3);

    EXPECT_EQ(lib.ShowContextHelp(kHelpImportEvents), kFakeShowContextHelpResult);
    EXPECT_STREQ(state->topic, "impord_cal.htm");
    EXPECT_EQ(lib.AddAboutMenu(FakeHandle(0xE0)), kFakeAddAboutMenuResult);
    EXPECT_EQ(state->explorer, FakeHandle(0xE0));
    EXPECT_EQ(lib.ShowAbout(), kFakeShowAboutResult);
    EXPECT_STREQ(state->lastExport, "LibKelvoShowAbout");
    EXPECT_EQ(state->calls, 5);

    // Through the logger interface, as the runners call it.
    ILogger& logger = lib;
    logger.LogMsg("filter.Categories empty", 0, "CvCalExport::FilterItem", kTrace, kLogFlags);
    EXPECT_STREQ(state->message, "filter.Categories empty");
    EXPECT_EQ(state->calls, 6);
}

TEST(LibKelvoWrapper, ContextZeroCallsNothingButInit) {
    CLibKelvo lib(BesideTests("fake_kelvo"));
    ASSERT_TRUE(lib.IsPresent());
    CFakeState state(BesideTests("fake_kelvo"));
    ASSERT_TRUE(state);
    *state.operator->() = FakeKelvoState{};

    // Before Init the context is 0.
    EXPECT_EQ(lib.LogMessage("x", 0, "f", kTrace, kLogFlags), kLibKelvoAbsent);
    EXPECT_EQ(lib.ShowContextHelp(kHelpFeatures), kLibKelvoAbsent);
    EXPECT_EQ(lib.AddAboutMenu(nullptr), kLibKelvoAbsent);
    EXPECT_EQ(lib.ShowAbout(), kLibKelvoAbsent);
    EXPECT_EQ(state->calls, 0);

    // Init with a null module handle still calls the library, and leaves context 0.
    EXPECT_EQ(lib.Init(nullptr, nullptr), kFakeInitResult);
    EXPECT_EQ(state->calls, 1);
    EXPECT_EQ(lib.ShowAbout(), kLibKelvoAbsent);
    EXPECT_EQ(state->calls, 1);
}

TEST(LibKelvoWrapper, LibraryMissingOneExportIsAbsent) {
    const std::string path = BesideTests("partial_kelvo");
    CFakeState state(path);
    ASSERT_TRUE(state) << "fixture not built: " << path;
    *state.operator->() = FakeKelvoState{};

    CLibKelvo lib(path);
    EXPECT_FALSE(lib.IsPresent());
    EXPECT_EQ(lib.Init(FakeHandle(0x20000), nullptr), kLibKelvoAbsent);
    EXPECT_EQ(lib.Context(), 0x20000);
    EXPECT_EQ(lib.LogMessage("x", 0, "f", kError, kLogFlags), kLibKelvoAbsent);
    EXPECT_EQ(lib.ShowContextHelp(kHelpFeatures), kLibKelvoAbsent);
    EXPECT_EQ(lib.AddAboutMenu(nullptr), kLibKelvoAbsent);
    EXPECT_EQ(lib.ShowAbout(), kLibKelvoAbsent);
    // Four of the five exports exist, yet none was called.
    EXPECT_EQ(state->calls, 0);
}

TEST(LibKelvoWrapper, AbsentLibraryIsSilentAndInitStillStoresTheContext) {
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing file", BesideTests("NoSuchKelvo")},
        {"not a library", JoinPath(ModuleDirectory(), "supportedEncodings.txt")},
        {"bare name of a library that exists", std::string("LibKelvo") + kExt},
        {"empty path", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLibKelvo lib(c.path);
        EXPECT_FALSE(lib.IsPresent());
        EXPECT_EQ(lib.Init(FakeHandle(0x30000), FakeHandle(0x1)), kLibKelvoAbsent);
        EXPECT_EQ(lib.Context(), 0x30000);
        EXPECT_EQ(lib.LogMessage("x", 0, "f", kError, kLogFlags), kLibKelvoAbsent);
        EXPECT_EQ(lib.ShowContextHelp(kHelpFeatures), kLibKelvoAbsent);
        EXPECT_EQ(lib.AddAboutMenu(nullptr), kLibKelvoAbsent);
        EXPECT_EQ(lib.ShowAbout(), kLibKelvoAbsent);
        lib.LogMsg("no crash", 0, nullptr, kTrace, kLogFlags);
    }
}

// --- the wrapper against the library the project builds ---------------------------

class LibKelvoReal : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / "mireo_libkelvo_test";
        fs::remove_all(m_dir);
        // A folder that does not exist yet: the library creates it.
        m_log = m_dir / "logs" / "mireo.log";
        SetEnv("MIREO_LOG", m_log.string());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::vector<std::string> LogLines() const {
        std::string text;
        if (!ReadWholeFile(m_log.string(), text)) return {};
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    fs::path m_dir;
    fs::path m_log;
};

TEST_F(LibKelvoReal, DefaultConstructorFindsTheLibraryBesideTheModule) {
    CLibKelvo lib;
    EXPECT_TRUE(lib.IsPresent());
}

TEST_F(LibKelvoReal, LogLinesCarryTimeLevelHexCodeSourceAndText) {
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    EXPECT_EQ(lib.Init(OwnModuleHandle(), nullptr), 0);
    EXPECT_NE(lib.Context(), 0);

    EXPECT_EQ(lib.LogMessage("Cant Create Redemption.MAPIUtils", kCoEClassString, "CvCalImport::Run", kError,
                             kLogFlags),
              0);
    EXPECT_EQ(lib.LogMessage("RegQueryValueEx(TZI)", 2, "GetAllTimezones", kWarning, kLogFlags), 0);
    EXPECT_EQ(lib.LogMessage("Ignoring param X=Y for prop Z\tin line(DTSTART;X=Y:1)", 0, "CvCalImport", kTrace,
                             kLogFlagsItemDiagnostic),
              0);
    // A text with line breaks stays one line; an unknown level is written as its number.
    EXPECT_EQ(lib.LogMessage("{ DEBUG\r\nEXDATE(in):", -1, "CreateExceptions", 7, kLogFlags), 0);
    // UTF-8 passes unchanged.
    EXPECT_EQ(lib.LogMessage("Gr\xC3\xBC\xC3\x9F" "e", 0, "Test", kTrace, kLogFlags), 0);

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    struct Want {
        const char* level;
        const char* code;
        const char* source;
        const char* text;
    };
    const Want want[] = {
        {"error", "0x800401F3", "CvCalImport::Run", "Cant Create Redemption.MAPIUtils"},
        {"warning", "0x00000002", "GetAllTimezones", "RegQueryValueEx(TZI)"},
        {"trace", "0x00000000", "CvCalImport", "Ignoring param X=Y for prop Z\tin line(DTSTART;X=Y:1)"},
        {"7", "0xFFFFFFFF", "CreateExceptions", "{ DEBUG\\r\\nEXDATE(in):"},
        {"trace", "0x00000000", "Test", "Gr\xC3\xBC\xC3\x9F" "e"},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::vector<std::string> f = Split(lines[i], '\t', 5);
        ASSERT_EQ(f.size(), 5u);
        EXPECT_TRUE(IsIsoLocalTime(f[0]));
        EXPECT_EQ(f[1], want[i].level);
        EXPECT_EQ(f[2], want[i].code);
        EXPECT_EQ(f[3], want[i].source);
        EXPECT_EQ(f[4], want[i].text);
    }
}

// Restores an environment variable when the scope ends.
class CEnvRestore {
public:
    explicit CEnvRestore(const char* name) : m_name(name) {
        const char* v = std::getenv(name);
        m_had = v != nullptr;
        if (m_had) m_value = v;
    }
    ~CEnvRestore() {
#if defined(_WIN32)
        _putenv((m_name + "=" + m_value).c_str());
#else
        if (m_had)
            ::setenv(m_name.c_str(), m_value.c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
#endif
    }

private:
    std::string m_name;
    std::string m_value;
    bool m_had = false;
};

void UnsetEnv(const char* name) {
#if defined(_WIN32)
    _putenv((std::string(name) + "=").c_str());
#else
    ::unsetenv(name);
#endif
}

bool FileContains(const fs::path& file, const std::string& text) {
    std::string bytes;
    return ReadWholeFile(file.string(), bytes) && bytes.find(text) != std::string::npos;
}

TEST_F(LibKelvoReal, DefaultLogLocation) {
    CEnvRestore keepLog("MIREO_LOG");
    UnsetEnv("MIREO_LOG");
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    lib.Init(OwnModuleHandle(), nullptr);
    const std::string token = "default location " + std::to_string(std::time(nullptr)) + " " +
                              std::to_string(reinterpret_cast<std::uintptr_t>(&token));
#if defined(_WIN32)
    // The local application data folder, which the environment names too.
    const char* appData = std::getenv("LOCALAPPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(lib.LogMessage(token, 0, "Test", kTrace, kLogFlags), 0);
    EXPECT_TRUE(FileContains(fs::path(appData) / "Mireo" / "mireo.log", token));
#else
    CEnvRestore keepState("XDG_STATE_HOME");
    CEnvRestore keepHome("HOME");
    SetEnv("XDG_STATE_HOME", (m_dir / "state").string());
    EXPECT_EQ(lib.LogMessage(token, 0, "Test", kTrace, kLogFlags), 0);
    EXPECT_TRUE(FileContains(m_dir / "state" / "mireo" / "mireo.log", token));
    // A relative XDG_STATE_HOME does not count: the default under HOME applies.
    SetEnv("XDG_STATE_HOME", "relative");
    SetEnv("HOME", (m_dir / "home").string());
    EXPECT_EQ(lib.LogMessage(token, 0, "Test", kTrace, kLogFlags), 0);
    EXPECT_TRUE(FileContains(m_dir / "home" / ".local" / "state" / "mireo" / "mireo.log", token));
#endif
}

TEST_F(LibKelvoReal, UnwritableLogIsAnErrorResultNotACrash) {
    // The log path names an existing folder: it cannot be opened as a file.
    fs::create_directories(m_dir / "folder.log");
    SetEnv("MIREO_LOG", (m_dir / "folder.log").string());
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    lib.Init(OwnModuleHandle(), nullptr);
    EXPECT_LT(lib.LogMessage("x", 0, "f", kTrace, kLogFlags), 0);
}

TEST_F(LibKelvoReal, HelpTopicsAreBareFileNames) {
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    lib.Init(OwnModuleHandle(), nullptr);
    for (const char* topic : {"../x.htm", "..", "help/Features.htm", "help\\Features.htm", "C:Features.htm", ""}) {
        SCOPED_TRACE(topic);
        const int r = lib.ShowContextHelp(topic);
        EXPECT_LT(r, 0);
        EXPECT_NE(r, kLibKelvoAbsent);
    }
    EXPECT_LT(lib.ShowContextHelp("No_Such_Topic.htm"), 0);
}

TEST_F(LibKelvoReal, EveryTopicThePagesOpenIsInstalled) {
    for (const char* topic : {kHelpFeatures, kHelpExportContacts, kHelpImportContacts, kHelpExportEvents,
                              kHelpImportEvents, kHelpItemSkipping}) {
        SCOPED_TRACE(topic);
        std::string html;
        ASSERT_TRUE(ReadWholeFile(JoinPath(JoinPath(ModuleDirectory(), "help"), topic), html));
        EXPECT_NE(html.find("<h1>"), std::string::npos);
    }
}

#if !defined(_WIN32)
// On Windows these open the shell's viewer and a message box, which a test run
// without a desktop cannot show.
TEST_F(LibKelvoReal, ShowContextHelpNamesThePageWhenNotOnATerminal) {
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    lib.Init(OwnModuleHandle(), nullptr);
    ::testing::internal::CaptureStdout();
    const int r = lib.ShowContextHelp(kHelpImportEvents);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out, JoinPath(JoinPath(ModuleDirectory(), "help"), "impord_cal.htm") + "\n");
}

TEST_F(LibKelvoReal, ShowAboutPrintsNameAndVersion) {
    CLibKelvo lib;
    ASSERT_TRUE(lib.IsPresent());
    lib.Init(OwnModuleHandle(), nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(lib.ShowAbout(), 0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind(std::string("Mireo ") + MIREO_VERSION_TEXT + "\n", 0), 0u) << out;
    EXPECT_EQ(lib.AddAboutMenu(nullptr), 0);
}
#endif

}  // namespace
}  // namespace mireo
