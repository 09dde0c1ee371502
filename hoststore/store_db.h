#pragma once
// The SQLite file behind the substitute host store: folders, items (one row each,
// the item serialized plus the columns that Restrict looks up by), named-property
// ids, and the fault-injection hook that every host operation passes through.
#include <chrono>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/item_store.h"
#include "hoststore/item_data.h"
#include "hoststore/item_pack.h"
#include "platform/hresult.h"

struct sqlite3;
struct sqlite3_stmt;

namespace mireo {

// One item as the objects that share it see it (the item, its pattern, its
// occurrences and exceptions all work on the same state).
struct ItemState {
    std::int64_t id = 0;        // 0 until the first Save
    std::int64_t folderId = 0;  // the folder it is (or will be saved) in; 0 = temporary
    ItemData data;
    bool saved = false;  // no changes since the last Save
    bool gone = false;   // removed for good
    bool lastModifiedPut = false;  // LastModificationTime was put since the last Save
    bool damaged = false;  // its stored data could not be read: every use but Delete fails
};

// A new item state in an allocation of its own, not beside its reference counts: the
// store's identity map keeps a weak reference to every item it loaded until it sweeps,
// and with make_shared that would keep each item's whole state allocated until then.
inline std::shared_ptr<ItemState> NewItemState() { return std::shared_ptr<ItemState>(new ItemState); }

struct FolderRow {
    std::int64_t id = 0;
    std::int64_t parentId = 0;  // 0 for the top folder
    std::u16string name;
    int itemType = 0;
    std::string role;  // "top", "calendar", "contacts", "deleted", "inbox" or empty
};

class CStatement;

// An item's place in its folder: creation order first, then the row id.
struct ItemKey {
    std::int64_t seq = 0;
    std::int64_t id = 0;
    friend auto operator<=>(const ItemKey&, const ItemKey&) = default;
};

class CStoreDb {
public:
    // busyTimeoutMs: how long a statement waits for a lock another connection holds.
    // maxBatchSaves: the saves one commit groups at the most.
    CStoreDb(const std::string& path, std::string shortDatePicture, int busyTimeoutMs = 5000,
             int maxBatchSaves = 50000);
    ~CStoreDb();
    CStoreDb(const CStoreDb&) = delete;
    CStoreDb& operator=(const CStoreDb&) = delete;

    const std::string& ShortDatePicture() const { return m_picture; }
    const std::string& StoreId() const { return m_storeId; }
    // Changes whenever an item enters or leaves a folder; collections refresh on it.
    std::uint64_t Generation() const { return m_generation; }

    // Fault injection: the n-th call (counting from now, 1 = the next) of `operation`
    // throws HostError(hr, the operation's interface).
    void FailCall(const std::string& operation, int nth, HRESULT hr);
    // Every host operation calls this first.
    void Enter(const char* operation, const char* iface) {
        if (!m_faults.empty()) CheckFault(operation, iface);
        if (m_batch != Batch::kNone) FlushIfDue();
    }
    // Commits the saves made so far. They are grouped into one SQLite transaction
    // (each Save one statement of it, so atomic) that is committed after 50,000 saves,
    // 200 ms (up to 1 s in a large store; see BatchAge), or when the store closes.
    // Reads outside a batch of saves are grouped the same way into one read
    // transaction of at most 200 ms: a transaction of its own
    // for every statement costs more than the statement (locks on the shared-memory
    // file, system calls), and another process's changes are seen at the latest when
    // that transaction ends, as this process's saves are seen by others.
    // A commit that fails loses the whole batch: it is rolled back, the listener hears
    // of it, the store is usable again (the next save starts a new batch), and the
    // failure is thrown.
    void Flush();

    // Who hears of committed and lost batches (null: nobody). A listener holds the store
    // for its run: a second store on the same file cannot set one meanwhile (HostError).
    void SetSaveListener(ISaveListener* listener);
    // All or none: until EndAllOrNone, no batch is committed on its own; EndAllOrNone(true)
    // commits everything since, EndAllOrNone(false) drops it.
    void BeginAllOrNone();
    void EndAllOrNone(bool commit);

    // Folders.
    const std::vector<FolderRow>& Folders() const { return m_folders; }
    const FolderRow* Folder(std::int64_t id) const;
    const FolderRow* FolderByRole(const std::string& role) const;
    std::int64_t AddFolder(std::int64_t parentId, const std::u16string& name, int itemType);

    // Items.
    std::shared_ptr<ItemState> LoadItem(std::int64_t id);  // null when there is none
    // LoadItem for several items with one query (a walk over a folder); out[i] is the
    // item of ids[i], null when there is none.
    static constexpr std::size_t kLoadBatch = 64;
    void LoadItems(const std::vector<std::int64_t>& ids, std::vector<std::shared_ptr<ItemState>>& out);
    void SaveItem(const std::shared_ptr<ItemState>& item);
    // Drops unsaved changes: the stored row again.
    void ReloadItem(ItemState& item);
    void MoveItem(ItemState& item, std::int64_t folderId);
    void RemoveItem(ItemState& item);
    std::int64_t CountItems(std::int64_t folderId);
    std::vector<ItemKey> ItemIds(std::int64_t folderId);
    // At most `limit` ids of the folder in creation order: from the index-th (0-based),
    // or the ones after `after`.
    std::vector<ItemKey> ItemIdsAt(std::int64_t folderId, std::size_t index, std::size_t limit);
    std::vector<ItemKey> ItemIdsAfter(std::int64_t folderId, ItemKey after, std::size_t limit);
    // The loaded item of this id, if one is (null otherwise); nothing is read.
    std::shared_ptr<ItemState> OpenItem(std::int64_t id);
    // Ids of the items whose indexed column equals `key` ("fullname", "company",
    // "subject"), in creation order.
    std::vector<ItemKey> ItemIdsByText(std::int64_t folderId, const char* column, const std::string& key);
    // Ids of the items whose start lies in [lo, hi] minutes (either end open), and
    // of every recurring item when `withRecurring`.
    std::vector<ItemKey> ItemIdsByStart(std::int64_t folderId, std::optional<std::int64_t> lo,
                                             std::optional<std::int64_t> hi, bool withRecurring);
    std::string EntryIdOf(std::int64_t itemId) const;
    std::int64_t ItemIdOfEntryId(const std::string& entryId) const;  // 0 when not ours

    // Named properties: the property id of (set, id) in this store; 0 when it does
    // not exist and `create` is false. Ids are given out from 0x8000 on.
    std::uint16_t NamedPropertyId(const std::string& guid, std::uint16_t id, bool create);
    // The name of a named-property id: (set, id); nullopt when it has none.
    std::optional<std::pair<std::string, std::uint16_t>> NameOfPropertyId(std::uint16_t propId);

private:
    enum class Batch { kNone, kRead, kWrite };

    void CheckFault(const char* operation, const char* iface);
    // The batch of saves, started when none is open (a read batch is committed first).
    void Begin();
    // A read transaction for the statements to come, unless a batch is open.
    void BeginRead();
    // Ends a read batch before a change that is committed on its own.
    void EndRead();
    // Sizes the page cache to what index lookups and updates need in a store of this
    // size; called when a batch of saves begins and before a lookup by name.
    void UseLookupCache();
    void SetCacheKb(std::int64_t kb);
    // Maps the file for reads, sized to the store; called on lookups of contacts by name.
    void UseMapSizedToStore();
    void Remember(const std::shared_ptr<ItemState>& item);
    void FlushIfDue();
    // The open write batch is gone (its commit failed, or SQLite rolled it back): forget
    // what it did in memory, tell the listener, leave no transaction open.
    void LoseBatch(const HostError& cause);
    [[noreturn]] void ThrowStoreError(int rc, const char* what);
    void Exec(const char* sql);
    void CreateSchema();
    // The table of the events' starts, filled from the items of a store made before it.
    void CreateStartTable();
    // Writes the start entries of the batch's new events, in the order of the starts.
    void WritePendingStarts();
    // The table of the contacts' companies, written as they are looked up.
    void CreateCompanyTable();
    // The last id whose company entry the table holds.
    std::int64_t CompaniesTo();
    // Writes the company entries of the items after CompaniesTo(), in company order.
    void WriteCompanies();
    std::vector<ItemKey> ItemIdsByCompany(std::int64_t folderId, const std::string& key);
    // How old the open batch may grow before it is committed.
    std::chrono::nanoseconds BatchAge() const;
    void LoadFolders();
    CStatement& Stmt(const char* sql);
    std::vector<ItemKey> Ids(CStatement& st);
    // The item in column `col` of the statement's row; false when it is damaged.
    bool ReadRow(CStatement& st, int col, ItemData& out);

    sqlite3* m_db = nullptr;
    std::string m_path;
    std::string m_picture;
    std::string m_storeId;
    std::vector<FolderRow> m_folders;
    std::int64_t m_nextSeq = 1;
    std::uint64_t m_generation = 0;
    Batch m_batch = Batch::kNone;
    std::int64_t m_cacheKb = 0;
    std::int64_t m_mapBytes = 0;    // the size of the read map (0: none)
    std::int64_t m_mapCheckAt = 0;  // the item count at which the map is sized again
    int m_pendingSaves = 0;
    std::chrono::nanoseconds m_batchStart{};  // on the coarse monotonic clock
    // Prepared statements by the address of their SQL text: every caller passes a
    // literal or a static string, and a lookup by address costs no copy and no compare
    // of the long, alike SQL texts.
    std::unordered_map<const char*, std::unique_ptr<CStatement>> m_statements;
    CItemPacker m_packer;
    Bytes m_unpacked;  // the last item read, unpacked (its room is kept)
    Bytes m_serialized;  // the last item saved, before packing (its room is kept)
    std::unordered_map<std::int64_t, std::weak_ptr<ItemState>> m_open;  // identity map of loaded items
    // The items LoadItem read last, kept loaded: a duplicate search loads the contacts of
    // one name for every card of that name, and a name shared by ten cards would decode
    // the same ten items ten times. Emptied when the batch ends, so that another
    // process's changes are seen then as before.
    static constexpr std::size_t kRecentItems = 256;
    std::vector<std::shared_ptr<ItemState>> m_recent;
    std::size_t m_recentNext = 0;
    // True when only m_recent holds `s` (besides the caller's `s`).
    bool HeldOnlyAsRecent(const std::shared_ptr<ItemState>& s) const;
    std::size_t m_sweepAt = 4096;
    ISaveListener* m_listener = nullptr;
    int m_runLock = -1;  // a descriptor of the store file, locked while a listener is set
    bool m_allOrNone = false;
    int m_maxBatchSaves;
    // The first id the open write batch inserted (0: none yet). Ids only grow, so the
    // items a lost batch must take their ids back from are the loaded ones from here on.
    std::int64_t m_batchFirstNew = 0;
    std::int64_t m_batchLastNew = 0;  // the last id it inserted (0: none yet)
    // The first id of the open batch whose start entry waits for the commit (0: none).
    std::int64_t m_startsFrom = 0;
    // A company was looked up outside a batch of saves: the next commit writes the
    // company entries that wait.
    bool m_companiesWanted = false;
    // The company mark as the open batch of saves moved it (-1: not read in this
    // batch), and whether it moved.
    std::int64_t m_companiesTo = -1;
    bool m_companiesMoved = false;
    // The items table takes its ids from m_nextId (a store made before this keeps
    // them with SQLite's AUTOINCREMENT); read when a batch of saves begins, stored
    // with its commit when it moved (m_storedNextId: the value read).
    bool m_ownIds = false;
    std::int64_t m_nextId = 1;
    std::int64_t m_storedNextId = 1;
    struct Fault {
        int remaining;
        HRESULT hr;
    };
    std::multimap<std::string, Fault> m_faults;
};

}  // namespace mireo
