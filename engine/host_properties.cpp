#include "engine/host_properties.h"

#include <cstring>

#include "platform/ascii.h"
#include "platform/hresult.h"

namespace mireo {

namespace {

constexpr HostProperty kContact[] = {
    {"LastName", PropKind::Text, false},
    {"FirstName", PropKind::Text, false},
    {"MiddleName", PropKind::Text, false},
    {"Title", PropKind::Text, false},
    {"Suffix", PropKind::Text, false},
    {"FullName", PropKind::Text, false},
    {"FileAs", PropKind::Text, false},
    {"NickName", PropKind::Text, false},
    {"CompanyName", PropKind::Text, false},
    {"Department", PropKind::Text, false},
    {"JobTitle", PropKind::Text, false},
    {"Body", PropKind::Text, false},
    {"BusinessTelephoneNumber", PropKind::Text, false},
    {"Business2TelephoneNumber", PropKind::Text, false},
    {"BusinessFaxNumber", PropKind::Text, false},
    {"HomeTelephoneNumber", PropKind::Text, false},
    {"Home2TelephoneNumber", PropKind::Text, false},
    {"HomeFaxNumber", PropKind::Text, false},
    {"MobileTelephoneNumber", PropKind::Text, false},
    {"CarTelephoneNumber", PropKind::Text, false},
    {"OtherTelephoneNumber", PropKind::Text, false},
    {"OtherFaxNumber", PropKind::Text, false},
    {"PagerNumber", PropKind::Text, false},
    {"ISDNNumber", PropKind::Text, false},
    {"PrimaryTelephoneNumber", PropKind::Text, false},
    {"AssistantTelephoneNumber", PropKind::Text, false},
    {"CallbackTelephoneNumber", PropKind::Text, false},
    {"CompanyMainTelephoneNumber", PropKind::Text, false},
    {"RadioTelephoneNumber", PropKind::Text, false},
    {"TelexNumber", PropKind::Text, false},
    {"TTYTDDTelephoneNumber", PropKind::Text, false},
    {"BusinessAddressPostOfficeBox", PropKind::Text, false},
    {"OfficeLocation", PropKind::Text, false},
    {"BusinessAddressStreet", PropKind::Text, false},
    {"BusinessAddressCity", PropKind::Text, false},
    {"BusinessAddressState", PropKind::Text, false},
    {"BusinessAddressPostalCode", PropKind::Text, false},
    {"BusinessAddressCountry", PropKind::Text, false},
    {"HomeAddressPostOfficeBox", PropKind::Text, false},
    {"HomeAddressStreet", PropKind::Text, false},
    {"HomeAddressCity", PropKind::Text, false},
    {"HomeAddressState", PropKind::Text, false},
    {"HomeAddressPostalCode", PropKind::Text, false},
    {"HomeAddressCountry", PropKind::Text, false},
    {"OtherAddressPostOfficeBox", PropKind::Text, false},
    {"OtherAddressStreet", PropKind::Text, false},
    {"OtherAddressCity", PropKind::Text, false},
    {"OtherAddressState", PropKind::Text, false},
    {"OtherAddressPostalCode", PropKind::Text, false},
    {"OtherAddressCountry", PropKind::Text, false},
    {"PersonalHomePage", PropKind::Text, false},
    {"BusinessHomePage", PropKind::Text, false},
    {"Profession", PropKind::Text, false},
    {"Birthday", PropKind::Date, false},
    {"Anniversary", PropKind::Date, false},
    {"Email1Address", PropKind::Text, false},
    {"Email1AddressType", PropKind::Text, false},
    {"Email2Address", PropKind::Text, false},
    {"Email2AddressType", PropKind::Text, false},
    {"Email3Address", PropKind::Text, false},
    {"Email3AddressType", PropKind::Text, false},
    {"IMAddress", PropKind::Text, false},
    {"ManagerName", PropKind::Text, false},
    {"AssistantName", PropKind::Text, false},
    {"Spouse", PropKind::Text, false},
    {"NetMeetingServer", PropKind::Text, false},
    {"NetMeetingAlias", PropKind::Text, false},
    {"InternetFreeBusyAddress", PropKind::Text, false},
    {"Categories", PropKind::Text, false},
    {"Sensitivity", PropKind::Int, false},
    // The host keeps these; the substitute lets tests set LastModificationTime.
    {"LastModificationTime", PropKind::Date, false},
    {"CreationTime", PropKind::Date, true},
    {"EntryID", PropKind::Text, true},
    {"MessageClass", PropKind::Text, true},
};

constexpr HostProperty kAppointment[] = {
    {"Subject", PropKind::Text, false},
    {"Start", PropKind::Date, false},
    {"End", PropKind::Date, false},
    {"Duration", PropKind::Int, false},
    {"AllDayEvent", PropKind::Bool, false},
    {"Location", PropKind::Text, false},
    {"Body", PropKind::Text, false},
    {"Categories", PropKind::Text, false},
    {"Sensitivity", PropKind::Int, false},
    {"Importance", PropKind::Int, false},
    {"BusyStatus", PropKind::Int, false},
    {"ReminderSet", PropKind::Bool, false},
    {"ReminderMinutesBeforeStart", PropKind::Int, false},
    {"MeetingStatus", PropKind::Int, false},
    {"Resources", PropKind::Text, false},
    {"IsRecurring", PropKind::Bool, true},
    // 0 not recurring, 1 series, 2 occurrence, 3 changed occurrence.
    {"RecurrenceState", PropKind::Int, true},
    {"LastModificationTime", PropKind::Date, false},
    {"CreationTime", PropKind::Date, true},
    {"EntryID", PropKind::Text, true},
    {"MessageClass", PropKind::Text, true},
};

constexpr HostProperty kPattern[] = {
    {"RecurrenceType", PropKind::Int, false},
    {"Interval", PropKind::Int, false},
    {"DayOfWeekMask", PropKind::Int, false},
    {"DayOfMonth", PropKind::Int, false},
    {"MonthOfYear", PropKind::Int, false},
    {"Instance", PropKind::Int, false},
    {"NoEndDate", PropKind::Bool, false},
    {"Occurrences", PropKind::Int, false},
    {"PatternStartDate", PropKind::Date, false},
    {"PatternEndDate", PropKind::Date, false},
    {"StartTime", PropKind::Date, false},
    {"EndTime", PropKind::Date, false},
    {"Duration", PropKind::Int, false},
};

using ascii::EqualsNoCase;

}  // namespace

std::span<const HostProperty> ContactProperties() { return kContact; }
std::span<const HostProperty> AppointmentProperties() { return kAppointment; }
std::span<const HostProperty> RecurrencePatternProperties() { return kPattern; }

const HostProperty* FindProperty(std::span<const HostProperty> table, std::string_view name) {
    for (const HostProperty& p : table) {
        if (EqualsNoCase(name, p.name)) return &p;
    }
    return nullptr;
}

const HostProperty* FindItemProperty(ItemClass cls, std::string_view name) {
    switch (cls) {
    case ItemClass::Contact: return FindProperty(kContact, name);
    case ItemClass::Appointment: return FindProperty(kAppointment, name);
    default: return nullptr;
    }
}

Value DefaultValue(const HostProperty& p) {
    switch (p.kind) {
    case PropKind::Text: return Value::Text(u"");
    case PropKind::Date: return Value::Date(kNoDate);
    case PropKind::Int: return Value::Int(0);
    case PropKind::Bool: return Value::Bool(false);
    }
    return {};
}

Value CoerceToKind(const Value& v, PropKind kind, const char* iface) {
    using K = Value::Kind;
    const K k = v.GetKind();
    switch (kind) {
    case PropKind::Text:
        if (k == K::Text) return v;
        if (k == K::Empty) return Value::Text(u"");
        break;
    case PropKind::Date:
        if (k == K::Date) return v;
        if (k == K::Int) return Value::Date(v.AsInt());
        break;
    case PropKind::Int:
        if (k == K::Int) return v;
        if (k == K::Bool) return Value::Int(v.AsInt());
        break;
    case PropKind::Bool:
        if (k == K::Bool) return v;
        if (k == K::Int) return Value::Bool(v.AsInt() != 0);
        break;
    }
    throw HostError(kDispETypeMismatch, iface, "value of the wrong type");
}

}  // namespace mireo
