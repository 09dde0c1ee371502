#include "hoststore/store_db.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cstdio>
#include <random>

#include "hoststore/text_fold.h"
#include "platform/ascii.h"

namespace mireo {

namespace {
constexpr const char* kStoreIface = "IMsgStore";
// Saves are committed in batches: every syscall costs on a virtual disk, and one
// commit per Save would cap bulk adds at a few thousand a second. A commit writes
// every page its saves changed, and names or starts in no particular order change
// pages all over the lookup indexes: in a folder of 100,000 items a commit writes
// most of them again, whatever the number of saves it holds, so that the cost of a
// Save grew with the folder when batches did not. A batch of saves therefore grows
// with the store: it is committed once it is kMaxBatchAge old, and that age grows by
// 200 ms for every 25,000 items the store has held, up to 1 s (fast adds reach the
// cap of saves, HostStoreOptions::maxBatchSaves, first). The age still bounds what
// a crash can lose. Reads are grouped for 200 ms at the most.
constexpr auto kMaxBatchAge = std::chrono::milliseconds(200);
constexpr std::int64_t kItemsPerBatchAgeStep = 25000;
constexpr auto kMaxWriteBatchAge = std::chrono::milliseconds(1000);

// The age of a batch is checked on entry to every host operation, and an export
// makes about a hundred of them per contact: the clock that the kernel updates on
// its tick (a few ms) costs a memory read, the precise one a good part of the
// operation.
std::chrono::nanoseconds CoarseNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}
// 2: the store gives out the items' ids itself (no AUTOINCREMENT; see CreateSchema).
// 3: the events' starts are looked up in a table of their own (see CreateStartTable).
// 4: so are the contacts' companies, written when they are looked up (see
//    CreateCompanyTable).
constexpr int kSchemaVersion = 4;

// The page cache (KB) of a connection that only walks: a walk reads each page once.
constexpr std::int64_t kWalkCacheKb = 2048;
// A connection that writes or looks items up by name needs the lookup indexes in its
// cache, or lookups and the index updates of saves turn into reads from the file as
// the folder grows: some 96 bytes an item (its entries in the name, start and folder
// indexes with the B-trees' spare room), in doublings from 1 MB up to 32 MB; 100,000
// contacts get 16 MB, which also keeps the pages of the rows a duplicate comparison
// reads from pushing the index pages out. Sized to the store rather than large from
// the start, so that a small import keeps to a small peak.
constexpr std::int64_t kLookupCacheBytesPerItem = 96;
constexpr std::int64_t kMinLookupCacheKb = 1024;
constexpr std::int64_t kMaxCacheKb = 32768;
// A connection that looks contacts up by name also reads the file through a memory
// map as large as the store (in doublings, from 4 MB up to 256 MB): the rows a
// duplicate comparison reads and the index pages the cache no longer holds are then
// read without a system call and a copy each, which in a large folder were most of
// the reads. Only the pages read count to the process's memory, at most the store.
constexpr std::int64_t kMinMapBytes = std::int64_t{4} << 20;
constexpr std::int64_t kMaxMapBytes = std::int64_t{256} << 20;

std::string StoreName(sqlite3* db) {
    const char* f = db ? sqlite3_db_filename(db, "main") : nullptr;
    return f && *f ? std::string(f) : std::string(":memory:");
}

// A failed SQLite call as the user is told of it: the cause in words, and the store.
HostError StoreFailure(sqlite3* db, int rc, const char* what) {
    const std::string name = " (" + StoreName(db) + ")";
    switch (rc & 0xFF) {
    case SQLITE_FULL: return HostError(kEDiskFull, kStoreIface, "the disk is full" + name);
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return HostError(kMapiETimeout, kStoreIface, "the store is locked by another program" + name);
    case SQLITE_READONLY: return HostError(kEAccessDenied, kStoreIface, "the store is read-only" + name);
    case SQLITE_CORRUPT: return HostError(kMapiECorruptData, kStoreIface, "the store is damaged" + name);
    case SQLITE_NOTADB: return HostError(kMapiECorruptData, kStoreIface, "the file is not a store" + name);
    case SQLITE_IOERR: {
        const int e = db ? sqlite3_system_errno(db) : 0;
        if (e == ENOSPC || e == EDQUOT) return HostError(kEDiskFull, kStoreIface, "the disk is full" + name);
        return HostError(kEFail, kStoreIface,
                         std::string("cannot write the store: ") + (e ? std::strerror(e) : sqlite3_errstr(rc)) + name);
    }
    default: break;
    }
    return HostError(kEFail, kStoreIface, std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + name);
}
}  // namespace

// One prepared statement, reset after each use.
class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_st, nullptr) != SQLITE_OK)
            throw StoreFailure(db, sqlite3_errcode(db), "prepare");
    }
    ~CStatement() { sqlite3_finalize(m_st); }
    CStatement& Reset() {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
        return *this;
    }
    CStatement& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(m_st, i, v);
        return *this;
    }
    CStatement& Bind(int i, const std::string& s) {
        sqlite3_bind_text(m_st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // The text is not copied: it must outlive the statement's next Step.
    CStatement& BindStatic(int i, const std::string& s) {
        sqlite3_bind_text(m_st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
        return *this;
    }
    // The bytes are not copied: they must outlive the statement's next Step.
    CStatement& BindBlob(int i, const Bytes& b) {
        sqlite3_bind_blob(m_st, i, b.empty() ? "" : static_cast<const void*>(b.data()), static_cast<int>(b.size()),
                          SQLITE_STATIC);
        return *this;
    }
    CStatement& BindNull(int i) {
        sqlite3_bind_null(m_st, i);
        return *this;
    }
    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw StoreFailure(m_db, rc, "step");
    }
    std::int64_t Int(int col) { return sqlite3_column_int64(m_st, col); }
    bool IsNull(int col) { return sqlite3_column_type(m_st, col) == SQLITE_NULL; }
    std::string Text(int col) {
        const unsigned char* t = sqlite3_column_text(m_st, col);
        return t ? std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_column_bytes(m_st, col)))
                 : std::string();
    }
    // The column's bytes in place, valid until the statement moves on.
    std::pair<const std::uint8_t*, std::size_t> BlobView(int col) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_st, col));
        const int n = sqlite3_column_bytes(m_st, col);
        return {p, p ? static_cast<std::size_t>(n) : 0};
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
};

CStoreDb::CStoreDb(const std::string& path, std::string shortDatePicture, int busyTimeoutMs, int maxBatchSaves)
    : m_path(path), m_picture(std::move(shortDatePicture)), m_maxBatchSaves(std::max(1, maxBatchSaves)) {
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::string msg = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw HostError(kEFail, kStoreIface, "cannot open store \"" + path + "\": " + msg);
    }
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    try {
        // WAL and NORMAL sync: a commit writes the changed pages once and syncs only
        // at checkpoints.
        // A new store's pages are 8 KB: rows of a few hundred bytes fill them with less
        // room left over at each page's end. (A store made before keeps its pages.)
        Exec("PRAGMA page_size=8192");
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
        // A small page cache to start with: a walk over every item (an export) reads
        // each page once, and a larger cache would only fill with pages it has passed,
        // so that its memory grew with the folder. The cache grows to what the lookup
        // indexes need when the connection first writes or looks items up by name
        // (UseLookupCache). No memory-mapped reads for a walk: the mapped pages it
        // touches count to the process's memory, up to the size of the file; the map
        // comes with the first lookup of contacts by name (UseMapSizedToStore), whose
        // reads are spread over the store.
        SetCacheKb(kWalkCacheKb);
        // The log is copied back into the file when it holds 10,000 pages (80 MB on
        // disk with the 8 KB pages of a new store, 40 MB with the 4 KB pages of an
        // older one), not 1,000: a page that many commits changed is copied once, and
        // the checkpoints, with a sync of the log and of the file each, come less often.
        Exec("PRAGMA wal_autocheckpoint=10000");
        Exec("PRAGMA foreign_keys=OFF");
        CreateSchema();
        LoadFolders();
        CStatement& seq = Stmt("SELECT COALESCE(MAX(seq), 0) FROM items");
        seq.Reset();
        if (seq.Step()) m_nextSeq = seq.Int(0) + 1;
        seq.Reset();
    } catch (const HostError& e) {
        m_statements.clear();
        sqlite3_close(m_db);
        // Name the file: "file is not a database" alone does not say which.
        if (e.Detail().find(path) != std::string::npos) throw;
        throw HostError(e.Hr(), kStoreIface, "cannot open store \"" + path + "\": " + e.Detail());
    }
    // The descriptor that marks a run holding the store (SetSaveListener) stays open
    // as long as the connection: closing a descriptor of the file would drop the
    // locks SQLite holds on it.
    if (StoreName(m_db) != ":memory:") m_runLock = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

CStoreDb::~CStoreDb() {
    try {
        Flush();
    } catch (const HostError&) {
        // Nothing to tell from a destructor; the saves since the last commit are lost.
    }
    m_statements.clear();
    sqlite3_close(m_db);
    if (m_runLock >= 0) ::close(m_runLock);
}

void CStoreDb::Exec(const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        sqlite3_free(err);
        throw StoreFailure(m_db, rc, "exec");
    }
}

CStatement& CStoreDb::Stmt(const char* sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) it = m_statements.emplace(sql, std::make_unique<CStatement>(m_db, sql)).first;
    return it->second->Reset();
}

void CStoreDb::CreateSchema() {
    Exec("BEGIN IMMEDIATE");
    try {
        Exec(
            "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT);"
            "CREATE TABLE IF NOT EXISTS folders(id INTEGER PRIMARY KEY, parent_id INTEGER NOT NULL, name TEXT NOT NULL,"
            "  item_type INTEGER NOT NULL, role TEXT NOT NULL DEFAULT '');"
            // Ids are never given out twice, not even the newest item's after it is
            // deleted; the store keeps the next one in meta ('next_id') rather than
            // have SQLite keep it (AUTOINCREMENT), which reads and writes a row of its
            // own for every insert. Stores made before keep their AUTOINCREMENT table.
            "CREATE TABLE IF NOT EXISTS items(id INTEGER PRIMARY KEY, folder_id INTEGER NOT NULL,"
            "  seq INTEGER NOT NULL, data BLOB NOT NULL, fullname_key TEXT, company_key TEXT, subject_key TEXT,"
            "  start_min INTEGER, recurring INTEGER NOT NULL DEFAULT 0);"
            "CREATE INDEX IF NOT EXISTS items_by_folder ON items(folder_id, seq);"
            // The lookup indexes hold the creation order too: a lookup answers from the
            // index alone, without a visit to each found row in the table (random
            // reads that got slower as the table grew). Stores made before had them
            // without; those are replaced.
            "DROP INDEX IF EXISTS items_by_fullname;"
            "DROP INDEX IF EXISTS items_by_company;"
            "DROP INDEX IF EXISTS items_by_subject;"
            "DROP INDEX IF EXISTS items_by_start;"
            "CREATE INDEX IF NOT EXISTS items_fullname ON items(folder_id, fullname_key, seq) WHERE fullname_key IS NOT NULL;"
            "CREATE INDEX IF NOT EXISTS items_subject ON items(folder_id, subject_key, seq) WHERE subject_key IS NOT NULL;"
            "CREATE INDEX IF NOT EXISTS items_recurring ON items(folder_id, seq) WHERE recurring = 1;"
            "CREATE TABLE IF NOT EXISTS named_ids(guid TEXT NOT NULL, id INTEGER NOT NULL, prop_id INTEGER NOT NULL UNIQUE,"
            "  PRIMARY KEY(guid, id));");
        CreateStartTable();
        CreateCompanyTable();
        CStatement& autoinc = Stmt("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'items'");
        m_ownIds = autoinc.Step() && autoinc.Text(0).find("AUTOINCREMENT") == std::string::npos;
        autoinc.Reset();
        CStatement& get = Stmt("SELECT value FROM meta WHERE key = 'store_id'");
        if (get.Step()) {
            m_storeId = get.Text(0);
            get.Reset();
        } else {
            get.Reset();
            std::random_device rd;
            char buf[40];
            std::snprintf(buf, sizeof buf, "%08X%08X%08X%08X", rd(), rd(), rd(), rd());
            m_storeId = buf;
            Stmt("INSERT INTO meta(key, value) VALUES('store_id', ?)").Bind(1, m_storeId).Step();
            Stmt("INSERT INTO meta(key, value) VALUES('schema', ?)").Bind(1, std::to_string(kSchemaVersion)).Step();
            // The default folders of a new personal store.
            Exec("INSERT INTO folders(id, parent_id, name, item_type, role) VALUES"
                 "(1, 0, 'Personal Folders', 0, 'top'),"
                 "(2, 1, 'Deleted Items', 0, 'deleted'),"
                 "(3, 1, 'Inbox', 0, 'inbox'),"
                 "(4, 1, 'Calendar', 1, 'calendar'),"
                 "(5, 1, 'Contacts', 2, 'contacts')");
        }
        Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void CStoreDb::CreateStartTable() {
    CStatement& has = Stmt("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'item_starts'");
    const bool made = has.Step();
    has.Reset();
    if (made) return;
    // The events' starts: an entry (folder, start, creation order, id) for each event
    // with a start. The entries of a batch's new events are written when the batch is
    // committed, in the order of their starts (see WritePendingStarts): an index of
    // the items table took each as the event was inserted, and events come in no
    // order of their starts, so that each entry landed on another page of an index of
    // 100,000 entries and the cost of a save grew with the folder. (The names and
    // subjects stay in indexes: a save's duplicate search has just read the page its
    // entry goes to.) The id is part of the key: two stores on one file may give out
    // the same creation order, each counting on from what it read when it opened.
    // Changes to events already saved (updates, moves, deletions) change their entries
    // at once, by triggers, so that such a statement still happens whole or not at
    // all; an entry written so before the commit is kept there (INSERT OR IGNORE).
    // A store made before had the starts in an index of the items table: its entries
    // move here.
    Exec("DROP TRIGGER IF EXISTS item_starts_update; DROP TRIGGER IF EXISTS item_starts_delete;"
         "CREATE TABLE item_starts(folder_id INTEGER NOT NULL, start_min INTEGER NOT NULL, seq INTEGER NOT NULL,"
         "  id INTEGER NOT NULL, PRIMARY KEY(folder_id, start_min, seq, id)) WITHOUT ROWID;"
         "CREATE TRIGGER item_starts_update AFTER UPDATE OF folder_id, seq, start_min ON items"
         "  WHEN old.folder_id IS NOT new.folder_id OR old.seq IS NOT new.seq"
         "    OR old.start_min IS NOT new.start_min BEGIN"
         "  DELETE FROM item_starts WHERE folder_id = old.folder_id AND start_min = old.start_min AND seq = old.seq"
         "    AND id = old.id;"
         "  INSERT OR IGNORE INTO item_starts(folder_id, start_min, seq, id)"
         "    SELECT new.folder_id, new.start_min, new.seq, new.id WHERE new.start_min IS NOT NULL;"
         "END;"
         "CREATE TRIGGER item_starts_delete AFTER DELETE ON items WHEN old.start_min IS NOT NULL BEGIN"
         "  DELETE FROM item_starts WHERE folder_id = old.folder_id AND start_min = old.start_min AND seq = old.seq"
         "    AND id = old.id;"
         "END;"
         "INSERT INTO item_starts(folder_id, start_min, seq, id)"
         "  SELECT folder_id, start_min, seq, id FROM items WHERE start_min IS NOT NULL"
         "  ORDER BY folder_id, start_min, seq;"
         "DROP INDEX IF EXISTS items_start;");
}

void CStoreDb::WritePendingStarts() {
    if (m_startsFrom == 0) return;
    // The batch's rows by their ids: ordered by the folder as it is (not +folder_id),
    // SQLite would rather walk the whole folder index for that order than sort, which
    // costs every commit and every start lookup in a batch the size of the store.
    Stmt("INSERT OR IGNORE INTO item_starts(folder_id, start_min, seq, id)"
         " SELECT folder_id, start_min, seq, id FROM items WHERE id >= ? AND start_min IS NOT NULL"
         " ORDER BY +folder_id, start_min, seq")
        .Bind(1, m_startsFrom)
        .Step();
    m_startsFrom = 0;
}

void CStoreDb::CreateCompanyTable() {
    // The contacts' companies: an entry (folder, company, creation order, id) for each
    // item with a company, for the lookups of [CompanyName]. Only a duplicate search
    // for a card without a name looks a company up, and an index of the items table
    // took an entry for every contact saved, landing in no particular order on the
    // pages of an index that in a folder of 100,000 contacts a commit then wrote again
    // nearly whole: a tenth of the cost of an import. So the entries are written when
    // a company is looked up rather than when an item is saved: the table holds those
    // of the items up to the id in meta('companies_to'), a lookup in a batch of saves
    // first writes the entries of the items after it (in the order of the companies),
    // and any other lookup reads those items themselves and leaves the entries to the
    // next commit of this connection. Changes to items the table holds (updates,
    // moves, deletions) change their entries at once, by triggers; an entry written so
    // for an item after the mark is kept (INSERT OR IGNORE). The id is part of the key,
    // as in item_starts. A store made before had the companies in an index of the
    // items table, which goes: the table starts empty, and the first lookup fills it.
    CStatement& has = Stmt("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'item_companies'");
    const bool made = has.Step();
    has.Reset();
    if (!made) {
        Exec("DROP TRIGGER IF EXISTS item_companies_update; DROP TRIGGER IF EXISTS item_companies_delete;"
             "CREATE TABLE item_companies(folder_id INTEGER NOT NULL, company_key TEXT NOT NULL,"
             "  seq INTEGER NOT NULL, id INTEGER NOT NULL, PRIMARY KEY(folder_id, company_key, seq, id)) WITHOUT ROWID;"
             "CREATE TRIGGER item_companies_update AFTER UPDATE OF folder_id, seq, company_key ON items"
             "  WHEN old.folder_id IS NOT new.folder_id OR old.seq IS NOT new.seq"
             "    OR old.company_key IS NOT new.company_key BEGIN"
             "  DELETE FROM item_companies WHERE folder_id = old.folder_id AND company_key = old.company_key"
             "    AND seq = old.seq AND id = old.id;"
             "  INSERT OR IGNORE INTO item_companies(folder_id, company_key, seq, id)"
             "    SELECT new.folder_id, new.company_key, new.seq, new.id WHERE new.company_key IS NOT NULL;"
             "END;"
             "CREATE TRIGGER item_companies_delete AFTER DELETE ON items WHEN old.company_key IS NOT NULL BEGIN"
             "  DELETE FROM item_companies WHERE folder_id = old.folder_id AND company_key = old.company_key"
             "    AND seq = old.seq AND id = old.id;"
             "END;"
             "INSERT OR REPLACE INTO meta(key, value) VALUES('companies_to', 0);");
    }
    // An older version that opened the store since made its index again; the items it
    // added lie after the mark, and its changes ran the triggers.
    Exec("DROP INDEX IF EXISTS items_company");
}

std::int64_t CStoreDb::CompaniesTo() {
    CStatement& st = Stmt("SELECT CAST(value AS INTEGER) FROM meta WHERE key = 'companies_to'");
    const std::int64_t to = st.Step() ? st.Int(0) : 0;
    st.Reset();
    return to;
}

void CStoreDb::WriteCompanies() {
    // Within a batch of saves no other connection writes: the mark is read once, and
    // stored with the commit.
    if (m_companiesTo < 0) m_companiesTo = CompaniesTo();
    // By their ids, as the starts in WritePendingStarts.
    Stmt("INSERT OR IGNORE INTO item_companies(folder_id, company_key, seq, id)"
         " SELECT folder_id, company_key, seq, id FROM items WHERE id > ? AND company_key IS NOT NULL"
         " ORDER BY +folder_id, company_key, seq")
        .Bind(1, m_companiesTo)
        .Step();
    // The batch's own items come after every other (ids only grow).
    if (m_batchLastNew != 0) {
        m_companiesTo = m_batchLastNew;
    } else {
        CStatement& st = Stmt("SELECT COALESCE(MAX(id), 0) FROM items");
        st.Step();
        m_companiesTo = st.Int(0);
        st.Reset();
    }
    m_companiesMoved = true;
    m_companiesWanted = false;
}

void CStoreDb::LoadFolders() {
    m_folders.clear();
    CStatement& st = Stmt("SELECT id, parent_id, name, item_type, role FROM folders ORDER BY id");
    while (st.Step()) {
        FolderRow f;
        f.id = st.Int(0);
        f.parentId = st.Int(1);
        f.name = ToHostText(st.Text(2));
        f.itemType = static_cast<int>(st.Int(3));
        f.role = st.Text(4);
        m_folders.push_back(std::move(f));
    }
    st.Reset();
}

void CStoreDb::FailCall(const std::string& operation, int nth, HRESULT hr) {
    m_faults.emplace(operation, Fault{nth < 1 ? 1 : nth, hr});
}

void CStoreDb::CheckFault(const char* operation, const char* iface) {
    auto range = m_faults.equal_range(operation);
    std::optional<HRESULT> hit;
    for (auto it = range.first; it != range.second;) {
        if (--it->second.remaining == 0) {
            if (!hit) hit = it->second.hr;
            it = m_faults.erase(it);
        } else {
            ++it;
        }
    }
    if (hit) throw HostError(*hit, iface, std::string("injected failure of ") + operation);
}

const FolderRow* CStoreDb::Folder(std::int64_t id) const {
    for (const FolderRow& f : m_folders) {
        if (f.id == id) return &f;
    }
    return nullptr;
}

const FolderRow* CStoreDb::FolderByRole(const std::string& role) const {
    for (const FolderRow& f : m_folders) {
        if (f.role == role) return &f;
    }
    return nullptr;
}

std::int64_t CStoreDb::AddFolder(std::int64_t parentId, const std::u16string& name, int itemType) {
    EndRead();
    Stmt("INSERT INTO folders(parent_id, name, item_type) VALUES(?, ?, ?)")
        .Bind(1, parentId)
        .Bind(2, FromHostText(name))
        .Bind(3, itemType)
        .Step();
    const std::int64_t id = sqlite3_last_insert_rowid(m_db);
    LoadFolders();
    return id;
}

std::shared_ptr<ItemState> CStoreDb::LoadItem(std::int64_t id) {
    auto it = m_open.find(id);
    if (it != m_open.end()) {
        if (auto s = it->second.lock()) {
            // Changes nobody saved are dropped with the last holder of the item; the
            // recently read items do not keep them.
            if (s->saved || !HeldOnlyAsRecent(s)) return s;
            std::replace(m_recent.begin(), m_recent.end(), s, std::shared_ptr<ItemState>());
        }
        m_open.erase(it);
    }
    BeginRead();
    CStatement& st = Stmt("SELECT folder_id, data FROM items WHERE id = ?").Bind(1, id);
    if (!st.Step()) return nullptr;
    auto state = NewItemState();
    state->id = id;
    state->folderId = st.Int(0);
    if (!ReadRow(st, 1, state->data)) state->damaged = true;
    st.Reset();
    state->saved = true;
    Remember(state);
    if (m_recent.size() < kRecentItems) {
        m_recent.push_back(state);
    } else {
        m_recent[m_recentNext] = state;
        m_recentNext = (m_recentNext + 1) % kRecentItems;
    }
    return state;
}

bool CStoreDb::HeldOnlyAsRecent(const std::shared_ptr<ItemState>& s) const {
    return s.use_count() == 2 && std::find(m_recent.begin(), m_recent.end(), s) != m_recent.end();
}

void CStoreDb::LoadItems(const std::vector<std::int64_t>& ids, std::vector<std::shared_ptr<ItemState>>& out) {
    out.assign(ids.size(), nullptr);
    std::unordered_map<std::int64_t, std::size_t> wanted;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto it = m_open.find(ids[i]);
        if (it != m_open.end()) {
            if ((out[i] = it->second.lock())) {
                if (out[i]->saved || !HeldOnlyAsRecent(out[i])) continue;
                std::replace(m_recent.begin(), m_recent.end(), out[i], std::shared_ptr<ItemState>());
                out[i] = nullptr;
            }
        }
        wanted.emplace(ids[i], i);
    }
    if (wanted.empty()) return;
    BeginRead();
    static const std::string sql = [] {
        std::string q = "SELECT id, folder_id, data FROM items WHERE id IN (?";
        for (std::size_t i = 1; i < kLoadBatch; ++i) q += ",?";
        return q + ")";
    }();
    auto next = wanted.begin();
    while (next != wanted.end()) {
        CStatement& st = Stmt(sql.c_str());
        st.Reset();
        for (std::size_t k = 1; k <= kLoadBatch; ++k) {
            st.Bind(static_cast<int>(k), next != wanted.end() ? next->first : std::int64_t{0});
            if (next != wanted.end()) ++next;
        }
        while (st.Step()) {
            const std::int64_t id = st.Int(0);
            auto state = NewItemState();
            state->id = id;
            state->folderId = st.Int(1);
            // A damaged item fails on its own use; the others of the batch load.
            if (!ReadRow(st, 2, state->data)) state->damaged = true;
            state->saved = true;
            m_open[id] = state;
            out[wanted[id]] = std::move(state);
        }
        st.Reset();
    }
    if (m_open.size() > 4096) {
        for (auto i = m_open.begin(); i != m_open.end();) i = i->second.expired() ? m_open.erase(i) : std::next(i);
    }
}

void CStoreDb::SaveItem(const std::shared_ptr<ItemState>& item) {
    const ItemData& d = item->data;
    SerializeItem(d, m_serialized);
    const Bytes& blob = m_packer.Pack(m_serialized);
    std::optional<std::string> fullname, company, subject;
    std::optional<std::int64_t> start;
    // The key properties, looked up once rather than by name on every save.
    static const HostProperty& fullnameProp = *FindItemProperty(ItemClass::Contact, "FullName");
    static const HostProperty& companyProp = *FindItemProperty(ItemClass::Contact, "CompanyName");
    static const HostProperty& subjectProp = *FindItemProperty(ItemClass::Appointment, "Subject");
    if (d.cls == ItemClass::Contact) {
        fullname = FoldKey(ReadProperty(d, fullnameProp).AsText());
        company = FoldKey(ReadProperty(d, companyProp).AsText());
    } else if (d.cls == ItemClass::Appointment) {
        subject = FoldKey(ReadProperty(d, subjectProp).AsText());
        const OleDate s = ItemStart(d);
        if (s != kNoDate) start = OleToMinutes(s);
    }
    auto bindKeys = [&](CStatement& st, int first) {
        // The keys live until the statement has run: bound without a copy.
        fullname ? st.BindStatic(first, *fullname) : st.BindNull(first);
        company ? st.BindStatic(first + 1, *company) : st.BindNull(first + 1);
        subject ? st.BindStatic(first + 2, *subject) : st.BindNull(first + 2);
        start ? st.Bind(first + 3, *start) : st.BindNull(first + 3);
        st.Bind(first + 4, d.pattern ? 1 : 0);
    };
    // A full batch is committed before this save starts the next one, never after it:
    // the listener then hears of a commit that holds exactly the saves that returned
    // before it, and this save, counted once it returns, goes with the next batch.
    if (m_pendingSaves >= m_maxBatchSaves && !m_allOrNone) Flush();
    // Each Save is one statement of the open batch, and a statement that fails leaves
    // no change behind: the Save happens whole or not at all.
    Begin();
    try {
        if (item->id == 0) {
            CStatement& st = Stmt(
                "INSERT INTO items(id, folder_id, seq, data, fullname_key, company_key, subject_key, start_min, recurring)"
                " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
            m_ownIds ? st.Bind(1, m_nextId) : st.BindNull(1);
            st.Bind(2, item->folderId).Bind(3, m_nextSeq).BindBlob(4, blob);
            bindKeys(st, 5);
            st.Step();
            item->id = sqlite3_last_insert_rowid(m_db);
            if (m_ownIds) ++m_nextId;
            if (m_batchFirstNew == 0) m_batchFirstNew = item->id;
            m_batchLastNew = item->id;
            if (start && m_startsFrom == 0) m_startsFrom = item->id;
            ++m_nextSeq;
            ++m_generation;
        } else {
            // Only an event's update names its start: an update that does not leaves the
            // triggers of the start table out, and with them a journal SQLite keeps of
            // every statement that runs a trigger.
            CStatement& st = d.cls == ItemClass::Appointment
                                 ? Stmt("UPDATE items SET data = ?, fullname_key = ?, company_key = ?, subject_key = ?,"
                                        " start_min = ?, recurring = ? WHERE id = ?")
                                 : Stmt("UPDATE items SET data = ?1, fullname_key = ?2, company_key = ?3,"
                                        " subject_key = ?4, recurring = ?6 WHERE id = ?7");
            st.BindBlob(1, blob);
            bindKeys(st, 2);
            st.Bind(7, item->id).Step();
            if (sqlite3_changes(m_db) == 0) throw HostError(kMapiENotFound, kStoreIface, "the item no longer exists");
        }
    } catch (const HostError& e) {
        if (sqlite3_get_autocommit(m_db) != 0) {
            // SQLite rolled back the whole batch (a full disk, an I/O error): the saves
            // before this one are lost with it.
            LoseBatch(e);
            throw;
        }
        throw;
    }
    Remember(item);
    item->saved = true;
    ++m_pendingSaves;
}

void CStoreDb::Remember(const std::shared_ptr<ItemState>& item) {
    m_open[item->id] = item;
    if (m_open.size() <= m_sweepAt) return;
    // Drop the entries of items nobody holds any more; the next sweep waits until the
    // map has doubled, so the cost per item stays constant.
    for (auto i = m_open.begin(); i != m_open.end();) i = i->second.expired() ? m_open.erase(i) : std::next(i);
    m_sweepAt = std::max<std::size_t>(4096, 2 * m_open.size());
}

void CStoreDb::SetCacheKb(std::int64_t kb) {
    if (kb == m_cacheKb) return;
    Exec(("PRAGMA cache_size=-" + std::to_string(kb)).c_str());
    m_cacheKb = kb;
}

void CStoreDb::UseLookupCache() {
    // The creation counter stands for the number of items: it counts every item the
    // store has held, which the indexes' room still reflects after deletions.
    // Grown in doublings: each change of the size is a statement of its own.
    const std::int64_t wanted = m_nextSeq * kLookupCacheBytesPerItem / 1024;
    std::int64_t kb = kMinLookupCacheKb;
    while (kb < wanted && kb < kMaxCacheKb) kb *= 2;
    SetCacheKb(std::min(kb, kMaxCacheKb));
}

void CStoreDb::UseMapSizedToStore() {
    // Checked again each time the number of items has doubled: a stat for every lookup
    // would cost more than the map saves.
    if (m_nextSeq < m_mapCheckAt || m_mapBytes >= kMaxMapBytes) return;
    m_mapCheckAt = 2 * m_nextSeq;
    struct stat st {};
    const std::string name = StoreName(m_db);
    if (name == ":memory:" || ::stat(name.c_str(), &st) != 0) return;
    std::int64_t bytes = kMinMapBytes;
    while (bytes < kMaxMapBytes && bytes < 2 * static_cast<std::int64_t>(st.st_size)) bytes *= 2;
    if (bytes <= m_mapBytes) return;
    Exec(("PRAGMA mmap_size=" + std::to_string(bytes)).c_str());
    m_mapBytes = bytes;
}

void CStoreDb::Begin() {
    if (m_batch == Batch::kWrite) return;
    EndRead();
    UseLookupCache();
    Stmt("BEGIN IMMEDIATE").Step();
    m_batch = Batch::kWrite;
    m_batchStart = CoarseNow();
    m_pendingSaves = 0;
    if (m_ownIds) {
        // Read under the write lock: another connection's batch may have given out ids
        // since, and an older program's inserts do not keep 'next_id'.
        try {
            CStatement& st = Stmt(
                "SELECT MAX(COALESCE((SELECT CAST(value AS INTEGER) FROM meta WHERE key = 'next_id'), 1),"
                " COALESCE((SELECT MAX(id) FROM items), 0) + 1)");
            st.Step();
            m_nextId = m_storedNextId = st.Int(0);
            st.Reset();
        } catch (const HostError&) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            m_batch = Batch::kNone;
            throw;
        }
    }
}

void CStoreDb::BeginRead() {
    if (m_batch != Batch::kNone) return;
    // Deferred: the snapshot is taken by the first read, no write lock is held.
    Stmt("BEGIN").Step();
    m_batch = Batch::kRead;
    m_batchStart = CoarseNow();
}

void CStoreDb::EndRead() {
    if (m_batch == Batch::kRead) Flush();
}

void CStoreDb::Flush() {
    m_recent.clear();
    if (m_batch == Batch::kNone) return;
    if (m_batch == Batch::kRead) {
        m_batch = Batch::kNone;
        try {
            Stmt("COMMIT").Step();
        } catch (const HostError&) {
            if (sqlite3_get_autocommit(m_db) == 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        return;
    }
    try {
        if (!m_faults.empty()) CheckFault("Commit", kStoreIface);
        // The next id goes with the inserts that used the ones before it.
        if (m_ownIds && m_nextId != m_storedNextId)
            Stmt("INSERT OR REPLACE INTO meta(key, value) VALUES('next_id', ?)").Bind(1, m_nextId).Step();
        WritePendingStarts();
        if (m_companiesWanted) WriteCompanies();
        if (m_companiesMoved)
            Stmt("INSERT OR REPLACE INTO meta(key, value) VALUES('companies_to', ?)").Bind(1, m_companiesTo).Step();
        Stmt("COMMIT").Step();
    } catch (const HostError& e) {
        LoseBatch(e);
        throw;
    }
    m_batch = Batch::kNone;
    m_pendingSaves = 0;
    m_batchFirstNew = 0;
    m_batchLastNew = 0;
    m_companiesTo = -1;
    m_companiesMoved = false;
    if (m_listener != nullptr) m_listener->SavesCommitted();
}

void CStoreDb::LoseBatch(const HostError& cause) {
    if (sqlite3_get_autocommit(m_db) == 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_batch = Batch::kNone;
    m_pendingSaves = 0;
    m_startsFrom = 0;
    // Items the batch inserted are new again; loaded items may hold what it changed
    // (moves, updates) and are read again on their next use.
    // Every item saved since is in m_open (a sweep drops only released ones).
    if (m_batchFirstNew != 0) {
        for (const auto& [id, w] : m_open) {
            if (id < m_batchFirstNew) continue;
            if (auto st = w.lock()) {
                st->id = 0;
                st->saved = false;
            }
        }
    }
    m_batchFirstNew = 0;
    m_batchLastNew = 0;
    m_companiesTo = -1;
    m_companiesMoved = false;
    m_open.clear();
    ++m_generation;
    try {
        LoadFolders();
    } catch (const HostError&) {
        // The folders read before stay; the cause is what the caller reports.
    }
    if (m_listener != nullptr) m_listener->SavesLost(cause);
}

std::chrono::nanoseconds CStoreDb::BatchAge() const {
    if (m_batch != Batch::kWrite) return kMaxBatchAge;
    const std::int64_t steps = 1 + m_nextSeq / kItemsPerBatchAgeStep;
    return std::min<std::chrono::nanoseconds>(kMaxBatchAge * steps, kMaxWriteBatchAge);
}

void CStoreDb::FlushIfDue() {
    if (!m_allOrNone && CoarseNow() - m_batchStart >= BatchAge()) Flush();
}

void CStoreDb::SetSaveListener(ISaveListener* listener) {
    if (listener != nullptr && m_listener == nullptr && m_runLock >= 0) {
        if (::flock(m_runLock, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            if (e == EWOULDBLOCK)
                throw HostError(kMapiETimeout, kStoreIface, "the store is in use by another run (" + m_path + ")");
            throw HostError(kEFail, kStoreIface, std::string("cannot lock the store: ") + std::strerror(e) + " (" + m_path + ")");
        }
    } else if (listener == nullptr && m_listener != nullptr && m_runLock >= 0) {
        ::flock(m_runLock, LOCK_UN);
    }
    m_listener = listener;
}

void CStoreDb::BeginAllOrNone() {
    Flush();
    Begin();
    m_allOrNone = true;
}

void CStoreDb::EndAllOrNone(bool commit) {
    m_allOrNone = false;
    if (commit) {
        Flush();
    } else if (m_batch == Batch::kWrite) {
        LoseBatch(HostError(kEAbort, kStoreIface, "dropped"));
    }
}

void CStoreDb::ReloadItem(ItemState& item) {
    BeginRead();
    CStatement& st = Stmt("SELECT folder_id, data FROM items WHERE id = ?").Bind(1, item.id);
    if (!st.Step()) throw HostError(kMapiENotFound, kStoreIface, "the item no longer exists");
    const std::int64_t folder = st.Int(0);
    ItemData data;
    const bool ok = ReadRow(st, 1, data);
    st.Reset();
    if (!ok) throw HostError(kMapiECorruptData, kStoreIface, "damaged item " + std::to_string(item.id));
    item.data = std::move(data);
    item.folderId = folder;
    item.saved = true;
    item.lastModifiedPut = false;
}

void CStoreDb::MoveItem(ItemState& item, std::int64_t folderId) {
    EndRead();
    Stmt("UPDATE items SET folder_id = ?, seq = ? WHERE id = ?").Bind(1, folderId).Bind(2, m_nextSeq).Bind(3, item.id).Step();
    ++m_nextSeq;
    ++m_generation;
    item.folderId = folderId;
}

void CStoreDb::RemoveItem(ItemState& item) {
    EndRead();
    Stmt("DELETE FROM items WHERE id = ?").Bind(1, item.id).Step();
    m_open.erase(item.id);
    ++m_generation;
    item.gone = true;
}

std::int64_t CStoreDb::CountItems(std::int64_t folderId) {
    BeginRead();
    CStatement& st = Stmt("SELECT COUNT(*) FROM items WHERE folder_id = ?").Bind(1, folderId);
    st.Step();
    const std::int64_t n = st.Int(0);
    st.Reset();
    return n;
}

bool CStoreDb::ReadRow(CStatement& st, int col, ItemData& out) {
    const auto [p, n] = st.BlobView(col);
    return m_packer.Unpack(p, n, m_unpacked) && DeserializeItem(m_unpacked, out);
}

std::vector<ItemKey> CStoreDb::Ids(CStatement& st) {
    BeginRead();
    std::vector<ItemKey> ids;
    while (st.Step()) ids.push_back(ItemKey{st.Int(1), st.Int(0)});
    st.Reset();
    return ids;
}

std::vector<ItemKey> CStoreDb::ItemIds(std::int64_t folderId) {
    return Ids(Stmt("SELECT id, seq FROM items WHERE folder_id = ? ORDER BY seq").Bind(1, folderId));
}

std::vector<ItemKey> CStoreDb::ItemIdsAt(std::int64_t folderId, std::size_t index, std::size_t limit) {
    return Ids(Stmt("SELECT id, seq FROM items WHERE folder_id = ? ORDER BY seq LIMIT ? OFFSET ?")
                   .Bind(1, folderId)
                   .Bind(2, static_cast<std::int64_t>(limit))
                   .Bind(3, static_cast<std::int64_t>(index)));
}

std::vector<ItemKey> CStoreDb::ItemIdsAfter(std::int64_t folderId, ItemKey after, std::size_t limit) {
    return Ids(Stmt("SELECT id, seq FROM items WHERE folder_id = ? AND seq > ? ORDER BY seq LIMIT ?")
                   .Bind(1, folderId)
                   .Bind(2, after.seq)
                   .Bind(3, static_cast<std::int64_t>(limit)));
}

std::shared_ptr<ItemState> CStoreDb::OpenItem(std::int64_t id) {
    auto it = m_open.find(id);
    std::shared_ptr<ItemState> s = it == m_open.end() ? nullptr : it->second.lock();
    return s && !s->saved && HeldOnlyAsRecent(s) ? nullptr : s;
}

std::vector<ItemKey> CStoreDb::ItemIdsByText(std::int64_t folderId, const char* column, const std::string& key) {
    const std::string_view c = column;
    UseLookupCache();
    // A contact found by its name is read whole to be compared (an event's search is
    // answered from the index), so a lookup by name maps the file.
    if (c != "subject") UseMapSizedToStore();
    if (c == "company") return ItemIdsByCompany(folderId, key);
    const char* sql = c == "fullname" ? "SELECT id, seq FROM items WHERE folder_id = ? AND fullname_key = ?"
                                      : "SELECT id, seq FROM items WHERE folder_id = ? AND subject_key = ?";
    // Sorted here: an ORDER BY would tempt SQLite to walk the folder index instead.
    std::vector<ItemKey> ids = Ids(Stmt(sql).Bind(1, folderId).Bind(2, key));
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<ItemKey> CStoreDb::ItemIdsByCompany(std::int64_t folderId, const std::string& key) {
    CStatement& byCompany = Stmt("SELECT id, seq FROM item_companies WHERE folder_id = ? AND company_key = ?");
    if (m_batch == Batch::kWrite) {
        try {
            WriteCompanies();
        } catch (const HostError& e) {
            // SQLite rolled the batch back (a full disk): its saves are lost.
            if (sqlite3_get_autocommit(m_db) != 0) LoseBatch(e);
            throw;
        }
        std::vector<ItemKey> ids = Ids(byCompany.Bind(1, folderId).Bind(2, key));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    // No write here: the items after the mark are read themselves, and their entries
    // written with this connection's next commit.
    m_companiesWanted = true;
    std::vector<ItemKey> ids = Ids(byCompany.Bind(1, folderId).Bind(2, key));
    // The items after the mark, by their ids (the folder is no index to walk here).
    std::vector<ItemKey> after = Ids(Stmt("SELECT id, seq FROM items WHERE id > ? AND +folder_id = ? AND company_key = ?")
                                         .Bind(1, CompaniesTo())
                                         .Bind(2, folderId)
                                         .Bind(3, key));
    ids.insert(ids.end(), after.begin(), after.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::vector<ItemKey> CStoreDb::ItemIdsByStart(std::int64_t folderId, std::optional<std::int64_t> lo,
                                              std::optional<std::int64_t> hi, bool withRecurring) {
    if (m_startsFrom != 0) {
        // The batch's new starts are written first.
        try {
            WritePendingStarts();
        } catch (const HostError& e) {
            // SQLite rolled the batch back (a full disk): its saves are lost.
            if (sqlite3_get_autocommit(m_db) != 0) LoseBatch(e);
            throw;
        }
    }
    std::vector<ItemKey> ids = Ids(Stmt("SELECT id, seq FROM item_starts"
                                        " WHERE folder_id = ? AND start_min >= ? AND start_min <= ?")
                                       .Bind(1, folderId)
                                       .Bind(2, lo.value_or(INT64_MIN))
                                       .Bind(3, hi.value_or(INT64_MAX)));
    if (withRecurring) {
        std::vector<ItemKey> rec = Ids(Stmt("SELECT id, seq FROM items WHERE folder_id = ? AND recurring = 1").Bind(1, folderId));
        ids.insert(ids.end(), rec.begin(), rec.end());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::string CStoreDb::EntryIdOf(std::int64_t itemId) const {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(itemId));
    return "00000000" + m_storeId + buf;
}

std::int64_t CStoreDb::ItemIdOfEntryId(const std::string& entryId) const {
    const std::string prefix = "00000000" + m_storeId;
    if (entryId.size() != prefix.size() + 16 || entryId.compare(0, prefix.size(), prefix) != 0) return 0;
    // The store writes the digits in upper case; another spelling is another entry id.
    const std::string_view digits = std::string_view(entryId).substr(prefix.size());
    std::uint64_t id = 0;
    if (ascii::Upper(digits) != digits || !ascii::ParseHex(digits, id)) return 0;
    return static_cast<std::int64_t>(id);
}

std::uint16_t CStoreDb::NamedPropertyId(const std::string& guid, std::uint16_t id, bool create) {
    const std::string g = ascii::Upper(guid);
    BeginRead();
    CStatement& get = Stmt("SELECT prop_id FROM named_ids WHERE guid = ? AND id = ?").Bind(1, g).Bind(2, id);
    if (get.Step()) {
        const auto v = static_cast<std::uint16_t>(get.Int(0));
        get.Reset();
        return v;
    }
    get.Reset();
    if (!create) return 0;
    EndRead();
    CStatement& next = Stmt("SELECT COALESCE(MAX(prop_id) + 1, 32768) FROM named_ids");
    next.Step();
    const std::int64_t propId = next.Int(0);
    next.Reset();
    if (propId > 0xFFFE) throw HostError(kEOutOfMemory, "MAPIUtils", "no named-property ids left in the store");
    Stmt("INSERT INTO named_ids(guid, id, prop_id) VALUES(?, ?, ?)").Bind(1, g).Bind(2, id).Bind(3, propId).Step();
    return static_cast<std::uint16_t>(propId);
}

std::optional<std::pair<std::string, std::uint16_t>> CStoreDb::NameOfPropertyId(std::uint16_t propId) {
    BeginRead();
    CStatement& st = Stmt("SELECT guid, id FROM named_ids WHERE prop_id = ?").Bind(1, propId);
    if (!st.Step()) return std::nullopt;
    auto r = std::make_pair(st.Text(0), static_cast<std::uint16_t>(st.Int(1)));
    st.Reset();
    return r;
}

}  // namespace mireo
