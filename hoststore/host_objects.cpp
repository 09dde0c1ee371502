// The objects of the substitute host: every one holds the shared store context,
// and item-level objects (pattern, occurrences, recipients) share the item's state.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <span>
#include <string>
#include <unordered_map>

#include "platform/locale_info.h"
#include "platform/registry.h"
#include "platform/registry_text.h"
#include "hoststore/host_store.h"
#include "hoststore/restrict_filter.h"
#include "hoststore/store_db.h"
#include "hoststore/text_fold.h"

namespace mireo {

// ---------------------------------------------------------------------------
// Shared context

class CStoreContext {
public:
    explicit CStoreContext(const HostStoreOptions& o) : db(o.path, o.shortDatePicture, o.busyTimeoutMs, o.maxBatchSaves), version(o.version) {
        const FolderRow* inbox = db.FolderByRole("inbox");
        currentFolder = inbox ? inbox->id : 1;
    }

    CStoreDb db;
    std::u16string version;
    std::int64_t currentFolder = 0;
    std::optional<std::u16string> pickAnswer;
    std::vector<std::string> selection;
    std::optional<std::u16string> categoriesAnswer;
    std::vector<std::shared_ptr<CHostApplication::MailRecord>> mails;
};

namespace {

using Ctx = std::shared_ptr<CStoreContext>;
using State = std::shared_ptr<ItemState>;

constexpr const char* kContactIface = "_ContactItem";
constexpr const char* kAppointmentIface = "_AppointmentItem";
constexpr const char* kItemsIface = "_Items";
constexpr const char* kPatternIface = "RecurrencePattern";

const char* IfaceOf(ItemClass cls) {
    return cls == ItemClass::Contact ? kContactIface : cls == ItemClass::Appointment ? kAppointmentIface : "_MailItem";
}

OleDate NowLocal() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return MakeOleDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// Whether CoerceToKind would give the value back unchanged.
bool OfKind(const Value& v, PropKind kind) {
    switch (kind) {
    case PropKind::Text: return v.GetKind() == Value::Kind::Text;
    case PropKind::Date: return v.GetKind() == Value::Kind::Date;
    case PropKind::Int: return v.GetKind() == Value::Kind::Int;
    case PropKind::Bool: return v.GetKind() == Value::Kind::Bool;
    }
    return false;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::int64_t DefaultFolderFor(CStoreDb& db, ItemClass cls) {
    const FolderRow* f = db.FolderByRole(cls == ItemClass::Contact ? "contacts" : "calendar");
    return f ? f->id : 1;
}

// Start-of-day minute and duration of a series.
struct SeriesTimes {
    std::int64_t timeOfDay = 0;  // minutes 0..1439
    int duration = 0;
};

SeriesTimes TimesOf(const ItemData& d) {
    SeriesTimes t;
    const OleDate s = ItemStart(d);
    if (s != kNoDate) {
        const std::int64_t m = OleToMinutes(s);
        t.timeOfDay = m - FloorDiv(m, 1440) * 1440;
    }
    t.duration = ItemDurationMinutes(d);
    return t;
}

const ExceptionData* FindException(const ItemData& d, std::int64_t originalMinute) {
    for (const ExceptionData& e : d.exceptions) {
        if (e.originalMinute == originalMinute) return &e;
    }
    return nullptr;
}

std::int64_t ExceptionStart(const ExceptionData& e, std::int64_t fallback) {
    static const PropKey start = KeyOfName("Start");
    const Value* v = e.props.Find(start);
    return v ? OleToMinutes(v->AsDate()) : fallback;
}

// Occurrences of a series whose start lies in [lo, hi] (minutes), after deleted and
// changed occurrences; at most `cap`. `emit`(original start, exception or null)
// returns false to stop.
void ExpandSeries(const ItemData& d, std::optional<std::int64_t> lo, std::optional<std::int64_t> hi, std::size_t cap,
                  const std::function<bool(std::int64_t, const ExceptionData*)>& emit) {
    if (!d.pattern || ItemStart(d) == kNoDate) return;
    const RecurrenceRule rule = EffectiveRule(d);
    const SeriesTimes t = TimesOf(d);
    std::unordered_map<std::int64_t, const ExceptionData*> exceptions;
    for (const ExceptionData& e : d.exceptions) exceptions[e.originalMinute] = &e;
    const std::int64_t lastDay = hi ? FloorDiv(*hi, 1440) : NoEndDayNumber();
    std::size_t n = 0;
    bool stopped = false;
    ExpandDays(rule, lastDay, [&](std::int64_t day) {
        const std::int64_t original = day * 1440 + t.timeOfDay;
        if (hi && original > *hi) return false;
        if (lo && original < *lo) return true;
        if (exceptions.count(original)) return true;  // handled below
        if (!emit(original, nullptr)) {
            stopped = true;
            return false;
        }
        return ++n < cap;
    });
    if (stopped) return;
    for (const ExceptionData& e : d.exceptions) {
        if (e.deleted || n >= cap) continue;
        const std::int64_t start = ExceptionStart(e, e.originalMinute);
        if ((lo && start < *lo) || (hi && start > *hi)) continue;
        if (!emit(e.originalMinute, &e)) return;
        ++n;
    }
}

// Whether `original` is a scheduled start of the series.
bool IsScheduled(const ItemData& d, std::int64_t original) {
    bool found = false;
    ExpandSeries(d, original, original, 1, [&](std::int64_t o, const ExceptionData* e) {
        if (!e && o == original) found = true;
        return false;
    });
    if (found) return true;
    // ExpandSeries leaves out occurrences with exceptions; a changed one counts too.
    const ExceptionData* e = FindException(d, original);
    if (!e) return false;
    const RecurrenceRule rule = EffectiveRule(d);
    const SeriesTimes t = TimesOf(d);
    const std::int64_t day = FloorDiv(original, 1440);
    if (original != day * 1440 + t.timeOfDay) return false;
    bool inPattern = false;
    ExpandDays(rule, day, [&](std::int64_t dd) {
        if (dd == day) inPattern = true;
        return dd < day;
    });
    return inPattern;
}

// The occurrence as an item of its own: the series' properties, the occurrence's
// times and the changes of its exception.
ItemData OccurrenceView(const ItemData& series, std::int64_t original, const ExceptionData* e) {
    ItemData v;
    v.cls = ItemClass::Appointment;
    v.props = series.props;
    v.mapi = series.mapi;
    v.recipients = series.recipients;
    static const PropKey start = KeyOfName("Start"), end = KeyOfName("End"), duration = KeyOfName("Duration");
    const int minutes = ItemDurationMinutes(series);
    v.props.Put(start) = Value::Date(MinutesToOle(original));
    v.props.Put(end) = Value::Date(MinutesToOle(original + minutes));
    v.props.Erase(duration);
    if (e) {
        for (const auto& [k, val] : e->props) v.props[k] = val;
    }
    return v;
}

std::string Utf8(std::u16string_view s) { return FromHostText(s); }

const HostProperty* FindPropertyFast(ItemClass cls, std::string_view name);

// Property lookup by the exact name first (how callers spell them nearly always),
// then case-insensitively as IDispatch does. Exports read every property of every
// item, so the exact lookup is an open-addressed table with a hash of a few
// characters: the names differ in length and ends, and one compare confirms the hit.
class CExactNames {
public:
    explicit CExactNames(std::span<const HostProperty> table) {
        for (const HostProperty& p : table) {
            const std::string_view n = p.name;
            std::size_t i = Hash(n);
            while (m_slots[i].p != nullptr) i = (i + 1) & kMask;
            m_slots[i] = Slot{&p, n.size()};
        }
    }
    const HostProperty* Find(std::string_view name) const {
        if (name.empty()) return nullptr;
        for (std::size_t i = Hash(name);; i = (i + 1) & kMask) {
            const Slot& s = m_slots[i];
            if (s.p == nullptr) return nullptr;
            if (s.size == name.size() && std::memcmp(s.p->name, name.data(), name.size()) == 0) return s.p;
        }
    }

private:
    static constexpr std::size_t kSlots = 512;  // a few times the largest table: short probes
    static constexpr std::size_t kMask = kSlots - 1;
    static std::size_t Hash(std::string_view n) {
        const std::size_t len = n.size();
        const auto c = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(n[i])); };
        return (len * 0x9E37u ^ c(0) * 131u ^ c(len - 1) * 31u ^ c(len / 2) * 7u ^ c(len * 3 / 4)) & kMask;
    }
    struct Slot {
        const HostProperty* p = nullptr;
        std::size_t size = 0;
    };
    Slot m_slots[kSlots] = {};
};


// ---------------------------------------------------------------------------
// Recipients

class CRecipient : public IRecipient {
public:
    CRecipient(Ctx ctx, State st, std::size_t index) : m_ctx(std::move(ctx)), m_st(std::move(st)), m_index(index) {}
    Value Get(std::string_view property) override {
        m_ctx->db.Enter("Recipient.Get", "Recipient");
        const RecipientData& r = At();
        if (property == "Address") return Value::Text(r.address);
        if (property == "Name") return Value::Text(r.name.empty() ? r.address : r.name);
        if (property == "Type") return Value::Int(r.type);
        throw HostError(kDispEUnknownName, "Recipient", std::string(property));
    }
    void Put(std::string_view property, const Value& value) override {
        m_ctx->db.Enter("Recipient.Put", "Recipient");
        RecipientData& r = At();
        if (property == "Address") r.address = CoerceToKind(value, PropKind::Text, "Recipient").AsText();
        else if (property == "Name") r.name = CoerceToKind(value, PropKind::Text, "Recipient").AsText();
        else if (property == "Type") r.type = CoerceToKind(value, PropKind::Int, "Recipient").AsInt();
        else throw HostError(kDispEUnknownName, "Recipient", std::string(property));
        m_st->saved = false;
    }

private:
    RecipientData& At() {
        if (m_index >= m_st->data.recipients.size()) throw HostError(kDispEBadIndex, "Recipient", "recipient removed");
        return m_st->data.recipients[m_index];
    }
    Ctx m_ctx;
    State m_st;
    std::size_t m_index;
};

class CRecipients : public IRecipients {
public:
    CRecipients(Ctx ctx, State st) : m_ctx(std::move(ctx)), m_st(std::move(st)) {}
    int Count() override { return static_cast<int>(m_st->data.recipients.size()); }
    std::unique_ptr<IRecipient> Item(int index) override {
        m_ctx->db.Enter("Recipients.Item", "Recipients");
        if (index < 1 || index > Count()) throw HostError(kDispEBadIndex, "Recipients", "index out of range");
        return std::make_unique<CRecipient>(m_ctx, m_st, static_cast<std::size_t>(index - 1));
    }
    std::unique_ptr<IRecipient> Add(const std::u16string& name) override {
        m_ctx->db.Enter("Recipients.Add", "Recipients");
        RecipientData r;
        // The host resolves the text later; an address stays the address.
        r.address = name;
        r.name = name;
        r.type = kRecipientRequired;
        m_st->data.recipients.push_back(std::move(r));
        m_st->saved = false;
        return std::make_unique<CRecipient>(m_ctx, m_st, m_st->data.recipients.size() - 1);
    }

private:
    Ctx m_ctx;
    State m_st;
};

// ---------------------------------------------------------------------------
// Occurrences, exceptions and the pattern

class COccurrence : public IItem {
public:
    COccurrence(Ctx ctx, State series, std::int64_t original)
        : m_ctx(std::move(ctx)), m_series(std::move(series)), m_original(original) {
        m_view = OccurrenceView(m_series->data, m_original, FindException(m_series->data, m_original));
    }
    ItemClass Class() override { return ItemClass::Appointment; }
    Value Get(std::string_view property) override {
        m_ctx->db.Enter("Get", kAppointmentIface);
        const HostProperty* p = Find(property);
        if (std::string_view(p->name) == "IsRecurring") return Value::Bool(true);
        if (std::string_view(p->name) == "RecurrenceState")
            return Value::Int(FindException(m_series->data, m_original) || m_changed ? 3 : 2);
        if (std::string_view(p->name) == "EntryID") return Value::Text(ToHostText(EntryId()));
        return ReadProperty(m_view, *p);
    }
    void Put(std::string_view property, const Value& value) override {
        m_ctx->db.Enter("Put", kAppointmentIface);
        const HostProperty* p = Find(property);
        if (p->readOnly) throw HostError(kDispEException, kAppointmentIface, std::string(p->name) + " is read-only");
        WriteProperty(m_view, *p, CoerceToKind(value, p->kind, kAppointmentIface));
        m_changed = true;
    }
    void Save() override {
        m_ctx->db.Enter("Save", kAppointmentIface);
        if (m_deleted) throw HostError(kDispEException, kAppointmentIface, "the occurrence was deleted");
        ItemData& d = m_series->data;
        auto it = std::find_if(d.exceptions.begin(), d.exceptions.end(),
                               [&](const ExceptionData& e) { return e.originalMinute == m_original; });
        if (it == d.exceptions.end() && !m_changed) return;
        ExceptionData e;
        e.originalMinute = m_original;
        // What differs from the series is the exception.
        const ItemData base = OccurrenceView(d, m_original, nullptr);
        for (const auto& [k, v] : m_view.props) {
            const Value* b = base.props.Find(k);
            if (!b || !(*b == v) || k == "Start" || k == "End") e.props[k] = v;
        }
        if (it == d.exceptions.end()) d.exceptions.push_back(std::move(e));
        else *it = std::move(e);
        SaveSeries();
        m_changed = false;
    }
    bool Saved() override { return !m_changed; }
    void Delete() override {
        m_ctx->db.Enter("Delete", kAppointmentIface);
        ItemData& d = m_series->data;
        auto it = std::find_if(d.exceptions.begin(), d.exceptions.end(),
                               [&](const ExceptionData& e) { return e.originalMinute == m_original; });
        ExceptionData e;
        e.originalMinute = m_original;
        e.deleted = true;
        if (it == d.exceptions.end()) d.exceptions.push_back(std::move(e));
        else *it = std::move(e);
        SaveSeries();
        m_deleted = true;
    }
    void Discard() override {
        m_view = OccurrenceView(m_series->data, m_original, FindException(m_series->data, m_original));
        m_changed = false;
    }
    std::string EntryId() override { return m_series->id ? m_ctx->db.EntryIdOf(m_series->id) : std::string(); }
    std::string StoreId() override { return m_ctx->db.StoreId(); }
    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override {
        throw HostError(kDispEException, kAppointmentIface, "an occurrence has no pattern of its own");
    }
    void ClearRecurrencePattern() override {
        throw HostError(kDispEException, kAppointmentIface, "an occurrence has no pattern of its own");
    }
    std::unique_ptr<IRecipients> Recipients() override { return std::make_unique<CRecipients>(m_ctx, m_series); }
    bool ShowCategoriesDialog() override { return false; }

    std::int64_t OriginalMinute() const { return m_original; }

private:
    const HostProperty* Find(std::string_view property) {
        const HostProperty* p = FindPropertyFast(ItemClass::Appointment, property);
        if (!p) throw HostError(kDispEUnknownName, kAppointmentIface, std::string(property));
        return p;
    }
    void SaveSeries() {
        if (m_series->id == 0) throw HostError(kDispEException, kPatternIface, "the appointment is not saved");
        m_ctx->db.SaveItem(m_series);
    }

    Ctx m_ctx;
    State m_series;
    std::int64_t m_original;
    ItemData m_view;
    bool m_changed = false;
    bool m_deleted = false;
};

class CException : public IException {
public:
    CException(Ctx ctx, State st, std::size_t index) : m_ctx(std::move(ctx)), m_st(std::move(st)), m_index(index) {}
    OleDate OriginalDate() override { return MinutesToOle(At().originalMinute); }
    bool Deleted() override { return At().deleted; }
    std::unique_ptr<IItem> AppointmentItem() override {
        if (At().deleted) throw HostError(kDispEException, "Exception", "the occurrence was deleted");
        return std::make_unique<COccurrence>(m_ctx, m_st, At().originalMinute);
    }

private:
    const ExceptionData& At() {
        if (m_index >= m_st->data.exceptions.size()) throw HostError(kDispEBadIndex, "Exception", "exception removed");
        return m_st->data.exceptions[m_index];
    }
    Ctx m_ctx;
    State m_st;
    std::size_t m_index;
};

class CExceptions : public IExceptions {
public:
    CExceptions(Ctx ctx, State st) : m_ctx(std::move(ctx)), m_st(std::move(st)) {}
    int Count() override { return static_cast<int>(m_st->data.exceptions.size()); }
    std::unique_ptr<IException> Item(int index) override {
        m_ctx->db.Enter("Exceptions.Item", "Exceptions");
        if (index < 1 || index > Count()) throw HostError(kDispEBadIndex, "Exceptions", "index out of range");
        return std::make_unique<CException>(m_ctx, m_st, static_cast<std::size_t>(index - 1));
    }

private:
    Ctx m_ctx;
    State m_st;
};

class CPattern : public IRecurrencePattern {
public:
    CPattern(Ctx ctx, State st) : m_ctx(std::move(ctx)), m_st(std::move(st)) {}

    Value Get(std::string_view property) override {
        m_ctx->db.Enter("Pattern.Get", kPatternIface);
        const HostProperty* p = Find(property);
        const ItemData& d = m_st->data;
        const RecurrenceRule r = EffectiveRule(d);
        const std::string_view n = p->name;
        // Only what the property asks for is worked out: a walk over every property of
        // a pattern (as an export makes) would otherwise take the start's date and the
        // series' times apart once for each.
        const auto civil = [&](int& y, int& mo, int& dd) { CivilFromDayNumber(r.startDay, y, mo, dd); };
        int y = 0, mo = 0, dd = 0;
        if (n == "RecurrenceType") return Value::Int(r.type);
        if (n == "Interval") return Value::Int(r.interval);
        if (n == "DayOfWeekMask") {
            if (r.dayOfWeekMask || r.type == kRecursDaily || r.type == kRecursMonthly || r.type == kRecursYearly)
                return Value::Int(r.dayOfWeekMask);
            return Value::Int(1 << WeekdayOfDayNumber(r.startDay));
        }
        if (n == "DayOfMonth") {
            if (r.dayOfMonth || (r.type != kRecursMonthly && r.type != kRecursYearly)) return Value::Int(r.dayOfMonth);
            civil(y, mo, dd);
            return Value::Int(dd);
        }
        if (n == "MonthOfYear") {
            if (r.monthOfYear || (r.type != kRecursYearly && r.type != kRecursYearNth)) return Value::Int(r.monthOfYear);
            civil(y, mo, dd);
            return Value::Int(mo);
        }
        if (n == "Instance") {
            if (r.instance || (r.type != kRecursMonthNth && r.type != kRecursYearNth)) return Value::Int(r.instance);
            civil(y, mo, dd);
            return Value::Int(std::min((dd - 1) / 7 + 1, 5));
        }
        if (n == "NoEndDate") return Value::Bool(r.end == PatternEnd::None);
        if (n == "Occurrences") {
            if (r.end == PatternEnd::Count) return Value::Int(r.occurrences);
            if (r.end == PatternEnd::Date) return Value::Int(CountUntil(r));
            return Value::Int(0);
        }
        if (n == "PatternStartDate") return Value::Date(static_cast<double>(r.startDay));
        if (n == "PatternEndDate") {
            if (r.end == PatternEnd::Count) return Value::Date(static_cast<double>(LastDayOfCount(r)));
            if (r.end == PatternEnd::Date) return Value::Date(static_cast<double>(r.endDay));
            return Value::Date(kNoDate);
        }
        const SeriesTimes t = TimesOf(d);
        if (n == "StartTime") return Value::Date(MinutesToOle(t.timeOfDay));
        if (n == "EndTime") return Value::Date(MinutesToOle((t.timeOfDay + t.duration) % 1440));
        if (n == "Duration") return Value::Int(t.duration);
        return DefaultValue(*p);
    }

    void Put(std::string_view property, const Value& value) override {
        m_ctx->db.Enter("Pattern.Put", kPatternIface);
        const HostProperty* p = Find(property);
        const Value v = CoerceToKind(value, p->kind, kPatternIface);
        ItemData& d = m_st->data;
        if (!d.pattern) d.pattern = DefaultRule(d);
        RecurrenceRule& r = *d.pattern;
        const std::string_view n = p->name;
        const SeriesTimes t = TimesOf(d);
        const RecurrenceRule eff = EffectiveRule(d);
        auto putStart = [&](std::int64_t day, std::int64_t timeOfDay) {
            const HostProperty* sp = FindItemProperty(ItemClass::Appointment, "Start");
            WriteProperty(d, *sp, Value::Date(MinutesToOle(day * 1440 + timeOfDay)));
        };
        if (n == "RecurrenceType") {
            const int type = v.AsInt();
            if (type != 0 && type != 1 && type != 2 && type != 3 && type != 5 && type != 6)
                throw HostError(kEInvalidArg, kPatternIface, "unknown recurrence type");
            if (type != r.type) {
                // A new type starts from that type's defaults.
                r.type = type;
                r.interval = 1;
                r.dayOfWeekMask = type == kRecursDaily ? 0 : 1 << WeekdayOfDayNumber(eff.startDay);
                r.dayOfMonth = 0;
                r.monthOfYear = 0;
                r.instance = 0;
            }
        } else if (n == "Interval") {
            if (v.AsInt() < 0) throw HostError(kEInvalidArg, kPatternIface, "negative interval");
            r.interval = v.AsInt();
        } else if (n == "DayOfWeekMask") {
            if (v.AsInt() < 0 || v.AsInt() > 127) throw HostError(kEInvalidArg, kPatternIface, "day mask out of range");
            r.dayOfWeekMask = v.AsInt();
        } else if (n == "DayOfMonth") {
            if (v.AsInt() < 0 || v.AsInt() > 31) throw HostError(kEInvalidArg, kPatternIface, "day out of range");
            r.dayOfMonth = v.AsInt();
        } else if (n == "MonthOfYear") {
            if (v.AsInt() < 0 || v.AsInt() > 12) throw HostError(kEInvalidArg, kPatternIface, "month out of range");
            r.monthOfYear = v.AsInt();
        } else if (n == "Instance") {
            if (v.AsInt() < 0 || v.AsInt() > 5) throw HostError(kEInvalidArg, kPatternIface, "instance out of range");
            r.instance = v.AsInt();
        } else if (n == "NoEndDate") {
            if (v.AsBool()) {
                r.end = PatternEnd::None;
            } else if (r.end == PatternEnd::None) {
                r.end = PatternEnd::Count;
                r.occurrences = 10;
            }
        } else if (n == "Occurrences") {
            if (v.AsInt() < 1 || v.AsInt() > 999) throw HostError(kEInvalidArg, kPatternIface, "occurrences out of range");
            r.end = PatternEnd::Count;
            r.occurrences = v.AsInt();
        } else if (n == "PatternEndDate") {
            if (v.AsDate() >= kNoDate) {
                r.end = PatternEnd::None;
            } else {
                r.end = PatternEnd::Date;
                r.endDay = static_cast<std::int64_t>(std::floor(v.AsDate()));
            }
        } else if (n == "PatternStartDate") {
            putStart(static_cast<std::int64_t>(std::floor(v.AsDate())), t.timeOfDay);
        } else if (n == "StartTime") {
            const std::int64_t m = OleToMinutes(v.AsDate());
            putStart(eff.startDay, m - FloorDiv(m, 1440) * 1440);
        } else if (n == "EndTime") {
            const std::int64_t m = OleToMinutes(v.AsDate());
            const std::int64_t end = m - FloorDiv(m, 1440) * 1440;
            const HostProperty* dp = FindItemProperty(ItemClass::Appointment, "Duration");
            WriteProperty(d, *dp, Value::Int(static_cast<std::int32_t>(((end - t.timeOfDay) % 1440 + 1440) % 1440)));
        } else if (n == "Duration") {
            const HostProperty* dp = FindItemProperty(ItemClass::Appointment, "Duration");
            WriteProperty(d, *dp, v);
        }
        m_st->saved = false;
    }

    std::unique_ptr<IExceptions> Exceptions() override { return std::make_unique<CExceptions>(m_ctx, m_st); }

    std::unique_ptr<IItem> GetOccurrence(OleDate start) override {
        m_ctx->db.Enter("GetOccurrence", kPatternIface);
        const ItemData& d = m_st->data;
        if (!d.pattern) throw HostError(kDispEException, kPatternIface, "the appointment is not recurring");
        const std::int64_t m = OleToMinutes(start);
        // A changed occurrence is found at its new start.
        for (const ExceptionData& e : d.exceptions) {
            if (!e.deleted && ExceptionStart(e, e.originalMinute) == m)
                return std::make_unique<COccurrence>(m_ctx, m_st, e.originalMinute);
        }
        std::vector<std::int64_t> tries{m};
        // A date without a time finds that day's occurrence.
        if (m - FloorDiv(m, 1440) * 1440 == 0) tries.push_back(m + TimesOf(d).timeOfDay);
        for (std::int64_t original : tries) {
            const ExceptionData* e = FindException(d, original);
            if (e) continue;  // deleted, or moved away from here
            if (IsScheduled(d, original)) return std::make_unique<COccurrence>(m_ctx, m_st, original);
        }
        throw HostError(kDispEException, kPatternIface, "no occurrence at that date");
    }

private:
    const HostProperty* Find(std::string_view property) {
        static const CExactNames exact(RecurrencePatternProperties());
        const HostProperty* p = exact.Find(property);
        if (!p) p = FindProperty(RecurrencePatternProperties(), property);
        if (!p) throw HostError(kDispEUnknownName, kPatternIface, std::string(property));
        return p;
    }
    Ctx m_ctx;
    State m_st;
};

// ---------------------------------------------------------------------------
// Items

const HostProperty* FindPropertyFast(ItemClass cls, std::string_view name) {
    static const CExactNames contacts(ContactProperties());
    static const CExactNames appointments(AppointmentProperties());
    const CExactNames* table = cls == ItemClass::Contact ? &contacts : cls == ItemClass::Appointment ? &appointments : nullptr;
    if (table != nullptr) {
        if (const HostProperty* p = table->Find(name)) return p;
    }
    return FindItemProperty(cls, name);
}

// The table row of a name resolved for a loop's reads, looked up on the first read
// and kept in the name's PropertyRef for the items of the same class after it.
const HostProperty* ResolveProperty(PropertyRef& ref, ItemClass cls, const char* iface) {
    static const char kResolver = 0;
    if (ref.resolvedBy == &kResolver && ref.resolvedClass == static_cast<int>(cls))
        return static_cast<const HostProperty*>(ref.resolved);
    const HostProperty* p = FindPropertyFast(cls, ref.name);
    if (!p) throw HostError(kDispEUnknownName, iface, std::string(ref.name));
    ref.resolvedBy = &kResolver;
    ref.resolved = p;
    ref.resolvedId = KeyOf(*p);
    ref.resolvedClass = static_cast<int>(cls);
    return p;
}

class CItem : public IItem {
public:
    CItem(Ctx ctx, State st) : m_ctx(std::move(ctx)), m_st(std::move(st)) {}

    ItemClass Class() override {
        CheckReadable();
        return m_st->data.cls;
    }

    Value Get(std::string_view property) override { return GetOf(*m_ctx, *m_st, property); }

    // Get on the item of `st`, for the item itself and for the safe item that reads it
    // (without an object of its own for every property).
    static Value GetOf(CStoreContext& ctx, const ItemState& st, std::string_view property) {
        const char* iface = IfaceOf(st.data.cls);
        ctx.db.Enter("Get", iface);
        CheckReadable(st);
        const HostProperty* p = FindPropertyFast(st.data.cls, property);
        if (!p) throw HostError(kDispEUnknownName, iface, std::string(property));
        if (p->readOnly && std::string_view(p->name) == "EntryID")
            return Value::Text(ToHostText(st.id ? ctx.db.EntryIdOf(st.id) : std::string()));
        return ReadProperty(st.data, *p);
    }

    void GetText(PropertyRef& property, std::u16string& out) override { GetTextOf(*m_ctx, *m_st, property, out); }

    // GetText on the item of `st`, for the item itself and for the safe item.
    static void GetTextOf(CStoreContext& ctx, const ItemState& st, PropertyRef& property, std::u16string& out) {
        const char* iface = IfaceOf(st.data.cls);
        ctx.db.Enter("Get", iface);
        CheckReadable(st);
        const HostProperty* p = ResolveProperty(property, st.data.cls, iface);
        if (p->readOnly && std::string_view(p->name) == "EntryID") {
            out = ToHostText(st.id ? ctx.db.EntryIdOf(st.id) : std::string());
            return;
        }
        ReadPropertyText(st.data, *p, static_cast<PropKey>(property.resolvedId), out);
    }

    void Put(std::string_view property, const Value& value) override {
        m_ctx->db.Enter("Put", Iface());
        CheckReadable();
        PutProperty(*Find(property), value);
    }

    // Put with the name's table entry kept in `property` for the items of its class
    // after this one: a fill loop looks each name up once per run, not once per item.
    void PutByRef(PropertyRef& property, const Value& value) override {
        m_ctx->db.Enter("Put", Iface());
        CheckReadable();
        PutProperty(*ResolveProperty(property, m_st->data.cls, Iface()), value);
    }

    void Save() override {
        m_ctx->db.Enter("Save", Iface());
        CheckReadable();
        ItemState& s = *m_st;
        if (s.gone) throw HostError(kMapiENotFound, Iface(), "the item was deleted");
        if (s.folderId == 0) s.folderId = DefaultFolderFor(m_ctx->db, s.data.cls);
        ItemData& d = s.data;
        if (d.cls == ItemClass::Appointment && d.pattern && ItemStart(d) != kNoDate) {
            // The series starts on its first occurrence, as the host moves it there.
            const RecurrenceRule r = EffectiveRule(d);
            const std::int64_t first = FirstOccurrenceDay(r, NoEndDayNumber());
            if (first >= 0 && first != r.startDay) {
                const OleDate start = ItemStart(d);
                const int duration = ItemDurationMinutes(d);
                const OleDate moved = start + static_cast<double>(first - r.startDay);
                d.props["Start"] = Value::Date(moved);
                d.props["End"] = Value::Date(moved + duration / 1440.0);
            }
        }
        static const PropKey created = KeyOfName("CreationTime"), modified = KeyOfName("LastModificationTime");
        const OleDate now = NowLocal();
        if (s.id == 0) d.props.Put(created) = Value::Date(now);
        if (!s.lastModifiedPut) d.props.Put(modified) = Value::Date(now);
        m_ctx->db.SaveItem(m_st);
        s.lastModifiedPut = false;
    }

    bool Saved() override { return m_st->saved; }

    void Delete() override {
        m_ctx->db.Enter("Delete", Iface());
        ItemState& s = *m_st;
        if (s.gone) throw HostError(kMapiENotFound, Iface(), "the item was deleted");
        if (s.id == 0) {
            s.gone = true;
            return;
        }
        const FolderRow* deleted = m_ctx->db.FolderByRole("deleted");
        if (!deleted || s.folderId == deleted->id) m_ctx->db.RemoveItem(s);
        else m_ctx->db.MoveItem(s, deleted->id);
    }

    void Discard() override {
        ItemState& s = *m_st;
        if (s.saved || s.gone) return;
        if (s.id == 0) {
            s.gone = true;
            return;
        }
        // Back to what is stored.
        m_ctx->db.ReloadItem(s);
    }

    std::string EntryId() override { return m_st->id ? m_ctx->db.EntryIdOf(m_st->id) : std::string(); }
    std::string StoreId() override { return m_ctx->db.StoreId(); }

    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override {
        m_ctx->db.Enter("GetRecurrencePattern", Iface());
        RequireAppointment("GetRecurrencePattern");
        return std::make_unique<CPattern>(m_ctx, m_st);
    }

    void ClearRecurrencePattern() override {
        RequireAppointment("ClearRecurrencePattern");
        m_st->data.pattern.reset();
        m_st->data.exceptions.clear();
        m_st->saved = false;
    }

    std::unique_ptr<IRecipients> Recipients() override {
        RequireAppointment("Recipients");
        return std::make_unique<CRecipients>(m_ctx, m_st);
    }

    bool ShowCategoriesDialog() override {
        if (!m_ctx->categoriesAnswer) return false;
        Put("Categories", Value::Text(*m_ctx->categoriesAnswer));
        return true;
    }

    const State& StatePtr() const { return m_st; }
    const Ctx& Context() const { return m_ctx; }

private:
    const char* Iface() const { return IfaceOf(m_st->data.cls); }
    // A damaged item can only be deleted.
    void CheckReadable() const { CheckReadable(*m_st); }
    static void CheckReadable(const ItemState& st) {
        if (st.damaged)
            throw HostError(kMapiECorruptData, "_Items", "damaged item " + std::to_string(st.id) + " in the store");
    }
    // Put of a property already found in the item class's table.
    void PutProperty(const HostProperty& prop, const Value& value) {
        const HostProperty* p = &prop;
        if (p->readOnly) throw HostError(kDispEException, Iface(), std::string(p->name) + " is read-only");
        // A value of the property's own type goes in as it is: no coerced copy first.
        if (OfKind(value, p->kind)) WriteProperty(m_st->data, *p, value);
        else WriteProperty(m_st->data, *p, CoerceToKind(value, p->kind, Iface()));
        // Known by its entry in the class's table, without a compare of every name put.
        static const HostProperty* const contactModified = FindPropertyFast(ItemClass::Contact, "LastModificationTime");
        static const HostProperty* const eventModified = FindPropertyFast(ItemClass::Appointment, "LastModificationTime");
        if (p == contactModified || p == eventModified) m_st->lastModifiedPut = true;
        m_st->saved = false;
    }

    const HostProperty* Find(std::string_view property) {
        const HostProperty* p = FindPropertyFast(m_st->data.cls, property);
        if (!p) throw HostError(kDispEUnknownName, Iface(), std::string(property));
        return p;
    }
    void RequireAppointment(const char* what) {
        if (m_st->data.cls != ItemClass::Appointment) throw HostError(kDispEUnknownName, Iface(), what);
    }

    Ctx m_ctx;
    State m_st;
};

// One entry of a collection: an item, or one occurrence of a series.
struct Entry {
    ItemKey key;
    bool occurrence = false;
    std::int64_t original = 0;
    State state;  // loaded on demand for plain entries
};

class CItems : public IItems {
public:
    CItems(Ctx ctx, std::int64_t folderId) : m_ctx(std::move(ctx)), m_folderId(folderId) {}

    int Count() override {
        m_ctx->db.Enter("Items.Count", kItemsIface);
        if (m_filters.empty() && !Expands() && m_sort.empty()) return static_cast<int>(m_ctx->db.CountItems(m_folderId));
        Refresh();
        return static_cast<int>(m_entries.size());
    }

    std::unique_ptr<IItem> Item(int index) override {
        m_ctx->db.Enter("Items.Item", kItemsIface);
        if (Plain() && !m_listed) return Paged(index);
        Refresh();
        if (index < 1 || static_cast<std::size_t>(index) > m_entries.size())
            throw HostError(kDispEBadIndex, kItemsIface, "index out of range");
        return Make(m_entries[static_cast<std::size_t>(index - 1)]);
    }

    std::unique_ptr<IItems> Restrict(const std::u16string& filter) override {
        m_ctx->db.Enter("Restrict", kItemsIface);
        auto parsed = std::make_shared<const CRestrictFilter>(CRestrictFilter::Parse(filter, m_ctx->db.ShortDatePicture()));
        auto r = std::make_unique<CItems>(m_ctx, m_folderId);
        r->m_filters = m_filters;
        r->m_filters.push_back(std::move(parsed));
        r->m_sort = m_sort;
        r->m_descending = m_descending;
        r->m_includeRecurrences = m_includeRecurrences;
        return r;
    }

    std::unique_ptr<IItem> Add(ItemType type) override {
        m_ctx->db.Enter("Add", kItemsIface);
        const FolderRow* f = m_ctx->db.Folder(m_folderId);
        if (type == ItemType::Mail) throw HostError(kENotImpl, kItemsIface, "mail items are not kept by this store");
        const int wanted = type == ItemType::Contact ? kFolderContact : kFolderAppointment;
        if (!f || (f->itemType != wanted && f->itemType != kFolderMail))
            throw HostError(kDispEException, kItemsIface, "the folder does not hold items of this type");
        auto st = NewItemState();
        st->folderId = m_folderId;
        st->data.cls = type == ItemType::Contact ? ItemClass::Contact : ItemClass::Appointment;
        return std::make_unique<CItem>(m_ctx, std::move(st));
    }

    void Sort(const std::u16string& property, bool descending) override {
        m_ctx->db.Enter("Sort", kItemsIface);
        std::string name = Utf8(property);
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
        const HostProperty* p = FindProperty(AppointmentProperties(), name);
        if (!p) p = FindProperty(ContactProperties(), name);
        if (!p) throw HostError(kDispEException, kItemsIface, "cannot sort by \"" + name + "\"");
        m_sort = p->name;
        m_descending = descending;
        m_generation = ~0ull;
    }

    void SetIncludeRecurrences(bool include) override {
        m_ctx->db.Enter("IncludeRecurrences", kItemsIface);
        m_includeRecurrences = include;
        m_generation = ~0ull;
    }
    bool IncludeRecurrences() override { return m_includeRecurrences; }

    std::unique_ptr<IItem> GetFirst() override {
        m_ctx->db.Enter("GetFirst", kItemsIface);
        Refresh();
        m_cursor = 0;
        return Next();
    }

    std::unique_ptr<IItem> GetNext() override {
        m_ctx->db.Enter("GetNext", kItemsIface);
        if (m_generation == ~0ull) Refresh();
        return Next();
    }

private:
    bool Expands() const { return m_includeRecurrences && m_sort == "Start"; }
    // The folder's items in creation order, nothing left out, nothing added.
    bool Plain() const { return m_filters.empty() && m_sort.empty() && !Expands(); }

    // Item(index) of a plain collection that has not been walked with GetFirst: from
    // a page of kLoadBatch entries read from the store, the next page found after the
    // last entry's place, so that a walk from 1 to Count holds one page, not a list of
    // the whole folder. Another index, or a change of the folder since, reads the page
    // at that index.
    std::unique_ptr<IItem> Paged(int index) {
        CStoreDb& db = m_ctx->db;
        if (index < 1) throw HostError(kDispEBadIndex, kItemsIface, "index out of range");
        const std::size_t i = static_cast<std::size_t>(index - 1);
        if (m_page.generation != db.Generation() || i < m_page.start || i >= m_page.start + m_page.keys.size()) {
            const bool next = m_page.generation == db.Generation() && !m_page.keys.empty() &&
                              i == m_page.start + m_page.keys.size();
            std::vector<ItemKey> keys = next ? db.ItemIdsAfter(m_folderId, m_page.keys.back(), CStoreDb::kLoadBatch)
                                             : db.ItemIdsAt(m_folderId, i, CStoreDb::kLoadBatch);
            if (keys.empty()) throw HostError(kDispEBadIndex, kItemsIface, "index out of range");
            std::vector<std::int64_t> ids;
            ids.reserve(keys.size());
            for (const ItemKey& k : keys) ids.push_back(k.id);
            std::vector<State> states;
            db.LoadItems(ids, states);  // a damaged item throws here and leaves the page as it was
            m_page = Page{db.Generation(), i, std::move(keys), std::move(states)};
        }
        State st = m_page.states[i - m_page.start];
        if (!st || st->gone) throw HostError(kMapiENotFound, kItemsIface, "the item no longer exists");
        return std::make_unique<CItem>(m_ctx, std::move(st));
    }

    std::unique_ptr<IItem> Next() {
        if (m_cursor >= m_entries.size()) return nullptr;
        return Make(m_entries[m_cursor++]);
    }

    std::unique_ptr<IItem> Make(Entry& e) {
        // A plain entry does not keep its item loaded: a walk over a large folder would
        // otherwise hold every item it has passed (and make each load slower).
        State st = e.state ? e.state : Preloaded(e);
        if (!st || st->gone) throw HostError(kMapiENotFound, kItemsIface, "the item no longer exists");
        if (e.occurrence) {
            e.state = st;
            return std::make_unique<COccurrence>(m_ctx, st, e.original);
        }
        return std::make_unique<CItem>(m_ctx, std::move(st));
    }

    // A plain entry's item from a window of items loaded together with the entries
    // after it, so a walk from 1 to Count costs one query per window. The window holds
    // at most CStoreDb::kLoadBatch items.
    State Preloaded(const Entry& e) {
        const std::size_t index = static_cast<std::size_t>(&e - m_entries.data());
        if (m_windowGeneration == m_generation && index >= m_windowStart &&
            index < m_windowStart + m_window.size() && m_window[index - m_windowStart])
            return m_window[index - m_windowStart];
        std::vector<std::int64_t> ids;
        for (std::size_t i = index; i < m_entries.size() && ids.size() < CStoreDb::kLoadBatch; ++i) {
            if (m_entries[i].occurrence || m_entries[i].state) break;
            ids.push_back(m_entries[i].key.id);
        }
        if (ids.size() <= 1) return m_ctx->db.LoadItem(e.key.id);
        m_ctx->db.LoadItems(ids, m_window);
        m_windowStart = index;
        m_windowGeneration = m_generation;
        return m_window[0];
    }

    // Candidates from the store's indexes for one filter node; nullopt = scan.
    std::optional<std::vector<ItemKey>> Candidates(const FilterNode& n, int folderType) {
        using K = FilterNode::Kind;
        if (n.kind == K::Compare) {
            const std::string_view name = n.property->name;
            if (n.op == CompareOp::Eq && folderType == kFolderContact && (name == "FullName" || name == "CompanyName"))
                return m_ctx->db.ItemIdsByText(m_folderId, name == "FullName" ? "fullname" : "company", FoldKey(n.text));
            if (n.op == CompareOp::Eq && folderType == kFolderAppointment && name == "Subject" && !Expands())
                return m_ctx->db.ItemIdsByText(m_folderId, "subject", FoldKey(n.text));
            if (folderType == kFolderAppointment && name == "Start" && n.op != CompareOp::Ne) {
                CRestrictFilter::Range r;
                switch (n.op) {
                case CompareOp::Eq: r.lo = r.hi = n.number; break;
                case CompareOp::Ge: r.lo = n.number; break;
                case CompareOp::Gt: r.lo = n.number + 1; break;
                case CompareOp::Le: r.hi = n.number; break;
                case CompareOp::Lt: r.hi = n.number - 1; break;
                default: break;
                }
                return m_ctx->db.ItemIdsByStart(m_folderId, r.lo, r.hi, Expands());
            }
            return std::nullopt;
        }
        if (n.kind == K::And) {
            // The most selective indexed condition: text equality before a date range,
            // which is looked up only when no other condition is indexed (an event's
            // duplicate search names both, and the range's ids would go unused).
            const auto isStart = [](const FilterNode& c) {
                return c.kind == K::Compare && std::string_view(c.property->name) == "Start";
            };
            for (const FilterNode& c : n.children) {
                if (isStart(c)) continue;
                auto got = Candidates(c, folderType);
                if (got) return got;
            }
            for (const FilterNode& c : n.children) {
                if (!isStart(c)) continue;
                auto got = Candidates(c, folderType);
                if (got) return got;
            }
            return std::nullopt;
        }
        if (n.kind == K::Or) {
            std::vector<ItemKey> all;
            for (const FilterNode& c : n.children) {
                auto got = Candidates(c, folderType);
                if (!got) return std::nullopt;
                all.insert(all.end(), got->begin(), got->end());
            }
            std::sort(all.begin(), all.end());
            all.erase(std::unique(all.begin(), all.end()), all.end());
            return all;
        }
        return std::nullopt;
    }

    bool MatchesAll(const ItemData& d) const {
        for (const auto& f : m_filters) {
            const bool ok = f->Matches([&](const HostProperty& p) {
                const HostProperty* own = FindPropertyFast(d.cls, p.name);
                return own ? ReadProperty(d, *own) : DefaultValue(p);
            });
            if (!ok) return false;
        }
        return true;
    }

    // True when the filters are one equality on a text column the store indexes, and
    // the index's key (the folded text as UTF-8) stands for the literal alone: without
    // surrogates or U+FFFD, which the key has in place of a lone surrogate.
    bool IndexDecides(int folderType) const {
        if (m_filters.size() != 1 || !m_sort.empty() || Expands()) return false;
        const FilterNode& n = m_filters[0]->Root();
        if (n.kind != FilterNode::Kind::Compare || n.op != CompareOp::Eq) return false;
        const std::string_view name = n.property->name;
        const bool indexed = folderType == kFolderContact ? name == "FullName" || name == "CompanyName"
                                                          : folderType == kFolderAppointment && name == "Subject";
        if (!indexed) return false;
        return std::none_of(n.text.begin(), n.text.end(),
                            [](char16_t c) { return (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFD; });
    }

    void Refresh() {
        m_listed = true;
        if (m_generation == m_ctx->db.Generation()) return;
        m_generation = m_ctx->db.Generation();
        m_entries.clear();
        m_window.clear();
        m_cursor = 0;
        CStoreDb& db = m_ctx->db;
        const FolderRow* folder = db.Folder(m_folderId);
        const int folderType = folder && folder->role != "deleted" ? folder->itemType : -1;

        std::optional<std::vector<ItemKey>> keys;
        for (const auto& f : m_filters) {
            keys = Candidates(f->Root(), folderType);
            if (keys) break;
        }
        if (!keys) keys = db.ItemIds(m_folderId);
        if (Plain()) {
            for (const ItemKey& k : *keys) m_entries.push_back(Entry{k, false, 0, nullptr});
            return;
        }
        if (IndexDecides(folderType)) {
            // The index found exactly the matching items as saved: none is loaded (Count
            // needs none of them), except items with unsaved changes, whose state is
            // what the filter tests, as for any other filter.
            for (const ItemKey& k : *keys) {
                State open = db.OpenItem(k.id);
                if (!open || open->saved) {
                    m_entries.push_back(Entry{k, false, 0, nullptr});
                } else if (open->folderId == m_folderId && MatchesAll(open->data)) {
                    m_entries.push_back(Entry{k, false, 0, std::move(open)});
                }
            }
            return;
        }

        CRestrictFilter::Range range;
        for (const auto& f : m_filters) {
            const CRestrictFilter::Range r = f->StartRange();
            if (r.lo && (!range.lo || *r.lo > *range.lo)) range.lo = r.lo;
            if (r.hi && (!range.hi || *r.hi < *range.hi)) range.hi = r.hi;
        }
        const std::size_t cap = kMaxRecurrenceEntries;
        for (const ItemKey& k : *keys) {
            State st = db.LoadItem(k.id);
            if (!st || st->folderId != m_folderId) continue;
            if (st->damaged) {
                // What it holds cannot be tested: it is given, and fails where it is used,
                // so that whoever reads it can tell (a duplicate search, a dump).
                m_entries.push_back(Entry{k, false, 0, st});
                continue;
            }
            const ItemData& d = st->data;
            if (Expands() && d.cls == ItemClass::Appointment && d.pattern) {
                ExpandSeries(d, range.lo, range.hi, cap, [&](std::int64_t original, const ExceptionData* e) {
                    if (!m_filters.empty() && !MatchesAll(OccurrenceView(d, original, e))) return true;
                    m_entries.push_back(Entry{k, true, original, st});
                    return m_entries.size() < cap;
                });
            } else if (MatchesAll(d)) {
                m_entries.push_back(Entry{k, false, 0, st});
            }
            if (Expands() && m_entries.size() >= cap) break;
        }
        if (!m_sort.empty()) SortEntries();
    }

    void SortEntries() {
        const std::string name = m_sort;
        struct Keyed {
            Value v;
            std::size_t index;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(m_entries.size());
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            const Entry& e = m_entries[i];
            const ItemData* d = &e.state->data;
            ItemData view;
            if (e.occurrence) {
                view = OccurrenceView(*d, e.original, FindException(*d, e.original));
                d = &view;
            }
            const HostProperty* p = FindItemProperty(d->cls, name);
            Value v = p ? ReadProperty(*d, *p) : Value();
            if (v.GetKind() == Value::Kind::Text) v = Value::Text(FoldCase(v.AsText()));
            keyed.push_back(Keyed{std::move(v), i});
        }
        auto less = [](const Value& a, const Value& b) {
            if (a.GetKind() != b.GetKind()) return a.GetKind() < b.GetKind();
            switch (a.GetKind()) {
            case Value::Kind::Date: return OleToMinutes(a.AsDate()) < OleToMinutes(b.AsDate());
            case Value::Kind::Int:
            case Value::Kind::Bool: return a.AsInt() < b.AsInt();
            case Value::Kind::Text: return a.AsText() < b.AsText();
            default: return false;
            }
        };
        const bool desc = m_descending;
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&](const Keyed& a, const Keyed& b) { return desc ? less(b.v, a.v) : less(a.v, b.v); });
        std::vector<Entry> sorted;
        sorted.reserve(m_entries.size());
        for (const Keyed& k : keyed) sorted.push_back(std::move(m_entries[k.index]));
        m_entries = std::move(sorted);
    }

    Ctx m_ctx;
    std::int64_t m_folderId;
    std::vector<std::shared_ptr<const CRestrictFilter>> m_filters;
    std::string m_sort;
    bool m_descending = false;
    bool m_includeRecurrences = false;
    std::vector<Entry> m_entries;
    std::size_t m_cursor = 0;
    std::uint64_t m_generation = ~0ull;
    std::vector<State> m_window;  // items of entries m_windowStart.. loaded together
    std::size_t m_windowStart = 0;
    std::uint64_t m_windowGeneration = ~0ull;
    bool m_listed = false;  // m_entries is in use (GetFirst, GetNext, a filter or a sort)
    struct Page {
        std::uint64_t generation = ~0ull;
        std::size_t start = 0;  // index of keys[0]
        std::vector<ItemKey> keys;
        std::vector<State> states;
    };
    Page m_page;  // Item(index) of a plain collection
};

// ---------------------------------------------------------------------------
// Folders, explorer, namespace, mail

class CFolder;

class CFolders : public IFolders {
public:
    CFolders(Ctx ctx, std::int64_t parentId) : m_ctx(std::move(ctx)), m_parentId(parentId) {}
    int Count() override { return static_cast<int>(Children().size()); }
    std::unique_ptr<IFolder> Item(int index) override;
    std::unique_ptr<IFolder> Add(const std::u16string& name, int defaultItemType) override;

private:
    std::vector<std::int64_t> Children() {
        std::vector<std::int64_t> ids;
        for (const FolderRow& f : m_ctx->db.Folders()) {
            if (f.parentId == m_parentId && f.id != m_parentId) ids.push_back(f.id);
        }
        return ids;
    }
    Ctx m_ctx;
    std::int64_t m_parentId;
};

class CFolder : public IFolder {
public:
    CFolder(Ctx ctx, std::int64_t id) : m_ctx(std::move(ctx)), m_id(id) {}
    int DefaultItemType() override { return Row().itemType; }
    std::u16string Name() override {
        m_ctx->db.Enter("Folder.Name", "MAPIFolder");
        return Row().name;
    }
    std::unique_ptr<IFolder> Parent() override {
        m_ctx->db.Enter("Folder.Parent", "MAPIFolder");
        const FolderRow& r = Row();
        if (r.parentId == 0) return nullptr;
        return std::make_unique<CFolder>(m_ctx, r.parentId);
    }
    std::unique_ptr<IItems> Items() override {
        m_ctx->db.Enter("Folder.Items", "MAPIFolder");
        Row();
        return std::make_unique<CItems>(m_ctx, m_id);
    }
    std::unique_ptr<IFolders> Folders() override { return std::make_unique<CFolders>(m_ctx, m_id); }
    std::string EntryId() override {
        char buf[24];
        std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(m_id));
        return "00000001" + m_ctx->db.StoreId() + buf;
    }
    std::string StoreId() override { return m_ctx->db.StoreId(); }
    std::int64_t Id() const { return m_id; }

private:
    const FolderRow& Row() {
        const FolderRow* r = m_ctx->db.Folder(m_id);
        if (!r) throw HostError(kMapiENotFound, "MAPIFolder", "the folder no longer exists");
        return *r;
    }
    Ctx m_ctx;
    std::int64_t m_id;
};

std::unique_ptr<IFolder> CFolders::Item(int index) {
    m_ctx->db.Enter("Folders.Item", "_Folders");
    const auto ids = Children();
    if (index < 1 || static_cast<std::size_t>(index) > ids.size()) throw HostError(kDispEBadIndex, "_Folders", "index out of range");
    return std::make_unique<CFolder>(m_ctx, ids[static_cast<std::size_t>(index - 1)]);
}

std::unique_ptr<IFolder> CFolders::Add(const std::u16string& name, int defaultItemType) {
    m_ctx->db.Enter("Folders.Add", "_Folders");
    if (m_parentId == 0) throw HostError(kEAccessDenied, "_Folders", "stores cannot be added here");
    if (name.empty() || name.find(u'\\') != std::u16string::npos)
        throw HostError(kEInvalidArg, "_Folders", "invalid folder name");
    for (const FolderRow& f : m_ctx->db.Folders()) {
        if (f.parentId == m_parentId && FoldCase(f.name) == FoldCase(name))
            throw HostError(kDispEException, "_Folders", "a folder of that name exists");
    }
    if (defaultItemType != kFolderMail && defaultItemType != kFolderAppointment && defaultItemType != kFolderContact)
        throw HostError(kEInvalidArg, "_Folders", "unknown folder type");
    return std::make_unique<CFolder>(m_ctx, m_ctx->db.AddFolder(m_parentId, name, defaultItemType));
}

class CSelection : public ISelection {
public:
    CSelection(Ctx ctx) : m_ctx(std::move(ctx)) {}
    int Count() override { return static_cast<int>(m_ctx->selection.size()); }
    std::unique_ptr<IItem> Item(int index) override {
        if (index < 1 || index > Count()) throw HostError(kDispEBadIndex, "Selection", "index out of range");
        const std::int64_t id = m_ctx->db.ItemIdOfEntryId(m_ctx->selection[static_cast<std::size_t>(index - 1)]);
        State st = id ? m_ctx->db.LoadItem(id) : nullptr;
        if (!st) throw HostError(kMapiENotFound, "Selection", "the item no longer exists");
        return std::make_unique<CItem>(m_ctx, st);
    }

private:
    Ctx m_ctx;
};

class CExplorer : public IExplorer {
public:
    explicit CExplorer(Ctx ctx) : m_ctx(std::move(ctx)) {}
    std::unique_ptr<IFolder> CurrentFolder() override {
        if (!m_ctx->db.Folder(m_ctx->currentFolder)) return nullptr;
        return std::make_unique<CFolder>(m_ctx, m_ctx->currentFolder);
    }
    void SetCurrentFolder(IFolder& folder) override {
        auto* f = dynamic_cast<CFolder*>(&folder);
        if (!f) throw HostError(kEInvalidArg, "_Explorer", "not a folder of this host");
        m_ctx->currentFolder = f->Id();
    }
    std::unique_ptr<ISelection> Selection() override { return std::make_unique<CSelection>(m_ctx); }
    void Activate() override {}

private:
    Ctx m_ctx;
};

std::unique_ptr<IFolder> FolderFromPath(const Ctx& ctx, std::u16string_view path) {
    std::u16string p(path);
    for (char16_t& c : p) {
        if (c == u'/') c = u'\\';
    }
    std::vector<std::u16string> names;
    std::size_t i = 0;
    while (i <= p.size()) {
        std::size_t j = p.find(u'\\', i);
        if (j == std::u16string::npos) j = p.size();
        if (j > i) names.push_back(p.substr(i, j - i));
        i = j + 1;
    }
    const FolderRow* top = ctx->db.FolderByRole("top");
    if (!top) return nullptr;
    std::int64_t cur = top->id;
    std::size_t first = 0;
    const bool full = p.rfind(u"\\\\", 0) == 0;
    if (full || (!names.empty() && FoldCase(names[0]) == FoldCase(top->name))) {
        if (names.empty() || FoldCase(names[0]) != FoldCase(top->name)) return nullptr;
        first = 1;
    }
    for (std::size_t k = first; k < names.size(); ++k) {
        std::int64_t next = 0;
        for (const FolderRow& f : ctx->db.Folders()) {
            if (f.parentId == cur && FoldCase(f.name) == FoldCase(names[k])) {
                next = f.id;
                break;
            }
        }
        if (!next) return nullptr;
        cur = next;
    }
    return std::make_unique<CFolder>(ctx, cur);
}

class CNamespace : public INamespace {
public:
    explicit CNamespace(Ctx ctx) : m_ctx(std::move(ctx)) {}
    std::unique_ptr<IFolder> GetDefaultFolder(DefaultFolder which) override {
        m_ctx->db.Enter("GetDefaultFolder", "_NameSpace");
        const char* role = which == DefaultFolder::Contacts   ? "contacts"
                           : which == DefaultFolder::Calendar ? "calendar"
                           : which == DefaultFolder::Inbox    ? "inbox"
                                                              : "deleted";
        const FolderRow* f = m_ctx->db.FolderByRole(role);
        if (!f) throw HostError(kMapiENotFound, "_NameSpace", "no such default folder");
        return std::make_unique<CFolder>(m_ctx, f->id);
    }
    std::unique_ptr<IFolder> PickFolder() override {
        m_ctx->db.Enter("PickFolder", "_NameSpace");
        if (!m_ctx->pickAnswer) return nullptr;
        return FolderFromPath(m_ctx, *m_ctx->pickAnswer);
    }
    std::unique_ptr<IFolders> Folders() override { return std::make_unique<CFolders>(m_ctx, 0); }
    std::unique_ptr<IItem> GetItemFromID(const std::string& entryId) override {
        m_ctx->db.Enter("GetItemFromID", "_NameSpace");
        const std::int64_t id = m_ctx->db.ItemIdOfEntryId(entryId);
        State st = id ? m_ctx->db.LoadItem(id) : nullptr;
        if (!st) throw HostError(kMapiENotFound, "_NameSpace", "no item with that EntryID");
        return std::make_unique<CItem>(m_ctx, st);
    }

private:
    Ctx m_ctx;
};

class CMailItem : public IMailItem {
public:
    CMailItem(Ctx ctx, std::shared_ptr<CHostApplication::MailRecord> rec) : m_ctx(std::move(ctx)), m_rec(std::move(rec)) {}
    void Display() override {
        m_ctx->db.Enter("Display", "_MailItem");
        m_rec->displayed = true;
    }
    void AddAttachment(const std::u16string& path) override {
        m_ctx->db.Enter("Attachments.Add", "Attachments");
        m_rec->attachments.push_back(path);
    }

private:
    Ctx m_ctx;
    std::shared_ptr<CHostApplication::MailRecord> m_rec;
};

// ---------------------------------------------------------------------------
// The outside MAPI library

State StateOf(IItem& item, const char* iface) {
    if (auto* c = dynamic_cast<CItem*>(&item)) return c->StatePtr();
    throw HostError(kEInvalidArg, iface, "not an item of this host");
}

Value ToTagType(const Value& v, PropTag tag, const char* iface) {
    switch (TagType(tag)) {
    case kPtLong: return CoerceToKind(v, PropKind::Int, iface);
    case kPtBoolean: return CoerceToKind(v, PropKind::Bool, iface);
    case kPtString8:
    case kPtUnicode: return CoerceToKind(v, PropKind::Text, iface);
    case kPtSysTime: return CoerceToKind(v, PropKind::Date, iface);
    case kPtBinary:
        if (v.GetKind() == Value::Kind::Binary) return v;
        throw HostError(kDispETypeMismatch, iface, "binary value expected");
    default: return v;
    }
}

class CSafeItem : public ISafeItem {
public:
    CSafeItem(Ctx ctx, ItemClass cls) : m_ctx(std::move(ctx)), m_cls(cls) {}
    void SetItem(IItem& item) override {
        const char* iface = Iface();
        m_ctx->db.Enter("SetItem", iface);
        State st = StateOf(item, iface);
        if (st->data.cls != m_cls) throw HostError(kENoInterface, iface, "the item is of another kind");
        m_st = std::move(st);
    }
    Value Get(std::string_view property) override {
        m_ctx->db.Enter("SafeItem.Get", Iface());
        if (!m_st) throw HostError(kEPointer, Iface(), "Item is not set");
        return CItem::GetOf(*m_ctx, *m_st, property);
    }
    void GetText(PropertyRef& property, std::u16string& out) override {
        m_ctx->db.Enter("SafeItem.Get", Iface());
        if (!m_st) throw HostError(kEPointer, Iface(), "Item is not set");
        CItem::GetTextOf(*m_ctx, *m_st, property, out);
    }
    std::unique_ptr<IRecipients> Recipients() override { return CItem(m_ctx, Require()).Recipients(); }
    Value Fields(PropTag tag) override {
        m_ctx->db.Enter("Fields", Iface());
        const auto& mapi = Require()->data.mapi;
        auto it = mapi.find(TagId(tag));
        return it == mapi.end() ? Value() : it->second;
    }
    void SetFields(PropTag tag, const Value& value) override {
        m_ctx->db.Enter("SetFields", Iface());
        State st = Require();
        st->data.mapi[TagId(tag)] = ToTagType(value, tag, Iface());
        st->saved = false;
    }

private:
    const char* Iface() const { return m_cls == ItemClass::Contact ? "SafeContactItem" : "SafeAppointmentItem"; }
    State Require() {
        if (!m_st) throw HostError(kEPointer, Iface(), "Item is not set");
        return m_st;
    }
    Ctx m_ctx;
    ItemClass m_cls;
    State m_st;
};

class CMapiUtils : public IMapiUtils {
public:
    explicit CMapiUtils(Ctx ctx) : m_ctx(std::move(ctx)) {}
    PropTag GetIDsFromNames(IItem& item, const std::string& guidText, std::uint16_t id, bool create) override {
        m_ctx->db.Enter("GetIDsFromNames", "MAPIUtils");
        StateOf(item, "MAPIUtils");
        if (guidText.size() != 38 || guidText.front() != '{' || guidText.back() != '}')
            throw HostError(kEInvalidArg, "MAPIUtils", "invalid property set GUID \"" + guidText + "\"");
        const std::uint16_t propId = m_ctx->db.NamedPropertyId(guidText, id, create);
        return propId ? MakeTag(propId, 0) : 0;
    }
    std::optional<Value> GetProp(IItem& item, PropTag tag) override {
        m_ctx->db.Enter("GetProp", "MAPIUtils");
        const State st = StateOf(item, "MAPIUtils");
        auto it = st->data.mapi.find(TagId(tag));
        if (it == st->data.mapi.end()) return std::nullopt;
        return it->second;
    }
    void SetProp(IItem& item, PropTag tag, const Value& value) override {
        m_ctx->db.Enter("SetProp", "MAPIUtils");
        const State st = StateOf(item, "MAPIUtils");
        st->data.mapi[TagId(tag)] = ToTagType(value, tag, "MAPIUtils");
        st->saved = false;
    }
    std::string BytesToHex(const Bytes& bytes) override { return BytesToHexText(bytes); }
    Bytes HexToBytes(const std::string& text) override { return HexTextToBytes(text); }
    std::string ErrorText(HRESULT hr) override {
        char buf[48];
        std::snprintf(buf, sizeof buf, "MAPI error 0x%08X", static_cast<unsigned>(hr));
        return buf;
    }

private:
    Ctx m_ctx;
};

class CMapiFactory : public IMapiFactory {
public:
    explicit CMapiFactory(Ctx ctx) : m_ctx(std::move(ctx)) {}
    std::unique_ptr<ISafeItem> CreateSafeContactItem() override {
        m_ctx->db.Enter("CreateSafeContactItem", "Redemption.SafeContactItem");
        return std::make_unique<CSafeItem>(m_ctx, ItemClass::Contact);
    }
    std::unique_ptr<ISafeItem> CreateSafeAppointmentItem() override {
        m_ctx->db.Enter("CreateSafeAppointmentItem", "Redemption.SafeAppointmentItem");
        return std::make_unique<CSafeItem>(m_ctx, ItemClass::Appointment);
    }
    std::unique_ptr<IMapiUtils> CreateMapiUtils() override {
        m_ctx->db.Enter("CreateMapiUtils", "Redemption.MapiUtils");
        return std::make_unique<CMapiUtils>(m_ctx);
    }

private:
    Ctx m_ctx;
};

}  // namespace

// ---------------------------------------------------------------------------
// The application

std::u16string DefaultHostVersion() {
    const char* v = std::getenv("MIREO_HOST_VERSION");
    if (v && *v) return ToHostText(v);
    // The registry file can hold the version too, so a test setup needs no environment.
    IRegistry& reg = SystemRegistry();
    IRegistry::Key key = 0;
    if (reg.OpenKey(RegRoot::CurrentUser, kHostStoreKeyPath, false, false, key) == kErrorSuccess) {
        UniqueRegKey owner(&reg, key);
        std::uint32_t type = 0;
        std::uint8_t data[128];
        std::uint32_t size = sizeof data;
        std::string text;
        if (reg.QueryValue(key, "Version", &type, data, &size) == kErrorSuccess &&
            (type == kRegSz || type == kRegExpandSz) && regtext::SzText(data, size, text) && !text.empty()) {
            return ToHostText(text);
        }
    }
    return u"11.0.0.0";
}

std::string DefaultShortDatePicture() { return SystemLocaleInfo().ShortDateFormat(); }

HostStoreOptions DefaultHostStoreOptions(std::string path) {
    return HostStoreOptions{std::move(path), DefaultHostVersion(), DefaultShortDatePicture()};
}

CHostApplication::CHostApplication(const HostStoreOptions& options)
    : m_ctx(std::make_shared<CStoreContext>(options)), m_mapi(std::make_unique<CMapiFactory>(m_ctx)) {}

CHostApplication::~CHostApplication() = default;

void CHostApplication::SetSaveListener(ISaveListener* listener) {
    m_ctx->db.SetSaveListener(listener);
    IApplication::SetSaveListener(listener);
}

// The listener hears of the batch from the store (a batch is the only place saves wait).
void CHostApplication::CommitSaves() { m_ctx->db.Flush(); }

void CHostApplication::BeginAllOrNone() { m_ctx->db.BeginAllOrNone(); }

void CHostApplication::EndAllOrNone(bool commit) { m_ctx->db.EndAllOrNone(commit); }

std::u16string CHostApplication::Version() {
    m_ctx->db.Enter("Version", "_Application");
    return m_ctx->version;
}

std::unique_ptr<IExplorer> CHostApplication::ActiveExplorer() {
    m_ctx->db.Enter("ActiveExplorer", "_Application");
    return std::make_unique<CExplorer>(m_ctx);
}

std::unique_ptr<INamespace> CHostApplication::GetNamespace() {
    m_ctx->db.Enter("GetNamespace", "_Application");
    return std::make_unique<CNamespace>(m_ctx);
}

std::unique_ptr<IItem> CHostApplication::CreateItem(ItemType type) {
    m_ctx->db.Enter("CreateItem", "_Application");
    if (type == ItemType::Mail) throw HostError(kEInvalidArg, "_Application", "use CreateMailItem for mail");
    auto st = NewItemState();
    st->data.cls = type == ItemType::Contact ? ItemClass::Contact : ItemClass::Appointment;
    return std::make_unique<CItem>(m_ctx, std::move(st));
}

std::unique_ptr<IMailItem> CHostApplication::CreateMailItem() {
    m_ctx->db.Enter("CreateMailItem", "_Application");
    auto rec = std::make_shared<MailRecord>();
    m_ctx->mails.push_back(rec);
    return std::make_unique<CMailItem>(m_ctx, rec);
}

IMapiFactory& CHostApplication::Mapi() { return *m_mapi; }

void CHostApplication::FailCall(const std::string& operation, int nth, HRESULT hr) { m_ctx->db.FailCall(operation, nth, hr); }

std::unique_ptr<IFolder> CHostApplication::FolderByPath(std::u16string_view path) { return FolderFromPath(m_ctx, path); }

std::string CHostApplication::StoreId() { return m_ctx->db.StoreId(); }

void CHostApplication::SetPickFolderAnswer(std::optional<std::u16string> path) { m_ctx->pickAnswer = std::move(path); }

void CHostApplication::SetSelection(std::vector<std::string> entryIds) { m_ctx->selection = std::move(entryIds); }

void CHostApplication::SetCategoriesDialogAnswer(std::optional<std::u16string> categories) {
    m_ctx->categoriesAnswer = std::move(categories);
}

std::vector<CHostApplication::MailRecord> CHostApplication::Mails() {
    std::vector<MailRecord> out;
    for (const auto& m : m_ctx->mails) out.push_back(*m);
    return out;
}

std::vector<std::string> SetPropertyNames(IItem& item) {
    std::vector<std::string> names;
    if (auto* c = dynamic_cast<CItem*>(&item)) {
        for (const auto& kv : c->StatePtr()->data.props) names.push_back(kv.first);
    }
    return names;
}

std::vector<MapiProperty> MapiProperties(IItem& item) {
    std::vector<MapiProperty> out;
    auto* c = dynamic_cast<CItem*>(&item);
    if (!c) return out;
    // The names live in the store the item belongs to.
    CStoreDb& db = c->Context()->db;
    for (const auto& [id, v] : c->StatePtr()->data.mapi) {
        MapiProperty p;
        p.id = id;
        if (id >= 0x8000) p.name = db.NameOfPropertyId(id);
        p.value = v;
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace mireo
