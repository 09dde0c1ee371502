#pragma once
// The start page of the event export (template 238) and its options dialog (241): the
// Outlook folder (or the explorer's selected events), the Windows folder, one file or
// one file per event, and the options: format, encoding, overwrite.
#include <memory>
#include <string>
#include <vector>

#include "engine/item_store.h"
#include "ui/wizard_pages.h"

namespace mireo {

class CSettingsStore;
class IContextHelp;
class IMessageBox;
struct EventExportChoices;

inline constexpr const char* kSetEventExportFolder = "Appointments.Export.Folder";
inline constexpr const char* kSetEventExportOneFile = "Appointments.Export.OneFile";
inline constexpr const char* kSetEventExportFormat = "Appointments.Export.Format";
inline constexpr const char* kSetEventExportEncoding = "Appointments.Export.Encoding";
inline constexpr const char* kSetEventExportOverwrite = "Appointments.Export.Overwrite";
inline constexpr const char* kSetEventExportFilter = "Appointments.Export.Filter";
inline constexpr const char* kSetEventExportCategories = "Appointments.Export.Filter.Categories";
inline constexpr const char* kSetEventExportLabels = "Appointments.Export.Filter.Labels";
inline constexpr const char* kSetEventExportOpenFolder = "Appointments.Export.OpenFolder";
inline constexpr const char* kSetEventExportOpenMail = "Appointments.Export.OpenMail";

// The options dialog's values; the start page keeps a copy for its summary.
struct EventExportOptionValues {
    bool overwrite = false;
    int format = kVCalendarFormat10;  // 10 or 20
    std::string encoding;             // display name; empty only with an empty list
    bool operator==(const EventExportOptionValues&) const = default;
};

// The stored values: a format other than 20 is vCalendar, an encoding the list does not
// hold is its first entry.
EventExportOptionValues ReadEventExportOptions(const CSettingsStore& settings, const std::vector<std::string>& encodings);

class CDlgVCalExportOptions {
public:
    CDlgVCalExportOptions(CSettingsStore& settings, std::vector<std::string> encodings, EventExportOptionValues current);
    virtual ~CDlgVCalExportOptions() = default;

    const EventExportOptionValues& Values() const { return m_values; }
    void SetOverwrite(bool on) { m_values.overwrite = on; }
    // The radio buttons "vCalendar (older standard)" and "iCalendar (newer standard)".
    void SetICalendar(bool on) { m_values.format = on ? kICalendarFormat20 : kVCalendarFormat10; }
    bool ICalendar() const { return m_values.format == kICalendarFormat20; }
    const std::vector<std::string>& EncodingNames() const { return m_encodings; }
    // False (nothing changes) for an index outside the list.
    bool SelectEncoding(int index);
    // OK: writes "Format", "Encoding" and "Overwrite".
    void OnOk();

private:
    CSettingsStore& m_settings;
    std::vector<std::string> m_encodings;
    EventExportOptionValues m_values;
};

class CDlgVCalExport {
public:
    // Reads the stored choices and finds the initial Outlook folder: the explorer's
    // current folder when it holds appointments, else the default Calendar folder.
    CDlgVCalExport(IApplication& app, CSettingsStore& settings, IMessageBox& messages,
                   std::vector<std::string> encodings);
    virtual ~CDlgVCalExport() = default;

    IFolder* Folder() const { return m_folder.get(); }
    const std::string& FolderText() const { return m_folderText; }
    // The host's folder chooser; a folder that does not hold appointments is refused.
    bool BrowseFolder();
    // A folder chosen elsewhere; one that does not hold appointments shows string 146
    // and the previous folder stays (false).
    bool ChooseFolder(std::unique_ptr<IFolder> folder);
    // "Export selected events only": enabled when the explorer's selection holds an
    // appointment, and then checked from the start.
    bool SelectedOnlyEnabled() const { return m_selectionHasEvents; }
    bool SelectedOnly() const { return m_selectedOnly; }
    void SetSelectedOnly(bool on);
    const std::string& TargetFolder() const { return m_targetFolder; }
    void SetTargetFolder(std::string text) { m_targetFolder = std::move(text); }
    // "Save events into one file".
    bool OneFile() const { return m_oneFile; }
    void SetOneFile(bool on) { m_oneFile = on; }

    const EventExportOptionValues& Options() const { return m_options; }
    // "Change options...": after its OK, ApplyOptions refreshes the summary.
    CDlgVCalExportOptions MakeOptionsPage() const;
    void ApplyOptions(const CDlgVCalExportOptions& page) { m_options = page.Values(); }
    // 224, 225, 226: overwrite, format, encoding.
    std::vector<SummaryLine> Summary() const;

    // "Next >" and "Export All": enabled while the Windows folder text names an existing
    // directory and there is something to export.
    bool NextEnabled() const;
    // Both store "Folder" and "OneFile" and fill the run's choices but the folder;
    // "Export All" turns the filter off. False while disabled.
    bool OnNext(EventExportChoices& choices);
    bool OnExportAll(EventExportChoices& choices);
    // When the wizard ends with the export: the folder (or the explorer's, for the
    // selection) moves into the choices. The page has no folder afterwards.
    void MoveSourceInto(EventExportChoices& choices);
    void OnHelp(IContextHelp* help) const;

private:
    bool Close(EventExportChoices& choices, bool filtered);

    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    std::vector<std::string> m_encodings;
    std::unique_ptr<IFolder> m_folder;
    std::string m_folderText;
    std::unique_ptr<IFolder> m_explorerFolder;
    bool m_selectionHasEvents = false;
    bool m_selectedOnly = false;
    std::string m_targetFolder;
    bool m_oneFile = true;
    EventExportOptionValues m_options;
};

}  // namespace mireo
