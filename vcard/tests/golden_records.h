#pragma once
// The records the writer's golden files (testdata/vcard/*.ref) were written from. The
// writer's tests build them into cards, the reader's tests read the files back to them
// and the independent parser check writes the worked example again.
#include "vcard/contact_record.h"

namespace mireo::test {

constexpr double kGoldenRev = 39155.63155092593;  // 2007-03-14 15:09:26

// example.*.ref
inline ContactRecord WorkedExample() {
    ContactRecord c;
    c.FirstName = u"John";
    c.LastName = u"Smith";
    c.CompanyName = u"Acme";
    c.Department = u"Sales";
    c.JobTitle = u"Manager";
    c.BusinessTelephoneNumber = u"555 0100";
    c.Body = u"Line1\r\nLine2";
    c.BusinessAddressStreet = u"1 Main St";
    c.BusinessAddressCity = u"Springfield";
    c.BusinessAddressState = u"IL";
    c.BusinessAddressPostalCode = u"62701";
    c.BusinessAddressCountry = u"USA";
    c.Birthday = LocalFromOle(27507.0);  // 1975-04-23
    c.Email1Address = u"john.smith@example.com";
    c.Email1AddressType = u"SMTP";
    c.Categories = u"Business";
    c.LastModificationTime = LocalFromOle(kGoldenRev);
    return c;
}

// escape.*.ref: separators, backslashes and line breaks of every kind.
inline ContactRecord EscapeContact() {
    ContactRecord c;
    c.LastName = u"O,Brien";
    c.FirstName = u"Ann";
    c.Title = u"Dr.";
    c.NickName = u"Back\\slash";
    c.CompanyName = u"Acme; Co";
    c.Department = u"R&D, Labs";
    c.JobTitle = u"Path C:\\new";
    c.Body = u"C:\\new, folder;x\r\nline2\rline3\nline4";
    c.BusinessTelephoneNumber = u"555\r\n0100";
    c.BusinessAddressStreet = u"1 Main St\r\nSuite 5";
    c.BusinessAddressCity = u"Spring;field";
    c.ManagerName = u"Line\nBreak";
    c.Categories = u"Work;Home, Private";
    c.LastModificationTime = LocalFromOle(kGoldenRev);
    c.Sensitivity = kSensitivityPrivate;
    return c;
}

// charset.*.ref, written for host version 9.
inline ContactRecord CharsetContact() {
    ContactRecord c;
    c.LastName = u"M\u00FCller";
    c.FirstName = u"Zo\u00EB";
    c.CompanyName = u"Caf\u00E9 \u00DCnal";
    c.JobTitle = u"\u03A9-Team";  // not in Windows-1252
    c.Body = u"Gr\u00FC\u00DFe \u2013 5 \u20AC";
    c.Email1Address = u"zoe@example.org";
    c.Email1AddressType = u"EX";
    c.Categories = u"K\u00FCche";
    c.LastModificationTime = LocalFromOle(39023.354166666664);  // 2006-11-02 08:30:00
    return c;
}

}  // namespace mireo::test
