#pragma once
// The progress side of every run's unit loop, written once for all runners: the display
// opened with the action's template, label and range; before each unit a look at Cancel
// (which ends the loop, the units not yet begun counting as skipped) and at Help (which
// opens the action's topic); and the bar, which advances when the runner says so. When
// that is differs: the exports step after each written item, the contact import after
// every card, the event import only after a stored event; all of them look at Cancel and
// Help before every unit.
#include <cstdint>

#include "engine/run_summary.h"
#include "ui/progress.h"

namespace mireo {

struct RunEnvironment;

class CRunLoop {
public:
    // counters: the run's; source: the runner's log source ("CvCardExport::Run");
    // helpTopic: the action's help page.
    CRunLoop(const RunEnvironment& env, RunCounters& counters, const char* source, const char* helpTopic);
    CRunLoop(const CRunLoop&) = delete;
    CRunLoop& operator=(const CRunLoop&) = delete;

    // Shows env.progress with the template, the label (a user string) and the range
    // 0..total. False, logged, when the display could not be shown: the run cannot start.
    bool Start(std::uint16_t templateId, int labelStringId, std::int32_t total);

    // Before each unit. False when Cancel has been pressed: the loop ends and every unit
    // not yet begun, this one included, counts as skipped. Otherwise the help topic opens
    // when Help was pressed since the last look, and the unit counts as begun.
    bool BeginUnit();
    // The bar advances by one.
    void Step() { m_progress.Step(); }
    // The current unit and every one after it count as failed, and the loop ends (the
    // one file of an export could not be written, the item collection broke).
    void FailRest();
    // The units of the total never begun count as skipped (an import's file that could
    // not be read, or held fewer cards than counted). Nothing after Cancel or FailRest.
    void SkipRest();
    // Closes the display (the destructor does too).
    void Close() { m_progress.Close(); }

    std::int32_t Begun() const { return m_begun; }

private:
    // Adds the units after the first `done` to counter, once per loop.
    void AddRest(std::int32_t& counter, std::int32_t done);

    CDlgProgress m_progress;
    const RunEnvironment& m_env;
    RunCounters& m_counters;
    const char* m_source;
    const char* m_helpTopic;
    std::int32_t m_total = 0;
    std::int32_t m_begun = 0;
    bool m_ended = false;
};

}  // namespace mireo
