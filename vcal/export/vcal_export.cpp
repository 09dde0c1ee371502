// The event export run: wizard, progress, the item loop and the finish page.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "encoding/mireo_char_converter.h"
#include "engine/export_source.h"
#include "engine/logger.h"
#include "engine/run_loop.h"
#include "platform/file_naming.h"
#include "platform/registry.h"
#include "ui/progress.h"
#include "vcal/common/export_zones.h"
#include "vcal/common/system_zone.h"
#include "vcal/common/zone_text.h"
#include "vcal/export/event_export.h"
#include "vcal/export/event_filter.h"
#include "vcal/export/event_writer.h"
#include "vcal/export/rrule_writer.h"

namespace mireo {
namespace {

constexpr const char* kRunSource = "CvCalExport::Run";
constexpr const char* kBeforeSource = "CvCalExport::BeforeExport";
constexpr const char* kEndCalendar = "END:VCALENDAR";
constexpr const char* kSystemZoneName = "SYSTEM TIMEZONE";
constexpr std::size_t kBlockBytes = 256 * 1024;

// Results of exporting one event.
constexpr int kExported = 0;
constexpr int kEventFailed = -1;
constexpr int kFileFailed = -2;

std::string EffectiveSeparator(const std::string& separator) { return separator.empty() ? ";" : separator; }

// The name of a file of one event: its start (the computer's local time) and subject.
std::u16string EventBaseName(const AppointmentRecord& r) {
    const CivilTime c = Split(r.start);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
    std::u16string base(stamp, stamp + std::char_traits<char>::length(stamp));
    if (!r.subject.empty()) base += u"_" + r.subject;
    return base;
}

// One run's state; lives for one call of RunEventExport.
class CEventExportRun {
public:
    CEventExportRun(const RunEnvironment& env, EventExportChoices& choices, const EventExportHooks& hooks)
        : m_env(env),
          m_choices(choices),
          m_hooks(hooks),
          m_zoneSource(hooks.computerZone ? *hooks.computerZone : SystemTimeZone()),
          m_computer(SystemZone(m_zoneSource)),
          m_zones(env.log, m_zoneSource),
          m_filter(choices.filter, EffectiveSeparator(env.listSeparator), env.log),
          m_writer(env.converter, Options(env, choices, m_computer)),
          m_namer(env.files, choices.targetFolder, choices.format == kCalFormatICal ? u".ics" : u".vcs",
                  choices.overwrite) {}

    // A run that ends without EndExport (an exception) leaves no partial calendar: the
    // one file is abandoned, and a file it was to replace stays.
    ~CEventExportRun() {
        if (m_single) m_single->Abandon();
    }

    void SetSafeItem(std::unique_ptr<ISafeItem> safe) { m_safe = std::move(safe); }
    void SetUtils(std::unique_ptr<IMapiUtils> utils) { m_utils = std::move(utils); }
    void SetSingleFileBaseName(std::u16string name) { m_singleBase = std::move(name); }
    std::vector<std::string>& WrittenFiles() { return m_written; }

    // CvCalExport::BeforeExport: the one file with its header (and, for vCalendar, the
    // computer's zone). False when that file cannot be made or written.
    bool BeforeExport() {
        if (!m_choices.oneFile) return true;
        std::string path;
        if (m_namer.Create(m_singleBase, m_single, path) != 0) {
            m_env.log.LogMsg("Cant create the file for " + PathToUtf8(m_singleBase) + " in " + m_choices.targetFolder,
                             0, kBeforeSource, kError, kLogFlags);
            return false;
        }
        m_singlePath = path;
        m_text.clear();
        m_writer.AppendHeader(m_text);
        m_zones.ClearWritten();
        if (m_choices.format == kCalFormatVCal) {
            std::uint32_t error = 0;
            ZoneRule rule;
            if (ReadSystemZone(rule, error, m_zoneSource)) {
                WriteVCalZoneLines(m_text, rule);
                m_zones.MarkWritten(kSystemZoneName, rule);
            } else {
                m_env.log.LogMsg("Cant get System Timezone Information", static_cast<long>(error), kBeforeSource,
                                 kError, kLogFlags);
            }
        }
        if (!m_single->Write(m_text)) {
            m_env.log.LogMsg("Cant write the file " + path, 0, kBeforeSource, kError, kLogFlags);
            DropSingle();
            return false;
        }
        m_written.push_back(path);
        return true;
    }

    // One item: kExported, kEventFailed or kFileFailed; kRejected when the filter
    // rejected it; kNotAnEvent when it is not an appointment. Throws HostError.
    int HandleItem(IItem& item) {
        if (item.Class() != ItemClass::Appointment) return kNotAnEvent;
        if (!m_safe) return kEventFailed;  // logged once when the run started
        m_safe->SetItem(item);
        if (m_choices.filtered && !m_filter.Passes(item, *m_safe, m_utils.get(), m_zones.Tags())) return kRejected;
        return ExportItem(item);
    }

    // The end of the run: closes the one file. False when its end could not be written.
    bool EndExport() {
        if (m_singleLost) return false;
        if (!m_single) return true;
        m_pending += kEndCalendar;
        bool ok = m_single->Write(m_pending);
        m_pending.clear();
        // An incomplete file is dropped (and one it was to replace stays); Close drops
        // it too when it cannot complete it.
        if (ok) {
            ok = m_single->Close();
        } else {
            m_single->Abandon();
        }
        m_single.reset();
        if (!ok) {
            m_env.log.LogMsg("Cant write the file " + m_singlePath, 0, kRunSource, kError, kLogFlags);
            std::erase(m_written, m_singlePath);
        }
        return ok;
    }

    static constexpr int kRejected = 1;
    static constexpr int kNotAnEvent = 2;

private:
    static CalWriterOptions Options(const RunEnvironment& env, const EventExportChoices& choices,
                                    const std::optional<ZoneRule>& computer) {
        CalWriterOptions o;
        o.format = choices.format == kCalFormatICal ? kCalFormatICal : kCalFormatVCal;
        o.productMajor = env.product.major;
        o.productMinor = env.product.minor;
        o.listSeparator = PathFromUtf8(EffectiveSeparator(env.listSeparator));
        o.computerZone = computer;
        o.firstDayOfWeek = ReadFirstDayOfWeek(SystemRegistry(), env.hostMajorVersion);
        return o;
    }

    // The one file is removed: nothing written to it counts as exported.
    void DropSingle() {
        m_singleLost = true;
        m_single->Abandon();
        m_single.reset();
    }

    UtcTime Now() const {
        if (m_hooks.now) return m_hooks.now();
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }

    // The zone the event is written in (CvCalExport::GenVTimezone).
    EventZone ItemZone(IItem& item) {
        EventZone zone;
        if (!m_zones.GenVTimezone(item, m_utils.get())) return zone;
        zone.use = !m_zones.Name().empty();
        zone.name = m_zones.Name();
        zone.rule = m_zones.Rule();
        if (zone.use && m_choices.oneFile && m_choices.format == kCalFormatVCal) {
            // The file's header declares the computer's zone and vCalendar has no other:
            // the event's local times are those of the computer, else UTC.
            zone.use = m_computer.has_value();
            if (m_computer) zone.rule = *m_computer;
        }
        return zone;
    }

    int ExportItem(IItem& item) {
        ReadAppointment(item, *m_safe, m_utils.get(), m_zones.Tags(), m_env.log, m_record);
        if (m_record.uid.empty() && m_choices.format == kCalFormatICal)
            m_record.uid = m_hooks.newUid ? m_hooks.newUid() : NewGlobalObjectUid();
        if (!m_choices.oneFile) m_zones.ClearWritten();
        const EventZone zone = ItemZone(item);

        // The whole text of this unit first, so that a failure leaves nothing half written.
        m_text.clear();
        if (!m_choices.oneFile) m_writer.AppendHeader(m_text);
        bool newZone = false;
        if (zone.use) {
            if (m_choices.format == kCalFormatICal) {
                newZone = !m_zones.IsWritten(zone.name);
                if (newZone) WriteVTimezone(m_text, zone.name, zone.rule);
            } else if (!m_choices.oneFile) {
                WriteVCalZoneLines(m_text, zone.rule);
            }
        }
        if (!m_writer.AppendEvent(m_record, zone, Now(), m_text)) {
            m_env.log.LogMsg("Cant convert the event's text to the chosen encoding", 0, kRunSource, kError, kLogFlags);
            return kEventFailed;
        }
        if (!m_choices.oneFile) {
            m_text += kEndCalendar;
            return WriteOwnFile();
        }
        if (!m_single) return kFileFailed;
        // The events go to the one file in blocks: a write call per event would cost
        // more than building it. A block that cannot be written loses the whole file,
        // and every event in it counts as failed (EndExport).
        m_pending += m_text;
        if (newZone) m_zones.MarkWritten(zone.name, zone.rule);
        if (m_pending.size() >= kBlockBytes && !FlushSingle()) return kFileFailed;
        return kExported;
    }

    bool FlushSingle() {
        const bool ok = m_single->Write(m_pending);
        m_pending.clear();
        if (!ok) {
            // Every later event would go to the same full or broken file.
            m_env.log.LogMsg("Cant write the file " + m_singlePath, 0, kRunSource, kError, kLogFlags);
            DropSingle();
            std::erase(m_written, m_singlePath);
        }
        return ok;
    }

    int WriteOwnFile() {
        std::unique_ptr<IOutputFile> file;
        std::string path;
        if (m_namer.Create(EventBaseName(m_record), file, path) != 0) {
            m_env.log.LogMsg("Cant create the file for " + PathToUtf8(EventBaseName(m_record)) + " in " +
                                 m_choices.targetFolder,
                             0, kRunSource, kError, kLogFlags);
            return kFileFailed;
        }
        // No partial calendar stays behind: an incomplete file is dropped, and a file it
        // was to replace stays as it was.
        const bool written = file->Write(m_text);
        if (!written) file->Abandon();
        const bool closed = written && file->Close();
        file.reset();
        if (!closed) {
            m_env.log.LogMsg("Cant write the file " + path, 0, kRunSource, kError, kLogFlags);
            return kEventFailed;
        }
        m_written.push_back(path);
        return kExported;
    }

    const RunEnvironment& m_env;
    EventExportChoices& m_choices;
    const EventExportHooks& m_hooks;
    ITimeZoneSource& m_zoneSource;
    std::optional<ZoneRule> m_computer;
    CExportZones m_zones;
    CEventFilter m_filter;
    CvCalWriter m_writer;
    COutputNamer m_namer;
    std::unique_ptr<ISafeItem> m_safe;
    std::unique_ptr<IMapiUtils> m_utils;
    AppointmentRecord m_record;
    std::string m_text;  // grows to the largest unit of the run and is reused
    std::u16string m_singleBase;
    std::unique_ptr<IOutputFile> m_single;
    std::string m_singlePath;
    std::string m_pending;  // events of the one file not yet written
    bool m_singleLost = false;
    std::vector<std::string> m_written;
};

void LogHostError(ILogger& log, const char* what, const HostError& e) { LogRunHostError(log, kRunSource, what, e); }

}  // namespace

int CvCalExport::Run(const RunEnvironment& env) {
    std::unique_ptr<IEventExportWizard> wizard = m_ui.CreateEventExportWizard(env);
    if (!wizard) {
        env.log.LogMsg("no wizard", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }
    return RunEventExport(env, *wizard, m_hooks);
}

int RunEventExport(const RunEnvironment& env, IEventExportWizard& wizard, const EventExportHooks& hooks) {
    EventExportChoices choices;
    if (!wizard.Run(choices)) return kRunDone;
    env.converter.SetCurrentByDisplayName(choices.encoding);

    EventExportOutcome outcome;
    outcome.targetFolder = choices.targetFolder;
    RunCounters& counters = outcome.counters;

    CExportSource source;
    if (!source.Open(env, choices.selectedOnly, choices.folder.get(), kRunSource)) return kRunCannotStart;
    const int total = source.Count();

    CEventExportRun run(env, choices, hooks);
    if (total > 0) {
        if (choices.oneFile) {
            run.SetSingleFileBaseName(ExportFileBaseName(env, choices.folder.get(), kRunSource));
        }
        try {
            run.SetSafeItem(env.mapi.CreateSafeAppointmentItem());
        } catch (const HostError& e) {
            // Every event then counts as failed: nothing can be exported without it.
            env.log.LogMsg("Cant Create Redemption.SafeAppointmentItem", e.Hr(), kRunSource, kError, kLogFlags);
        }
        try {
            run.SetUtils(env.mapi.CreateMapiUtils());
        } catch (const HostError& e) {
            // Without it: no UID, label or zone of the item's own; the computer's zone.
            env.log.LogMsg("Cant Create Redemption.MapiUtils", e.Hr(), kRunSource, kWarning, kLogFlags);
        }

        CRunLoop loop(env, counters, kRunSource, kHelpExportEvents);
        if (!loop.Start(kProgressExportEvents, kStrExporting, total)) return kRunCannotStart;
        bool ready = true;
        try {
            ready = run.BeforeExport();
        } catch (const HostError& e) {
            LogHostError(env.log, "BeforeExport failed", e);
            ready = false;
        }
        if (!ready) {
            // Nothing can be written: every event fails.
            if (loop.BeginUnit()) loop.FailRest();
        }
        for (int i = 1; ready && i <= total && loop.BeginUnit(); ++i) {
            std::unique_ptr<IItem> item = source.ItemForRun(i, loop, env.log, kRunSource);
            if (!item) break;
            int result;
            try {
                result = run.HandleItem(*item);
            } catch (const HostError& e) {
                LogHostError(env.log, "Event not exported", e);
                result = kEventFailed;
            }
            if (result == CEventExportRun::kNotAnEvent) continue;
            if (result == CEventExportRun::kRejected) {
                ++counters.skipped;
                continue;
            }
            if (result == kFileFailed && choices.oneFile) {
                loop.FailRest();
                break;
            }
            if (result >= 0) {
                ++counters.succeeded;
            } else {
                ++counters.failed;
            }
            loop.Step();
        }
        loop.Close();
    }
    if (!run.EndExport()) {
        // The file is not complete: what went into it is not exported.
        counters.failed += counters.succeeded;
        counters.succeeded = 0;
    }
    outcome.writtenFiles = std::move(run.WrittenFiles());
    wizard.Finish(outcome);
    return kRunDone;
}

}  // namespace mireo
