#pragma once
// The items an export walks and the name of its one file, the same for contacts and
// events: the active explorer's selection or the chosen folder's items, and the folder's
// name (or that of the explorer's current folder when the selection is exported).
#include <memory>
#include <string>

#include "engine/item_store.h"
#include "engine/logger.h"

namespace mireo {

struct RunEnvironment;
class CRunLoop;

class CExportSource {
public:
    // Opens the selection (selectedOnly) or folder's items and counts them. False, logged
    // under source, when they cannot be had: the run cannot start.
    bool Open(const RunEnvironment& env, bool selectedOnly, IFolder* folder, const char* source);
    int Count() const { return m_total; }
    // Item i (1-based). Host failures are raised.
    std::unique_ptr<IItem> Item(int i) { return m_selection ? m_selection->Item(i) : m_items->Item(i); }
    // Item i for a run: null when the collection failed or ended early. The rest of the
    // run then cannot be reached: it is failed in `loop` and logged under source.
    std::unique_ptr<IItem> ItemForRun(int i, CRunLoop& loop, ILogger& log, const char* source);

private:
    std::unique_ptr<ISelection> m_selection;
    std::unique_ptr<IItems> m_items;
    int m_total = 0;
};

// The base name of an export's one file: the folder's name, else that of the active
// explorer's current folder; empty when neither can be read (logged under source).
std::u16string ExportFileBaseName(const RunEnvironment& env, IFolder* folder, const char* source);

// A host failure in the log: what, the host's message and its HRESULT.
void LogRunHostError(ILogger& log, const char* source, const char* what, const HostError& e);

}  // namespace mireo
