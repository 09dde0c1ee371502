#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace mireo {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

fs::path FromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / (std::string("mireo_files_") + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    // Writes bytes to a file named by UTF-8 text; returns its UTF-8 path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path p = m_dir / FromUtf8(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return Utf8(p);
    }
    std::string Dir() const { return Utf8(m_dir); }

    fs::path m_dir;
};

TEST_F(FilesTest, FileCanBeOpenedOnlyForExistingFiles) {
    const std::string file = Write("a.vcf", "BEGIN:VCARD\r\n");
    EXPECT_TRUE(FileCanBeOpened(file));
    EXPECT_FALSE(FileCanBeOpened(Dir()));
    EXPECT_FALSE(FileCanBeOpened(Dir() + "/missing.vcf"));
    EXPECT_FALSE(FileCanBeOpened(""));
}

TEST_F(FilesTest, PathIsDirectory) {
    const std::string file = Write("a.ics", "x");
    EXPECT_TRUE(PathIsDirectory(Dir()));
    EXPECT_FALSE(PathIsDirectory(file));
    EXPECT_FALSE(PathIsDirectory(Dir() + "/missing"));
}

TEST_F(FilesTest, ReadWholeFileKeepsEveryByte) {
    std::string bytes = "BEGIN:VCALENDAR\r\n";
    bytes += std::string("\0\xFF\xEF\xBB\xBF\r\n", 7);
    bytes += std::string(100000, 'x');
    const std::string file = Write("b.ics", bytes);
    std::string out = "previous";
    ASSERT_TRUE(ReadWholeFile(file, out));
    EXPECT_EQ(out, bytes);
}

TEST_F(FilesTest, ReadWholeFileOfAnEmptyFile) {
    const std::string file = Write("empty.vcf", "");
    std::string out = "previous";
    ASSERT_TRUE(ReadWholeFile(file, out));
    EXPECT_EQ(out, "");
}

TEST_F(FilesTest, ReadWholeFileFailsCleanly) {
    std::string out = "kept";
    EXPECT_FALSE(ReadWholeFile(Dir() + "/missing.vcf", out));
    EXPECT_FALSE(ReadWholeFile(Dir(), out));  // a folder
    EXPECT_FALSE(ReadWholeFile("", out));
    EXPECT_EQ(out, "kept");
}

TEST_F(FilesTest, NamesOutsideTheAnsiCodePage) {
    // German, Cyrillic and Japanese in one name: opened through the wide functions
    // on Windows whatever the ANSI code page.
    const std::string name = "Gr\xC3\xBC\xC3\x9F" "e_\xD0\x9F\xD1\x80\xD0\xB8_\xE6\x97\xA5\xE6\x9C\xAC.vcf";
    const std::string file = Write(name, "data");
    EXPECT_TRUE(FileCanBeOpened(file));
    std::string out;
    ASSERT_TRUE(ReadWholeFile(file, out));
    EXPECT_EQ(out, "data");
    const fs::path sub = m_dir / FromUtf8("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0");
    fs::create_directory(sub);
    EXPECT_TRUE(PathIsDirectory(Utf8(sub)));
    EXPECT_FALSE(FileCanBeOpened(Utf8(sub)));
}

}  // namespace
}  // namespace mireo
