#include "engine/export_source.h"

#include <cstdio>

#include "engine/action_runner.h"
#include "engine/logger.h"
#include "engine/run_loop.h"

namespace mireo {

void LogRunHostError(ILogger& log, const char* source, const char* what, const HostError& e) {
    log.LogMsg(std::string(what) + ": " + e.what(), e.Hr(), source, kError, kLogFlags);
}

std::unique_ptr<IItem> CExportSource::ItemForRun(int i, CRunLoop& loop, ILogger& log, const char* source) {
    std::unique_ptr<IItem> item;
    try {
        item = Item(i);
    } catch (const HostError& e) {
        char what[64];
        std::snprintf(what, sizeof what, "Cant get item %d of %d", i, m_total);
        LogRunHostError(log, source, what, e);
        loop.FailRest();
        return nullptr;
    }
    if (!item) {
        loop.FailRest();
        log.LogMsg("The item collection ended early", i, source, kError, kLogFlags);
    }
    return item;
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
