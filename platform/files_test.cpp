#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/testing/scratch_folder.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    // Writes bytes to a file named by UTF-8 text; returns its UTF-8 path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path p = m_dir / test::PathOf(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return test::Utf8Of(p);
    }
    std::string Dir() const { return test::Utf8Of(m_dir.Path()); }

    test::CScratchFolder m_dir{"mireo_files_"};
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
    const fs::path sub = m_dir / test::PathOf("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0");
    fs::create_directory(sub);
    EXPECT_TRUE(PathIsDirectory(test::Utf8Of(sub)));
    EXPECT_FALSE(FileCanBeOpened(test::Utf8Of(sub)));
}

TEST_F(FilesTest, MappedFilesAndWhatCannotBeMapped) {
    const std::string file = Write("a.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
    CMappedFile mapped;
    std::string reason;
    ASSERT_TRUE(mapped.Open(file, reason));
    EXPECT_EQ(mapped.Bytes(), "BEGIN:VCARD\r\nEND:VCARD\r\n");
    ASSERT_TRUE(mapped.Open(Write("empty.vcf", ""), reason));
    EXPECT_TRUE(mapped.Bytes().empty());
    EXPECT_FALSE(mapped.Open(Dir() + "/missing.vcf", reason));
    EXPECT_FALSE(reason.empty());
    reason.clear();
    EXPECT_FALSE(mapped.Open(Dir(), reason));
    EXPECT_EQ(reason, "it is a folder");
    EXPECT_TRUE(mapped.Bytes().empty()) << "a failed open leaves nothing mapped";
}

// Pages let go after reading are read again from the file when touched: the bytes stay
// what the file holds, wherever the release ends (within a page, past the end, at 0).
TEST_F(FilesTest, ReleasedPagesReadTheFileAgain) {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i) text += "LINE " + std::to_string(i) + "\r\n";
    const std::string file = Write("big.ics", text);
    CMappedFile mapped;
    std::string reason;
    ASSERT_TRUE(mapped.Open(file, reason));
    for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{70001},
                                     text.size() - 1, text.size(), text.size() + 9999}) {
        SCOPED_TRACE(offset);
        ASSERT_EQ(mapped.Bytes(), text);  // every page touched
        mapped.Release(offset);
        EXPECT_EQ(mapped.Bytes(), text);
    }
    ASSERT_TRUE(mapped.Open(Write("empty.ics", ""), reason));
    mapped.Release(100);
    EXPECT_TRUE(mapped.Bytes().empty());
}

}  // namespace
}  // namespace mireo
