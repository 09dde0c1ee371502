#pragma once
// For tests: a wizard of the event export or import whose pages are a function that
// fills the run's choices; it keeps every finish page it was handed.
#include <functional>
#include <utility>
#include <vector>

namespace mireo::testing {

template <typename Interface, typename Choices, typename Outcome>
class CScriptedWizard : public Interface {
public:
    explicit CScriptedWizard(std::function<void(Choices&)> script) : m_script(std::move(script)) {}
    bool Run(Choices& c) override {
        m_script(c);
        return true;
    }
    void Finish(const Outcome& o) override { finishes.push_back(o); }
    std::vector<Outcome> finishes;

private:
    std::function<void(Choices&)> m_script;
};

}  // namespace mireo::testing
