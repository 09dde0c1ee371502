#include "engine/run_loop.h"

#include "engine/action_runner.h"
#include "engine/logger.h"

namespace mireo {

CRunLoop::CRunLoop(const RunEnvironment& env, RunCounters& counters, const char* source, const char* helpTopic)
    : m_progress(env.progress), m_env(env), m_counters(counters), m_source(source), m_helpTopic(helpTopic) {}

bool CRunLoop::Start(std::uint16_t templateId, int labelStringId, std::int32_t total) {
    if (!m_progress.Start(nullptr, templateId)) {
        m_env.log.LogMsg("Cant start the progress display", 0, m_source, kError, kLogFlags);
        return false;
    }
    m_total = total;
    m_progress.SetLabel(labelStringId);
    m_progress.SetRange(total);
    return true;
}

bool CRunLoop::BeginUnit() {
    if (m_progress.CancelPressed()) {
        AddRest(m_counters.skipped, m_begun);
        return false;
    }
    if (m_progress.HelpPressed() && m_env.help != nullptr) m_env.help->ShowContextHelp(m_helpTopic);
    ++m_begun;
    return true;
}

void CRunLoop::FailRest() { AddRest(m_counters.failed, m_begun > 0 ? m_begun - 1 : 0); }

void CRunLoop::SkipRest() { AddRest(m_counters.skipped, m_begun); }

void CRunLoop::AddRest(std::int32_t& counter, std::int32_t done) {
    if (m_ended) return;
    m_ended = true;
    if (done < m_total) counter += m_total - done;
}

}  // namespace mireo
