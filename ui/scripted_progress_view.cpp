#include "ui/scripted_progress_view.h"

namespace mireo {

void CScriptedProgressView::PressCancel() {
    if (m_model != nullptr) m_cancelText = m_model->PressCancel();
}

void CScriptedProgressView::PressHelp() {
    if (m_model != nullptr) m_model->PressHelp();
}

bool CScriptedProgressView::Start(CDlgProgress& model, void* owner, std::uint16_t templateId) {
    ++m_starts;
    m_templateId = templateId;
    m_events.push_back({Event::kStart, 0, 0, {}});
    if (m_failStart) return false;
    m_model = &model;
    return true;
}

void CScriptedProgressView::ShowLabel(const std::string& text) {
    m_label = text;
    m_events.push_back({Event::kLabel, 0, 0, text});
}

void CScriptedProgressView::ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) {
    m_lastPos = pos;
    m_status = text;
    m_events.push_back({Event::kStatus, pos, range, text});
    if (auto it = m_cancelAt.find(pos); it != m_cancelAt.end()) {
        for (int i = 0; i < it->second; ++i) PressCancel();
        m_cancelAt.erase(it);
    }
    if (auto it = m_helpAt.find(pos); it != m_helpAt.end()) {
        for (int i = 0; i < it->second; ++i) PressHelp();
        m_helpAt.erase(it);
    }
}

void CScriptedProgressView::Close() {
    ++m_closes;
    m_events.push_back({Event::kClose, 0, 0, {}});
    m_model = nullptr;
}

std::vector<std::int32_t> CScriptedProgressView::Positions() const {
    std::vector<std::int32_t> out;
    for (const Event& e : m_events)
        if (e.kind == Event::kStatus) out.push_back(e.pos);
    return out;
}

}  // namespace mireo
