#include "ui/select_action.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mireo {
namespace {

// Presses the scripted buttons in order until the dialog ends; running out of
// presses closes the dialog (the close box).
class CScriptedSelectView : public ISelectActionView {
public:
    explicit CScriptedSelectView(std::vector<int> presses, bool canShow = true)
        : m_presses(std::move(presses)), m_canShow(canShow) {}
    int Run(CDlgSelectAction& dialog, void* parent) override {
        ++runs;
        this->parent = parent;
        if (!m_canShow) return kSelectCannotShow;
        for (int id : m_presses) {
            ++pressed;
            if (int end = dialog.OnCommand(id); end != 0) return end;
        }
        return dialog.OnCommand(kIdSelectCancel);
    }
    int runs = 0;
    int pressed = 0;
    void* parent = nullptr;

private:
    std::vector<int> m_presses;
    bool m_canShow;
};

TEST(SelectAction, Outcomes) {
    struct Case {
        const char* name;
        std::vector<int> presses;
        bool canShow;
        int result;
        int action;
        int helpOpened;
        int pressed;  // presses used before the dialog ended
    };
    const Case kCases[] = {
        {"export contacts", {373}, true, 1, 1, 0, 1},
        {"import contacts", {374}, true, 1, 2, 0, 1},
        {"export events", {375}, true, 1, 3, 0, 1},
        {"import events", {376}, true, 1, 4, 0, 1},
        {"cancel", {2}, true, 2, 0, 0, 1},
        {"closed without a choice", {}, true, 2, 0, 0, 0},
        {"help stays open, then a choice", {238, 238, 376}, true, 1, 4, 2, 3},
        {"help then cancel", {238, 2}, true, 2, 0, 1, 2},
        {"unknown control ignored", {1, 209, 374}, true, 1, 2, 0, 3},
        {"first choice ends the dialog", {375, 373}, true, 1, 3, 0, 1},
        {"cannot be created", {373}, false, -1, 0, 0, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> topics;
        CScriptedSelectView view(c.presses, c.canShow);
        CDlgSelectAction dialog(view, [&](const char* topic) { topics.push_back(topic); });
        int parent = 0;
        EXPECT_EQ(dialog.DoModal(&parent), c.result);
        EXPECT_EQ(dialog.Action(), c.action);
        EXPECT_EQ(view.pressed, c.pressed);
        EXPECT_EQ(view.parent, &parent);
        ASSERT_EQ(static_cast<int>(topics.size()), c.helpOpened);
        for (const std::string& t : topics) EXPECT_EQ(t, "Features.htm");
    }
}

TEST(SelectAction, HelpWithoutHelperLibraryIsHarmless) {
    CScriptedSelectView view({238, 374});
    CDlgSelectAction dialog(view, nullptr);
    EXPECT_EQ(dialog.DoModal(nullptr), 1);
    EXPECT_EQ(dialog.Action(), 2);
}

TEST(SelectAction, ButtonTableMatchesTheActions) {
    auto buttons = SelectActionButtons();
    ASSERT_EQ(buttons.size(), 4u);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].controlId, 373 + static_cast<int>(i));
        EXPECT_EQ(buttons[i].action, 1 + static_cast<int>(i));
    }
    EXPECT_STREQ(buttons[1].text, "Import contacts from vCard to Outlook");
    EXPECT_EQ(buttons[3].iconId, 280);
}

// A view that ends with a code the dialog never gives is a dialog that did not work.
class CBrokenSelectView : public ISelectActionView {
public:
    explicit CBrokenSelectView(int code) : m_code(code) {}
    int Run(CDlgSelectAction&, void*) override { return m_code; }

private:
    int m_code;
};

TEST(SelectAction, StrayEndCodes) {
    CBrokenSelectView zero(0);
    EXPECT_EQ(CDlgSelectAction(zero, nullptr).DoModal(nullptr), -1);
    // "Chosen" without an action button is treated as Cancel: no action runs.
    CBrokenSelectView chosen(1);
    CDlgSelectAction d(chosen, nullptr);
    EXPECT_EQ(d.DoModal(nullptr), 2);
    EXPECT_EQ(d.Action(), 0);
}

}  // namespace
}  // namespace mireo
