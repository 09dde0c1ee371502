#include "vcard/vcard_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/testing/recording_logger.h"
#include "vcard/tests/golden.h"
#include "vcard/tests/golden_records.h"
#include "vcard/tests/reader_support.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

using test::CConverterEncoder;
using test::ReadFileBytes;
using test::SameImportFields;
using test::ShippedConverter;

std::vector<VCardCard> Read(std::string_view bytes, VCardReaderOptions options = {}) {
    CvCardReader reader(&ShippedConverter(), std::move(options));
    return reader.ReadAll(bytes, "test.vcf");
}

// The one card of a text; an empty record when the text holds none.
VCardCard ReadOne(std::string_view bytes, VCardReaderOptions options = {}) {
    auto cards = Read(bytes, std::move(options));
    EXPECT_EQ(cards.size(), 1u);
    return cards.empty() ? VCardCard{} : cards.front();
}

std::string Write(const ContactRecord& c, int version, const std::string& charset, int major = 11) {
    CConverterEncoder encoder(charset);
    VCardWriterOptions options;
    options.version = version;
    options.hostMajorVersion = major;
    CvCardWriter writer(encoder, options);
    std::string out;
    writer.BuildCard(c, out);
    return out;
}

std::string Card(const std::string& body, const std::string& version = "2.1") {
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n";
}

// A record with every field set, in the given script.
struct Script {
    const char* name;
    const char* charset;  // "" = system default (Windows-1252 here)
    std::u16string last, first, company, city, note;
};

ContactRecord FullRecord(const Script& s) {
    ContactRecord c;
    c.LastName = s.last;
    c.FirstName = s.first;
    c.MiddleName = u"Q.";
    c.Title = u"Dr.";
    c.Suffix = u"Jr., III";
    c.NickName = u"C:\\new, nick;name";
    c.CompanyName = s.company + u"; Co";
    c.Department = u"R&D, Labs; East";
    c.JobTitle = u"Head\\of\\Things";
    c.Profession = u"Engineer, senior";
    c.OfficeLocation = u"Bldg 4; Room 12";
    c.ManagerName = u"Line1\r\nLine2";
    c.AssistantName = u"Back\\slash";
    std::u16string body = s.note + u"\r\nC:\\new\\Notes, one; two\r\n";
    for (int i = 0; i < 40; ++i) body += u"A long line of a note that needs soft breaks when quoted. ";
    body += u"end";
    c.Body = body;
    const char16_t* tels[] = {u"+1 555 0100", u"+1 555 0101", u"+1 555 0102", u"+1 555 0103", u"+1 555 0104",
                              u"+1 555 0105", u"+1 555 0106", u"+1 555 0107", u"+1 555 0108", u"+1 555 0109",
                              u"+1 555 0110", u"+1 555 0111", u"+1 555 0112"};
    std::u16string* telFields[] = {&c.BusinessTelephoneNumber, &c.Business2TelephoneNumber, &c.BusinessFaxNumber,
                                   &c.HomeTelephoneNumber,     &c.Home2TelephoneNumber,     &c.HomeFaxNumber,
                                   &c.MobileTelephoneNumber,   &c.CarTelephoneNumber,       &c.OtherTelephoneNumber,
                                   &c.OtherFaxNumber,          &c.PagerNumber,              &c.ISDNNumber,
                                   &c.PrimaryTelephoneNumber};
    for (int i = 0; i < 13; ++i) *telFields[i] = tels[i];
    c.BusinessAddressPostOfficeBox = u"PO 1";
    c.BusinessAddressStreet = u"1 Main St\r\nSuite 5";
    c.BusinessAddressCity = s.city;
    c.BusinessAddressState = u"IL";
    c.BusinessAddressPostalCode = u"62701";
    c.BusinessAddressCountry = u"USA; North";
    c.HomeAddressPostOfficeBox = u"PO 2";
    c.HomeAddressStreet = u"2 Elm St, Apt 3";
    c.HomeAddressCity = s.city;
    c.HomeAddressState = u"ON";
    c.HomeAddressPostalCode = u"K1A";
    c.HomeAddressCountry = u"Canada";
    c.OtherAddressPostOfficeBox = u"PO 3";
    c.OtherAddressStreet = u"3 Oak St";
    c.OtherAddressCity = u"Dublin";
    c.OtherAddressState = u"D";
    c.OtherAddressPostalCode = u"D02";
    c.OtherAddressCountry = u"Ireland";
    c.PersonalHomePage = u"http://example.org/~me?a=1&b=2";
    c.BusinessHomePage = u"http://example.com/work";
    c.Email1Address = u"one@example.com";
    c.Email1AddressType = u"SMTP";
    c.Email2Address = u"two@example.com";
    c.Email2AddressType = u"SMTP";
    c.Email3Address = u"three@example.com";
    c.Email3AddressType = u"SMTP";
    c.IMAddress = u"im:me@example.com";
    c.Spouse = s.first + u" Spouse";
    c.NetMeetingServer = u"nm.example.com";
    c.NetMeetingAlias = u"alias, with comma";
    c.InternetFreeBusyAddress = u"http://example.com/fb";
    c.Categories = u"Business;Personal";
    c.Birthday = LocalFromOle(27507.0);     // 1975-04-23
    c.Anniversary = LocalFromOle(36000.0);  // 1998-07-24
    c.LastModificationTime = LocalFromOle(39155.5);
    c.Sensitivity = kSensitivityConfidential;
    return c;
}

// What the import gets back from the writer's card: FN is built from the parts and the
// preferred address loses its type.
ContactRecord AfterRoundTrip(ContactRecord c) {
    std::u16string full;
    for (const std::u16string* part : {&c.FirstName, &c.MiddleName, &c.LastName, &c.Suffix}) {
        if (part->empty()) continue;
        if (!full.empty()) full += u' ';
        full += *part;
    }
    // Without name parts: the full name, else the file-as name; none for a company's card.
    if (full.empty() && c.Title.empty()) {
        full = c.FullName.empty() ? c.FileAs : c.FullName;
        if (full == c.CompanyName) full.clear();
    }
    c.FullName = full;
    if (!c.Email1Address.empty()) c.Email1AddressType.clear();
    if (c.Sensitivity == kSensitivityPersonal) c.Sensitivity = kSensitivityNormal;
    return c;
}

const Script kScripts[] = {
    {"Utf8", "UTF-8", u"M\u00FCller \u041F\u0435\u0442\u0440\u043E\u0432 \u5C71\u7530", u"Zo\u00EB \U0001F600",
     u"Caf\u00E9 \u00DCnal", u"K\u00F6ln", u"Gr\u00FC\u00DFe \u2013 5 \u20AC, \u3053\u3093\u306B\u3061\u306F"},
    {"Windows1252", "windows-1252", u"M\u00FCller", u"Zo\u00EB", u"Caf\u00E9 \u00DCnal", u"K\u00F6ln",
     u"Gr\u00FC\u00DFe \u2013 5 \u20AC"},
    {"SystemDefault", "", u"M\u00FCller", u"Zo\u00EB", u"Caf\u00E9", u"K\u00F6ln", u"Gr\u00FC\u00DFe \u20AC"},
    {"Windows1251", "windows-1251", u"\u041F\u0435\u0442\u0440\u043E\u0432", u"\u0418\u0432\u0430\u043D",
     u"\u0413\u0430\u0437\u043F\u0440\u043E\u043C", u"\u041C\u043E\u0441\u043A\u0432\u0430",
     u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440"},
    {"ShiftJis", "Shift_JIS", u"\u5C71\u7530", u"\u592A\u90CE", u"\u6771\u4EAC\u5546\u4E8B", u"\u6771\u4EAC",
     u"\u3053\u3093\u306B\u3061\u306F"},
};

TEST(VCardReaderRoundTrip, EveryFieldInEveryVersionAndCharset) {
    for (const Script& s : kScripts) {
        for (int version : {kVCard21, kVCard30}) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(version));
            const ContactRecord source = FullRecord(s);
            const std::string card = Write(source, version, s.charset);
            ContactRecord expected = AfterRoundTrip(source);
            if (version == kVCard30) expected.Categories = u"Business; Personal";
            const VCardCard got = ReadOne(card);
            EXPECT_TRUE(SameImportFields(expected, got.contact)) << card;
            EXPECT_EQ(got.version, version);
            EXPECT_TRUE(got.problems.empty());
            EXPECT_TRUE(got.IsSet("Body"));
            EXPECT_TRUE(got.IsSet("OtherFaxNumber"));
            EXPECT_TRUE(got.IsSet("Sensitivity"));
        }
    }
}

// The characters of a candidate set that the code page carries (encoded and decoded
// back unchanged).
std::u16string CharactersOf(int codePage) {
    const std::u16string candidates =
        u"\u00C0\u00C9\u00CE\u00F5\u00FC\u00DF\u00E7\u00F1\u00F8\u00E5\u00C6\u0104\u010C\u0118\u0141\u0143"
        u"\u015A\u0179\u017B\u0151\u0171\u0391\u0392\u0393\u03B1\u03B2\u03B3\u0410\u0411\u0413\u0416\u0430"
        u"\u0431\u0436\u05D0\u05D1\u05D2\u05D3\u0627\u0628\u062A\u062B\u0E01\u0E02\u0E04\u0E07\u0102\u0110"
        u"\u01A0\u01AF\u0103\u0111\u01A1\u01B0\u5C71\u7530\u6771\u4EAC\u5317\u81FA\u7063\uC11C\uC6B8\uD55C"
        u"\u20AC\u2013\u8868\u30BD\u80FD\u8A31\u529F";
    std::u16string kept;
    for (char16_t ch : candidates) {
        std::string bytes;
        std::u16string back;
        ShippedConverter().Encode(codePage, std::u16string(1, ch), bytes);
        ShippedConverter().Decode(codePage, bytes, back);
        if (back == std::u16string(1, ch)) kept += ch;
    }
    return kept;
}

TEST(VCardReaderRoundTrip, EveryShippedEncoding) {
    for (const EncodingRecord& e : ShippedConverter().Encodings()) {
        const std::u16string chars = CharactersOf(e.codePage);
        SCOPED_TRACE(e.displayName);
        ASSERT_GE(chars.size(), 6u) << "too few characters of the candidate set";
        const std::u16string a = chars.substr(0, chars.size() / 2), b = chars.substr(chars.size() / 2);
        const Script s{"", e.charsetName.c_str(), u"L" + a, b + u"f", a + b, u"C " + b, chars + u"\r\n" + a};
        for (int version : {kVCard21, kVCard30}) {
            SCOPED_TRACE(version);
            const ContactRecord source = FullRecord(s);
            const std::string card = Write(source, version, s.charset);
            ContactRecord expected = AfterRoundTrip(source);
            if (version == kVCard30) expected.Categories = u"Business; Personal";
            const VCardCard got = ReadOne(card);
            EXPECT_TRUE(SameImportFields(expected, got.contact)) << card;
            EXPECT_TRUE(got.problems.empty());
        }
    }
}

TEST(VCardReaderRoundTrip, ManyCardsInOneFile) {
    std::string file;
    std::vector<ContactRecord> expected;
    for (int i = 0; i < 60; ++i) {
        ContactRecord c;
        c.LastName = u"Last" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"\u00E9";
        c.FirstName = u"First;" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        if (i % 2 == 0) c.Body = u"Note " + c.LastName + u"\r\nC:\\new";
        if (i % 3 == 0) c.HomeTelephoneNumber = u"555";
        if (i % 5 == 0) c.Email2Address = u"x@y.z";  // written second: read back as the first, SMTP
        c.Sensitivity = i % 4 == 0 ? kSensitivityPrivate : kSensitivityNormal;
        c.LastModificationTime = LocalFromOle(39000.0 + i);
        file += Write(c, i % 2 == 0 ? kVCard21 : kVCard30, "UTF-8");
        ContactRecord e = AfterRoundTrip(c);
        if (!e.Email2Address.empty()) {
            e.Email1Address = e.Email2Address;
            e.Email1AddressType = u"SMTP";
            e.Email2Address.clear();
        }
        expected.push_back(e);
    }
    const auto cards = Read(file);
    ASSERT_EQ(cards.size(), expected.size());
    EXPECT_EQ(CvCardReader::CountCards(file), 60);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        EXPECT_TRUE(SameImportFields(expected[i], cards[i].contact)) << "card " << i;
    }
    EXPECT_EQ(cards[1].line, 1 + static_cast<int>(std::count(file.begin(), file.begin() + file.find("END:VCARD"), '\n')) + 1);
}

// The writer's golden records (vcard/tests/golden_records.h) as the reader gives them
// back. 2.1 carries the bytes quoted-printable; 3.0 writes every break as "\n", and
// its category list comes back joined with "; ". Windows-1252 has "?" for the Omega.
ContactRecord GoldenEscape(bool v30) {
    ContactRecord c = test::EscapeContact();
    if (v30) {
        c.Body = u"C:\\new, folder;x\r\nline2\r\nline3\r\nline4";
        c.ManagerName = u"Line\r\nBreak";
        c.Categories = u"Work; Home, Private";  // a list of names: the comma stays in its name
        c.BusinessTelephoneNumber = u"555\\n0100";  // a line break in a number cannot come back
    }
    return c;
}

ContactRecord GoldenCharset(bool cp1252) {
    ContactRecord c = test::CharsetContact();
    if (cp1252) c.JobTitle = u"?-Team";
    return c;
}

TEST(VCardReaderGolden, WriterFilesReadBackToTheirRecords) {
    struct Case {
        const char* file;
        ContactRecord record;
        int major;
    };
    const Case cases[] = {
        {"example.21.ref", test::WorkedExample(), 11},      {"example.30.ref", test::WorkedExample(), 11},
        {"example.21.utf8.ref", test::WorkedExample(), 11}, {"example.30.utf8.ref", test::WorkedExample(), 11},
        {"escape.21.ref", GoldenEscape(false), 11},    {"escape.30.ref", GoldenEscape(true), 11},
        {"charset.21.cp1252.ref", GoldenCharset(true), 9}, {"charset.30.cp1252.ref", GoldenCharset(true), 9},
        {"charset.21.utf8.ref", GoldenCharset(false), 9},  {"charset.30.utf8.ref", GoldenCharset(false), 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = ReadFileBytes(std::string(MIREO_TESTDATA_DIR) + "/vcard/" + c.file);
        ASSERT_FALSE(bytes.empty());
        VCardReaderOptions options;
        options.hostMajorVersion = c.major;
        const VCardCard got = ReadOne(bytes, options);
        ContactRecord expected = AfterRoundTrip(c.record);
        EXPECT_TRUE(SameImportFields(expected, got.contact));
    }
}

TEST(VCardReaderGolden, QuotedPrintableNotes) {
    const std::string bytes = ReadFileBytes(std::string(MIREO_TESTDATA_DIR) + "/vcard/qp.21.ref");
    const auto cards = Read(bytes);
    ASSERT_EQ(cards.size(), 6u);
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyz";
    std::u16string l150;
    while (l150.size() < 150) l150 += letters;
    l150.resize(150);
    EXPECT_EQ(cards[0].contact.Body, l150);
    EXPECT_EQ(cards[2].contact.Body, std::u16string(63, u'b') + u"=tail");
    // The NUL byte is dropped: host text ends there.
    EXPECT_EQ(cards[4].contact.Body, u"na\u00EFve caf\u00E9 = \u007F");
    EXPECT_EQ(cards[5].contact.Body, std::u16string(65, u'd'));
    // Decoded values are trimmed: a note of spaces is empty.
    EXPECT_EQ(cards[1].contact.Body, u"");
    EXPECT_EQ(cards[3].contact.Body, std::u16string(63, u'c') + u" x");
}

// ---- round trips that corrupted values before ----

TEST(VCardReaderRoundTrip, ValuesThatChangedOnTheWayBack) {
    struct Case {
        const char* name;
        std::function<void(ContactRecord&)> set;
        int version;
    };
    const Case cases[] = {
        {"3.0 ROLE is text", [](ContactRecord& c) { c.Profession = u"R&D\\new, Labs"; }, kVCard30},
        {"3.0 URL keeps its backslashes", [](ContactRecord& c) { c.BusinessHomePage = u"http://x/a\\\\b,c"; }, kVCard30},
        {"3.0 TEL keeps backslash n", [](ContactRecord& c) { c.MobileTelephoneNumber = u"555\\n1"; }, kVCard30},
        {"3.0 EMAIL keeps backslash comma", [](ContactRecord& c) { c.Email1Address = u"a\\,b@x"; }, kVCard30},
        {"2.1 last name ending in a backslash",
         [](ContactRecord& c) {
             c.LastName = u"C:\\";
             c.FirstName = u"x";
         },
         kVCard21},
        {"2.1 parts with backslashes and semicolons",
         [](ContactRecord& c) {
             c.CompanyName = u"A\\;B\\\\";
             c.Department = u"\\";
             c.HomeAddressStreet = u"1\\ Main;St\\";
             c.HomeAddressCity = u"\\\\srv";
         },
         kVCard21},
        {"3.0 the same parts",
         [](ContactRecord& c) {
             c.CompanyName = u"A\\;B\\\\";
             c.HomeAddressStreet = u"1\\ Main;St\\";
         },
         kVCard30},
        {"2.1 note with a blank at a continuation start",
         [](ContactRecord& c) { c.Body = std::u16string(65, u'x') + u" and\tmore" + std::u16string(56, u'y') + u"\tz"; },
         kVCard21},
        {"3.0 a department of several units", [](ContactRecord& c) {
             c.CompanyName = u"Umbrella";
             c.Department = u"Labs;East";
         }, kVCard30},
    };
    for (const Case& tc : cases) {
        for (const char* charset : {"", "UTF-8"}) {
            SCOPED_TRACE(std::string(tc.name) + " " + charset);
            ContactRecord source;
            source.FileAs = u"f";
            tc.set(source);
            const std::string card = Write(source, tc.version, charset);
            EXPECT_TRUE(SameImportFields(AfterRoundTrip(source), ReadOne(card).contact)) << card;
        }
    }
}

// What the writer makes of a contact the host holds fits the reader's limits: a body of
// several megabytes of non-ASCII text (quoted-printable in 2.1, three bytes for one)
// comes back whole.
TEST(VCardReaderRoundTrip, BodyOfSeveralMegabytes) {
    ContactRecord c;
    c.FirstName = u"Big";
    c.Body = u"Start";
    for (int i = 0; i < 150000; ++i) c.Body += u"\r\nGr\u00FC\u00DFe \u20AC, line";  // 4 MiB of text
    for (int version : {kVCard21, kVCard30}) {
        SCOPED_TRACE(version);
        const VCardCard got = ReadOne(Write(c, version, "UTF-8"));
        EXPECT_EQ(got.fault, "");
        EXPECT_TRUE(got.contact.Body == c.Body);
    }
}

// Contacts without name parts carry their full name, else their file-as name, as FN;
// a company's card stays a company-only contact.
TEST(VCardReaderRoundTrip, ContactsWithoutNameParts) {
    struct Case {
        const char* name;
        std::u16string fullName, fileAs, company;
        const char* fnLine;
        std::u16string readFullName;
    };
    const Case cases[] = {
        {"full name", u"Grandma", u"Grandma", u"", "FN:Grandma", u"Grandma"},
        {"file-as only", u"", u"Plumber, the", u"", "FN:Plumber\\, the", u"Plumber, the"},
        {"company only", u"", u"Acme", u"Acme", "FN:Acme", u""},
        {"nameless at a company", u"Front desk", u"Front desk", u"Acme", "FN:Front desk", u"Front desk"},
    };
    for (const Case& tc : cases) {
        for (int version : {kVCard21, kVCard30}) {
            SCOPED_TRACE(std::string(tc.name) + " " + std::to_string(version));
            ContactRecord c;
            c.FullName = tc.fullName;
            c.FileAs = tc.fileAs;
            c.CompanyName = tc.company;
            const std::string card = Write(c, version, "");
            std::string fn = tc.fnLine;
            if (version == kVCard21) std::erase(fn, '\\');
            EXPECT_NE(card.find("\r\nN:;;;;\r\n" + fn + "\r\n"), std::string::npos) << card;
            const VCardCard got = ReadOne(card);
            EXPECT_EQ(got.contact.FullName, tc.readFullName);
            EXPECT_EQ(got.IsSet("FullName"), !tc.readFullName.empty());
        }
    }
    // A person's FN is still built from the parts, whatever the full name says.
    ContactRecord person;
    person.FirstName = u"Ann";
    person.LastName = u"Lee";
    person.FullName = u"Dr. Ann Lee";
    EXPECT_NE(Write(person, kVCard30, "").find("\r\nFN:Ann Lee\r\n"), std::string::npos);
}

// 3.0 categories are a list; files of earlier versions (every comma escaped) read the same.
TEST(VCardReaderRoundTrip, CategoryLists) {
    struct Case {
        const char* name;
        std::string value;
        std::u16string separator;
        std::u16string categories;
    };
    const Case cases[] = {
        {"list", "Business,Suppliers", u",", u"Business, Suppliers"},
        {"earlier versions' form", "Business\\, Suppliers", u",", u"Business, Suppliers"},
        {"a comma inside a name", "Work,Home\\, Private", u";", u"Work; Home, Private"},
        {"one name", "Family", u";", u"Family"},
        {"empty names dropped", "a,,b, ", u";", u"a; b"},
        {"earlier versions' form, separator ;", "a\\,b", u";", u"a;b"},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        VCardReaderOptions options;
        options.listSeparator = tc.separator;
        EXPECT_EQ(ReadOne(Card("CATEGORIES:" + tc.value + "\r\n", "3.0"), options).contact.Categories, tc.categories);
    }
}

// ---- faults of older readers, each mended ----

struct FieldCase {
    const char* name;
    std::string input;
    std::function<void(const VCardCard&)> check;
};

void RunCases(const std::vector<FieldCase>& cases) {
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cards = Read(c.input);
        EXPECT_EQ(static_cast<int>(cards.size()), CvCardReader::CountCards(c.input));
        ASSERT_EQ(cards.size(), 1u);
        c.check(cards.front());
    }
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST(VCardReaderMended, ByteOrderMarksAndUtf16) {
    const std::u16string text = u"BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\u00FCller;Zo\u00EB\r\nNOTE:\U0001F600\r\nEND:VCARD\r\n";
    RunCases({
        {"utf8 bom", "\xEF\xBB\xBF" + test::Utf8(text),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.LastName, u"M\u00FCller");
             EXPECT_EQ(c.line, 1);
         }},
        {"utf8 bom, a CHARSET still wins",
         "\xEF\xBB\xBF" "BEGIN:VCARD\r\nN;CHARSET=windows-1252:M\xFCller\r\nEND:VCARD\r\n",
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"utf16 le", Utf16(text, false),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.FirstName, u"Zo\u00EB");
             EXPECT_EQ(c.contact.Body, u"\U0001F600");
         }},
        {"utf16 be", Utf16(text, true), [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"utf16 le without a byte-order mark", Utf16(text, false).substr(2),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.FirstName, u"Zo\u00EB"); }},
        {"utf16 be without a byte-order mark", Utf16(text, true).substr(2),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"\U0001F600"); }},
    });
}

// A VERSION line anywhere in the card sets the rules of all its lines (one address
// book writes it last in every 3.0 card).
TEST(VCardReaderMended, VersionAnywhereInTheCard) {
    const std::string last = "BEGIN:VCARD\r\nN:Doe;Jane\r\nNOTE:one\\, two\\nthree\r\n"
                             "ADR;TYPE=home:;;Main St =41;Town;;;\r\nCATEGORIES:a,b\r\nVERSION:3.0\r\nEND:VCARD\r\n";
    const VCardCard got = ReadOne(last);
    EXPECT_EQ(got.version, 30);
    EXPECT_EQ(got.contact.Body, u"one, two\r\nthree");
    EXPECT_EQ(got.contact.HomeAddressStreet, u"Main St =41");  // not quoted-printable in 3.0
    EXPECT_EQ(got.contact.Categories, u"a; b");
    EXPECT_EQ(got.contact.LastName, u"Doe");
    const auto both = Read(last + Card("NOTE:a\\nb\r\n"));
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].version, 21);  // the next card starts at 2.1 again
    EXPECT_EQ(both[1].contact.Body, u"a\\nb");
    EXPECT_EQ(CvCardReader::CountCards(last + last), 2);
    // Only the first VERSION line counts.
    EXPECT_EQ(ReadOne("BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE:a\\nb\r\nVERSION:3.0\r\nEND:VCARD\r\n").contact.Body,
              u"a\\nb");
}

TEST(VCardReaderMended, LinesWithoutCharset) {
    RunCases({
        {"valid utf-8 is utf-8", Card("N:M\xC3\xBCller\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"other bytes use the system code page", Card("N:M\xFCller\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"quoted-printable utf-8", Card("NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"caf\u00E9"); }},
        {"overlong form is not utf-8", Card("N:\xC0\xAF\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"\u00C0\u00AF"); }},
    });
}

TEST(VCardReaderMended, EscapesInOnePass) {
    RunCases({
        {"3.0 C:\\new", Card("NOTE:C:\\\\new\\, x\\; y\\nz\\Nw\\q\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"C:\\new, x; y\r\nz\r\nw\\q"); }},
        {"2.1 keeps backslash n", Card("NOTE:a\\nb\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"a\\nb"); }},
        {"3.0 structured", Card("N:O\\;Brien;Ann\\,Marie;;;Jr\\; III;x\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.LastName, u"O;Brien");
             EXPECT_EQ(c.contact.FirstName, u"Ann,Marie");
             EXPECT_EQ(c.contact.Suffix, u"Jr; III");  // a sixth part is ignored
         }},
        {"3.0 escaped backslash before separator", Card("ORG:Acme\\\\;Sales\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.CompanyName, u"Acme\\");
             EXPECT_EQ(c.contact.Department, u"Sales");
         }},
        {"2.1 structured", Card("ORG:Acme\\; Co;R&D\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.CompanyName, u"Acme; Co");
             EXPECT_EQ(c.contact.Department, u"R&D");
         }},
    });
}

TEST(VCardReaderMended, FoldingAndSoftBreaks) {
    RunCases({
        {"fold with space", Card("NOTE:first\r\n  second\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"first second"); }},
        {"fold with tab", Card("NOTE:first\r\n\tsecond\r\nFN:x\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Body, u"firstsecond");
             EXPECT_EQ(c.contact.FullName, u"x");
         }},
        {"folded END text stays in the note", Card("NOTE:a\r\n END:VCARD\r\nFN:after\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Body, u"aEND:VCARD");
             EXPECT_EQ(c.contact.FullName, u"after");
         }},
        {"folded head", Card("TEL;TYPE=\r\n WORK:1\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.BusinessTelephoneNumber, u"1"); }},
        {"soft breaks over three lines", Card("NOTE;ENCODING=QUOTED-PRINTABLE:one=\r\n two=\r\nthree\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"one twothree"); }},
        {"soft break does not swallow END", Card("NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"abc="); }},
        {"photo passed over", Card("PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n /9j/4AAQ\r\n AA:BB;CC\r\n\r\nFN:x\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.FullName, u"x"); }},
        {"group prefix", Card("item1.EMAIL;type=INTERNET:x@y\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Email1Address, u"x@y");
             EXPECT_EQ(c.contact.Email1AddressType, u"SMTP");
         }},
    });
}

TEST(VCardReaderMended, LineEndsAtEveryOffset) {
    // Lines are found eight bytes at a time: each kind of line end at every place in
    // such a block, after bytes that differ from CR and LF only in the high bit
    // (U+010A and U+010D in UTF-8 end in 0x8A and 0x8D).
    const std::string pieces[] = {"a", "\xC4\x8A", "\xC4\x8D", "\xC3\xA9", "b"};
    const std::u16string units[] = {u"a", u"\u010A", u"\u010D", u"\u00E9", u"b"};
    for (const char* end : {"\r\n", "\n", "\r"}) {
        for (int length = 0; length < 20; ++length) {
            std::string value;
            std::u16string expected;
            for (int i = 0; i < length; ++i) {
                value += pieces[i % 5];
                expected += units[i % 5];
            }
            const std::string input = std::string("BEGIN:VCARD") + end + "VERSION:3.0" + end + "NOTE:" + value + end +
                                      "FN:x" + end + "END:VCARD" + end;
            SCOPED_TRACE(testing::Message() << "length " << length << ", end " << (end[0] == '\r' ? "CR" : "LF")
                                            << (end[1] == '\n' ? " LF" : ""));
            const VCardCard card = ReadOne(input);
            EXPECT_EQ(card.contact.Body, expected);
            EXPECT_EQ(card.contact.FullName, u"x");
            EXPECT_EQ(CvCardReader::CountCards(input), 1);
        }
    }
}

TEST(VCardReaderMended, ParametersAnywhereAndTypeLists) {
    RunCases({
        {"encoding before charset", Card("N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller;A\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"type before charset", Card("TEL;WORK;CHARSET=UTF-8:1\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.BusinessTelephoneNumber, u"1"); }},
        {"comma types", Card("TEL;TYPE=WORK,FAX:1\r\nTEL;type=home,voice:2\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessFaxNumber, u"1");
             EXPECT_EQ(c.contact.HomeTelephoneNumber, u"2");
         }},
        {"repeated TYPE", Card("TEL;TYPE=WORK;TYPE=FAX:1\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.BusinessFaxNumber, u"1"); }},
        {"quoted-printable on any line", Card("TEL;WORK;ENCODING=QUOTED-PRINTABLE:555=0D=0A0100\r\n"
                                              "X-OUTL-SPOUSE;ENCODING=QUOTED-PRINTABLE:a=3Db\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessTelephoneNumber, u"555\r\n0100");
             EXPECT_EQ(c.contact.Spouse, u"a=b");
         }},
    });
}

TEST(VCardReaderMended, CharsetSpellings) {
    const std::string mueller = "M\xC3\xBCller";
    const std::string latin = "M\xFCller";
    RunCases({
        {"exact", Card("N;CHARSET=UTF-8:" + mueller + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"lower case", Card("N;CHARSET=utf-8:" + mueller + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"quoted", Card("N;CHARSET=\"utf-8\":" + mueller + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"utf8 alias", Card("N;CHARSET=utf8:" + mueller + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"latin1", Card("N;CHARSET=latin1:" + latin + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"iso-8859-1 lower case", Card("N;charset=iso-8859-1:" + latin + "\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"M\u00FCller"); }},
        {"cp1251", Card("N;CHARSET=CP1251:\xCF\xE5\xF2\xF0\xEE\xE2\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.LastName, u"\u041F\u0435\u0442\u0440\u043E\u0432"); }},
        {"unknown uses system code page", Card("N;CHARSET=x-unheard-of:" + latin + "\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.LastName, u"M\u00FCller");
             ASSERT_EQ(c.problems.size(), 1u);
             EXPECT_EQ(c.problems[0].kind, VCardProblemKind::kUnknownCharset);
         }},
    });
}

TEST(VCardReaderMended, UnknownCharsetLoggedOncePerFile) {
    CRecordingLogger logger;
    VCardReaderOptions options;
    options.logger = &logger;
    const std::string file = Card("N;CHARSET=x-a:a\r\nFN;CHARSET=x-b:b\r\n") + Card("N;CHARSET=x-c:c\r\n");
    const auto cards = Read(file, options);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].contact.FullName, u"b");
    EXPECT_EQ(cards[0].problems.size(), 2u);
    ASSERT_EQ(logger.Messages().size(), 1u);
    EXPECT_EQ(logger.Messages()[0].level, kWarning);
}

TEST(VCardReaderMended, Dates) {
    struct Case {
        const char* value;
        double expected;  // kNoDate: unset
    };
    const Case cases[] = {
        {"1975-04-23", 27507.0},        {"19750423", 27507.0},      {"19750423T101500Z", 27507.0},
        {"1984-02-29", 30741.0},        {"19810229", kNoDate},      {"19800229", 29280.0},      {"1980-13-01", kNoDate},
        {"19800001", kNoDate},          {"1980-04-31", kNoDate},    {"00000000", kNoDate},
        {"1980-4", kNoDate},            {"garbage", kNoDate},       {"99999999999-01-01", kNoDate},
        {"2000-02-29", 36585.0},        {"1900-02-29", kNoDate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const VCardCard got = ReadOne(Card(std::string("BDAY:") + c.value + "\r\nX-OUTL-ANNIVERSARY:" + c.value + "\r\n"));
        EXPECT_EQ(OleFromLocal(got.contact.Birthday), c.expected);
        EXPECT_EQ(OleFromLocal(got.contact.Anniversary), c.expected);
        EXPECT_EQ(got.IsSet("Birthday"), c.expected != kNoDate);
    }
}

// ---- the rules every reader keeps ----

TEST(VCardReaderRules, TelephonesAndEmails) {
    RunCases({
        {"two work, third dropped", Card("TEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK:3\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessTelephoneNumber, u"1");
             EXPECT_EQ(c.contact.Business2TelephoneNumber, u"2");
             EXPECT_FALSE(c.IsSet("OtherTelephoneNumber"));
         }},
        {"bare fax is the other fax, a second one the business fax", Card("TEL;FAX:9\r\nTEL;FAX:8\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.OtherFaxNumber, u"9");
             EXPECT_EQ(c.contact.BusinessFaxNumber, u"8");
         }},
        {"pager or pref alone fill only their own field", Card("TEL;PAGER:7\r\nTEL;PREF:6\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.PagerNumber, u"7");
             EXPECT_EQ(c.contact.PrimaryTelephoneNumber, u"6");
             EXPECT_FALSE(c.IsSet("OtherTelephoneNumber"));
         }},
        {"pager and pref together also voice", Card("TEL;PAGER;PREF:7\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.PagerNumber, u"7");
             EXPECT_EQ(c.contact.PrimaryTelephoneNumber, u"7");
             EXPECT_EQ(c.contact.OtherTelephoneNumber, u"7");
         }},
        {"no type: the other telephone", Card("TEL:5\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.OtherTelephoneNumber, u"5"); }},
        {"pref shifts addresses", Card("EMAIL:a@x\r\nEMAIL;INTERNET:b@x\r\nEMAIL;X400:c@x\r\nEMAIL;PREF:p@x\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Email1Address, u"p@x");
             EXPECT_EQ(c.contact.Email1AddressType, u"");
             EXPECT_EQ(c.contact.Email2Address, u"a@x");
             EXPECT_EQ(c.contact.Email2AddressType, u"SMTP");
             EXPECT_EQ(c.contact.Email3Address, u"b@x");
         }},
        {"other type is not smtp", Card("EMAIL;X400:c@x\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Email1AddressType, u""); }},
        {"second work address goes to other", Card("ADR;WORK:;;a;b;c;d;e\r\nADR:;;f;g;h;i;j;k\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessAddressStreet, u"a");
             EXPECT_EQ(c.contact.OtherAddressStreet, u"f");
             EXPECT_EQ(c.contact.OtherAddressCountry, u"j");  // an eighth part is ignored
         }},
        {"3.0 address is not quoted-printable", Card("ADR;TYPE=HOME:;;a=41;b;c;d;e\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.HomeAddressStreet, u"a=41"); }},
        {"class and categories", Card("CLASS:confidential\r\nCATEGORIES:a,b\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Sensitivity, kSensitivityConfidential);
             EXPECT_EQ(c.contact.Categories, u"a; b");
         }},
        {"skype fix-ups", Card("X-SKYPE-USERNAME:me\r\nN:Solo\r\nFN:Solo Name\r\nEMAIL:a@x\tb@x c@x d@x\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.LastName, u"");
             EXPECT_EQ(c.contact.Email1Address, u"a@x");
             EXPECT_EQ(c.contact.Email2Address, u"b@x");
             EXPECT_EQ(c.contact.Email3Address, u"c@x d@x");
             EXPECT_EQ(c.contact.Email3AddressType, u"SMTP");
         }},
        {"first wins", Card("FN:one\r\nFN:two\r\nN:A\r\nN:B\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.FullName, u"one");
             EXPECT_EQ(c.contact.LastName, u"B");
         }},
        {"IM address read for major 10 and later", Card("X-OUTL-IMADDRESS:im\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.IMAddress, u"im"); }},
    });
    VCardReaderOptions nine;
    nine.hostMajorVersion = 9;
    EXPECT_EQ(ReadOne(Card("X-OUTL-IMADDRESS:im\r\n"), nine).contact.IMAddress, u"");
}

// ---- cards of other programs: nothing the host can hold is lost ----

// Lines as address books, phones and mail programs write them.
TEST(VCardReaderPeers, TelephoneTypes) {
    struct Case {
        const char* name;
        std::string lines;
        std::vector<std::pair<const char*, std::u16string>> want;  // host field, value
    };
    const Case cases[] = {
        {"bare TEL", "TEL:+1 555 0100\r\n", {{"OtherTelephoneNumber", u"+1 555 0100"}}},
        {"grouped TEL", "item1.TEL:+1 555 0101\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n",
         {{"OtherTelephoneNumber", u"+1 555 0101"}}},
        {"TYPE=OTHER", "TEL;TYPE=OTHER:1\r\n", {{"OtherTelephoneNumber", u"1"}}},
        {"type=mobile", "TEL;type=mobile:2\r\n", {{"MobileTelephoneNumber", u"2"}}},
        {"IPHONE", "TEL;type=IPHONE;type=CELL;type=VOICE;type=pref:3\r\n",
         {{"MobileTelephoneNumber", u"3"}, {"PrimaryTelephoneNumber", u"3"}, {"OtherTelephoneNumber", u""}}},
        {"VIDEO and MSG", "TEL;TYPE=VIDEO:4\r\nTEL;TYPE=MSG:5\r\n", {{"OtherTelephoneNumber", u"4"}}},
        {"unknown Evolution type", "TEL;TYPE=X-EVOLUTION-PRIMARY-X:6\r\n", {{"OtherTelephoneNumber", u"6"}}},
        {"Evolution fields", "TEL;TYPE=X-EVOLUTION-ASSISTANT:7\r\nTEL;TYPE=X-EVOLUTION-CALLBACK:8\r\n"
                             "TEL;TYPE=X-EVOLUTION-RADIO:9\r\nTEL;TYPE=X-EVOLUTION-TELEX:10\r\n"
                             "TEL;TYPE=X-EVOLUTION-TTYTDD:11\r\nTEL;TYPE=X-EVOLUTION-COMPANY:12\r\n",
         {{"AssistantTelephoneNumber", u"7"}, {"CallbackTelephoneNumber", u"8"}, {"RadioTelephoneNumber", u"9"},
          {"TelexNumber", u"10"}, {"TTYTDDTelephoneNumber", u"11"}, {"CompanyMainTelephoneNumber", u"12"},
          {"OtherTelephoneNumber", u""}}},
        {"webmail types", "TEL;TYPE=home2:13\r\nTEL;TYPE=work2:14\r\nTEL;TYPE=homefax:15\r\n"
                          "TEL;TYPE=workfax:16\r\nTEL;TYPE=main:17\r\n",
         {{"HomeTelephoneNumber", u"13"}, {"BusinessTelephoneNumber", u"14"}, {"HomeFaxNumber", u"15"},
          {"BusinessFaxNumber", u"16"}, {"CompanyMainTelephoneNumber", u"17"}, {"OtherTelephoneNumber", u""}}},
        {"VOICE with a place is not also other", "TEL;PREF;VOICE;WORK:18\r\n",
         {{"BusinessTelephoneNumber", u"18"}, {"PrimaryTelephoneNumber", u"18"}, {"OtherTelephoneNumber", u""}}},
        {"VOICE alone is other", "TEL;TYPE=VOICE:19\r\n", {{"OtherTelephoneNumber", u"19"}}},
        {"the other telephone is taken once", "TEL:20\r\nTEL;TYPE=OTHER:21\r\n", {{"OtherTelephoneNumber", u"20"}}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        const VCardCard got = ReadOne(Card(tc.lines, "3.0"));
        for (const auto& [field, value] : tc.want) {
            const ContactPropertyInfo* p = FindContactProperty(field);
            ASSERT_NE(p, nullptr) << field;
            EXPECT_EQ(got.contact.*(p->text), value) << field;
        }
    }
    // A number without a free field is logged with the card's name.
    CRecordingLogger log;
    VCardReaderOptions options;
    options.logger = &log;
    const VCardCard full = ReadOne(Card("FN:Ann Lee\r\nTEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK:3\r\n"), options);
    EXPECT_EQ(full.contact.Business2TelephoneNumber, u"2");
    EXPECT_TRUE(log.Contains(
        "Telephone number not imported, every field for it is taken: \"Ann Lee\" (test.vcf, line 6)"));
}

TEST(VCardReaderPeers, FieldsUnderOtherNames) {
    RunCases({
        {"IM addresses", Card("IMPP;X-SERVICE-TYPE=Jabber:xmpp:ann@example.org\r\nX-AIM:ann2\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.IMAddress, u"xmpp:ann@example.org"); }},
        {"our own IM address wins, wherever it stands",
         Card("X-JABBER:peer@x\r\nX-OUTL-IMADDRESS:own@x\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.IMAddress, u"own@x"); }},
        {"an empty IM line of our own leaves room", Card("X-OUTL-IMADDRESS:\r\nX-ICQ:12345\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.IMAddress, u"12345"); }},
        {"Evolution", Card("X-EVOLUTION-SPOUSE:Sam\r\nX-EVOLUTION-MANAGER:Max\r\nX-EVOLUTION-ASSISTANT:Al\r\n"
                           "X-EVOLUTION-ANNIVERSARY:2001-06-02\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Spouse, u"Sam");
             EXPECT_EQ(c.contact.ManagerName, u"Max");
             EXPECT_EQ(c.contact.AssistantName, u"Al");
             EXPECT_EQ(OleFromLocal(c.contact.Anniversary), 37044.0);
         }},
        {"address book of the desktop", Card("X-KADDRESSBOOK-X-SpousesName:Sue\r\nX-KADDRESSBOOK-X-ManagersName:Mo\r\n"
                                             "X-KADDRESSBOOK-X-AssistantsName:Amy\r\nX-KADDRESSBOOK-X-Anniversary:2001-06-02\r\n"
                                             "X-KADDRESSBOOK-X-Office:Room 4\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Spouse, u"Sue");
             EXPECT_EQ(c.contact.ManagerName, u"Mo");
             EXPECT_EQ(c.contact.AssistantName, u"Amy");
             EXPECT_EQ(OleFromLocal(c.contact.Anniversary), 37044.0);
             EXPECT_EQ(c.contact.OfficeLocation, u"Room 4");
         }},
        {"plain X- names and vCard 4", Card("X-SPOUSE:S\r\nX-MANAGER:M\r\nX-ASSISTANT:A\r\nANNIVERSARY:20010602\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Spouse, u"S");
             EXPECT_EQ(c.contact.ManagerName, u"M");
             EXPECT_EQ(c.contact.AssistantName, u"A");
             EXPECT_EQ(OleFromLocal(c.contact.Anniversary), 37044.0);
         }},
        {"our own values win", Card("X-SPOUSE:peer\r\nX-OUTL-SPOUSE:own\r\nX-ANNIVERSARY:19990101\r\n"
                                    "X-OUTL-ANNIVERSARY:20010602\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.Spouse, u"own");
             EXPECT_EQ(OleFromLocal(c.contact.Anniversary), 37044.0);
         }},
    });
    VCardReaderOptions nine;
    nine.hostMajorVersion = 9;
    EXPECT_EQ(ReadOne(Card("X-AIM:im\r\n"), nine).contact.IMAddress, u"");
}

TEST(VCardReaderPeers, ComponentsAddressesAndUrls) {
    RunCases({
        // A blank starting a quoted-printable continuation line is kept, as it always
        // was (the writer no longer writes one: it writes =20 or =09 there).
        {"quoted-printable continuation keeps its blank",
         Card("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Gr=C3=BC=C3=9F=\r\n und\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Body, u"Gr\u00FC\u00DF und"); }},
        {"8-part ADR: the label is not the country",
         Card("ADR;TYPE=HOME:;;1 Main St;Town;;12345;Sweden;1 Main St\\nTown\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.HomeAddressCountry, u"Sweden"); }},
        {"N keeps five parts", Card("N:Lee;Ann;B;Dr.;Jr.;extra\r\n"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Suffix, u"Jr."); }},
        {"ORG without trailing empty parts", Card("ORG:Umbrella;;\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.CompanyName, u"Umbrella");
             EXPECT_EQ(c.contact.Department, u"");
         }},
        {"ORG units stay joined", Card("ORG:Umbrella;Labs;East;\r\n", "3.0"),
         [](const VCardCard& c) { EXPECT_EQ(c.contact.Department, u"Labs;East"); }},
        {"POSTAL and PARCEL qualify a work address",
         Card("ADR;TYPE=WORK,POSTAL,PARCEL,PREF:;;1 Work St;A;;;\r\nADR;TYPE=HOME:;;2 Home St;B;;;\r\n"
              "ADR;TYPE=POSTAL:;;3 Box St;C;;;\r\n", "3.0"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessAddressStreet, u"1 Work St");
             EXPECT_EQ(c.contact.HomeAddressStreet, u"2 Home St");
             EXPECT_EQ(c.contact.OtherAddressStreet, u"3 Box St");
         }},
        {"a second untyped URL", Card("URL:http://a.example\r\nURL:http://b.example\r\nURL:http://c.example\r\n"),
         [](const VCardCard& c) {
             EXPECT_EQ(c.contact.BusinessHomePage, u"http://a.example");
             EXPECT_EQ(c.contact.PersonalHomePage, u"http://b.example");
         }},
    });
}

// ---- hostile input ----

TEST(VCardReaderHostile, QuotedPrintableFaultsReportOnce) {
    struct Case {
        const char* name;
        std::string value;
        std::u16string expected;
        bool reported;
    };
    const Case cases[] = {
        {"lone equals at end", "abc=", u"abc=", false},
        {"one hex digit", "abc=A", u"abc=A", false},
        {"not hex", "x=G1y", u"x=G1y", true},
        {"equals Z", "a=Zb", u"a=Zb", true},
        {"NUL byte dropped", "a=00b", u"ab", false},
        {"literal equals repaired", "a = b", u"a = b", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> messages;
        VCardReaderOptions options;
        options.invalidElement = [&](const std::string& m) { messages.push_back(m); };
        const VCardCard got = ReadOne(Card("FN:x\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" + c.value + "\r\n"), options);
        EXPECT_EQ(got.contact.Body, c.expected);
        EXPECT_EQ(got.contact.FullName, u"x");
        EXPECT_EQ(messages.size(), c.reported ? 1u : 0u);
        if (c.reported && !messages.empty()) {
            EXPECT_EQ(messages[0], "Element NOTE format in test.vcf file is invalid.\n"
                                   "It will be written into contact without any modifications.");
        }
    }
}

// A card cut off by the next BEGIN or the end of the file, and one beyond a limit, comes
// with its fault (counted failed by the import); the counting pass counts it too.
TEST(VCardReaderHostile, StructureAndSizes) {
    const std::string longLine(2u << 20, 'x');
    struct Case {
        const char* name;
        std::string input;
        std::size_t cards;
        std::vector<std::string> faults;  // of each card, "" when whole
    };
    const Case cases[] = {
        {"END without BEGIN", "END:VCARD\r\n" + Card("FN:a\r\n"), 1, {""}},
        {"a nested BEGIN ends the card", "BEGIN:VCARD\r\nFN:a\r\nEMAIL:a@x\r\nBEGIN:VCARD\r\nFN:b\r\nEND:VCARD\r\n", 2,
         {"Card without END:VCARD, not imported: \"a\" (x.vcf, line 1)", ""}},
        {"a nested BEGIN of something else is passed over", Card("BEGIN:VEVENT\r\nFN:a\r\nEND:VEVENT\r\n"), 1, {""}},
        {"last card without END", Card("FN:a\r\n") + "BEGIN:VCARD\r\nN:Lee;Ann\r\n", 2,
         {"", "Card without END:VCARD, not imported: \"Ann Lee\" (x.vcf, line 5)"}},
        {"2 MB line beyond the limit", Card("NOTE:" + longLine + "\r\nFN:after\r\n"), 1,
         {"Property too long, not imported: \"after\" (x.vcf, line 3)"}},
        {"2 MB of an unknown property", Card("PHOTO:" + longLine + "\r\nFN:after\r\n"), 1, {""}},
        {"2 MB line without breaks", "BEGIN:VCARD\r\n" + longLine, 1,
         {"Card without END:VCARD, not imported: (no name) (x.vcf, line 1)"}},
        {"NUL bytes", Card(std::string("FN:a\0b\r\n\0\0\0\r\nN:c\r\n", 18)), 1, {""}},
        {"only CR line ends", "BEGIN:VCARD\rFN:a\rEND:VCARD\r", 1, {""}},
        {"empty", "", 0, {}},
        {"many folded lines ending in =", [] {
             std::string s = "BEGIN:VCARD\r\nX=";
             for (int i = 0; i < 500000; ++i) s += "\r\n =";
             return s + "\r\nEND:VCARD\r\n";
         }(), 1, {""}},
        {"begin lower case and group", "item.begin:vcard\nfn:x\nEnd:VCard", 1, {""}},
    };
    VCardReaderOptions options;
    options.maxLineBytes = 1u << 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CvCardReader reader(&ShippedConverter(), options);
        const auto cards = reader.ReadAll(c.input, "x.vcf");
        ASSERT_EQ(cards.size(), c.cards);
        EXPECT_EQ(CvCardReader::CountCards(c.input, options), static_cast<int>(c.cards));
        for (std::size_t i = 0; i < cards.size(); ++i) EXPECT_EQ(cards[i].fault, c.faults[i]) << i;
    }
    // The fields of a cut-off card never reach the next one.
    const auto two = Read("BEGIN:VCARD\r\nFN:a\r\nEMAIL:a@x\r\nTEL;HOME:1\r\nBEGIN:VCARD\r\nFN:b\r\nEND:VCARD\r\n");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].contact.FullName, u"b");
    EXPECT_EQ(two[1].contact.Email1Address, u"");
    EXPECT_EQ(two[1].contact.HomeTelephoneNumber, u"");
    // Within the default limits a line of several megabytes is read whole.
    const VCardCard big = ReadOne(Card("NOTE:" + longLine + "\r\nFN:after\r\n"));
    EXPECT_EQ(big.contact.Body.size(), longLine.size());
    EXPECT_EQ(big.fault, "");
}

TEST(VCardReaderHostile, CardSizeCap) {
    VCardReaderOptions options;
    options.maxCardBytes = 100;
    std::string body;
    for (int i = 0; i < 20; ++i) body += "X-FILL:0123456789\r\n";
    const VCardCard got = ReadOne(Card("FN:early\r\n" + body + "NOTE:late\r\n"), options);
    EXPECT_EQ(got.contact.FullName, u"early");
    EXPECT_EQ(got.contact.Body, u"");
    ASSERT_FALSE(got.problems.empty());
    EXPECT_EQ(got.problems.back().kind, VCardProblemKind::kCardTooLong);
    EXPECT_EQ(got.fault, "Card too long, not imported: \"early\" (test.vcf, line 1)");
}

TEST(VCardReaderHostile, RandomBytesCountEqualsCards) {
    // Mutations of a real card: count and read agree and nothing crashes.
    ContactRecord source = FullRecord(kScripts[0]);
    const std::string seed = Write(source, kVCard21, "UTF-8") + Write(source, kVCard30, "UTF-8");
    std::uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const char alphabet[] = "\r\n \t:;=\\,.\"\0ABEGINVCARDEND";
    for (int round = 0; round < 300; ++round) {
        std::string bytes = seed;
        const int edits = 1 + static_cast<int>(next() % 20);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = next() % bytes.size();
            switch (next() % 3) {
                case 0: bytes[at] = alphabet[next() % (sizeof alphabet - 1)]; break;
                case 1: bytes.erase(at, next() % 8); break;
                default: bytes.insert(at, 1, static_cast<char>(next() & 0xFF)); break;
            }
            if (bytes.empty()) bytes = "x";
        }
        CvCardReader reader(&ShippedConverter());
        const auto cards = reader.ReadAll(bytes, "r.vcf");
        ASSERT_EQ(static_cast<int>(cards.size()), CvCardReader::CountCards(bytes)) << "round " << round;
    }
}

}  // namespace
}  // namespace mireo

namespace mireo {
namespace {

// The count of the line starts against the cards the reader gives, on texts made of the
// pieces where the two could part: folds and soft breaks around BEGIN lines, groups,
// case, 2.1 addresses read quoted-printable only before a VERSION 3.0 line, lines at the
// line limit, lone CRs and LFs.
TEST(VCardReaderCount, LineStartCountAgreesWithTheReader) {
    const std::string longHead = std::string(58, 'g') + ".BEGIN:VCARD";
    const std::vector<std::string> pieces = {
        "BEGIN:VCARD", "begin:vcard", "x.Begin:VCard", "BEGIN:VC", "BEGIN:V", " ARD", " CARD", "\tARD",
        "BEGIN;X=1:VCARD", "BEGIN :VCARD", "END:VCARD", " END:VCARD", "VERSION:3.0", "VERSION:2.1",
        "ADR:a;b=", "ADR;HOME:=", "NOTE;ENCODING=QUOTED-PRINTABLE:x=", "NOTE;QUOTED-PRINTABLE:=",
        "FN:a=", "FN:b", " folded=", "", "=", "BEG", "IN:VCARD", "NOTE;X=\"a:b\";QUOTED-PRINTABLE:c=",
        longHead, "\"q:BEGIN:VCARD", "TEL:1",
    };
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    VCardReaderOptions small;
    small.maxLineBytes = 64;
    small.maxCardBytes = 256;
    int counted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const std::uint32_t lines = 1 + next(14);
        for (std::uint32_t i = 0; i < lines; ++i) {
            text += pieces[next(static_cast<std::uint32_t>(pieces.size()))];
            if (i + 1 < lines || next(2) == 0) text += ends[next(8) == 0 ? 1 + next(2) : 0];
        }
        for (const VCardReaderOptions& options : {VCardReaderOptions{}, small}) {
            SCOPED_TRACE(text);
            CvCardReader reader(nullptr, options);
            const auto read = reader.ReadAll(text, "x.vcf");
            EXPECT_EQ(CvCardReader::CountCards(text, options), static_cast<int>(read.size()));
            ContentLineOptions lineOptions;
            lineOptions.maxLineBytes = options.maxLineBytes;
            lineOptions.quotedPrintableSoftBreaks = true;
            constexpr std::string_view stops[] = {"END:VCARD"};
            lineOptions.softBreakStops = stops;
            constexpr std::string_view adr[] = {"ADR"};
            if (const auto fast = CountBeginLines(text, "VCARD", lineOptions, adr)) {
                EXPECT_EQ(*fast, read.size());
                ++counted;
            }
        }
    }
    // Many texts, even of these pieces, are counted by their line starts alone.
    EXPECT_GT(counted, 2000);
}

TEST(VCardReaderCount, PlainAndQuotedPrintableFilesNeedNoReading) {
    ContentLineOptions lineOptions;
    lineOptions.quotedPrintableSoftBreaks = true;
    constexpr std::string_view stops[] = {"END:VCARD"};
    lineOptions.softBreakStops = stops;
    constexpr std::string_view adr[] = {"ADR"};
    // A 2.1 card as the writer makes it: a long note in soft-broken lines.
    const std::string qp21 = "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" + std::string(70, 'a') +
                             "=\r\n" + std::string(70, 'b') + "=\r\nBEGIN:VCARD=\r\nc\r\nEND:VCARD\r\n";
    EXPECT_EQ(CountBeginLines(qp21 + qp21, "VCARD", lineOptions, adr), std::optional<std::size_t>(2));
    const std::string folded30 = "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:a\r\n b\r\n\tc\r\nEND:VCARD\r\n";
    EXPECT_EQ(CountBeginLines(folded30 + folded30 + folded30, "VCARD", lineOptions, adr),
              std::optional<std::size_t>(3));
    // Only a 2.1 address ending in "=" waits for the card's version.
    EXPECT_EQ(CountBeginLines("BEGIN:VCARD\r\nADR:;;x=\r\nBEGIN:VCARD\r\n", "VCARD", lineOptions, adr), std::nullopt);
}

}  // namespace
}  // namespace mireo
