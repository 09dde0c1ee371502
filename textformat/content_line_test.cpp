#include "textformat/content_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ascii.h"

namespace mireo {
namespace {

struct Got {
    std::string text, group, name, params, value;
    bool hasValue, truncated;
    int lineNo;
};

std::vector<Got> ReadLines(std::string_view text, ContentLineOptions options = {},
                           std::span<const std::string_view> implicitQp = {}) {
    CContentLineReader reader(options);
    reader.SetImplicitQuotedPrintable(implicitQp);
    reader.Open(text);
    std::vector<Got> lines;
    ContentLine line;
    while (reader.Next(line)) {
        lines.push_back({std::string(line.text), std::string(line.group), std::string(line.name),
                         std::string(line.params), std::string(line.value), line.hasValue, line.truncated,
                         line.lineNo});
    }
    EXPECT_EQ(reader.Position(), text.size());
    return lines;
}

TEST(ContentLines, SplitIntoGroupNameParametersAndValue) {
    struct Case {
        const char* line;
        const char* group;
        const char* name;
        const char* params;
        const char* value;
        bool hasValue;
    };
    const Case cases[] = {
        {"N:Lee;Ann", "", "N", "", "Lee;Ann", true},
        {"item1.tel;type=work:+1 555", "item1", "TEL", ";type=work", "+1 555", true},
        {"a.b.Email:x", "a", "B.EMAIL", "", "x", true},
        {"NOTE;X-A=\"a:b;c\":v:w", "", "NOTE", ";X-A=\"a:b;c\"", "v:w", true},
        {"ORGANIZER;CN=\"Lee, Ann\":mailto:a@b", "", "ORGANIZER", ";CN=\"Lee, Ann\"", "mailto:a@b", true},
        {":no name", "", "", "", "no name", true},
        {"TEL;WORK", "", "TEL", ";WORK", "", false},
        {"END:", "", "END", "", "", true},
        {"x-very-long-name-that-goes-on-and-on-past-sixty-four-bytes-of-name-text:1", "",
         "X-VERY-LONG-NAME-THAT-GOES-ON-AND-ON-PAST-SIXTY-FOUR-BYTES-OF-NA", "", "1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto lines = ReadLines(c.line);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, c.line);
        EXPECT_EQ(lines[0].group, c.group);
        EXPECT_EQ(lines[0].name, c.name);
        EXPECT_EQ(lines[0].params, c.params);
        EXPECT_EQ(lines[0].value, c.value);
        EXPECT_EQ(lines[0].hasValue, c.hasValue);
    }
}

TEST(ContentLines, UnfoldingAndLineEnds) {
    ContentLineOptions noTab;
    noTab.tabContinues = false;
    struct Case {
        const char* name;
        std::string input;
        ContentLineOptions options;
        std::vector<std::string> texts;
        std::vector<int> lineNos;
    };
    const Case cases[] = {
        {"CR LF, LF and lone CR", "A:1\r\nB:2\nC:3\rD:4", {}, {"A:1", "B:2", "C:3", "D:4"}, {1, 2, 3, 4}},
        {"LF CR is two line ends", "A:1\n\rB:2", {}, {"A:1", "B:2"}, {1, 3}},
        {"space continues, one space dropped", "NOTE:a\r\n  b\r\n c\r\nX:y", {}, {"NOTE:a bc", "X:y"}, {1, 4}},
        {"TAB continues", "NOTE:a\r\n\tb\r\nX:y", {}, {"NOTE:ab", "X:y"}, {1, 3}},
        {"TAB does not when told so", "NOTE:a\r\n\tB:b\r\n", noTab, {"NOTE:a", "B:b"}, {1, 2}},
        {"leading white space of a first line", "  \tA:1", {}, {"A:1"}, {1}},
        {"lines without ; or : passed over", "junk\r\n\r\nA:1\r\nmore junk", {}, {"A:1"}, {3}},
        {"a fold of a line without a name", "junk\r\n :x\r\nA:1", {}, {"junk:x", "A:1"}, {1, 3}},
        {"no line end at the end", "A:1\r\nB:2", {}, {"A:1", "B:2"}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lines = ReadLines(c.input, c.options);
        ASSERT_EQ(lines.size(), c.texts.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, c.texts[i]);
            EXPECT_EQ(lines[i].lineNo, c.lineNos[i]);
        }
    }
}

TEST(ContentLines, QuotedPrintableSoftBreaks) {
    static constexpr std::string_view kStops[] = {"END:VCARD"};
    static constexpr std::string_view kAdr[] = {"ADR"};
    ContentLineOptions soft;
    soft.quotedPrintableSoftBreaks = true;
    soft.softBreakStops = kStops;
    struct Case {
        const char* name;
        std::string input;
        bool softBreaks;
        bool implicitAdr;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"announced value continues as it is", "NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n b=\r\nc\r\nX:1", true, false,
         {"NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n b=\r\nc", "X:1"}},
        {"bare parameter, lower case", "note;quoted-printable:a=\nb", true, false,
         {"note;quoted-printable:a=\r\nb"}},
        {"an empty line continues too", "NOTE;QUOTED-PRINTABLE:a=\r\n\r\nX:1", true, false,
         {"NOTE;QUOTED-PRINTABLE:a=\r\n", "X:1"}},
        {"END line never taken", "NOTE;QUOTED-PRINTABLE:a=\r\nend:vcard \r\n", true, false,
         {"NOTE;QUOTED-PRINTABLE:a=", "end:vcard "}},
        {"a folded line stays a fold", "NOTE;QUOTED-PRINTABLE:a=\r\n END:VCARD\r\n", true, false,
         {"NOTE;QUOTED-PRINTABLE:a=END:VCARD"}},
        {"not quoted-printable: next line is its own", "NOTE:a=\r\nX:1", true, false, {"NOTE:a=", "X:1"}},
        {"the encoding inside quotes of the value does not count", "NOTE:\"QUOTED-PRINTABLE\"=\r\nX:1", true, false,
         {"NOTE:\"QUOTED-PRINTABLE\"=", "X:1"}},
        {"implicit name, group removed", "item2.ADR;HOME:;;a=\r\nb;c\r\nX:1", true, true,
         {"item2.ADR;HOME:;;a=\r\nb;c", "X:1"}},
        {"implicit name not set", "ADR;HOME:;;a=\r\nb;c", true, false, {"ADR;HOME:;;a=", "b;c"}},
        {"soft breaks off", "NOTE;QUOTED-PRINTABLE:a=\r\nX:1", false, false, {"NOTE;QUOTED-PRINTABLE:a=", "X:1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContentLineOptions options = soft;
        options.quotedPrintableSoftBreaks = c.softBreaks;
        const auto lines = ReadLines(c.input, options,
                                     c.implicitAdr ? std::span<const std::string_view>(kAdr)
                                                   : std::span<const std::string_view>());
        ASSERT_EQ(lines.size(), c.texts.size());
        for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].text, c.texts[i]) << i;
    }
}

TEST(ContentLines, LongLinesAreCutAndMarked) {
    ContentLineOptions options;
    options.maxLineBytes = 10;  // raised to 64
    const std::string longValue(100, 'x');
    const auto lines = ReadLines("NOTE:" + longValue + "\r\n " + longValue + "\r\nFN:after\r\n", options);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].truncated);
    EXPECT_EQ(lines[0].text, "NOTE:" + std::string(59, 'x'));
    EXPECT_FALSE(lines[1].truncated);
    EXPECT_EQ(lines[1].text, "FN:after");
    EXPECT_EQ(lines[1].lineNo, 3);
}

TEST(ContentParams, SplitQuoteAwareWhereAsked) {
    struct Case {
        const char* name;
        const char* params;
        ParamQuotes quotes;
        std::vector<std::vector<std::string>> want;  // text, name, value
    };
    const Case cases[] = {
        {"vCard 2.1 bare and named", ";WORK;FAX;CHARSET=UTF-8", ParamQuotes::kIgnore,
         {{"WORK", "", "WORK"}, {"FAX", "", "FAX"}, {"CHARSET=UTF-8", "CHARSET", "UTF-8"}}},
        {"empty parameters skipped, white space trimmed", ";; TYPE = home ;;", ParamQuotes::kIgnore,
         {{"TYPE = home", "TYPE", "home"}}},
        {"quoted semicolon kept together", ";SENT-BY=\"mailto:a;b\";CN=x", ParamQuotes::kRespect,
         {{"SENT-BY=\"mailto:a;b\"", "SENT-BY", "\"mailto:a;b\""}, {"CN=x", "CN", "x"}}},
        {"quoted semicolon split when quotes are ignored", ";SENT-BY=\"mailto:a;b\";CN=x", ParamQuotes::kIgnore,
         {{"SENT-BY=\"mailto:a", "SENT-BY", "\"mailto:a"}, {"b\"", "", "b\""}, {"CN=x", "CN", "x"}}},
        {"first equals sign splits", ";X=a=b;=c", ParamQuotes::kIgnore,
         {{"X=a=b", "X", "a=b"}, {"=c", "", "c"}}},
        {"unclosed quote takes the rest", ";A=\"x;B=y", ParamQuotes::kRespect, {{"A=\"x;B=y", "A", "\"x;B=y"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string_view rest = c.params;
        ContentParam p;
        std::vector<std::vector<std::string>> got;
        while (NextParam(rest, p, c.quotes)) got.push_back({std::string(p.text), std::string(p.name), std::string(p.value)});
        EXPECT_EQ(got, c.want);
    }
    EXPECT_EQ(Unquote("\"a;b\""), "a;b");
    EXPECT_EQ(Unquote("\"\""), "");
    EXPECT_EQ(Unquote("\"a"), "\"a");
}

// The line found after a logical line is kept for the next call; a seek back, a seek
// forward and a new text each read what is at their place, never that kept line.
TEST(ContentLines, SeeksAndNewTextsReadWhatIsThere) {
    ContentLineOptions options;
    options.quotedPrintableSoftBreaks = true;
    CContentLineReader reader(options);
    const std::string first = "A:1\r\n folded\r\nB:2\r\nC;ENCODING=QUOTED-PRINTABLE:x=\r\ny\r\nD:4\r\n";
    reader.Open(first);
    ContentLine line;
    std::vector<std::pair<std::size_t, int>> starts;
    std::vector<std::string> names, values;
    for (;;) {
        starts.emplace_back(reader.Position(), reader.PhysicalLines());
        if (!reader.Next(line)) break;
        names.emplace_back(line.name);
        values.emplace_back(line.value);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(values, (std::vector<std::string>{"1folded", "2", "x=\r\ny", "4"}));
    // From every start, backwards and forwards, after a read that kept a line.
    for (std::size_t from = 0; from < names.size(); ++from) {
        for (std::size_t to = 0; to < names.size(); ++to) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            reader.Seek(starts[from].first, starts[from].second);
            ASSERT_TRUE(reader.Next(line));
            EXPECT_EQ(line.name, names[from]);
            reader.Seek(starts[to].first, starts[to].second);
            ASSERT_TRUE(reader.Next(line));
            EXPECT_EQ(line.name, names[to]);
            EXPECT_EQ(line.value, values[to]);
            EXPECT_EQ(reader.PhysicalLines(), starts[to + 1].second);
        }
    }
    // A new text whose second line starts where the old one's did.
    reader.Open(first);
    ASSERT_TRUE(reader.Next(line));
    const std::string second = "E:5\r\n folded\r\nF:6\r\n";
    reader.Open(second);
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line.name, "E");
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line.name, "F");
    EXPECT_EQ(line.value, "6");
    EXPECT_FALSE(reader.Next(line));
}

// The block lines and BEGIN counts found by line starts alone are those the reader
// gives, whenever they are given: random texts of pieces that fold, soft-break, group,
// cut and hide BEGIN and END lines, in both dialects' options.
TEST(ContentLineStarts, AgreeWithTheReaderWhenTheyAnswer) {
    static constexpr std::string_view kStops[] = {"END:VEVENT", "END:VCARD"};
    static constexpr std::string_view kAdr[] = {"ADR"};
    const std::string pieces[] = {
        "BEGIN:VEVENT", "END:VEVENT", "begin:vevent", "a.Begin:VCARD", "BEGIN: VEVENT ", "BEGIN;X=1:VEVENT",
        "BEGIN:VEV", "BEGIN:VCA", "BEG", "IN:VEVENT", " ENT", " IN:VCARD", "\tRD", "\tBEGIN:VEVENT", " ", "",
        "END:VEVENT=", "quoted-printable.BEGIN:VEVENT=",
        "NOTE;ENCODING=QUOTED-PRINTABLE:a=", "NOTE:a=", "ADR:;;x=", "item1.ADR;HOME:=", "X;QUOTED-PRINTABLE:b",
        "=", "N;X=\"a:QUOTED-PRINTABLE\":c=", "DESCRIPTION:" + std::string(70, 'd') + "=", "BEGIN:VCARD" + std::string(60, 'x'),
    };
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    int scanned = 0, counted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const std::uint32_t lines = 1 + next(12);
        for (std::uint32_t i = 0; i < lines; ++i) {
            text += pieces[next(static_cast<std::uint32_t>(std::size(pieces)))];
            if (i + 1 < lines || next(2) == 0) text += ends[next(6) == 0 ? 1 + next(2) : 0];
        }
        ContentLineOptions options;
        options.quotedPrintableSoftBreaks = next(4) != 0;
        options.softBreakStops = kStops;
        options.tabContinues = next(4) != 0;
        options.maxLineBytes = next(2) == 0 ? 64 : std::size_t{1} << 20;
        SCOPED_TRACE(testing::Message() << "soft breaks " << options.quotedPrintableSoftBreaks << ", tab "
                                        << options.tabContinues << ", cap " << options.maxLineBytes << ": " << text);
        // The reader, ADR taking soft breaks as a 2.1 card's would: where the walk answers,
        // whether ADR takes them cannot matter.
        std::vector<std::pair<bool, std::string>> blocks;
        bool blockWithParams = false;
        std::size_t events = 0, cards = 0;
        for (const Got& line : ReadLines(text, options, kAdr)) {
            const bool begin = line.name == "BEGIN";
            if (!begin && line.name != "END") continue;
            if (!line.params.empty()) {
                blockWithParams = true;
                continue;
            }
            blocks.emplace_back(begin, std::string(ascii::Trim(line.value)));
            if (begin && ascii::StartsWithNoCase(line.value, "VEVENT")) ++events;
            if (begin && ascii::StartsWithNoCase(line.value, "VCARD")) ++cards;
        }
        std::vector<std::pair<bool, std::string>> seen;
        if (ScanBlockLines(text, options, [&](bool begin, std::string_view value) {
                seen.emplace_back(begin, std::string(value));
                return true;
            }, kAdr)) {
            EXPECT_FALSE(blockWithParams);
            EXPECT_EQ(seen, blocks);
            ++scanned;
        }
        const std::optional<std::size_t> eventCount = CountBeginLines(text, "VEVENT", options, kAdr);
        if (eventCount) {
            EXPECT_EQ(*eventCount, events);
            ++counted;
        }
        if (const auto cardCount = CountBeginLines(text, "VCARD", options, kAdr)) {
            EXPECT_EQ(*cardCount, cards);
        }
    }
    // Most texts, even of these pieces, are answered by their line starts.
    EXPECT_GT(scanned, 600);
    EXPECT_GT(counted, 1200);
}

// A visitor that says stop ends the scan there, and the scan says so.
TEST(ContentLineStarts, ScanStopsWhereTheVisitorSays) {
    const std::string text = "BEGIN:A\r\nBEGIN:B\r\nEND:B\r\nEND:A\r\n";
    for (std::size_t stopAt = 1; stopAt <= 4; ++stopAt) {
        std::size_t visits = 0;
        const bool whole = ScanBlockLines(text, {}, [&](bool, std::string_view) { return ++visits < stopAt; });
        EXPECT_FALSE(whole);
        EXPECT_EQ(visits, stopAt);
    }
    std::size_t visits = 0;
    EXPECT_TRUE(ScanBlockLines(text, {}, [&](bool, std::string_view) { return ++visits > 0; }));
    EXPECT_EQ(visits, 4u);
}

}  // namespace
}  // namespace mireo
