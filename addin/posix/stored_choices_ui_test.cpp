// The runs' user interface that takes the stored choices: the engine runs the real
// contact export and import on the substitute store with it, a run whose stored
// choices cannot start says why, and every progress step lets messages through.
#include "addin/stored_choices_ui.h"

#include <gtest/gtest.h>

#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/scratch_folder.h"

namespace mireo {
namespace {

using test::CScratchFolder;
using test::Utf8Of;

class StoredChoicesUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::unique_ptr<IItems> items = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        for (const char16_t* last : {u"Lee", u"Ng", u"Ode"}) {
            std::unique_ptr<IItem> c = items->Add(ItemType::Contact);
            c->Put("LastName", Value::Text(last));
            c->Put("FirstName", Value::Text(u"Ann"));
            c->Save();
        }
    }

    EngineHost Host() {
        EngineHost h{m_app, m_app.Mapi(), m_registry, m_log, &m_log, m_ui};
        h.converter = m_converter.get();
        return h;
    }
    // The contact runners with the stored choices, as the add-in builds them.
    EngineRunners Runners() {
        return {.contactImport = std::make_unique<CvCardImport>(m_ui),
                .contactExport = std::make_unique<CvCardExport>(m_ui)};
    }

    CScratchFolder m_folder{"mireo-stored-ui-"};
    CRegistryFile m_registry{Utf8Of(m_folder / "registry.reg")};
    CHostApplication m_app{DefaultHostStoreOptions(":memory:")};
    CRecordingLogger m_log;
    int m_pumps = 0;
    CStoredChoicesUi m_ui{m_log, [this] { ++m_pumps; }};
    std::unique_ptr<MireoCharConverter> m_converter = MireoCharConverter::FromText("UTF-8|UTF-8|65001\n");
};

TEST_F(StoredChoicesUiTest, ExportRunsOnTheStoredChoicesAndImportReadsItsFilesBack) {
    const std::string out = Utf8Of(m_folder / "out");
    std::filesystem::create_directory(m_folder / "out");
    {
        CSettingsStore settings(m_registry);
        settings.WriteText("Contacts.Export.Folder", out);
        settings.WriteNumber("Contacts.Export.OneFile", 0);
        settings.WriteText("Contacts.Import.Folder", out);
    }
    CMireoEngine engine(Host(), 11, Runners());
    EXPECT_EQ(engine.ExportContacts(), kRunDone);
    int files = 0;
    for (const auto& f : std::filesystem::directory_iterator(m_folder / "out")) files += f.path().extension() == ".vcf";
    EXPECT_EQ(files, 3);
    EXPECT_EQ(m_pumps, 4) << "at the start and after each step";
    EXPECT_EQ(m_log.Count("Export completed successfully. Selected contacts: 3 Successfully exported: 3 Failures: 0 "
                          "Skipped (Why?): 0",
                          "CvCardExport::Run"),
              1);

    // Back in: each card is the same as a contact already there, so none is added.
    EXPECT_EQ(engine.ImportContacts(), kRunDone);
    EXPECT_EQ(m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items()->Count(), 3);
    bool finished = false;
    for (const LoggedMessage& m : m_log.Messages())
        finished = finished || (m.source == "CvCardImport::Run" && m.text.find("Import completed") == 0);
    EXPECT_TRUE(finished);
}

TEST_F(StoredChoicesUiTest, StoredChoicesThatCannotStartARunSayWhy) {
    CMireoEngine engine(Host(), 11, Runners());
    EXPECT_EQ(engine.ExportContacts(), kRunDone) << "as a wizard the user cancelled";
    EXPECT_EQ(engine.ImportContacts(), kRunDone);
    EXPECT_EQ(m_log.Count("the stored export folder is not a folder: \"\"", "CvCardExport::Run"), 1);
    EXPECT_EQ(m_log.Count("no stored files to import", "CvCardImport::Run"), 1);
    EXPECT_EQ(m_pumps, 0);
}

}  // namespace
}  // namespace mireo
