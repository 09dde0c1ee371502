// PutByRef, the write path of the import loops, against Put by name: the same stored
// item and the same failures for one table of puts, with each name resolved once and
// its PropertyRef reused across items of both classes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_properties.h"
#include "hoststore/host_store.h"

namespace mireo {
namespace {

struct PutCase {
    ItemType type;
    const char* name;
    Value value;
};

// Derivations (name parts and FullName, Start with Duration and End), names in both
// tables, another spelling of a name, coercions and every kind of failure.
std::vector<PutCase> Cases() {
    using T = ItemType;
    return {
        {T::Contact, "FullName", Value::Text(u"Stored Name")},
        {T::Contact, "FirstName", Value::Text(u"Ann")},  // drops the stored FullName
        {T::Contact, "LastName", Value::Text(u"Lee")},
        {T::Contact, "CompanyName", Value::Text(u"Acme")},
        {T::Contact, "Body", Value::Text(u"notes")},
        {T::Contact, "Categories", Value::Text(u"Work;Home")},
        {T::Contact, "Birthday", Value::Date(27507.0)},
        {T::Contact, "Sensitivity", Value::Int(2)},
        {T::Contact, "Sensitivity", Value::Text(u"1")},  // coerced, or refused alike
        {T::Contact, "Birthday", Value::Text(u"tomorrow")},
        {T::Contact, "email1address", Value::Text(u"a@example.com")},
        {T::Contact, "Colour", Value::Int(1)},
        {T::Contact, "EntryID", Value::Text(u"x")},
        {T::Contact, "MessageClass", Value::Text(u"IPM.Note")},
        {T::Contact, "Location", Value::Text(u"an appointment's name")},
        {T::Contact, "LastModificationTime", Value::Date(39000.25)},
        {T::Appointment, "Subject", Value::Text(u"Meeting")},
        {T::Appointment, "Start", Value::Date(39155.5)},
        {T::Appointment, "Duration", Value::Int(45)},
        {T::Appointment, "End", Value::Date(39155.75)},
        {T::Appointment, "Start", Value::Date(39156.5)},  // keeps the length
        {T::Appointment, "Body", Value::Text(u"agenda")},
        {T::Appointment, "Categories", Value::Text(u"Work")},
        {T::Appointment, "Start", Value::Text(u"tomorrow")},
        {T::Appointment, "IsRecurring", Value::Bool(false)},
        {T::Appointment, "FirstName", Value::Text(u"a contact's name")},
        {T::Appointment, "lastmodificationtime", Value::Date(39001.5)},
        {T::Appointment, "ReminderSet", Value::Bool(true)},
    };
}

std::optional<HRESULT> FailureOf(const std::function<void()>& put) {
    try {
        put();
    } catch (const HostError& e) {
        return e.Hr();
    }
    return std::nullopt;
}

class ItemPutRef : public ::testing::Test {
protected:
    ItemPutRef() : app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}) {}

    std::unique_ptr<IItem> New(ItemType type) {
        const DefaultFolder where = type == ItemType::Contact ? DefaultFolder::Contacts : DefaultFolder::Calendar;
        return app.GetNamespace()->GetDefaultFolder(where)->Items()->Add(type);
    }

    // Every property of the item's table, as Get gives it, but the ones a Save sets.
    static std::map<std::string, Value> Snapshot(IItem& item) {
        const auto table = item.Class() == ItemClass::Contact ? ContactProperties() : AppointmentProperties();
        std::map<std::string, Value> all;
        for (const HostProperty& p : table) {
            const std::string_view n = p.name;
            if (n == "EntryID" || n == "CreationTime") continue;
            all.emplace(p.name, item.Get(p.name));
        }
        return all;
    }

    CHostApplication app;
};

TEST_F(ItemPutRef, SameItemsAndFailuresAsPutByName) {
    const std::vector<PutCase> cases = Cases();
    // One ref per name, kept for the whole run as an import keeps them: each is used by
    // items of both classes in turn, and several times on each.
    std::map<std::string, PropertyRef> refs;
    for (const PutCase& c : cases) refs.emplace(c.name, PropertyRef(c.name));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::map<ItemType, std::unique_ptr<IItem>> byName, byRef;
        for (ItemType t : {ItemType::Contact, ItemType::Appointment}) {
            byName[t] = New(t);
            byRef[t] = New(t);
        }
        for (const PutCase& c : cases) {
            SCOPED_TRACE(c.name);
            const auto named = FailureOf([&] { byName[c.type]->Put(c.name, c.value); });
            const auto reffed = FailureOf([&] { byRef[c.type]->PutByRef(refs.at(c.name), c.value); });
            EXPECT_EQ(named, reffed);
            EXPECT_FALSE(byRef[c.type]->Saved());
        }
        for (ItemType t : {ItemType::Contact, ItemType::Appointment}) {
            EXPECT_EQ(Snapshot(*byName[t]), Snapshot(*byRef[t])) << "before the save";
            byName[t]->Save();
            byRef[t]->Save();
            EXPECT_TRUE(byRef[t]->Saved());
            EXPECT_EQ(Snapshot(*byName[t]), Snapshot(*byRef[t])) << "as saved";
        }
        // A few answers spelled out, so that both paths being wrong the same way shows.
        EXPECT_EQ(byRef[ItemType::Contact]->Get("FullName"), Value::Text(u"Ann Lee"));
        EXPECT_EQ(byRef[ItemType::Contact]->Get("Email1Address"), Value::Text(u"a@example.com"));
        // The time put is kept by the Save, not replaced by the time of the Save.
        EXPECT_EQ(byRef[ItemType::Contact]->Get("LastModificationTime"), Value::Date(39000.25));
        EXPECT_EQ(byRef[ItemType::Appointment]->Get("LastModificationTime"), Value::Date(39001.5));
        EXPECT_EQ(byRef[ItemType::Appointment]->Get("Duration"), Value::Int(360));
        EXPECT_EQ(byRef[ItemType::Appointment]->Get("End"), Value::Date(39156.75));
    }
}

TEST_F(ItemPutRef, FailuresLeaveTheItemAndTheRefUsable) {
    auto contact = New(ItemType::Contact);
    // An unknown name fails on every put, not only the first (nothing is resolved).
    PropertyRef unknown("NoSuchProperty");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(FailureOf([&] { contact->PutByRef(unknown, Value::Int(1)); }), kDispEUnknownName);

    // Injected failures count PutByRef as a Put: the import's failure tests rely on it.
    PropertyRef last("LastName");
    app.FailCall("Put", 2, kEFail);
    contact->PutByRef(last, Value::Text(u"One"));
    EXPECT_EQ(FailureOf([&] { contact->PutByRef(last, Value::Text(u"Two")); }), kEFail);
    EXPECT_EQ(contact->Get("LastName"), Value::Text(u"One")) << "a failed put changes nothing";
    contact->PutByRef(last, Value::Text(u"Three"));
    contact->Save();
    EXPECT_EQ(contact->Get("LastName"), Value::Text(u"Three"));
}

}  // namespace
}  // namespace mireo
