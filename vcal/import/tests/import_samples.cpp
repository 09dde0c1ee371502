// Imports one calendar file into an empty in-memory host store and prints the starts
// of the occurrences the store then holds between two dates, one a line
// ("YYYYMMDDTHHMM"), then the import's warnings, each after "# ". The occurrence oracle
// (import_oracle.py) compares them with python-icalendar and dateutil.
//
//     mireo_vcal_import_samples FILE FROM TO     (dates YYYYMMDD, TO excluded)
//
// Run it in UTC (TZ=UTC): the default import zone is the computer's.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "engine/settings_store.h"
#include "hoststore/host_store.h"
#include "platform/message_box.h"
#include "platform/output_files.h"
#include "ui/scripted_progress_view.h"
#include "vcal/common/system_zone.h"
#include "vcal/import/event_import.h"

namespace {

using namespace mireo;

class CPrintingLogger : public ILogger {
public:
    void LogMsg(std::string_view text, long, const char*, int level, int) override {
        if (level < kWarning) return;
        std::string t(text.substr(0, 200));
        for (char& c : t) {
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        }
        std::printf("# %s\n", t.c_str());
    }
};

class CQuietBox : public IMessageBox {
public:
    MbResult Show(const std::string&, const std::string&, MbIcon, MbButtons) override { return MbResult::Ok; }
};

class CWizard : public IEventImportWizard {
public:
    CWizard(IApplication& app, std::string path) : m_app(app), m_path(std::move(path)) {}
    bool Run(EventImportChoices& c) override {
        c.folder = m_app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar);
        c.paths = "\"" + m_path + "\"";
        if (const auto z = SystemZone()) c.zone = *z;
        c.zoneName = "UTC";
        return true;
    }
    void Finish(const EventImportOutcome&) override {}

private:
    IApplication& m_app;
    std::string m_path;
};

std::u16string FilterDate(const char* yyyymmdd) {
    const int v = std::atoi(yyyymmdd);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d/%d 12:00 AM", v / 100 % 100, v % 100, v / 10000);
    return ToHostText(buf);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mireo_vcal_import_samples FILE FROM TO\n");
        return 2;
    }
    CHostApplication app(HostStoreOptions{":memory:", u"11.0.0.0", "M/d/yyyy"});
    std::unique_ptr<MireoCharConverter> converter = MireoCharConverter::FromModuleDirectory();
    CSettingsStore settings{UniqueRegKey{}};
    CPrintingLogger log;
    CQuietBox box;
    CScriptedProgressView view;
    auto files = CreateSystemOutputFiles();
    RunEnvironment env{.app = app,
                       .mapi = app.Mapi(),
                       .settings = settings,
                       .log = log,
                       .help = nullptr,
                       .files = *files,
                       .messages = box,
                       .converter = *converter,
                       .listSeparator = ",",
                       .product = {1, 0, 0},
                       .hostMajorVersion = 11,
                       .progress = view};
    CWizard wizard(app, argv[1]);
    RunEventImport(env, wizard);
    auto items = app.GetNamespace()->GetDefaultFolder(DefaultFolder::Calendar)->Items();
    items->Sort(u"[Start]");
    items->SetIncludeRecurrences(true);
    auto found = items->Restrict(u"[Start] >= '" + FilterDate(argv[2]) + u"' And [Start] < '" + FilterDate(argv[3]) +
                                 u"'");
    for (auto i = found->GetFirst(); i; i = found->GetNext()) {
        const CivilTime c = SplitOleDate(i->Get("Start").AsDate());
        std::printf("%04d%02d%02dT%02d%02d\n", c.year, c.month, c.day, c.hour, c.minute);
    }
    return 0;
}
