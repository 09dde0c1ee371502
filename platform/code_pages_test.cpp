#include "platform/code_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/user_strings.h"

namespace mireo {
namespace {

const ICodePages& Cp() { return SystemCodePages(); }

TEST(CodePages, UnknownCodePageOrEmptyInputLeavesOutput) {
    std::string bytes = "keep";
    std::u16string text = u"keep";
    for (int cp : {0, -1, -2, 12345, 54936}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(Cp().WideToMulti(cp, u"abc", bytes), 0);
        EXPECT_EQ(Cp().MultiToWide(cp, "abc", text), 0);
    }
    EXPECT_EQ(Cp().WideToMulti(1252, u"", bytes), 0);
    EXPECT_EQ(Cp().MultiToWide(1252, "", text), 0);
    EXPECT_EQ(bytes, "keep");
    EXPECT_TRUE(text == u"keep");
}

TEST(CodePages, KnownCodePages) {
    for (int cp : {65001, 874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 437, 850,
                   866, 10000, 20127, 20866, 21866, 28591, 28592, 28595, 28605}) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(Cp().IsValidCodePage(cp));
    }
    EXPECT_FALSE(Cp().IsValidCodePage(0));
    EXPECT_FALSE(Cp().IsValidCodePage(-1));
    EXPECT_FALSE(Cp().IsValidCodePage(50220));
}

struct DecodeCase {
    const char* name;
    int codePage;
    std::string bytes;
    std::u16string want;
};

// What Windows decodes where the code page leaves a byte or a pair undefined.
TEST(CodePages, UndefinedBytesDecodeAsWindowsDoes) {
    const DecodeCase kCases[] = {
        {"1253 undefined bytes to private use", 1253, "\xAA\xD2\xFF", u"\uF8F9\uF8FA\uF8FB"},
        {"874 undefined bytes to private use", 874, "\xDB\xFC", u"\uF8C1\uF8C5"},
        {"932 single bytes", 932, "\x80\xA0\xFD", u"\u0080\uF8F0\uF8F1"},
        {"932 undefined pair is one default character", 932, "\x85\x40x", u"\u30FBx"},
        {"932 lead byte before NUL", 932, std::string("\x81\0x", 3), std::u16string(u"\u30FB\0x", 3)},
        {"936 user-defined area", 936, "\xAA\xA1", u"\uE000"},
        {"950 user-defined area", 950, "\xFA\x40", u"\uE000"},
        {"949 user-defined area", 949, "\xC9\xA1", u"\uE000"},
        {"US-ASCII drops the high bit", 20127, "\xC1", u"A"},
        {"KOI8-U short u", 21866, "\xAE\xBE", u"\u045E\u040E"},
    };
    for (const DecodeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::u16string text;
        EXPECT_GT(Cp().MultiToWide(c.codePage, c.bytes, text), 0);
        EXPECT_TRUE(text == c.want);
        // What decodes encodes back to the same bytes (the NUL case aside).
        std::string back;
        if (c.bytes.find('\0') == std::string::npos && c.want.find(u'\u30FB') == std::u16string::npos) {
            EXPECT_GT(Cp().WideToMulti(c.codePage, text, back), 0);
            EXPECT_EQ(back, c.codePage == 20127 ? std::string("A") : c.bytes);
        }
    }
}

TEST(CodePages, DuplicatePairsEncodeAsWindowsDoes) {
    std::string bytes;
    ASSERT_EQ(Cp().WideToMulti(950, u"\u2550", bytes), 2);
    EXPECT_EQ(bytes, "\xF9\xF9");
    ASSERT_EQ(Cp().WideToMulti(932, u"\u2252", bytes), 2);  // NEC and IBM rows hold it too
    EXPECT_EQ(bytes, "\x81\xE0");
}

TEST(CodePages, LongTextIsConvertedWhole) {
    std::u16string text;
    for (int i = 0; i < 100000; ++i) text += u"\u65E5a";
    std::string bytes;
    ASSERT_EQ(Cp().WideToMulti(932, text, bytes), 300000);
    std::u16string back;
    ASSERT_EQ(Cp().MultiToWide(932, bytes, back), 200000);
    EXPECT_TRUE(back == text);
}

#ifndef _WIN32
TEST(CodePages, AnsiCodePageFromEnvironment) {
    ::unsetenv("MIREO_ANSI_CODEPAGE");
    EXPECT_EQ(Cp().AnsiCodePage(), 1252);
    ::setenv("MIREO_ANSI_CODEPAGE", "1251", 1);
    EXPECT_EQ(Cp().AnsiCodePage(), 1251);
    ::setenv("MIREO_ANSI_CODEPAGE", "12x", 1);
    EXPECT_EQ(Cp().AnsiCodePage(), 1252);
    ::unsetenv("MIREO_ANSI_CODEPAGE");
}
#endif

TEST(UserStrings, NumberedTexts) {
    EXPECT_STREQ(LoadUserString(138), "Supported encodings file was not found.\nOnly UTF-8 encoding will be available");
    EXPECT_STREQ(LoadUserString(134),
                 " file cannot be opened. \nTo skip file processing and continue, press OK.\nNote: the problem might "
                 "be related with non-latin symbols in the file name.\nPlease, try renaming the file");
    EXPECT_STREQ(LoadUserString(602), "Kelvo");
    EXPECT_STREQ(LoadUserString(112), "Keep original appointments (do not import duplicate items)");
    EXPECT_STREQ(LoadUserString(132), "");
    for (int id = 100; id <= 151; ++id) {
        if (id == 132 || id == 133) continue;
        SCOPED_TRACE(id);
        EXPECT_STRNE(LoadUserString(id), "");
    }
}

}  // namespace
}  // namespace mireo
