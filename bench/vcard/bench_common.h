#pragma once
// What the contact export and import benchmarks share: the spread of contacts they
// fill a store with, a progress display that shows nothing, and this process's
// processor time and peak resident size.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/item_store.h"
#include "ui/progress.h"

namespace mireo::bench {

inline std::u16string Text(const char* prefix, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %d", prefix, i);
    std::u16string out;
    for (const char* p = buf; *p != '\0'; ++p) out += static_cast<char16_t>(*p);
    return out;
}

// The same spread of contacts as the writer's benchmark: names, company and phones on
// every one; notes (a tenth of them long), addresses, line breaks and non-ASCII on some.
// First names are unique, so each contact has a name of its own.
inline void FillContact(IItem& c, int i) {
    c.Put("FirstName", Value::Text(Text("First", i)));
    c.Put("LastName", Value::Text((i % 7 == 0 ? u"M\u00FCller-" : u"Smith-") + Text("Last", i % 2000)));
    c.Put("CompanyName", Value::Text(Text("Company", i % 500)));
    if (i % 3 == 0) c.Put("Department", Value::Text(u"Sales, North"));
    c.Put("JobTitle", Value::Text(i % 11 == 0 ? u"Head of\r\nPurchasing" : u"Manager"));
    c.Put("BusinessTelephoneNumber", Value::Text(Text("+1 555", i)));
    c.Put("MobileTelephoneNumber", Value::Text(Text("+1 666", i)));
    if (i % 2 == 0) c.Put("HomeTelephoneNumber", Value::Text(Text("+1 777", i)));
    if (i % 4 == 0) {
        c.Put("BusinessAddressStreet", Value::Text(i % 8 == 0 ? u"1 Main St\r\nSuite 200" : u"1 Main St"));
        c.Put("BusinessAddressCity", Value::Text(u"Springfield"));
        c.Put("BusinessAddressPostalCode", Value::Text(u"62701"));
        c.Put("BusinessAddressCountry", Value::Text(u"USA"));
    }
    if (i % 5 == 0) {
        std::u16string body = u"Met at the fair; wants a quote.\r\nCall back on Monday, after 10 \u20AC.";
        if (i % 50 == 0) {
            for (int k = 0; k < 60; ++k) body += u" More notes about the contact, line after line.\r\n";
        }
        c.Put("Body", Value::Text(body));
    }
    c.Put("Email1Address", Value::Text(Text("person", i) + u"@example.com"));
    c.Put("Categories", Value::Text(i % 2 == 0 ? u"Business;Customers" : u"Personal"));
    c.Put("Birthday", Value::Date(27000.0 + i % 10000));
    c.Put("LastModificationTime", Value::Date(39000.0 + i / 86400.0));
    if (i % 13 == 0) c.Put("Sensitivity", Value::Int(2));
}

// A progress display that shows nothing (the scripted one keeps every event).
class CQuietProgressView : public IProgressView {
public:
    bool Start(CDlgProgress&, void*, std::uint16_t) override { return true; }
    void ShowLabel(const std::string&) override {}
    void ShowStatus(std::int32_t, std::int32_t, const std::string&) override {}
    void Close() override {}
};

// Processor time of this process (user and system), seconds: under a busy machine the
// wall clock counts other programs' time too.
inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Peak resident size of this process, KB.
inline long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace mireo::bench
