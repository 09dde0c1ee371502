#include "vcard/contact_record.h"

#include <array>

namespace mireo {
namespace {

constexpr unsigned kBoth = kUsedByExport | kUsedByImport;
constexpr ContactAccess kOm = ContactAccess::kObjectModel;
constexpr ContactAccess kSafe = ContactAccess::kSafeItem;

constexpr ContactPropertyInfo Text(const char* name, std::u16string ContactRecord::*field,
                                   ContactAccess access = kOm, unsigned usedBy = kBoth,
                                   bool failsCard = false, bool major10 = false) {
    return {name, access, ContactValueKind::kText, usedBy, failsCard, major10, field, nullptr, nullptr};
}

constexpr ContactPropertyInfo Date(const char* name, std::optional<LocalTime> ContactRecord::*field, unsigned usedBy = kBoth) {
    return {name, kOm, ContactValueKind::kDate, usedBy, false, false, nullptr, field, nullptr};
}

using R = ContactRecord;

// Guarded reads go through the safe item and fail the card when they fail; so does
// NetMeetingServer, although the object model serves it.
constexpr std::array kProperties{
    Text("LastName", &R::LastName),
    Text("FirstName", &R::FirstName),
    Text("MiddleName", &R::MiddleName),
    Text("Title", &R::Title),
    Text("Suffix", &R::Suffix),
    Text("FullName", &R::FullName),
    Text("NickName", &R::NickName),
    Text("FileAs", &R::FileAs, kOm, kUsedByExport),
    Text("CompanyName", &R::CompanyName),
    Text("Department", &R::Department),
    Text("JobTitle", &R::JobTitle),
    Text("Profession", &R::Profession),
    Text("OfficeLocation", &R::OfficeLocation),
    Text("ManagerName", &R::ManagerName),
    Text("AssistantName", &R::AssistantName),
    Text("Body", &R::Body, kSafe, kBoth, true),
    Text("BusinessTelephoneNumber", &R::BusinessTelephoneNumber),
    Text("Business2TelephoneNumber", &R::Business2TelephoneNumber),
    Text("BusinessFaxNumber", &R::BusinessFaxNumber),
    Text("HomeTelephoneNumber", &R::HomeTelephoneNumber),
    Text("Home2TelephoneNumber", &R::Home2TelephoneNumber),
    Text("HomeFaxNumber", &R::HomeFaxNumber),
    Text("MobileTelephoneNumber", &R::MobileTelephoneNumber),
    Text("CarTelephoneNumber", &R::CarTelephoneNumber),
    Text("OtherTelephoneNumber", &R::OtherTelephoneNumber),
    Text("OtherFaxNumber", &R::OtherFaxNumber),
    Text("PagerNumber", &R::PagerNumber),
    Text("ISDNNumber", &R::ISDNNumber),
    Text("PrimaryTelephoneNumber", &R::PrimaryTelephoneNumber),
    Text("AssistantTelephoneNumber", &R::AssistantTelephoneNumber, kOm, kUsedByImport),
    Text("CallbackTelephoneNumber", &R::CallbackTelephoneNumber, kOm, kUsedByImport),
    Text("CompanyMainTelephoneNumber", &R::CompanyMainTelephoneNumber, kOm, kUsedByImport),
    Text("RadioTelephoneNumber", &R::RadioTelephoneNumber, kOm, kUsedByImport),
    Text("TelexNumber", &R::TelexNumber, kOm, kUsedByImport),
    Text("TTYTDDTelephoneNumber", &R::TTYTDDTelephoneNumber, kOm, kUsedByImport),
    Text("BusinessAddressPostOfficeBox", &R::BusinessAddressPostOfficeBox),
    Text("BusinessAddressStreet", &R::BusinessAddressStreet),
    Text("BusinessAddressCity", &R::BusinessAddressCity),
    Text("BusinessAddressState", &R::BusinessAddressState),
    Text("BusinessAddressPostalCode", &R::BusinessAddressPostalCode),
    Text("BusinessAddressCountry", &R::BusinessAddressCountry),
    Text("HomeAddressPostOfficeBox", &R::HomeAddressPostOfficeBox),
    Text("HomeAddressStreet", &R::HomeAddressStreet),
    Text("HomeAddressCity", &R::HomeAddressCity),
    Text("HomeAddressState", &R::HomeAddressState),
    Text("HomeAddressPostalCode", &R::HomeAddressPostalCode),
    Text("HomeAddressCountry", &R::HomeAddressCountry),
    Text("OtherAddressPostOfficeBox", &R::OtherAddressPostOfficeBox),
    Text("OtherAddressStreet", &R::OtherAddressStreet),
    Text("OtherAddressCity", &R::OtherAddressCity),
    Text("OtherAddressState", &R::OtherAddressState),
    Text("OtherAddressPostalCode", &R::OtherAddressPostalCode),
    Text("OtherAddressCountry", &R::OtherAddressCountry),
    Text("PersonalHomePage", &R::PersonalHomePage),
    Text("BusinessHomePage", &R::BusinessHomePage),
    Text("Email1Address", &R::Email1Address, kSafe, kBoth, true),
    Text("Email1AddressType", &R::Email1AddressType, kSafe, kBoth, true),
    Text("Email2Address", &R::Email2Address, kSafe, kBoth, true),
    Text("Email2AddressType", &R::Email2AddressType, kSafe, kBoth, true),
    Text("Email3Address", &R::Email3Address, kSafe, kBoth, true),
    Text("Email3AddressType", &R::Email3AddressType, kSafe, kBoth, true),
    Text("IMAddress", &R::IMAddress, kSafe, kBoth, true, true),
    Text("Spouse", &R::Spouse),
    Text("NetMeetingServer", &R::NetMeetingServer, kOm, kBoth, true),
    Text("NetMeetingAlias", &R::NetMeetingAlias, kSafe, kBoth, true),
    Text("InternetFreeBusyAddress", &R::InternetFreeBusyAddress),
    Text("Categories", &R::Categories),
    Date("Birthday", &R::Birthday),
    Date("Anniversary", &R::Anniversary),
    Date("LastModificationTime", &R::LastModificationTime, kUsedByExport),
    ContactPropertyInfo{"Sensitivity", kOm, ContactValueKind::kInteger, kBoth, false, false, nullptr, nullptr,
                        &R::Sensitivity},
};

}  // namespace

std::span<const ContactPropertyInfo> ContactRecordProperties() { return kProperties; }

const ContactPropertyInfo* FindContactProperty(std::string_view name) {
    for (const ContactPropertyInfo& p : kProperties) {
        if (name == p.name) return &p;
    }
    return nullptr;
}

void ClearContactRecord(ContactRecord& record) {
    for (const ContactPropertyInfo& p : kProperties) {
        switch (p.kind) {
            case ContactValueKind::kText: (record.*p.text).clear(); break;
            case ContactValueKind::kDate: (record.*p.date).reset(); break;
            case ContactValueKind::kInteger: record.*p.integer = 0; break;
        }
    }
    record.Sensitivity = kSensitivityNormal;
}

}  // namespace mireo
