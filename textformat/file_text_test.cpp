#include "textformat/file_text.h"

#include <gtest/gtest.h>

#include <string>

namespace mireo {
namespace {

// The word-at-a-time scan must see a high byte wherever it sits: in a full word, in the
// tail after the last full word, first or last.
TEST(FileText, IsAsciiSeesAHighByteAtEveryPlace) {
    EXPECT_TRUE(IsAscii(""));
    for (std::size_t size = 1; size <= 19; ++size) {
        const std::string plain(size, '~');
        EXPECT_TRUE(IsAscii(plain)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            std::string text = plain;
            text[at] = '\x80';
            EXPECT_FALSE(IsAscii(text)) << size << " at " << at;
            text[at] = '\xFF';
            EXPECT_FALSE(IsAscii(text)) << size << " at " << at;
        }
    }
    EXPECT_TRUE(IsAscii(std::string("a\0b\x7F", 4)));
}

// What a value without CHARSET is taken for: UTF-8 only when it is well formed and not
// plain ASCII.
TEST(FileText, Utf8WithNonAsciiOnlyForWellFormedUtf8) {
    struct Case {
        std::string bytes;
        bool want;
    };
    const Case cases[] = {
        {"plain", false},
        {"caf\xC3\xA9", true},
        {"caf\xE9", false},            // a single-byte code page's e-acute
        {"\xE2\x82\xAC", true},        // the euro sign
        {"\xE2\x82", false},           // cut short
        {"\xC0\xAF", false},           // overlong
        {"\xED\xA0\x80", false},       // a surrogate
        {"\xF4\x90\x80\x80", false},   // beyond U+10FFFF
        {"\xF0\x9F\x98\x80", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsUtf8WithNonAscii(c.bytes), c.want) << c.bytes;
}

}  // namespace
}  // namespace mireo
