#pragma once
// The user interface of the runs inside the host: the wizard pages, the progress
// dialog on its own thread and the finish pages, all shown over the host's active
// window. The calendar actions have no wizard yet.
#include <memory>

#include "engine/mireo_engine.h"

namespace mireo {

class CDialogUi : public IActionUi {
public:
    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const ActionContext& context) override;
    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const ActionContext& context) override;
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override;
};

}  // namespace mireo
