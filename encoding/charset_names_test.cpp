#include "encoding/charset_names.h"

#include <gtest/gtest.h>

#include "encoding/mireo_char_converter.h"

namespace mireo {
namespace {

TEST(CharsetNames, AliasesAsFilesSpellThem) {
    struct Case {
        const char* name;
        int codePage;
    };
    const Case cases[] = {
        {"utf8", 65001},        {"UTF_8", 65001},          {"unicode-1-1-utf-8", 65001}, {"Latin1", 28591},
        {"ISO 8859 1", 28591},  {"l1", 28591},             {"iso-8859-15", 28605},       {"LATIN-9", 28605},
        {"iso8859-2", 28592},   {"ISO_8859-5", 28595},     {"US-ASCII", 20127},          {"Windows-1250", 1250},
        {"cp1251", 1251},       {"WINDOWS_1258", 1258},    {"windows-874", 874},         {"TIS-620", 874},
        {"Shift-JIS", 932},     {"shift_jis", 932},        {"SJIS", 932},                {"Windows-31J", 932},
        {"MS_Kanji", 932},      {"GB2312", 936},           {"gbk", 936},                 {"EUC-KR", 949},
        {"KS_C_5601-1987", 949}, {"Big5", 950},            {"KOI8-R", 20866},            {"koi8-u", 21866},
        {"", kUnknownCodePage}, {"x-unheard-of", kUnknownCodePage}, {"utf-16", kUnknownCodePage},
        {"iso-8859-1x", kUnknownCodePage}, {"u t f 8", 65001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CodePageOfCharsetAlias(c.name), c.codePage);
    }
}

TEST(CharsetNames, TheListFirstThenItsCaseThenTheAliases) {
    // The list's own names win over the aliases: here "latin1" is a list name of 1252.
    const auto converter = MireoCharConverter::FromText(
        "UTF-8|UTF-8|65001\n"
        "Western European (Windows-1252)|windows-1252|1252\n"
        "Latin alias|latin1|1252\n"
        "Cyrillic (KOI8-R)|koi8-r|20866\n");
    struct Case {
        const char* name;
        int codePage;
    };
    const Case cases[] = {
        {"", kSystemCodePage},    {"UTF-8", 65001},         {"utf-8", 65001},     {"WINDOWS-1252", 1252},
        {"latin1", 1252},         {"LATIN1", 1252},         {"iso-8859-1", 28591}, {"KOI8-R", 20866},
        {"cp1251", 1251},         {"x-unknown", kUnknownCodePage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResolveCharset(*converter, c.name), c.codePage);
    }
}

}  // namespace
}  // namespace mireo
