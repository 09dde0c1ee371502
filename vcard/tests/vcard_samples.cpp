// Writes sample cards for an independent parser: for each sample NAME.vcf (UTF-8,
// CHARSET=UTF-8) and NAME.json with the values the contact holds, which the parser
// must give back. Usage: mireo_vcard_samples OUTPUT_FOLDER
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "textformat/date_text.h"
#include "vcard/file_naming.h"
#include "vcard/tests/encoder_doubles.h"
#include "vcard/tests/golden_records.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

std::string Json(std::u16string_view s) {
    const std::string u = PathToUtf8(s);
    std::string out = "\"";
    for (unsigned char c : u) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

template <typename Items>
std::string ListOf(const Items& items) {
    std::string out = "[";
    for (std::u16string_view s : items) out += (out.size() > 1 ? "," : "") + Json(s);
    return out + "]";
}

std::string List(std::initializer_list<std::u16string_view> items) { return ListOf(items); }

struct Sample {
    const char* name;
    ContactRecord contact;
};

std::string DateDigits(LocalTime date, bool withTime) {
    return "\"" + (withTime ? FormatDateTime(date) : FormatBasicDate(date)) + "\"";
}

// What the card holds, in the parser's terms.
std::string Expected(const ContactRecord& c, int version, int major) {
    std::string j = "{";
    auto field = [&j](const char* key, const std::string& value) {
        if (j.size() > 1) j += ",\n ";
        j += std::string("\"") + key + "\": " + value;
    };
    auto optional = [](const std::u16string& s) { return s.empty() ? std::string("null") : Json(s); };
    field("version", version == kVCard30 ? "\"3.0\"" : "\"2.1\"");
    field("n", List({c.LastName, c.FirstName, c.MiddleName, c.Title, c.Suffix}));
    std::u16string fn;
    for (const std::u16string* part : {&c.FirstName, &c.MiddleName, &c.LastName, &c.Suffix}) {
        if (!part->empty()) fn += (fn.empty() ? u"" : u" ") + *part;
    }
    field("fn", Json(fn));
    field("nickname", optional(c.NickName));
    if (c.CompanyName.empty() && c.Department.empty()) {
        field("org", "null");
    } else if (c.Department.empty()) {
        field("org", List({c.CompanyName}));
    } else {
        field("org", List({c.CompanyName, c.Department}));
    }
    field("title", optional(c.JobTitle));
    field("note", optional(c.Body));
    std::string tels = "[";
    auto tel = [&tels](const std::u16string& number, const char* types) {
        if (number.empty()) return;
        tels += std::string(tels.size() > 1 ? "," : "") + "{\"value\": " + Json(number) + ", \"types\": " + types + "}";
    };
    tel(c.BusinessTelephoneNumber, "[\"WORK\"]");
    tel(c.Business2TelephoneNumber, "[\"WORK\"]");
    tel(c.BusinessFaxNumber, "[\"FAX\",\"WORK\"]");
    tel(c.HomeTelephoneNumber, "[\"HOME\"]");
    tel(c.Home2TelephoneNumber, "[\"HOME\"]");
    tel(c.HomeFaxNumber, "[\"FAX\",\"HOME\"]");
    tel(c.MobileTelephoneNumber, "[\"CELL\"]");
    tel(c.CarTelephoneNumber, "[\"CAR\"]");
    tel(c.OtherTelephoneNumber, "[\"VOICE\"]");
    tel(c.OtherFaxNumber, "[\"FAX\"]");
    tel(c.PagerNumber, "[\"PAGER\"]");
    tel(c.ISDNNumber, "[\"ISDN\"]");
    tel(c.PrimaryTelephoneNumber, "[\"PREF\"]");
    field("tels", tels + "]");
    std::string adrs = "[";
    auto adr = [&adrs](const char* type, std::initializer_list<std::u16string_view> parts) {
        bool any = false;
        for (auto p : parts) any = any || !p.empty();
        if (!any) return;
        adrs += std::string(adrs.size() > 1 ? "," : "") + "{\"types\": [\"" + type + "\"], \"components\": " +
                List(parts) + "}";
    };
    adr("WORK", {c.BusinessAddressPostOfficeBox, c.OfficeLocation, c.BusinessAddressStreet, c.BusinessAddressCity,
                 c.BusinessAddressState, c.BusinessAddressPostalCode, c.BusinessAddressCountry});
    adr("HOME", {c.HomeAddressPostOfficeBox, u"", c.HomeAddressStreet, c.HomeAddressCity, c.HomeAddressState,
                 c.HomeAddressPostalCode, c.HomeAddressCountry});
    adr("POSTAL", {c.OtherAddressPostOfficeBox, u"", c.OtherAddressStreet, c.OtherAddressCity, c.OtherAddressState,
                   c.OtherAddressPostalCode, c.OtherAddressCountry});
    field("adrs", adrs + "]");
    std::string urls = "[";
    if (!c.PersonalHomePage.empty()) urls += "{\"value\": " + Json(c.PersonalHomePage) + ", \"types\": [\"HOME\"]}";
    if (!c.BusinessHomePage.empty()) {
        urls += std::string(urls.size() > 1 ? "," : "") + "{\"value\": " + Json(c.BusinessHomePage) +
                ", \"types\": [\"WORK\"]}";
    }
    field("urls", urls + "]");
    field("role", optional(c.Profession));
    field("bday", c.Birthday ? DateDigits(*c.Birthday, false) : "null");
    std::string emails = "[";
    const std::u16string* mail[3][2] = {{&c.Email1Address, &c.Email1AddressType},
                                        {&c.Email2Address, &c.Email2AddressType},
                                        {&c.Email3Address, &c.Email3AddressType}};
    for (int i = 0; i < 3; ++i) {
        if (mail[i][0]->empty()) continue;
        std::vector<std::string> types;
        if (*mail[i][1] == u"SMTP") types.push_back("\"INTERNET\"");
        if (i == 0) types.push_back("\"PREF\"");
        std::string t = "[";
        for (auto& s : types) t += (t.size() > 1 ? "," : "") + s;
        emails += std::string(emails.size() > 1 ? "," : "") + "{\"value\": " + Json(*mail[i][0]) +
                  ", \"types\": " + t + "]}";
    }
    field("emails", emails + "]");
    std::string x = "{";
    auto xf = [&x](const char* name, const std::string& value) {
        x += std::string(x.size() > 1 ? ", " : "") + "\"" + name + "\": " + value;
    };
    if (major > 9) xf("X-OUTL-IMADDRESS", Json(c.IMAddress));
    if (!c.ManagerName.empty()) xf("X-OUTL-MANAGERNAME", Json(c.ManagerName));
    if (!c.AssistantName.empty()) xf("X-OUTL-ASSISTANTNAME", Json(c.AssistantName));
    if (!c.Spouse.empty()) xf("X-OUTL-SPOUSE", Json(c.Spouse));
    if (c.Anniversary) xf("X-OUTL-ANNIVERSARY", DateDigits(*c.Anniversary, false));
    if (!c.NetMeetingServer.empty()) xf("X-OUTL-NMSERVER", Json(c.NetMeetingServer));
    if (!c.NetMeetingAlias.empty()) xf("X-OUTL-NMALIAS", Json(c.NetMeetingAlias));
    if (!c.InternetFreeBusyAddress.empty()) xf("X-OUTL-IFBADDRESS", Json(c.InternetFreeBusyAddress));
    if (version == kVCard21) xf("X-OUTL-CATEGORIES", Json(c.Categories));
    field("x", x + "}");
    // 3.0: a list of the names between the separators, each trimmed.
    std::vector<std::u16string> names;
    for (std::size_t start = 0; start <= c.Categories.size();) {
        std::size_t end = c.Categories.find(u';', start);
        if (end == std::u16string::npos) end = c.Categories.size();
        std::u16string name = c.Categories.substr(start, end - start);
        while (!name.empty() && name.front() == u' ') name.erase(0, 1);
        while (!name.empty() && name.back() == u' ') name.pop_back();
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    field("categories", version == kVCard30 ? (names.empty() ? List({u""}) : ListOf(names)) : "null");
    field("rev", DateDigits(c.LastModificationTime.value_or(kNoDateLocal), true));
    const char* cls = c.Sensitivity == kSensitivityPrivate        ? "\"PRIVATE\""
                      : c.Sensitivity == kSensitivityConfidential ? "\"CONFIDENTIAL\""
                                                                  : "null";
    field("class", cls);
    return j + "}\n";
}

std::vector<Sample> Samples(int version) {
    std::vector<Sample> s;
    s.push_back({"example", test::WorkedExample()});
    {
        ContactRecord c;
        c.LastName = u"M\u00FCller-L\u00FCdenscheidt";
        c.FirstName = u"Zo\u00EB";
        c.MiddleName = u"\u00C5sa";
        c.Title = u"Dr.";
        c.Suffix = u"Jr.";
        c.NickName = u"\u65E5\u672C";
        c.CompanyName = u"Caf\u00E9 \u00DCnal GmbH";
        c.Department = u"K\u00FCche";
        c.JobTitle = u"\u0428\u0435\u0444-\u043F\u043E\u0432\u0430\u0440";
        c.Profession = u"Cook";
        c.Body = u"Gr\u00FC\u00DFe \u2013 5 \u20AC\r\nZweite Zeile \U0001F600";
        const char16_t* numbers[] = {u"+49 1", u"+49 2", u"+49 3", u"+49 4", u"+49 5", u"+49 6", u"+49 7",
                                     u"+49 8", u"+49 9", u"+49 10", u"+49 11", u"+49 12", u"+49 13"};
        std::u16string* fields[] = {&c.BusinessTelephoneNumber, &c.Business2TelephoneNumber, &c.BusinessFaxNumber,
                                    &c.HomeTelephoneNumber, &c.Home2TelephoneNumber, &c.HomeFaxNumber,
                                    &c.MobileTelephoneNumber, &c.CarTelephoneNumber, &c.OtherTelephoneNumber,
                                    &c.OtherFaxNumber, &c.PagerNumber, &c.ISDNNumber, &c.PrimaryTelephoneNumber};
        for (int i = 0; i < 13; ++i) *fields[i] = numbers[i];
        c.BusinessAddressPostOfficeBox = u"PF 12";
        c.OfficeLocation = u"Raum 3";
        c.BusinessAddressStreet = u"Hauptstra\u00DFe 1";
        c.BusinessAddressCity = u"K\u00F6ln";
        c.BusinessAddressState = u"NRW";
        c.BusinessAddressPostalCode = u"50667";
        c.BusinessAddressCountry = u"Deutschland";
        c.HomeAddressStreet = u"Gartenweg 2";
        c.HomeAddressCity = u"Bonn";
        c.OtherAddressPostOfficeBox = u"PO 9";
        c.OtherAddressCountry = u"\u00D6sterreich";
        c.PersonalHomePage = u"http://home.example/zoe";
        c.BusinessHomePage = u"http://cafe.example";
        c.Birthday = LocalFromOle(27507.0);
        c.Anniversary = LocalFromOle(35947.0);
        c.Email1Address = u"zoe@cafe.example";
        c.Email1AddressType = u"SMTP";
        c.Email2Address = u"/o=Cafe/cn=zoe";
        c.Email2AddressType = u"EX";
        c.Email3Address = u"zoe@home.example";
        c.Email3AddressType = u"SMTP";
        c.IMAddress = u"zoe@im.example";
        c.ManagerName = u"Fr\u00E9d\u00E9ric";
        c.AssistantName = u"Ana";
        c.Spouse = u"J\u00F6rg";
        c.NetMeetingServer = u"nm.example";
        c.NetMeetingAlias = u"zoe";
        c.InternetFreeBusyAddress = u"http://fb.example/zoe";
        c.Categories = u"Gesch\u00E4ft";
        c.LastModificationTime = LocalFromOle(39023.354166666664);
        c.Sensitivity = kSensitivityConfidential;
        s.push_back({"everything", c});
    }
    {
        ContactRecord c;
        // Commas and backslashes only in 3.0: 2.1 has no escape for them, and the
        // parser reads 2.1 text with the 3.0 rules.
        const bool v30 = version == kVCard30;
        c.LastName = v30 ? u"O,Brien; Jr" : u"O'Brien; Jr";
        c.FirstName = u"Ann";
        c.CompanyName = u"Acme; Co";
        c.Department = v30 ? u"R&D, Labs" : u"R&D Labs";
        c.JobTitle = u"Head of\r\nSales";
        c.Body = v30 ? u"a, b; c: d\r\nsecond\nthird" : u"a; b: c\r\nsecond\nthird\rfourth";
        c.BusinessAddressStreet = u"1 Main St\r\nSuite 5";
        c.BusinessAddressCity = u"Spring;field";
        c.ManagerName = u"Two\r\nLines";
        c.Categories = u"Work;Home";
        c.LastModificationTime = LocalFromOle(39155.5);
        c.Sensitivity = kSensitivityPrivate;
        if (v30) {
            c.NickName = u"C:\\new\\, x";
            c.JobTitle += u" \\n";
        }
        s.push_back({"escaping", c});
    }
    {
        ContactRecord c;
        c.FirstName = u"Long";
        for (int i = 0; i < 40; ++i) c.Body += u"Zeile mit Umlauten \u00E4\u00F6\u00FC und = Zeichen. ";
        c.Body += u"Ende.";
        c.LastModificationTime = LocalFromOle(39155.0);
        s.push_back({"long-note", c});
    }
    s.push_back({"empty", ContactRecord{}});
    return s;
}

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc != 2) {
        std::fprintf(stderr, "usage: mireo_vcard_samples OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    test::CUtf8Encoder utf8;
    const int major = 11;
    for (int version : {kVCard21, kVCard30}) {
        VCardWriterOptions options;
        options.version = version;
        options.hostMajorVersion = major;
        CvCardWriter writer(utf8, options);
        for (const Sample& sample : Samples(version)) {
            const std::string base = folder + "/" + sample.name + (version == kVCard30 ? ".30" : ".21");
            std::string card;
            writer.BuildCard(sample.contact, card);
            std::ofstream vcf(base + ".vcf", std::ios::binary);
            vcf << card;
            std::ofstream json(base + ".json", std::ios::binary);
            json << Expected(sample.contact, version, major);
            if (!vcf.flush() || !json.flush()) {
                std::fprintf(stderr, "cannot write %s\n", base.c_str());
                return 1;
            }
        }
    }
    return 0;
}
