#include "encoding/mireo_char_converter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace mireo {
namespace {

struct ShownBox {
    std::string caption, text;
    MbIcon icon;
    MbButtons buttons;
};

class CRecordingMessageBox : public IMessageBox {
public:
    MbResult Show(const std::string& caption, const std::string& text, MbIcon icon, MbButtons buttons) override {
        shown.push_back({caption, text, icon, buttons});
        return MbResult::Ok;
    }
    std::vector<ShownBox> shown;
};

// A converter whose code pages are scripted: a fixed ANSI code page and conversions
// that fail on request, so the result rules can be checked without a real code page.
class CFakeCodePages : public ICodePages {
public:
    int AnsiCodePage() const override { return 1251; }
    int WideToMulti(int codePage, std::u16string_view text, std::string& out) const override {
        lastCodePage = codePage;
        if (text.empty() || codePage == 4242) return 0;
        out.assign(text.size(), 'x');
        return static_cast<int>(text.size());
    }
    int MultiToWide(int codePage, std::string_view bytes, std::u16string& out) const override {
        lastCodePage = codePage;
        if (bytes.empty() || codePage == 4242) return 0;
        out.assign(bytes.size(), u'y');
        return static_cast<int>(bytes.size());
    }
    bool IsValidCodePage(int codePage) const override { return codePage != 4242; }
    mutable int lastCodePage = 0;
};

class CharConverter : public ::testing::Test {
protected:
    void SetUp() override { m_previous = SetMessageBox(&m_box); }
    void TearDown() override { SetMessageBox(m_previous); }

    CRecordingMessageBox m_box;
    IMessageBox* m_previous = nullptr;
};

constexpr char kTwoEntries[] = "Western European|windows-1252|1252\r\nCyrillic|windows-1251|1251\r\n";
constexpr char kUtf8Warning[] = "Supported encodings file was not found.\nOnly UTF-8 encoding will be available";

TEST_F(CharConverter, TwoEntryFileKeepsOrderAndCurrentCharset) {
    auto conv = MireoCharConverter::FromText(kTwoEntries);
    std::vector<std::string> names;
    for (const EncodingRecord& r : conv->Encodings()) names.push_back(r.displayName);
    EXPECT_EQ(names, (std::vector<std::string>{"Western European", "Cyrillic"}));
    EXPECT_EQ(conv->CurrentCodePage(), kSystemCodePage);
    EXPECT_EQ(conv->CurrentCharsetName(), "");
    EXPECT_EQ(conv->SetCurrentByDisplayName("Cyrillic"), 1251);
    EXPECT_EQ(conv->CurrentCharsetName(), "windows-1251");
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(CharConverter, RejectedOrMissingFileLeavesUtf8AndWarns) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case kCases[] = {
        {"code page not a number", "Western European|windows-1252|1252\r\nCyrillic|windows-1251|cyr\r\n"},
        {"empty file", ""},
        {"leading line break", "\r\nWestern European|windows-1252|1252\r\n"},
        {"negative code page", "System|sys|-1\r\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        m_box.shown.clear();
        auto conv = MireoCharConverter::FromText(c.text);
        ASSERT_EQ(conv->Encodings().Size(), 1u);
        EXPECT_EQ(conv->Encodings().begin()->charsetName, "UTF-8");
        EXPECT_EQ(conv->CodePageOfDisplayName("UTF-8"), 65001);
        EXPECT_EQ(conv->CodePageOfDisplayName("Western European"), kUnknownCodePage);
        ASSERT_EQ(m_box.shown.size(), 1u);
        EXPECT_EQ(m_box.shown[0].caption, "Mireo");
        EXPECT_EQ(m_box.shown[0].text, kUtf8Warning);
        EXPECT_EQ(m_box.shown[0].icon, MbIcon::Exclamation);
        EXPECT_EQ(m_box.shown[0].buttons, MbButtons::Ok);
    }
}

TEST_F(CharConverter, MissingFileWarnsOnce) {
    auto conv = MireoCharConverter::FromFile("no-such-folder/supportedEncodings.txt");
    EXPECT_EQ(conv->CodePageOfCharset("UTF-8"), 65001);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, kUtf8Warning);
}

TEST_F(CharConverter, ReadsFileFromDisk) {
    const std::string path = ::testing::TempDir() + "mireo_encodings_test.txt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(kTwoEntries, f);
    std::fclose(f);
    auto conv = MireoCharConverter::FromFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(conv->CodePageOfCharset("windows-1251"), 1251);
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(CharConverter, NameLookupsAreByteExact) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText("UTF-8|UTF-8|65001\r\n Padded |padded |1250\r\nCyrillic|windows-1251|1251"));
    MireoCharConverter conv(std::move(list));
    struct Case {
        const char* name;
        int charset;
        int display;
    };
    const Case kCases[] = {
        {"UTF-8", 65001, 65001},
        {"utf-8", kUnknownCodePage, kUnknownCodePage},
        {"", kSystemCodePage, kSystemCodePage},
        {"padded ", 1250, kUnknownCodePage},
        {"padded", kUnknownCodePage, kUnknownCodePage},
        {" Padded ", kUnknownCodePage, 1250},
        {"Cyrillic", kUnknownCodePage, 1251},
        {"windows-1251", 1251, kUnknownCodePage},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string("'") + c.name + "'");
        EXPECT_EQ(conv.CodePageOfCharset(c.name), c.charset);
        EXPECT_EQ(conv.CodePageOfDisplayName(c.name), c.display);
    }
    EXPECT_EQ(conv.CharsetName(kSystemCodePage), "");
    EXPECT_EQ(conv.CharsetName(kUnknownCodePage), "");
    EXPECT_EQ(conv.CharsetName(1252), "");
    EXPECT_EQ(conv.CharsetName(1250), "padded ");
    EXPECT_TRUE(conv.IsEmptyName(""));
    EXPECT_FALSE(conv.IsEmptyName(" "));
}

TEST_F(CharConverter, LaterRecordWinsSharedKeys) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText("Latin|windows-1252|1252\r\nLatin|iso|28591\r\nOther|windows-1252|1250"));
    MireoCharConverter conv(std::move(list));
    EXPECT_EQ(conv.CodePageOfDisplayName("Latin"), 28591);
    EXPECT_EQ(conv.CodePageOfCharset("windows-1252"), 1250);
    EXPECT_EQ(conv.CharsetName(1252), "windows-1252");
    EXPECT_EQ(conv.Encodings().Size(), 3u);  // the list keeps every record
}

TEST_F(CharConverter, SettingAnUnknownNameGivesUnknownCodePage) {
    auto conv = MireoCharConverter::FromText(kTwoEntries);
    EXPECT_EQ(conv->SetCurrentByCharsetName("windows-1250"), kUnknownCodePage);
    EXPECT_EQ(conv->CurrentCharsetName(), "");
    EXPECT_EQ(conv->SetCurrentByCharsetName(""), kSystemCodePage);
    EXPECT_EQ(conv->SetCurrentByCharsetName("windows-1252"), 1252);
    EXPECT_EQ(conv->CurrentCodePage(), 1252);
}

TEST_F(CharConverter, ResultRulesOfEncodeAndDecode) {
    SupportedEncodingsList list;
    ASSERT_TRUE(list.LoadFromText("Western|windows-1252|1252\r\nBroken|broken|4242"));
    CFakeCodePages fake;
    MireoCharConverter conv(std::move(list), fake);

    std::string out = "previous";
    EXPECT_EQ(conv.Encode(kUnknownCodePage, u"abc", out), kConversionFailed);
    EXPECT_EQ(out, "previous");
    EXPECT_EQ(conv.Encode(1252, u"", out), kConversionFailed);
    EXPECT_EQ(out, "previous");
    EXPECT_EQ(conv.EncodeByCharset("broken", u"abc", out), kConversionFailed);
    EXPECT_EQ(out, "previous");
    EXPECT_EQ(conv.EncodeByCharset("unknown", u"abc", out), kConversionFailed);
    EXPECT_EQ(out, "previous");
    EXPECT_EQ(conv.EncodeByCharset("windows-1252", u"abc", out), 3);
    EXPECT_EQ(fake.lastCodePage, 1252);
    EXPECT_EQ(out, "xxx");
    EXPECT_EQ(conv.EncodeByCharset("", u"ab", out), 2);
    EXPECT_EQ(fake.lastCodePage, 1251);  // the ANSI code page

    std::u16string wide = u"previous";
    EXPECT_EQ(conv.Decode(kUnknownCodePage, "abc", wide), kDecodeResult);
    EXPECT_EQ(wide, u"previous");
    EXPECT_EQ(conv.DecodeByCharset("broken", "abc", wide), kDecodeResult);
    EXPECT_EQ(wide, u"previous");
    EXPECT_EQ(conv.DecodeByCharset("windows-1252", "abc", wide), kDecodeResult);
    EXPECT_EQ(wide, u"yyy");
    EXPECT_EQ(conv.DecodeText(kSystemCodePage, "ab", wide), 2);
    EXPECT_EQ(fake.lastCodePage, 1251);
    EXPECT_EQ(conv.DecodeText(1252, "", wide), kConversionFailed);
    EXPECT_EQ(conv.DecodeText(kUnknownCodePage, "a", wide), kConversionFailed);
}

TEST_F(CharConverter, EmptyStringEncodesToNothing) {
    auto conv = MireoCharConverter::FromText("UTF-8|UTF-8|65001");
    std::string out;
    EXPECT_EQ(conv->EncodeByCharset("UTF-8", u"", out), -2);
    EXPECT_TRUE(out.empty());
}

TEST_F(CharConverter, SharedConverterCanBeReplacedByTests) {
    auto mine = MireoCharConverter::FromText(kTwoEntries);
    MireoCharConverter* before = SetSharedCharConverter(mine.get());
    EXPECT_EQ(&SharedCharConverter(), mine.get());
    SharedCharConverter().SetCurrentByDisplayName("Cyrillic");
    EXPECT_EQ(mine->CurrentCharsetName(), "windows-1251");
    EXPECT_EQ(SetSharedCharConverter(before), mine.get());
}

TEST_F(CharConverter, SharedConverterIsCreatedOnceFromTheModuleFolder) {
    DestroySharedCharConverter();
    MireoCharConverter& first = SharedCharConverter();
    CreateSharedCharConverter();
    EXPECT_EQ(&SharedCharConverter(), &first);
    // The test binaries run beside the shipped list.
    EXPECT_EQ(first.Encodings().begin()->displayName, "UTF-8");
    EXPECT_GT(first.Encodings().Size(), 1u);
    EXPECT_TRUE(m_box.shown.empty());
    DestroySharedCharConverter();
}

}  // namespace
}  // namespace mireo
