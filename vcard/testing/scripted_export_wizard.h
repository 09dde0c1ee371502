#pragma once
// A contact export wizard for tests: fills the choices by a script, or cancels, and
// keeps every finish page it was shown; and a user interface that makes one per run.
#include <functional>
#include <memory>
#include <vector>

#include "vcard/contact_export.h"

namespace mireo::test {

class CScriptedExportWizard : public IContactExportWizard {
public:
    using Script = std::function<bool(ContactExportChoices&)>;
    explicit CScriptedExportWizard(Script script) : m_script(std::move(script)) {}

    bool Run(ContactExportChoices& choices) override {
        ++m_runs;
        return m_script(choices);
    }
    void Finish(const ContactExportOutcome& outcome) override { m_finishes.push_back(outcome); }

    int Runs() const { return m_runs; }
    const std::vector<ContactExportOutcome>& Finishes() const { return m_finishes; }

private:
    Script m_script;
    int m_runs = 0;
    std::vector<ContactExportOutcome> m_finishes;
};

// The user interface of the runner: a scripted wizard per run, its script made from the
// run's environment; none when noWizard is set.
class CScriptedExportUi : public IContactExportUi {
public:
    std::function<CScriptedExportWizard::Script(const RunEnvironment&)> script;
    bool noWizard = false;
    std::vector<CScriptedExportWizard*> wizards;  // alive during their run only

    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const RunEnvironment& env) override {
        if (noWizard) return nullptr;
        auto w = std::make_unique<CScriptedExportWizard>(script(env));
        wizards.push_back(w.get());
        return w;
    }
};

}  // namespace mireo::test
