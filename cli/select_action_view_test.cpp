#include "cli/select_action_view.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace mireo::cli {
namespace {

TEST(TerminalSelectAction, Answers) {
    struct Case {
        const char* name;
        const char* input;
        int result;
        int action;
        int help;
        int reasks;
    };
    const Case kCases[] = {
        {"first action", "1\n", 1, 1, 0, 0},
        {"fourth action, spaces and CR", "  4 \r\n", 1, 4, 0, 0},
        {"help then an action", "h\n?\n2\n", 1, 2, 2, 0},
        {"quit", "q\n", 2, 0, 0, 0},
        {"end of input", "", 2, 0, 0, 0},
        {"end of input after help", "h\n", 2, 0, 1, 0},
        {"nonsense asks again", "5\nexport\n\n3\n", 1, 3, 0, 3},
        {"last line without newline", "3", 1, 3, 0, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.input);
        std::ostringstream out;
        CTerminalSelectActionView view(in, out);
        std::vector<std::string> topics;
        CDlgSelectAction dialog(view, [&](const char* t) { topics.emplace_back(t); });
        EXPECT_EQ(dialog.DoModal(nullptr), c.result);
        EXPECT_EQ(dialog.Action(), c.action);
        EXPECT_EQ(static_cast<int>(topics.size()), c.help);
        const std::string text = out.str();
        int reasks = 0;
        for (std::size_t p = text.find("Please answer"); p != std::string::npos; p = text.find("Please answer", p + 1))
            ++reasks;
        EXPECT_EQ(reasks, c.reasks);
    }
}

TEST(TerminalSelectAction, MenuListsTheActions) {
    std::istringstream in("q\n");
    std::ostringstream out;
    CTerminalSelectActionView view(in, out);
    CDlgSelectAction dialog(view, nullptr);
    dialog.DoModal(nullptr);
    EXPECT_EQ(out.str(),
              "Mireo - Select Action\n"
              "Select action for Mireo:\n"
              "  1. Export contacts to vCard\n"
              "  2. Import contacts from vCard to Outlook\n"
              "  3. Export events to vCal/iCal\n"
              "  4. Import events from vCal/iCal to Outlook\n"
              "  h. Help\n"
              "  q. Cancel\n"
              "Choice: ");
}

TEST(TerminalSelectAction, UnusableInputCannotShow) {
    std::istringstream in("1\n");
    in.setstate(std::ios::badbit);
    std::ostringstream out;
    CTerminalSelectActionView view(in, out);
    CDlgSelectAction dialog(view, nullptr);
    EXPECT_EQ(dialog.DoModal(nullptr), -1);
    EXPECT_EQ(dialog.Action(), 0);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace mireo::cli
