// The contact import run: wizard, the files and their cards, progress, the card loop
// (filter, duplicate search, conflict rule, create and save) and the finish page.
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "engine/run_loop.h"
#include "engine/save_counter.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/multi_path.h"
#include "ui/progress.h"
#include "ui/wizard_pages.h"
#include "vcard/contact_import.h"
#include "vcard/export_parts.h"
#include "vcard/file_naming.h"
#include "vcard/vcard_reader.h"

namespace mireo {
namespace {

constexpr const char* kRunSource = "CvCardImport::Run";
constexpr const char* kFilterSource = "CvCardImport::FilterContact";
constexpr int kStrCannotOpen = 134;
constexpr int kStrNoFiles = 136;

std::string EffectiveSeparator(const std::string& separator) { return separator.empty() ? ";" : separator; }

void LogHostError(ILogger& log, const std::string& what, const HostError& e) {
    log.LogMsg(what + ": " + e.what(), e.Hr(), kRunSource, kError, kLogFlags);
}

bool HasVcfExtension(const std::string& name) { return ascii::EndsWithNoCase(name, ".vcf"); }

std::string ToUtf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::filesystem::path FromUtf8(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }

// The card's value of a property for the new contact; a text is moved out of the
// record (the card is not read after its fill).
Value RecordValue(const ContactPropertyInfo& p, ContactRecord& record) {
    switch (p.kind) {
    case ContactValueKind::kText: return Value::Text(std::move(record.*p.text));
    case ContactValueKind::kDate: return Value::Date(OleFromLocal(record.*p.date));
    case ContactValueKind::kInteger: return Value::Int(record.*p.integer);
    }
    return Value();
}

bool SameValue(const ContactPropertyInfo& p, const ContactRecord& record, const Value& found) {
    switch (p.kind) {
    case ContactValueKind::kText:
        return (found.GetKind() == Value::Kind::Text ? found.AsText() : std::u16string()) == record.*p.text;
    case ContactValueKind::kDate: return found.AsDate() == OleFromLocal(record.*p.date);
    case ContactValueKind::kInteger: return found.AsInt() == record.*p.integer;
    }
    return false;
}

// Appends "field = " and the value in the quote it does not contain; false when it
// contains both kinds (no condition can be written).
bool AppendCondition(std::u16string& text, std::u16string_view field, const std::u16string& value) {
    const bool dq = value.find(u'"') != std::u16string::npos;
    if (dq && value.find(u'\'') != std::u16string::npos) return false;
    const char16_t q = dq ? u'\'' : u'"';
    text += field;
    text += u" = ";
    text += q;
    text += value;
    text += q;
    return true;
}

// One run's state; lives for one call of Run.
class CImportRun {
public:
    CImportRun(const RunEnvironment& env, ContactImportChoices& choices)
        : m_env(env),
          m_choices(choices),
          m_filter(choices.filterMask, choices.filterCategories, EffectiveSeparator(env.listSeparator), env.log,
                   kFilterSource),
          m_hostMajor(env.hostMajorVersion),
          m_separator(PathFromUtf8(EffectiveSeparator(env.listSeparator))) {
        const auto& props = ContactRecordProperties();
        m_refs.reserve(props.size());
        m_safeRefs.reserve(props.size());
        for (const ContactPropertyInfo& p : props) {
            m_refs.emplace_back(p.name);
            m_safeRefs.emplace_back(p.name);
        }
        for (std::size_t i = 0; i < props.size(); ++i) {
            const std::string_view name = props[i].name;
            for (std::size_t k = 0; k < std::size(kNameParts); ++k) {
                if (name == kNameParts[k]) m_namePartIndex[k] = i;
            }
            if (name == "CompanyName") m_companyIndex = i;
        }
    }

    void SetSafeItem(std::unique_ptr<ISafeItem> safe) { m_safe = std::move(safe); }
    void SetItems(std::unique_ptr<IItems> items) { m_items = std::move(items); }
    void SetSaveCounter(CSaveCounter* saves) { m_saves = saves; }

    // The decision for one card; adds to the counters.
    // The card's texts are moved into the new contact: it is not read afterwards.
    void HandleCard(VCardCard& card, RunCounters& counters) {
        if (!card.fault.empty()) {
            // Cut off or beyond the reader's limits: never imported in part.
            m_env.log.LogMsg(card.fault, 0, kRunSource, kError, kLogFlags);
            ++counters.failed;
            return;
        }
        const ContactRecord& record = card.contact;
        if (!Passes(record)) {
            ++counters.skipped;
            return;
        }
        std::unique_ptr<IItem> created;
        std::unique_ptr<IItem> toReplace;
        try {
            const std::u16string name = ContactSearchName(record);
            // The search name holds the title, which a contact's full name often does
            // not: a card whose FN differs is also looked up by its FN, so that a
            // contact with a title is found again on the next import.
            std::vector<std::u16string> filters{ContactDuplicateFilter(name, record.CompanyName)};
            if (!name.empty() && !record.FullName.empty() && record.FullName != name)
                filters.push_back(ContactDuplicateFilter(record.FullName, record.CompanyName));
            std::vector<std::string> seen;
            for (const std::u16string& filter : filters) {
                if (filter.empty()) continue;
                std::unique_ptr<IItems> found = m_items->Restrict(filter);
                const int n = found ? found->Count() : 0;
                for (int i = 1; i <= n; ++i) {
                    std::unique_ptr<IItem> candidate;
                    try {
                        candidate = found->Item(i);
                        if (!candidate || candidate->Class() != ItemClass::Contact) continue;
                    } catch (const HostError& e) {
                        // A damaged contact cannot be compared; the others still are.
                        if (e.Hr() != kMapiECorruptData) throw;
                        LogHostError(m_env.log, "A damaged contact is passed over in the duplicate search", e);
                        continue;
                    }
                    if (!IsCandidate(*candidate, name.empty(), record.CompanyName.empty())) continue;
                    if (filters.size() > 1) {
                        const std::string id = candidate->EntryId();
                        if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
                        seen.push_back(id);
                    }
                    if (m_choices.conflict == kConflictKeepExisting) {
                        ++counters.skipped;
                        return;
                    }
                    if (!m_safe) {
                        // Without safe items the guarded fields cannot be compared.
                        if (!m_warnedNoSafe) {
                            m_env.log.LogMsg("No safe contact item: a found contact counts as identical", 0,
                                             kRunSource, kWarning, kLogFlags);
                            m_warnedNoSafe = true;
                        }
                        ++counters.skipped;
                        return;
                    }
                    // The new contact is made before the first comparison, but filled only
                    // once the card is to be stored: the comparison reads the card itself, and
                    // a card found identical (every card of a file imported again) would
                    // otherwise fill a contact only to drop it.
                    if (!created) created = m_items->Add(ItemType::Contact);
                    if (Identical(card, *candidate)) {
                        Drop(created);
                        ++counters.skipped;
                        return;
                    }
                    if (m_choices.conflict == kConflictReplace && !toReplace) toReplace = std::move(candidate);
                }
            }
            if (!created) created = m_items->Add(ItemType::Contact);
            Fill(*created, card);
        } catch (const HostError& e) {
            LogHostError(m_env.log, "Contact not imported", e);
            Drop(created);
            ++counters.failed;
            return;
        }
        try {
            created->Save();
        } catch (const HostError& e) {
            // The old contact stays: it is removed only once the new one is saved.
            LogHostError(m_env.log, "Cant save the contact", e);
            Drop(created);
            ++counters.failed;
            return;
        }
        // Stored once its batch is committed.
        m_saves->Saved();
        if (toReplace) {
            try {
                toReplace->Delete();
            } catch (const HostError& e) {
                LogHostError(m_env.log, "Cant delete the replaced contact", e);
            }
        }
    }

private:
    // The import filter on a card's record (CvCardImport::FilterContact): a private or
    // confidential card with the private bit, then the category filter. True: import it.
    bool Passes(const ContactRecord& record) {
        if ((m_choices.filterMask & kFilterSkipPrivate) != 0 && record.Sensitivity != kSensitivityNormal) return false;
        return m_filter.Passes([&record] { return std::u16string_view(record.Categories); });
    }

    bool IsCandidate(IItem& found, bool noName, bool noCompany) {
        if (noName) {
            for (std::size_t i : m_namePartIndex) {
                if (HasText(found, m_refs[i])) return false;
            }
        }
        if (noCompany && HasText(found, m_refs[m_companyIndex])) return false;
        return true;
    }

    bool HasText(IItem& item, PropertyRef& property) {
        item.GetText(property, m_text);
        return !m_text.empty();
    }

    bool Applies(const ContactPropertyInfo& p) const {
        return (p.usedBy & kUsedByImport) != 0 && (!p.needsMajor10 || m_hostMajor >= 10);
    }

    // Puts every field the card set into the new contact, moving the card's texts.
    void Fill(IItem& item, VCardCard& card) {
        const auto& props = ContactRecordProperties();
        for (std::size_t i = 0; i < props.size(); ++i) {
            const ContactPropertyInfo& p = props[i];
            if (!Applies(p) || !card.IsSet(i)) continue;
            // The guarded properties too are written through the object model: the host
            // guards their reads only.
            item.PutByRef(m_refs[i], RecordValue(p, card.contact));
        }
    }

    // Whether the found contact equals the card on every field the card set; a failed
    // read throws. Texts are read into one reused buffer and compared in place.
    bool Identical(const VCardCard& card, IItem& found) {
        const auto& props = ContactRecordProperties();
        bool safeSet = false;
        for (std::size_t i = 0; i < props.size(); ++i) {
            const ContactPropertyInfo& p = props[i];
            if (!Applies(p) || !card.IsSet(i)) continue;
            const bool safe = p.access == ContactAccess::kSafeItem;
            if (safe && !safeSet) {
                m_safe->SetItem(found);
                safeSet = true;
            }
            if (p.kind == ContactValueKind::kText) {
                if (safe) {
                    m_safe->GetText(m_safeRefs[i], m_text);
                } else {
                    found.GetText(m_refs[i], m_text);
                }
                const std::u16string& mine = card.contact.*p.text;
                if (p.text == &ContactRecord::Categories && !m_text.empty()) {
                    // The same names in the same order: "Business;Customers" and the
                    // "Business; Customers" a 3.0 card gives back are one list.
                    if (m_text != mine &&
                        SplitCategories(mine, m_separator) != SplitCategories(m_text, m_separator))
                        return false;
                    continue;
                }
                if (m_text.empty() && p.text == &ContactRecord::Categories) {
                    // An empty text and no text at all compare differently as lists.
                    if (!SameCategories(card, p, found, safe)) return false;
                    continue;
                }
                if (m_text != mine) return false;
                continue;
            }
            const Value v = safe ? m_safe->Get(p.name) : found.Get(p.name);
            if (!SameValue(p, card.contact, v)) return false;
        }
        return true;
    }

    // The categories compared as they always were, on the host's value itself.
    bool SameCategories(const VCardCard& card, const ContactPropertyInfo& p, IItem& found, bool safe) {
        const Value v = safe ? m_safe->Get(p.name) : found.Get(p.name);
        if (v.GetKind() == Value::Kind::Text)
            return SplitCategories(card.contact.Categories, m_separator) == SplitCategories(v.AsText(), m_separator);
        return SameValue(p, card.contact, v);
    }

    // A contact made only for a comparison: never saved, so it is discarded. Should it
    // have an identity (the host saved it), that one item is deleted and then removed
    // from "Deleted Items" by that identity.
    void Drop(std::unique_ptr<IItem>& item) {
        if (!item) return;
        try {
            const std::string id = item->EntryId();
            if (id.empty()) {
                item->Discard();
            } else {
                item->Delete();
                if (std::unique_ptr<INamespace> ns = m_env.app.GetNamespace()) {
                    std::unique_ptr<IItem> copy = ns->GetItemFromID(id);
                    if (copy) copy->Delete();
                }
            }
        } catch (const HostError& e) {
            LogHostError(m_env.log, "Cant remove the comparison contact", e);
        }
        item.reset();
    }

    const RunEnvironment& m_env;
    ContactImportChoices& m_choices;
    CCategoryFilter m_filter;
    int m_hostMajor;
    std::u16string m_separator;
    std::unique_ptr<ISafeItem> m_safe;
    std::unique_ptr<IItems> m_items;
    CSaveCounter* m_saves = nullptr;
    bool m_warnedNoSafe = false;
    // The contact properties by their index in ContactRecordProperties(), resolved by the
    // host once for the run: for the contacts themselves and for the safe item.
    std::vector<PropertyRef> m_refs;
    std::vector<PropertyRef> m_safeRefs;
    static constexpr std::string_view kNameParts[] = {"FirstName", "MiddleName", "LastName", "Title", "Suffix"};
    std::size_t m_namePartIndex[std::size(kNameParts)] = {};
    std::size_t m_companyIndex = 0;
    std::u16string m_text;  // a found contact's text, its storage reused
};

}  // namespace

std::vector<std::string> ContactImportFiles(const std::vector<std::string>& paths,
                                            std::vector<std::pair<std::string, std::string>>* unlisted) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (FileCanBeOpened(path) || !PathIsDirectory(path)) {
            // A path that is neither stays a file: its reading asks what to do.
            files.push_back(path);
            continue;
        }
        std::error_code ec;
        std::vector<std::string> inFolder;
        for (std::filesystem::directory_iterator it(FromUtf8(path), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeEc;
            if (!it->is_regular_file(typeEc)) continue;
            const std::string name = ToUtf8(it->path().filename());
            if (HasVcfExtension(name)) inFolder.push_back(ToUtf8(it->path()));
        }
        // A folder that cannot be listed is not a folder without cards.
        if (ec && unlisted != nullptr) unlisted->emplace_back(path, ec.message());
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    return files;
}

std::u16string ContactSearchName(const ContactRecord& record) {
    std::u16string name;
    for (const std::u16string* part :
         {&record.Title, &record.FirstName, &record.MiddleName, &record.LastName, &record.Suffix}) {
        if (part->empty()) continue;
        if (!name.empty()) name += u' ';
        name += *part;
    }
    return name.empty() ? record.FullName : name;
}

std::u16string ContactDuplicateFilter(const std::u16string& searchName, const std::u16string& company) {
    constexpr std::u16string_view kName = u"[FullName]", kCompany = u"[CompanyName]", kAnd = u" AND ";
    std::u16string text;
    // One allocation for the whole text: a filter is made for every card imported.
    text.reserve(kName.size() + kCompany.size() + kAnd.size() + searchName.size() + company.size() + 10);
    if (!searchName.empty() && !AppendCondition(text, kName, searchName)) return {};
    if (!company.empty()) {
        if (!text.empty()) text += kAnd;
        if (!AppendCondition(text, kCompany, company)) return {};
    }
    return text;
}

int CvCardImport::Run(const RunEnvironment& env) {
    std::unique_ptr<IContactImportWizard> wizard = m_ui.CreateContactImportWizard(env);
    if (!wizard) {
        env.log.LogMsg("no wizard", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }
    return RunContactImport(env, *wizard);
}

int RunContactImport(const RunEnvironment& env, IContactImportWizard& wizard) {
    ContactImportChoices choices;
    if (!wizard.Run(choices)) return kRunDone;
    IMessageBox& messages = env.messages;

    CMultiPath paths;
    paths.SetText(choices.paths);
    std::vector<std::pair<std::string, std::string>> unlisted;
    const std::vector<std::string> files = ContactImportFiles(paths.Paths(), &unlisted);
    for (const auto& [folder, reason] : unlisted) {
        env.log.LogMsg("Cant list the folder " + folder + ": " + reason, 0, kRunSource, kError, kLogFlags);
        messages.Show(kCaptionMireoError, "The folder " + utf::EscapeControls(folder) + " cannot be read: " + reason,
                      MbIcon::Error, MbButtons::Ok);
    }
    if (files.empty() && unlisted.empty()) {
        messages.Show(kCaptionMireo, LoadUserString(kStrNoFiles), MbIcon::Exclamation, MbButtons::Ok);
        return kRunDone;
    }

    VCardReaderOptions options;
    options.hostMajorVersion = env.hostMajorVersion;
    options.listSeparator = PathFromUtf8(EffectiveSeparator(env.listSeparator));
    options.logger = &env.log;
    options.invalidElement = [&messages](const std::string& text) {
        messages.Show(kCaptionMireo, text, MbIcon::Exclamation, MbButtons::Ok);
    };

    ContactImportOutcome outcome;
    outcome.files = static_cast<int>(files.size());
    // The pre-count; an unreadable file counts nothing here and is asked about when its
    // turn comes. Files are mapped, not read into memory: a run holds no more memory
    // for a large file than for a small one.
    int total = 0;
    for (const std::string& file : files) {
        CMappedFile mapped;
        std::string reason;
        if (mapped.Open(file, reason)) total += CvCardReader::CountCards(mapped.Bytes(), options);
    }
    outcome.contacts = total;

    if (!choices.folder) {
        env.log.LogMsg("No folder chosen", 0, kRunSource, kError, kLogFlags);
        return kRunCannotStart;
    }
    CImportRun run(env, choices);
    try {
        run.SetItems(choices.folder->Items());
    } catch (const HostError& e) {
        LogHostError(env.log, "Cant get the folder's items", e);
        return kRunCannotStart;
    }
    try {
        run.SetSafeItem(env.mapi.CreateSafeContactItem());
    } catch (const HostError& e) {
        env.log.LogMsg("Cant Create Redemption.SafeContactItem", e.Hr(), kRunSource, kError, kLogFlags);
    }

    RunCounters& counters = outcome.counters;
    // A folder that could not be read is an error of the run (its cards were not read).
    counters.failed += static_cast<std::int32_t>(unlisted.size());
    std::optional<CSaveCounter> saves;
    try {
        saves.emplace(env.app, counters, env.log, kRunSource);
    } catch (const HostError& e) {
        // Another run is storing into the same store: two duplicate searches at once
        // would both find nothing and store the same card twice.
        LogHostError(env.log, "Cant import now", e);
        messages.Show(kCaptionMireoError, e.Detail().empty() ? e.what() : e.Detail(), MbIcon::Error, MbButtons::Ok);
        return kRunCannotStart;
    }
    run.SetSaveCounter(&*saves);
    CRunLoop loop(env, counters, kRunSource, kHelpImportContacts);
    // Without cards there is nothing to show progress of; unreadable files are still
    // asked about, and the finish page shows what there was.
    if (total > 0 && !loop.Start(kProgressImportContacts, kStrImporting, total)) return kRunCannotStart;

    CvCardReader reader(&env.converter, options);
    VCardCard card;
    CMappedFile mapped;
    bool stopped = false;
    for (const std::string& file : files) {
        std::string reason;
        if (!mapped.Open(file, reason)) {
            // Counted, so that a run that could not read a file never says it completed
            // successfully.
            ++counters.failed;
            env.log.LogMsg("Cant open the file " + file + ": " + reason, 0, kRunSource, kError, kLogFlags);
            if (messages.Show(kCaptionMireoError,
                              utf::EscapeControls(file) + LoadUserString(kStrCannotOpen) + "\n(" + reason + ")",
                              MbIcon::Error, MbButtons::OkCancel) == MbResult::Cancel)
                break;
            continue;
        }
        reader.Open(mapped.Bytes(), file);
        // The bar advances after every card, whatever became of it.
        while (reader.Next(card)) {
            if (!loop.BeginUnit()) {
                stopped = true;
                break;
            }
            run.HandleCard(card, counters);
            loop.Step();
        }
        if (stopped) break;
    }
    // Cards not reached (cancel, a file not read) count as skipped.
    loop.SkipRest();
    // The last batch is committed before the counts are shown.
    saves->Finish();
    outcome.lostSaves = saves->Lost();
    outcome.lostCause = saves->Cause();
    loop.Close();
    outcome.folder = choices.folder.get();
    wizard.Finish(outcome);
    return kRunDone;
}

}  // namespace mireo
