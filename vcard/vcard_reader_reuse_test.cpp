// One card object read into again and again, as the import does: each card must come
// out as if it were the only one of its file, whatever the card before it held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vcard/tests/reader_support.h"
#include "vcard/vcard_reader.h"

namespace mireo {
namespace {

using test::ShippedConverter;
using test::Utf8;

std::string Card(const std::string& body, const std::string& version = "3.0") {
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n";
}

// Every field, the set marks and what the reader noted about the card; the line numbers
// of problems depend on the card's place in its file and are left out.
::testing::AssertionResult SameCard(const VCardCard& expected, const VCardCard& actual) {
    std::string diff;
    const auto props = ContactRecordProperties();
    for (std::size_t i = 0; i < props.size(); ++i) {
        const ContactPropertyInfo& p = props[i];
        if (p.text != nullptr && expected.contact.*(p.text) != actual.contact.*(p.text))
            diff += std::string(p.name) + ": \"" + Utf8(expected.contact.*(p.text)) + "\" / \"" +
                    Utf8(actual.contact.*(p.text)) + "\"\n";
        if (p.date != nullptr && expected.contact.*(p.date) != actual.contact.*(p.date)) diff += std::string(p.name) + "\n";
        if (p.integer != nullptr && expected.contact.*(p.integer) != actual.contact.*(p.integer))
            diff += std::string(p.name) + "\n";
        if (expected.IsSet(i) != actual.IsSet(i)) diff += std::string(p.name) + " set\n";
    }
    if (expected.version != actual.version) diff += "version\n";
    if (expected.hadSkypeLines != actual.hadSkypeLines) diff += "skype\n";
    if (expected.sensitivitySet != actual.sensitivitySet) diff += "sensitivity set\n";
    if (expected.fault.empty() != actual.fault.empty()) diff += "fault\n";
    if (expected.problems.size() != actual.problems.size()) {
        diff += "problems\n";
    } else {
        for (std::size_t i = 0; i < expected.problems.size(); ++i) {
            if (expected.problems[i].kind != actual.problems[i].kind ||
                expected.problems[i].property != actual.problems[i].property)
                diff += "problem " + std::to_string(i) + "\n";
        }
    }
    if (diff.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

// Cards of every kind the reader fills differently: full and sparse, the peers' fields,
// problems, a card read again for its late VERSION line, a cut-off one.
std::vector<std::string> Cards() {
    return {
        Card("N:M\u00FCller;Anna;B;Dr.;Jr.\r\nFN:Dr. Anna B M\u00FCller Jr.\r\nNICKNAME:Ann\r\nORG:Acme;Labs;East\r\n"
             "TITLE:Head\\, Labs\r\nNOTE:one\\ntwo\\, three\\; four\r\nTEL;TYPE=WORK,VOICE:1\r\nTEL;TYPE=HOME:2\r\n"
             "TEL;TYPE=CELL:3\r\nTEL;TYPE=WORK,FAX:4\r\nADR;TYPE=WORK:box;ext;street;city;state;zip;country\r\n"
             "ADR;TYPE=HOME:;;h street;h city;;;\r\nURL:http://a.example\r\nBDAY:1980-02-03\r\n"
             "EMAIL;TYPE=INTERNET:a@b.example\r\nEMAIL;TYPE=X400:c=x\r\nCATEGORIES:Work,Home\r\nCLASS:PRIVATE\r\n"
             "X-OUTL-SPOUSE:Bo\r\nX-OUTL-ANNIVERSARY:2001-01-01\r\n"),
        Card("N:Lee;Bo;;;\r\n"),
        Card("ORG:Umbrella\r\nX-EVOLUTION-SPOUSE:Cy\r\nX-EVOLUTION-ANNIVERSARY:1999-09-09\r\nIMPP:im:x\r\n"),
        Card("FN:Only Full\r\nBDAY:not a date\r\nTEL;TYPE=CELL:5\r\nTEL;TYPE=CELL:6\r\n"),
        Card("N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg\r\nADR:;;a=3Db;c;;;\r\n"
             "X-SKYPE-USERNAME:x\r\nFN:J\r\nEMAIL:a@x b@y c@z\r\n",
             "2.1"),
        // Lines before a 3.0 VERSION line, read again by its rules.
        "BEGIN:VCARD\r\nNOTE:a\\,b\r\nADR;HOME:;;x=3Dy;;;;\r\nVERSION:3.0\r\nN:Late;Version\r\nEND:VCARD\r\n",
        Card("CATEGORIES:a\\,b\r\nX-OUTL-CLASS:CONFIDENTIAL\r\n"),
        Card(""),
    };
}

TEST(VCardReaderReuse, EveryCardAsIfReadAlone) {
    const std::vector<std::string> cards = Cards();
    std::vector<VCardCard> alone;
    for (const std::string& c : cards) {
        CvCardReader reader(&ShippedConverter());
        VCardCard card;
        reader.Open(c, "alone.vcf");
        ASSERT_TRUE(reader.Next(card));
        alone.push_back(card);
    }
    // Each card after each other one, and a cut-off card at the end of the file.
    for (std::size_t a = 0; a < cards.size(); ++a) {
        for (std::size_t b = 0; b < cards.size(); ++b) {
            SCOPED_TRACE("card " + std::to_string(b) + " after card " + std::to_string(a));
            const std::string file = cards[a] + cards[b] + cards[a].substr(0, cards[a].find("END:VCARD"));
            CvCardReader reader(&ShippedConverter());
            reader.Open(file, "pair.vcf");
            VCardCard card;
            ASSERT_TRUE(reader.Next(card));
            EXPECT_TRUE(SameCard(alone[a], card));
            ASSERT_TRUE(reader.Next(card));
            EXPECT_TRUE(SameCard(alone[b], card));
            ASSERT_TRUE(reader.Next(card));
            EXPECT_FALSE(card.fault.empty());
            EXPECT_EQ(card.contact.LastName, alone[a].contact.LastName);
            EXPECT_FALSE(reader.Next(card));
        }
    }
}

TEST(VCardReaderReuse, ClearedRecordEqualsANewOne) {
    ContactRecord r;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if (p.text != nullptr) r.*(p.text) = u"some text longer than a small string";
        if (p.date != nullptr) r.*(p.date) = LocalFromOle(40000.5);
        if (p.integer != nullptr) r.*(p.integer) = kSensitivityConfidential;
    }
    ClearContactRecord(r);
    EXPECT_TRUE(test::SameImportFields(ContactRecord{}, r));
    EXPECT_TRUE(r.FileAs.empty());
    EXPECT_FALSE(r.LastModificationTime);
    EXPECT_EQ(r.Sensitivity, kSensitivityNormal);
}

// An address whose types name two places fills both; the second copies the first's
// parts (the extended part is the office only for the business address).
TEST(VCardReaderReuse, OneAddressLineIntoSeveralAddresses) {
    struct Case {
        const char* name;
        std::string body;
        std::u16string business, office, home, other;  // the streets, and the office
    } cases[] = {
        {"work and home", "ADR;TYPE=WORK,HOME:b;ext;s1;c;st;z;co\r\n", u"s1", u"ext", u"s1", u""},
        {"work taken: home and other",
         "ADR;TYPE=WORK:;o;s0;;;;\r\nADR;TYPE=WORK,HOME:b;ext;s1;c;st;z;co\r\n", u"s0", u"o", u"s1", u"s1"},
        {"work and home taken: other", "ADR;TYPE=WORK:;;s0;;;;\r\nADR;TYPE=HOME:;;s1;;;;\r\nADR;TYPE=HOME:;;s2;;;;\r\n",
         u"s0", u"", u"s1", u"s2"},
        {"all taken: nothing more", "ADR;TYPE=WORK:;;s0;;;;\r\nADR;TYPE=HOME:;;s1;;;;\r\nADR;TYPE=POSTAL:;;s2;;;;\r\n"
                                    "ADR;TYPE=WORK,HOME:;;s3;;;;\r\n",
         u"s0", u"", u"s1", u"s2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = Card(c.body);  // read by view: kept while read
        CvCardReader reader(&ShippedConverter());
        reader.Open(file, "a.vcf");
        VCardCard card;
        ASSERT_TRUE(reader.Next(card));
        const ContactRecord& r = card.contact;
        EXPECT_EQ(r.BusinessAddressStreet, c.business);
        EXPECT_EQ(r.OfficeLocation, c.office);
        EXPECT_EQ(r.HomeAddressStreet, c.home);
        EXPECT_EQ(r.OtherAddressStreet, c.other);
        if (c.body.find("s1;c;st;z;co") != std::string::npos) {
            for (const std::u16string* part : {&r.HomeAddressPostOfficeBox, &r.HomeAddressCity, &r.HomeAddressState,
                                               &r.HomeAddressPostalCode, &r.HomeAddressCountry}) {
                EXPECT_FALSE(part->empty());
            }
            EXPECT_EQ(r.HomeAddressCountry, u"co");
            EXPECT_EQ(r.HomeAddressPostOfficeBox, u"b");
        }
    }
}

// Every property name the reader knows is found in any case; a name one letter away
// from a known one (most of them of its length and ends) is not.
TEST(VCardReaderReuse, PropertyNamesFoundExactly) {
    const char* known[] = {"N", "FN", "NICKNAME", "ROLE", "ORG", "TITLE", "NOTE", "BDAY", "ADR", "TEL", "EMAIL",
                           "URL", "X-OUTL-IMADDRESS", "X-OUTL-CATEGORIES", "CATEGORIES", "X-OUTL-MANAGERNAME",
                           "X-OUTL-ASSISTANTNAME", "X-OUTL-SPOUSE", "X-OUTL-NMSERVER", "X-OUTL-NMALIAS",
                           "X-OUTL-IFBADDRESS", "X-OUTL-ANNIVERSARY", "CLASS", "X-OUTL-CLASS", "IMPP", "X-AIM",
                           "X-JABBER", "X-ICQ", "X-MSN", "X-YAHOO", "X-EVOLUTION-SPOUSE", "X-EVOLUTION-MANAGER",
                           "X-EVOLUTION-ASSISTANT", "X-EVOLUTION-ANNIVERSARY", "X-KADDRESSBOOK-X-SPOUSESNAME",
                           "X-KADDRESSBOOK-X-MANAGERSNAME", "X-KADDRESSBOOK-X-ASSISTANTSNAME",
                           "X-KADDRESSBOOK-X-ANNIVERSARY", "X-KADDRESSBOOK-X-OFFICE", "X-SPOUSE", "X-MANAGER",
                           "X-ASSISTANT", "X-ANNIVERSARY", "ANNIVERSARY"};
    std::string body;
    std::string unknown;
    for (const char* name : known) {
        std::string lower = name;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        body += lower + ":x\r\n";
        std::string near = name;
        if (near.size() > 2) {
            near[1] = near[1] == 'Q' ? 'R' : 'Q';
            unknown += near + ":x\r\n";
        }
    }
    const std::string file = Card(body) + Card(unknown);
    CvCardReader reader(&ShippedConverter());
    reader.Open(file, "names.vcf");
    VCardCard card;
    ASSERT_TRUE(reader.Next(card));
    EXPECT_TRUE(reader.Stats().unknownProperties.empty());
    ASSERT_TRUE(reader.Next(card));
    int names = 0;
    for (const char* name : known) names += std::string(name).size() > 2 ? 1 : 0;
    int counted = 0;
    for (const auto& [name, n] : reader.Stats().unknownProperties) counted += n;
    EXPECT_EQ(counted, names);
    EXPECT_EQ(card.contact.FullName, u"");
}

}  // namespace
}  // namespace mireo
