// The wizard commands' runs through the engine.
#include "cli/wizard_command.h"

#include "platform/locale_info.h"
#include "ui/progress.h"

namespace mireo::cli {
namespace {

// The list separator the command was given, and the user's short date format.
class CGivenLocale : public ILocaleInfo {
public:
    explicit CGivenLocale(std::string listSeparator) : m_listSeparator(std::move(listSeparator)) {}
    std::string ListSeparator() override { return m_listSeparator; }
    std::string ShortDateFormat() override { return SystemLocaleInfo().ShortDateFormat(); }

private:
    std::string m_listSeparator;
};

// The command's one progress view, lent to each run.
class CLentProgressView : public IProgressView {
public:
    explicit CLentProgressView(IProgressView& view) : m_view(view) {}
    bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) override {
        return m_view.Start(model, owner, templateId);
    }
    void ShowLabel(const std::string& text) override { m_view.ShowLabel(text); }
    void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) override {
        m_view.ShowStatus(pos, range, text);
    }
    void Poll() override { m_view.Poll(); }
    void Close() override { m_view.Close(); }

private:
    IProgressView& m_view;
};

// The user interface every run of the command shares: the progress view, and a failed
// run's text on the error stream.
class CTerminalActionUi : public IActionUi {
public:
    CTerminalActionUi(IProgressView& progress, std::string_view prefix, std::ostream& err)
        : m_progress(progress), m_prefix(prefix), m_err(err) {}
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction) override {
        return std::make_unique<CLentProgressView>(m_progress);
    }
    void ShowRunFailure(EngineAction, const std::string& what) override {
        m_failed = true;
        m_err << m_prefix << what << "\n";
    }
    bool Failed() const { return m_failed; }

private:
    IProgressView& m_progress;
    std::string_view m_prefix;
    std::ostream& m_err;
    bool m_failed = false;
};

}  // namespace

RunOutcome RunThroughEngine(const CommandRun& run, EngineAction action, EngineRunners runners) {
    CTerminalActionUi ui(run.progress, run.prefix, run.err);
    CGivenLocale locale(run.listSeparator);
    const EngineHost host{
        .app = run.app,
        .mapi = run.mapi,
        .registry = run.registry,
        .log = run.log,
        .help = run.help,
        .ui = ui,
        .files = run.files,
        .messages = run.messages,
        .converter = &run.converter,
        .locale = &locale,
    };
    CMireoEngine engine(host, HostMajorVersion(run.app), std::move(runners));
    RunOutcome outcome;
    outcome.result = engine.RunAction(static_cast<int>(action));
    outcome.failed = ui.Failed();
    return outcome;
}

}  // namespace mireo::cli
