#include "hoststore/restrict_filter.h"

#include <gtest/gtest.h>

#include <map>

#include "hoststore/text_fold.h"
#include "platform/locale_info.h"

namespace mireo {
namespace {

// One item as a property table for the evaluator.
struct FakeItem {
    std::map<std::string, Value> props;
    PropertyReader Reader() const {
        return [this](const HostProperty& p) {
            auto it = props.find(p.name);
            return it == props.end() ? DefaultValue(p) : it->second;
        };
    }
};

FakeItem Appointment(const std::u16string& subject, OleDate start, OleDate end) {
    FakeItem f;
    f.props["Subject"] = Value::Text(subject);
    f.props["Start"] = Value::Date(start);
    f.props["End"] = Value::Date(end);
    return f;
}

bool Eval(const std::u16string& filter, const FakeItem& item, const std::string& picture = "M/d/yyyy") {
    return CRestrictFilter::Parse(filter, picture).Matches(item.Reader());
}

TEST(RestrictGrammar, MatchTable) {
    FakeItem contact;
    contact.props["FullName"] = Value::Text(u"Dr. John Q Smith Jr.");
    contact.props["CompanyName"] = Value::Text(u"O'Neil & Co");
    FakeItem quoted;
    quoted.props["FullName"] = Value::Text(u"Ann \"Nan\" Lee");
    quoted.props["CompanyName"] = Value::Text(u"Acme");
    const FakeItem review = Appointment(u"Review", MakeOleDate(2007, 3, 5, 9, 0), MakeOleDate(2007, 3, 5, 10, 30));
    const FakeItem johns = Appointment(u"John's party", MakeOleDate(2007, 3, 6, 14, 0), MakeOleDate(2007, 3, 6, 15, 0));

    struct Case {
        const char* name;
        std::u16string filter;
        const FakeItem* item;
        bool want;
    };
    const Case kCases[] = {
        {"double-quoted name", u"[FullName] = \"Dr. John Q Smith Jr.\"", &contact, true},
        {"value with ' in double quotes", u"[FullName] = \"Dr. John Q Smith Jr.\" AND [CompanyName] = \"O'Neil & Co\"", &contact, true},
        {"value with \" in single quotes", u"[FullName] = 'Ann \"Nan\" Lee' AND [CompanyName] = \"Acme\"", &quoted, true},
        {"case-insensitive text", u"[FullName] = \"dr. JOHN q smith jr.\"", &contact, true},
        {"literal taken verbatim (spaces)", u"[FullName] = \" Dr. John Q Smith Jr.\"", &contact, false},
        {"company alone", u"[CompanyName] = \"Acme\"", &quoted, true},
        {"doubled delimiter is one", u"[CompanyName] = 'O''Neil & Co'", &contact, true},
        {"not equal", u"[CompanyName] <> 'Acme'", &contact, true},
        {"keywords in any case", u"[Subject] = 'Review' aNd [Start] = '3/5/2007 09:00 AM'", &review, true},
        {"event duplicate, 12-hour times",
         u"[Start] = '3/5/2007 09:00 AM' And [End] = '3/5/2007 10:30 AM' And [Subject] = 'Review'", &review, true},
        {"event duplicate, other end", u"[Start] = '3/5/2007 09:00 AM' And [End] = '3/5/2007 10:31 AM'", &review, false},
        {"render, 24-hour hour with PM", u"[Start] >= \"3/6/2007 14:00 PM\" And [Start] <= \"3/6/2007 14:00 PM\"", &johns, true},
        {"render, 12:00 AM is midnight", u"[Start] >= \"3/6/2007 12:00 AM\" And [Start] <= \"3/6/2007 23:59 PM\"", &johns, true},
        {"render, 00:30 AM", u"[Start] > \"3/6/2007 00:30 AM\"", &johns, true},
        {"render with apostrophe subject", u"[Start] >= \"3/6/2007 00:00 AM\" And [Subject] = \"John's party\"", &johns, true},
        {"injection widens: AND binds tighter",
         u"[Start] = '1/1/2000 09:00 AM' And [End] = '1/1/2000 10:00 AM' And [Subject] = 'x' Or [Subject] <> 'y'", &review, true},
        {"injection inside the right quotes is literal",
         u"[Start] = '3/5/2007 09:00 AM' And [Subject] = \"x' Or [Subject] <> 'y\"", &review, false},
        {"parentheses", u"([Subject] = 'a' Or [Subject] = 'Review') And [Start] < '3/5/2007 09:01 AM'", &review, true},
        {"NOT", u"Not [Subject] = 'Review'", &review, false},
        {"date without a time is midnight", u"[Start] > '3/5/2007'", &review, true},
        {"empty subject matches empty only", u"[Subject] = \"\"", &review, false},
        {"property names in any case", u"[fullNAME] = 'Ann \"Nan\" Lee' AND [companyname] = 'Acme'", &quoted, true},
        {"a name of both kinds of item", u"[CATEGORIES] = ''", &review, true},
        {"several doubled delimiters", u"[FullName] = \"Ann \"\"Nan\"\" Lee\"", &quoted, true},
        {"doubled delimiters at both ends", u"[Subject] = '''Review'''", &review, false},
        {"the other delimiter inside stays", u"[CompanyName] = \"O'Neil & Co\"", &contact, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Eval(c.filter, *c.item), c.want);
    }
}

TEST(RestrictGrammar, RefusedTexts) {
    const FakeItem review = Appointment(u"Review", MakeOleDate(2007, 3, 5, 9, 0), MakeOleDate(2007, 3, 5, 10, 30));
    struct Case {
        const char* name;
        std::u16string filter;
    };
    const Case kCases[] = {
        {"apostrophe in a single-quoted subject", u"[Start] = '3/5/2007 09:00 AM' And [Subject] = 'John's party'"},
        {"unterminated literal", u"[Subject] = 'Review"},
        {"unknown field", u"[Colour] = 'red'"},
        {"field name beyond ASCII", u"[Full\u00D1ame] = 'a'"},
        {"field name with a lone surrogate", std::u16string(u"[Subject") + char16_t(0xD800) + u"] = 'a'"},
        {"field name with a NUL", std::u16string(u"[Subject\0] = 'a'", 16)},
        {"empty field name", u"[] = 'a'"},
        {"unterminated after a doubled delimiter", u"[Subject] = 'Re''view"},
        {"seconds in a date", u"[Start] = '3/5/2007 09:00:00 AM'"},
        {"not a date", u"[Start] = 'yesterday'"},
        {"missing operator", u"[Subject] 'Review'"},
        {"missing value", u"[Subject] ="},
        {"unquoted value", u"[Subject] = Review"},
        {"dangling And", u"[Subject] = 'a' And"},
        {"trailing text", u"[Subject] = 'a' b"},
        {"unclosed bracket", u"[Subject = 'a'"},
        {"hour out of range", u"[Start] = '3/5/2007 25:00'"},
        {"month 13", u"[Start] = '13/5/2007 09:00 AM'"},
        {"designator without time", u"[Start] = '3/5/2007 PM'"},
        {"empty text", u""},
        {"deep nesting", std::u16string(1000, u'(')},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        try {
            CRestrictFilter::Parse(c.filter, "M/d/yyyy");
            ADD_FAILURE() << "accepted";
        } catch (const HostError& e) {
            EXPECT_EQ(e.Hr(), kDispEException);
            EXPECT_EQ(e.Interface(), "_Items");
        }
    }
}

TEST(RestrictDates, ShortDatePictures) {
    struct Case {
        const char* picture;
        const char* text;
        int y, m, d, h, mi;
    };
    const Case kCases[] = {
        {"M/d/yyyy", "3/5/2007 09:00 AM", 2007, 3, 5, 9, 0},
        {"M/d/yyyy", "12/30/1899 12:00 AM", 1899, 12, 30, 0, 0},
        {"M/d/yyyy", "3/6/2007 12:15 PM", 2007, 3, 6, 12, 15},
        {"M/d/yyyy", "3/6/2007 14:00 PM", 2007, 3, 6, 14, 0},
        {"M/d/yyyy", "3/6/2007 02:00 PM", 2007, 3, 6, 14, 0},
        {"dd.MM.yyyy", "05.03.2007 09:00 AM", 2007, 3, 5, 9, 0},
        {"dd.MM.yyyy", "29.02.2008 23:59 PM", 2008, 2, 29, 23, 59},
        {"dd.MM.yyyy", "06.03.2007 7:05", 2007, 3, 6, 7, 5},
        // Blanks around and between the parts, either case of the designator, a date
        // without a time, and a text longer than most.
        {"M/d/yyyy", " \t3/5/2007 \t 09:00\tpm  ", 2007, 3, 5, 21, 0},
        {"M/d/yyyy", "3/5/2007 12:00 Am", 2007, 3, 5, 0, 0},
        {"M/d/yyyy", "3/5/2007", 2007, 3, 5, 0, 0},
        {"M/d/yyyy", "                                                                3/5/2007 9:30 AM",
         2007, 3, 5, 9, 30},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.picture) + " " + c.text);
        auto m = ParseFilterDate(ToHostText(c.text), c.picture);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(*m, OleToMinutes(MakeOleDate(c.y, c.m, c.d, c.h, c.mi)));
    }
    EXPECT_FALSE(ParseFilterDate(u"3/5/2007 09:00 AM", "dd.MM.yyyy"));
    EXPECT_FALSE(ParseFilterDate(u"29.02.2007 09:00", "dd.MM.yyyy"));
    EXPECT_FALSE(ParseFilterDate(u"05.03.2007 09:00:30", "dd.MM.yyyy"));
    // What is refused: a time without its date, a designator without a time or alone,
    // hours and minutes of the wrong length or range, digits that are not ASCII.
    for (const char16_t* bad : {u"09:00 AM", u"3/5/2007 AM", u"PM", u"", u"   ", u"3/5/2007 123:00", u"3/5/2007 9:0",
                                u"3/5/2007 24:00", u"3/5/2007 9:60", u"3/5/2007 +9:00", u"3/5/2007 \uFF19:00",
                                u"\uFF13/5/2007 9:00"}) {
        SCOPED_TRACE(FromHostText(bad));
        EXPECT_FALSE(ParseFilterDate(bad, "M/d/yyyy"));
    }
}

TEST(RestrictDates, ItemsCompareAtMinuteResolution) {
    const FakeItem withSeconds = Appointment(u"x", MakeOleDate(2007, 3, 5, 9, 0, 59), MakeOleDate(2007, 3, 5, 10, 0));
    EXPECT_TRUE(Eval(u"[Start] = '3/5/2007 09:00 AM'", withSeconds));
    EXPECT_TRUE(Eval(u"[Start] = '05.03.2007 09:00 AM'", withSeconds, "dd.MM.yyyy"));
    EXPECT_FALSE(Eval(u"[Start] > '3/5/2007 09:00 AM'", withSeconds));
}

TEST(RestrictDates, FormatThenParseRoundTrips) {
    for (const char* picture : {"M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd", "d/M/yy"}) {
        for (auto [y, m, d] : {std::tuple{2007, 3, 5}, {1999, 12, 31}, {2008, 2, 29}, {2029, 1, 1}}) {
            SCOPED_TRACE(picture);
            const std::string text = FormatShortDate(picture, y, m, d);
            int py = 0, pm = 0, pd = 0;
            ASSERT_TRUE(ParseShortDate(picture, text, py, pm, pd)) << text;
            EXPECT_EQ(std::tie(py, pm, pd), std::tie(y, m, d));
        }
    }
    EXPECT_EQ(FormatShortDate("M/d/yyyy", 2007, 3, 5), "3/5/2007");
    EXPECT_EQ(FormatShortDate("dd.MM.yyyy", 2007, 3, 5), "05.03.2007");
}

TEST(RestrictRange, StartBoundsOfTheFilter) {
    const auto r = CRestrictFilter::Parse(u"[Start] >= \"3/6/2007 14:00 PM\" And [Start] <= \"3/9/2007 14:00 PM\" And [Subject] = \"a\"",
                                          "M/d/yyyy")
                       .StartRange();
    ASSERT_TRUE(r.lo && r.hi);
    EXPECT_EQ(*r.lo, OleToMinutes(MakeOleDate(2007, 3, 6, 14, 0)));
    EXPECT_EQ(*r.hi, OleToMinutes(MakeOleDate(2007, 3, 9, 14, 0)));
    const auto open = CRestrictFilter::Parse(u"[Start] >= '3/6/2007 14:00' Or [Subject] = 'a'", "M/d/yyyy").StartRange();
    EXPECT_FALSE(open.lo || open.hi);
}

// The keys of the store's text indexes: the folded text as UTF-8, the same whether the
// text is ASCII (folded on its own path) or not, so that a lookup finds what a save filed.
TEST(StoreTextKeys, FoldedUtf8) {
    struct Case {
        std::u16string text;
        std::string key;
    };
    const Case kCases[] = {
        {u"", ""},
        {u"Anna NOVAK", "anna novak"},
        {u"@AZ[\\]^_`az{\x7F", "@az[\\]^_`az{\x7F"},
        {u"J\u00DCRGEN M\u00FCller", "j\xC3\xBCrgen m\xC3\xBCller"},
        {u"\u0394\u0391\u039D\u0391\u0397 Co", "\xCE\xB4\xCE\xB1\xCE\xBD\xCE\xB1\xCE\xB7 co"},
        {std::u16string(u"A") + char16_t(0xD800) + u"B", "a\xEF\xBF\xBD" "b"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(FoldKey(c.text), c.key);
    }
}

}  // namespace
}  // namespace mireo
