#include "engine/mireo_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/testing/recording_logger.h"
#include "platform/locale_info.h"
#include "platform/output_files.h"
#include "platform/registry.h"
#include "platform/version_info.h"
#include "ui/scripted_progress_view.h"
#include "vcard/testing/scripted_export_wizard.h"

#include "mireo_version.h"

namespace mireo {
namespace {

using test::CScriptedExportWizard;

// ---- small doubles of the host: nothing in them but an empty contacts folder ----

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

class CNoHost : public IApplication, public IMapiFactory {
public:
    std::u16string Version() override { return u"11.0.0.0"; }
    std::unique_ptr<IExplorer> ActiveExplorer() override { return nullptr; }
    std::unique_ptr<INamespace> GetNamespace() override { return nullptr; }
    std::unique_ptr<IItem> CreateItem(ItemType) override { throw HostError(kENotImpl, "_Application"); }
    std::unique_ptr<IMailItem> CreateMailItem() override { throw HostError(kENotImpl, "_Application"); }
    std::unique_ptr<ISafeItem> CreateSafeContactItem() override { throw HostError(kCoEClassString, "SafeContactItem"); }
    std::unique_ptr<ISafeItem> CreateSafeAppointmentItem() override { throw HostError(kCoEClassString, "x"); }
    std::unique_ptr<IMapiUtils> CreateMapiUtils() override { throw HostError(kCoEClassString, "MapiUtils"); }
};

// A registry that opens nothing: the settings fall back to their defaults.
class CClosedRegistry : public IRegistry {
public:
    long OpenKey(RegRoot, std::string_view path, bool, bool, Key&) override {
        m_opened.emplace_back(path);
        return kErrorAccessDenied;
    }
    long OpenSubKey(Key, std::string_view, bool, Key&) override { return kErrorAccessDenied; }
    void CloseKey(Key) override {}
    long QueryValue(Key, std::string_view, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
        return kErrorInvalidHandle;
    }
    long SetValue(Key, std::string_view, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return kErrorInvalidHandle;
    }
    long DeleteValue(Key, std::string_view) override { return kErrorInvalidHandle; }
    long EnumSubKey(Key, std::uint32_t, std::string&) override { return kErrorNoMoreItems; }

    std::vector<std::string> m_opened;
};

class CFixedLocale : public ILocaleInfo {
public:
    std::string ListSeparator() override { return "|"; }
    std::string ShortDateFormat() override { return "M/d/yyyy"; }
};

// The UI seam: a scripted wizard per request, made by a function the test sets.
class CScriptedUi : public IActionUi {
public:
    std::function<CScriptedExportWizard::Script(const ActionContext&)> script;
    bool noView = false;
    std::vector<EngineAction> viewsAsked;
    std::vector<CScriptedExportWizard*> wizards;  // owned by the engine during a run only
    std::vector<CScriptedProgressView*> views;

    std::unique_ptr<IContactExportWizard> CreateContactExportWizard(const ActionContext& context) override {
        auto w = std::make_unique<CScriptedExportWizard>(script(context));
        wizards.push_back(w.get());
        return w;
    }
    std::unique_ptr<IProgressView> CreateProgressView(EngineAction action) override {
        viewsAsked.push_back(action);
        if (noView) return nullptr;
        auto v = std::make_unique<CScriptedProgressView>();
        views.push_back(v.get());
        return v;
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

    CNoHost m_host;
    CClosedRegistry m_registry;
    CRecordingLogger m_log;
    CScriptedUi m_ui;
    CFixedLocale m_locale;
    std::unique_ptr<MireoCharConverter> m_converter =
        MireoCharConverter::FromText("UTF-8|UTF-8|65001\nWestern European (Windows-1252)|windows-1252|1252\n");
};

TEST_F(EngineTest, OpensTheSettingsKeyOfTheProduct) {
    EXPECT_EQ(SettingsKeyPath(), "Software\\Kelvo\\Mireo");
    CMireoEngine engine(Host(), 11);
    EXPECT_EQ(m_registry.m_opened, std::vector<std::string>{"Software\\Kelvo\\Mireo"});
    EXPECT_FALSE(engine.Settings().IsOpen()) << "a key that cannot be opened leaves the defaults";
    EXPECT_EQ(engine.HostMajorVersion(), 11);
}

TEST_F(EngineTest, ExportContactsRunsTheWizardWithTheEngineContext) {
    CMireoEngine engine(Host(), 10);
    ContactExportChoices seen;
    m_ui.script = [&](const ActionContext& context) {
        EXPECT_EQ(&context.settings, &engine.Settings());
        EXPECT_EQ(context.hostMajorVersion, 10);
        EXPECT_EQ(&context.converter, m_converter.get());
        return [](ContactExportChoices& c) {
            c.folder = std::make_unique<CEmptyFolder>();
            c.encoding = "UTF-8";
            return true;
        };
    };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    ASSERT_EQ(m_ui.wizards.size(), 1u);
    EXPECT_EQ(m_ui.viewsAsked, std::vector<EngineAction>{EngineAction::ExportContacts});
    EXPECT_EQ(m_converter->CurrentCharsetName(), "UTF-8") << "the chosen encoding became current";
    EXPECT_FALSE(engine.IsRunning());
}

TEST_F(EngineTest, ARequestDuringARunIsRefusedAndLogged) {
    CMireoEngine engine(Host(), 11);
    std::vector<int> inner;
    int calls = 0;
    m_ui.script = [&](const ActionContext&) {
        ++calls;
        return [&](ContactExportChoices&) {
            // A toolbar click in another window, or the hidden window's command, arriving
            // while the wizard's modal loop runs.
            EXPECT_TRUE(engine.IsRunning());
            inner.push_back(engine.ExportContacts());
            inner.push_back(engine.ImportContacts());
            inner.push_back(engine.ExportEvents());
            inner.push_back(engine.RunAction(4));
            return false;  // the user then cancels the wizard
        };
    };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    EXPECT_EQ(calls, 1) << "the refused request built no wizard";
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
    EXPECT_FALSE(m_log.Contains("Importing contacts is not available yet")) << "the runner was never reached";

    // Once the run is over, the next request runs.
    EXPECT_FALSE(engine.IsRunning());
    m_ui.script = [](const ActionContext&) { return [](ContactExportChoices&) { return false; }; };
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    EXPECT_EQ(m_ui.wizards.size(), 2u);
}

TEST_F(EngineTest, TheOtherActionsAreNotAvailableYet) {
    CMireoEngine engine(Host(), 11);
    struct Case {
        int action;
        const char* runner;
        const char* message;
        const char* engineSource;
    } cases[] = {
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
    // A user interface without import pages cannot start the contact import.
    m_log.Clear();
    EXPECT_EQ(engine.RunAction(2), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("no wizard or progress display", "CMireoEngine::ImportContacts"));
    EXPECT_EQ(engine.ExportEvents(), kRunCannotStart);
    EXPECT_EQ(engine.ImportEvents(), kRunCannotStart);
    m_log.Clear();
    EXPECT_EQ(engine.RunAction(7), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("unknown action", "CMireoEngine::RunAction"));
}

TEST_F(EngineTest, NoProgressDisplayMeansTheRunCannotStart) {
    CMireoEngine engine(Host(), 11);
    m_ui.noView = true;
    bool shown = false;
    m_ui.script = [&](const ActionContext&) {
        return [&](ContactExportChoices&) {
            shown = true;
            return true;
        };
    };
    EXPECT_EQ(engine.ExportContacts(), kRunCannotStart);
    EXPECT_FALSE(shown) << "no wizard without a progress display";
    EXPECT_TRUE(m_log.Contains("the run could not start", "CMireoEngine::ExportContacts"));
    EXPECT_FALSE(engine.IsRunning());
}

TEST_F(EngineTest, AnExceptionInARunStaysInTheEngine) {
    CMireoEngine engine(Host(), 11);
    m_ui.script = [](const ActionContext&) {
        return [](ContactExportChoices&) -> bool { throw std::runtime_error("wizard broke"); };
    };
    EXPECT_EQ(engine.ExportContacts(), kRunCannotStart);
    EXPECT_TRUE(m_log.Contains("wizard broke", "CMireoEngine::ExportContacts"));
    EXPECT_FALSE(engine.IsRunning()) << "the guard is released on the way out";
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
