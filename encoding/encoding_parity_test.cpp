// The same sample texts must give the same bytes on Windows and on Linux, for every
// encoding the add-in ships, and decode back to the same text. This binary is built for
// both; the golden bytes are what the Windows converters write.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "encoding/mireo_char_converter.h"

namespace mireo {
namespace {

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

struct Sample {
    int codePage;
    std::u16string text;
    const char* golden;  // hex bytes
};

// Each text holds only characters its code page has, the euro sign where the page has
// one, and a CR LF that must pass through untouched.
const Sample kSamples[] = {
    {65001, u"Gr\u00FC\u00DFe \u20AC \u041F\u0440\u0438\u0432\u0435\u0442 \u65E5\u672C \U0001F600\r\n",
     "47 72 C3 BC C3 9F 65 20 E2 82 AC 20 D0 9F D1 80 D0 B8 D0 B2 D0 B5 D1 82 20 E6 97 A5 E6 9C AC 20 F0 9F 98 80 0D 0A"},
    {1252, u"Gr\u00FC\u00DFe, d\u00E9j\u00E0 vu \u2013 \u20AC5 \u201EZitat\u201C \u0152uvre \u00FF\r\n",
     "47 72 FC DF 65 2C 20 64 E9 6A E0 20 76 75 20 96 20 80 35 20 84 5A 69 74 61 74 93 20 8C 75 76 72 65 20 FF 0D 0A"},
    {1250, u"P\u0159\u00EDli\u0161 \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148 \u00FAp\u011Bl \u010F\u00E1belsk\u00E9 \u00F3dy \u20AC\r\n",
     "50 F8 ED 6C 69 9A 20 9E 6C 75 9D 6F 75 E8 6B FD 20 6B F9 F2 20 FA 70 EC 6C 20 EF E1 62 65 6C 73 6B E9 20 F3 64 79 20 80 0D 0A"},
    {1251, u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 \u042D\u0422\u0418\u0425 \u0444\u0440\u0430\u043D\u0446\u0443\u0437\u0441\u043A\u0438\u0445 \u0431\u0443\u043B\u043E\u043A \u0404\u0407\u0490 \u2116 \u20AC\r\n",
     "D1 FA E5 F8 FC 20 E6 E5 20 E5 F9 B8 20 DD D2 C8 D5 20 F4 F0 E0 ED F6 F3 E7 F1 EA E8 F5 20 E1 F3 EB EE EA 20 AA AF A5 20 B9 20 88 0D 0A"},
    {1253, u"\u039E\u03B5\u03C3\u03BA\u03B5\u03C0\u03AC\u03B6\u03C9 \u03C4\u03B7\u03BD \u03C8\u03C5\u03C7\u03BF\u03C6\u03B8\u03CC\u03C1\u03B1 \u0386\u0389\u038C \u20AC\r\n",
     "CE E5 F3 EA E5 F0 DC E6 F9 20 F4 E7 ED 20 F8 F5 F7 EF F6 E8 FC F1 E1 20 A2 B9 BC 20 80 0D 0A"},
    {1254, u"Pijamal\u0131 hasta ya\u011F\u0131z \u015Fof\u00F6re \u00E7abucak g\u00FCvendi \u0130\u011E\u015E \u20AC\r\n",
     "50 69 6A 61 6D 61 6C FD 20 68 61 73 74 61 20 79 61 F0 FD 7A 20 FE 6F 66 F6 72 65 20 E7 61 62 75 63 61 6B 20 67 FC 76 65 6E 64 69 20 DD D0 DE 20 80 0D 0A"},
    {1255, u"\u05D3\u05D2 \u05E1\u05E7\u05E8\u05DF \u05E9\u05D8 \u05D1\u05D9\u05DD \u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD \u20AA \u20AC\r\n",
     "E3 E2 20 F1 F7 F8 EF 20 F9 E8 20 E1 E9 ED 20 F9 C8 D1 EC E5 C9 ED 20 A4 20 80 0D 0A"},
    {1256, u"\u0635\u0650\u0641 \u062E\u0644\u0642\u064E \u062E\u0648\u062F\u0650 \u0643\u0645\u062B\u0644\u0650 \u0627\u0644\u0634\u0645\u0633\u0650 \u067E\u0686\u0698\u06AF \u060C \u20AC\r\n",
     "D5 F6 DD 20 CE E1 DE F3 20 CE E6 CF F6 20 DF E3 CB E1 F6 20 C7 E1 D4 E3 D3 F6 20 81 8D 8E 90 20 A1 20 80 0D 0A"},
    {1257, u"\u012Elinkdama \u0161paga pragr\u0119\u017E\u0117 \u2014 Gl\u0101\u017E\u0161\u0137\u016B\u0146u r\u016B\u0137\u012B\u0161i \u20AC\r\n",
     "C1 6C 69 6E 6B 64 61 6D 61 20 F0 70 61 67 61 20 70 72 61 67 72 E6 FE EB 20 97 20 47 6C E2 FE F0 ED FB F2 75 20 72 FB ED EE F0 69 20 80 0D 0A"},
    // Vietnamese as Windows-1258 holds it: base letters with combining tone marks.
    {1258, u"Ti\u00EA\u0301ng Vi\u00EA\u0323t \u0111\u01B0\u01A1\u0300ng \u0110\u01AF\u01A0 \u20AB \u20AC\r\n",
     "54 69 EA EC 6E 67 20 56 69 EA F2 74 20 F0 FD F5 CC 6E 67 20 D0 DD D5 20 FE 20 80 0D 0A"},
    {874, u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22 \u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35 \u0E3F \u20AC\r\n",
     "C0 D2 C9 D2 E4 B7 C2 20 CA C7 D1 CA B4 D5 20 DF 20 80 0D 0A"},
    // Kanji, kana, full-width forms and half-width katakana.
    {932, u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u3001\uFF76\uFF80\uFF76\uFF85\uFF08\u534A\u89D2\uFF09\uFFE5\u2460\r\n",
     "93 FA 96 7B 8C EA 82 CC 83 65 83 4C 83 58 83 67 81 41 B6 C0 B6 C5 81 69 94 BC 8A 70 81 6A 81 8F 87 40 0D 0A"},
    {936, u"\u7B80\u4F53\u4E2D\u6587\u6D4B\u8BD5\uFF0C\u4F60\u597D\uFF01\u20AC\r\n",
     "BC F2 CC E5 D6 D0 CE C4 B2 E2 CA D4 A3 AC C4 E3 BA C3 A3 A1 80 0D 0A"},
    {949, u"\uD55C\uAD6D\uC5B4 \uD14C\uC2A4\uD2B8 \uC548\uB155\uD558\uC138\uC694 \u6F22\u5B57\r\n",
     "C7 D1 B1 B9 BE EE 20 C5 D7 BD BA C6 AE 20 BE C8 B3 E7 C7 CF BC BC BF E4 20 F9 D3 ED AE 0D 0A"},
    {950, u"\u7E41\u9AD4\u4E2D\u6587\u6E2C\u8A66\uFF0C\u4F60\u597D\uFF01\u2550\r\n",
     "C1 63 C5 E9 A4 A4 A4 E5 B4 FA B8 D5 A1 41 A7 41 A6 6E A1 49 F9 F9 0D 0A"},
    {20866, u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 \u0401\u0416 \u2500\u2502\r\n",
     "F3 DF C5 DB D8 20 D6 C5 20 C5 DD A3 20 B3 F6 20 80 81 0D 0A"},
    {28591, u"Gr\u00FC\u00DFe, d\u00E9j\u00E0 vu \u00BF\u00A1 \u00A9 \u00BD \u00FF\r\n",
     "47 72 FC DF 65 2C 20 64 E9 6A E0 20 76 75 20 BF A1 20 A9 20 BD 20 FF 0D 0A"},
    {28592, u"P\u0159\u00EDli\u0161 \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148 \u00FAp\u011Bl \u0141\u00F3d\u017A\r\n",
     "50 F8 ED 6C 69 B9 20 BE 6C 75 BB 6F 75 E8 6B FD 20 6B F9 F2 20 FA 70 EC 6C 20 A3 F3 64 BC 0D 0A"},
    {28595, u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 \u0401\u0404 \u2116\r\n",
     "C1 EA D5 E8 EC 20 D6 D5 20 D5 E9 F1 20 A1 A4 20 F0 0D 0A"},
    {28605, u"Gr\u00FC\u00DFe \u20AC \u0152uvre \u0160ar\u017Ee \u0178\r\n",
     "47 72 FC DF 65 20 A4 20 BC 75 76 72 65 20 A6 61 72 B8 65 20 BE 0D 0A"},
};

std::string ShippedListText() {
    // Beside the test program (the build copies it there), else in the source tree.
    std::string source = __FILE__;
    source = source.substr(0, source.find_last_of("/\\") + 1) + "../resources/supportedEncodings.txt";
    for (const std::string& path : {std::string("supportedEncodings.txt"), source}) {
        std::ifstream in(path, std::ios::binary);
        if (in) return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return {};
}

TEST(EncodingParity, ShippedListConvertsGoldenSamples) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText(ShippedListText()));
    ASSERT_EQ(list.begin()->codePage, 65001);
    MireoCharConverter conv(std::move(list));

    std::map<int, const Sample*> byCodePage;
    for (const Sample& s : kSamples) byCodePage[s.codePage] = &s;
    for (const EncodingRecord& r : conv.Encodings()) {
        SCOPED_TRACE(r.displayName);
        const auto it = byCodePage.find(r.codePage);
        ASSERT_NE(it, byCodePage.end()) << "no sample for code page " << r.codePage;
        const Sample& s = *it->second;
        std::string bytes;
        ASSERT_GT(conv.EncodeByCharset(r.charsetName, s.text, bytes), 0);
        EXPECT_EQ(Hex(bytes), s.golden) << "{" << s.codePage << ", ..., \"" << Hex(bytes) << "\"}";
        EXPECT_EQ(bytes.find('?'), std::string::npos) << "the sample has a character the page lacks";
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        std::u16string back;
        ASSERT_EQ(conv.DecodeText(r.codePage, bytes, back), static_cast<int>(s.text.size()));
        EXPECT_TRUE(back == s.text);
        byCodePage.erase(it);
    }
}

TEST(EncodingParity, WhatTheCodePageLacksAndWhatIsInvalid) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText(ShippedListText()));
    MireoCharConverter conv(std::move(list));
    struct EncodeCase {
        const char* name;
        int codePage;
        std::u16string text;
        const char* golden;
    };
    const EncodeCase kEncode[] = {
        {"kanji in 1252", 1252, u"a\u65E5b", "61 3F 62"},
        {"Cyrillic in 1252", 1252, u"\u0416", "3F"},
        {"Greek in 1251", 1251, u"\u03A9", "3F"},
        {"euro in ISO-8859-1", 28591, u"\u20AC", "3F"},
        {"Hangul in 932", 932, u"\uD55C", "3F"},
        {"emoji in 1252: one per UTF-16 unit", 1252, u"\U0001F600", "3F 3F"},
        {"lone surrogate in UTF-8", 65001, std::u16string(u"a\xD800" u"b"), "61 EF BF BD 62"},
        {"no BOM written", 65001, u"\uFEFFx", "EF BB BF 78"},
        {"lone CR and LF untouched", 1252, u"a\rb\nc", "61 0D 62 0A 63"},
    };
    for (const EncodeCase& c : kEncode) {
        SCOPED_TRACE(c.name);
        std::string bytes;
        ASSERT_GT(conv.Encode(c.codePage, c.text, bytes), 0);
        EXPECT_EQ(Hex(bytes), c.golden);
    }
    struct DecodeCase {
        const char* name;
        int codePage;
        std::string bytes;
        std::u16string want;
    };
    const DecodeCase kDecode[] = {
        {"invalid UTF-8 byte", 65001, "a\xFF" "b", u"a\uFFFDb"},
        {"lone continuation byte", 65001, "a\x80" "b", u"a\uFFFDb"},
        {"truncated sequence inside", 65001, "a\xE6\x97" "b", u"a\uFFFDb"},
        {"truncated sequence at the end", 65001, "a\xE6\x97", u"a\uFFFD"},
        {"overlong form", 65001, "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"BOM kept", 65001, "\xEF\xBB\xBFx", u"\uFEFFx"},
        {"undefined bytes of 1252", 1252, "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {"lead byte at the end of 932", 932, "a\x82", u"a\u30FB"},
        {"half-width katakana", 932, "\xB1\xDD", u"\uFF71\uFF9D"},
        {"1258 does not compose", 1258, "e\xEC", u"e\u0301"},
    };
    for (const DecodeCase& c : kDecode) {
        SCOPED_TRACE(c.name);
        std::u16string text;
        ASSERT_GT(conv.DecodeText(c.codePage, c.bytes, text), 0);
        EXPECT_TRUE(text == c.want);
    }
    // And the undefined bytes go back to the same bytes.
    std::string bytes;
    ASSERT_EQ(conv.Encode(1252, u"\u0081\u008D\u008F\u0090\u009D", bytes), 5);
    EXPECT_EQ(Hex(bytes), "81 8D 8F 90 9D");
}

}  // namespace
}  // namespace mireo
