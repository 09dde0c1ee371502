#pragma once
// The user interface of the runs inside the host: the wizard pages, the progress
// dialog on its own thread and the finish pages, all shown over the host's active
// window. The engine takes it for the progress display, the contact and calendar
// runners for their wizards.
#include <memory>

#include "engine/mireo_engine.h"
#include "vcal/export/event_export.h"
#include "vcal/import/event_import.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"

namespace mireo {

class CDialogUi : public IActionUi,
                  public IContactExportUi,
                  public IContactImportUi,
                  public IEventExportUi,
                  public IEventImportUi {
public:
    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IEventExportWizard> CreateEventExportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IEventImportWizard> CreateEventImportWizard(const RunEnvironment& env) override;
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override;
};

}  // namespace mireo
