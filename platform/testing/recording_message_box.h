#pragma once
// A message box for tests: records every box and answers from a queue (OK when the
// queue is empty). CScopedMessageBox puts one in place for the length of a scope.
#include <deque>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace mireo {

struct ShownMessageBox {
    std::string caption;
    std::string text;
    MbIcon icon;
    MbButtons buttons;
};

class CRecordingMessageBox : public IMessageBox {
public:
    MbResult Show(const std::string& caption, const std::string& text, MbIcon icon, MbButtons buttons) override {
        m_shown.push_back({caption, text, icon, buttons});
        if (m_answers.empty()) return MbResult::Ok;
        const MbResult answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    void QueueAnswer(MbResult answer) { m_answers.push_back(answer); }
    const std::vector<ShownMessageBox>& Shown() const { return m_shown; }
    void Clear() {
        m_shown.clear();
        m_answers.clear();
    }

private:
    std::vector<ShownMessageBox> m_shown;
    std::deque<MbResult> m_answers;
};

class CScopedMessageBox {
public:
    explicit CScopedMessageBox(IMessageBox& box) : m_previous(SetMessageBox(&box)) {}
    ~CScopedMessageBox() { SetMessageBox(m_previous); }
    CScopedMessageBox(const CScopedMessageBox&) = delete;
    CScopedMessageBox& operator=(const CScopedMessageBox&) = delete;

private:
    IMessageBox* m_previous;
};

}  // namespace mireo
