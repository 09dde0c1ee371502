#include "encoding/supported_encodings_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mireo {
namespace {

std::vector<std::string> Lines(const SupportedEncodingsList& list) {
    std::vector<std::string> out;
    for (const EncodingRecord& r : list) out.push_back(r.displayName + "/" + r.charsetName + "/" + std::to_string(r.codePage));
    return out;
}

const std::vector<std::string> kUtf8Only = {"UTF-8/UTF-8/65001"};

struct LoadCase {
    const char* name;
    std::string text;
    bool loaded;
    std::vector<std::string> records;
};

TEST(SupportedEncodingsFile, LoadingRules) {
    const LoadCase kCases[] = {
        {"two entries in file order", "Western European|windows-1252|1252\r\nCyrillic|windows-1251|1251\r\n", true,
         {"Western European/windows-1252/1252", "Cyrillic/windows-1251/1251"}},
        {"last line without break", "A|a|1252\r\nB|b|1251", true, {"A/a/1252", "B/b/1251"}},
        {"any run of CR and LF ends a line", "A|a|1252\n\n\r\r\nB|b|1251\r", true, {"A/a/1252", "B/b/1251"}},
        {"runs of separators are one", "||A|||a||1252|", true, {"A/a/1252"}},
        {"fields keep their spaces", " Western | windows-1252 |1252", true, {" Western / windows-1252 /1252"}},
        {"fourth field ignored", "A|a|1252|extra|more", true, {"A/a/1252"}},
        {"trailing junk after the number kept", "A|a|65001abc", true, {"A/a/65001"}},
        {"leading blanks and plus sign", "A|a| +1251", true, {"A/a/1251"}},
        {"not a number rejects the file", "A|a|1252\r\nB|b|cyrillic\r\n", false, kUtf8Only},
        {"zero rejects the file", "A|a|0", false, kUtf8Only},
        {"system code page value rejects the file", "A|a|1252\r\nB|b|-1", false, kUtf8Only},
        {"unknown code page value rejects the file", "A|a|-2", false, kUtf8Only},
        {"two fields reject the file", "A|a|1252\r\nB|b\r\nC|c|1250", false, kUtf8Only},
        {"separators only reject the file", "A|a|1252\r\n|||\r\n", false, kUtf8Only},
        {"empty text", "", false, kUtf8Only},
        {"leading line break empties the list", "\r\nA|a|1252\r\n", false, kUtf8Only},
        {"huge number saturates", "A|a|99999999999999999999", true, {"A/a/2147483647"}},
        {"huge negative number is bad", "A|a|-99999999999999999999", false, kUtf8Only},
        {"NUL inside a field is kept", std::string("A\0B|a|1252", 10), true, {std::string("A\0B/a/1252", 10)}},
    };
    for (const LoadCase& c : kCases) {
        SCOPED_TRACE(c.name);
        SupportedEncodingsList list;
        EXPECT_EQ(list.LoadFromText(c.text), c.loaded);
        EXPECT_EQ(Lines(list), c.records);
    }
}

TEST(SupportedEncodingsFile, ReloadReplacesRecords) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText("A|a|1252\r\nB|b|1251"));
    ASSERT_TRUE(list.LoadFromText("C|c|1250"));
    EXPECT_EQ(Lines(list), std::vector<std::string>{"C/c/1250"});
}

TEST(SupportedEncodingsFile, CodePageFieldReadLikeStrtol) {
    struct Case {
        const char* field;
        int want;
    };
    const Case kCases[] = {{"1252", 1252},  {"  \t1252", 1252}, {"-5", -5},   {"x1", 0},
                           {"", 0},         {"+", 0},           {"12 34", 12}, {"2147483648", 2147483647},
                           {"-2147483648", -2147483647 - 1}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(ParseCodePageField(c.field), c.want);
    }
}

TEST(SupportedEncodingsFile, HostileTextStaysLinear) {
    // A megabyte of separators and breaks: one pass, no record, a rejected file.
    std::string text(1 << 20, '|');
    for (std::size_t i = 0; i < text.size(); i += 7) text[i] = '\n';
    text[0] = 'x';
    SupportedEncodingsList list;
    EXPECT_FALSE(list.LoadFromText(text));
    EXPECT_EQ(Lines(list), kUtf8Only);
}

}  // namespace
}  // namespace mireo
