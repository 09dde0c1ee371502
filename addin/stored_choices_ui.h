#pragma once
// A user interface of the runs that shows nothing (the add-in shows its dialogs,
// addin/win32/dialog_ui.h): each wizard takes the choices the user stored last (the
// settings under "Software\Kelvo\Mireo") through the same page models the dialogs and
// the command line use, without showing anything, and the finish page goes to the log.
// The progress display is not drawn; it lets the thread's pending messages through at
// every step so the host's windows keep painting, as the progress dialog does.
#include <functional>
#include <memory>

#include "engine/mireo_engine.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"

namespace mireo {

// The engine's user interface and the contact runners' (whoever builds the engine hands
// it to CvCardExport and CvCardImport).
class CStoredChoicesUi : public IActionUi, public IContactExportUi, public IContactImportUi {
public:
    // `pumpMessages` runs after every progress step; may be empty.
    explicit CStoredChoicesUi(ILogger& log, std::function<void()> pumpMessages = {})
        : m_log(log), m_pump(std::move(pumpMessages)) {}

    // A run whose stored choices cannot start it (no export folder, no files to read,
    // no contacts folder) ends as a wizard cancelled, with the reason in the log.
    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override;

private:
    ILogger& m_log;
    std::function<void()> m_pump;
};

}  // namespace mireo
