#pragma once
// The host's folders and items as every runner sees them, and the outside MAPI
// library's safe items and utility object.
//
// Objects are addressed by the host's own names: `Get("FirstName")`,
// `Put("Start", ...)`, so the Windows implementation is a thin IDispatch-by-name
// layer and the Linux substitute a property table. Every call may throw
// HostError (platform/hresult.h) carrying the HRESULT and the interface name
// ("_Items", "_ContactItem", "RecurrencePattern", "SafeContactItem", ...).
// Collections are 1-based, as the host's are. Handles are owned: dropping the
// unique_ptr releases the host object.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host_value.h"
#include "platform/hresult.h"

namespace mireo {

// Item kinds for CreateItem and Items.Add (the host's enumeration values).
enum class ItemType : int { Mail = 0, Appointment = 1, Contact = 2 };
// What an item is (its `Class`); distribution lists and notes are Other.
enum class ItemClass { Other, Mail, Appointment, Contact };
// MAPIFolder.DefaultItemType: 0 mail, 1 appointment, 2 contact.
constexpr int kFolderMail = 0;
constexpr int kFolderAppointment = 1;
constexpr int kFolderContact = 2;
// NameSpace.GetDefaultFolder.
enum class DefaultFolder { DeletedItems = 3, Inbox = 6, Calendar = 9, Contacts = 10 };

// Recurrence types of RecurrencePattern.RecurrenceType.
constexpr int kRecursDaily = 0;
constexpr int kRecursWeekly = 1;
constexpr int kRecursMonthly = 2;
constexpr int kRecursMonthNth = 3;
constexpr int kRecursYearly = 5;
constexpr int kRecursYearNth = 6;

// Recipient.Type of an appointment's recipients.
constexpr int kRecipientOrganizer = 0;
constexpr int kRecipientRequired = 1;
constexpr int kRecipientOptional = 2;
constexpr int kRecipientResource = 3;

// MAPI property tags: id in the high word, type in the low word.
using PropTag = std::uint32_t;
constexpr std::uint16_t kPtLong = 0x0003;
constexpr std::uint16_t kPtBoolean = 0x000B;
constexpr std::uint16_t kPtString8 = 0x001E;
constexpr std::uint16_t kPtUnicode = 0x001F;
constexpr std::uint16_t kPtSysTime = 0x0040;
constexpr std::uint16_t kPtBinary = 0x0102;
constexpr PropTag MakeTag(std::uint16_t id, std::uint16_t type) { return (static_cast<PropTag>(id) << 16) | type; }
constexpr std::uint16_t TagId(PropTag tag) { return static_cast<std::uint16_t>(tag >> 16); }
constexpr std::uint16_t TagType(PropTag tag) { return static_cast<std::uint16_t>(tag & 0xFFFF); }

class IItem;
class IFolder;

// A property name with room for the host's resolution of it, for loops that read the
// same properties of many items: the host looks the name up on the first read and
// keeps what it found here (its table row, a dispatch id), so later reads of other
// items skip the lookup by name. `resolvedBy` tells whose resolution `resolved` is, and
// `resolvedClass` for which class of item it holds; a host starts over on a mismatch.
struct PropertyRef {
    explicit PropertyRef(std::string_view n) : name(n) {}
    std::string_view name;
    const void* resolvedBy = nullptr;
    const void* resolved = nullptr;
    std::int32_t resolvedId = 0;
    int resolvedClass = -1;
};

// An appointment's recipients (Recipients) and one recipient.
class IRecipient {
public:
    virtual ~IRecipient() = default;
    // "Address", "Name", "Type".
    virtual Value Get(std::string_view property) = 0;
    virtual void Put(std::string_view property, const Value& value) = 0;
};

class IRecipients {
public:
    virtual ~IRecipients() = default;
    virtual int Count() = 0;
    virtual std::unique_ptr<IRecipient> Item(int index) = 0;  // 1-based
    virtual std::unique_ptr<IRecipient> Add(const std::u16string& name) = 0;
};

// One element of RecurrencePattern.Exceptions.
class IException {
public:
    virtual ~IException() = default;
    virtual OleDate OriginalDate() = 0;
    virtual bool Deleted() = 0;
    // The changed occurrence; throws for a deleted one, as the host does.
    virtual std::unique_ptr<IItem> AppointmentItem() = 0;
};

class IExceptions {
public:
    virtual ~IExceptions() = default;
    virtual int Count() = 0;
    virtual std::unique_ptr<IException> Item(int index) = 0;  // 1-based
};

class IRecurrencePattern {
public:
    virtual ~IRecurrencePattern() = default;
    // RecurrenceType, Interval, DayOfWeekMask, DayOfMonth, MonthOfYear, Instance (1..5,
    // 5 = last), NoEndDate, Occurrences, PatternStartDate, PatternEndDate, StartTime,
    // EndTime, Duration.
    virtual Value Get(std::string_view property) = 0;
    virtual void Put(std::string_view property, const Value& value) = 0;
    virtual std::unique_ptr<IExceptions> Exceptions() = 0;
    // The occurrence that starts at `start` (to the minute); throws when there is none.
    virtual std::unique_ptr<IItem> GetOccurrence(OleDate start) = 0;
};

// A contact, appointment, occurrence or other item of a folder.
class IItem {
public:
    virtual ~IItem() = default;
    virtual ItemClass Class() = 0;
    // Properties of the contact record and the appointment record by the host's
    // names; an unknown name throws DISP_E_UNKNOWNNAME.
    virtual Value Get(std::string_view property) = 0;
    // The text of a property into `out`, whose storage is reused: the faster path of
    // loops that read many items (no Value, no new string for each read). The same
    // result and failures as std::move(Get(name)).TakeText(): empty for a value that
    // is not text.
    virtual void GetText(PropertyRef& property, std::u16string& out) { out = std::move(Get(property.name)).TakeText(); }
    virtual void Put(std::string_view property, const Value& value) = 0;
    // Put by a name the host may resolve once for many items (see PropertyRef): the
    // faster path of loops that fill many items. The same result and failures as
    // Put(property.name, value).
    virtual void PutByRef(PropertyRef& property, const Value& value) { Put(property.name, value); }
    virtual void Save() = 0;
    // False after any Put until the next Save.
    virtual bool Saved() = 0;
    // Moves the item to "Deleted Items"; an item already there is removed for good.
    // On an occurrence: deletes that occurrence of its series.
    virtual void Delete() = 0;
    // Closes without saving (temporary items).
    virtual void Discard() = 0;
    // Identity: empty before the first Save.
    virtual std::string EntryId() = 0;
    // The store the item lives in; named-property tags are per store.
    virtual std::string StoreId() = 0;
    virtual std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() = 0;
    virtual void ClearRecurrencePattern() = 0;
    virtual std::unique_ptr<IRecipients> Recipients() = 0;
    // The host's category chooser on this item; false when cancelled.
    virtual bool ShowCategoriesDialog() = 0;
};

class IItems {
public:
    virtual ~IItems() = default;
    // Not meaningful with IncludeRecurrences set (use GetFirst/GetNext).
    virtual int Count() = 0;
    virtual std::unique_ptr<IItem> Item(int index) = 0;  // 1-based
    // The items the filter text admits; a text the host cannot evaluate throws.
    virtual std::unique_ptr<IItems> Restrict(const std::u16string& filter) = 0;
    // A new unsaved item of the folder; it is in the folder only after Save.
    virtual std::unique_ptr<IItem> Add(ItemType type) = 0;
    virtual void Sort(const std::u16string& property, bool descending = false) = 0;
    virtual void SetIncludeRecurrences(bool include) = 0;
    virtual bool IncludeRecurrences() = 0;
    // Iteration; null at the end.
    virtual std::unique_ptr<IItem> GetFirst() = 0;
    virtual std::unique_ptr<IItem> GetNext() = 0;
};

class IFolders {
public:
    virtual ~IFolders() = default;
    virtual int Count() = 0;
    virtual std::unique_ptr<IFolder> Item(int index) = 0;  // 1-based
    // A new subfolder holding items of `defaultItemType`.
    virtual std::unique_ptr<IFolder> Add(const std::u16string& name, int defaultItemType) = 0;
};

class IFolder {
public:
    virtual ~IFolder() = default;
    virtual int DefaultItemType() = 0;
    virtual std::u16string Name() = 0;
    // Null when the parent is the namespace (this is a store's top folder).
    virtual std::unique_ptr<IFolder> Parent() = 0;
    virtual std::unique_ptr<IItems> Items() = 0;
    virtual std::unique_ptr<IFolders> Folders() = 0;
    virtual std::string EntryId() = 0;
    virtual std::string StoreId() = 0;
};

class ISelection {
public:
    virtual ~ISelection() = default;
    virtual int Count() = 0;
    virtual std::unique_ptr<IItem> Item(int index) = 0;  // 1-based
};

class IExplorer {
public:
    virtual ~IExplorer() = default;
    virtual std::unique_ptr<IFolder> CurrentFolder() = 0;  // null when none
    virtual void SetCurrentFolder(IFolder& folder) = 0;
    virtual std::unique_ptr<ISelection> Selection() = 0;
    virtual void Activate() = 0;
};

class INamespace {
public:
    virtual ~INamespace() = default;
    virtual std::unique_ptr<IFolder> GetDefaultFolder(DefaultFolder which) = 0;
    // The host's folder chooser; null when cancelled.
    virtual std::unique_ptr<IFolder> PickFolder() = 0;
    // The stores' top folders.
    virtual std::unique_ptr<IFolders> Folders() = 0;
    // The item with this EntryID; throws when there is none.
    virtual std::unique_ptr<IItem> GetItemFromID(const std::string& entryId) = 0;
};

class IMailItem {
public:
    virtual ~IMailItem() = default;
    // Shows the message and returns at once; the message is never sent by us.
    virtual void Display() = 0;
    // Attachments.Add(path) with the other arguments omitted.
    virtual void AddAttachment(const std::u16string& path) = 0;
};

// Hears whether the saves of a run became durable. The host's own store has made an
// item durable when its Save returns; the substitute store commits saves in batches, and
// a batch can be lost as a whole (a full disk, a lock another program held too long), so
// a run counts a save as done only when its batch is committed.
class ISaveListener {
public:
    virtual ~ISaveListener() = default;
    // Every save since the last call is durable.
    virtual void SavesCommitted() = 0;
    // Every save since the last call is lost, for the reason `cause` gives.
    virtual void SavesLost(const HostError& cause) = 0;
};

class IApplication {
public:
    virtual ~IApplication() = default;
    // Application.Version, e.g. "11.0.0.0".
    virtual std::u16string Version() = 0;
    // The number before the first "." of Version, read once and kept; `fallback` when
    // the text has no "." or no number before it.
    int MajorVersion(int fallback = 0);
    virtual std::unique_ptr<IExplorer> ActiveExplorer() = 0;  // null when none
    virtual std::unique_ptr<INamespace> GetNamespace() = 0;   // "MAPI"
    // A temporary contact or appointment, in no folder until saved into one.
    virtual std::unique_ptr<IItem> CreateItem(ItemType type) = 0;
    virtual std::unique_ptr<IMailItem> CreateMailItem() = 0;

    // Whether zone properties written through the MAPI utility object into a new
    // recurring appointment before its first save are stored by that save as they are.
    // The host writes a series' zone itself when it first saves one, so there the zone
    // is written after that save, and a series takes two saves.
    virtual bool KeepsZoneBeforeFirstSave() { return false; }

    // The listener of the saves to come (null: none). A host that lets one run at a time
    // write may refuse a second listener with HostError while another run holds the store.
    virtual void SetSaveListener(ISaveListener* listener) { m_saveListener = listener; }
    // Makes every save so far durable and tells the listener. Throws HostError, after
    // telling the listener, when they were lost.
    virtual void CommitSaves() {
        if (m_saveListener != nullptr) m_saveListener->SavesCommitted();
    }

protected:
    ISaveListener* SaveListener() const { return m_saveListener; }

private:
    std::optional<int> m_major;
    ISaveListener* m_saveListener = nullptr;
};

// The number before the first "." of a host version text; `fallback` otherwise.
int MajorVersionOf(std::u16string_view version, int fallback = 0);

// Redemption.SafeContactItem / Redemption.SafeAppointmentItem.
class ISafeItem {
public:
    virtual ~ISafeItem() = default;
    // Put Item: the object-model item whose guarded properties are read.
    virtual void SetItem(IItem& item) = 0;
    // Guarded properties: Body, Email1Address..Email3Address, Email1AddressType..,
    // IMAddress, NetMeetingAlias.
    virtual Value Get(std::string_view property) = 0;
    // As IItem::GetText, for the guarded properties.
    virtual void GetText(PropertyRef& property, std::u16string& out) { out = std::move(Get(property.name)).TakeText(); }
    virtual std::unique_ptr<IRecipients> Recipients() = 0;
    // Fields(tag): empty when the property is missing.
    virtual Value Fields(PropTag tag) = 0;
    virtual void SetFields(PropTag tag, const Value& value) = 0;
};

// Redemption.MapiUtils.
class IMapiUtils {
public:
    virtual ~IMapiUtils() = default;
    // The tag of named property `id` in the set `guidText` ("{00062002-...}") of the
    // item's store, type word 0; 0 when missing and `create` is false.
    virtual PropTag GetIDsFromNames(IItem& item, const std::string& guidText, std::uint16_t id, bool create) = 0;
    virtual std::optional<Value> GetProp(IItem& item, PropTag tag) = 0;
    virtual void SetProp(IItem& item, PropTag tag, const Value& value) = 0;
    // Byte array to hexadecimal text (upper case, two digits a byte) and back.
    virtual std::string BytesToHex(const Bytes& bytes) = 0;
    virtual Bytes HexToBytes(const std::string& text) = 0;
    virtual std::string ErrorText(HRESULT hr) = 0;
};

// Creates the outside library's objects by ProgID; throws HostError when it cannot.
class IMapiFactory {
public:
    virtual ~IMapiFactory() = default;
    virtual std::unique_ptr<ISafeItem> CreateSafeContactItem() = 0;
    virtual std::unique_ptr<ISafeItem> CreateSafeAppointmentItem() = 0;
    virtual std::unique_ptr<IMapiUtils> CreateMapiUtils() = 0;
};

}  // namespace mireo
