#include "helperlib/libkelvo_common.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvo {
namespace {

const LocalTime kTime{2007, 3, 5, 9, 4, 0};

TEST(LogLine, FieldsAreTabSeparated) {
    EXPECT_EQ(FormatLogLine(kTime, 3, static_cast<std::int32_t>(0x80004005u), "CvCalExport::FilterItem",
                            "filter.LabelMask = 0", "\n"),
              "2007-03-05T09:04:00\terror\t0x80004005\tCvCalExport::FilterItem\tfilter.LabelMask = 0\n");
}

TEST(LogLine, OneCallIsOneLine) {
    struct Case {
        const char* name;
        const char* function;
        const char* message;
        const char* want;  // the part after the code
    };
    const Case cases[] = {
        {"tab in the message stays", "CvCalImport", "Unknown version\tin line(VERSION:3.0)",
         "CvCalImport\tUnknown version\tin line(VERSION:3.0)"},
        {"line breaks escaped", "CreateExceptions", "a\r\nb\nc", "CreateExceptions\ta\\r\\nb\\nc"},
        {"breaks in the source become spaces", "Bad\tSource\n", "m", "Bad Source \tm"},
        {"null texts", nullptr, nullptr, "\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string line = FormatLogLine(kTime, 1, 0, c.function, c.message, "\r\n");
        const std::string head = "2007-03-05T09:04:00\ttrace\t0x00000000\t";
        ASSERT_EQ(line.rfind(head, 0), 0u) << line;
        EXPECT_EQ(line.substr(head.size()), std::string(c.want) + "\r\n");
    }
}

TEST(LogLine, LevelNames) {
    EXPECT_EQ(LevelName(1), "trace");
    EXPECT_EQ(LevelName(2), "warning");
    EXPECT_EQ(LevelName(3), "error");
    EXPECT_EQ(LevelName(0), "0");
    EXPECT_EQ(LevelName(-5), "-5");
}

TEST(HelpTopic, OnlyBareFileNames) {
    struct Case {
        const char* topic;
        bool safe;
    };
    const Case cases[] = {
        {"Features.htm", true},
        {"Item_Skipping_during_Import_Export.htm", true},
        {"../x.htm", false},
        {"..\\x.htm", false},
        {"..", false},
        {"a..htm", false},
        {"help/Features.htm", false},
        {"/etc/passwd", false},
        {"C:x.htm", false},
        {"x.htm:stream", false},
        {"x\n.htm", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.topic != nullptr ? c.topic : "(null)");
        EXPECT_EQ(IsSafeTopic(c.topic), c.safe);
    }
}

TEST(HelpText, RendersBlocksListsAndEntities) {
    const std::string html =
        "<!DOCTYPE html><html><head><title>T</title><style>p{color:red}</style></head>\n"
        "<body><h1>Export  contacts</h1>\n<p>Choose a <b>folder</b>&nbsp;&amp; a format:</p>\n"
        "<ul><li>vCard 2.1</li>\n<li>vCard&#160;3.0 &#x2014; newer</li></ul><!-- note -->"
        "<p>Line one<br>Line two &lt;ok&gt; &unknown; AT&amp;T</p><script>alert(1)</script></body></html>";
    EXPECT_EQ(HtmlToText(html),
              "Export contacts\n\n"
              "Choose a folder & a format:\n\n"
              "  - vCard 2.1\n"
              "  - vCard\xC2\xA0" "3.0 \xE2\x80\x94 newer\n\n"
              "Line one\nLine two <ok> &unknown; AT&T\n");
}

TEST(HelpText, HostileInputEndsCleanly) {
    const std::string cases[] = {
        "<", "<p", "<!-- never closed", "<head>never closed", "&#", "&#xFFFFFFFFFF;", "&#0;", "&#xD800;",
        std::string(100000, '<'), std::string(100000, '&'), std::string("<p>\0x</p>", 9),
    };
    for (const std::string& c : cases) {
        const std::string text = HtmlToText(c);
        EXPECT_LE(text.size(), c.size() * 3 + 2);
    }
    EXPECT_EQ(HtmlToText("&#0;"), "\xEF\xBF\xBD\n");
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

TEST(HelpText, WrapKeepsIndentOfListItems) {
    struct Case {
        const char* name;
        const char* text;
        std::size_t width;
        const char* want;
    };
    const Case cases[] = {
        {"short lines stay", "one two\nthree\n", 20, "one two\nthree\n"},
        {"wrap at the last space that fits", "aaa bbb ccc ddd", 8, "aaa bbb\nccc ddd"},
        {"list item continues under its text", "  - aaa bbb ccc", 10, "  - aaa\n    bbb\n    ccc"},
        {"long word stays whole", "x abcdefghijkl y", 5, "x\nabcdefghijkl\ny"},
        {"empty", "", 10, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WrapText(c.text, c.width), c.want);
    }
}

}  // namespace
}  // namespace kelvo
