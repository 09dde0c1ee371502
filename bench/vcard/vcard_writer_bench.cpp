// Card building alone (no store, no files): cards per second and MB per second for
// 10,000 and 100,000 generated contacts, vCard 2.1 and 3.0, UTF-8.
// Usage: mireo_bench_vcard_writer [max-cards]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vcard/tests/encoder_doubles.h"
#include "vcard/vcard_writer.h"

namespace {

using mireo::ContactRecord;

std::u16string Text(const char* prefix, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %d", prefix, i);
    std::u16string out;
    for (const char* p = buf; *p != '\0'; ++p) out += static_cast<char16_t>(*p);
    return out;
}

// A spread of contacts: every one has names, a company and phones; some have notes
// (a tenth of them long ones), addresses, line breaks and non-ASCII text.
ContactRecord MakeContact(int i) {
    ContactRecord c;
    c.FirstName = Text("First", i);
    c.LastName = (i % 7 == 0 ? u"M\u00FCller-" : u"Smith-") + Text("Last", i);
    c.CompanyName = Text("Company", i % 500);
    if (i % 3 == 0) c.Department = u"Sales, North";
    c.JobTitle = i % 11 == 0 ? u"Head of\r\nPurchasing" : u"Manager";
    c.BusinessTelephoneNumber = Text("+1 555", i);
    c.MobileTelephoneNumber = Text("+1 666", i);
    if (i % 2 == 0) c.HomeTelephoneNumber = Text("+1 777", i);
    if (i % 4 == 0) {
        c.BusinessAddressStreet = i % 8 == 0 ? u"1 Main St\r\nSuite 200" : u"1 Main St";
        c.BusinessAddressCity = u"Springfield";
        c.BusinessAddressPostalCode = u"62701";
        c.BusinessAddressCountry = u"USA";
    }
    if (i % 5 == 0) {
        c.Body = u"Met at the fair; wants a quote.\r\nCall back on Monday, after 10 \u20AC.";
        if (i % 50 == 0) {
            for (int k = 0; k < 60; ++k) c.Body += u" More notes about the contact, line after line.\r\n";
        }
    }
    c.Email1Address = Text("person", i) + u"@example.com";
    c.Email1AddressType = u"SMTP";
    c.Categories = i % 2 == 0 ? u"Business;Customers" : u"Personal";
    c.Birthday = mireo::LocalFromOle(27000.0 + i % 10000);
    c.LastModificationTime = mireo::LocalFromOle(39000.0 + i / 86400.0);
    c.Sensitivity = i % 13 == 0 ? mireo::kSensitivityPrivate : mireo::kSensitivityNormal;
    return c;
}

void Run(const std::vector<ContactRecord>& contacts, int count, int version) {
    mireo::test::CUtf8Encoder utf8;
    mireo::VCardWriterOptions options;
    options.version = version;
    options.hostMajorVersion = 11;
    mireo::CvCardWriter writer(utf8, options);
    std::string card;
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        writer.BuildCard(contacts[static_cast<std::size_t>(i)], card);
        bytes += card.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("vCard %s  %7d cards  %8.3f s  %10.0f cards/s  %7.1f MB/s  (%.1f MB)\n",
                version == mireo::kVCard30 ? "3.0" : "2.1", count, seconds, count / seconds,
                bytes / seconds / 1e6, bytes / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    const int maxCards = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::vector<ContactRecord> contacts;
    contacts.reserve(static_cast<std::size_t>(maxCards));
    for (int i = 0; i < maxCards; ++i) contacts.push_back(MakeContact(i));
    for (int version : {mireo::kVCard21, mireo::kVCard30}) {
        for (int count : {10000, 100000}) {
            if (count <= maxCards) Run(contacts, count, version);
        }
    }
    return 0;
}
