// The event export run on the substitute host store: every file it writes for the edge
// events (testdata/vcal/export/edge-events.json) equals its golden file byte for byte,
// for each row of the table (format, one file or one per event, encoding, the
// computer's zone, the filter). MIREO_WRITE_GOLDEN=1 writes the golden files anew.
// Also the failure paths: an event that fails in one-file-per-event mode, a file that
// cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/host_doubles.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "hoststore/item_json.h"
#include "platform/output_files.h"
#include "platform/testing/recording_message_box.h"
#include "ui/scripted_progress_view.h"
#include "vcal/common/testing/zone_rules.h"
#include "vcal/export/event_export.h"
#include "vcal/export/event_writer.h"

namespace mireo {
namespace {

namespace fs = std::filesystem;
using test::CClosedRegistry;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class CFixedZone : public ITimeZoneSource {
public:
    explicit CFixedZone(std::optional<ZoneRule> rule) : m_rule(rule) {}
    bool Read(TimeZoneInfo& out, std::uint32_t& error) override {
        if (!m_rule) {
            error = 5;
            return false;
        }
        out = m_rule->ToInfo();
        return true;
    }

private:
    std::optional<ZoneRule> m_rule;
};

class CGivenWizard : public IEventExportWizard {
public:
    std::function<void(EventExportChoices&)> fill;
    std::optional<EventExportOutcome> outcome;
    bool Run(EventExportChoices& c) override {
        fill(c);
        return true;
    }
    void Finish(const EventExportOutcome& o) override { outcome = o; }
};

// A file system whose write number `failAt` (counting from 1 over all files) fails.
class CFailingFiles : public IOutputFiles {
public:
    CFailingFiles(IOutputFiles& real, int failAt) : m_real(real), m_left(failAt) {}
    bool Exists(const std::string& p) override { return m_real.Exists(p); }
    CreateResult CreateNew(const std::string& p, std::unique_ptr<IOutputFile>& f) override { return Wrap(m_real.CreateNew(p, f), f); }
    CreateResult CreateReplacing(const std::string& p, std::unique_ptr<IOutputFile>& f) override {
        return Wrap(m_real.CreateReplacing(p, f), f);
    }
    bool Remove(const std::string& p) override { return m_real.Remove(p); }

private:
    class CFile : public IOutputFile {
    public:
        CFile(std::unique_ptr<IOutputFile> f, int& left) : m_f(std::move(f)), m_left(left) {}
        bool Write(std::string_view b) override { return --m_left != 0 && m_f->Write(b); }
        bool Close() override { return m_f->Close(); }
        void Abandon() override { m_f->Abandon(); }

    private:
        std::unique_ptr<IOutputFile> m_f;
        int& m_left;
    };
    CreateResult Wrap(CreateResult r, std::unique_ptr<IOutputFile>& f) {
        if (r == CreateResult::kCreated) f = std::make_unique<CFile>(std::move(f), m_left);
        return r;
    }
    IOutputFiles& m_real;
    int m_left;
};

struct Row {
    const char* name;        // the golden folder under testdata/vcal/export
    int format;
    bool oneFile;
    const char* encoding;
    std::optional<ZoneRule> computer;
    bool filtered = false;
    EventFilter filter{};
    bool emptyFolder = false;
    RunCounters want{};
};

class EventExportGolden : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("mireo_event_golden_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ::setenv("MIREO_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs one export of the edge events; the written files in `out`.
    EventExportOutcome Export(const Row& row, const fs::path& out, IOutputFiles* files = nullptr,
                              CHostApplication* given = nullptr) {
        fs::create_directories(out);
        CHostApplication own(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
        CHostApplication& app = given ? *given : own;
        auto folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
        if (!row.emptyFolder && !given) {
            auto items = folder->Items();
            auto utils = app.Mapi().CreateMapiUtils();
            const ItemJson all = ItemJson::parse(ReadAll(fs::path(MIREO_TESTDATA_DIR) / "vcal/export/edge-events.json"));
            for (const ItemJson& j : all) AddItemFromJson(*items, kFolderAppointment, j, *utils);
        }
        CClosedRegistry registry;
        CSettingsStore settings(registry);
        std::unique_ptr<IOutputFiles> system = CreateSystemOutputFiles();
        CScriptedProgressView progress;
        CFixedZone zone(row.computer);
        int uids = 0;
        EventExportHooks hooks{
            .now = [] { return MakeUtc(2007, 3, 1, 12, 0, 0); },
            .newUid =
                [&uids] {
                    std::uint8_t data[16] = {};
                    data[15] = static_cast<std::uint8_t>(++uids);
                    return GlobalObjectUid(data);
                },
            .computerZone = &zone,
        };
        RunEnvironment env{app, app.Mapi(), settings, m_log, nullptr, files ? *files : *system, m_box, *m_converter,
                           ",", ProductVersionInfo{1, 2}, 11, progress};
        CGivenWizard wizard;
        wizard.fill = [&](EventExportChoices& c) {
            c.folder = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
            c.targetFolder = out.string();
            c.oneFile = row.oneFile;
            c.format = row.format;
            c.encoding = row.encoding;
            c.overwrite = false;
            c.filtered = row.filtered;
            c.filter = row.filter;
        };
        EXPECT_EQ(RunEventExport(env, wizard, hooks), kRunDone);
        return wizard.outcome.value_or(EventExportOutcome{});
    }

    CRecordingLogger m_log;
    CRecordingMessageBox m_box;
    std::unique_ptr<MireoCharConverter> m_converter = MireoCharConverter::FromText(
        "UTF-8|UTF-8|65001\nWestern European (Windows-1252)|windows-1252|1252\n");
    fs::path m_dir;
};

// Succeeded, failed, skipped.
RunCounters Counts(int succeeded, int failed, int skipped) {
    return RunCounters{.skipped = skipped, .failed = failed, .succeeded = succeeded};
}

const ZoneRule kOneHourEast = test::Rule(-60, 0, 0);

std::vector<Row> Rows() {
    EventFilter rejectAll{.mask = kFilterIncludeCategories, .categories = "No such category"};
    EventFilter period{.mask = kEventFilterSkipAllDay | kEventFilterPeriod,
                       .periodStart = MakeLocal(2007, 3, 6),
                       .periodEnd = MakeLocal(2007, 3, 10)};
    EventFilter labels{.mask = kEventFilterExcludeLabels | kFilterExcludeCategories | kFilterSkipPrivate,
                       .categories = " , Holiday",
                       .labelMask = 0x180};
    return {
        {"ical-per-event", kCalFormatICal, false, "UTF-8", kOneHourEast, false, {}, false, Counts(17, 0, 0)},
        {"vcal-per-event", kCalFormatVCal, false, "UTF-8", kOneHourEast, false, {}, false, Counts(17, 0, 0)},
        {"ical-one-file", kCalFormatICal, true, "UTF-8", kOneHourEast, false, {}, false, Counts(17, 0, 0)},
        {"vcal-one-file", kCalFormatVCal, true, "UTF-8", kOneHourEast, false, {}, false, Counts(17, 0, 0)},
        {"ical-1252", kCalFormatICal, true, "Western European (Windows-1252)", test::Eastern(), false, {}, false,
         Counts(17, 0, 0)},
        {"vcal-eastern", kCalFormatVCal, true, "Western European (Windows-1252)", test::Eastern(), false, {}, false,
         Counts(17, 0, 0)},
        {"vcal-india", kCalFormatVCal, true, "UTF-8", test::India(), false, {}, false, Counts(17, 0, 0)},
        {"ical-no-computer-zone", kCalFormatICal, true, "UTF-8", std::nullopt, false, {}, false, Counts(17, 0, 0)},
        {"ical-rejects-all", kCalFormatICal, true, "UTF-8", kOneHourEast, true, rejectAll, false, Counts(0, 0, 17)},
        {"ical-period", kCalFormatICal, true, "UTF-8", kOneHourEast, true, period, false, Counts(9, 0, 8)},
        {"vcal-labels", kCalFormatVCal, true, "UTF-8", kOneHourEast, true, labels, false, Counts(12, 0, 5)},
        {"empty-folder", kCalFormatICal, true, "UTF-8", kOneHourEast, false, {}, true, Counts(0, 0, 0)},
    };
}

TEST_F(EventExportGolden, EveryWrittenFileEqualsItsGoldenFile) {
    const bool write = std::getenv("MIREO_WRITE_GOLDEN") != nullptr;
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        const fs::path out = m_dir / row.name;
        const EventExportOutcome outcome = Export(row, out);
        EXPECT_EQ(outcome.counters.succeeded, row.want.succeeded);
        EXPECT_EQ(outcome.counters.failed, row.want.failed);
        EXPECT_EQ(outcome.counters.skipped, row.want.skipped);
        const fs::path golden = fs::path(MIREO_TESTDATA_DIR) / "vcal/export" / row.name;
        if (write) {
            fs::remove_all(golden);
            fs::create_directories(golden);
            for (const auto& f : fs::directory_iterator(out)) fs::copy_file(f.path(), golden / f.path().filename());
            continue;
        }
        std::vector<std::string> written, expected;
        for (const auto& f : fs::directory_iterator(out)) written.push_back(f.path().filename().string());
        if (fs::exists(golden))
            for (const auto& f : fs::directory_iterator(golden))
                if (f.path().filename() != ".keep") expected.push_back(f.path().filename().string());
        std::sort(written.begin(), written.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(written, expected);
        EXPECT_EQ(outcome.writtenFiles.size(), written.size());
        for (const std::string& name : written) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ReadAll(out / name), ReadAll(golden / name));
        }
    }
}

TEST_F(EventExportGolden, AFailedEventLeavesNoFileAndTheNextHasItsOwn) {
    CHostApplication app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    auto utils = app.Mapi().CreateMapiUtils();
    for (const char* subject : {"First", "Second", "Third"})
        AddItemFromJson(*items, kFolderAppointment,
                        ItemJson{{"Subject", subject}, {"Start", "2007-03-05T10:00:00"}, {"End", "2007-03-05T11:00:00"}},
                        *utils);
    app.FailCall("SafeItem.Get", 2, kEFail);  // the second event's Body
    const Row row{"", kCalFormatICal, false, "UTF-8", kOneHourEast};
    const EventExportOutcome outcome = Export(row, m_dir / "out", nullptr, &app);
    EXPECT_EQ(outcome.counters.succeeded, 2);
    EXPECT_EQ(outcome.counters.failed, 1);
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(m_dir / "out")) {
        names.push_back(f.path().filename().string());
        const std::string text = ReadAll(f.path());
        EXPECT_EQ(text.rfind("BEGIN:VCALENDAR", 0), 0u);
        EXPECT_TRUE(text.ends_with("END:VEVENT\r\nEND:VCALENDAR"));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"20070305100000_First.ics", "20070305100000_Third.ics"}));
}

TEST_F(EventExportGolden, AFileThatCannotBeWrittenIsNeverReportedAsExported) {
    std::unique_ptr<IOutputFiles> system = CreateSystemOutputFiles();
    struct Case {
        bool oneFile;
        int failAt;
        RunCounters want;
        std::size_t files;
    };
    // One file: the header goes, the events' block fails: none of them is in a complete
    // file; or the header fails. One file per event: the third file fails alone.
    for (const Case& c : {Case{true, 2, Counts(0, 17, 0), 0}, Case{true, 1, Counts(0, 17, 0), 0},
                          Case{false, 3, Counts(16, 1, 0), 16}}) {
        SCOPED_TRACE(c.failAt);
        CFailingFiles files(*system, c.failAt);
        const fs::path out = m_dir / ("fail" + std::to_string(c.oneFile) + std::to_string(c.failAt));
        const EventExportOutcome outcome =
            Export(Row{"", kCalFormatICal, c.oneFile, "UTF-8", kOneHourEast}, out, &files);
        EXPECT_EQ(outcome.counters.succeeded, c.want.succeeded);
        EXPECT_EQ(outcome.counters.failed, c.want.failed);
        EXPECT_EQ(outcome.writtenFiles.size(), c.files);
        EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(out), fs::directory_iterator())),
                  c.files);
    }
}

}  // namespace
}  // namespace mireo
