#include "engine/save_counter.h"

#include "engine/logger.h"

namespace mireo {

CSaveCounter::CSaveCounter(IApplication& app, RunCounters& counters, ILogger& log, const char* source)
    : m_app(app), m_counters(counters), m_log(log), m_source(source) {
    m_app.SetSaveListener(this);
    m_listening = true;
}

CSaveCounter::~CSaveCounter() {
    if (!m_listening) return;
    // A run that ended by an exception: what it saved is committed or lost as the
    // host decides, and must not be told to a listener that is gone.
    try {
        Finish();
    } catch (...) {
    }
}

bool CSaveCounter::Finish() {
    if (!m_listening) return m_lost == 0;
    const std::int32_t lostBefore = m_lost;
    try {
        m_app.CommitSaves();
    } catch (const HostError&) {
        // The listener was told; the saves are counted failed.
    }
    // Saves the host neither committed nor reported lost cannot be promised.
    if (m_pending > 0) SavesLost(HostError(kEFail, "_Application", "the saves were not committed"));
    m_app.SetSaveListener(nullptr);
    m_listening = false;
    return m_lost == lostBefore;
}

void CSaveCounter::SavesCommitted() {
    m_counters.succeeded += m_pending;
    m_pending = 0;
}

void CSaveCounter::SavesLost(const HostError& cause) {
    if (m_cause.empty()) m_cause = cause.Detail().empty() ? cause.what() : cause.Detail();
    if (m_pending > 0) {
        m_log.LogMsg(std::to_string(m_pending) + " saved items were lost: " + cause.what(), cause.Hr(), m_source,
                     kError, kLogFlags);
    }
    m_counters.failed += m_pending;
    m_lost += m_pending;
    m_pending = 0;
}

std::string LostSavesText(std::int32_t lost, const std::string& cause, const char* noun, const char* nouns) {
    if (lost <= 0) return {};
    return std::to_string(lost) + " " + (lost == 1 ? noun : nouns) + (lost == 1 ? " was" : " were") +
           " not stored: " + cause;
}

}  // namespace mireo
