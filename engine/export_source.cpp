#include "engine/export_source.h"

#include "engine/action_runner.h"
#include "engine/logger.h"

namespace mireo {

void LogRunHostError(ILogger& log, const char* source, const char* what, const HostError& e) {
    log.LogMsg(std::string(what) + ": " + e.what(), e.Hr(), source, kError, kLogFlags);
}

bool CExportSource::Open(const RunEnvironment& env, bool selectedOnly, IFolder* folder, const char* source) {
    try {
        if (selectedOnly) {
            std::unique_ptr<IExplorer> explorer = env.app.ActiveExplorer();
            if (explorer) m_selection = explorer->Selection();
            if (!m_selection) {
                env.log.LogMsg("Cant get the selection", 0, source, kError, kLogFlags);
                return false;
            }
            m_total = m_selection->Count();
        } else {
            if (folder == nullptr) {
                env.log.LogMsg("No folder chosen", 0, source, kError, kLogFlags);
                return false;
            }
            m_items = folder->Items();
            m_total = m_items->Count();
        }
    } catch (const HostError& e) {
        LogRunHostError(env.log, source, selectedOnly ? "Cant get the selection" : "Cant get the folder's items", e);
        return false;
    }
    return true;
}

std::u16string ExportFileBaseName(const RunEnvironment& env, IFolder* folder, const char* source) {
    try {
        if (folder != nullptr) return folder->Name();
        if (std::unique_ptr<IExplorer> explorer = env.app.ActiveExplorer()) {
            if (std::unique_ptr<IFolder> current = explorer->CurrentFolder()) return current->Name();
        }
    } catch (const HostError& e) {
        LogRunHostError(env.log, source, "Cant get the folder name", e);
    }
    return {};
}

}  // namespace mireo
