#include "ui/select_action.h"

namespace mireo {

namespace {

constexpr SelectActionButton kButtons[] = {
    {kIdSelectExportContacts, kActionExportContacts, "Export contacts to vCard", 281},
    {kIdSelectImportContacts, kActionImportContacts, "Import contacts from vCard to Outlook", 283},
    {kIdSelectExportEvents, kActionExportEvents, "Export events to vCal/iCal", 282},
    {kIdSelectImportEvents, kActionImportEvents, "Import events from vCal/iCal to Outlook", 280},
};

}  // namespace

std::span<const SelectActionButton> SelectActionButtons() { return kButtons; }

int CDlgSelectAction::DoModal(void* parent) {
    m_action = kActionNone;
    const int result = m_view.Run(*this, parent);
    // A view that ends in any other way has not shown a usable dialog.
    if (result != kSelectChosen && result != kSelectCancelled) return kSelectCannotShow;
    if (result == kSelectChosen && m_action == kActionNone) return kSelectCancelled;
    return result;
}

int CDlgSelectAction::OnCommand(int controlId) {
    for (const SelectActionButton& b : kButtons) {
        if (b.controlId == controlId) {
            m_action = b.action;
            return kSelectChosen;
        }
    }
    if (controlId == kIdSelectHelp) {
        if (m_help) m_help(kSelectActionHelpTopic);
        return 0;
    }
    if (controlId == kIdSelectCancel) return kSelectCancelled;
    return 0;
}

}  // namespace mireo
