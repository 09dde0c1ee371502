// The contact reader of the export run: one record serves every contact of a run, so
// nothing of one contact may show in the next; and what it reads is what a fresh
// record read property by property holds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hoststore/host_store.h"
#include "vcard/contact_record.h"
#include "vcard/export_parts.h"

namespace mireo {
namespace {

// Each field of two records that differ, by the host's name; empty when they agree.
std::vector<std::string> Differences(const ContactRecord& a, const ContactRecord& b) {
    std::vector<std::string> out;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        const bool same = p.text ? a.*p.text == b.*p.text : p.date ? a.*p.date == b.*p.date : a.*p.integer == b.*p.integer;
        if (!same) out.emplace_back(p.name);
    }
    return out;
}

// Each field of the record set (its own name as text, a date, an integer): what a
// record that served an earlier contact may hold.
ContactRecord Cluttered() {
    ContactRecord r;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if (p.text) r.*p.text = std::u16string(40, u'z');
        if (p.date) r.*p.date = LocalFromOle(30000.0);
        if (p.integer) r.*p.integer = 3;
    }
    return r;
}

class ContactReader : public ::testing::Test {
protected:
    std::unique_ptr<IItem> Add(const std::vector<std::pair<const char*, Value>>& fields) {
        auto item = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
        for (const auto& [name, value] : fields) item->Put(name, value);
        item->Save();
        return item;
    }

    CHostApplication app{HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}};
    std::unique_ptr<ISafeItem> safe = app.Mapi().CreateSafeContactItem();
};

TEST_F(ContactReader, AReusedRecordHoldsOnlyTheContactJustRead) {
    std::vector<std::pair<const char*, Value>> every;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if (p.text) every.emplace_back(p.name, Value::Text(u"value of " + ToHostText(p.name)));
    }
    every.emplace_back("Birthday", Value::Date(27507.0));
    every.emplace_back("Anniversary", Value::Date(35000.0));
    every.emplace_back("LastModificationTime", Value::Date(39155.5));
    every.emplace_back("Sensitivity", Value::Int(kSensitivityConfidential));
    auto rich = Add(every);
    auto sparse = Add({{"CompanyName", Value::Text(u"Acme")}});
    auto named = Add({{"FirstName", Value::Text(u"Ann")}, {"LastName", Value::Text(u"Lee")}});

    for (int major : {9, 11}) {
        SCOPED_TRACE("host major version " + std::to_string(major));
        CContactReader reader(major);
        ContactRecord reused = Cluttered();
        for (IItem* item : {rich.get(), sparse.get(), rich.get(), named.get(), sparse.get()}) {
            safe->SetItem(*item);
            ASSERT_EQ(reader.Read(*item, *safe, reused), kContactRead);
            ContactRecord fresh;
            ASSERT_EQ(ReadContactRecord(*item, *safe, major, fresh), kContactRead);
            EXPECT_EQ(Differences(reused, fresh), std::vector<std::string>{});
        }
        // The last one read: a sparse contact, its derived names, nothing else.
        EXPECT_EQ(reused.CompanyName, u"Acme");
        EXPECT_EQ(reused.FileAs, u"Acme");
        EXPECT_TRUE(reused.Body.empty());
        EXPECT_TRUE(reused.IMAddress.empty());
        EXPECT_TRUE(reused.TelexNumber.empty()) << "import-only fields are emptied too";
        EXPECT_FALSE(reused.Birthday.has_value());
        EXPECT_EQ(reused.Sensitivity, kSensitivityNormal);
    }

    // What a fresh read holds of the rich contact, against what was put.
    ContactRecord r;
    safe->SetItem(*rich);
    ASSERT_EQ(CContactReader(11).Read(*rich, *safe, r), kContactRead);
    EXPECT_EQ(r.Body, u"value of Body");
    EXPECT_EQ(r.IMAddress, u"value of IMAddress");
    EXPECT_EQ(r.Email2AddressType, u"value of Email2AddressType");
    EXPECT_TRUE(r.TelexNumber.empty()) << "not read for the export";
    EXPECT_EQ(r.Sensitivity, kSensitivityConfidential);
    ASSERT_TRUE(r.Birthday.has_value());
    EXPECT_EQ(*r.Birthday, LocalFromOle(27507.0));
    ContactRecord nine;
    ASSERT_EQ(CContactReader(9).Read(*rich, *safe, nine), kContactRead);
    EXPECT_TRUE(nine.IMAddress.empty()) << "read only from host version 10 on";
}

TEST_F(ContactReader, AFailedGuardedReadFailsTheCardAndTheNextCardReadsWhole) {
    auto a = Add({{"FirstName", Value::Text(u"Ann")}, {"Body", Value::Text(u"note of Ann")}});
    auto b = Add({{"FirstName", Value::Text(u"Bo")}, {"Email1Address", Value::Text(u"bo@example.com")}});
    CContactReader reader(11);
    ContactRecord r;
    safe->SetItem(*a);
    app.FailCall("SafeItem.Get", 1, kEFail);
    EXPECT_EQ(reader.Read(*a, *safe, r), kContactCannotBuild);
    // A failed object-model read of an unguarded property is the caller's to handle.
    app.FailCall("Get", 1, kEFail);
    EXPECT_THROW(reader.Read(*a, *safe, r), HostError);

    safe->SetItem(*b);
    ASSERT_EQ(reader.Read(*b, *safe, r), kContactRead);
    ContactRecord fresh;
    ASSERT_EQ(ReadContactRecord(*b, *safe, 11, fresh), kContactRead);
    EXPECT_EQ(Differences(r, fresh), std::vector<std::string>{});
    EXPECT_EQ(r.Email1AddressType, u"SMTP");
    EXPECT_TRUE(r.Body.empty());
}

}  // namespace
}  // namespace mireo
