// What the store promises about saves under faults: a batch is committed whole or lost
// whole (and the listener hears which), the store is usable after a failure, one
// damaged item fails alone. (One storing run at a time and all-or-none adds are shown
// by the import run's and the store command's tests.)
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "hoststore/host_store.h"
#include "hoststore/item_pack.h"
#include "platform/utf.h"

namespace mireo {
namespace {

struct CRecordingListener : ISaveListener {
    void SavesCommitted() override { ++committed; }
    void SavesLost(const HostError& cause) override {
        ++lost;
        causes.push_back(cause.Detail());
        hrs.push_back(cause.Hr());
    }
    int committed = 0;
    int lost = 0;
    std::vector<std::string> causes;
    std::vector<HRESULT> hrs;
};

class StoreBatches : public ::testing::Test {
protected:
    void SetUp() override {
        std::string dir = ::testing::TempDir();
        if (!dir.empty() && dir.back() == '/') dir.pop_back();
        m_path = dir + "/mireo_batches_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db";
        Remove();
    }
    void TearDown() override { Remove(); }
    void Remove() {
        for (const char* suffix : {"", "-wal", "-shm"}) std::remove((m_path + suffix).c_str());
    }
    HostStoreOptions Options(int busyMs = 5000) {
        HostStoreOptions o = DefaultHostStoreOptions(m_path);
        o.busyTimeoutMs = busyMs;
        return o;
    }
    static std::unique_ptr<IItem> Add(CHostApplication& app, const std::u16string& last) {
        auto c = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Add(ItemType::Contact);
        c->Put("LastName", Value::Text(last));
        c->Save();
        return c;
    }
    // The contacts another connection sees: what is durable.
    int Stored() {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM items WHERE folder_id = 5", -1, &st, nullptr);
        const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
        sqlite3_finalize(st);
        sqlite3_close(db);
        return n;
    }
    void Sql(const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    std::string m_path;
};

TEST_F(StoreBatches, AFailedCommitLosesItsWholeBatchAndTheNextSaveStartsAnother) {
    CHostApplication app(Options());
    CRecordingListener listener;
    app.SetSaveListener(&listener);
    auto first = Add(app, u"One");
    Add(app, u"Two");
    app.FailCall("Commit", 1, kEDiskFull);
    EXPECT_THROW(app.CommitSaves(), HostError);
    EXPECT_EQ(listener.lost, 1);
    EXPECT_EQ(listener.hrs.at(0), kEDiskFull);
    EXPECT_EQ(Stored(), 0);
    // The lost item is new again: saving it once more stores it.
    EXPECT_TRUE(first->EntryId().empty());
    first->Save();
    Add(app, u"Three");
    app.CommitSaves();
    EXPECT_EQ(listener.committed, 1);
    EXPECT_EQ(Stored(), 2);
    app.SetSaveListener(nullptr);
}

// Counts as a run does: a save is pending once its call returned, and succeeded or lost
// with the batch the store then reports.
struct CCountingListener : ISaveListener {
    void Saved() { ++pending; }
    void SavesCommitted() override { succeeded += std::exchange(pending, 0); }
    void SavesLost(const HostError&) override { lost += std::exchange(pending, 0); }
    int pending = 0, succeeded = 0, lost = 0;
};

TEST_F(StoreBatches, TheSaveThatFillsABatchIsCountedWithTheCommitThatStoredIt) {
    HostStoreOptions o = Options();
    o.maxBatchSaves = 3;
    CHostApplication app(o);
    CCountingListener listener;
    app.SetSaveListener(&listener);
    for (const char16_t* name : {u"One", u"Two", u"Three", u"Four"}) {
        Add(app, name);
        listener.Saved();
    }
    // The batch after the full one is lost: only its own save may count as lost.
    app.FailCall("Commit", 1, kEDiskFull);
    EXPECT_THROW(app.CommitSaves(), HostError);
    EXPECT_EQ(Stored(), 3);
    EXPECT_EQ(listener.succeeded, 3);
    EXPECT_EQ(listener.lost, 1);
    app.SetSaveListener(nullptr);
}

TEST_F(StoreBatches, ALostBatchTakesBackOnlyTheIdsItGaveOut) {
    CHostApplication app(Options());
    CRecordingListener listener;
    app.SetSaveListener(&listener);
    auto kept = Add(app, u"Kept");
    app.CommitSaves();
    const std::string keptId = kept->EntryId();
    // The next batch (held open, whatever its age) changes the committed item and adds
    // enough others that the store's map of loaded items is swept meanwhile; most of
    // them are released at once.
    app.BeginAllOrNone();
    kept->Put("FirstName", Value::Text(u"Changed"));
    kept->Save();
    std::vector<std::unique_ptr<IItem>> held;
    for (int i = 0; i < 5000; ++i) {
        auto c = Add(app, u"New " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
        if (i % 1000 == 0) held.push_back(std::move(c));
    }
    app.FailCall("Commit", 1, kEDiskFull);
    EXPECT_THROW(app.EndAllOrNone(true), HostError);
    EXPECT_EQ(listener.lost, 1);
    EXPECT_EQ(kept->EntryId(), keptId);
    for (const auto& c : held) EXPECT_TRUE(c->EntryId().empty());
    // Saved again, they are stored as new items beside the one that stayed.
    for (const auto& c : held) c->Save();
    app.CommitSaves();
    EXPECT_EQ(Stored(), 1 + static_cast<int>(held.size()));
    for (const auto& c : held) EXPECT_NE(c->EntryId(), keptId);
    app.SetSaveListener(nullptr);
}

TEST_F(StoreBatches, ALockHeldByAnotherProgramCostsOnlyTheSaveThatWaited) {
    CHostApplication app(Options(50));
    CRecordingListener listener;
    app.SetSaveListener(&listener);
    Add(app, u"Before");
    app.CommitSaves();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        Add(app, u"Waited");
        ADD_FAILURE() << "the save did not wait for the lock";
    } catch (const HostError& e) {
        EXPECT_EQ(e.Hr(), kMapiETimeout);
        EXPECT_NE(e.Detail().find("locked"), std::string::npos) << e.what();
        EXPECT_NE(e.Detail().find(m_path), std::string::npos) << e.what();
    }
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    for (const char16_t* name : {u"After1", u"After2", u"After3"}) Add(app, name);
    app.CommitSaves();
    EXPECT_EQ(listener.lost, 0);
    EXPECT_EQ(Stored(), 4);
    app.SetSaveListener(nullptr);
}

TEST_F(StoreBatches, ADamagedItemFailsAloneWherePagesOfItemsAreRead) {
    {
        CHostApplication app(Options());
        for (const char16_t* name : {u"A", u"Broken", u"C"}) Add(app, name);
    }
    Sql("UPDATE items SET data = x'00ff' WHERE fullname_key = 'broken'");
    CHostApplication app(Options());
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
    ASSERT_EQ(items->Count(), 3);
    EXPECT_EQ(items->Item(1)->Get("LastName").AsText(), u"A");
    try {
        items->Item(2)->Class();
        ADD_FAILURE() << "a damaged item read";
    } catch (const HostError& e) {
        EXPECT_EQ(e.Hr(), kMapiECorruptData);
    }
    EXPECT_EQ(items->Item(3)->Get("LastName").AsText(), u"C");
    // Found by an index or by a filter that reads the items, it fails on use.
    auto found = items->Restrict(u"[FullName] = 'Broken'");
    ASSERT_EQ(found->Count(), 1);
    EXPECT_THROW(found->Item(1)->Get("LastName"), HostError);
    auto scanned = items->Restrict(u"[LastName] <> 'A'");
    ASSERT_EQ(scanned->Count(), 2);
    EXPECT_THROW(scanned->Item(1)->Class(), HostError);
    EXPECT_EQ(scanned->Item(2)->Get("LastName").AsText(), u"C");
    // It can still be deleted.
    EXPECT_NO_THROW(items->Item(2)->Delete());
}

// Rows written before items were packed still read, and are packed when saved again;
// a packed row that is damaged fails alone, as any damaged item does.
TEST_F(StoreBatches, RowsOfEveryFormatReadAndADamagedPackedRowFailsAlone) {
    const std::u16string note(400, u'n');
    {
        CHostApplication app(Options());
        for (const char16_t* name : {u"Old", u"Packed", u"Broken"}) {
            auto c = Add(app, name);
            c->Put("Body", Value::Text(note));
            c->Save();
        }
    }
    // Every row is packed; "Old" is put back as its item alone, as stores wrote it
    // before, and "Broken"'s stream is cut short.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
    std::vector<std::pair<std::string, Bytes>> rows;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT fullname_key, data FROM items ORDER BY id", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 1));
        rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                          Bytes(p, p + sqlite3_column_bytes(st, 1)));
    }
    sqlite3_finalize(st);
    ASSERT_EQ(rows.size(), 3u);
    CItemPacker packer;
    for (auto& [key, data] : rows) {
        SCOPED_TRACE(key);
        ASSERT_EQ(data[0], kPackedFormat);
        Bytes item;
        ASSERT_TRUE(packer.Unpack(data.data(), data.size(), item));
        EXPECT_GT(item.size(), data.size());
        if (key == "old") data = item;
        if (key == "broken") data.resize(data.size() - 3);
        sqlite3_prepare_v2(db, "UPDATE items SET data = ? WHERE fullname_key = ?", -1, &st, nullptr);
        sqlite3_bind_blob(st, 1, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, key.c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);

    {
        CHostApplication app(Options());
        auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        ASSERT_EQ(items->Count(), 3);
        EXPECT_EQ(items->Item(1)->Get("LastName").AsText(), u"Old");
        EXPECT_EQ(items->Item(1)->Get("Body").AsText(), note);
        EXPECT_EQ(items->Item(2)->Get("Body").AsText(), note);
        EXPECT_THROW(items->Item(3)->Get("Body"), HostError);
        auto old = items->Item(1);
        old->Put("JobTitle", Value::Text(u"Counsel"));
        old->Save();
    }
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
    sqlite3_prepare_v2(db, "SELECT data FROM items WHERE fullname_key = 'old'", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 0))[0], kPackedFormat);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// An item's id is never given to another item: not after the newest is deleted, not
// after the store is opened again, not between two connections adding in turn. Stores
// made by the earlier version (whose items table keeps its ids with AUTOINCREMENT)
// keep that promise too.
TEST_F(StoreBatches, ItemIdsAreNeverGivenTwice) {
    const auto idOf = [](IItem& item) { return std::stoll(item.EntryId().substr(item.EntryId().size() - 16), nullptr, 16); };
    const auto purge = [](IItem& item) {
        item.Delete();  // into Deleted Items
        item.Delete();  // and from there for good
    };
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "a store of the earlier layout" : "a new store");
        Remove();
        if (earlier) {
            Sql("CREATE TABLE items(id INTEGER PRIMARY KEY AUTOINCREMENT, folder_id INTEGER NOT NULL,"
                "  seq INTEGER NOT NULL, data BLOB NOT NULL, fullname_key TEXT, company_key TEXT, subject_key TEXT,"
                "  start_min INTEGER, recurring INTEGER NOT NULL DEFAULT 0)");
        }
        std::vector<long long> given;
        {
            CHostApplication app(Options());
            for (const char16_t* name : {u"One", u"Two", u"Three"}) given.push_back(idOf(*Add(app, name)));
            auto newest = Add(app, u"Four");
            given.push_back(idOf(*newest));
            purge(*newest);
            // The same session, then a batch of its own.
            given.push_back(idOf(*Add(app, u"Five")));
            app.CommitSaves();
            auto last = Add(app, u"Six");
            given.push_back(idOf(*last));
            app.CommitSaves();
            purge(*last);
        }
        {
            // Opened again after the newest was deleted for good.
            CHostApplication app(Options());
            given.push_back(idOf(*Add(app, u"Seven")));
            app.CommitSaves();
            // Two connections adding in turn, each batch committed before the other's.
            CHostApplication other(Options());
            for (int i = 0; i < 3; ++i) {
                given.push_back(idOf(*Add(app, u"Mine")));
                app.CommitSaves();
                given.push_back(idOf(*Add(other, u"Theirs")));
                other.CommitSaves();
            }
        }
        for (std::size_t i = 1; i < given.size(); ++i) EXPECT_GT(given[i], given[i - 1]) << "the id given " << i;
        EXPECT_EQ(Stored(), 3 + 1 + 1 + 6);
    }
}

// A connection that looks items up reads the file through a map; what other
// connections do meanwhile (add until the file outgrows the map, change, delete,
// copy the log into the file, shrink the file) is what it reads once its batch ends.
TEST_F(StoreBatches, ALookingUpConnectionReadsWhatOthersChangedWhileTheFileGrowsAndShrinks) {
    std::mt19937 rng(7);
    const auto text = [&rng](std::size_t n) {
        std::u16string t(n, u' ');
        for (char16_t& c : t) c = static_cast<char16_t>(u'a' + rng() % 26);  // random: packs little
        return t;
    };
    const auto items = [](CHostApplication& app) {
        return app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
    };
    const auto addNamed = [&](CHostApplication& app, const std::u16string& name, const std::u16string& body) {
        auto c = items(app)->Add(ItemType::Contact);
        c->Put("LastName", Value::Text(name));
        c->Put("Body", Value::Text(body));
        c->Save();
    };
    std::vector<std::u16string> bodies;
    CHostApplication reader(Options());
    for (int i = 0; i < 40; ++i) {
        bodies.push_back(text(3000));
        addNamed(reader, u"Person " + utf::Utf8ToUtf16(std::to_string(i)), bodies.back());
    }
    reader.CommitSaves();
    // The body of the contact of a name, as `app` finds it by its name (empty: none).
    const auto bodyOf = [&](CHostApplication& app, const std::u16string& name) -> std::u16string {
        auto found = items(app)->Restrict(u"[FullName] = '" + name + u"'");
        if (found->Count() != 1) return found->Count() == 0 ? u"" : u"(several)";
        return found->Item(1)->Get("Body").AsText();
    };
    ASSERT_EQ(bodyOf(reader, u"Person 7"), bodies[7]);

    const std::u16string changed = text(3000);
    std::vector<std::u16string> others;
    {
        CHostApplication writer(Options());
        for (int i = 0; i < 2500; ++i) {  // some 7 MB: beyond the reader's first map
            others.push_back(text(3000));
            addNamed(writer, u"Other " + utf::Utf8ToUtf16(std::to_string(i)), others.back());
        }
        auto seven = items(writer)->Restrict(u"[FullName] = 'Person 7'")->Item(1);
        seven->Put("Body", Value::Text(changed));
        seven->Save();
        auto eight = items(writer)->Restrict(u"[FullName] = 'Person 8'")->Item(1);
        eight->Delete();
        eight->Delete();
        writer.CommitSaves();
    }
    Sql("PRAGMA wal_checkpoint(TRUNCATE)");
    reader.CommitSaves();  // ends the reader's batch: what follows reads the store as it is now
    struct Case {
        const char16_t* name;
        const std::u16string* body;  // null: none
    };
    const std::u16string none;
    for (const Case& c : {Case{u"Person 7", &changed}, Case{u"Person 8", &none}, Case{u"Person 39", &bodies[39]},
                          Case{u"Other 0", &others[0]}, Case{u"Other 2499", &others[2499]}}) {
        EXPECT_EQ(bodyOf(reader, c.name), *c.body) << utf::Utf16ToUtf8(c.name);
    }
    EXPECT_EQ(items(reader)->Count(), 40 - 1 + 2500);

    // The reader grows the store past its map itself and reads its own new rows back.
    for (int i = 0; i < 2500; ++i) addNamed(reader, u"Mine " + utf::Utf8ToUtf16(std::to_string(i)), others[i]);
    reader.CommitSaves();
    EXPECT_EQ(bodyOf(reader, u"Mine 2499"), others[2499]);

    // Another program shrinks the file under the map.
    Sql("DELETE FROM items WHERE id > 60; VACUUM; PRAGMA wal_checkpoint(TRUNCATE)");
    reader.CommitSaves();
    EXPECT_EQ(items(reader)->Count(), 40 - 1 + 20);
    EXPECT_EQ(bodyOf(reader, u"Person 7"), changed);
    EXPECT_EQ(bodyOf(reader, u"Other 0"), others[0]);
    EXPECT_EQ(bodyOf(reader, u"Other 2499"), u"");
    addNamed(reader, u"After", bodies[0]);
    reader.CommitSaves();
    EXPECT_EQ(bodyOf(reader, u"After"), bodies[0]);
    EXPECT_EQ(Stored(), 40 - 1 + 20 + 1);
}

// Lookups by name, company, subject and start against a model of the store, through
// adds, changes, moves to "Deleted Items", commits and a lost commit, within batches
// and across them; at the end the tables of starts and companies hold what the items
// do.
TEST_F(StoreBatches, LookupsAgreeWithTheItemsThroughEveryChange) {
    HostStoreOptions o = Options();
    o.shortDatePicture = "M/d/yyyy";
    o.maxBatchSaves = 23;  // batches also end in the middle of the steps
    {
        CHostApplication app(o);
        CRecordingListener listener;  // batches are also committed when full or old
        app.SetSaveListener(&listener);
        auto ns = app.GetNamespace();
        std::unique_ptr<IFolder> folders[2][2] = {
            {ns->GetDefaultFolder(DefaultFolder::Calendar), nullptr},
            {ns->GetDefaultFolder(DefaultFolder::Contacts), nullptr}};
        folders[0][1] = folders[0][0]->Folders()->Add(u"Work", kFolderAppointment);
        folders[1][1] = folders[1][0]->Folders()->Add(u"Team", kFolderContact);
        struct Rec {
            bool contact;
            int folder, a, b;  // subject and day, or last name and company
            std::string entryId;
        };
        std::vector<Rec> model, committed;
        std::vector<std::unique_ptr<IItem>> items, spare;
        std::mt19937 rng(7);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        auto text = [](char16_t c, int n) { return std::u16string{c, static_cast<char16_t>(u'0' + n)}; };
        auto put = [&](IItem& item, const Rec& r) {
            if (r.contact) {
                item.Put("LastName", Value::Text(text(u'L', r.a)));
                item.Put("CompanyName", Value::Text(r.b == 0 ? u"" : text(u'C', r.b)));
            } else {
                item.Put("Subject", Value::Text(text(u'S', r.a)));
                item.Put("Start", Value::Date(MakeOleDate(2007, 3, 1 + r.b, 9, 0)));
            }
            item.Save();
        };
        auto check = [&](int step) {
            SCOPED_TRACE("step " + std::to_string(step));
            for (int kind = 0; kind < 2; ++kind) {
                for (int f = 0; f < 2; ++f) {
                    auto all = folders[kind][f]->Items();
                    for (int v = 0; v < 4; ++v) {
                        for (int field = 0; field < 2; ++field) {
                            if (kind == 1 && field == 1 && v == 0) continue;  // no company: not a key
                            int want = 0;
                            for (const Rec& r : model)
                                want += r.contact == (kind == 1) && r.folder == f && (field == 0 ? r.a : r.b) == v;
                            static const std::u16string kProperty[2][2] = {{u"Subject", u"Start"},
                                                                           {u"FullName", u"CompanyName"}};
                            static const char16_t kLetter[2][2] = {{u'S', 0}, {u'L', u'C'}};
                            const std::u16string literal =
                                kind == 0 && field == 1
                                    ? u"3/" + std::u16string(1, static_cast<char16_t>(u'1' + v)) + u"/2007 9:00 AM"
                                    : text(kLetter[kind][field], v);
                            const std::u16string filter = u"[" + kProperty[kind][field] + u"] = '" + literal + u"'";
                            EXPECT_EQ(all->Restrict(filter)->Count(), want) << utf::Utf16ToUtf8(filter);
                        }
                    }
                }
            }
        };
        bool dirty = false;  // saves since the last commit
        for (int step = 0; step < 400; ++step) {
            const int op = pick(10);
            const std::vector<Rec> before = model;
            const int commits = listener.committed;
            if (op < 5) {
                Rec r{pick(2) == 1, pick(2), pick(4), pick(4), {}};
                auto item = folders[r.contact][r.folder]->Items()->Add(r.contact ? ItemType::Contact
                                                                                 : ItemType::Appointment);
                put(*item, r);
                r.entryId = item->EntryId();
                model.push_back(r);
                items.push_back(std::move(item));
            } else if (op < 7 && !model.empty()) {
                const std::size_t i = static_cast<std::size_t>(pick(static_cast<int>(model.size())));
                model[i].a = pick(4);
                model[i].b = pick(4);
                put(*items[i], model[i]);
            } else if (op == 7 && !model.empty()) {
                const std::size_t i = static_cast<std::size_t>(pick(static_cast<int>(model.size())));
                items[i]->Delete();  // to "Deleted Items", where nothing is looked up
                spare.push_back(std::move(items[i]));
                items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
            } else if (op == 8) {
                if (step % 7 == 0 && dirty) {
                    // A lost commit: the store is as the last commit left it.
                    app.FailCall("Commit", 1, kEDiskFull);
                    EXPECT_THROW(app.CommitSaves(), HostError);
                    model = committed;
                    items.clear();
                    for (const Rec& r : model) items.push_back(ns->GetItemFromID(r.entryId));
                } else {
                    app.CommitSaves();
                    committed = model;
                }
                dirty = false;
                continue;
            } else {
                check(step);
            }
            // A commit within a step comes before its change.
            if (listener.committed != commits) {
                committed = before;
                dirty = false;
            }
            if (op < 8 && !model.empty()) dirty = true;
        }
        check(400);
        app.CommitSaves();
        EXPECT_GE(listener.lost, 1);
        app.SetSaveListener(nullptr);
    }
    // Every event's start, and nothing else, in the table of starts; in the table of
    // companies, the company of every contact up to its mark and no entry an item does
    // not have.
    const char* kDiff[] = {
        "SELECT (SELECT COUNT(*) FROM (SELECT folder_id, start_min, seq, id FROM items WHERE start_min IS NOT NULL"
        " EXCEPT SELECT * FROM item_starts)) + (SELECT COUNT(*) FROM (SELECT * FROM item_starts EXCEPT"
        " SELECT folder_id, start_min, seq, id FROM items)), (SELECT COUNT(*) FROM item_starts)",
        "SELECT (SELECT COUNT(*) FROM (SELECT folder_id, company_key, seq, id FROM items WHERE company_key IS NOT NULL"
        " AND id <= (SELECT CAST(value AS INTEGER) FROM meta WHERE key = 'companies_to')"
        " EXCEPT SELECT * FROM item_companies)) + (SELECT COUNT(*) FROM (SELECT * FROM item_companies EXCEPT"
        " SELECT folder_id, company_key, seq, id FROM items)), (SELECT COUNT(*) FROM item_companies)"};
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    for (const char* sql : kDiff) {
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), 0) << sql;
        EXPECT_GT(sqlite3_column_int(st, 1), 40) << sql;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
}

TEST_F(StoreBatches, ABatchWhoseStartEntriesFailLosesItsSaves) {
    CHostApplication app(Options());
    CRecordingListener listener;
    app.SetSaveListener(&listener);
    auto calendar = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    auto add = [&](int day) {
        auto a = calendar->Add(ItemType::Appointment);
        a->Put("Subject", Value::Text(u"s"));
        a->Put("Start", Value::Date(MakeOleDate(2007, 3, day, 9, 0)));
        a->Save();
        return a;
    };
    add(1);
    app.CommitSaves();
    // The entry of a start on the 2nd cannot be written: it is written with the
    // commit, which fails.
    Sql("CREATE TRIGGER refuse BEFORE INSERT ON item_starts WHEN new.start_min = (SELECT start_min + 1440 FROM items)"
        " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    add(3);
    auto second = add(2);
    EXPECT_THROW(app.CommitSaves(), HostError);
    EXPECT_EQ(listener.lost, 1);
    EXPECT_TRUE(second->EntryId().empty());
    EXPECT_EQ(calendar->Count(), 1);
    // The store goes on: the lost event is saved with the next batch.
    Sql("DROP TRIGGER refuse");
    second->Save();
    app.CommitSaves();
    EXPECT_EQ(calendar->Count(), 2);
    app.SetSaveListener(nullptr);
}

}  // namespace
}  // namespace mireo
