#pragma once
// The event export's user interface until its dialogs arrive: the wizard takes the
// choices the user stored last through the same page models the dialogs and the
// command line use (the start page's "Next >", the filter page's "Export" with its
// default period), without showing anything; the finish page goes to the log.
#include <memory>

#include "vcal/export/event_export.h"

namespace mireo {

class ILogger;

class CStoredEventExportUi : public IEventExportUi {
public:
    explicit CStoredEventExportUi(ILogger& log) : m_log(log) {}
    // A run whose stored choices cannot start it (no export folder, no calendar folder,
    // an incomplete filter) ends as a wizard cancelled, with the reason in the log.
    std::unique_ptr<IEventExportWizard> CreateEventExportWizard(const RunEnvironment& env) override;

private:
    ILogger& m_log;
};

}  // namespace mireo
