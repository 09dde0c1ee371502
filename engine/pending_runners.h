#pragma once
// The runner of an action whose pages and item work are still to come: the engine puts
// one in each slot it is given no runner for. Its run says so in the log and ends as a
// run that could not start.
#include "engine/action_runner.h"

namespace mireo {

class CPendingRunner : public IActionRunner {
public:
    // source: the log source of the missing runner ("CvCalExport::Run").
    CPendingRunner(const char* source, const char* message) : m_source(source), m_message(message) {}
    int Run(const RunEnvironment& env) override;

private:
    const char* m_source;
    const char* m_message;
};

}  // namespace mireo
