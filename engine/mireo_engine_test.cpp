#include "engine/mireo_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/item_store.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "platform/locale_info.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "platform/testing/recording_message_box.h"
#include "platform/version_info.h"
#include "ui/scripted_progress_view.h"

#include "mireo_version.h"

namespace mireo {
namespace {

using test::CClosedRegistry;
using test::CFixedLocale;
using test::CNoHost;

class CNoFiles : public IOutputFiles {
public:
    bool Exists(const std::string&) override { return false; }
    CreateResult CreateNew(const std::string&, std::unique_ptr<IOutputFile>&) override { return CreateResult::kFailed; }
    CreateResult CreateReplacing(const std::string&, std::unique_ptr<IOutputFile>&) override {
        return CreateResult::kFailed;
    }
    bool Remove(const std::string&) override { return false; }
};

// The engine's user interface: a scripted progress view per run, and the failures told.
class CRecordingUi : public IActionUi {
public:
    bool noView = false;
    std::vector<EngineAction> viewsAsked;
    std::vector<CScriptedProgressView*> views;  // alive during a run only
    std::vector<std::pair<EngineAction, std::string>> failures;

    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override {
        viewsAsked.push_back(action);
        if (noView) return nullptr;
        auto v = std::make_unique<CScriptedProgressView>();
        views.push_back(v.get());
        return v;
    }
    void ShowRunFailure(EngineAction action, const std::string& what) override { failures.emplace_back(action, what); }
};

// A runner whose run is a function the test sets.
class CScriptedRunner : public IActionRunner {
public:
    std::function<int(const RunEnvironment&)> run = [](const RunEnvironment&) { return kRunDone; };
    int calls = 0;
    int Run(const RunEnvironment& env) override {
        ++calls;
        return run(env);
    }
};

class EngineTest : public ::testing::Test {
protected:
    EngineHost Host() {
        EngineHost h{m_host, m_host, m_registry, m_log, &m_log, m_ui};
        h.converter = m_converter.get();
        h.locale = &m_locale;
        return h;
    }
    // Runners for all four slots, kept here to be scripted while the engine owns them.
    EngineRunners AllRunners() {
        EngineRunners r{std::make_unique<CScriptedRunner>(), std::make_unique<CScriptedRunner>(),
                        std::make_unique<CScriptedRunner>(), std::make_unique<CScriptedRunner>()};
        m_contactImport = static_cast<CScriptedRunner*>(r.contactImport.get());
        m_contactExport = static_cast<CScriptedRunner*>(r.contactExport.get());
        m_eventImport = static_cast<CScriptedRunner*>(r.eventImport.get());
        m_eventExport = static_cast<CScriptedRunner*>(r.eventExport.get());
        return r;
    }

    CNoHost m_host;
    CClosedRegistry m_registry;
    CRecordingLogger m_log;
    CRecordingUi m_ui;
    CFixedLocale m_locale;
    std::unique_ptr<MireoCharConverter> m_converter =
        MireoCharConverter::FromText("UTF-8|UTF-8|65001\nWestern European (Windows-1252)|windows-1252|1252\n");
    CScriptedRunner* m_contactImport = nullptr;
    CScriptedRunner* m_contactExport = nullptr;
    CScriptedRunner* m_eventImport = nullptr;
    CScriptedRunner* m_eventExport = nullptr;
};

TEST_F(EngineTest, OpensTheSettingsKeyOfTheProduct) {
    EXPECT_EQ(SettingsKeyPath(), "Software\\Kelvo\\Mireo");
    CMireoEngine engine(Host(), 11);
    EXPECT_EQ(m_registry.m_opened, std::vector<std::string>{"Software\\Kelvo\\Mireo"});
    EXPECT_FALSE(engine.Settings().IsOpen()) << "a key that cannot be opened leaves the defaults";
    EXPECT_EQ(engine.HostMajorVersion(), 11);
}

TEST_F(EngineTest, EachActionRunsItsRunnerWithTheEngineEnvironment) {
    CRecordingMessageBox box;
    CNoFiles files;
    EngineHost host = Host();
    host.messages = &box;
    host.files = &files;
    CMireoEngine engine(host, 10, AllRunners());
    struct Case {
        int action;
        EngineAction engineAction;
        CScriptedRunner* runner;
    } cases[] = {
        {1, EngineAction::ExportContacts, m_contactExport},
        {2, EngineAction::ImportContacts, m_contactImport},
        {3, EngineAction::ExportEvents, m_eventExport},
        {4, EngineAction::ImportEvents, m_eventImport},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        m_ui.views.clear();
        c.runner->run = [&](const RunEnvironment& env) {
            EXPECT_TRUE(engine.IsRunning());
            EXPECT_EQ(&env.app, static_cast<IApplication*>(&m_host));
            EXPECT_EQ(&env.mapi, static_cast<IMapiFactory*>(&m_host));
            EXPECT_EQ(&env.settings, &engine.Settings());
            EXPECT_EQ(&env.log, &m_log);
            EXPECT_EQ(env.help, &m_log);
            EXPECT_EQ(&env.files, &files);
            EXPECT_EQ(&env.messages, &box);
            EXPECT_EQ(&env.converter, m_converter.get());
            EXPECT_EQ(env.listSeparator, "|");
            EXPECT_EQ(env.product, ProductVersion());
            EXPECT_EQ(env.hostMajorVersion, 10);
            EXPECT_TRUE(!m_ui.views.empty() && &env.progress == m_ui.views.back()) << "the view made for this run";
            return kRunDone;
        };
        EXPECT_EQ(engine.RunAction(c.action), kRunDone);
        EXPECT_EQ(c.runner->calls, 1);
        EXPECT_EQ(m_ui.viewsAsked.back(), c.engineAction);
        EXPECT_FALSE(engine.IsRunning());
    }
    EXPECT_EQ(m_ui.viewsAsked.size(), 4u);
    EXPECT_FALSE(m_log.Contains("the run could not start"));

    // A runner's own "cannot start" is logged under the engine's operation.
    m_contactExport->run = [](const RunEnvironment&) { return kRunCannotStart; };
    EXPECT_EQ(engine.ExportContacts(), kRunCannotStart);
    EXPECT_EQ(m_log.Count("the run could not start", "CMireoEngine::ExportContacts"), 1);
}

TEST_F(EngineTest, WithoutAMessageBoxOrFilesTheCurrentOnesServe) {
    CRecordingMessageBox box;
    CScopedMessageBox scope(box);
    CMireoEngine engine(Host(), 11, AllRunners());
    m_contactImport->run = [&](const RunEnvironment& env) {
        EXPECT_EQ(&env.messages, &box) << "the message box in force when the run starts";
        return kRunDone;
    };
    EXPECT_EQ(engine.ImportContacts(), kRunDone);
    EXPECT_EQ(m_contactImport->calls, 1);
}

TEST_F(EngineTest, ARequestDuringARunIsRefusedAndLogged) {
    CMireoEngine engine(Host(), 11, AllRunners());
    std::vector<int> inner;
    m_contactExport->run = [&](const RunEnvironment&) {
        // A toolbar click in another window, or the hidden window's command, arriving
        // while the wizard's modal loop runs.
        EXPECT_TRUE(engine.IsRunning());
        inner.push_back(engine.ExportContacts());
        inner.push_back(engine.ImportContacts());
        inner.push_back(engine.ExportEvents());
        inner.push_back(engine.RunAction(4));
        return kRunDone;  // the user then cancels the wizard
    };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    EXPECT_EQ(m_contactExport->calls, 1);
    EXPECT_EQ(m_ui.viewsAsked.size(), 1u) << "the refused requests built no display";
    EXPECT_EQ(inner, (std::vector<int>{kRunCannotStart, kRunCannotStart, kRunCannotStart, kRunCannotStart}));
    for (const char* source : {"CMireoEngine::ExportContacts", "CMireoEngine::ImportContacts",
                               "CMireoEngine::ExportEvents", "CMireoEngine::ImportEvents"}) {
        SCOPED_TRACE(source);
        ASSERT_EQ(m_log.Count("action refused: a run is in progress", source), 1);
    }
    for (const LoggedMessage& m : m_log.Messages()) {
        if (m.text == "action refused: a run is in progress") {
            EXPECT_EQ(m.level, kWarning);
        }
    }
    EXPECT_EQ(m_contactImport->calls + m_eventExport->calls + m_eventImport->calls, 0) << "no runner was reached";

    // Once the run is over, the next request runs.
    EXPECT_FALSE(engine.IsRunning());
    m_contactExport->run = [](const RunEnvironment&) { return kRunDone; };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    EXPECT_EQ(m_contactExport->calls, 2);
}

TEST_F(EngineTest, ActionsGivenNoRunnerAreNotAvailableYet) {
    CMireoEngine engine(Host(), 11);
    struct Case {
        int action;
        const char* runner;
        const char* message;
        const char* engineSource;
    } cases[] = {
        {1, "CvCardExport::Run", "Exporting contacts is not available yet", "CMireoEngine::ExportContacts"},
        {2, "CvCardImport::Run", "Importing contacts is not available yet", "CMireoEngine::ImportContacts"},
        {3, "CvCalExport::Run", "Exporting calendar events is not available yet", "CMireoEngine::ExportEvents"},
        {4, "CvCalImport::Run", "Importing calendar events is not available yet", "CMireoEngine::ImportEvents"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runner);
        m_log.Clear();
        EXPECT_EQ(engine.RunAction(c.action), kRunCannotStart);
        EXPECT_EQ(m_log.Count(c.message, c.runner), 1);
        EXPECT_EQ(m_log.Count("the run could not start", c.engineSource), 1);
        EXPECT_FALSE(engine.IsRunning());
    }
    EXPECT_EQ(engine.ExportEvents(), kRunCannotStart);
    EXPECT_EQ(engine.ImportEvents(), kRunCannotStart);
    m_log.Clear();
    EXPECT_EQ(engine.RunAction(7), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("unknown action", "CMireoEngine::RunAction"));
}

TEST_F(EngineTest, NoProgressDisplayMeansTheRunCannotStart) {
    CMireoEngine engine(Host(), 11, AllRunners());
    m_ui.noView = true;
    EXPECT_EQ(engine.ExportContacts(), kRunCannotStart);
    EXPECT_EQ(m_contactExport->calls, 0) << "no wizard without a progress display";
    EXPECT_TRUE(m_log.Contains("no progress display", "CMireoEngine::ExportContacts"));
    EXPECT_TRUE(m_log.Contains("the run could not start", "CMireoEngine::ExportContacts"));
    EXPECT_FALSE(engine.IsRunning());
}

TEST_F(EngineTest, AnExceptionInARunStaysInTheEngine) {
    CMireoEngine engine(Host(), 11, AllRunners());
    m_contactExport->run = [](const RunEnvironment&) -> int { throw std::runtime_error("wizard broke"); };
    EXPECT_EQ(engine.ExportContacts(), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("wizard broke", "CMireoEngine::ExportContacts"));
    EXPECT_FALSE(engine.IsRunning()) << "the guard is released on the way out";

    // Not even something that is no exception class gets out.
    m_eventImport->run = [](const RunEnvironment&) -> int { throw 42; };
    EXPECT_EQ(engine.ImportEvents(), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("unknown exception", "CMireoEngine::ImportEvents"));
    EXPECT_FALSE(engine.IsRunning());

    // The user interface is told, to say so to the user.
    const std::vector<std::pair<EngineAction, std::string>> told{
        {EngineAction::ExportContacts, "wizard broke"}, {EngineAction::ImportEvents, "unknown exception"}};
    EXPECT_EQ(m_ui.failures, told);
}

TEST(ProductVersion, ReadsTheModuleOrTheBuild) {
    const ProductVersionInfo v = ProductVersion();
#ifdef _WIN32
    // A test program carries no version resource.
    EXPECT_EQ(v, (ProductVersionInfo{1, 0, 0}));
#else
    EXPECT_EQ(v, (ProductVersionInfo{MIREO_VERSION_MAJOR, MIREO_VERSION_MINOR, MIREO_VERSION_PATCH}));
#endif
}

}  // namespace
}  // namespace mireo
