// The message box in force: the system one unless a test or the command line
// has put another in place.
#include "platform/message_box.h"

namespace mireo {

namespace {
// Set on the user-interface thread only; no lock needed.
IMessageBox* g_messageBox = nullptr;
}  // namespace

IMessageBox* SetMessageBox(IMessageBox* box) {
    IMessageBox* previous = g_messageBox;
    g_messageBox = box;
    return previous;
}

IMessageBox& CurrentMessageBox() { return g_messageBox != nullptr ? *g_messageBox : SystemMessageBox(); }

}  // namespace mireo
