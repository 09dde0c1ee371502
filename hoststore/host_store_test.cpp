#include "hoststore/host_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>

namespace mireo {
namespace {

class HostStoreTest : public ::testing::Test {
protected:
    HostStoreTest() : app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"}) {}

    std::unique_ptr<IFolder> Folder(DefaultFolder which) { return app.GetNamespace()->GetDefaultFolder(which); }

    std::unique_ptr<IItem> AddContact(const std::u16string& first, const std::u16string& last,
                                      const std::u16string& company = u"") {
        auto item = Folder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
        item->Put("FirstName", Value::Text(first));
        item->Put("LastName", Value::Text(last));
        if (!company.empty()) item->Put("CompanyName", Value::Text(company));
        item->Save();
        return item;
    }

    std::unique_ptr<IItem> AddAppointment(const std::u16string& subject, OleDate start, int minutes) {
        auto item = Folder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
        item->Put("Subject", Value::Text(subject));
        item->Put("Start", Value::Date(start));
        item->Put("Duration", Value::Int(minutes));
        return item;
    }

    // Starts of what Sort("[Start]") + IncludeRecurrences + Restrict gives.
    std::vector<OleDate> Render(const std::u16string& filter) {
        auto items = Folder(DefaultFolder::Calendar)->Items();
        items->Sort(u"[Start]");
        items->SetIncludeRecurrences(true);
        auto found = items->Restrict(filter);
        std::vector<OleDate> starts;
        for (auto i = found->GetFirst(); i; i = found->GetNext()) starts.push_back(i->Get("Start").AsDate());
        return starts;
    }

    CHostApplication app;
};

std::vector<std::string> Dates(const std::vector<OleDate>& v) {
    std::vector<std::string> out;
    for (OleDate d : v) {
        const DateParts p = SplitOleDate(d);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, p.hour, p.minute);
        out.push_back(buf);
    }
    return out;
}

// The store keeps the items a lookup read for the next lookups; a change nobody saved
// still goes with the item's last holder, on either way a lookup reads items.
TEST_F(HostStoreTest, AChangeNotSavedGoesWithItsLastHolder) {
    AddContact(u"Dee", u"Fox", u"Acme");
    auto items = Folder(DefaultFolder::Contacts)->Items();
    for (const std::u16string filter : {u"[FullName] = 'Dee Fox' AND [CompanyName] = 'Acme'", u"[FullName] = 'Dee Fox'"}) {
        SCOPED_TRACE(FromHostText(filter));
        for (int round = 0; round < 2; ++round) {
            auto found = items->Restrict(filter);
            ASSERT_EQ(found->Count(), 1);
            auto contact = found->Item(1);
            EXPECT_EQ(contact->Get("JobTitle").AsText(), u"");
            contact->Put("JobTitle", Value::Text(u"Changed"));
        }
    }
}

TEST_F(HostStoreTest, DefaultFoldersAndPaths) {
    EXPECT_EQ(FolderPathText(*Folder(DefaultFolder::Contacts)), u"\\\\Personal Folders\\Contacts");
    EXPECT_EQ(Folder(DefaultFolder::Calendar)->DefaultItemType(), kFolderAppointment);
    EXPECT_EQ(Folder(DefaultFolder::Contacts)->DefaultItemType(), kFolderContact);
    EXPECT_EQ(FolderPathText(*Folder(DefaultFolder::DeletedItems)), u"\\\\Personal Folders\\Deleted Items");
    EXPECT_TRUE(Folder(DefaultFolder::Inbox));
    auto work = Folder(DefaultFolder::Calendar)->Folders()->Add(u"Work", kFolderAppointment);
    auto deep = work->Folders()->Add(u"Team", kFolderAppointment)->Folders()->Add(u"Rota", kFolderAppointment);
    EXPECT_EQ(FolderPathText(*deep), u"\\\\Personal Folders\\Calendar\\Work\\Team\\Rota");
    EXPECT_EQ(FolderPathText(*app.FolderByPath(u"Calendar/Work/Team")), u"\\\\Personal Folders\\Calendar\\Work\\Team");
    EXPECT_TRUE(app.FolderByPath(u"\\\\Personal Folders\\Calendar\\Work"));
    EXPECT_FALSE(app.FolderByPath(u"Calendar/Nowhere"));
    EXPECT_FALSE(app.GetNamespace()->Folders()->Item(1)->Parent());
    EXPECT_THROW(work->Folders()->Add(u"team", kFolderAppointment), HostError);
}

TEST_F(HostStoreTest, VersionAndMajorVersion) {
    EXPECT_EQ(app.Version(), u"11.0.0.0");
    EXPECT_EQ(app.MajorVersion(), 11);
    EXPECT_EQ(MajorVersionOf(u"9.0.0.2711"), 9);
    EXPECT_EQ(MajorVersionOf(u"12"), 0);
    EXPECT_EQ(MajorVersionOf(u"12", 9), 9);
    EXPECT_EQ(MajorVersionOf(u".5"), 0);
    CHostApplication other(HostStoreOptions{":memory:", u"9.0.0.2711", "M/d/yyyy"});
    EXPECT_EQ(other.MajorVersion(), 9);
    // Read once: a later failure of Version does not matter.
    other.FailCall("Version", 1, kEFail);
    EXPECT_EQ(other.MajorVersion(), 9);
}

TEST_F(HostStoreTest, DerivedContactProperties) {
    auto c = Folder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
    c->Put("Title", Value::Text(u"Dr."));
    c->Put("FirstName", Value::Text(u"John"));
    c->Put("MiddleName", Value::Text(u"Q"));
    c->Put("LastName", Value::Text(u"Smith"));
    c->Put("Suffix", Value::Text(u"Jr."));
    EXPECT_EQ(c->Get("FullName").AsText(), u"Dr. John Q Smith Jr.");
    EXPECT_EQ(c->Get("FileAs").AsText(), u"Smith, John");
    c->Put("FullName", Value::Text(u"Johnny"));
    EXPECT_EQ(c->Get("FullName").AsText(), u"Johnny");
    c->Put("FileAs", Value::Text(u"JS"));
    EXPECT_EQ(c->Get("FileAs").AsText(), u"JS");
    // A name part put later makes the host compose the name again.
    c->Put("FirstName", Value::Text(u"Jon"));
    EXPECT_EQ(c->Get("FullName").AsText(), u"Dr. Jon Q Smith Jr.");
    EXPECT_EQ(c->Get("Email1AddressType").AsText(), u"");
    c->Put("Email1Address", Value::Text(u"j@example.org"));
    EXPECT_EQ(c->Get("Email1AddressType").AsText(), u"SMTP");
    EXPECT_EQ(c->Get("Birthday").AsDate(), kNoDate);
    EXPECT_EQ(c->Get("Sensitivity").AsInt(), 0);
    auto company = Folder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
    company->Put("CompanyName", Value::Text(u"Acme"));
    EXPECT_EQ(company->Get("FullName").AsText(), u"");
    EXPECT_EQ(company->Get("FileAs").AsText(), u"Acme");
}

TEST_F(HostStoreTest, DerivedAppointmentTimes) {
    auto a = AddAppointment(u"Meet", MakeOleDate(2007, 3, 5, 9, 0), 90);
    EXPECT_EQ(Dates({a->Get("End").AsDate()}), std::vector<std::string>{"2007-03-05 10:30"});
    a->Put("Start", Value::Date(MakeOleDate(2007, 3, 6, 8, 0)));  // keeps the duration
    EXPECT_EQ(Dates({a->Get("End").AsDate()}), std::vector<std::string>{"2007-03-06 09:30"});
    a->Put("End", Value::Date(MakeOleDate(2007, 3, 6, 12, 0)));  // sets it
    EXPECT_EQ(a->Get("Duration").AsInt(), 240);
    EXPECT_FALSE(a->Get("IsRecurring").AsBool());
    a->GetRecurrencePattern()->Put("RecurrenceType", Value::Int(kRecursDaily));
    EXPECT_TRUE(a->Get("IsRecurring").AsBool());
    EXPECT_THROW(a->Put("IsRecurring", Value::Bool(false)), HostError);
    EXPECT_THROW(a->Put("Colour", Value::Int(1)), HostError);
    EXPECT_THROW(a->Put("Start", Value::Text(u"tomorrow")), HostError);
}

TEST_F(HostStoreTest, AddedItemExistsOnlyAfterSave) {
    auto items = Folder(DefaultFolder::Contacts)->Items();
    auto c = items->Add(ItemType::Contact);
    c->Put("LastName", Value::Text(u"Pending"));
    EXPECT_EQ(items->Count(), 0);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'Pending'")->Count(), 0);
    EXPECT_EQ(c->EntryId(), "");
    EXPECT_FALSE(c->Saved());
    c->Save();
    EXPECT_TRUE(c->Saved());
    EXPECT_EQ(items->Count(), 1);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'Pending'")->Count(), 1);
    EXPECT_NE(c->EntryId(), "");
    c->Put("LastName", Value::Text(u"Changed"));
    EXPECT_FALSE(c->Saved());
    c->Discard();
    EXPECT_EQ(c->Get("LastName").AsText(), u"Pending");
    EXPECT_THROW(items->Add(ItemType::Appointment), HostError);
}


// A modification time put on an item of either kind, by any spelling of its name, is
// what its next Save keeps; a Save without one stamps the time of the save; other
// properties put leave the stamping alone. A save also files the item under its name
// and company, or its subject, so that lookups by them find it at once.
TEST_F(HostStoreTest, SaveKeepsAPutModificationTimeAndFilesTheKeys) {
    const OleDate put = MakeOleDate(2001, 2, 3, 4, 5);
    auto contact = Folder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
    auto event = AddAppointment(u"Budget Review", MakeOleDate(2007, 3, 5, 9, 0), 30);
    for (IItem* item : {contact.get(), event.get()}) {
        const bool isContact = item == contact.get();
        SCOPED_TRACE(isContact ? "contact" : "appointment");
        if (isContact) {
            item->Put("LastName", Value::Text(u"Rao"));
            item->Put("CompanyName", Value::Text(u"Quill & Co"));
        }
        item->Put(isContact ? "lastmodificationtime" : "LastModificationTime", Value::Date(put));
        item->Put(isContact ? "JobTitle" : "Location", Value::Text(u"after the time"));
        item->Save();
        EXPECT_EQ(item->Get("LastModificationTime").AsDate(), put);
        item->Put(isContact ? "JobTitle" : "Location", Value::Text(u"changed"));
        item->Save();
        EXPECT_GT(item->Get("LastModificationTime").AsDate(), put + 365.0);
    }
    auto contacts = Folder(DefaultFolder::Contacts)->Items();
    EXPECT_EQ(contacts->Restrict(u"[FullName] = 'RAO' AND [CompanyName] = \"quill & co\"")->Count(), 1);
    EXPECT_EQ(contacts->Restrict(u"[CompanyName] = 'Quill'")->Count(), 0);
    EXPECT_EQ(Folder(DefaultFolder::Calendar)->Items()->Restrict(u"[Subject] = 'budget review'")->Count(), 1);
}
TEST_F(HostStoreTest, DeleteMovesToDeletedItemsThenRemovesForGood) {
    auto c = AddContact(u"Ann", u"Lee");
    const std::string id = c->EntryId();
    auto deleted = Folder(DefaultFolder::DeletedItems);
    c->Delete();
    EXPECT_EQ(Folder(DefaultFolder::Contacts)->Items()->Count(), 0);
    ASSERT_EQ(deleted->Items()->Count(), 1);
    auto moved = deleted->Items()->Item(1);
    EXPECT_EQ(moved->EntryId(), id);  // identity survives the move
    EXPECT_EQ(app.GetNamespace()->GetItemFromID(id)->Get("FullName").AsText(), u"Ann Lee");
    moved->Delete();
    EXPECT_EQ(deleted->Items()->Count(), 0);
    EXPECT_THROW(app.GetNamespace()->GetItemFromID(id), HostError);
    EXPECT_THROW(moved->Save(), HostError);
}

TEST_F(HostStoreTest, TemporaryItemsSaveToTheDefaultFolder) {
    auto t = app.CreateItem(ItemType::Appointment);
    t->Put("Subject", Value::Text(u"temp"));
    EXPECT_EQ(Folder(DefaultFolder::Calendar)->Items()->Count(), 0);
    t->Discard();
    auto c = app.CreateItem(ItemType::Contact);
    app.SetCategoriesDialogAnswer(u"Work, Home");
    EXPECT_TRUE(c->ShowCategoriesDialog());
    EXPECT_EQ(c->Get("Categories").AsText(), u"Work, Home");
    c->Save();
    EXPECT_EQ(Folder(DefaultFolder::Contacts)->Items()->Count(), 1);
}

TEST_F(HostStoreTest, RestrictReturnsCreationOrderAndUsesFolding) {
    AddContact(u"Zoë", u"Adams", u"Acme");
    AddContact(u"Иван", u"Петров", u"Acme");
    AddContact(u"Zoë", u"Adams", u"Other");
    auto items = Folder(DefaultFolder::Contacts)->Items();
    auto r = items->Restrict(u"[CompanyName] = \"ACME\"");
    ASSERT_EQ(r->Count(), 2);
    EXPECT_EQ(r->Item(1)->Get("FirstName").AsText(), u"Zoë");
    EXPECT_EQ(r->Item(2)->Get("LastName").AsText(), u"Петров");
    EXPECT_EQ(items->Restrict(u"[FullName] = 'ZOË ADAMS'")->Count(), 2);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'иван петров'")->Count(), 1);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'Zoë Adams' AND [CompanyName] = 'Other'")->Count(), 1);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'Zoë Adams' Or [FullName] = 'Иван Петров'")->Count(), 3);
    // Restricting a restriction narrows it.
    EXPECT_EQ(r->Restrict(u"[FirstName] = 'zoë'")->Count(), 1);
    EXPECT_THROW(items->Restrict(u"[FullName] = 'O'Brien'"), HostError);
}

TEST_F(HostStoreTest, RestrictByAnIndexedNameFollowsSavesDeletesAndUnsavedChanges) {
    auto ann = AddContact(u"Ann", u"Lee", u"Acme");
    auto bob = AddContact(u"Bob", u"Roe", u"Acme");
    auto items = Folder(DefaultFolder::Contacts)->Items();
    auto count = [&](const std::u16string& filter) { return items->Restrict(filter)->Count(); };
    ASSERT_EQ(count(u"[FullName] = 'ann lee'"), 1);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'ann lee'")->Item(1)->Get("FullName").AsText(), u"Ann Lee");
    EXPECT_EQ(count(u"[CompanyName] = 'ACME'"), 2);

    // An unsaved change is what the filter sees; the store finds the item again once saved.
    ann->Put("LastName", Value::Text(u"Kim"));
    EXPECT_EQ(count(u"[FullName] = 'Ann Lee'"), 0);
    EXPECT_EQ(count(u"[FullName] = 'Ann Kim'"), 0);
    ann->Save();
    EXPECT_EQ(count(u"[FullName] = 'Ann Lee'"), 0);
    EXPECT_EQ(count(u"[FullName] = 'Ann Kim'"), 1);
    ann->Put("CompanyName", Value::Text(u"Other"));
    ann->Save();
    EXPECT_EQ(count(u"[CompanyName] = 'Acme'"), 1);

    // A collection looked at before a matching item was added sees it afterwards.
    auto later = items->Restrict(u"[FullName] = 'Cy Doe'");
    EXPECT_EQ(later->Count(), 0);
    AddContact(u"Cy", u"Doe");
    EXPECT_EQ(later->Count(), 1);
    EXPECT_EQ(later->Item(1)->Get("FirstName").AsText(), u"Cy");

    bob->Delete();
    EXPECT_EQ(count(u"[FullName] = 'Bob Roe'"), 0);
    EXPECT_EQ(count(u"[CompanyName] = 'Acme'"), 0);
    EXPECT_EQ(Folder(DefaultFolder::DeletedItems)->Items()->Restrict(u"[FullName] = 'Bob Roe'")->Count(), 1);

    // Lone surrogates all turn into the same index key; the filter still tells them apart.
    AddContact(u"A\xD800", u"X");
    AddContact(u"A\xDC00", u"X");
    AddContact(u"A\uFFFD", u"X");
    EXPECT_EQ(count(u"[FullName] = 'A\xD800 X'"), 1);
    EXPECT_EQ(count(u"[FullName] = 'A\uFFFD X'"), 1);
}

TEST_F(HostStoreTest, ItemByIndexWalksPagesAndFollowsChangesOfTheFolder) {
    std::vector<std::string> ids;
    for (int i = 0; i < 150; ++i) ids.push_back(AddContact(u"P" + ToHostText(std::to_string(i)), u"Walk")->EntryId());
    auto items = Folder(DefaultFolder::Contacts)->Items();
    ASSERT_EQ(items->Count(), 150);
    for (int i = 1; i <= 150; ++i) ASSERT_EQ(items->Item(i)->EntryId(), ids[i - 1]) << i;
    EXPECT_EQ(items->Item(100)->EntryId(), ids[99]);
    EXPECT_EQ(items->Item(3)->EntryId(), ids[2]);
    EXPECT_EQ(items->Item(150)->EntryId(), ids[149]);
    EXPECT_THROW(items->Item(151), HostError);
    EXPECT_THROW(items->Item(0), HostError);

    // Halfway through a walk an item goes and another comes: the indexes are those of now.
    for (int i = 1; i <= 70; ++i) items->Item(i);
    app.GetNamespace()->GetItemFromID(ids[70])->Delete();
    EXPECT_EQ(items->Item(71)->EntryId(), ids[71]);
    EXPECT_EQ(items->Item(72)->EntryId(), ids[72]);
    const std::string added = AddContact(u"New", u"Walk")->EntryId();
    EXPECT_EQ(items->Item(73)->EntryId(), ids[73]);
    EXPECT_EQ(items->Item(150)->EntryId(), added);
    EXPECT_THROW(items->Item(151), HostError);

    // GetFirst and GetNext go on working next to Item.
    auto first = items->GetFirst();
    EXPECT_EQ(first->EntryId(), ids[0]);
    EXPECT_EQ(items->Item(2)->EntryId(), ids[1]);
    EXPECT_EQ(items->GetNext()->EntryId(), ids[1]);
}

TEST_F(HostStoreTest, EventDuplicateSearchOnTheCalendar) {
    AddAppointment(u"Review", MakeOleDate(2007, 3, 5, 9, 0), 90)->Save();
    AddAppointment(u"John's party", MakeOleDate(2007, 3, 5, 9, 0), 90)->Save();
    auto items = Folder(DefaultFolder::Calendar)->Items();
    auto hit = items->Restrict(u"[Start] = '3/5/2007 09:00 AM' And [End] = '3/5/2007 10:30 AM' And [Subject] = 'Review'");
    ASSERT_EQ(hit->Count(), 1);
    EXPECT_EQ(hit->Item(1)->Get("Subject").AsText(), u"Review");
    // The subject with an apostrophe breaks the single-quoted text: the host refuses it.
    EXPECT_THROW(items->Restrict(u"[Start] = '3/5/2007 09:00 AM' And [Subject] = 'John's party'"), HostError);
    // The crafted subject widens the filter to every item.
    EXPECT_EQ(items->Restrict(u"[Start] = '1/1/2000 09:00 AM' And [End] = '1/1/2000 10:30 AM' And "
                              u"[Subject] = 'x' Or [Subject] <> 'y'")
                  ->Count(),
              2);
}

// The shapes the duplicate searches use, answered from the store's indexes, against the
// same filter tested on every item of the folder (a double negation is not indexed):
// the same items in the same order, saved or changed and not saved yet.
TEST_F(HostStoreTest, IndexedLookupsFindWhatAScanFinds) {
    const OleDate nine = MakeOleDate(2007, 3, 5, 9, 0);
    AddAppointment(u"Review", nine, 90)->Save();
    AddAppointment(u"review", nine, 30)->Save();                            // same start, other end
    AddAppointment(u"Review", MakeOleDate(2007, 3, 6, 9, 0), 90)->Save();  // same subject, other day
    AddAppointment(u"Review", nine + 0.5 / 1440, 90)->Save();               // the same minute
    AddAppointment(u"Other", nine, 90)->Save();
    auto series = AddAppointment(u"Review", MakeOleDate(2007, 3, 1, 9, 0), 90);
    series->GetRecurrencePattern()->Put("RecurrenceType", Value::Int(kRecursDaily));
    series->Save();
    auto noStart = Folder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
    noStart->Put("Subject", Value::Text(u"Review"));
    noStart->Save();
    auto unsaved = AddAppointment(u"Review", MakeOleDate(2007, 3, 7, 9, 0), 90);
    unsaved->Save();
    unsaved->Put("Start", Value::Date(nine));  // held, changed, not saved
    AddContact(u"Ann", u"Lee", u"Acme");
    AddContact(u"ann", u"lee", u"");
    AddContact(u"Bo", u"Yi", u"Acme");

    const std::u16string kFilters[] = {
        u"[Start] = '3/5/2007 09:00 AM' And [End] = '3/5/2007 10:30 AM' And [Subject] = 'Review'",
        u"[Subject] = 'REVIEW' And [Start] = '3/5/2007 09:00 AM'",
        u"[Start] = '3/1/2007 09:00 AM' And [Subject] = 'Review'",
        u"[Start] = '3/5/2007 09:00 AM' And [Subject] = 'Nobody'",
        u"[Start] >= '3/5/2007 12:00 AM' And [Subject] = 'Review'",
        u"[Start] = '1/1/4501 12:00 AM' And [Subject] = 'Review'",
        u"[Start] = '3/5/2007 09:00 AM' And [Start] = '3/5/2007 09:00 AM' And [Subject] = 'Other'",
        u"[Subject] = 'Review'",
        u"[FullName] = 'Ann Lee' And [CompanyName] = 'Acme'",
        u"[FullName] = 'ann lee'",
        u"[CompanyName] = 'acme'",
    };
    for (DefaultFolder where : {DefaultFolder::Calendar, DefaultFolder::Contacts}) {
        for (const std::u16string& filter : kFilters) {
            SCOPED_TRACE(FromHostText(filter));
            auto entryIds = [&](const std::u16string& f) {
                std::vector<std::string> ids;
                auto found = Folder(where)->Items()->Restrict(f);
                const int n = found->Count();
                for (int i = 1; i <= n; ++i) ids.push_back(found->Item(i)->EntryId());
                return ids;
            };
            EXPECT_EQ(entryIds(filter), entryIds(u"Not (Not (" + filter + u"))"));
        }
    }
    // Spelled out for the event's own search, so that both being wrong alike shows.
    auto hit = Folder(DefaultFolder::Calendar)->Items()->Restrict(kFilters[1]);
    EXPECT_EQ(hit->Count(), 4);  // both subjects' spellings at nine, the half minute, the changed one
}

TEST_F(HostStoreTest, RecurrenceEdgeCases) {
    struct Case {
        const char* name;
        int type, interval, mask, dom, moy, instance, count;
        OleDate start;
        std::vector<std::string> want;
    };
    const Case kCases[] = {
        {"monthly on day 31 takes the month's last day", kRecursMonthly, 1, 0, 31, 0, 0, 4, MakeOleDate(2007, 1, 31, 10, 0),
         {"2007-01-31 10:00", "2007-02-28 10:00", "2007-03-31 10:00", "2007-04-30 10:00"}},
        {"yearly on Feb 29 falls on Feb 28 in other years", kRecursYearly, 1, 0, 29, 2, 0, 5, MakeOleDate(2008, 2, 29, 0, 0),
         {"2008-02-29 00:00", "2009-02-28 00:00", "2010-02-28 00:00", "2011-02-28 00:00", "2012-02-29 00:00"}},
        {"instance 5 is the last Friday", kRecursMonthNth, 1, 32, 0, 0, 5, 3, MakeOleDate(2007, 3, 1, 8, 0),
         {"2007-03-30 08:00", "2007-04-27 08:00", "2007-05-25 08:00"}},
        {"second Tuesday every 2 months", kRecursMonthNth, 2, 4, 0, 0, 2, 3, MakeOleDate(2007, 1, 1, 8, 0),
         {"2007-01-09 08:00", "2007-03-13 08:00", "2007-05-08 08:00"}},
        {"yearly last Monday of May", kRecursYearNth, 1, 2, 0, 5, 5, 2, MakeOleDate(2007, 1, 1, 12, 0),
         {"2007-05-28 12:00", "2008-05-26 12:00"}},
        {"every weekday", kRecursDaily, 0, 62, 0, 0, 0, 6, MakeOleDate(2007, 3, 2, 9, 0),
         {"2007-03-02 09:00", "2007-03-05 09:00", "2007-03-06 09:00", "2007-03-07 09:00", "2007-03-08 09:00",
          "2007-03-09 09:00"}},
        {"every 3 days", kRecursDaily, 3, 0, 0, 0, 0, 3, MakeOleDate(2007, 2, 26, 9, 0),
         {"2007-02-26 09:00", "2007-03-01 09:00", "2007-03-04 09:00"}},
        {"every 2 weeks on Sun and Sat", kRecursWeekly, 2, 65, 0, 0, 0, 4, MakeOleDate(2007, 3, 4, 9, 0),
         {"2007-03-04 09:00", "2007-03-10 09:00", "2007-03-18 09:00", "2007-03-24 09:00"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CHostApplication fresh(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
        auto a = fresh.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
        a->Put("Subject", Value::Text(u"s"));
        a->Put("Start", Value::Date(c.start));
        a->Put("Duration", Value::Int(30));
        auto p = a->GetRecurrencePattern();
        p->Put("RecurrenceType", Value::Int(c.type));
        p->Put("Interval", Value::Int(c.interval));
        if (c.mask) p->Put("DayOfWeekMask", Value::Int(c.mask));
        if (c.dom) p->Put("DayOfMonth", Value::Int(c.dom));
        if (c.moy) p->Put("MonthOfYear", Value::Int(c.moy));
        if (c.instance) p->Put("Instance", Value::Int(c.instance));
        p->Put("Occurrences", Value::Int(c.count));
        a->Save();
        auto items = fresh.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
        items->Sort(u"[Start]");
        items->SetIncludeRecurrences(true);
        auto found = items->Restrict(u"[Start] >= '1/1/2000 12:00 AM'");
        std::vector<OleDate> starts;
        for (auto i = found->GetFirst(); i; i = found->GetNext()) starts.push_back(i->Get("Start").AsDate());
        EXPECT_EQ(Dates(starts), c.want);
        EXPECT_EQ(Dates({p->Get("PatternEndDate").AsDate()}).front().substr(0, 10), c.want.back().substr(0, 10));
        // The series starts on its first occurrence.
        EXPECT_EQ(Dates({a->Get("Start").AsDate()}).front(), c.want.front());
    }
}

TEST_F(HostStoreTest, PatternEndsDeriveEachOther) {
    auto a = AddAppointment(u"s", MakeOleDate(2007, 3, 5, 9, 0), 30);
    auto p = a->GetRecurrencePattern();
    p->Put("RecurrenceType", Value::Int(kRecursDaily));
    EXPECT_TRUE(p->Get("NoEndDate").AsBool());
    EXPECT_EQ(p->Get("PatternEndDate").AsDate(), kNoDate);
    p->Put("PatternEndDate", Value::Date(MakeOleDate(2007, 3, 14)));
    EXPECT_EQ(p->Get("Occurrences").AsInt(), 10);
    EXPECT_FALSE(p->Get("NoEndDate").AsBool());
    p->Put("Occurrences", Value::Int(3));
    EXPECT_EQ(Dates({p->Get("PatternEndDate").AsDate()}), std::vector<std::string>{"2007-03-07 00:00"});
    EXPECT_EQ(Dates({p->Get("StartTime").AsDate()}), std::vector<std::string>{"1899-12-30 09:00"});
    EXPECT_EQ(p->Get("Duration").AsInt(), 30);
    EXPECT_THROW(p->Put("Instance", Value::Int(6)), HostError);
    EXPECT_THROW(p->Put("RecurrenceType", Value::Int(4)), HostError);
}

TEST_F(HostStoreTest, ExceptionsInsideAndOutsideTheBounds) {
    auto a = AddAppointment(u"Standup", MakeOleDate(2007, 3, 5, 9, 0), 15);
    auto p = a->GetRecurrencePattern();
    p->Put("RecurrenceType", Value::Int(kRecursDaily));
    p->Put("Occurrences", Value::Int(10));
    a->Save();
    p->GetOccurrence(MakeOleDate(2007, 3, 6, 9, 0))->Delete();            // inside, deleted
    auto moved = p->GetOccurrence(MakeOleDate(2007, 3, 7, 9, 0));         // inside, moved out
    moved->Put("Start", Value::Date(MakeOleDate(2007, 3, 20, 9, 0)));
    moved->Save();
    auto in = p->GetOccurrence(MakeOleDate(2007, 3, 12, 9, 0));           // outside, moved in
    in->Put("Start", Value::Date(MakeOleDate(2007, 3, 8, 7, 0)));
    in->Put("Subject", Value::Text(u"Early standup"));
    in->Save();
    const auto got = Dates(Render(u"[Start] >= \"3/5/2007 00:00 AM\" And [Start] <= \"3/8/2007 23:59 PM\""));
    EXPECT_EQ(got, (std::vector<std::string>{"2007-03-05 09:00", "2007-03-08 07:00", "2007-03-08 09:00"}));
    // Subject conditions see the changed occurrence's own subject.
    EXPECT_EQ(Render(u"[Start] >= \"3/1/2007 00:00 AM\" And [Subject] = \"Early standup\"").size(), 1u);
    EXPECT_EQ(Dates(Render(u"[Start] >= \"3/19/2007 00:00 AM\" And [Start] <= \"3/21/2007 00:00 AM\"")),
              std::vector<std::string>{"2007-03-20 09:00"});

    auto ex = p->Exceptions();
    ASSERT_EQ(ex->Count(), 3);
    EXPECT_TRUE(ex->Item(1)->Deleted());
    EXPECT_THROW(ex->Item(1)->AppointmentItem(), HostError);
    EXPECT_EQ(Dates({ex->Item(2)->OriginalDate()}), std::vector<std::string>{"2007-03-07 09:00"});
    EXPECT_EQ(Dates({ex->Item(2)->AppointmentItem()->Get("Start").AsDate()}), std::vector<std::string>{"2007-03-20 09:00"});
    EXPECT_EQ(ex->Item(3)->AppointmentItem()->Get("Subject").AsText(), u"Early standup");
}

TEST_F(HostStoreTest, GetOccurrence) {
    auto a = AddAppointment(u"Weekly", MakeOleDate(2007, 3, 5, 9, 0), 60);
    auto p = a->GetRecurrencePattern();
    p->Put("RecurrenceType", Value::Int(kRecursWeekly));
    p->Put("DayOfWeekMask", Value::Int(2));
    p->Put("Occurrences", Value::Int(5));
    a->Save();
    EXPECT_EQ(Dates({p->GetOccurrence(MakeOleDate(2007, 3, 12, 9, 0))->Get("End").AsDate()}),
              std::vector<std::string>{"2007-03-12 10:00"});
    // A date alone finds that day's occurrence.
    EXPECT_EQ(p->GetOccurrence(MakeOleDate(2007, 3, 19))->Get("RecurrenceState").AsInt(), 2);
    EXPECT_THROW(p->GetOccurrence(MakeOleDate(2007, 3, 12, 9, 30)), HostError);  // wrong time
    EXPECT_THROW(p->GetOccurrence(MakeOleDate(2007, 3, 13, 9, 0)), HostError);   // not a Monday
    EXPECT_THROW(p->GetOccurrence(MakeOleDate(2007, 4, 9, 9, 0)), HostError);    // after the 5th
    p->GetOccurrence(MakeOleDate(2007, 3, 12, 9, 0))->Delete();
    EXPECT_THROW(p->GetOccurrence(MakeOleDate(2007, 3, 12, 9, 0)), HostError);
    auto m = p->GetOccurrence(MakeOleDate(2007, 3, 19, 9, 0));
    m->Put("Start", Value::Date(MakeOleDate(2007, 3, 20, 9, 0)));
    m->Save();
    EXPECT_EQ(p->GetOccurrence(MakeOleDate(2007, 3, 20, 9, 0))->Get("RecurrenceState").AsInt(), 3);
    EXPECT_THROW(p->GetOccurrence(MakeOleDate(2007, 3, 19, 9, 0)), HostError);
}

TEST_F(HostStoreTest, SeriesWithoutEndStopsAtTheCap) {
    auto a = AddAppointment(u"Forever", MakeOleDate(2000, 1, 1, 9, 0), 15);
    a->GetRecurrencePattern()->Put("RecurrenceType", Value::Int(kRecursDaily));
    a->Save();
    AddAppointment(u"Single", MakeOleDate(2001, 1, 1, 9, 0), 15)->Save();
    EXPECT_EQ(Render(u"[Start] >= '1/1/2000 12:00 AM'").size(), static_cast<std::size_t>(kMaxRecurrenceEntries));
    // A subject that never matches still ends.
    EXPECT_TRUE(Render(u"[Start] >= '1/1/2000 12:00 AM' And [Subject] = 'nothing'").empty());
    // An upper bound limits the expansion.
    EXPECT_EQ(Render(u"[Start] >= '1/1/2000 12:00 AM' And [Start] <= '1/10/2000 11:00 PM'").size(), 10u);
    // Without recurrences the series is one item.
    auto items = Folder(DefaultFolder::Calendar)->Items();
    EXPECT_EQ(items->Restrict(u"[Start] >= '1/1/2000 12:00 AM'")->Count(), 2);
}

TEST_F(HostStoreTest, NamedPropertyTagsArePerStore) {
    CHostApplication second(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
    auto a1 = AddAppointment(u"x", MakeOleDate(2007, 3, 5, 9, 0), 30);
    auto a2 = second.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
    auto u1 = app.Mapi().CreateMapiUtils();
    auto u2 = second.Mapi().CreateMapiUtils();
    const std::string appt = "{00062002-0000-0000-C000-000000000046}";
    EXPECT_EQ(u1->GetIDsFromNames(*a1, appt, 0x8214, false), 0u);
    const PropTag label1 = u1->GetIDsFromNames(*a1, appt, 0x8214, true);
    const PropTag zone1 = u1->GetIDsFromNames(*a1, appt, 0x8233, true);
    const PropTag zone2 = u2->GetIDsFromNames(*a2, appt, 0x8233, true);
    const PropTag label2 = u2->GetIDsFromNames(*a2, appt, 0x8214, true);
    EXPECT_EQ(label1, 0x80000000u);
    EXPECT_EQ(zone1, 0x80010000u);
    EXPECT_EQ(zone2, 0x80000000u);  // the other store numbers them in its own order
    EXPECT_NE(label1, label2);
    EXPECT_EQ(u1->GetIDsFromNames(*a1, "{00062002-0000-0000-c000-000000000046}", 0x8214, false), label1);
    EXPECT_NE(app.StoreId(), second.StoreId());

    u1->SetProp(*a1, label1 | kPtLong, Value::Int(3));
    a1->Save();
    auto safe = app.Mapi().CreateSafeAppointmentItem();
    safe->SetItem(*a1);
    EXPECT_EQ(safe->Fields(label1 | kPtLong).AsInt(), 3);
    EXPECT_TRUE(safe->Fields(0x0C1F001E).IsEmpty());
    safe->SetFields(0x0C1F001E, Value::Text(u"org@example.org"));
    EXPECT_EQ(u1->GetProp(*a1, 0x0C1F001E)->AsText(), u"org@example.org");
    EXPECT_FALSE(u1->GetProp(*a1, zone1 | kPtBinary).has_value());
    EXPECT_THROW(u1->SetProp(*a1, zone1 | kPtBinary, Value::Int(1)), HostError);
    EXPECT_EQ(u1->BytesToHex({0x04, 0x00, 0xAB}), "0400AB");
    EXPECT_EQ(u1->HexToBytes("0400ab"), (Bytes{0x04, 0x00, 0xAB}));
    EXPECT_THROW(safe->SetItem(*AddContact(u"a", u"b")), HostError);
}

TEST_F(HostStoreTest, FaultInjectionFailsTheNthCall) {
    auto items = Folder(DefaultFolder::Contacts)->Items();
    app.FailCall("Save", 2, kEFail);
    AddContact(u"One", u"A");
    try {
        AddContact(u"Two", u"B");
        ADD_FAILURE() << "second Save did not fail";
    } catch (const HostError& e) {
        EXPECT_EQ(e.Hr(), kEFail);
        EXPECT_EQ(e.Interface(), "_ContactItem");
    }
    AddContact(u"Three", u"C");  // one-shot
    EXPECT_EQ(items->Count(), 2);

    app.FailCall("Restrict", 1, kDispEException);
    EXPECT_THROW(items->Restrict(u"[FullName] = 'One A'"), HostError);
    EXPECT_EQ(items->Restrict(u"[FullName] = 'One A'")->Count(), 1);

    app.FailCall("Items.Item", 1, static_cast<HRESULT>(0x80040107u));
    try {
        items->Item(1);
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_EQ(e.Interface(), "_Items");
        EXPECT_EQ(e.Hr(), static_cast<HRESULT>(0x80040107u));
    }
    app.FailCall("CreateMapiUtils", 1, kCoEClassString);
    EXPECT_THROW(app.Mapi().CreateMapiUtils(), HostError);
    app.FailCall("Add", 1, kEOutOfMemory);
    EXPECT_THROW(items->Add(ItemType::Contact), HostError);
    app.FailCall("Get", 2, kEFail);
    auto c = items->Item(1);
    c->Get("FirstName");
    EXPECT_THROW(c->Get("LastName"), HostError);
}

TEST_F(HostStoreTest, ExplorerSelectionPickerAndMail) {
    auto c = AddContact(u"Sel", u"Ected");
    app.SetSelection({c->EntryId()});
    auto ex = app.ActiveExplorer();
    EXPECT_EQ(ex->Selection()->Count(), 1);
    EXPECT_EQ(ex->Selection()->Item(1)->Get("FullName").AsText(), u"Sel Ected");
    EXPECT_EQ(ex->CurrentFolder()->Name(), u"Inbox");
    ex->SetCurrentFolder(*Folder(DefaultFolder::Contacts));
    EXPECT_EQ(app.ActiveExplorer()->CurrentFolder()->Name(), u"Contacts");
    EXPECT_FALSE(app.GetNamespace()->PickFolder());
    app.SetPickFolderAnswer(u"\\\\Personal Folders\\Calendar");
    EXPECT_EQ(app.GetNamespace()->PickFolder()->Name(), u"Calendar");
    auto mail = app.CreateMailItem();
    mail->Display();
    mail->AddAttachment(u"/tmp/a.vcf");
    ASSERT_EQ(app.Mails().size(), 1u);
    EXPECT_TRUE(app.Mails()[0].displayed);
    EXPECT_EQ(app.Mails()[0].attachments, std::vector<std::u16string>{u"/tmp/a.vcf"});
}

TEST(HostStoreFile, ItemsSurviveReopening) {
    const std::string path = ::testing::TempDir() + "/mireo_store_reopen.db";
    std::remove(path.c_str());
    std::string id;
    {
        CHostApplication app(DefaultHostStoreOptions(path));
        auto c = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
        c->Put("LastName", Value::Text(u"Kept"));
        c->Save();
        id = c->EntryId();
        app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Folders()->Add(u"Work", kFolderAppointment);
    }
    CHostApplication app(DefaultHostStoreOptions(path));
    EXPECT_EQ(app.GetNamespace()->GetItemFromID(id)->Get("LastName").AsText(), u"Kept");
    EXPECT_TRUE(app.FolderByPath(u"Calendar/Work"));
    EXPECT_EQ(app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Count(), 1);
    std::remove(path.c_str());
}

TEST(HostStoreFile, TwoStoresOnOneFileSeeEachOthersSaves) {
    const std::string path = ::testing::TempDir() + "/mireo_store_shared.db";
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    auto add = [](CHostApplication& app, const char16_t* last) {
        auto c = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
        c->Put("LastName", Value::Text(last));
        c->Save();
    };
    {
        CHostApplication reader(DefaultHostStoreOptions(path));
        auto items = reader.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        EXPECT_EQ(items->Count(), 0);  // reads from now on share one snapshot for a while
        {
            CHostApplication writer(DefaultHostStoreOptions(path));
            add(writer, u"FromWriter");
        }
        // A save after another store's change: the reading snapshot must not stand in the way.
        EXPECT_NO_THROW(add(reader, u"FromReader"));
        EXPECT_EQ(items->Count(), 2);
        EXPECT_EQ(items->Restrict(u"[FullName] = 'FromWriter'")->Count(), 1);
    }
    CHostApplication again(DefaultHostStoreOptions(path));
    EXPECT_EQ(again.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Count(), 2);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

TEST(HostStoreFile, OlderIndexesAreReplaced) {
    const std::string path = ::testing::TempDir() + "/mireo_store_old_indexes.db";
    HostStoreOptions o = DefaultHostStoreOptions(path);
    o.shortDatePicture = "M/d/yyyy";
    auto schema = [&](const std::string& sql) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        std::string names;
        sqlite3_exec(
            db,
            "SELECT type || ' ' || name FROM sqlite_master"
            " WHERE type != 'table' OR name IN ('item_starts', 'item_companies')"
            " ORDER BY type, name",
            [](void* out, int, char** row, char**) {
                *static_cast<std::string*>(out) += std::string(row[0]) + ", ";
                return 0;
            },
            &names, nullptr);
        sqlite3_close(db);
        return names;
    };
    const std::string now =
        "index items_by_folder, index items_fullname, index items_recurring, index items_subject, "
        "index sqlite_autoindex_meta_1, index sqlite_autoindex_named_ids_1, index sqlite_autoindex_named_ids_2, "
        "table item_companies, table item_starts, trigger item_companies_delete, trigger item_companies_update, "
        "trigger item_starts_delete, trigger item_starts_update, ";
    // The stores earlier versions made: the companies in an index of the items table;
    // before that the starts too; and before that lookup indexes without the creation
    // order.
    const char* kOlder[] = {
        "",
        "CREATE INDEX items_start ON items(folder_id, start_min, seq) WHERE start_min IS NOT NULL;"
        "DROP TRIGGER item_starts_update; DROP TRIGGER item_starts_delete; DROP TABLE item_starts;",
        "DROP INDEX items_fullname; DROP INDEX items_company; DROP INDEX items_subject;"
        "CREATE INDEX items_by_fullname ON items(folder_id, fullname_key) WHERE fullname_key IS NOT NULL;"
        "CREATE INDEX items_by_company ON items(folder_id, company_key) WHERE company_key IS NOT NULL;"
        "CREATE INDEX items_by_subject ON items(folder_id, subject_key) WHERE subject_key IS NOT NULL;"
        "CREATE INDEX items_by_start ON items(folder_id, start_min) WHERE start_min IS NOT NULL;"
        "DROP TRIGGER item_starts_update; DROP TRIGGER item_starts_delete; DROP TABLE item_starts;"};
    for (const char* older : kOlder) {
        SCOPED_TRACE(older);
        for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
        {
            CHostApplication app(o);
            auto c = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
            c->Put("LastName", Value::Text(u"Old"));
            c->Put("CompanyName", Value::Text(u"Acme"));
            c->Save();
            auto a = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items()->Add(ItemType::Appointment);
            a->Put("Subject", Value::Text(u"Review"));
            a->Put("Start", Value::Date(MakeOleDate(2007, 3, 5, 9, 0)));
            a->Save();
        }
        EXPECT_EQ(schema(std::string("DROP TRIGGER item_companies_update; DROP TRIGGER item_companies_delete;"
                                     "DROP TABLE item_companies; DELETE FROM meta WHERE key = 'companies_to';"
                                     "CREATE INDEX items_company ON items(folder_id, company_key, seq)"
                                     " WHERE company_key IS NOT NULL;") +
                         older)
                      .find("item_companies"),
                  std::string::npos);
        {
            CHostApplication app(o);
            auto contacts = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
            EXPECT_EQ(contacts->Restrict(u"[FullName] = 'old'")->Count(), 1);
            EXPECT_EQ(contacts->Restrict(u"[CompanyName] = 'acme'")->Count(), 1);
            auto calendar = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
            EXPECT_EQ(calendar->Restrict(u"[Subject] = 'review'")->Count(), 1);
            EXPECT_EQ(calendar->Restrict(u"[Start] = '3/5/2007 9:00 AM'")->Count(), 1);
            EXPECT_EQ(calendar->Restrict(u"[Start] > '3/5/2007 9:00 AM'")->Count(), 0);
        }
        EXPECT_EQ(schema(""), now);
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

TEST(HostStoreVersion, FromTheEnvironment) {
    ::setenv("MIREO_HOST_VERSION", "12.0.4518.1014", 1);
    EXPECT_EQ(DefaultHostVersion(), u"12.0.4518.1014");
    ::unsetenv("MIREO_HOST_VERSION");
    EXPECT_EQ(DefaultHostVersion(), u"11.0.0.0");
}

}  // namespace
}  // namespace mireo
