#include "ui/select_action.h"

#include "mireo_strings.h"
#include "platform/user_strings.h"

namespace mireo {

const char* const kSelectActionTitle = LoadUserString(IDS_SELECT_ACTION_TITLE);
const char* const kSelectActionGroup = LoadUserString(IDS_SELECT_ACTION_GROUP);

namespace {

const SelectActionButton kButtons[] = {
    {kIdSelectExportContacts, kActionExportContacts, LoadUserString(IDS_SELECT_EXPORT_CONTACTS), 281},
    {kIdSelectImportContacts, kActionImportContacts, LoadUserString(IDS_SELECT_IMPORT_CONTACTS), 283},
    {kIdSelectExportEvents, kActionExportEvents, LoadUserString(IDS_SELECT_EXPORT_EVENTS), 282},
    {kIdSelectImportEvents, kActionImportEvents, LoadUserString(IDS_SELECT_IMPORT_EVENTS), 280},
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
