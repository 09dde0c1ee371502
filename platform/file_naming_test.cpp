#include "platform/file_naming.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>

#ifndef _WIN32
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/output_files.h"
#endif

namespace mireo {
namespace {

// An in-memory folder. Names compare exactly (or case-folded for a Windows-like
// folder); a hook runs before each create so a test can let a file appear between
// two tries, and chosen paths fail.
class CFakeFiles : public IOutputFiles {
public:
    struct File : IOutputFile {
        explicit File(std::string* data) : m_data(data) {}
        bool Write(std::string_view bytes) override {
            m_data->append(bytes);
            return true;
        }
        bool Close() override { return true; }
        void Abandon() override {}
        std::string* m_data;
    };

    explicit CFakeFiles(bool caseInsensitive = false) : m_caseInsensitive(caseInsensitive) {}

    bool Exists(const std::string& path) override { return m_files.count(Key(path)) != 0; }
    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Create(path, false, file);
    }
    CreateResult CreateReplacing(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Create(path, true, file);
    }
    bool Remove(const std::string& path) override { return m_files.erase(Key(path)) != 0; }

    std::map<std::string, std::string> m_files;  // key -> content
    std::set<std::string> m_failing;
    std::function<void(const std::string&)> m_beforeCreate;
    int m_creates = 0;
    int m_replaced = 0;

private:
    std::string Key(const std::string& path) const {
        std::string k = path;
        if (m_caseInsensitive) {
            for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return k;
    }
    CreateResult Create(const std::string& path, bool always, std::unique_ptr<IOutputFile>& file) {
        ++m_creates;
        if (m_beforeCreate) m_beforeCreate(path);
        if (m_failing.count(path) != 0) return CreateResult::kFailed;
        const std::string k = Key(path);
        auto it = m_files.find(k);
        if (it != m_files.end()) {
            if (!always) return CreateResult::kExists;
            ++m_replaced;
            it->second.clear();
        } else {
            it = m_files.emplace(k, std::string()).first;
        }
        file = std::make_unique<File>(&it->second);
        return CreateResult::kCreated;
    }

    bool m_caseInsensitive;
};

constexpr PathLimits kLinux = kPosixPathLimits;
constexpr PathLimits kWindows = kWindowsPathLimits;

std::string CreateOne(COutputNamer& namer, std::u16string_view base) {
    std::unique_ptr<IOutputFile> file;
    std::string path;
    if (namer.Create(base, file, path) != 0) return "<failed>";
    file->Close();
    return path;
}

TEST(FileNaming, CleansBaseNames) {
    struct Case {
        const char* name;
        std::u16string raw;
        std::u16string want;
    };
    const Case cases[] = {
        {"plain", u"Smith, John", u"Smith, John"},
        {"first CR LF becomes a parenthesis", u"Smith, John\r\nAcme", u"Smith, John (Acme)"},
        {"later breaks become underscores", u"a\r\nb\r\nc", u"a (b__c)"},
        {"lone LF", u"a\nb", u"a_b"},
        {"the nine characters", u"a\\b/c:d*e?f\"g<h>i|j", u"a_b_c_d_e_f_g_h_i_j"},
        {"from the edge case list", u"a/b:c", u"a_b_c"},
        {"control characters", std::u16string(u"x\u0001\ty") + u'\0' + u"\u001F", u"x__y__"},
        {"non-ASCII stays", u"M\u00FCller \u65E5\u672C", u"M\u00FCller \u65E5\u672C"},
        {"DEL and C1 controls", u"a\u007Fb\u0085c\u009F", u"a_b_c_"},
        // "gpj.vcf" shown as "fcv.jpg": the direction marks and overrides go.
        {"direction overrides", u"x\u202Egpj\u202Cy\u200F\u2066z\u2069", u"x_gpj_y__z_"},
        {"never hidden", u".profile", u"_profile"},
        {"only the first dot", u"..x", u"_.x"},
        {"empty stays empty", u"", u""},
        {"device name", u"CON", u"CON_"},
        {"device name in any case", u"nul", u"nul_"},
        {"device with extension", u"aux.txt", u"aux_.txt"},
        {"device with trailing spaces", u"PRN  ", u"PRN_  "},
        {"numbered devices", u"com1", u"com1_"},
        {"LPT9", u"LPT9", u"LPT9_"},
        {"superscript digit", u"COM\u00B9", u"COM\u00B9_"},
        {"COM10 is no device", u"COM10", u"COM10"},
        {"device as a prefix is fine", u"CONTACTS", u"CONTACTS"},
        {"device after a character is fine", u"xCON", u"xCON"},
        {"device made of replaced characters", u"CON:", u"CON_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CleanBaseName(c.raw), c.want);
    }
}

TEST(FileNaming, NumbersWithoutOverwrite) {
    CFakeFiles files;
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name.vcf");
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name(1).vcf");
    EXPECT_EQ(CreateOne(namer, u"Other"), "/out/Other.vcf");
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name(2).vcf");
    // A second run into the same folder continues after the existing files.
    COutputNamer second(files, "/out/", u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(second, u"Name"), "/out/Name(3).vcf");
    EXPECT_EQ(CreateOne(second, u"Name"), "/out/Name(4).vcf");
    EXPECT_EQ(files.m_replaced, 0);
}

TEST(FileNaming, EmptyBaseName) {
    CFakeFiles files;
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(namer, u""), "/out/.vcf");
    EXPECT_EQ(CreateOne(namer, u""), "/out/(1).vcf");
}

TEST(FileNaming, NeverReplacesAFileThatAppearsMeanwhile) {
    CFakeFiles files;
    files.m_beforeCreate = [&files](const std::string& path) {
        // Someone else creates the very file we are about to create.
        if (path == "/out/Name.vcf") files.m_files["/out/Name.vcf"] = "theirs";
    };
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name(1).vcf");
    EXPECT_EQ(files.m_files["/out/Name.vcf"], "theirs");
}

TEST(FileNaming, OverwriteReplacesOldFilesButNotThisRunsOwn) {
    CFakeFiles files;
    files.m_files["/out/Name.vcf"] = "old";
    COutputNamer namer(files, "/out", u".vcf", true, kLinux);
    std::unique_ptr<IOutputFile> file;
    std::string path;
    ASSERT_EQ(namer.Create(u"Name", file, path), 0);
    EXPECT_EQ(path, "/out/Name.vcf");
    file->Write("first");
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name(1).vcf");
    EXPECT_EQ(files.m_files["/out/Name.vcf"], "first");
    EXPECT_EQ(files.m_replaced, 1);  // only the file of an earlier run
    namer.Reset();
    EXPECT_EQ(CreateOne(namer, u"Name"), "/out/Name.vcf");  // a new run may replace it
}

// Two long names that differ only after the cut share a file name; with overwrite
// the second must still not replace the first.
TEST(FileNaming, NamesEqualAfterTheCutDoNotReplaceEachOther) {
    CFakeFiles files;
    PathLimits small = kLinux;
    small.maxComponent = 14;  // 10 characters beside ".vcf"
    COutputNamer namer(files, "/o", u".vcf", true, small);
    EXPECT_EQ(CreateOne(namer, u"abcdefghijFIRST"), "/o/abcdefghij.vcf");
    EXPECT_EQ(CreateOne(namer, u"abcdefghijSECOND"), "/o/abcdefg(1).vcf");
    EXPECT_EQ(files.m_replaced, 0);
}

TEST(FileNaming, CaseInsensitiveFolderSeesOneName) {
    CFakeFiles files(true);
    COutputNamer namer(files, "C:\\out", u".vcf", true, kWindows);
    EXPECT_EQ(CreateOne(namer, u"Smith"), "C:\\out\\Smith.vcf");
    EXPECT_EQ(CreateOne(namer, u"SMITH"), "C:\\out\\SMITH(1).vcf");
    EXPECT_EQ(CreateOne(namer, u"M\u00FCller"), "C:\\out\\M\xC3\xBCller.vcf");
    EXPECT_EQ(CreateOne(namer, u"M\u00DCLLER"), "C:\\out\\M\xC3\x9CLLER(1).vcf");
    EXPECT_EQ(files.m_replaced, 0);
}

TEST(FileNaming, ManyItemsOfOneNameTakeLinearTime) {
    CFakeFiles files;
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    for (int i = 0; i < 1000; ++i) ASSERT_NE(CreateOne(namer, u"Name"), "<failed>");
    EXPECT_EQ(files.m_files.count("/out/Name(999).vcf"), 1u);
    EXPECT_EQ(files.m_creates, 1000);  // one create per item, no probing from the start
}

TEST(FileNaming, FailuresAreReported) {
    CFakeFiles files;
    files.m_failing.insert("/out/Bad.vcf");
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    std::unique_ptr<IOutputFile> file;
    std::string path;
    EXPECT_EQ(namer.Create(u"Bad", file, path), kNameCannotCreateFile);
    EXPECT_EQ(file, nullptr);
    files.m_failing.clear();
    EXPECT_EQ(CreateOne(namer, u"Bad"), "/out/Bad.vcf");  // the failed name is tried again
}

TEST(FileNaming, GivesUpAfterTheLastNumber) {
    CFakeFiles files;
    files.m_beforeCreate = [&files](const std::string& path) { files.m_files[path] = "taken"; };
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(namer, u"Full"), "<failed>");
    EXPECT_EQ(files.m_creates, COutputNamer::kMaxNumber + 1);
}

TEST(FileNaming, ShortensTheBaseNameToFitWindowsPaths) {
    CFakeFiles files(true);
    const std::string folder = "C:\\" + std::string(200, 'f');  // 203 units, 204 with the separator
    COutputNamer namer(files, folder, u".vcf", false, kWindows);
    const std::u16string base(300, u'n');
    const std::string first = CreateOne(namer, base);
    EXPECT_EQ(first, folder + "\\" + std::string(259 - 204 - 4, 'n') + ".vcf");
    EXPECT_EQ(first.size(), 259u);
    const std::string second = CreateOne(namer, base);
    EXPECT_EQ(second, folder + "\\" + std::string(259 - 204 - 7, 'n') + "(1).vcf");
    // A name that fits is kept as it is.
    EXPECT_EQ(CreateOne(namer, u"short"), folder + "\\short.vcf");
    // No room for any name: the folder alone is too long.
    COutputNamer tooDeep(files, "C:\\" + std::string(260, 'f'), u".vcf", false, kWindows);
    EXPECT_EQ(CreateOne(tooDeep, u"x"), "<failed>");
}

TEST(FileNaming, ShortensByCodePoints) {
    CFakeFiles files;
    COutputNamer namer(files, "/out", u".vcf", false, kLinux);
    // 200 two-byte characters: 400 bytes; 251 bytes fit beside ".vcf".
    const std::string path = CreateOne(namer, std::u16string(200, u'\u00E9'));
    const std::string name = path.substr(5);
    EXPECT_EQ(name, [] {
        std::string s;
        for (int i = 0; i < 125; ++i) s += "\xC3\xA9";
        return s + ".vcf";
    }());
    // Surrogate pairs are never split (4 UTF-8 bytes, 2 UTF-16 units each).
    CFakeFiles winFiles(true);
    COutputNamer win(winFiles, "C:\\ab", u".vcf", false, kWindows);
    std::u16string emoji;
    for (int i = 0; i < 200; ++i) emoji += u"\U0001F600";
    const std::u16string cut = PathFromUtf8(CreateOne(win, emoji).substr(6));
    EXPECT_EQ(cut.size(), 248u + 4u);  // 249 units left: 124 whole pairs
}

TEST(FileNaming, CutNameDoesNotBecomeADevice) {
    CFakeFiles files;
    PathLimits tiny = kLinux;
    tiny.maxComponent = 7;  // "CON" + ".vcf"
    COutputNamer namer(files, "/o", u".vcf", false, tiny);
    EXPECT_EQ(CreateOne(namer, u"CONTACTS"), "/o/CO_.vcf");
}

TEST(FileNaming, Utf8RoundTrip) {
    const std::u16string text = u"a\u00E9\u65E5\U0001F600";
    EXPECT_EQ(PathToUtf8(text), "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
    EXPECT_EQ(PathFromUtf8(PathToUtf8(text)), text);
    EXPECT_EQ(PathToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(PathFromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(PathFromUtf8("\xC0\xAFx"), u"\uFFFD\uFFFDx");
    EXPECT_EQ(PathFromUtf8("\xED\xA0\x80"), u"\uFFFD");
}

// Names come from anywhere: no byte sequence may crash the conversion, and what
// comes out is always well-formed.
TEST(FileNaming, ArbitraryBytesConvertSafely) {
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<char>(state >> 24);
    };
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int i = round % 23; i > 0; --i) bytes += next();
        const std::u16string wide = PathFromUtf8(bytes);
        const std::string utf8 = PathToUtf8(wide);
        EXPECT_EQ(PathFromUtf8(utf8), wide);
        const std::u16string clean = CleanBaseName(wide);
        for (char16_t c : clean) ASSERT_GE(c, 32);
    }
}

#ifndef _WIN32
class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mireo_vcard_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

TEST_F(PosixFiles, CreateNewAndAlways) {
    auto files = CreateSystemOutputFiles();
    const std::string path = m_dir + "/a.vcf";
    std::unique_ptr<IOutputFile> f;
    ASSERT_EQ(files->CreateNew(path, f), CreateResult::kCreated);
    EXPECT_TRUE(f->Write("one"));
    EXPECT_TRUE(f->Close());
    EXPECT_TRUE(files->Exists(path));
    std::unique_ptr<IOutputFile> g;
    EXPECT_EQ(files->CreateNew(path, g), CreateResult::kExists);
    EXPECT_EQ(g, nullptr);
    ASSERT_EQ(files->CreateReplacing(path, g), CreateResult::kCreated);
    EXPECT_TRUE(g->Write("2"));
    EXPECT_TRUE(g->Close());
    EXPECT_EQ(std::filesystem::file_size(path), 1u);
    EXPECT_EQ(files->CreateNew(m_dir + "/missing/x.vcf", g), CreateResult::kFailed);
}

TEST_F(PosixFiles, NamerOnARealFolder) {
    auto files = CreateSystemOutputFiles();
    COutputNamer namer(*files, m_dir, u".vcf", false, kLinux);
    EXPECT_EQ(CreateOne(namer, u"x/y"), m_dir + "/x_y.vcf");
    EXPECT_EQ(CreateOne(namer, u"x/y"), m_dir + "/x_y(1).vcf");
    EXPECT_EQ(CreateOne(namer, std::u16string(300, u'z')), m_dir + "/" + std::string(251, 'z') + ".vcf");
    EXPECT_TRUE(std::filesystem::exists(m_dir + "/" + std::string(251, 'z') + ".vcf"));
}
#endif

}  // namespace
}  // namespace mireo
