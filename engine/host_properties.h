#pragma once
// The host properties that the contact record, the appointment record and the
// recurrence pattern name, with their types. JSON conversion, the filter
// evaluator and the substitute store look names up here.
#include <span>
#include <string_view>

#include "engine/host_value.h"
#include "engine/item_store.h"

namespace mireo {

enum class PropKind { Text, Date, Int, Bool };

struct HostProperty {
    const char* name;
    PropKind kind;
    bool readOnly;  // computed or kept by the host
};

std::span<const HostProperty> ContactProperties();
std::span<const HostProperty> AppointmentProperties();
std::span<const HostProperty> RecurrencePatternProperties();

// By name, case-insensitively as IDispatch does; null when unknown.
const HostProperty* FindProperty(std::span<const HostProperty> table, std::string_view name);
const HostProperty* FindItemProperty(ItemClass cls, std::string_view name);

// The value a property has when it was never set.
Value DefaultValue(const HostProperty& p);

// Coerces a value to the property's type as the host's VARIANT conversion would
// (an integer to a bool, a date to a number, ...); throws DISP_E_TYPEMISMATCH
// with `iface` when it cannot.
Value CoerceToKind(const Value& v, PropKind kind, const char* iface);

}  // namespace mireo
