// The item store interface over the host's objects by late binding, against the test
// host in this process: values cross both ways unchanged, and every failure of the
// host comes back as HostError with its HRESULT and the interface.
#include <gtest/gtest.h>

#include "addin/testhost/session.h"
#include "addin/win32/host_adapter.h"

namespace mireo::testhost {
namespace {

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_host.OpenExplorer(&m_host.Store().Contacts(), DefaultLayout(), false);
        m_host.Store().Load(m_host.Store().Contacts(), R"([{"LastName": "Lee", "FirstName": "Ann", "CompanyName": "Acme",
            "Body": "line\r\nnext", "Email1Address": "ann@acme.example"}])");
    }
    CFakeHost m_host{u"11.0.0.0"};
    CDispApplication m_app{ComPtr<IDispatch>(m_host.Application())};
};

TEST_F(AdapterTest, ValuesCrossBothWaysUnchanged) {
    std::unique_ptr<IFolder> contacts = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
    EXPECT_EQ(contacts->Name(), u"Contacts");
    EXPECT_EQ(contacts->DefaultItemType(), kFolderContact);
    std::unique_ptr<IFolder> top = contacts->Parent();
    ASSERT_TRUE(top);
    EXPECT_EQ(top->Name(), u"Personal Folders");
    EXPECT_FALSE(top->Parent()) << "the namespace above the store's top folder is no folder";

    std::unique_ptr<IItem> item = contacts->Items()->Add(ItemType::Contact);
    struct Case {
        const char* property;
        Value value;
    };
    const Case cases[] = {
        {"LastName", Value::Text(std::u16string(u"N\u00FC\0ll", 5))},
        {"FirstName", Value::Text(u"")},
        {"Birthday", Value::Date(MakeOleDate(1984, 2, 29))},
        {"Anniversary", Value::Date(kNoDate)},
        {"Sensitivity", Value::Int(2)},
        {"Body", Value::Text(u"\u65E5\u672C \U0001F600\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.property);
        item->Put(c.property, c.value);
        EXPECT_EQ(item->Get(c.property), c.value);
    }
    EXPECT_FALSE(item->Saved());
    EXPECT_EQ(item->EntryId(), "");
    item->Save();
    EXPECT_TRUE(item->Saved());
    EXPECT_FALSE(item->EntryId().empty());
    EXPECT_EQ(item->Class(), ItemClass::Contact);
    EXPECT_EQ(m_app.GetNamespace()->GetItemFromID(item->EntryId())->Get("LastName"), cases[0].value);
    EXPECT_EQ(m_app.MajorVersion(), 11);

    std::unique_ptr<IItems> found = contacts->Items()->Restrict(u"[CompanyName] = 'acme'");
    ASSERT_EQ(found->Count(), 1);
    EXPECT_EQ(found->Item(1)->Get("FullName").AsText(), u"Ann Lee");
    EXPECT_EQ(found->GetFirst()->Get("FirstName").AsText(), u"Ann");
    EXPECT_FALSE(found->GetNext());
    std::unique_ptr<IExplorer> explorer = m_app.ActiveExplorer();
    ASSERT_TRUE(explorer);
    explorer->SetCurrentFolder(*m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar));
    EXPECT_EQ(explorer->CurrentFolder()->Name(), u"Calendar");
    EXPECT_EQ(explorer->Selection()->Count(), 0);
}

// The host's error code and the interface that failed, whatever the way of failing.
TEST_F(AdapterTest, EveryHostFailureIsAHostErrorNamingTheInterface) {
    std::unique_ptr<IFolder> contacts = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
    std::unique_ptr<IItems> items = contacts->Items();
    std::unique_ptr<IItem> item = items->Item(1);
    struct Case {
        const char* name;
        std::function<void()> call;
        HRESULT hr;
        const char* iface;
    };
    const Case cases[] = {
        {"index out of range", [&] { items->Item(9); }, kDispEBadIndex, "_Items"},
        {"unknown property", [&] { item->Get("NoSuchProperty"); }, kDispEUnknownName, "_ContactItem"},
        {"read-only property", [&] { item->Put("EntryID", Value::Text(u"x")); }, kDispEException, "_ContactItem"},
        {"a filter the host cannot read", [&] { items->Restrict(u"[FullName] ~ 'x'"); }, kDispEException, "_Items"},
        {"an item that is gone", [&] { m_app.GetNamespace()->GetItemFromID("FFFF"); }, kMapiENotFound, "_NameSpace"},
        {"no such class", [] { CreateByProgId(L"Redemption.NoSuchThing", "SafeContactItem"); }, kCoEClassString,
         "SafeContactItem"},
        {"an item of another store", [&] {
             std::unique_ptr<IItem> foreign = m_host.Store().Item(m_host.Store().Contacts().items[0]);
             CDispMapiFactory().CreateSafeContactItem()->SetItem(*foreign);
         }, kEPointer, "SafeContactItem"},
        {"a safe item without its item", [] { CDispMapiFactory().CreateSafeContactItem()->Get("Body"); }, kEPointer,
         "SafeContactItem"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const HostError& e) {
            EXPECT_EQ(e.Hr(), c.hr) << e.what();
            EXPECT_EQ(e.Interface(), c.iface) << e.what();
        }
    }
    // An error the host raises as it is asked to.
    m_host.ActiveExplorer()->object->FailNext("CurrentFolder", kEAccessDenied);
    try {
        m_app.ActiveExplorer()->CurrentFolder();
        ADD_FAILURE() << "no error";
    } catch (const HostError& e) {
        EXPECT_EQ(e.Hr(), kEAccessDenied);
        EXPECT_EQ(e.Interface(), "_Explorer");
        EXPECT_NE(std::string(e.what()).find("CurrentFolder failed as asked"), std::string::npos) << e.what();
    }
}

TEST_F(AdapterTest, OutsideLibraryObjectsAreCreatedByProgId) {
    CDispMapiFactory mapi;
    std::unique_ptr<IItem> item = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Item(1);
    std::unique_ptr<ISafeItem> safe = mapi.CreateSafeContactItem();
    safe->SetItem(*item);
    EXPECT_EQ(safe->Get("Body").AsText(), u"line\r\nnext");
    EXPECT_EQ(safe->Get("Email1AddressType").AsText(), u"SMTP");
    EXPECT_TRUE(safe->Fields(MakeTag(0x3A16, kPtString8)).IsEmpty());
    EXPECT_TRUE(mapi.CreateSafeAppointmentItem());
    std::unique_ptr<IMapiUtils> utils = mapi.CreateMapiUtils();
    EXPECT_EQ(TagId(utils->GetIDsFromNames(*item, "{00062002-0000-0000-C000-000000000046}", 0x8214, false)), 0x8014);
    EXPECT_FALSE(utils->GetProp(*item, MakeTag(0x8014, kPtLong)));
    EXPECT_EQ(utils->BytesToHex({0x00, 0xAB, 0x10}), "00AB10");
    EXPECT_EQ(utils->HexToBytes("00ab10"), (Bytes{0x00, 0xAB, 0x10}));
    for (const wchar_t* progId : kHostProgIds) EXPECT_TRUE(CreateByProgId(progId, "x"));
}

}  // namespace
}  // namespace mireo::testhost
