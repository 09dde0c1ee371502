#include "ui/progress.h"

#include "platform/user_strings.h"

#include <cstdio>

namespace mireo {

CDlgProgress::~CDlgProgress() {
    try {
        Close();
    } catch (...) {
        // A view that throws while closing must not take the run down with it.
    }
}

bool CDlgProgress::Start(void* owner, std::uint16_t templateId) {
    if (m_started) return false;
    m_owner = owner;
    m_templateId = templateId;
    m_started = m_view.Start(*this, owner, templateId);
    return m_started;
}

void CDlgProgress::SetLabel(int stringId) {
    if (m_started) m_view.ShowLabel(LoadUserString(stringId));
}

void CDlgProgress::SetRange(std::int32_t total) {
    m_range.store(total < 0 ? 0 : total, std::memory_order_relaxed);
    SetPos(0);
}

void CDlgProgress::SetPos(std::int32_t n) {
    m_pos.store(n, std::memory_order_relaxed);
    if (m_started) {
        const std::int32_t range = m_range.load(std::memory_order_relaxed);
        m_view.ShowStatus(n, range, StatusText(n, range));
    }
}

bool CDlgProgress::CancelPressed() {
    if (m_started) m_view.Poll();
    return m_cancel.load(std::memory_order_acquire) != 0;
}

bool CDlgProgress::HelpPressed() {
    if (m_started) m_view.Poll();
    return m_help.exchange(0, std::memory_order_acq_rel) != 0;
}

void CDlgProgress::Close() {
    if (!m_started) return;
    m_started = false;
    m_view.Close();
}

const char* CDlgProgress::PressCancel() {
    m_cancel.store(1, std::memory_order_release);
    return LoadUserString(kStrCancelWait);
}

void CDlgProgress::PressHelp() { m_help.exchange(1, std::memory_order_acq_rel); }

std::string CDlgProgress::StatusText(std::int32_t pos, std::int32_t range) {
    char buf[64];
    std::snprintf(buf, sizeof buf, LoadUserString(kStrProgressStatus), static_cast<int>(pos), static_cast<int>(range));
    return buf;
}

}  // namespace mireo
