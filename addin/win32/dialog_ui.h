#pragma once
// The user interface of the runs inside the host: the wizard pages, the progress
// dialog on its own thread and the finish pages, all shown over the host's active
// window. The engine takes it for the progress display, the contact runners for their
// wizards; the calendar actions have no wizard yet.
#include <memory>

#include "engine/mireo_engine.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"

namespace mireo {

class CDialogUi : public IActionUi, public IContactExportUi, public IContactImportUi {
public:
    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override;
};

}  // namespace mireo
