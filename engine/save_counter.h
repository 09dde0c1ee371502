#pragma once
// The saves of a run, counted as succeeded only once the host has made them durable.
// A run that stores items holds one for its item loop: it listens to the host's
// batches, so that every save of a lost batch counts as failed (not only the one whose
// call met the failure), and Finish commits the last batch before the finish page.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/item_store.h"
#include "engine/run_summary.h"

namespace mireo {

class ILogger;

class CSaveCounter : public ISaveListener {
public:
    // Listens to `app` until Finish or destruction. Throws HostError when the host
    // refuses (another run holds the store).
    CSaveCounter(IApplication& app, RunCounters& counters, ILogger& log, const char* source);
    ~CSaveCounter() override;
    CSaveCounter(const CSaveCounter&) = delete;
    CSaveCounter& operator=(const CSaveCounter&) = delete;

    // A Save returned: the item is stored once its batch is committed.
    void Saved() { ++m_pending; }
    // The saves that wait for their batch's commit.
    std::int32_t Pending() const { return m_pending; }
    // Commits what is pending and stops listening. False when saves were lost.
    bool Finish();

    // The saves that were lost with their batches, and the first cause.
    std::int32_t Lost() const { return m_lost; }
    const std::string& Cause() const { return m_cause; }

    void SavesCommitted() override;
    void SavesLost(const HostError& cause) override;

private:
    IApplication& m_app;
    RunCounters& m_counters;
    ILogger& m_log;
    const char* m_source;
    bool m_listening = false;
    std::int32_t m_pending = 0;
    std::int32_t m_lost = 0;
    std::string m_cause;
};

// The sentence after a finish page when saves were lost: "25 items were not stored:
// the disk is full (store.db)"; empty when none was.
std::string LostSavesText(std::int32_t lost, const std::string& cause, const char* noun, const char* nouns);

}  // namespace mireo
