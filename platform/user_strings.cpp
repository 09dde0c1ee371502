#include "platform/user_strings.h"

namespace mireo {
namespace {

struct UserString {
    int id;
    const char* text;
};

// Texts are byte for byte what the user has always seen; "\n" is a line feed.
constexpr UserString kUserStrings[] = {
    {100, "Mireo"},
    {101, "Keep both contacts (allow duplicate items to be created)"},
    {102, "Replace duplicates with items imported (original will be removed to \"Deleted Items\" folder)"},
    {103, "Keep original contacts (do not import duplicate items)"},
    {104, "%s completed successfully."},
    {105, "%s completed with errors."},
    {106, "%s completed with skipped items."},
    {107, "%s completed with skipped items and with errors."},
    {108, "Import"},
    {109, "Export"},
    {110, "Keep both appointments (allow duplicate items to be created)"},
    {111, "Replace duplicates with items imported (original will be removed to \"Deleted Items\" folder)"},
    {112, "Keep original appointments (do not import duplicate items)"},
    {113, "Element %2 format in %1 file is invalid.\nIt will be written into appointment without any modifications."},
    {114, "The name '%s' isn't accessible."},
    {115, "Important"},
    {116, "Business"},
    {117, "Personal"},
    {118, "Vacation"},
    {119, "Must Attend"},
    {120, "Travel Required"},
    {121, "Needs Preparation"},
    {122, "Birthday"},
    {123, "Anniversary"},
    {124, "Phone Call"},
    {125, "exclude"},
    {126, "include"},
    {127, "Please, enter categories"},
    {128, "Please, select labels"},
    {129, "The end date must be later than the start date"},
    {130, "Import without filters - Not Recommended"},
    {131, "Export without filters - Not Recommended"},
    // A leading space: the text is appended to the file's path.
    {134, " file cannot be opened. \nTo skip file processing and continue, press OK.\nNote: the problem might be "
          "related with non-latin symbols in the file name.\nPlease, try renaming the file"},
    {135, "Element %2 format in %1 file is invalid.\nIt will be written into contact without any modifications."},
    {136, "No vCard files were found. Please select other directory containing vCard files."},
    {137, "No vCal/iCal files were found. Please select other directory containing vCal/iCal files."},
    {138, "Supported encodings file was not found.\nOnly UTF-8 encoding will be available"},
    {139, "Wait..."},
    {140, "%i of %i"},
    {141, "Importing..."},
    {142, "Exporting..."},
    {143, "Choose a folder for Import"},
    {144, "Choose a folder for Export"},
    {145, "Chosen folder is not Contact's folder"},
    {146, "Chosen folder is not Appointment's folder"},
    {147, "Import and Export by Mireo"},
    {148, "Import contacts from vCard"},
    {149, "Export contacts to vCard"},
    {150, "Import events from vCal/iCal"},
    {151, "Export events to vCal/iCal"},
    {602, "Kelvo"},
};

}  // namespace

const char* LoadUserString(int id) {
    for (const UserString& s : kUserStrings)
        if (s.id == id) return s.text;
    return "";
}

}  // namespace mireo
