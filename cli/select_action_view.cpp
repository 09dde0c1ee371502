#include "cli/select_action_view.h"

#include <istream>
#include <ostream>
#include <string>

#include "platform/ascii.h"

namespace mireo::cli {

namespace {

std::string Trim(const std::string& s) { return std::string(ascii::Trim(s)); }

}  // namespace

int CTerminalSelectActionView::Run(CDlgSelectAction& dialog, void*) {
    if (!m_in.good()) return kSelectCannotShow;
    m_out << kSelectActionTitle << "\n" << kSelectActionGroup << "\n";
    int number = 0;
    for (const SelectActionButton& b : SelectActionButtons()) m_out << "  " << ++number << ". " << b.text << "\n";
    m_out << "  h. Help\n  q. Cancel\n";
    for (;;) {
        m_out << "Choice: " << std::flush;
        std::string line;
        if (!std::getline(m_in, line)) {
            m_out << "\n";
            return dialog.OnCommand(kIdSelectCancel);
        }
        const std::string answer = Trim(line);
        int id = 0;
        if (answer.size() == 1 && answer[0] >= '1' && answer[0] <= '4') {
            id = SelectActionButtons()[static_cast<std::size_t>(answer[0] - '1')].controlId;
        } else if (answer == "h" || answer == "H" || answer == "?") {
            id = kIdSelectHelp;
        } else if (answer == "q" || answer == "Q" || answer == "c" || answer == "C") {
            id = kIdSelectCancel;
        } else {
            m_out << "Please answer 1 to 4, h or q.\n";
            continue;
        }
        if (const int end = dialog.OnCommand(id); end != 0) return end;
    }
}

}  // namespace mireo::cli
