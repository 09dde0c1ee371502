#pragma once
// A folder of one test's own: <system temporary folder>/<prefix><test name>, emptied
// when made and removed with the object (declare it before whatever keeps files open
// in it). Also the UTF-8 text of a path and back, as the file functions take paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace mireo::test {

inline std::string Utf8Of(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class CScratchFolder {
public:
    explicit CScratchFolder(const std::string& prefix)
        : m_path(std::filesystem::temp_directory_path() /
                 (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~CScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace mireo::test
