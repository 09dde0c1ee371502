#include "addin/stored_event_export_ui.h"

#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "vcal/ui/dlg_vcal_export.h"
#include "vcal/ui/dlg_vcal_export_filter.h"
#include "vcal/ui/dlg_vcal_export_finish.h"

namespace mireo {
namespace {

constexpr const char* kSource = "CvCalExport::Run";

class CStoredEventExportWizard : public IEventExportWizard {
public:
    CStoredEventExportWizard(const RunEnvironment& env, ILogger& log) : m_env(env), m_log(log) {}

    bool Run(EventExportChoices& choices) override {
        std::vector<std::string> names;
        for (const EncodingRecord& r : m_env.converter.Encodings()) names.push_back(r.displayName);
        CDlgVCalExport page(m_env.app, m_env.settings, m_env.messages, names);
        if (page.Folder() == nullptr) {
            m_log.LogMsg("no calendar folder to export", 0, kSource, kWarning, kLogFlags);
            return false;
        }
        if (!page.OnNext(choices)) {
            m_log.LogMsg("the stored export folder is not a folder: \"" + page.TargetFolder() + "\"", 0, kSource,
                         kWarning, kLogFlags);
            return false;
        }
        CDlgVCalExportFilter filter(m_env.settings, m_env.messages, m_env.hostMajorVersion, TodayLocal(),
                                    m_env.listSeparator);
        if (!filter.OnExport(choices.filter)) {
            m_log.LogMsg("the stored filter is incomplete", filter.FocusControl(), kSource, kWarning, kLogFlags);
            return false;
        }
        page.MoveSourceInto(choices);
        return true;
    }

    void Finish(const EventExportOutcome& outcome) override {
        const CDlgVCalExportFinish page(m_env.settings, outcome);
        std::string line = page.StatusText();
        for (const FinishCount& c : page.Counts()) line += " " + c.label + " " + c.Shown();
        m_log.LogMsg(line, outcome.counters.failed, kSource, kTrace, kLogFlags);
    }

private:
    const RunEnvironment& m_env;  // the run's, which outlives its wizard
    ILogger& m_log;
};

}  // namespace

std::unique_ptr<IEventExportWizard> CStoredEventExportUi::CreateEventExportWizard(const RunEnvironment& env) {
    return std::make_unique<CStoredEventExportWizard>(env, m_log);
}

}  // namespace mireo
