// The contact runners inside the engine, as the add-in and the command line build it:
// the engine hands each run its environment, the runner makes its wizard from its own
// user interface.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/mireo_engine.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcard/contact_export.h"
#include "vcard/contact_import.h"
#include "vcard/testing/scripted_export_wizard.h"
#include "vcard/testing/scripted_import_wizard.h"

namespace mireo {
namespace {

using test::CScriptedExportUi;
using test::CScriptedImportUi;

// ---- a host with nothing in it but an empty contacts folder ----

class CEmptyItems : public IItems {
public:
    int Count() override { return 0; }
    std::unique_ptr<IItem> Item(int) override { throw HostError(kDispEBadIndex, "_Items"); }
    std::unique_ptr<IItems> Restrict(const std::u16string&) override { return std::make_unique<CEmptyItems>(); }
    std::unique_ptr<IItem> Add(ItemType) override { throw HostError(kENotImpl, "_Items"); }
    void Sort(const std::u16string&, bool) override {}
    void SetIncludeRecurrences(bool) override {}
    bool IncludeRecurrences() override { return false; }
    std::unique_ptr<IItem> GetFirst() override { return nullptr; }
    std::unique_ptr<IItem> GetNext() override { return nullptr; }
};

class CEmptyFolder : public IFolder {
public:
    int DefaultItemType() override { return kFolderContact; }
    std::u16string Name() override { return u"Contacts"; }
    std::unique_ptr<IFolder> Parent() override { return nullptr; }
    std::unique_ptr<IItems> Items() override { return std::make_unique<CEmptyItems>(); }
    std::unique_ptr<IFolders> Folders() override { return nullptr; }
    std::string EntryId() override { return "F1"; }
    std::string StoreId() override { return "S1"; }
};

using test::CClosedRegistry;
using test::CFixedLocale;
using test::CNoHost;

class CViewsUi : public IActionUi {
public:
    std::vector<EngineAction> viewsAsked;
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override {
        viewsAsked.push_back(action);
        return std::make_unique<CScriptedProgressView>();
    }
};

class ContactRunners : public ::testing::Test {
protected:
    EngineHost Host() {
        EngineHost h{m_host, m_host, m_registry, m_log, &m_log, m_ui};
        h.converter = m_converter.get();
        h.locale = &m_locale;
        h.messages = &m_box;
        return h;
    }
    EngineRunners Runners() {
        return {.contactImport = std::make_unique<CvCardImport>(m_importUi),
                .contactExport = std::make_unique<CvCardExport>(m_exportUi)};
    }

    CNoHost m_host;
    CClosedRegistry m_registry;
    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    CViewsUi m_ui;
    CFixedLocale m_locale;
    CScriptedExportUi m_exportUi;
    CScriptedImportUi m_importUi;
    std::unique_ptr<MireoCharConverter> m_converter =
        MireoCharConverter::FromText("UTF-8|UTF-8|65001\nWestern European (Windows-1252)|windows-1252|1252\n");
};

TEST_F(ContactRunners, ExportContactsRunsTheWizardWithTheEngineEnvironment) {
    CMireoEngine engine(Host(), 10, Runners());
    m_exportUi.script = [&](const RunEnvironment& env) {
        EXPECT_EQ(&env.settings, &engine.Settings());
        EXPECT_EQ(env.hostMajorVersion, 10);
        EXPECT_EQ(&env.converter, m_converter.get());
        EXPECT_EQ(&env.messages, &m_box);
        return [](ContactExportChoices& c) {
            c.folder = std::make_unique<CEmptyFolder>();
            c.encoding = "UTF-8";
            return true;
        };
    };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    ASSERT_EQ(m_exportUi.wizards.size(), 1u);
    EXPECT_EQ(m_ui.viewsAsked, std::vector<EngineAction>{EngineAction::ExportContacts});
    EXPECT_EQ(m_converter->CurrentCharsetName(), "UTF-8") << "the chosen encoding became current";
    EXPECT_FALSE(engine.IsRunning());

    // The wizard cancelled: a normal end, nothing run.
    m_exportUi.script = [](const RunEnvironment&) { return [](ContactExportChoices&) { return false; }; };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    EXPECT_EQ(m_exportUi.wizards.size(), 2u);
    EXPECT_FALSE(m_log.Contains("the run could not start"));
}

TEST_F(ContactRunners, AUserInterfaceWithoutAWizardCannotStart) {
    CMireoEngine engine(Host(), 11, Runners());
    m_exportUi.noWizard = true;
    m_importUi.noWizard = true;
    struct Case {
        int action;
        const char* runner;
        const char* engineSource;
    } cases[] = {
        {1, "CvCardExport::Run", "CMireoEngine::ExportContacts"},
        {2, "CvCardImport::Run", "CMireoEngine::ImportContacts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runner);
        m_log.Clear();
        EXPECT_EQ(engine.RunAction(c.action), kRunCannotStart);
        EXPECT_EQ(m_log.Count("no wizard", c.runner), 1);
        EXPECT_EQ(m_log.Count("the run could not start", c.engineSource), 1);
        EXPECT_FALSE(engine.IsRunning());
    }
}

}  // namespace
}  // namespace mireo
