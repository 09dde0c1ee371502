#pragma once
// The host contact properties that vCard export writes and vCard import fills,
// under the host's own property names. One record is one card.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/date_time.h"

namespace mireo {

// Sensitivity values of the host.
constexpr int kSensitivityNormal = 0;
constexpr int kSensitivityPersonal = 1;
constexpr int kSensitivityPrivate = 2;
constexpr int kSensitivityConfidential = 3;

struct ContactRecord {
    // Name
    std::u16string LastName;
    std::u16string FirstName;
    std::u16string MiddleName;
    std::u16string Title;
    std::u16string Suffix;
    std::u16string FullName;  // import: the FN; export: the FN of a contact without name parts
    std::u16string NickName;
    std::u16string FileAs;    // export: base of the output file name

    // Work
    std::u16string CompanyName;
    std::u16string Department;
    std::u16string JobTitle;
    std::u16string Profession;
    std::u16string OfficeLocation;
    std::u16string ManagerName;
    std::u16string AssistantName;

    std::u16string Body;  // guarded

    // Telephones, in the order they are written
    std::u16string BusinessTelephoneNumber;
    std::u16string Business2TelephoneNumber;
    std::u16string BusinessFaxNumber;
    std::u16string HomeTelephoneNumber;
    std::u16string Home2TelephoneNumber;
    std::u16string HomeFaxNumber;
    std::u16string MobileTelephoneNumber;
    std::u16string CarTelephoneNumber;
    std::u16string OtherTelephoneNumber;
    std::u16string OtherFaxNumber;
    std::u16string PagerNumber;
    std::u16string ISDNNumber;
    std::u16string PrimaryTelephoneNumber;
    // Read from other programs' cards only (the writer's card has no place for them).
    std::u16string AssistantTelephoneNumber;
    std::u16string CallbackTelephoneNumber;
    std::u16string CompanyMainTelephoneNumber;
    std::u16string RadioTelephoneNumber;
    std::u16string TelexNumber;
    std::u16string TTYTDDTelephoneNumber;

    // Addresses (the business one also uses OfficeLocation as its extended address)
    std::u16string BusinessAddressPostOfficeBox;
    std::u16string BusinessAddressStreet;
    std::u16string BusinessAddressCity;
    std::u16string BusinessAddressState;
    std::u16string BusinessAddressPostalCode;
    std::u16string BusinessAddressCountry;
    std::u16string HomeAddressPostOfficeBox;
    std::u16string HomeAddressStreet;
    std::u16string HomeAddressCity;
    std::u16string HomeAddressState;
    std::u16string HomeAddressPostalCode;
    std::u16string HomeAddressCountry;
    std::u16string OtherAddressPostOfficeBox;
    std::u16string OtherAddressStreet;
    std::u16string OtherAddressCity;
    std::u16string OtherAddressState;
    std::u16string OtherAddressPostalCode;
    std::u16string OtherAddressCountry;

    std::u16string PersonalHomePage;
    std::u16string BusinessHomePage;

    // E-mail (guarded); an address type of exactly "SMTP" marks an Internet address
    std::u16string Email1Address;
    std::u16string Email1AddressType;
    std::u16string Email2Address;
    std::u16string Email2AddressType;
    std::u16string Email3Address;
    std::u16string Email3AddressType;

    std::u16string IMAddress;        // guarded; host major version 10 and later only
    std::u16string Spouse;
    std::u16string NetMeetingServer;
    std::u16string NetMeetingAlias;  // guarded
    std::u16string InternetFreeBusyAddress;
    std::u16string Categories;       // joined by the user's list separator

    // Local dates and times; null for none. The host's OLE dates (4501-01-01 for none)
    // are converted where a record is read from or put into an item.
    std::optional<LocalTime> Birthday;
    std::optional<LocalTime> Anniversary;
    std::optional<LocalTime> LastModificationTime;
    int Sensitivity = kSensitivityNormal;  // 0..3
};

// How a property reaches the host.
enum class ContactAccess : std::uint8_t {
    kObjectModel,  // the contact item itself
    kSafeItem,     // the safe contact item, for the properties the host guards
};

enum class ContactValueKind : std::uint8_t { kText, kDate, kInteger };

// Which direction uses a property (bit set).
constexpr unsigned kUsedByExport = 1;
constexpr unsigned kUsedByImport = 2;

// One row of the property table. Exactly one of text/date/integer is set, by kind.
struct ContactPropertyInfo {
    const char* name;  // the host's property name
    ContactAccess access;
    ContactValueKind kind;
    unsigned usedBy;       // kUsedByExport | kUsedByImport
    bool failReadFailsCard;  // export: a failed read fails the whole card
    bool needsMajor10;       // read and written only for host major version 10 and later
    std::u16string ContactRecord::*text;
    std::optional<LocalTime> ContactRecord::*date;
    int ContactRecord::*integer;
};

// Every property of ContactRecord, in declaration order. The store glue walks it to
// fill a record from an item (export) or to put a record into a new item (import).
std::span<const ContactPropertyInfo> ContactRecordProperties();

// The row of that host name (exact, case-sensitive), or null.
const ContactPropertyInfo* FindContactProperty(std::string_view name);

// Makes a record equal to ContactRecord{} while its texts keep their storage: a reader
// that fills one record per card allocates again only for longer texts.
void ClearContactRecord(ContactRecord& record);

}  // namespace mireo
