#include "cli/store_command.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace mireo::cli {
namespace {

struct Result {
    int status;
    std::string out, err;
};

class StoreCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string base = ::testing::TempDir() + "/mireo_cli_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_a = base + "_a.db";
        m_b = base + "_b.db";
        m_json = base + ".json";
        for (const std::string& p : {m_a, m_b, m_json}) std::remove(p.c_str());
    }
    void TearDown() override {
        for (const std::string& p : {m_a, m_b, m_json, m_a + "-wal", m_a + "-shm", m_b + "-wal", m_b + "-shm"}) std::remove(p.c_str());
    }
    Result Run(const std::string& store, std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = RunStoreCommand(store, args, out, err);
        return {status, out.str(), err.str()};
    }
    std::string WriteJson(const std::string& text) {
        std::ofstream(m_json, std::ios::binary) << text;
        return m_json;
    }
    std::string m_a, m_b, m_json;
};

const char kCalendar[] = R"([
  {"Subject": "Standup", "Start": "2007-03-05T09:00:00", "End": "2007-03-05T09:15:00", "Location": "Room 1",
   "ReminderSet": true, "ReminderMinutesBeforeStart": 5, "BusyStatus": 2, "Importance": 2, "MeetingStatus": 1,
   "RecurrencePattern": {"RecurrenceType": 1, "DayOfWeekMask": 42, "Occurrences": 10},
   "Exceptions": [{"OriginalDate": "2007-03-07T09:00:00", "Deleted": true},
                  {"OriginalDate": "2007-03-09T09:00:00", "Start": "2007-03-10T11:00:00", "End": "2007-03-10T11:30:00",
                   "Subject": "Moved \"standup\""}],
   "Recipients": [{"Name": "Bob", "Address": "bob@example.org", "Type": 1}, {"Address": "room@example.org", "Type": 3}],
   "MAPI": {"{00062002-0000-0000-C000-000000000046}/0x8214": 3, "0x0C1F001E": "org@example.org",
            "{6ED8DA90-450B-101B-98DA-00AA003F1305}/0x0003": {"hex": "040000008200E000"},
            "{00062002-0000-0000-C000-000000000046}/0x8234": "W. Europe"}},
  {"Subject": "Holiday", "Start": "2007-08-01T00:00:00", "End": "2007-08-15T00:00:00", "AllDayEvent": true,
   "Sensitivity": 2, "Categories": "Vacation, Family", "Body": "Line 1\r\nLine 2"},
  {"Subject": "Monthly close", "Start": "2007-01-31T16:00:00", "End": "2007-01-31T17:00:00",
   "RecurrencePattern": {"RecurrenceType": 2, "DayOfMonth": 31, "NoEndDate": true}},
  {"Subject": "Anniversary", "Start": "2008-02-29T00:00:00", "End": "2008-03-01T00:00:00", "AllDayEvent": true,
   "RecurrencePattern": {"RecurrenceType": 6, "DayOfWeekMask": 2, "MonthOfYear": 5, "Instance": 5, "PatternEndDate": "2012-12-31T00:00:00"}}
])";

TEST_F(StoreCommandTest, DumpThenAddCopiesAFolder) {
    for (const auto& [folder, file] : {std::pair<std::string, std::string>{"Contacts", std::string(MIREO_TESTDATA_DIR) + "/hoststore/sample-contacts.json"},
                                       {"Calendar", WriteJson(kCalendar)}}) {
        SCOPED_TRACE(folder);
        const Result add = Run(m_a, {"add", folder, file});
        ASSERT_EQ(add.status, 0) << add.err;
        const Result dump = Run(m_a, {"dump", folder});
        ASSERT_EQ(dump.status, 0) << dump.err;
        std::ofstream(m_json + ".dump", std::ios::binary) << dump.out;
        const Result copy = Run(m_b, {"add", "\\\\Personal Folders\\" + folder, m_json + ".dump"});
        ASSERT_EQ(copy.status, 0) << copy.err;
        EXPECT_EQ(Run(m_b, {"dump", folder}).out, dump.out);
        std::remove((m_json + ".dump").c_str());
    }
    const std::string dump = Run(m_a, {"dump", "Calendar"}).out;
    EXPECT_NE(dump.find("\"Moved \\\"standup\\\"\""), std::string::npos);
    EXPECT_NE(dump.find("\"{6ED8DA90-450B-101B-98DA-00AA003F1305}/0x0003\": {\n        \"hex\": \"040000008200E000\""),
              std::string::npos);
    EXPECT_NE(Run(m_a, {"dump", "Contacts"}).out.find("\"FirstName\": \"Наталья\""), std::string::npos);
}

TEST_F(StoreCommandTest, FoldersMkdirFindClear) {
    EXPECT_EQ(Run(m_a, {"mkdir", "Calendar/Work", "--type", "calendar"}).status, 0);
    EXPECT_EQ(Run(m_a, {"mkdir", "Calendar\\Work\\Team", "--type", "calendar"}).status, 0);
    EXPECT_EQ(Run(m_a, {"add", "Calendar/Work/Team", WriteJson(kCalendar)}).status, 0);
    const Result folders = Run(m_a, {"folders"});
    EXPECT_NE(folders.out.find("\\\\Personal Folders\\Calendar\\Work\\Team\tcalendar\t4\n"), std::string::npos) << folders.out;
    EXPECT_NE(folders.out.find("\\\\Personal Folders\\Contacts\tcontacts\t0\n"), std::string::npos);

    const Result found = Run(m_a, {"find", "Calendar/Work/Team", "--restrict",
                                   "[Start] >= \"3/5/2007 00:00 AM\" And [Start] <= \"3/12/2007 00:00 AM\"",
                                   "--include-recurrences", "--sort", "Start"});
    ASSERT_EQ(found.status, 0) << found.err;
    // Mon 5, (Wed 7 deleted), Fri 9 moved to Sat 10 11:00.
    EXPECT_NE(found.out.find("\"Start\": \"2007-03-05T09:00:00\""), std::string::npos);
    EXPECT_EQ(found.out.find("2007-03-07T09:00:00"), std::string::npos);
    EXPECT_NE(found.out.find("\"Start\": \"2007-03-10T11:00:00\""), std::string::npos);

    const Result cleared = Run(m_a, {"clear", "Calendar/Work/Team"});
    EXPECT_EQ(cleared.status, 0);
    EXPECT_NE(Run(m_a, {"folders"}).out.find("\\\\Personal Folders\\Deleted Items\tmail\t4\n"), std::string::npos);
}

TEST_F(StoreCommandTest, ErrorsAreReported) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* json;
        int status;
        const char* message;
    };
    const Case kCases[] = {
        {"no subcommand", {}, nullptr, 2, "usage"},
        {"unknown subcommand", {"copy"}, nullptr, 2, "unknown subcommand"},
        {"unknown folder", {"dump", "Nowhere"}, nullptr, 1, "no folder \"Nowhere\""},
        {"bad type", {"mkdir", "X", "--type", "notes"}, nullptr, 2, "--type"},
        {"find without --restrict", {"find", "Contacts"}, nullptr, 2, "usage"},
        {"refused filter", {"find", "Contacts", "--restrict", "[FullName] = 'O'Brien'"}, nullptr, 1, "_Items failed"},
        {"not JSON", {"add", "Contacts", "@"}, "{oops", 1, "not JSON"},
        {"not an array", {"add", "Contacts", "@"}, "{}", 1, "array"},
        {"unknown property", {"add", "Contacts", "@"}, R"([{"Colour": "red"}])", 1, "item 1: \"Colour\": not a contact property"},
        {"wrong type", {"add", "Contacts", "@"}, R"([{"LastName": 5}])", 1, "\"LastName\": text expected"},
        {"bad date", {"add", "Contacts", "@"}, R"([{"Birthday": "2007-02-30T00:00:00"}])", 1, "\"Birthday\": date"},
        {"read-only property", {"add", "Calendar", "@"}, R"([{"IsRecurring": true}])", 1, "the host keeps"},
        {"exception off the pattern", {"add", "Calendar", "@"},
         R"([{"Start": "2007-03-05T09:00:00", "RecurrencePattern": {"RecurrenceType": 0, "Occurrences": 2},
             "Exceptions": [{"OriginalDate": "2007-03-09T09:00:00", "Deleted": true}]}])", 1, "no occurrence"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        for (std::string& a : args) {
            if (a == "@") a = WriteJson(c.json);
        }
        const Result r = Run(m_a, args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(StoreCommandTest, AddStoresAllTheItemsOrNone) {
    // A bad item after good ones: none of them is added.
    Result r = Run(m_a, {"add", "Contacts", WriteJson(R"([{"LastName": "A"}, {"LastName": "B"}, {"Colour": 1}])")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("item 3: \"Colour\": not a contact property; nothing was added"), std::string::npos) << r.err;
    EXPECT_EQ(Run(m_a, {"dump", "Contacts"}).out, "[]\n");
    r = Run(m_a, {"add", "Contacts", WriteJson(R"([{"LastName": "A"}, {"LastName": "B"}])")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("added 2 items"), std::string::npos);
}

TEST_F(StoreCommandTest, DumpLeavesADamagedItemOutAndSaysSo) {
    ASSERT_EQ(Run(m_a, {"add", "Contacts", WriteJson(R"([{"LastName": "A"}, {"LastName": "B"}, {"LastName": "C"}])")}).status, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_a.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE items SET data = x'07' WHERE fullname_key = 'b'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const Result r = Run(m_a, {"dump", "Contacts"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"A\""), std::string::npos);
    EXPECT_NE(r.out.find("\"C\""), std::string::npos);
    EXPECT_EQ(r.out.find("\"B\""), std::string::npos);
    EXPECT_NE(r.err.find("item 2 left out: _Items failed (0x8004011B): damaged item 2"), std::string::npos) << r.err;
}

TEST_F(StoreCommandTest, ANamedStoreMustBeThere) {
    const std::string dir = ::testing::TempDir() + "/mireo_cli_no_such_folder";
    std::remove(dir.c_str());
    std::ostringstream err;
    EXPECT_FALSE(PrepareStorePath(dir + "/store.db", true, err));
    EXPECT_EQ(err.str(), "mireo: the store \"" + dir + "/store.db\" cannot be opened: its folder does not exist\n");
    EXPECT_FALSE(std::ifstream(dir + "/store.db").good());

    std::ofstream(m_b, std::ios::binary).flush();  // zero bytes
    err.str("");
    EXPECT_FALSE(PrepareStorePath(m_b, true, err));
    EXPECT_NE(err.str().find("is an empty file, not a store"), std::string::npos);
    EXPECT_FALSE(PrepareStorePath(::testing::TempDir(), true, err));  // a folder

    // A new store in an existing folder, and the default store with its folders.
    EXPECT_TRUE(PrepareStorePath(m_a, true, err));
    EXPECT_TRUE(PrepareStorePath(dir + "/deeper/store.db", false, err));
    EXPECT_TRUE(std::ifstream(dir + "/deeper").good() || std::ifstream(dir + "/deeper/.").good());
    std::remove((dir + "/deeper").c_str());
    std::remove(dir.c_str());
}

}  // namespace
}  // namespace mireo::cli
