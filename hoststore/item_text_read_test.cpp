// GetText, the read path of the export loops, against Get: the same text for every
// property of both item classes (stored, unset, derived), with names resolved once and
// reused across items of either class, and the same failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/host_properties.h"
#include "hoststore/host_store.h"

namespace mireo {
namespace {

class ItemTextRead : public ::testing::Test {
protected:
    ItemTextRead() : app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}) {}

    std::unique_ptr<IItem> Add(ItemType type, const std::vector<std::pair<const char*, Value>>& fields) {
        const DefaultFolder where = type == ItemType::Contact ? DefaultFolder::Contacts : DefaultFolder::Calendar;
        auto item = app.GetNamespace()->GetDefaultFolder(where)->Items()->Add(type);
        for (const auto& [name, value] : fields) item->Put(name, value);
        item->Save();
        return item;
    }

    // Every property of `table` read both ways; the refs are those of earlier items too.
    void ExpectSameAsGet(IItem& item, std::span<const HostProperty> table, std::vector<PropertyRef>& refs,
                         ISafeItem* safe = nullptr) {
        std::u16string text = u"left over from the last read";
        for (PropertyRef& ref : refs) {
            const HostProperty* p = FindProperty(table, ref.name);
            if (p == nullptr) continue;
            SCOPED_TRACE(std::string(ref.name));
            const std::u16string expected = std::move(item.Get(ref.name)).TakeText();
            item.GetText(ref, text);
            EXPECT_EQ(text, expected);
            if (safe != nullptr) {
                safe->GetText(ref, text);
                EXPECT_EQ(text, expected) << "through the safe item";
            }
        }
    }

    CHostApplication app;
};

// The names of both tables in one list, as a loop over mixed items would hold them.
std::vector<PropertyRef> AllNames() {
    std::vector<PropertyRef> refs;
    for (const HostProperty& p : ContactProperties()) refs.emplace_back(p.name);
    for (const HostProperty& p : AppointmentProperties()) {
        if (FindProperty(ContactProperties(), p.name) == nullptr) refs.emplace_back(p.name);
    }
    return refs;
}

TEST_F(ItemTextRead, EveryPropertyReadsAsGetGivesIt) {
    const char16_t kAstral[] = {u'a', 0xD83D, 0xDE00, u'\u00E9', 0xD800, 0};  // a pair, é, a lone surrogate
    auto full = Add(ItemType::Contact, {{"Title", Value::Text(u"Dr.")},
                                         {"FirstName", Value::Text(u"Anna")},
                                         {"LastName", Value::Text(kAstral)},
                                         {"FullName", Value::Text(u"Stored Full Name")},
                                         {"FileAs", Value::Text(u"Stored File As")},
                                         {"Body", Value::Text(std::u16string(5000, u'x') + u"\r\nend")},
                                         {"Email1Address", Value::Text(u"a@example.com")},
                                         {"Email2Address", Value::Text(u"b@example.com")},
                                         {"Email2AddressType", Value::Text(u"EX")},
                                         {"Categories", Value::Text(u"Work;Home")},
                                         {"Sensitivity", Value::Int(2)},
                                         {"Birthday", Value::Date(27507.0)}});
    // Nothing but names: FullName and FileAs are derived from them.
    auto named = Add(ItemType::Contact, {{"FirstName", Value::Text(u"Bo")}, {"MiddleName", Value::Text(u"C")},
                                          {"LastName", Value::Text(u"Yi")}, {"Suffix", Value::Text(u"Jr.")}});
    auto company = Add(ItemType::Contact, {{"CompanyName", Value::Text(u"Acme")}});
    auto empty = Add(ItemType::Contact, {});
    auto event = Add(ItemType::Appointment, {{"Subject", Value::Text(u"Meeting")},
                                             {"Start", Value::Date(39155.5)},
                                             {"Duration", Value::Int(45)},
                                             {"Location", Value::Text(u"Room 1")},
                                             {"Body", Value::Text(u"agenda")}});
    auto bare = Add(ItemType::Appointment, {});

    auto safe = app.Mapi().CreateSafeContactItem();
    std::vector<PropertyRef> refs = AllNames();
    // Contacts and appointments in turn: a name resolved for one class is resolved
    // again for the other (Body, Categories, MessageClass are in both tables).
    for (IItem* item : {full.get(), bare.get(), named.get(), event.get(), company.get(), empty.get(), full.get()}) {
        if (item->Class() == ItemClass::Contact) {
            safe->SetItem(*item);
            ExpectSameAsGet(*item, ContactProperties(), refs, safe.get());
        } else {
            ExpectSameAsGet(*item, AppointmentProperties(), refs);
        }
    }

    // A few answers spelled out, so that both reads being wrong the same way shows.
    PropertyRef fullName("FullName"), fileAs("FileAs"), type1("Email1AddressType"), cls("MessageClass");
    std::u16string t;
    named->GetText(fullName, t);
    EXPECT_EQ(t, u"Bo C Yi Jr.");
    named->GetText(fileAs, t);
    EXPECT_EQ(t, u"Yi, Bo");
    company->GetText(fileAs, t);
    EXPECT_EQ(t, u"Acme");
    full->GetText(type1, t);
    EXPECT_EQ(t, u"SMTP");
    full->GetText(fullName, t);
    EXPECT_EQ(t, u"Stored Full Name");
    event->GetText(cls, t);
    EXPECT_EQ(t, u"IPM.Appointment");
    full->GetText(cls, t);
    EXPECT_EQ(t, u"IPM.Contact");
    PropertyRef entryId("EntryID");
    full->GetText(entryId, t);
    EXPECT_EQ(t, ToHostText(full->EntryId()));
    EXPECT_FALSE(t.empty());
}

TEST_F(ItemTextRead, FailuresAreThoseOfGet) {
    auto contact = Add(ItemType::Contact, {{"FirstName", Value::Text(u"Ann")}});
    std::u16string t = u"unchanged";

    // An unknown name fails on every read, not only the first (nothing is resolved).
    PropertyRef unknown("NoSuchProperty");
    for (int i = 0; i < 2; ++i) {
        try {
            contact->GetText(unknown, t);
            ADD_FAILURE() << "no error for an unknown name";
        } catch (const HostError& e) {
            EXPECT_EQ(e.Hr(), kDispEUnknownName);
        }
    }
    EXPECT_EQ(t, u"unchanged") << "a failed read leaves the text as it was";

    // A safe item without its item.
    auto safe = app.Mapi().CreateSafeContactItem();
    PropertyRef body("Body");
    try {
        safe->GetText(body, t);
        ADD_FAILURE() << "no error without an item";
    } catch (const HostError& e) {
        EXPECT_EQ(e.Hr(), kEPointer);
    }

    // Injected failures count GetText as a Get: the export's failure tests rely on it.
    PropertyRef first("FirstName");
    app.FailCall("Get", 2, kEFail);
    contact->GetText(first, t);
    EXPECT_EQ(t, u"Ann");
    EXPECT_THROW(contact->GetText(first, t), HostError);
    contact->GetText(first, t);
    EXPECT_EQ(t, u"Ann");
}

}  // namespace
}  // namespace mireo
