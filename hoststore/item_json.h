#pragma once
// Items as JSON objects keyed by the host's property names: text as strings,
// numbers, booleans, dates as "YYYY-MM-DDTHH:MM:SS" local time (the none date
// left out). Appointments may carry "RecurrencePattern", "Exceptions" and
// "Recipients"; MAPI properties go under "MAPI" as "{GUID}/0xID" (named) or
// "0xTAG" keys with a string, a 32-bit number or {"hex": "..."}.
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/item_store.h"

namespace mireo {

using ItemJson = nlohmann::ordered_json;

// A JSON item that cannot be applied: the message names the key.
class CItemJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string FormatJsonDate(OleDate d);
// "YYYY-MM-DDTHH:MM:SS" or "YYYY-MM-DD"; nullopt when it is neither.
std::optional<OleDate> ParseJsonDate(const std::string& text);

// Every property that is set, then pattern, exceptions, recipients and MAPI
// properties. `withClass` adds "MessageClass" (for folders that hold both kinds).
ItemJson ItemToJson(IItem& item, bool withClass = false);

// Adds one item to `items`, of the folder's kind (or the kind "MessageClass"
// names), fills it, saves it and then applies its exceptions. Throws
// CItemJsonError for JSON it cannot apply, HostError for the host's refusals.
std::unique_ptr<IItem> AddItemFromJson(IItems& items, int folderItemType, const ItemJson& j, IMapiUtils& mapi);

}  // namespace mireo
