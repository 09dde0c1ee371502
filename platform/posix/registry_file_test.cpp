#include "platform/posix/registry_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry_text.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "mireo-reg-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

Bytes Dword(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

struct Stored {
    long rc = -1;
    std::uint32_t type = 0;
    Bytes data;
};

Stored Query(IRegistry& reg, IRegistry::Key key, std::string_view name) {
    Stored s;
    std::uint32_t size = 0;
    s.rc = reg.QueryValue(key, name, &s.type, nullptr, &size);
    if (s.rc != kErrorSuccess) return s;
    s.data.resize(size);
    s.rc = reg.QueryValue(key, name, &s.type, s.data.data(), &size);
    s.data.resize(size);
    return s;
}

// Opens a key of a file registry for reading and writing.
UniqueRegKey Open(IRegistry& reg, std::string_view path, RegRoot root = RegRoot::CurrentUser) {
    IRegistry::Key key = 0;
    EXPECT_EQ(reg.OpenKey(root, path, true, true, key), kErrorSuccess) << path;
    return UniqueRegKey(&reg, key);
}

// The value of the only key in a parsed text.
const RegFileValue* OnlyValue(const RegFileData& data, std::string_view key, std::string_view name) {
    const auto k = data.keys.find(regtext::FoldCase(key));
    if (k == data.keys.end()) return nullptr;
    const auto v = k->second.values.find(regtext::FoldCase(name));
    return v == k->second.values.end() ? nullptr : &v->second;
}

struct TypedValue {
    const char* name;
    std::uint32_t type;
    Bytes data;
};

std::vector<TypedValue> EveryKindOfValue() {
    Bytes big(300);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    Bytes multi = regtext::SzBytes("one");
    const Bytes two = regtext::SzBytes("two");
    multi.insert(multi.end(), two.begin(), two.end());
    multi.push_back(0);
    multi.push_back(0);
    return {
        {"Plain", kRegSz, regtext::SzBytes("C:\\Users\\J\"x\" Grüße Привет 日本")},
        {"Empty", kRegSz, regtext::SzBytes("")},
        {"Unterminated", kRegSz, {'a', 0, 'b', 0}},
        {"OddLength", kRegSz, {'a', 0, 'b'}},
        {"InnerNul", kRegSz, {'a', 0, 0, 0, 'b', 0, 0, 0}},
        {"LineBreak", kRegSz, regtext::SzBytes("two\r\nlines")},
        {"LoneSurrogate", kRegSz, {0x00, 0xD8, 0, 0}},
        {"Expand", kRegExpandSz, regtext::SzBytes("%USERPROFILE%\\x")},
        {"Number", kRegDword, Dword(10)},
        {"Max", kRegDword, Dword(0xFFFFFFFFu)},
        {"ShortDword", kRegDword, {1, 2, 3}},
        {"NoBytes", kRegBinary, {}},
        {"Zone", kRegBinary, big},
        {"Multi", kRegMultiSz, multi},
        {"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"", kRegSz, regtext::SzBytes("default value")},
        {"Quote\"And\\Slash", kRegDword, Dword(1)},
    };
}

TEST(RegistryFile, EveryTypeSurvivesSaveAndReload) {
    TempDir dir;
    const std::string path = dir.File("sub/registry.reg");  // the folder is created on the first write
    {
        CRegistryFile reg(path);
        UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
        for (const TypedValue& v : EveryKindOfValue())
            ASSERT_EQ(reg.SetValue(key.Get(), v.name, v.type, v.data.data(), static_cast<std::uint32_t>(v.data.size())),
                      kErrorSuccess)
                << v.name;
    }
    CRegistryFile again(path);
    UniqueRegKey key = Open(again, "software\\KELVO\\mireo");
    for (const TypedValue& v : EveryKindOfValue()) {
        const Stored s = Query(again, key.Get(), v.name);
        EXPECT_EQ(s.rc, kErrorSuccess) << v.name;
        EXPECT_EQ(s.type, v.type) << v.name;
        EXPECT_EQ(s.data, v.data) << v.name;
    }
    // The parser reads the writer's output back to the same data.
    const std::string text = ReadText(path);
    EXPECT_EQ(SerializeRegFile(ParseRegFile(text)), text);
}

TEST(RegistryFile, WritesTheExportFormatWithCrLf) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    CRegistryFile reg(path);
    UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
    for (const TypedValue& v : EveryKindOfValue())
        reg.SetValue(key.Get(), v.name, v.type, v.data.data(), static_cast<std::uint32_t>(v.data.size()));
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kelvo\\Mireo]\r\n", 0),
              0u);
    for (const char* line : {
             "\r\n@=\"default value\"\r\n",
             "\r\n\"Plain\"=\"C:\\\\Users\\\\J\\\"x\\\" Grüße Привет 日本\"\r\n",
             "\r\n\"Empty\"=\"\"\r\n",
             "\r\n\"Unterminated\"=hex(1):61,00,62,00\r\n",
             "\r\n\"OddLength\"=hex(1):61,00,62\r\n",
             "\r\n\"Expand\"=hex(2):25,00,55,00",
             "\r\n\"Number\"=dword:0000000a\r\n",
             "\r\n\"Max\"=dword:ffffffff\r\n",
             "\r\n\"ShortDword\"=hex(4):01,02,03\r\n",
             "\r\n\"NoBytes\"=hex:\r\n",
             "\r\n\"Multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00",
             "\r\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n",
             "\r\n\"Quote\\\"And\\\\Slash\"=dword:00000001\r\n",
             ",\\\r\n  ",  // long hex data continues on the next line
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u);
}

std::string Utf16LeWithBom(std::string_view utf8) {
    std::string out = "\xFF\xFE";
    for (char16_t u : regtext::ToUtf16(utf8)) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

// A file as regedit exports it: UTF-16LE with BOM, CR LF, long hex split over lines.
constexpr std::string_view kRegeditExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Kelvo\\Mireo]\r\n"
    "\"Appointments.Export.Folder\"=\"C:\\\\Documents and Settings\\\\Ян\\\\Desktop\"\r\n"
    "\"Appointments.Export.Format\"=dword:00000014\r\n"
    "\"Appointments.Import.TZ\"=hex:88,ff,ff,ff,00,00,00,00,c4,ff,ff,ff,00,00,0a,00,00,00,05,00,03,00,\\\r\n"
    "  00,00,00,00,00,00,00,00,03,00,00,00,05,00,02,00,00,00,00,00,00,00,00,00,00,\\\r\n"
    "  00\r\n"
    "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
    "\r\n";

TEST(RegistryFile, ReadsRegeditUtf16Export) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    WriteText(path, Utf16LeWithBom(kRegeditExport));
    CRegistryFile reg(path);
    UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
    Stored folder = Query(reg, key.Get(), "appointments.export.folder");
    EXPECT_EQ(folder.type, kRegSz);
    EXPECT_EQ(folder.data, regtext::SzBytes("C:\\Documents and Settings\\Ян\\Desktop"));
    EXPECT_EQ(Query(reg, key.Get(), "Appointments.Export.Format").data, Dword(20));
    const Stored zone = Query(reg, key.Get(), "Appointments.Import.TZ");
    EXPECT_EQ(zone.type, kRegBinary);
    ASSERT_EQ(zone.data.size(), 48u);
    EXPECT_EQ(zone.data[0], 0x88);
    EXPECT_EQ(zone.data[47], 0x00);
    EXPECT_EQ(zone.data[20], 0x03);  // last byte before the first continuation
    EXPECT_EQ(zone.data[30], 0x03);
    const Stored expand = Query(reg, key.Get(), "Path");
    EXPECT_EQ(expand.type, kRegExpandSz);
    EXPECT_EQ(expand.data, regtext::SzBytes("%TEMP%"));
}

struct ParseCase {
    const char* label;
    std::string text;
    const char* key;
    const char* name;
    bool present;
    std::uint32_t type;
    Bytes data;
};

class RegFileParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParse, FindsTheValue) {
    const ParseCase& c = GetParam();
    const RegFileData data = ParseRegFile(c.text);
    const RegFileValue* v = OnlyValue(data, c.key, c.name);
    ASSERT_EQ(v != nullptr, c.present);
    if (v == nullptr) return;
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
}

const std::string kHead = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n";
constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\X";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileParse,
    ::testing::Values(
        ParseCase{"LfOnly", kHead + "\"a\"=\"b\"\n", kKey, "a", true, kRegSz, regtext::SzBytes("b")},
        ParseCase{"CrLf", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"a\"=dword:00000001\r\n",
                  kKey, "a", true, kRegDword, Dword(1)},
        ParseCase{"LoneCr", "Windows Registry Editor Version 5.00\r[HKEY_CURRENT_USER\\Software\\X]\r\"a\"=dword:2\r", kKey, "a",
                  true, kRegDword, Dword(2)},
        ParseCase{"Utf8Bom", "\xEF\xBB\xBF" + kHead + "\"a\"=\"é\"\n", kKey, "a", true, kRegSz, regtext::SzBytes("é")},
        ParseCase{"NoFinalLineEnd", kHead + "\"a\"=hex:01,02", kKey, "a", true, kRegBinary, {1, 2}},
        ParseCase{"Escapes", kHead + R"("a"="x\\y\"z\n")" "\n", kKey, "a", true, kRegSz, regtext::SzBytes("x\\y\"z\\n")},
        ParseCase{"SpacesAroundEquals", kHead + "\"a\" = dword:0000000A\n", kKey, "a", true, kRegDword, Dword(10)},
        ParseCase{"UpperCaseHex", kHead + "\"a\"=HEX(1):61,00\n", kKey, "a", true, kRegSz, {0x61, 0}},
        ParseCase{"DefaultValue", kHead + "@=\"d\"\n", kKey, "", true, kRegSz, regtext::SzBytes("d")},
        ParseCase{"ShortRootName", "[HKCU\\Software\\X]\n\"a\"=dword:3\n", kKey, "a", true, kRegDword, Dword(3)},
        ParseCase{"NameMatchesIgnoringCase", kHead + "\"ЯБЛОКО\"=dword:4\n", kKey, "яблоко", true, kRegDword, Dword(4)},
        ParseCase{"ContinuationWithLf", kHead + "\"a\"=hex:01,\\\n  02,\\\n    03\n", kKey, "a", true, kRegBinary, {1, 2, 3}},
        ParseCase{"LaterLineWins", kHead + "\"a\"=dword:1\n\"A\"=dword:2\n", kKey, "a", true, kRegDword, Dword(2)},
        ParseCase{"JunkLinesSkipped", kHead + "garbage\n\"bad\"=dword:xyz\n\"a\"=hex:zz\n\"b\n;comment\n\"a\"=dword:5\n", kKey,
                  "a", true, kRegDword, Dword(5)},
        ParseCase{"BadDwordSkipped", kHead + "\"a\"=dword:123456789\n", kKey, "a", false, 0, {}},
        ParseCase{"BadHexSkipped", kHead + "\"a\"=hex:1,,2\n", kKey, "a", false, 0, {}},
        ParseCase{"UnterminatedStringSkipped", kHead + "\"a\"=\"open\n", kKey, "a", false, 0, {}},
        ParseCase{"DeletionSkipped", kHead + "\"a\"=-\n", kKey, "a", false, 0, {}},
        ParseCase{"ValueBeforeSection", "\"a\"=dword:1\n[HKEY_CURRENT_USER\\Software\\X]\n", kKey, "a", false, 0, {}},
        ParseCase{"UnknownRootSkipsItsValues", kHead + "[HKEY_USERS\\X]\n\"a\"=dword:1\n", kKey, "a", false, 0, {}},
        ParseCase{"LocalMachine", "[HKEY_LOCAL_MACHINE\\Software\\Zones\\Tokyo]\n\"Std\"=\"Tokyo Standard Time\"\n",
                  "HKEY_LOCAL_MACHINE\\Software\\Zones\\Tokyo", "std", true, kRegSz, regtext::SzBytes("Tokyo Standard Time")}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.label); });

TEST(RegistryFile, ParsesAnyBytesWithoutCrashing) {
    // Fragments of the grammar shuffled by a fixed generator, plus raw bytes.
    const char* pieces[] = {"[", "]", "HKEY_CURRENT_USER\\", "HKLM\\a", "\"", "\\", "=", "hex(", "):", "hex:", "dword:",
                            "ff,", "\r\n", "\n", "\r", "@", "\xFF\xFE", "\xC3", "\x00", "-", ",\\\n", "  ", "é"};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = static_cast<int>(seed % 60);
        for (int i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += (seed >> 16) % 4 == 0 ? std::string(1, static_cast<char>(seed >> 8))
                                          : std::string(pieces[(seed >> 16) % std::size(pieces)]);
        }
        const RegFileData data = ParseRegFile(text);
        const std::string out = SerializeRegFile(data);
        ASSERT_EQ(SerializeRegFile(ParseRegFile(out)), out) << "round " << round;
    }
}

TEST(RegistryFile, LongAndDeepInputsStayCheap) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 200000; ++i) deep += "\\k";
    deep += "]\n\"a\"=hex:";
    for (int i = 0; i < 200000; ++i) deep += "01,\\\n";
    deep += "02\n";
    const RegFileData data = ParseRegFile(deep);
    ASSERT_EQ(data.keys.size(), 1u);
    EXPECT_EQ(data.keys.begin()->second.values.begin()->second.data.size(), 200001u);
}

TEST(RegistryFile, KeysOpenEnumerateAndRefuseWritesWhenReadOnly) {
    TempDir dir;
    CRegistryFile reg(dir.File("registry.reg"));
    IRegistry::Key missing = 0;
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software\\Nobody", false, false, missing), kErrorFileNotFound);
    EXPECT_EQ(missing, 0u);
    Open(reg, "Software\\Kelvo\\Mireo");
    Open(reg, "Software\\Kelvo\\Other\\Deep");
    Open(reg, "Software\\Zeta");
    Open(reg, "Software\\Kelvo Two", RegRoot::LocalMachine);

    IRegistry::Key software = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, "SOFTWARE", false, false, software), kErrorSuccess);
    UniqueRegKey owner(&reg, software);
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; reg.EnumSubKey(software, i, name) == kErrorSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Kelvo", "Zeta"}));

    IRegistry::Key kelvo = 0;
    ASSERT_EQ(reg.OpenSubKey(software, "kelvo", false, kelvo), kErrorSuccess);
    UniqueRegKey kelvoOwner(&reg, kelvo);
    names.clear();
    for (std::uint32_t i = 0; reg.EnumSubKey(kelvo, i, name) == kErrorSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Mireo", "Other"}));  // "Other" exists through its child

    const Bytes one = Dword(1);
    EXPECT_EQ(reg.SetValue(kelvo, "x", kRegDword, one.data(), 4), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteValue(kelvo, "x"), kErrorAccessDenied);
    EXPECT_EQ(reg.SetValue(0, "x", kRegDword, one.data(), 4), kErrorInvalidHandle);
}

TEST(RegistryFile, QueryFollowsTheWin32SizeProtocol) {
    TempDir dir;
    CRegistryFile reg(dir.File("registry.reg"));
    UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
    const Bytes text = regtext::SzBytes("abcdef");
    ASSERT_EQ(reg.SetValue(key.Get(), "T", kRegSz, text.data(), static_cast<std::uint32_t>(text.size())), kErrorSuccess);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(reg.QueryValue(key.Get(), "T", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, kRegSz);
    std::uint8_t small[4];
    size = sizeof small;
    EXPECT_EQ(reg.QueryValue(key.Get(), "T", &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(reg.QueryValue(key.Get(), "missing", &type, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteValue(key.Get(), "t"), kErrorSuccess);
    EXPECT_EQ(reg.QueryValue(key.Get(), "T", &type, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteValue(key.Get(), "T"), kErrorFileNotFound);
}

TEST(RegistryFile, TwoInstancesSeeEachOthersWrites) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    CRegistryFile first(path);
    CRegistryFile second(path);
    UniqueRegKey a = Open(first, "Software\\Kelvo\\Mireo");
    UniqueRegKey b = Open(second, "Software\\Kelvo\\Mireo");
    for (std::uint32_t n = 1; n <= 3; ++n) {
        const Bytes v = Dword(n);
        ASSERT_EQ(first.SetValue(a.Get(), "N", kRegDword, v.data(), 4), kErrorSuccess);
        EXPECT_EQ(Query(second, b.Get(), "N").data, v);
        const Bytes w = Dword(n + 100);
        ASSERT_EQ(second.SetValue(b.Get(), "M", kRegDword, w.data(), 4), kErrorSuccess);
        EXPECT_EQ(Query(first, a.Get(), "M").data, w);
        EXPECT_EQ(Query(first, a.Get(), "N").data, v);  // the other process's save kept it
    }
}

// Root ignores permission bits, so the failing write is made by a file-size limit: the
// temporary file cannot be written, as on a full disk.
TEST(RegistryFile, FailedSaveKeepsTheOldValueInMemoryAndOnDisk) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    CRegistryFile reg(path);
    UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
    const Bytes oldValue = regtext::SzBytes("old");
    ASSERT_EQ(reg.SetValue(key.Get(), "V", kRegSz, oldValue.data(), static_cast<std::uint32_t>(oldValue.size())),
              kErrorSuccess);
    const std::string before = ReadText(path);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const Bytes newValue = regtext::SzBytes("new");
    const long rc = reg.SetValue(key.Get(), "V", kRegSz, newValue.data(), static_cast<std::uint32_t>(newValue.size()));
    const long rcNew = reg.SetValue(key.Get(), "Added", kRegSz, newValue.data(), static_cast<std::uint32_t>(newValue.size()));
    const long rcDelete = reg.DeleteValue(key.Get(), "V");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(rc, kErrorWriteFault);
    EXPECT_EQ(rcNew, kErrorWriteFault);
    EXPECT_EQ(rcDelete, kErrorWriteFault);
    EXPECT_EQ(Query(reg, key.Get(), "V").data, oldValue);
    EXPECT_EQ(Query(reg, key.Get(), "Added").rc, kErrorFileNotFound);
    EXPECT_EQ(ReadText(path), before);
    CRegistryFile fresh(path);
    UniqueRegKey freshKey = Open(fresh, "Software\\Kelvo\\Mireo");
    EXPECT_EQ(Query(fresh, freshKey.Get(), "V").data, oldValue);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(RegistryFile, PathThatIsAFolderFailsWritesAndKeepsValues) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    CRegistryFile reg(path);
    UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
    const Bytes one = Dword(1), two = Dword(2);
    ASSERT_EQ(reg.SetValue(key.Get(), "V", kRegDword, one.data(), 4), kErrorSuccess);
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(reg.SetValue(key.Get(), "V", kRegDword, two.data(), 4), kErrorAccessDenied);
    EXPECT_EQ(Query(reg, key.Get(), "V").data, one);
}

TEST(RegistryFile, FolderThatIsAFileFailsKeyCreation) {
    TempDir dir;
    WriteText(dir.File("plain"), "x");
    CRegistryFile reg(dir.File("plain/registry.reg"));
    IRegistry::Key key = 0;
    EXPECT_NE(reg.OpenKey(RegRoot::CurrentUser, "Software\\Kelvo\\Mireo", true, true, key), kErrorSuccess);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software\\Kelvo\\Mireo", false, false, key), kErrorFileNotFound);
}

TEST(RegistryFile, SystemRegistryUsesTheChosenFile) {
    TempDir dir;
    const std::string path = dir.File("chosen.reg");
    SetRegistryFile(path);
    IRegistry& reg = SystemRegistry();
    {
        UniqueRegKey key = Open(reg, "Software\\Kelvo\\Mireo");
        const Bytes v = Dword(7);
        ASSERT_EQ(reg.SetValue(key.Get(), "Chosen", kRegDword, v.data(), 4), kErrorSuccess);
    }
    SetRegistryFile("");
    EXPECT_NE(ReadText(path).find("\"Chosen\"=dword:00000007"), std::string::npos);
}

}  // namespace
}  // namespace mireo
