#include "vcal/ui/dlg_vcal_export.h"

#include "engine/host_folders.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "platform/files.h"
#include "vcal/export/event_export.h"

namespace mireo {

EventExportOptionValues ReadEventExportOptions(const CSettingsStore& settings, const std::vector<std::string>& encodings) {
    EventExportOptionValues v;
    v.overwrite = settings.GetFlag(kSetEventExportOverwrite);
    v.format = settings.GetNumber(kSetEventExportFormat) == kICalendarFormat20 ? kICalendarFormat20 : kVCalendarFormat10;
    v.encoding = settings.GetEncoding(kSetEventExportEncoding, encodings);
    return v;
}

CDlgVCalExportOptions::CDlgVCalExportOptions(CSettingsStore& settings, std::vector<std::string> encodings,
                                             EventExportOptionValues current)
    : m_settings(settings), m_encodings(std::move(encodings)), m_values(std::move(current)) {}

bool CDlgVCalExportOptions::SelectEncoding(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_encodings.size()) return false;
    m_values.encoding = m_encodings[static_cast<std::size_t>(index)];
    return true;
}

void CDlgVCalExportOptions::OnOk() {
    m_settings.WriteNumber(kSetEventExportFormat, static_cast<std::uint32_t>(m_values.format));
    m_settings.WriteText(kSetEventExportEncoding, m_values.encoding);
    m_settings.WriteFlag(kSetEventExportOverwrite, m_values.overwrite);
}

CDlgVCalExport::CDlgVCalExport(IApplication& app, CSettingsStore& settings, IMessageBox& messages,
                               std::vector<std::string> encodings)
    : m_app(app), m_settings(settings), m_messages(messages), m_encodings(std::move(encodings)) {
    m_targetFolder = m_settings.GetText(kSetEventExportFolder);
    m_oneFile = m_settings.GetFlag(kSetEventExportOneFile);
    m_options = ReadEventExportOptions(m_settings, m_encodings);
    try {
        if (std::unique_ptr<IExplorer> explorer = m_app.ActiveExplorer()) {
            if (std::unique_ptr<ISelection> selection = explorer->Selection()) {
                const int n = selection->Count();
                for (int i = 1; i <= n && !m_selectionHasEvents; ++i) {
                    std::unique_ptr<IItem> item = selection->Item(i);
                    m_selectionHasEvents = item && item->Class() == ItemClass::Appointment;
                }
            }
            if (m_selectionHasEvents) m_explorerFolder = explorer->CurrentFolder();
        }
    } catch (const HostError&) {
        m_selectionHasEvents = false;
    }
    if (!m_explorerFolder) m_selectionHasEvents = false;
    m_selectedOnly = m_selectionHasEvents;
    try {
        m_folder = InitialFolder(m_app, kFolderAppointment, DefaultFolder::Calendar);
    } catch (const HostError&) {
        m_folder.reset();
    }
    if (m_folder) m_folderText = HostFolderPathText(*m_folder);
}

bool CDlgVCalExport::BrowseFolder() { return ChooseFolder(PickHostFolder(m_app)); }

bool CDlgVCalExport::ChooseFolder(std::unique_ptr<IFolder> folder) {
    if (!folder || !AcceptFolderHolding(*folder, kFolderAppointment, kStrNotAppointmentsFolder, m_messages))
        return false;
    m_folder = std::move(folder);
    m_folderText = HostFolderPathText(*m_folder);
    return true;
}

void CDlgVCalExport::SetSelectedOnly(bool on) {
    if (SelectedOnlyEnabled()) m_selectedOnly = on;
}

CDlgVCalExportOptions CDlgVCalExport::MakeOptionsPage() const {
    return CDlgVCalExportOptions(m_settings, m_encodings, m_options);
}

std::vector<SummaryLine> CDlgVCalExport::Summary() const {
    return {
        {"Overwrite:", YesNo(m_options.overwrite)},
        {"Format:", m_options.format == kICalendarFormat20 ? "iCalendar" : "vCalendar"},
        {"Encoding:", m_options.encoding},
    };
}

bool CDlgVCalExport::NextEnabled() const {
    if (m_targetFolder.empty() || !PathIsDirectory(m_targetFolder)) return false;
    return m_selectedOnly ? m_explorerFolder != nullptr : m_folder != nullptr;
}

bool CDlgVCalExport::Close(EventExportChoices& choices, bool filtered) {
    if (!NextEnabled()) return false;
    m_settings.WriteText(kSetEventExportFolder, m_targetFolder);
    m_settings.WriteFlag(kSetEventExportOneFile, m_oneFile);
    choices.selectedOnly = m_selectedOnly;
    choices.targetFolder = m_targetFolder;
    choices.oneFile = m_oneFile;
    choices.format = m_options.format;
    choices.encoding = m_options.encoding;
    choices.overwrite = m_options.overwrite;
    choices.filtered = filtered;
    return true;
}

void CDlgVCalExport::MoveSourceInto(EventExportChoices& choices) {
    choices.folder = m_selectedOnly ? std::move(m_explorerFolder) : std::move(m_folder);
}

bool CDlgVCalExport::OnNext(EventExportChoices& choices) { return Close(choices, true); }

bool CDlgVCalExport::OnExportAll(EventExportChoices& choices) { return Close(choices, false); }

void CDlgVCalExport::OnHelp(IContextHelp* help) const {
    if (help != nullptr) help->ShowContextHelp(kHelpExportEvents);
}

}  // namespace mireo
