#pragma once
// Message boxes. All texts are UTF-8.
#include <string>

namespace mireo {

enum class MbIcon { None, Information, Exclamation, Error, Question };
enum class MbButtons { Ok, OkCancel };
enum class MbResult { Ok, Cancel };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Windows: MessageBoxW owned by the active window. Linux: the caption and text go to
    // stderr; an OK/Cancel question is asked on a terminal and answered OK without one.
    virtual MbResult Show(const std::string& caption, const std::string& text, MbIcon icon,
                          MbButtons buttons) = 0;
};

IMessageBox& SystemMessageBox();
// Tests and the command line may put another implementation in place (null restores
// the system one). Returns the previous one.
IMessageBox* SetMessageBox(IMessageBox* box);
// The message box in force.
IMessageBox& CurrentMessageBox();

}  // namespace mireo
