#include "platform/output_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/testing/filling_output_files.h"
#include "platform/testing/scratch_folder.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(test::PathOf(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class OutputFilesTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return test::Utf8Of(m_dir / test::PathOf(name)); }

    test::CScratchFolder m_dir{"mireo_out_"};
    std::unique_ptr<IOutputFiles> m_files = CreateSystemOutputFiles();
};

TEST_F(OutputFilesTest, CreateNewNeverReplaces) {
    const std::string path = Path("a.vcf");
    std::unique_ptr<IOutputFile> f;
    ASSERT_EQ(m_files->CreateNew(path, f), CreateResult::kCreated);
    ASSERT_TRUE(f->Write("first\r\n"));
    ASSERT_TRUE(f->Close());
    EXPECT_TRUE(f->Close()) << "a second close is harmless";
    EXPECT_FALSE(f->Write("x")) << "no writes after close";

    std::unique_ptr<IOutputFile> g;
    EXPECT_EQ(m_files->CreateNew(path, g), CreateResult::kExists);
    EXPECT_EQ(g, nullptr);
    EXPECT_EQ(Contents(path), "first\r\n");

    ASSERT_EQ(m_files->CreateReplacing(path, g), CreateResult::kCreated);
    ASSERT_TRUE(g->Write("2"));
    EXPECT_EQ(Contents(path), "first\r\n") << "replaced only when complete";
    ASSERT_TRUE(g->Close());
    EXPECT_EQ(Contents(path), "2");
}

TEST_F(OutputFilesTest, NonLatinNamesAndRemove) {
    // Cyrillic, CJK and a character outside the BMP: the wide functions take them all.
    const std::string path = Path("\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2 \xE5\xB1\xB1\xE7\x94\xB0 \xF0\x9F\x98\x80.vcf");
    std::unique_ptr<IOutputFile> f;
    ASSERT_EQ(m_files->CreateNew(path, f), CreateResult::kCreated);
    ASSERT_TRUE(f->Write(std::string(100000, 'x')));
    ASSERT_TRUE(f->Close());
    EXPECT_TRUE(m_files->Exists(path));
    EXPECT_EQ(Contents(path).size(), 100000u);
    EXPECT_TRUE(m_files->Remove(path));
    EXPECT_FALSE(m_files->Exists(path));
    EXPECT_FALSE(m_files->Remove(path)) << "nothing left to remove";
}

TEST_F(OutputFilesTest, MissingFolderFails) {
    std::unique_ptr<IOutputFile> f;
    EXPECT_EQ(m_files->CreateNew(Path("missing/x.vcf"), f), CreateResult::kFailed);
    EXPECT_EQ(m_files->CreateReplacing(Path("missing/x.vcf"), f), CreateResult::kFailed);
    EXPECT_EQ(f, nullptr);
    EXPECT_FALSE(m_files->Exists(Path("missing")));
}

TEST_F(OutputFilesTest, FillingDiskWritesWhatFitsThenFails) {
    test::CFillingOutputFiles disk(*m_files);
    disk.SetCapacity(10);
    std::unique_ptr<IOutputFile> a;
    std::unique_ptr<IOutputFile> b;
    ASSERT_EQ(disk.CreateNew(Path("a"), a), CreateResult::kCreated);
    ASSERT_EQ(disk.CreateNew(Path("b"), b), CreateResult::kCreated);
    EXPECT_TRUE(a->Write("123456"));
    EXPECT_FALSE(b->Write("abcdef")) << "only four bytes were left";
    EXPECT_FALSE(a->Write("z"));
    EXPECT_TRUE(a->Close());
    EXPECT_TRUE(b->Close());
    EXPECT_EQ(Contents(Path("a")), "123456");
    EXPECT_EQ(Contents(Path("b")), "abcd");
    EXPECT_EQ(disk.Written(), 10u);

    disk.FailCreatesFrom(2);
    std::unique_ptr<IOutputFile> c;
    EXPECT_EQ(disk.CreateReplacing(Path("c"), c), CreateResult::kCreated);
    EXPECT_EQ(disk.CreateReplacing(Path("d"), c), CreateResult::kFailed);
    EXPECT_EQ(disk.CreateReplacing(Path("e"), c), CreateResult::kFailed);
    EXPECT_TRUE(disk.Remove(Path("a")));
    ASSERT_EQ(disk.Removed().size(), 1u);
    EXPECT_FALSE(fs::exists(m_dir / "a"));
}

#ifndef _WIN32
TEST_F(OutputFilesTest, ALinkIsNeitherFollowedNorReplaced) {
    const std::string target = Path("outside.txt");
    std::ofstream(test::PathOf(target)) << "keep";
    const std::string link = Path("a.vcf");
    fs::create_symlink(test::PathOf(target), test::PathOf(link));
    std::unique_ptr<IOutputFile> f;
    EXPECT_EQ(m_files->CreateReplacing(link, f), CreateResult::kNotAFile);
    EXPECT_EQ(m_files->CreateNew(link, f), CreateResult::kExists);
    EXPECT_EQ(m_files->CreateReplacing(Path(""), f), CreateResult::kNotAFile);  // the folder
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(Contents(target), "keep");
}
#endif

TEST_F(OutputFilesTest, AnAbandonedFileLeavesTheOldOneAndNothingBeside) {
    const std::string path = Path("a.vcf");
    std::ofstream(test::PathOf(path), std::ios::binary) << "old";
    for (bool explicitly : {true, false}) {
        std::unique_ptr<IOutputFile> f;
        ASSERT_EQ(m_files->CreateReplacing(path, f), CreateResult::kCreated);
        ASSERT_TRUE(f->Write("new, cut short"));
        if (explicitly) f->Abandon();
        f.reset();
        EXPECT_EQ(Contents(path), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()), 1);
    }
    std::unique_ptr<IOutputFile> g;
    ASSERT_EQ(m_files->CreateNew(Path("b.vcf"), g), CreateResult::kCreated);
    g.reset();
    EXPECT_FALSE(m_files->Exists(Path("b.vcf"))) << "a new file not closed is not there";
}

}  // namespace
}  // namespace mireo
