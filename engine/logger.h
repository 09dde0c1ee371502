#pragma once
// Diagnostics and context help as the rest of the system sees them. The add-in's
// helper-library wrapper (CLibKelvo) implements both; tests record into vectors
// (engine/testing/recording_logger.h).
#include <string>
#include <string_view>

namespace mireo {

// Log levels.
constexpr int kTrace = 1;
constexpr int kWarning = 2;
constexpr int kError = 3;

// Log flags: 1 everywhere except the event importer's per-item diagnostics.
constexpr int kLogFlags = 1;
constexpr int kLogFlagsItemDiagnostic = 3;

class ILogger {
public:
    virtual ~ILogger() = default;
    // text: UTF-8. code: an HRESULT, a system error, a count or 0. source: the reporter
    // as the logs name it ("CvCalExport::FilterItem", "ParseVEVENT").
    virtual void LogMsg(std::string_view text, long code, const char* source, int level, int flags) = 0;
};

class IContextHelp {
public:
    virtual ~IContextHelp() = default;
    // Opens a help topic by its file name ("impord_cal.htm"). Callers may ignore the
    // result: 0 or more when shown, negative otherwise.
    virtual int ShowContextHelp(const std::string& topic) = 0;
};

// Help topics.
constexpr const char* kHelpFeatures = "Features.htm";
constexpr const char* kHelpExportContacts = "Export_Contacts_to_Files_with_Mireo.htm";
constexpr const char* kHelpImportContacts = "Import_Contacts_from_Files_with_Mireo.htm";
constexpr const char* kHelpExportEvents = "Export_Calendar_Events_to_Files_with_Mireo.htm";
constexpr const char* kHelpImportEvents = "impord_cal.htm";
constexpr const char* kHelpItemSkipping = "Item_Skipping_during_Import_Export.htm";

}  // namespace mireo
