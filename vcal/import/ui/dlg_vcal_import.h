#pragma once
// The pages of the calendar import: the source page (template 242) with its options
// dialog (244), the filter page (271) and the finish page (243). Portable models: they
// read and write the settings and validate; the Windows dialogs and the command line
// show them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/date_time.h"
#include "engine/finish_pages.h"
#include "engine/item_store.h"
#include "ui/wizard_pages.h"
#include "vcal/common/zone_list.h"
#include "vcal/common/zone_rule.h"
#include "vcal/import/event_import.h"

namespace mireo {

class CSettingsStore;
class IContextHelp;
class IMessageBox;

inline constexpr const char* kSetEventImportFolder = "Appointments.Import.Folder";
inline constexpr const char* kSetEventImportConflict = "Appointments.Import.ConflictResolution";
inline constexpr const char* kSetEventImportTzDefault = "Appointments.Import.TZDefault";
inline constexpr const char* kSetEventImportTz = "Appointments.Import.TZ";
inline constexpr const char* kSetEventImportTzName = "Appointments.Import.TZName";
inline constexpr const char* kSetEventImportFilter = "Appointments.Import.Filter";
inline constexpr const char* kSetEventImportCategories = "Appointments.Import.Filter.Categories";
inline constexpr const char* kSetEventImportLabels = "Appointments.Import.Filter.SubjectLabels";
inline constexpr const char* kSetEventImportOpenFolder = "Appointments.Import.OpenFolder";

// Conflict texts (strings 110, 111, 112) and the filter page's messages.
constexpr int kStrEventKeepBoth = 110;
constexpr int kStrSelectLabels = 128;    // "Please, select labels"
constexpr int kStrEndAfterStart = 129;   // "The end date must be later than the start date"
// The filter page's controls a failed check puts the focus on: the categories field,
// "Labels..." and the end picker.
constexpr int kCtlImportFilterCategories = 290;
constexpr int kCtlImportFilterLabelsButton = 11;
constexpr int kCtlImportFilterPeriodEnd = 293;

// The default filter: all-day events, "Holiday" and the birthday and anniversary labels
// left out.
constexpr std::uint32_t kDefaultEventFilter = 21;
constexpr std::uint32_t kDefaultLabelMask = 384;

// A zone's name when the list has none: "(GMT+01:00)".
std::string GmtZoneName(const ZoneRule& rule);
// The names of the labels of a mask, joined by ", ".
std::string LabelNames(std::uint32_t mask);

class CDlgVCalImportOptions {
public:
    // The list of the combo box, and the current rule and zone.
    CDlgVCalImportOptions(CSettingsStore& settings, std::vector<ZoneListEntry> zones, int conflict,
                          const ZoneRule& zone, std::string zoneName, std::optional<ZoneRule> computer);

    // The combo box: the list's display names, and the current name when no entry has
    // its rule (the extra entry, last).
    std::vector<std::string> ZoneChoices() const;
    int Selected() const { return m_selected; }
    bool Select(int index);
    // A zone of the list by key or display name (letter case ignored); false when none.
    bool SelectByName(std::string_view name);
    bool SetConflict(int rule);

    int Conflict() const { return m_conflict; }
    const ZoneRule& Zone() const { return m_zone; }
    const std::string& ZoneName() const { return m_zoneName; }

    // OK: takes the selection and writes the four values.
    void OnOk();

private:
    CSettingsStore& m_settings;
    std::vector<ZoneListEntry> m_zones;
    int m_conflict;
    ZoneRule m_zone;
    std::string m_zoneName;
    std::optional<ZoneRule> m_computer;
    bool m_extra = false;  // the current zone is not in the list
    int m_selected = 0;
};

class CDlgVCalImport {
public:
    // Reads the stored paths, rule and zone; the target is the active explorer's folder
    // when it holds appointments, else the default calendar.
    CDlgVCalImport(IApplication& app, CSettingsStore& settings, IMessageBox& messages, ILogger& log);

    const std::string& PathsText() const { return m_pathsText; }
    void SetPathsText(std::string text) { m_pathsText = std::move(text); }
    void SetPaths(const std::vector<std::string>& paths);

    IFolder* Folder() const { return m_folder.get(); }
    const std::string& FolderText() const { return m_folderText; }
    // A folder that does not hold appointments shows string 146 and is refused.
    bool ChooseFolder(std::unique_ptr<IFolder> folder);
    // The host's folder chooser, its folder taken as ChooseFolder takes it.
    bool BrowseFolder();

    int Conflict() const { return m_conflict; }
    const ZoneRule& Zone() const { return m_zone; }
    const std::string& ZoneName() const { return m_zoneName; }
    // The conflict rule's text (strings 110..112).
    std::string ConflictText() const;

    CDlgVCalImportOptions MakeOptionsPage() const;
    void ApplyOptions(const CDlgVCalImportOptions& page);

    // "Next >" and "Import All": enabled while the paths text is not blank.
    bool NextEnabled() const;
    // Every path must be reachable (else string 114 and false); stores the paths text
    // and fills the run's choices. Import All (`all`) sets no filter.
    bool OnNext(EventImportChoices& choices, bool all);
    void OnHelp(IContextHelp* help) const;

private:
    IApplication& m_app;
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    ILogger& m_log;
    std::string m_pathsText;
    std::unique_ptr<IFolder> m_folder;
    std::string m_folderText;
    int m_conflict = 0;
    ZoneRule m_zone;
    std::string m_zoneName;
    std::optional<ZoneRule> m_computer;
};

struct EventFilterValues {
    std::uint32_t mask = kDefaultEventFilter;
    std::string categories = "Holiday";
    std::uint32_t labels = kDefaultLabelMask;
    LocalTime periodStart{}, periodEnd{};
    bool operator==(const EventFilterValues&) const = default;
};

class CDlgVCalImportFilter {
public:
    // The stored values; the period is today - 14 days to today + 60 days (midnight).
    CDlgVCalImportFilter(CSettingsStore& settings, IMessageBox& messages, LocalTime today);

    const EventFilterValues& Values() const { return m_values; }
    EventFilterValues& Edit() { return m_values; }
    // "Set filters to default...".
    void SetDefaults();
    // "Categories...": the host's category chooser on a temporary appointment; the
    // chosen categories, trimmed, replace the field's.
    bool ChooseCategories(IApplication& app);
    // Import: string 127, 128 or 129 and false when a check fails (the focus then goes
    // to the control FocusControl() names); else writes the values and fills the choices.
    bool OnImport(EventImportChoices& choices);
    int FocusControl() const { return m_focus; }
    // "< Back": writes the values without checking.
    void OnBack();

private:
    void Store();
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    LocalTime m_today;
    EventFilterValues m_values;
    int m_focus = 0;
};

class CDlgVCalImportFinish : public CImportFinishPage {
public:
    // Reads "Appointments.Import.OpenFolder"; the folder is the outcome's.
    CDlgVCalImportFinish(CSettingsStore& settings, const EventImportOutcome& outcome);
    // "Selected (files/events):" as "files/events", "Successfully imported:",
    // "Failures:", "Skipped (Why?):".
    std::vector<FinishCount> Counts() const;

private:
    const EventImportOutcome& m_outcome;
};

}  // namespace mireo
