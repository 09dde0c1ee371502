// The contact export run: wizard, progress, the item loop and the finish page.
#include <algorithm>
#include <cstdio>
#include <utility>
#include <exception>
#include <memory>
#include <string>

#include "encoding/mireo_char_converter.h"
#include "engine/export_source.h"
#include "engine/logger.h"
#include "engine/run_loop.h"
#include "platform/output_files.h"
#include "ui/progress.h"
#include "vcard/contact_export.h"
#include "vcard/export_parts.h"
#include "vcard/file_naming.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

constexpr const char* kRunSource = "CvCardExport::Run";
constexpr const char* kFilterSource = "CvCardExport::FilterContact";

// The single file is written in blocks of about this size (a card more at the most).
constexpr std::size_t kSingleFileBlock = 256 * 1024;

// Results of exporting one contact.
constexpr int kExported = 0;
constexpr int kCardFailed = -1;
constexpr int kFileFailed = -2;

std::string EffectiveSeparator(const std::string& separator) { return separator.empty() ? ";" : separator; }

// One run's state; lives for one call of Run.
class CExportRun {
public:
    CExportRun(const RunEnvironment& env, ContactExportChoices& choices)
        : m_env(env),
          m_choices(choices),
          m_separator(EffectiveSeparator(env.listSeparator)),
          m_filter(choices.filterMask, choices.filterCategories, m_separator, env.log, kFilterSource),
          m_encoder(env.converter),
          m_writer(m_encoder, Options(env, choices, m_separator)),
          m_namer(env.files, choices.targetFolder, u".vcf", choices.overwrite),
          m_reader(env.hostMajorVersion) {}

    ~CExportRun() { CloseSingleFile(); }

    void SetSafeItem(std::unique_ptr<ISafeItem> safe) { m_safe = std::move(safe); }
    void SetSingleFileBaseName(std::u16string name) { m_singleBase = std::move(name); }

    // One item of the loop: kExported, kCardFailed or kFileFailed; 1 when the filter
    // rejected it; 2 when it is not a contact. Throws HostError from the host.
    int HandleItem(IItem& item) {
        if (item.Class() != ItemClass::Contact) return kNotAContact;
        if (m_safe) m_safe->SetItem(item);
        if (!Passes(item)) return kRejected;
        if (!m_safe) return kCardFailed;  // logged once when the run started
        return ExportContact(item);
    }

    // Completes the single file: writes the cards still held and closes it. False when
    // it could not be completed (it is then removed and no longer listed).
    bool CloseSingleFile() {
        if (!m_single) return true;
        if (!WritePending()) return false;
        const bool ok = m_single->Close();
        m_single.reset();
        if (!ok) {
            m_env.log.LogMsg("Cant close the file " + m_singlePath, 0, kRunSource, kError, kLogFlags);
            Unlist(m_singlePath);
        }
        return ok;
    }

    std::vector<std::string>& WrittenFiles() { return m_written; }
    std::vector<std::string>& RefusedFiles() { return m_refused; }
    std::int32_t LossyContacts() const { return m_lossy; }

    static constexpr int kRejected = 1;
    static constexpr int kNotAContact = 2;

private:
    static VCardWriterOptions Options(const RunEnvironment& env, const ContactExportChoices& choices,
                                      const std::string& separator) {
        VCardWriterOptions o;
        o.version = choices.format == kVCard30 ? kVCard30 : kVCard21;
        o.hostMajorVersion = env.hostMajorVersion;
        o.productMajor = env.product.major;
        o.productMinor = env.product.minor;
        o.listSeparator = PathFromUtf8(separator);
        return o;
    }

    // The filter of one contact (CvCardExport::FilterContact): private ones with the
    // private bit, then the category filter. True: export it.
    bool Passes(IItem& contact) {
        if ((m_choices.filterMask & kFilterSkipPrivate) != 0 &&
            contact.Get("Sensitivity").AsInt() != kSensitivityNormal)
            return false;
        return m_filter.Passes([&contact] {
            const Value categories = contact.Get("Categories");
            return categories.GetKind() == Value::Kind::Text ? categories.AsText() : std::u16string();
        });
    }

    int ExportContact(IItem& item) {
        // The record is filled whole; its strings keep their storage from the last contact.
        if (m_reader.Read(item, *m_safe, m_record) != kContactRead) return kCardFailed;
        m_encoder.TakeLossy();
        m_writer.BuildCard(m_record, m_card);
        const bool lossy = m_encoder.TakeLossy();
        const int result = m_choices.oneFile ? WriteToSingleFile() : WriteOwnFile();
        if (result == kExported && lossy) {
            ++m_lossy;
            m_env.log.LogMsg("Contact \"" + PathToUtf8(m_record.FileAs.empty() ? m_record.FullName : m_record.FileAs) +
                                 "\": characters the encoding cannot hold were written as \"?\"",
                             0, kRunSource, kWarning, kLogFlags);
        }
        return result;
    }

    // A name held by a link, folder or device: neither followed nor replaced.
    void Refused(const std::string& path) {
        m_env.log.LogMsg("The file " + path + " is not a regular file (a link, folder or device): not replaced", 0,
                         kRunSource, kError, kLogFlags);
        m_refused.push_back(path);
    }

    void Unlist(const std::string& path) {
        auto it = std::find(m_written.begin(), m_written.end(), path);
        if (it != m_written.end()) m_written.erase(it);
    }

    int WriteToSingleFile() {
        if (!m_single) {
            if (m_singleFailed) return kFileFailed;
            std::string path;
            const int created = m_namer.Create(m_singleBase, m_single, path);
            if (created != 0) {
                m_singleFailed = true;
                if (created == kNameNotAFile) {
                    Refused(path);
                } else {
                    m_env.log.LogMsg("Cant create the file for " + PathToUtf8(m_singleBase) + " in " +
                                         m_choices.targetFolder,
                                     0, kRunSource, kError, kLogFlags);
                }
                return kFileFailed;
            }
            m_singlePath = path;
            m_written.push_back(path);
        }
        // The cards are written in blocks: a write of its own for every card of a large
        // folder costs the system more than building the cards. A card held here counts
        // like the others only once the file is complete.
        m_pending += m_card;
        if (m_pending.size() >= kSingleFileBlock && !WritePending()) return kFileFailed;
        return kExported;
    }

    // Writes the cards held for the single file. On a failure every later card would go
    // to the same full or broken file: the part written is removed (a file it was to
    // replace stays as it was) and false is returned.
    bool WritePending() {
        const bool ok = m_single->Write(m_pending);
        m_pending.clear();
        if (ok) return true;
        m_env.log.LogMsg("Cant write the file " + m_singlePath, 0, kRunSource, kError, kLogFlags);
        m_single->Abandon();
        m_single.reset();
        Unlist(m_singlePath);
        m_singleFailed = true;
        return false;
    }

    int WriteOwnFile() {
        std::unique_ptr<IOutputFile> file;
        std::string path;
        const int created = m_namer.Create(m_record.FileAs, file, path);
        if (created == kNameNotAFile) {
            Refused(path);
            return kCardFailed;
        }
        if (created != 0) {
            m_env.log.LogMsg("Cant create the file for " + PathToUtf8(m_record.FileAs) + " in " +
                                 m_choices.targetFolder,
                             0, kRunSource, kError, kLogFlags);
            return kFileFailed;
        }
        if (!file->Write(m_card)) {
            // No partial card stays behind, and a file it was to replace stays whole.
            file->Abandon();
            m_env.log.LogMsg("Cant write the file " + path, 0, kRunSource, kError, kLogFlags);
            return kCardFailed;
        }
        if (!file->Close()) {
            m_env.log.LogMsg("Cant close the file " + path, 0, kRunSource, kError, kLogFlags);
            return kCardFailed;
        }
        m_written.push_back(path);
        return kExported;
    }

    const RunEnvironment& m_env;
    ContactExportChoices& m_choices;
    std::string m_separator;
    CCategoryFilter m_filter;
    CConverterValueEncoder m_encoder;
    CvCardWriter m_writer;
    COutputNamer m_namer;
    CContactReader m_reader;
    std::unique_ptr<ISafeItem> m_safe;
    ContactRecord m_record;
    std::string m_card;  // grows to the largest card of the run and is reused
    std::string m_pending;  // cards of the single file not yet written
    std::u16string m_singleBase;
    std::unique_ptr<IOutputFile> m_single;
    std::string m_singlePath;
    bool m_singleFailed = false;
    std::vector<std::string> m_written;
    std::vector<std::string> m_refused;
    std::int32_t m_lossy = 0;
};

void LogHostError(ILogger& log, const char* what, const HostError& e) { LogRunHostError(log, kRunSource, what, e); }

}  // namespace

int CvCardExport::Run(const RunEnvironment& env) {
    std::unique_ptr<IContactExportWizard> wizard = m_ui.CreateContactExportWizard(env);
    if (!wizard) {
        env.log.LogMsg("no wizard", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }
    return RunContactExport(env, *wizard);
}

int RunContactExport(const RunEnvironment& env, IContactExportWizard& wizard) {
    ContactExportChoices choices;
    if (!wizard.Run(choices)) return kRunDone;
    env.converter.SetCurrentByDisplayName(choices.encoding);

    ContactExportOutcome outcome;
    outcome.targetFolder = choices.targetFolder;
    RunCounters& counters = outcome.counters;

    // The items and their number.
    CExportSource source;
    if (!source.Open(env, choices.selectedOnly, choices.folder.get(), kRunSource)) return kRunCannotStart;
    const int total = source.Count();

    CExportRun run(env, choices);
    if (total > 0) {
        if (choices.oneFile) {
            // The single file is named after the folder.
            run.SetSingleFileBaseName(ExportFileBaseName(env, choices.folder.get(), kRunSource));
        }
        try {
            run.SetSafeItem(env.mapi.CreateSafeContactItem());
        } catch (const HostError& e) {
            // Every contact then counts as failed: nothing can be exported without it.
            env.log.LogMsg("Cant Create Redemption.SafeContactItem", e.Hr(), kRunSource, kError, kLogFlags);
        }

        // In one file, a contact is exported once the file is complete: until then it
        // waits here, and counts as failed if the file cannot be completed.
        std::int32_t inSingleFile = 0;
        CRunLoop loop(env, counters, kRunSource, kHelpExportContacts);
        if (!loop.Start(kProgressExportContacts, kStrExporting, total)) return kRunCannotStart;
        for (int i = 1; i <= total && loop.BeginUnit(); ++i) {
            std::unique_ptr<IItem> item = source.ItemForRun(i, loop, env.log, kRunSource);
            if (!item) break;

            int result;
            try {
                result = run.HandleItem(*item);
            } catch (const HostError& e) {
                LogHostError(env.log, "Contact not exported", e);
                result = kCardFailed;
            }
            if (result == CExportRun::kNotAContact) continue;
            if (result == CExportRun::kRejected) {
                ++counters.skipped;
                continue;
            }
            if (result == kFileFailed && choices.oneFile) {
                counters.failed += std::exchange(inSingleFile, 0);
                loop.FailRest();
                break;
            }
            if (result >= 0) {
                if (choices.oneFile) {
                    ++inSingleFile;
                } else {
                    ++counters.succeeded;
                }
            } else {
                ++counters.failed;
            }
            loop.Step();
        }
        loop.Close();
        if (run.CloseSingleFile()) {
            counters.succeeded += inSingleFile;
        } else {
            counters.failed += inSingleFile;
        }
    }
    run.CloseSingleFile();
    outcome.writtenFiles = std::move(run.WrittenFiles());
    outcome.refusedFiles = std::move(run.RefusedFiles());
    outcome.lossyContacts = run.LossyContacts();
    wizard.Finish(outcome);
    return kRunDone;
}

}  // namespace mireo
