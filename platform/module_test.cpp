#include "platform/module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace mireo {
namespace {

#if defined(_WIN32)
constexpr char kSep = '\\';
const char* const kHelperLibrary = "LibKelvo.dll";
#else
constexpr char kSep = '/';
const char* const kHelperLibrary = "LibKelvo.so";
#endif

[[maybe_unused]] void SetEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv((std::string(name) + "=" + value).c_str());
#else
    if (value.empty())
        ::unsetenv(name);
    else
        ::setenv(name, value.c_str(), 1);
#endif
}

TEST(ModuleDirectory, IsTheFolderOfTheRunningProgram) {
    const std::string dir = ModuleDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), kSep) << dir;
    EXPECT_TRUE(PathIsDirectory(dir)) << dir;
    // The test programs run in bin/, where the build puts the encodings list.
    EXPECT_TRUE(FileCanBeOpened(JoinPath(dir, "supportedEncodings.txt"))) << dir;
}

#if !defined(_WIN32)
TEST(ModuleDirectory, EnvironmentOverridesAndLosesTrailingSlashes) {
    SetEnv("MIREO_MODULE_DIR", "/opt/mireo//");
    EXPECT_EQ(ModuleDirectory(), "/opt/mireo");
    SetEnv("MIREO_MODULE_DIR", "/");
    EXPECT_EQ(ModuleDirectory(), "/");
    SetEnv("MIREO_MODULE_DIR", "");
    EXPECT_NE(ModuleDirectory(), "/");
}
#endif

TEST(OwnModuleHandle, DefaultsToTheCodesModuleAndCanBeSet) {
    void* const original = OwnModuleHandle();
    // Never null: it is the helper library's context, and 0 there means "no context".
    EXPECT_NE(original, nullptr);
    int marker = 0;
    SetOwnModule(&marker);
    EXPECT_EQ(OwnModuleHandle(), &marker);
    SetOwnModule(nullptr);
    EXPECT_EQ(OwnModuleHandle(), original);
}

TEST(JoinPath, AddsOneSeparator) {
    struct Case {
        const char* name;
        std::string folder;
        std::string file;
        std::string want;
    };
    const std::string s(1, kSep);
    const Case cases[] = {
        {"plain", "dir", "a.txt", "dir" + s + "a.txt"},
        {"folder ends in separator", "dir" + s, "a.txt", "dir" + s + "a.txt"},
        {"empty folder", "", "a.txt", "a.txt"},
        {"empty name", "dir", "", "dir" + s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JoinPath(c.folder, c.file), c.want);
    }
}

TEST(LoadLibraryFromPath, LoadsByFullPathAndResolvesExports) {
    auto lib = LoadLibraryFromPath(JoinPath(ModuleDirectory(), kHelperLibrary));
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(lib->Resolve("LibKelvoLogMsg"), nullptr);
    EXPECT_EQ(lib->Resolve("NoSuchExport"), nullptr);
    EXPECT_EQ(lib->Resolve(nullptr), nullptr);
}

TEST(LoadLibraryFromPath, RefusesBareNamesAndMissingFiles) {
    // A bare name would go through the search order even when a file of that name
    // exists in the current folder (the tests run in bin/, beside the library).
    EXPECT_EQ(LoadLibraryFromPath(kHelperLibrary), nullptr);
#if defined(_WIN32)
    EXPECT_EQ(LoadLibraryFromPath("kernel32.dll"), nullptr);
#else
    EXPECT_EQ(LoadLibraryFromPath("libc.so.6"), nullptr);
#endif
    EXPECT_EQ(LoadLibraryFromPath(JoinPath(ModuleDirectory(), "NoSuchLibrary.dll")), nullptr);
    EXPECT_EQ(LoadLibraryFromPath(JoinPath(ModuleDirectory(), "supportedEncodings.txt")), nullptr);
    EXPECT_EQ(LoadLibraryFromPath(""), nullptr);
}

}  // namespace
}  // namespace mireo
