#pragma once
// A contact export wizard for tests: fills the choices by a script, or cancels, and
// keeps every finish page it was shown.
#include <functional>
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

}  // namespace mireo::test
