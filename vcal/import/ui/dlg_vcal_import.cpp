#include "vcal/import/ui/dlg_vcal_import.h"

#include <cstdio>
#include <cstdlib>

#include "engine/category_filter.h"
#include "engine/host_folders.h"
#include "engine/logger.h"
#include "engine/run_summary.h"
#include "engine/settings_store.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/multi_path.h"
#include "vcal/common/system_zone.h"

namespace mireo {

std::string GmtZoneName(const ZoneRule& rule) {
    const int total = rule.bias + rule.standardBias;
    char buf[32];
    std::snprintf(buf, sizeof buf, "(GMT%c%02d:%02d)", total <= 0 ? '+' : '-', std::abs(total) / 60,
                  std::abs(total) % 60);
    return buf;
}

std::string LabelNames(std::uint32_t mask) {
    std::string text;
    for (int i = 0; i < kLabelCount; ++i) {
        if ((mask & (1u << i)) == 0) continue;
        if (!text.empty()) text += ", ";
        text += LoadUserString(kStrFirstLabel + i);
    }
    return text;
}

// ---- options ----

CDlgVCalImportOptions::CDlgVCalImportOptions(CSettingsStore& settings, std::vector<ZoneListEntry> zones, int conflict,
                                             const ZoneRule& zone, std::string zoneName,
                                             std::optional<ZoneRule> computer)
    : m_settings(settings),
      m_zones(std::move(zones)),
      m_conflict(conflict),
      m_zone(zone),
      m_zoneName(std::move(zoneName)),
      m_computer(computer) {
    // Among the entries of an equal rule the one of the same name, else the last of them;
    // with none, the current name is an extra entry.
    int equal = -1;
    for (std::size_t i = 0; i < m_zones.size(); ++i) {
        if (!ZonesEqual(m_zones[i].rule, m_zone)) continue;
        if (m_zones[i].display == m_zoneName) {
            equal = static_cast<int>(i);
            break;
        }
        equal = static_cast<int>(i);
    }
    m_extra = equal < 0;
    m_selected = m_extra ? static_cast<int>(m_zones.size()) : equal;
}

std::vector<std::string> CDlgVCalImportOptions::ZoneChoices() const {
    std::vector<std::string> names;
    names.reserve(m_zones.size() + 1);
    for (const ZoneListEntry& e : m_zones) names.push_back(e.display);
    if (m_extra) names.push_back(m_zoneName);
    return names;
}

bool CDlgVCalImportOptions::Select(int index) {
    const int count = static_cast<int>(m_zones.size()) + (m_extra ? 1 : 0);
    if (index < 0 || index >= count) return false;
    m_selected = index;
    return true;
}

bool CDlgVCalImportOptions::SelectByName(std::string_view name) {
    const ZoneListEntry* e = FindZoneByKeyOrDisplay(m_zones, name);
    if (e == nullptr) return false;
    m_selected = static_cast<int>(e - m_zones.data());
    return true;
}

bool CDlgVCalImportOptions::SetConflict(int rule) {
    if (rule < 0 || rule > 2) return false;
    m_conflict = rule;
    return true;
}

void CDlgVCalImportOptions::OnOk() {
    if (m_selected < static_cast<int>(m_zones.size())) {
        m_zone = m_zones[static_cast<std::size_t>(m_selected)].rule;
        m_zoneName = m_zones[static_cast<std::size_t>(m_selected)].display;
    }
    m_settings.WriteNumber(kSetEventImportConflict, static_cast<std::uint32_t>(m_conflict));
    m_settings.WriteFlag(kSetEventImportTzDefault, m_computer && ZonesEqual(m_zone, *m_computer));
    const auto bytes = m_zone.ToBytes();
    m_settings.WriteBinary(kSetEventImportTz, bytes);
    m_settings.WriteText(kSetEventImportTzName, m_zoneName);
}

// ---- source ----

CDlgVCalImport::CDlgVCalImport(IApplication& app, CSettingsStore& settings, IMessageBox& messages, ILogger& log)
    : m_app(app), m_settings(settings), m_messages(messages), m_log(log) {
    m_pathsText = m_settings.GetText(kSetEventImportFolder);
    const std::uint32_t conflict = m_settings.GetNumber(kSetEventImportConflict);
    m_conflict = conflict <= 2 ? static_cast<int>(conflict) : 0;
    m_computer = SystemZone();
    if (m_computer) m_zone = *m_computer;
    if (!m_settings.GetFlag(kSetEventImportTzDefault)) {
        if (const auto bytes = m_settings.GetBinary(kSetEventImportTz)) {
            if (const std::optional<ZoneRule> stored = ZoneRule::FromBytes(*bytes)) {
                m_zone = *stored;
                m_zoneName = m_settings.GetText(kSetEventImportTzName);
            }
        }
    }
    if (m_zoneName.empty()) {
        std::vector<ZoneListEntry> list;
        GetAllTimezones(list, m_log);
        if (FindZoneName(m_zone, list, m_zoneName) != 0 || m_zoneName.empty()) m_zoneName = GmtZoneName(m_zone);
    }
    m_folder = InitialFolder(m_app, kFolderAppointment, DefaultFolder::Calendar);
    if (m_folder) m_folderText = HostFolderPathText(*m_folder);
}

void CDlgVCalImport::SetPaths(const std::vector<std::string>& paths) {
    CMultiPath list;
    for (const std::string& p : paths) list.Add(p);
    m_pathsText = list.Text();
}

bool CDlgVCalImport::ChooseFolder(std::unique_ptr<IFolder> folder) {
    if (!folder || !AcceptFolderHolding(*folder, kFolderAppointment, kStrNotAppointmentsFolder, m_messages))
        return false;
    m_folder = std::move(folder);
    m_folderText = HostFolderPathText(*m_folder);
    return true;
}

bool CDlgVCalImport::BrowseFolder() { return ChooseFolder(PickHostFolder(m_app)); }

std::string CDlgVCalImport::ConflictText() const { return LoadUserString(kStrEventKeepBoth + m_conflict); }

CDlgVCalImportOptions CDlgVCalImport::MakeOptionsPage() const {
    std::vector<ZoneListEntry> list;
    GetAllTimezones(list, m_log);
    return CDlgVCalImportOptions(m_settings, std::move(list), m_conflict, m_zone, m_zoneName, m_computer);
}

void CDlgVCalImport::ApplyOptions(const CDlgVCalImportOptions& page) {
    m_conflict = page.Conflict();
    m_zone = page.Zone();
    m_zoneName = page.ZoneName();
}

bool CDlgVCalImport::NextEnabled() const { return !ascii::IsBlank(m_pathsText); }

bool CDlgVCalImport::OnNext(EventImportChoices& choices, bool all) {
    if (!NextEnabled() || !m_folder) return false;
    CMultiPath list;
    list.SetText(m_pathsText);
    if (list.Count() == 0) return false;
    for (const std::string& path : list.Paths()) {
        if (!FileCanBeOpened(path) && !PathIsDirectory(path)) {
            m_messages.Show(kCaptionMireoError, NameNotAccessible(path), MbIcon::Error, MbButtons::Ok);
            return false;
        }
    }
    m_settings.WriteText(kSetEventImportFolder, m_pathsText);
    choices.folder = std::move(m_folder);
    m_folderText.clear();
    choices.paths = m_pathsText;
    choices.conflict = m_conflict;
    choices.zone = m_zone;
    choices.zoneName = m_zoneName;
    if (all) choices.filterMask = 0;
    return true;
}

void CDlgVCalImport::OnHelp(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpImportEvents);
}

// ---- filter ----

CDlgVCalImportFilter::CDlgVCalImportFilter(CSettingsStore& settings, IMessageBox& messages, LocalTime today)
    : m_settings(settings), m_messages(messages), m_today(StartOfDay(today)) {
    SetDefaults();
    m_values.mask = m_settings.GetNumber(kSetEventImportFilter);
    m_values.categories = m_settings.GetText(kSetEventImportCategories);
    m_values.labels = m_settings.GetNumber(kSetEventImportLabels) & ((1u << kLabelCount) - 1);
}

void CDlgVCalImportFilter::SetDefaults() {
    m_values = EventFilterValues{};
    m_values.periodStart = m_today - std::chrono::days(14);
    m_values.periodEnd = m_today + std::chrono::days(60);
}

void CDlgVCalImportFilter::Store() {
    m_settings.WriteNumber(kSetEventImportFilter, m_values.mask);
    m_settings.WriteText(kSetEventImportCategories, m_values.categories);
    m_settings.WriteNumber(kSetEventImportLabels, m_values.labels);
}

bool CDlgVCalImportFilter::ChooseCategories(IApplication& app) {
    if (!ChooseItemCategories(app, ItemType::Appointment, m_values.categories)) return false;
    m_values.categories = std::string(ascii::Trim(m_values.categories));
    return true;
}

bool CDlgVCalImportFilter::OnImport(EventImportChoices& choices) {
    const std::uint32_t m = m_values.mask;
    m_focus = 0;
    if ((m & (kFilterExcludeCategories | kFilterIncludeCategories)) != 0 && CategoriesTextEmpty(m_values.categories)) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEnterCategories), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlImportFilterCategories;
        return false;
    }
    if ((m & (kEventFilterExcludeLabels | kEventFilterIncludeLabels)) != 0 && m_values.labels == 0) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrSelectLabels), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlImportFilterLabelsButton;
        return false;
    }
    if ((m & kEventFilterPeriod) != 0 && !(m_values.periodStart < m_values.periodEnd)) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEndAfterStart), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlImportFilterPeriodEnd;
        return false;
    }
    Store();
    choices.filterMask = m;
    choices.filterCategories = m_values.categories;
    choices.labelMask = m_values.labels;
    choices.periodStart = m_values.periodStart;
    choices.periodEnd = m_values.periodEnd;
    return true;
}

void CDlgVCalImportFilter::OnBack() { Store(); }

// ---- finish ----

CDlgVCalImportFinish::CDlgVCalImportFinish(CSettingsStore& settings, const EventImportOutcome& outcome)
    : CImportFinishPage(settings, kSetEventImportOpenFolder, outcome.counters, outcome.folder), m_outcome(outcome) {}

std::vector<FinishCount> CDlgVCalImportFinish::Counts() const {
    const RunCounters& c = m_outcome.counters;
    return {
        {"Selected (files/events):", m_outcome.events, false,
         std::to_string(m_outcome.files) + "/" + std::to_string(m_outcome.events)},
        {"Successfully imported:", c.succeeded, false, {}},
        {"Failures:", c.failed, c.failed != 0, {}},
        {"Skipped (Why?):", c.skipped, c.skipped != 0, {}},
    };
}

}  // namespace mireo
