#pragma once
// A contact import wizard for tests: fills the choices by a script, or cancels, and
// keeps every finish page it was shown; and a user interface that makes one per run.
#include <functional>
#include <memory>
#include <vector>

#include "vcard/contact_import.h"

namespace mireo::test {

class CScriptedImportWizard : public IContactImportWizard {
public:
    using Script = std::function<bool(ContactImportChoices&)>;
    explicit CScriptedImportWizard(Script script) : m_script(std::move(script)) {}

    bool Run(ContactImportChoices& choices) override {
        ++m_runs;
        return m_script(choices);
    }
    void Finish(const ContactImportOutcome& outcome) override { m_finishes.push_back(outcome); }

    int Runs() const { return m_runs; }
    const std::vector<ContactImportOutcome>& Finishes() const { return m_finishes; }

private:
    Script m_script;
    int m_runs = 0;
    std::vector<ContactImportOutcome> m_finishes;
};

// The user interface of the runner: a scripted wizard per run, its script made from the
// run's environment; none when noWizard is set.
class CScriptedImportUi : public IContactImportUi {
public:
    std::function<CScriptedImportWizard::Script(const RunEnvironment&)> script;
    bool noWizard = false;
    std::vector<CScriptedImportWizard*> wizards;  // alive during their run only

    std::unique_ptr<IContactImportWizard> CreateContactImportWizard(const RunEnvironment& env) override {
        if (noWizard) return nullptr;
        auto w = std::make_unique<CScriptedImportWizard>(script(env));
        wizards.push_back(w.get());
        return w;
    }
};

}  // namespace mireo::test
