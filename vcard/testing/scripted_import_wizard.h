#pragma once
// A contact import wizard for tests: fills the choices by a script, or cancels, and
// keeps every finish page it was shown.
#include <functional>
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

}  // namespace mireo::test
