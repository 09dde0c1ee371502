#include "vcard/vcard_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vcard/tests/encoder_doubles.h"
#include "vcard/tests/golden.h"
#include "vcard/tests/golden_records.h"

namespace mireo {
namespace {

using test::CCp1252Encoder;
using test::CharsetContact;
using test::CUtf8Encoder;
using test::EscapeContact;
using test::MatchesGolden;
using test::WorkedExample;

constexpr double kRev = test::kGoldenRev;

std::string Build(IValueEncoder& encoder, const ContactRecord& c, int version, int major = 11,
                  VCardWriterOptions options = {}) {
    options.version = version;
    options.hostMajorVersion = major;
    CvCardWriter writer(encoder, options);
    std::string out;
    writer.BuildCard(c, out);
    return out;
}

// The value of the first line starting with head ("" when there is none).
std::string LineWith(const std::string& card, const std::string& head) {
    const std::size_t at = card.find("\r\n" + head);
    if (at == std::string::npos) return {};
    const std::size_t start = at + 2;
    return card.substr(start, card.find("\r\n", start) - start);
}

TEST(VCardGolden, WorkedExample) {
    CCp1252Encoder ansi;
    CUtf8Encoder utf8;
    EXPECT_TRUE(MatchesGolden(Build(ansi, WorkedExample(), 21), "example.21.ref"));
    EXPECT_TRUE(MatchesGolden(Build(ansi, WorkedExample(), 30), "example.30.ref"));
    EXPECT_TRUE(MatchesGolden(Build(utf8, WorkedExample(), 21), "example.21.utf8.ref"));
    VCardWriterOptions product;
    product.productMajor = 2;
    product.productMinor = 5;
    EXPECT_TRUE(MatchesGolden(Build(utf8, WorkedExample(), 30, 11, product), "example.30.utf8.ref"));
}

TEST(VCardGolden, EscapingAndLineBreaks) {
    CCp1252Encoder ansi;
    EXPECT_TRUE(MatchesGolden(Build(ansi, EscapeContact(), 21), "escape.21.ref"));
    EXPECT_TRUE(MatchesGolden(Build(ansi, EscapeContact(), 30), "escape.30.ref"));
}

TEST(VCardGolden, Charsets) {
    const ContactRecord c = CharsetContact();
    CCp1252Encoder ansi;
    CUtf8Encoder utf8;
    EXPECT_TRUE(MatchesGolden(Build(ansi, c, 21, 9), "charset.21.cp1252.ref"));
    EXPECT_TRUE(MatchesGolden(Build(ansi, c, 30, 9), "charset.30.cp1252.ref"));
    EXPECT_TRUE(MatchesGolden(Build(utf8, c, 21, 9), "charset.21.utf8.ref"));
    EXPECT_TRUE(MatchesGolden(Build(utf8, c, 30, 9), "charset.30.utf8.ref"));
}

TEST(VCardGolden, QuotedPrintableNotes) {
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"
                                   u"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz";
    const std::u16string bodies[] = {
        letters.substr(0, 150),
        std::u16string(70, u' '),
        std::u16string(63, u'b') + u"=tail",
        u"\t" + std::u16string(63, u'c') + u" x   ",
        std::u16string(u"na\u00EFve caf\u00E9 = \u007F") + std::u16string(1, u'\0'),
        std::u16string(65, u'd'),
    };
    CCp1252Encoder ansi;
    std::string all;
    for (const std::u16string& body : bodies) {
        ContactRecord c;
        c.FirstName = u"Q";
        c.Body = body;
        c.LastModificationTime = LocalFromOle(kRev);
        all += Build(ansi, c, 21, 9);
    }
    EXPECT_TRUE(MatchesGolden(all, "qp.21.ref"));
}

TEST(VCardCard, EmptyContactKeepsTheFixedLines) {
    CCp1252Encoder ansi;
    ContactRecord c;
    EXPECT_EQ(Build(ansi, c, 21, 9),
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;;;;\r\nFN:\r\nX-OUTL-CATEGORIES:\r\nREV:45010101T000000\r\n"
              "END:VCARD\r\n");
    EXPECT_EQ(Build(ansi, c, 30, 11),
              "BEGIN:VCARD\r\nPRODID:-//Kelvo Corporation//MIREO 1.0//EN\r\nVERSION:3.0\r\nN:;;;;\r\nFN:\r\n"
              "X-OUTL-IMADDRESS:\r\nCATEGORIES:\r\nREV:45010101T000000\r\nEND:VCARD\r\n");
}

TEST(VCardCard, EveryFieldInItsPlace) {
    ContactRecord c;
    c.LastName = u"Lee";
    c.FirstName = u"Ann";
    c.MiddleName = u"B";
    c.Title = u"Dr.";
    c.Suffix = u"Jr.";
    c.NickName = u"Annie";
    c.Department = u"Sales";
    c.Profession = u"Chemist";
    c.BusinessTelephoneNumber = u"1";
    c.Business2TelephoneNumber = u"2";
    c.BusinessFaxNumber = u"3";
    c.HomeTelephoneNumber = u"4";
    c.Home2TelephoneNumber = u"5";
    c.HomeFaxNumber = u"6";
    c.MobileTelephoneNumber = u"7";
    c.CarTelephoneNumber = u"8";
    c.OtherTelephoneNumber = u"9";
    c.OtherFaxNumber = u"10";
    c.PagerNumber = u"11";
    c.ISDNNumber = u"12";
    c.PrimaryTelephoneNumber = u"13";
    c.OfficeLocation = u"Room 4";
    c.HomeAddressCity = u"Hometown";
    c.OtherAddressPostOfficeBox = u"PO 9";
    c.PersonalHomePage = u"http://home.example";
    c.BusinessHomePage = u"http://work.example";
    c.Email1Address = u"/o=Org/cn=ann";
    c.Email1AddressType = u"EX";
    c.Email2Address = u"ann@example.com";
    c.Email2AddressType = u"SMTP";
    c.Email3Address = u"ann@example.net";
    c.Email3AddressType = u"smtp";  // the test is case-sensitive
    c.IMAddress = u"ann@im.example";
    c.ManagerName = u"M";
    c.AssistantName = u"A";
    c.Spouse = u"S";
    c.Anniversary = LocalFromOle(35947.0);  // 1998-06-01
    c.NetMeetingServer = u"nm.example";
    c.NetMeetingAlias = u"ann";
    c.InternetFreeBusyAddress = u"http://fb.example";
    c.LastModificationTime = LocalFromOle(kRev);
    c.Sensitivity = kSensitivityConfidential;
    CCp1252Encoder ansi;
    EXPECT_EQ(Build(ansi, c, 21, 12),
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann;B;Dr.;Jr.\r\nFN:Ann B Lee Jr.\r\nNICKNAME:Annie\r\nORG:;Sales\r\n"
              "TEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK;FAX:3\r\nTEL;HOME:4\r\nTEL;HOME:5\r\nTEL;HOME;FAX:6\r\n"
              "TEL;CELL:7\r\nTEL;CAR:8\r\nTEL;VOICE:9\r\nTEL;FAX:10\r\nTEL;PAGER:11\r\nTEL;ISDN:12\r\nTEL;PREF:13\r\n"
              "ADR;WORK:;Room 4;;;;;\r\nADR;HOME:;;;Hometown;;;\r\nADR;POSTAL:PO 9;;;;;;\r\n"
              "URL;HOME:http://home.example\r\nURL;WORK:http://work.example\r\nROLE:Chemist\r\n"
              "EMAIL;PREF:/o=Org/cn=ann\r\nEMAIL;INTERNET:ann@example.com\r\nEMAIL:ann@example.net\r\n"
              "X-OUTL-IMADDRESS:ann@im.example\r\nX-OUTL-MANAGERNAME:M\r\nX-OUTL-ASSISTANTNAME:A\r\n"
              "X-OUTL-SPOUSE:S\r\nX-OUTL-ANNIVERSARY:19980601\r\nX-OUTL-NMSERVER:nm.example\r\n"
              "X-OUTL-NMALIAS:ann\r\nX-OUTL-IFBADDRESS:http://fb.example\r\nX-OUTL-CATEGORIES:\r\n"
              "REV:20070314T150926\r\nX-OUTL-CLASS:CONFIDENTIAL\r\nEND:VCARD\r\n");
    const std::string v30 = Build(ansi, c, 30, 12);
    EXPECT_EQ(LineWith(v30, "TEL;TYPE=WORK;TYPE=FAX:"), "TEL;TYPE=WORK;TYPE=FAX:3");
    EXPECT_EQ(LineWith(v30, "ADR;TYPE=POSTAL:"), "ADR;TYPE=POSTAL:PO 9;;;;;;");
    EXPECT_EQ(LineWith(v30, "CLASS:"), "CLASS:CONFIDENTIAL");
    EXPECT_EQ(LineWith(v30, "X-OUTL-ANNIVERSARY"), "X-OUTL-ANNIVERSARY:19980601");
}

TEST(VCardCard, SensitivityAndHostVersion) {
    CCp1252Encoder ansi;
    ContactRecord c;
    for (int s : {kSensitivityNormal, kSensitivityPersonal}) {
        c.Sensitivity = s;
        EXPECT_EQ(Build(ansi, c, 21).find("CLASS"), std::string::npos) << s;
        EXPECT_EQ(Build(ansi, c, 30).find("CLASS"), std::string::npos) << s;
    }
    c.Sensitivity = kSensitivityPrivate;
    CUtf8Encoder utf8;
    EXPECT_EQ(LineWith(Build(utf8, c, 21), "X-OUTL-CLASS"), "X-OUTL-CLASS:PRIVATE");  // no CHARSET
    c.IMAddress = u"im";
    EXPECT_EQ(Build(ansi, c, 21, 9).find("X-OUTL-IMADDRESS"), std::string::npos);
    EXPECT_EQ(LineWith(Build(ansi, c, 21, 10), "X-OUTL-IMADDRESS"), "X-OUTL-IMADDRESS:im");
}

// A value with a line break must never start a new property line.
TEST(VCardCard, LineBreaksCannotInjectProperties) {
    ContactRecord c;
    const std::u16string evil = u"x\r\nEMAIL:evil@example.com\nEND:VCARD\rTEL:1";
    for (std::u16string* field :
         {&c.LastName, &c.FirstName, &c.NickName, &c.CompanyName, &c.Department, &c.JobTitle, &c.Body,
          &c.BusinessTelephoneNumber, &c.PagerNumber, &c.HomeAddressStreet, &c.PersonalHomePage, &c.Profession,
          &c.Email2Address, &c.IMAddress, &c.ManagerName, &c.AssistantName, &c.Spouse, &c.NetMeetingServer,
          &c.NetMeetingAlias, &c.InternetFreeBusyAddress, &c.Categories}) {
        *field = evil;
    }
    CCp1252Encoder ansi;
    for (int version : {21, 30}) {
        SCOPED_TRACE(version);
        const std::string card = Build(ansi, c, version);
        for (const std::string& line : test::SplitKeepingEnds(card)) {
            ASSERT_GE(line.size(), 2u);
            EXPECT_EQ(line.substr(line.size() - 2), "\r\n") << line;
            const std::string body = line.substr(0, line.size() - 2);
            EXPECT_EQ(body.find_first_of("\r\n"), std::string::npos) << line;
            EXPECT_NE(body.rfind("EMAIL:evil", 0), 0u);
            EXPECT_NE(body.rfind("TEL:1", 0), 0u);
        }
        EXPECT_EQ(card.find("\r\nEND:VCARD\r\n"), card.size() - 13);
    }
}

TEST(VCardCard, SemicolonsStayInsideComponents) {
    ContactRecord c;
    c.LastName = u"Smith;Jones";
    c.CompanyName = u"Acme; Co";
    c.HomeAddressStreet = u"Flat 2; 1 Main St";
    CCp1252Encoder ansi;
    for (int version : {21, 30}) {
        SCOPED_TRACE(version);
        const std::string card = Build(ansi, c, version);
        EXPECT_NE(card.find(":Smith\\;Jones;;;;\r\n"), std::string::npos);
        EXPECT_NE(card.find(":Acme\\; Co\r\n"), std::string::npos);
        EXPECT_NE(card.find(":;;Flat 2\\; 1 Main St;;;;\r\n"), std::string::npos);
    }
}

TEST(VCardCard, OrgDepartmentOnlyWhenSet) {
    CCp1252Encoder ansi;
    ContactRecord c;
    c.CompanyName = u"Acme";
    EXPECT_EQ(LineWith(Build(ansi, c, 21), "ORG"), "ORG:Acme");
    c.CompanyName.clear();
    c.Department = u"Sales";
    EXPECT_EQ(LineWith(Build(ansi, c, 30), "ORG"), "ORG:;Sales");
}

// 3.0 writes a list other programs read as several categories (each name escaped); the
// single escaped value of earlier versions stays available.
TEST(VCardCard, CategoriesWithTheListSeparator) {
    ContactRecord c;
    c.Categories = u"Work, Home,, Private";
    CCp1252Encoder ansi;
    VCardWriterOptions o;
    o.listSeparator = u",";
    EXPECT_EQ(LineWith(Build(ansi, c, 21, 9, o), "X-OUTL-CATEGORIES"), "X-OUTL-CATEGORIES:Work, Home,, Private");
    EXPECT_EQ(LineWith(Build(ansi, c, 30, 9, o), "CATEGORIES"), "CATEGORIES:Work,Home,Private");
    c.Categories = u"Business, Suppliers";
    EXPECT_EQ(LineWith(Build(ansi, c, 30, 9, o), "CATEGORIES"), "CATEGORIES:Business,Suppliers");
    c.Categories = u"R\\D;;a,b";
    o.listSeparator = u";;";  // a separator of several characters
    EXPECT_EQ(LineWith(Build(ansi, c, 30, 9, o), "CATEGORIES"), "CATEGORIES:R\\\\D,a\\,b");
    o.listSeparator.clear();  // the locale gives none: ";"
    c.Categories = u"A;B";
    EXPECT_EQ(LineWith(Build(ansi, c, 30, 9, o), "CATEGORIES"), "CATEGORIES:A,B");
    o.categoriesAsList = false;
    EXPECT_EQ(LineWith(Build(ansi, c, 30, 9, o), "CATEGORIES"), "CATEGORIES:A\\,B");
}

TEST(VCardCard, UnknownEncodingWritesEmptyValues) {
    test::CUnknownEncoder unknown;
    const std::string card = Build(unknown, WorkedExample(), 21);
    EXPECT_NE(card.find("\r\nN:;;;;\r\nFN:\r\nORG:;\r\nTITLE:\r\n"), std::string::npos);
    EXPECT_NE(card.find("\r\nNOTE;ENCODING=QUOTED-PRINTABLE:\r\n"), std::string::npos);
    EXPECT_NE(card.find("\r\nBDAY:19750423\r\n"), std::string::npos);
}

TEST(VCardCard, LargeCardIsWrittenWhole) {
    ContactRecord c;
    c.Body.assign(1 << 20, u'x');
    c.Body += u"END";
    CCp1252Encoder ansi;
    const std::string v21 = Build(ansi, c, 21);
    EXPECT_NE(v21.find("xxxEND\r\n"), std::string::npos);
    EXPECT_GT(v21.size(), std::size_t{1} << 20);
    const std::string v30 = Build(ansi, c, 30);
    EXPECT_NE(v30.find("NOTE:" + std::string(1 << 20, 'x') + "END\r\n"), std::string::npos);
}

TEST(VCardCard, WriterIsReusableAcrossCards) {
    CUtf8Encoder utf8;
    CvCardWriter writer(utf8, {});
    std::string first, second, again;
    writer.BuildCard(WorkedExample(), first);
    writer.BuildCard(ContactRecord{}, second);
    writer.BuildCard(WorkedExample(), again);
    EXPECT_EQ(first, again);
    EXPECT_EQ(second.find("Smith"), std::string::npos);
}

// An encoder whose charset the test changes between cards.
class CSwitchingEncoder : public CUtf8Encoder {
public:
    std::string CharsetName() override { return charset; }
    std::string charset;
};

TEST(VCardCard, AReusedWriterFollowsTheCharsetOfEachCard) {
    // A writer keeps what it made for the cards before: with the charset changed
    // between cards, every card must still be what a new writer makes of it.
    const ContactRecord contacts[] = {WorkedExample(), EscapeContact(), CharsetContact(), ContactRecord{}};
    const char* charsets[] = {"UTF-8", "", "ISO-8859-2", "UTF-8", "X", ""};
    for (int version : {21, 30}) {
        SCOPED_TRACE(version);
        CSwitchingEncoder reused;
        VCardWriterOptions options;
        options.version = version;
        options.hostMajorVersion = 11;
        CvCardWriter writer(reused, options);
        std::string card;
        int n = 0;
        for (const char* charset : charsets) {
            for (const ContactRecord& c : contacts) {
                SCOPED_TRACE(std::string("charset \"") + charset + "\", card " + std::to_string(n++));
                reused.charset = charset;
                writer.BuildCard(c, card);
                CSwitchingEncoder fresh;
                fresh.charset = charset;
                EXPECT_EQ(card, Build(fresh, c, version));
                EXPECT_EQ(card.find(";CHARSET=") != std::string::npos, *charset != '\0');
            }
        }
    }
}


// An encoder that lets the writer escape and encode 3.0 values in one pass, counting
// the values that still reach Encode.
class CDirectUtf8Encoder : public CUtf8Encoder {
public:
    bool EncodesAsUtf8() override { return true; }
    int Encode(std::u16string_view text, std::string& out) override {
        ++encoded;
        return CUtf8Encoder::Encode(text, out);
    }
    int encoded = 0;
};

TEST(VCardDirectUtf8, GivesTheBytesOfEscapingThenEncoding) {
    CDirectUtf8Encoder direct;
    CUtf8Encoder utf8;
    // The golden cards, written the one-pass way.
    VCardWriterOptions product;
    product.productMajor = 2;
    product.productMinor = 5;
    EXPECT_TRUE(MatchesGolden(Build(direct, WorkedExample(), 30, 11, product), "example.30.utf8.ref"));
    EXPECT_TRUE(MatchesGolden(Build(direct, CharsetContact(), 30, 9), "charset.30.utf8.ref"));
    EXPECT_EQ(direct.encoded, 0) << "well-formed texts never reach Encode";

    const char16_t lone[] = {u'a', 0xD800, u',', u'b', 0};     // an unpaired high surrogate
    const char16_t trail[] = {u'x', 0xDC00, u';', 0};          // an unpaired low one
    const char16_t cut[] = {u'\\', u'y', 0xD83D, 0};            // a pair cut short at the end
    const char16_t astral[] = {0xD83D, 0xDE00, u'\r', u'\n', u'\u00E9', u'\u20AC', 0};
    struct Case {
        const char* name;
        std::u16string value;
        bool reachesEncode;
    } cases[] = {
        {"escapes of every kind", u"a\\b,c;d\r\ne\rf\ng\r\r\n\\", false},
        {"a lone CR and LF at the ends", u"\r\nmiddle\n\r", false},
        {"non-ASCII and a pair", astral, false},
        {"only escapes", u"\\\\,,;;", false},
        {"an unpaired high surrogate", lone, true},
        {"an unpaired low surrogate", trail, true},
        {"a pair cut short", cut, true},
    };
    // Every length around the eight units the writer takes at once, with each kind of
    // unit that ends such a run (an escape, a line break, a control character, a
    // character beyond ASCII, a pair) at every place.
    const std::u16string stoppers[] = {u",", u";", u"\\", u"\r\n", u"\n", u"\t", u"\u007F", u"\u00E9",
                                       u"\u20AC", u"\U0001F600", std::u16string(1, u'\0')};
    std::vector<Case> runs;
    for (std::size_t length = 0; length <= 26; ++length) {
        const std::u16string plain = u"abcdefghijklmnopqrstuvwxyz0123456789 .-@/:";
        runs.push_back({"plain run", plain.substr(0, length), false});
        for (const std::u16string& stop : stoppers) {
            for (std::size_t at = 0; at <= length; at += (length > 12 ? 3 : 1)) {
                std::u16string value = plain.substr(0, length);
                value.insert(at, stop);
                runs.push_back({"a run with a stop", value, false});
            }
        }
    }
    runs.push_back({"plain beyond eight", std::u16string(u"0123456789ABCDEFGHIJ ~!#$%^&*()_+={}[]|<>?'\"`"), false});
    runs.push_back({"the same unit 0x0100 as ASCII would pack", std::u16string(9, u'\u0141'), false});
    runs.push_back({"units that saturate to 0xFF and 0x00", std::u16string(u"abcd\u7FFF\uFFFDefghijklm"), false});
    for (const Case& c : cases) runs.push_back({c.name, c.value, c.reachesEncode});
    for (const Case& c : runs) {
        SCOPED_TRACE(c.name);
        SCOPED_TRACE(PathToUtf8(c.value));
        // The value in a text, a structured value, a plain value and the categories.
        ContactRecord r;
        r.FirstName = r.LastName = c.value;
        r.NickName = c.value;
        r.CompanyName = r.Department = c.value;
        r.Body = c.value;
        r.BusinessTelephoneNumber = c.value;
        r.BusinessHomePage = c.value;
        r.HomeAddressStreet = c.value;
        r.Email1Address = c.value;
        r.Categories = c.value + u";" + c.value;
        r.Spouse = c.value;
        direct.encoded = 0;
        const std::string expected = Build(utf8, r, 30);
        EXPECT_EQ(Build(direct, r, 30), expected);
        EXPECT_EQ(direct.encoded > 0, c.reachesEncode);
        // 2.1 has no escapes and keeps to Encode.
        EXPECT_EQ(Build(direct, r, 21), Build(utf8, r, 21));
    }
}

}  // namespace
}  // namespace mireo
