#include "vcard/vcard_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>

#include "encoding/charset_names.h"
#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/user_strings.h"
#include "platform/ascii.h"
#include "platform/utf.h"
#include "textformat/date_text.h"
#include "textformat/file_text.h"
#include "textformat/quoted_printable.h"
#include "textformat/text_escape.h"

namespace mireo {
namespace {

using ascii::EqualsNoCase;
using ascii::StartsWithNoCase;
using ascii::Trim;

constexpr int kUtf8CodePage = 65001;
constexpr std::size_t kMaxUnknownNames = 256;

// A value ending in a stray "=" never takes the card's END line.
constexpr std::string_view kSoftBreakStops[] = {"END:VCARD"};
// 2.1 peers write ADR quoted-printable without saying so.
constexpr std::string_view kImplicitQuotedPrintable21[] = {"ADR"};
// The parts of a 2.1 structured value: our writer writes "\;" for a semicolon and "\\"
// for a backslash inside a part, and both are undone in one pass.
constexpr EscapeRules kVCard21ComponentEscapes{.semicolon = true, .backslash = true};

ContentLineOptions LineOptions(const VCardReaderOptions& options) {
    ContentLineOptions lines;
    lines.maxLineBytes = options.maxLineBytes;
    lines.quotedPrintableSoftBreaks = true;
    lines.softBreakStops = kSoftBreakStops;
    return lines;
}

// ---- the property table ----

// What a property fills.
enum class Field { kText, kDate, kName, kOrg, kCategories, kClass, kUrl, kAdr, kTel, kEmail, kPeerText, kPeerDate };

using R = ContactRecord;

struct PropertyRule {
    std::string_view name;
    Field field;
    std::u16string R::*text = nullptr;           // kText: the field, the first value wins
    std::optional<LocalTime> R::*date = nullptr;  // kDate
    bool needsMajor10 = false;                    // ignored for host major version 9
};

constexpr PropertyRule kRules[] = {
    {"N", Field::kName},
    {"FN", Field::kText, &R::FullName},
    {"NICKNAME", Field::kText, &R::NickName},
    {"ROLE", Field::kText, &R::Profession},
    {"ORG", Field::kOrg},
    {"TITLE", Field::kText, &R::JobTitle},
    {"NOTE", Field::kText, &R::Body},
    {"BDAY", Field::kDate, nullptr, &R::Birthday},
    {"ADR", Field::kAdr},
    {"TEL", Field::kTel},
    {"EMAIL", Field::kEmail},
    {"URL", Field::kUrl},
    {"X-OUTL-IMADDRESS", Field::kText, &R::IMAddress, nullptr, true},
    {"X-OUTL-CATEGORIES", Field::kCategories},
    {"CATEGORIES", Field::kCategories},
    {"X-OUTL-MANAGERNAME", Field::kText, &R::ManagerName},
    {"X-OUTL-ASSISTANTNAME", Field::kText, &R::AssistantName},
    {"X-OUTL-SPOUSE", Field::kText, &R::Spouse},
    {"X-OUTL-NMSERVER", Field::kText, &R::NetMeetingServer},
    {"X-OUTL-NMALIAS", Field::kText, &R::NetMeetingAlias},
    {"X-OUTL-IFBADDRESS", Field::kText, &R::InternetFreeBusyAddress},
    {"X-OUTL-ANNIVERSARY", Field::kDate, nullptr, &R::Anniversary},
    {"CLASS", Field::kClass},
    {"X-OUTL-CLASS", Field::kClass},
    // Other programs' names for fields the host holds: read when the card gives the
    // field no value of its own (X-OUTL-...); the first of them wins.
    {"IMPP", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-AIM", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-JABBER", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-ICQ", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-MSN", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-YAHOO", Field::kPeerText, &R::IMAddress, nullptr, true},
    {"X-EVOLUTION-SPOUSE", Field::kPeerText, &R::Spouse},
    {"X-EVOLUTION-MANAGER", Field::kPeerText, &R::ManagerName},
    {"X-EVOLUTION-ASSISTANT", Field::kPeerText, &R::AssistantName},
    {"X-EVOLUTION-ANNIVERSARY", Field::kPeerDate, nullptr, &R::Anniversary},
    {"X-KADDRESSBOOK-X-SPOUSESNAME", Field::kPeerText, &R::Spouse},
    {"X-KADDRESSBOOK-X-MANAGERSNAME", Field::kPeerText, &R::ManagerName},
    {"X-KADDRESSBOOK-X-ASSISTANTSNAME", Field::kPeerText, &R::AssistantName},
    {"X-KADDRESSBOOK-X-ANNIVERSARY", Field::kPeerDate, nullptr, &R::Anniversary},
    {"X-KADDRESSBOOK-X-OFFICE", Field::kPeerText, &R::OfficeLocation},
    {"X-SPOUSE", Field::kPeerText, &R::Spouse},
    {"X-MANAGER", Field::kPeerText, &R::ManagerName},
    {"X-ASSISTANT", Field::kPeerText, &R::AssistantName},
    {"X-ANNIVERSARY", Field::kPeerDate, nullptr, &R::Anniversary},
    {"ANNIVERSARY", Field::kPeerDate, nullptr, &R::Anniversary},
};

// Every line of a card looks its name up: in a table hashed on the name's length and
// its first and last bytes (no pass over the whole name), each slot compared once.
constexpr std::size_t kRuleSlots = 256;

std::size_t RuleSlot(std::string_view name) {
    const auto byte = [](char c) { return static_cast<std::size_t>(static_cast<unsigned char>(c)); };
    return (name.size() * 31 + byte(name.front()) * 7 + byte(name.back()) * 3 + byte(name[name.size() / 2])) %
           kRuleSlots;
}

const PropertyRule* FindRule(std::string_view name) {
    static const std::array<const PropertyRule*, kRuleSlots> slots = [] {
        std::array<const PropertyRule*, kRuleSlots> table{};
        for (const PropertyRule& rule : kRules) {
            std::size_t i = RuleSlot(rule.name);
            while (table[i] != nullptr) i = (i + 1) % kRuleSlots;
            table[i] = &rule;
        }
        return table;
    }();
    if (name.empty()) return nullptr;
    for (std::size_t i = RuleSlot(name); slots[i] != nullptr; i = (i + 1) % kRuleSlots) {
        if (slots[i]->name == name) return slots[i];
    }
    return nullptr;
}

// The properties of ContactRecordProperties() by kind, with their indexes.
struct SetTable {
    std::vector<std::pair<std::size_t, std::u16string R::*>> texts;
    std::vector<std::pair<std::size_t, std::optional<LocalTime> R::*>> dates;
    std::vector<std::size_t> integers;
};

SetTable MakeSetTable() {
    SetTable table;
    const auto props = ContactRecordProperties();
    for (std::size_t i = 0; i < props.size() && i < 96; ++i) {
        const ContactPropertyInfo& p = props[i];
        if (p.text != nullptr) table.texts.emplace_back(i, p.text);
        if (p.date != nullptr) table.dates.emplace_back(i, p.date);
        if (p.integer != nullptr) table.integers.push_back(i);
    }
    return table;
}

// ---- parameters and values ----

// The parameters as vCard reads them: 2.1's bare types and 3.0's TYPE lists alike.
struct Params {
    std::vector<std::string> types;  // upper case, TYPE= removed, comma lists split
    bool quotedPrintable = false;
    bool hasCharset = false;
    std::string_view charset;
    bool Has(std::string_view type) const {
        for (const std::string& t : types) {
            if (t == type) return true;
        }
        return false;
    }
};

// Fills p (reused from line to line, so that its lists keep their room).
void ReadParams(std::string_view list, Params& p) {
    p.types.clear();
    p.quotedPrintable = false;
    p.hasCharset = false;
    p.charset = {};
    ContentParam param;
    while (NextParam(list, param)) {
        std::string_view text = param.text;
        if (StartsWithNoCase(text, "CHARSET=")) {
            p.hasCharset = true;
            p.charset = Trim(Unquote(param.value));
            continue;
        }
        if (EqualsNoCase(text, "ENCODING=QUOTED-PRINTABLE") || EqualsNoCase(text, "QUOTED-PRINTABLE")) {
            p.quotedPrintable = true;
            continue;
        }
        // Any other named parameter comes in whole ("X-A=b"): a "=" keeps it from
        // matching a type.
        if (StartsWithNoCase(text, "TYPE=") && text.size() > 5) text.remove_prefix(5);
        while (!text.empty()) {
            std::size_t comma = text.find(',');
            if (comma == std::string_view::npos) comma = text.size();
            const std::string_view one = Unquote(Trim(text.substr(0, comma)));
            if (!one.empty() && p.types.size() < 32) {
                std::string& type = p.types.emplace_back(one);
                for (char& c : type) c = ascii::ToUpper(c);
            }
            text.remove_prefix(std::min(text.size(), comma + 1));
        }
    }
}

bool AllEmpty(std::initializer_list<const std::u16string*> fields) {
    for (const std::u16string* f : fields) {
        if (!f->empty()) return false;
    }
    return true;
}

}  // namespace

// One property's value, decoded as far as every field needs it. The bytes are decoded
// into text first and unescaped or split as text, so that a trail byte of a
// double-byte character is never taken for a backslash.
struct CvCardReader::Property {
    explicit Property(const CvCardReader& r) : reader(r) {}

    // The most parts a structured value is split into (ADR's seven and the rest).
    static constexpr std::size_t kMaxParts = 8;

    const CvCardReader& reader;
    Params params;
    std::string bytes;  // quoted-printable decoded, NUL bytes dropped, trimmed
    int codePage = kSystemCodePage;
    bool ascii = false;  // bytes are all ASCII
    bool v30 = false;
    // The decoded value of the structured properties, its storage reused from line to
    // line.
    mutable std::u16string scratch;

    // The whole value into out (cleared first); 3.0 unescaped, 2.1 as it is.
    void TextInto(std::u16string& out) const {
        out.clear();
        reader.DecodeInto(*this, out);
        if (!v30 || out.find(u'\\') == std::u16string::npos) return;
        scratch.swap(out);
        out.clear();
        AppendUnescaped(scratch, kVCard30Escapes, out);
    }
    std::u16string Text() const {
        std::u16string text;
        TextInto(text);
        return text;
    }
    // A value that is not text (TEL, EMAIL, URL): written without escapes, read as it is.
    std::u16string Plain() const {
        std::u16string text;
        reader.DecodeInto(*this, text);
        return text;
    }
    // The same in `scratch`, valid until the next use of it.
    const std::u16string& PlainScratch() const {
        scratch.clear();
        reader.DecodeInto(*this, scratch);
        return scratch;
    }
    const EscapeRules& ComponentRules() const { return v30 ? kVCard30Escapes : kVCard21ComponentEscapes; }
    // The first parts of a structured value (N, ADR), each trimmed and unescaped, into
    // `fields` (each replaced; empty for a part the value lacks); parts beyond them are
    // ignored (an eighth ADR part is a label, not the country).
    void ComponentsInto(std::span<std::u16string* const> fields) const {
        const EscapeRules& rules = ComponentRules();
        const std::u16string& text = PlainScratch();
        std::u16string_view parts[kMaxParts];
        const std::size_t count = std::min(fields.size(), kMaxParts - 1);
        const std::size_t n = SplitComponents(text, std::span(parts, count + 1), rules);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i]->clear();
            if (i < n && i < count) AppendUnescaped(TrimText(parts[i]), rules, *fields[i]);
        }
    }
    // The first part, then the rest as one text (ORG: company, then the units of the
    // department with their ";"), without trailing empty parts; each replaced.
    void FirstAndRestInto(std::u16string& first, std::u16string& rest) const {
        const EscapeRules& rules = ComponentRules();
        const std::u16string& text = PlainScratch();
        std::u16string_view parts[2];
        const std::size_t n = SplitComponents(text, parts, rules);
        std::u16string_view tail = n > 1 ? parts[1] : std::u16string_view();
        // Drop the empty parts at the end ("Umbrella;;" has no department), but not an
        // escaped semicolon.
        for (;;) {
            tail = TrimText(tail);
            if (tail.empty() || tail.back() != u';') break;
            std::size_t slashes = 0;
            while (slashes + 1 < tail.size() && tail[tail.size() - 2 - slashes] == u'\\') ++slashes;
            if (slashes % 2 == 1) break;
            tail.remove_suffix(1);
        }
        first.clear();
        AppendUnescaped(TrimText(parts[0]), rules, first);
        rest.clear();
        AppendUnescaped(tail, rules, rest);
    }
};

namespace {

using Property = CvCardReader::Property;

// ---- the fields of the structured properties ----

void FillName(const Property& v, ContactRecord& c) {
    std::u16string* const fields[] = {&c.LastName, &c.FirstName, &c.MiddleName, &c.Title, &c.Suffix};
    v.ComponentsInto(fields);
}

void FillOrganization(const Property& v, ContactRecord& c) {
    if (!c.CompanyName.empty() || !c.Department.empty()) return;
    v.FirstAndRestInto(c.CompanyName, c.Department);
}

void FillUrl(const Property& v, ContactRecord& c) {
    const bool home = v.params.Has("HOME");
    const bool work = v.params.Has("WORK");
    const std::u16string& value = v.PlainScratch();
    if (home) c.PersonalHomePage = value;
    if (work) c.BusinessHomePage = value;
    // An untyped URL is the business home page; a second one the personal home page
    // when that is free, rather than overwriting the first.
    if (!work && !home) {
        if (c.BusinessHomePage.empty()) {
            c.BusinessHomePage = value;
        } else if (c.PersonalHomePage.empty()) {
            c.PersonalHomePage = value;
        }
    }
}

// A work or home address that is taken already goes to the other address.
void FillAddress(const Property& v, ContactRecord& c) {
    bool work = v.params.Has("WORK");
    const bool home = v.params.Has("HOME");
    // POSTAL and PARCEL qualify a work or home address; alone, POSTAL (or OTHER) is the
    // other address.
    bool postal = !work && !home && (v.params.Has("POSTAL") || v.params.Has("OTHER"));
    if (!work && !home && !postal) work = true;
    // The parts go straight into the first address filled; a second one copies them.
    std::u16string* filled[7] = {};
    std::u16string ignored;
    auto fill = [&](std::u16string* box, std::u16string* extended, std::u16string* street, std::u16string* city,
                    std::u16string* state, std::u16string* zip, std::u16string* country) {
        std::u16string* const fields[] = {box, extended != nullptr ? extended : &ignored, street, city, state, zip,
                                          country};
        if (filled[0] == nullptr) {
            v.ComponentsInto(fields);
            std::copy(std::begin(fields), std::end(fields), filled);
            return;
        }
        for (std::size_t i = 0; i < 7; ++i) {
            if (fields[i] != &ignored) *fields[i] = *filled[i];
        }
    };
    if (work) {
        if (AllEmpty({&c.BusinessAddressPostOfficeBox, &c.OfficeLocation, &c.BusinessAddressStreet,
                      &c.BusinessAddressCity, &c.BusinessAddressState, &c.BusinessAddressPostalCode,
                      &c.BusinessAddressCountry})) {
            fill(&c.BusinessAddressPostOfficeBox, &c.OfficeLocation, &c.BusinessAddressStreet, &c.BusinessAddressCity,
                 &c.BusinessAddressState, &c.BusinessAddressPostalCode, &c.BusinessAddressCountry);
        } else {
            postal = true;
        }
    }
    if (home) {
        if (AllEmpty({&c.HomeAddressPostOfficeBox, &c.HomeAddressStreet, &c.HomeAddressCity, &c.HomeAddressState,
                      &c.HomeAddressPostalCode, &c.HomeAddressCountry})) {
            fill(&c.HomeAddressPostOfficeBox, nullptr, &c.HomeAddressStreet, &c.HomeAddressCity,
                 &c.HomeAddressState, &c.HomeAddressPostalCode, &c.HomeAddressCountry);
        } else {
            postal = true;
        }
    }
    if (postal && AllEmpty({&c.OtherAddressPostOfficeBox, &c.OtherAddressStreet, &c.OtherAddressCity,
                            &c.OtherAddressState, &c.OtherAddressPostalCode, &c.OtherAddressCountry})) {
        fill(&c.OtherAddressPostOfficeBox, nullptr, &c.OtherAddressStreet, &c.OtherAddressCity,
             &c.OtherAddressState, &c.OtherAddressPostalCode, &c.OtherAddressCountry);
    }
}

// A telephone type of another program that names a field the host has.
struct TelephoneSynonym {
    std::string_view type;
    std::u16string R::*field;  // null: a flag below
    const char* flag;          // the type it stands for ("CELL"), or a pair ("HOME FAX")
};

constexpr TelephoneSynonym kTelephoneSynonyms[] = {
    {"MOBILE", nullptr, "CELL"},
    {"IPHONE", nullptr, "CELL"},
    {"HOME2", nullptr, "HOME"},  // the second home number of a webmail address book
    {"WORK2", nullptr, "WORK"},
    {"HOMEFAX", nullptr, "HOME FAX"},
    {"WORKFAX", nullptr, "WORK FAX"},
    {"MAIN", &R::CompanyMainTelephoneNumber, nullptr},
    {"X-EVOLUTION-COMPANY", &R::CompanyMainTelephoneNumber, nullptr},
    {"X-EVOLUTION-ASSISTANT", &R::AssistantTelephoneNumber, nullptr},
    {"X-EVOLUTION-CALLBACK", &R::CallbackTelephoneNumber, nullptr},
    {"X-EVOLUTION-RADIO", &R::RadioTelephoneNumber, nullptr},
    {"X-EVOLUTION-TELEX", &R::TelexNumber, nullptr},
    {"X-EVOLUTION-TTYTDD", &R::TTYTDDTelephoneNumber, nullptr},
};

// Where a TEL line goes. The nine types of the host's own cards (WORK, HOME, CELL, FAX,
// CAR, PAGER, ISDN, PREF, VOICE) and the synonyms above name fields; a line with none of
// them (a bare TEL, OTHER, VIDEO, MSG, ...) and a VOICE line without any other type go
// to the other telephone. False when the number found no free field.
bool FillTelephone(const Property& v, ContactRecord& c) {
    const Params& p = v.params;
    bool work = false, home = false, cell = false, fax = false, car = false, pager = false, isdn = false,
         pref = false, voice = false, special = false;
    std::vector<std::u16string R::*> specials;
    for (const std::string& t : p.types) {
        std::string_view type = t;
        for (const TelephoneSynonym& s : kTelephoneSynonyms) {
            if (type != s.type) continue;
            if (s.field != nullptr) {
                specials.push_back(s.field);
                special = true;
                type = {};
            } else {
                type = s.flag;
            }
            break;
        }
        for (std::string_view one : {type.substr(0, type.find(' ')),
                                     type.find(' ') == std::string_view::npos ? std::string_view()
                                                                              : type.substr(type.find(' ') + 1)}) {
            work |= one == "WORK";
            home |= one == "HOME";
            cell |= one == "CELL";
            fax |= one == "FAX";
            car |= one == "CAR";
            pager |= one == "PAGER";
            isdn |= one == "ISDN";
            pref |= one == "PREF";
            voice |= one == "VOICE";
        }
    }
    const std::u16string& value = v.PlainScratch();
    bool placed = false;
    auto place = [&](std::initializer_list<std::u16string*> slots) {
        for (std::u16string* s : slots) {
            if (s->empty()) {
                *s = value;
                placed = true;
                return;
            }
        }
    };
    for (std::u16string R::*field : specials) place({&(c.*field)});
    const bool typed = work || home || cell || fax || car || pager || isdn || pref || special;
    // A bare FAX line is the other fax (the writer writes the other fax that way); when
    // the other fax is already taken it goes on as a work fax.
    if (fax && !work && !home && !cell && !car && !pager && !isdn && !pref && !voice && !special) {
        if (c.OtherFaxNumber.empty()) {
            c.OtherFaxNumber = value;
            return true;
        }
        work = true;
    }
    bool other = !typed;  // no type of a field: the other telephone, VOICE or not
    if (pager && pref && !work && !home && !cell && !fax && !car && !isdn && !voice && !special) other = true;
    if (work) {
        if (fax && c.BusinessFaxNumber.empty()) {
            place({&c.BusinessFaxNumber});
        } else {
            place({&c.BusinessTelephoneNumber, &c.Business2TelephoneNumber});
        }
    }
    if (home) {
        if (fax && c.HomeFaxNumber.empty()) {
            place({&c.HomeFaxNumber});
        } else {
            place({&c.HomeTelephoneNumber, &c.Home2TelephoneNumber});
        }
    }
    if (cell) place({&c.MobileTelephoneNumber});
    if (car) place({&c.CarTelephoneNumber});
    if (pager) place({&c.PagerNumber});
    if (isdn) place({&c.ISDNNumber});
    if (pref) place({&c.PrimaryTelephoneNumber});
    if (fax && !work && !home) place({&c.OtherFaxNumber});
    if (other) place({&c.OtherTelephoneNumber});
    return placed;
}

// A preferred address becomes the first and moves the others down.
void FillEmail(const Property& v, ContactRecord& c) {
    bool internet = v.params.Has("INTERNET");
    const bool pref = v.params.Has("PREF");
    bool other = false;
    for (const std::string& t : v.params.types) {
        if (t != "WORK" && t != "HOME" && t != "PREF" && t != "INTERNET" && t.find('=') == std::string::npos) {
            other = true;
        }
    }
    if (!internet && !other) internet = true;
    std::u16string value = v.Plain();
    if (pref) {
        if (!c.Email1Address.empty()) {
            if (!c.Email2Address.empty()) {
                c.Email3Address = std::move(c.Email2Address);
                c.Email3AddressType = std::move(c.Email2AddressType);
            }
            c.Email2Address = std::move(c.Email1Address);
            c.Email2AddressType = std::move(c.Email1AddressType);
        }
        c.Email1Address = std::move(value);
        c.Email1AddressType.clear();
        return;
    }
    for (auto [address, type] : {std::pair{&c.Email1Address, &c.Email1AddressType},
                                 std::pair{&c.Email2Address, &c.Email2AddressType},
                                 std::pair{&c.Email3Address, &c.Email3AddressType}}) {
        if (!address->empty()) continue;
        *address = std::move(value);
        if (internet) *type = u"SMTP";
        break;
    }
}

}  // namespace

std::string FormatInvalidElement(std::string_view fileName, std::string_view property) {
    std::string out;
    const char* text = LoadUserString(135);
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            out += p[1] == '1' ? fileName : property;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

bool VCardCard::IsSet(std::string_view hostName) const {
    const auto props = ContactRecordProperties();
    for (std::size_t i = 0; i < props.size(); ++i) {
        if (hostName == props[i].name) return IsSet(i);
    }
    return false;
}

void VCardCard::Reset() {
    ClearContactRecord(contact);
    line = 0;
    version = 21;
    hadSkypeLines = false;
    sensitivitySet = false;
    problems.clear();
    fault.clear();
    m_set.reset();
}

CvCardReader::~CvCardReader() = default;

CvCardReader::CvCardReader(MireoCharConverter* converter, VCardReaderOptions options)
    : m_converter(converter), m_options(std::move(options)), m_lines(LineOptions(m_options)) {
    if (m_options.listSeparator.empty()) m_options.listSeparator.assign(1, u';');
    if (m_options.maxLineBytes < 64) m_options.maxLineBytes = 64;
}

void CvCardReader::Open(std::string_view bytes, std::string fileName) {
    m_fileName = std::move(fileName);
    m_warnedCharset = false;
    m_warnedNul = false;
    const FileText file = PrepareFileText(bytes, m_converted);
    m_utf8File = file.IsUtf8();
    if (file.form == FileTextForm::kUtf16 && m_options.logger != nullptr) {
        m_options.logger->LogMsg("UTF-16 vCard file read as UTF-8: " + m_fileName, 0, "CvCardReader::Open", kTrace,
                                 kLogFlags);
    }
    if (!m_warnedNul && file.text.find('\0') != std::string_view::npos && m_options.logger != nullptr) {
        m_warnedNul = true;
        m_options.logger->LogMsg("vCard file holds NUL bytes: " + m_fileName, 0, "CvCardReader::Open", kWarning,
                                 kLogFlags);
    }
    m_lines.Open(file.text);
    m_quietBefore = 0;
    SetVersion(21);
}

void CvCardReader::SetVersion(int version) {
    m_version = version;
    m_lines.SetImplicitQuotedPrintable(version == 21 ? std::span<const std::string_view>(kImplicitQuotedPrintable21)
                                                     : std::span<const std::string_view>());
}

void CvCardReader::Problem(VCardCard& card, VCardProblemKind kind, int line, const std::string& property) {
    if (card.problems.size() < 64) card.problems.push_back({kind, line, property});
    if (m_lines.Position() > m_quietBefore) ++m_stats.problems[kind];
}

int CvCardReader::CodePageOf(const Property& v, std::string_view property, VCardCard& card) {
    const Params& params = v.params;
    if (!params.hasCharset)
        return m_utf8File || (!v.ascii && IsUtf8WithNonAscii(v.bytes)) ? kUtf8CodePage : kSystemCodePage;
    const int cp = ResolveCharset(*m_converter, params.charset);
    if (cp != kUnknownCodePage) return cp;
    Problem(card, VCardProblemKind::kUnknownCharset, m_lines.PhysicalLines(), std::string(property));
    if (!m_warnedCharset && m_options.logger != nullptr) {
        m_warnedCharset = true;
        m_options.logger->LogMsg("Unknown charset \"" + std::string(params.charset.substr(0, 64)) +
                                     "\" read with the system code page in " + m_fileName,
                                 0, "CvCardReader::ResolveCharset", kWarning, kLogFlags);
    }
    return kSystemCodePage;
}

void CvCardReader::DecodeInto(const Property& v, std::u16string& out) const {
    const std::string_view bytes = v.bytes;
    if (bytes.empty() || m_converter == nullptr) return;
    const std::size_t begin = out.size();
    // Well-formed UTF-8 needs no round through the converter, nor does ASCII in the
    // computer's code page (every one of them holds ASCII as it is). The bytes hold no
    // NUL (ReadProperty dropped them), so neither does what UTF-8 gives.
    if ((v.codePage == kUtf8CodePage || (v.codePage == kSystemCodePage && v.ascii)) && AppendUtf8AsUtf16(bytes, out))
        return;
    std::u16string decoded;
    if (m_converter->DecodeText(v.codePage, bytes, decoded) < 0) decoded.clear();
    // Host text ends at a NUL: drop any.
    std::erase(decoded, u'\0');
    out.resize(begin);
    out += decoded;
}

void CvCardReader::ReadProperty(const ContentLine& line, bool adr, Property& v, VCardCard& card) {
    ReadParams(line.params, v.params);
    v.v30 = m_version == 30;

    // The value's bytes: quoted-printable decoded when announced (and for a 2.1 ADR,
    // which peers encode without saying so), then trimmed.
    std::string_view raw = line.value;
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    const bool adrImplicit = adr && !v.v30 && !v.params.quotedPrintable;
    if (v.params.quotedPrintable || adrImplicit) {
        if (DecodeQuotedPrintableOrKeep(raw, v.bytes) == QuotedPrintableResult::kUndecoded && !adrImplicit) {
            const std::string name(line.name);
            Problem(card, VCardProblemKind::kInvalidQuotedPrintable, line.lineNo, name);
            if (m_options.invalidElement) m_options.invalidElement(FormatInvalidElement(m_fileName, name));
        }
    } else {
        v.bytes.assign(raw);
    }
    if (v.bytes.find('\0') != std::string::npos) std::erase(v.bytes, '\0');
    if (const std::string_view trimmed = Trim(v.bytes); trimmed.size() != v.bytes.size()) {
        const std::size_t front = static_cast<std::size_t>(trimmed.data() - v.bytes.data());
        v.bytes.resize(front + trimmed.size());
        v.bytes.erase(0, front);
    }
    v.ascii = IsAscii(v.bytes);
    v.codePage = CodePageOf(v, line.name, card);
}

// 2.1's X-OUTL-CATEGORIES holds the host's text as it is. A 3.0 list ("Business,Suppliers",
// each name escaped) comes back joined by the user's separator and a space, as the host
// writes its own lists ("Business, Suppliers"). A value without an unescaped comma is
// one name, or a list as earlier versions wrote it, every comma escaped: its commas
// become the separator as they always did.
void CvCardReader::ReadCategories(const Property& v, std::u16string& out) const {
    if (!v.v30) {
        v.TextInto(out);
        return;
    }
    const std::u16string& text = v.PlainScratch();
    const std::u16string& separator = m_options.listSeparator;
    out.clear();
    bool listed = false;  // an unescaped comma was seen
    std::size_t start = 0;
    // Each name as it ends, trimmed and unescaped; an empty one is left out.
    auto name = [&](std::size_t end) {
        const std::size_t before = out.size();
        if (before != 0) {
            out += separator;
            out += u' ';
        }
        const std::size_t named = out.size();
        AppendUnescaped(TrimText(std::u16string_view(text).substr(start, end - start)), kVCard30Escapes, out);
        if (out.size() == named) out.resize(before);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
        } else if (text[i] == u',') {
            name(i);
            listed = true;
            start = i + 1;
        }
    }
    if (listed) {
        name(text.size());
        return;
    }
    AppendUnescaped(text, kVCard30Escapes, out);
    if (out.find(u',') == std::u16string::npos) return;
    std::u16string joined;
    joined.reserve(out.size() + separator.size());
    for (char16_t ch : out) {
        if (ch == u',') {
            joined += separator;
        } else {
            joined += ch;
        }
    }
    out.swap(joined);
}

void CvCardReader::Dispatch(const ContentLine& line, VCardCard& card) {
    const std::string_view name = line.name;
    if (m_countOnly) return;
    if (name.starts_with("X-SKYPE-")) {
        card.hadSkypeLines = true;
        return;
    }
    const PropertyRule* rule = FindRule(name);
    if (rule == nullptr || (rule->needsMajor10 && m_options.hostMajorVersion <= 9)) {
        if (m_lines.Position() <= m_quietBefore) return;  // counted on the first reading
        auto& unknown = m_stats.unknownProperties;
        const std::string key(name);
        if (unknown.size() < kMaxUnknownNames || unknown.count(key) != 0) {
            ++unknown[key];
        } else {
            ++unknown["(other)"];
        }
        return;
    }
    if (line.truncated) {
        Problem(card, VCardProblemKind::kLineTooLong, line.lineNo, std::string(name));
        return;
    }
    if (!line.hasValue) return;

    if (!m_property) m_property = std::make_unique<Property>(*this);
    Property& v = *m_property;
    ReadProperty(line, rule->field == Field::kAdr, v, card);
    ContactRecord& c = card.contact;
    switch (rule->field) {
        case Field::kText:
            // The first value wins: a later one is not even decoded.
            if (std::u16string& field = c.*(rule->text); field.empty()) v.TextInto(field);
            break;
        case Field::kDate:
        case Field::kPeerDate:
            // The host's none date (4501-01-01) is no date.
            if (const std::optional<LocalTime> date = ParseDatePrefix(v.bytes)) {
                m_peerUsed |= rule->field == Field::kPeerDate;
                std::optional<LocalTime>& field =
                    rule->field == Field::kDate ? c.*(rule->date) : m_peer.*(rule->date);
                if (rule->field == Field::kDate || !field) field = *date == kNoDateLocal ? std::nullopt : date;
            } else {
                Problem(card, VCardProblemKind::kInvalidDate, line.lineNo, std::string(name));
            }
            break;
        case Field::kPeerText:
            m_peerUsed = true;
            if (std::u16string& field = m_peer.*(rule->text); field.empty()) v.TextInto(field);
            break;
        case Field::kName: FillName(v, c); break;
        case Field::kOrg: FillOrganization(v, c); break;
        case Field::kCategories:
            if (c.Categories.empty()) ReadCategories(v, c.Categories);
            break;
        case Field::kClass:
            if (EqualsNoCase(v.bytes, "CONFIDENTIAL")) {
                c.Sensitivity = kSensitivityConfidential;
                card.sensitivitySet = true;
            } else if (EqualsNoCase(v.bytes, "PRIVATE")) {
                c.Sensitivity = kSensitivityPrivate;
                card.sensitivitySet = true;
            }
            break;
        case Field::kUrl: FillUrl(v, c); break;
        case Field::kAdr: FillAddress(v, c); break;
        case Field::kTel:
            if (!FillTelephone(v, c)) Problem(card, VCardProblemKind::kTelephoneWithoutSlot, line.lineNo, "TEL");
            break;
        case Field::kEmail: FillEmail(v, c); break;
    }
}

void CvCardReader::Finish(VCardCard& card) {
    ContactRecord& c = card.contact;
    if (m_peerUsed) {
        for (const PropertyRule& rule : kRules) {
            if (rule.field == Field::kPeerText && (c.*(rule.text)).empty()) c.*(rule.text) = std::move(m_peer.*(rule.text));
            if (rule.field == Field::kPeerDate && !(c.*(rule.date))) c.*(rule.date) = m_peer.*(rule.date);
        }
        ClearPeer();
    }
    if (card.hadSkypeLines) {
        if (!c.FullName.empty() && AllEmpty({&c.FirstName, &c.MiddleName, &c.Title, &c.Suffix})) c.LastName.clear();
        if (!c.Email1Address.empty() && c.Email2Address.empty() && c.Email3Address.empty()) {
            std::u16string all = c.Email1Address;
            for (char16_t& ch : all) {
                if (ch == u'\t') ch = u' ';
            }
            std::vector<std::u16string> words;
            std::size_t pos = 0;
            while (pos < all.size()) {
                while (pos < all.size() && all[pos] == u' ') ++pos;
                if (pos >= all.size()) break;
                std::size_t end = all.find(u' ', pos);
                if (end == std::u16string::npos) end = all.size();
                if (words.size() < 2) {
                    words.push_back(all.substr(pos, end - pos));
                } else {
                    // The rest keeps its inner spaces.
                    std::u16string rest = all.substr(pos);
                    while (!rest.empty() && rest.back() == u' ') rest.pop_back();
                    words.push_back(std::move(rest));
                    break;
                }
                pos = end;
            }
            if (!words.empty()) c.Email1Address = words[0];
            if (words.size() > 1) {
                c.Email2Address = words[1];
                c.Email2AddressType = c.Email1AddressType;
            }
            if (words.size() > 2) {
                c.Email3Address = words[2];
                c.Email3AddressType = c.Email1AddressType;
            }
        }
    }
    // A company's card names the company in its FN (peers need an FN): it stays a
    // company-only contact, found again as one on the next import.
    if (AllEmpty({&c.LastName, &c.FirstName, &c.MiddleName, &c.Title, &c.Suffix}) && c.FullName == c.CompanyName) {
        c.FullName.clear();
    }
    // Which properties got a value: the texts and dates by a table made once, rather
    // than a look at each row's kind for every card.
    static const SetTable kSetTable = MakeSetTable();
    card.m_set.reset();
    for (const auto& [index, text] : kSetTable.texts) {
        if (!(c.*text).empty()) card.m_set.set(index);
    }
    for (const auto& [index, date] : kSetTable.dates) {
        if ((c.*date).has_value()) card.m_set.set(index);
    }
    for (const std::size_t index : kSetTable.integers) {
        if (card.sensitivitySet) card.m_set.set(index);
    }
    SetFault(card);
    if (m_options.logger != nullptr) {
        for (const VCardProblem& p : card.problems) {
            if (p.kind != VCardProblemKind::kTelephoneWithoutSlot) continue;
            m_options.logger->LogMsg("Telephone number not imported, every field for it is taken: " + CardName(card) +
                                         " (" + m_fileName + ", line " + std::to_string(p.line) + ")",
                                     0, "CvCardReader::Next", kWarning, kLogFlags);
        }
    }
}

namespace {

// The version a VERSION line's value gives: 3.0 (and 4.0, read by the same rules) or 2.1.
int VersionOf(const ContentLine& line) {
    const std::string_view v = Trim(line.value);
    return line.hasValue && (StartsWithNoCase(v, "3.0") || StartsWithNoCase(v, "4.0")) ? 30 : 21;
}

}  // namespace

bool CvCardReader::Next(VCardCard& card) {
    ContentLine line;
    bool inCard = false;
    bool versionSeen = false;
    bool versionMatters = false;  // a line before the VERSION line is read by its rules
    std::size_t cardStart = 0;
    int cardStartLine = 0;
    bool cardTooLong = false;
    for (;;) {
        const std::size_t before = m_lines.Position();
        const int beforeLine = m_lines.PhysicalLines();
        if (!m_lines.Next(line)) break;
        const bool isVCard = line.params.empty() && line.hasValue && StartsWithNoCase(line.value, "VCARD");
        if (!inCard) {
            if (line.name == "BEGIN" && isVCard) {
                inCard = true;
                card.Reset();
                card.line = line.lineNo;
                ClearPeer();
                m_quietBefore = 0;
                SetVersion(21);
                cardStart = m_lines.Position();
                cardStartLine = m_lines.PhysicalLines();
                cardTooLong = false;
            } else if (line.name == "END" && isVCard) {
                ++m_stats.endsWithoutBegin;
            }
            continue;
        }
        if (line.name == "END" && isVCard) {
            card.version = m_version;
            if (!m_countOnly) Finish(card);
            return true;
        }
        if (line.name == "BEGIN") {
            if (!isVCard) continue;  // a nested BEGIN of something else is ignored
            // The next card begins before this one ended: this one is cut off, and the
            // next call starts again at that BEGIN.
            m_lines.Seek(before, beforeLine);
            break;
        }
        if (line.name == "VERSION") {
            if (versionSeen) continue;  // the first VERSION line counts
            versionSeen = true;
            const int version = VersionOf(line);
            if (version != m_version && versionMatters) {
                // Lines before it were read by the other version's rules (escapes,
                // quoted-printable addresses): read the card again from its start.
                const int beginLine = card.line;
                card.Reset();
                card.line = beginLine;
                ClearPeer();
                cardTooLong = false;
                m_quietBefore = before;  // the lines up to here are in the stats already
                m_lines.Seek(cardStart, cardStartLine);
            }
            SetVersion(version);
            card.version = m_version;
            continue;
        }
        if (m_lines.Position() - cardStart > m_options.maxCardBytes) {
            if (!cardTooLong) Problem(card, VCardProblemKind::kCardTooLong, line.lineNo, std::string(line.name));
            cardTooLong = true;
            continue;
        }
        // A line of a field read before any VERSION line (not a PRODID, say) is read
        // again should the VERSION line change the rules.
        if (!versionSeen && !versionMatters && FindRule(line.name) != nullptr) versionMatters = true;
        Dispatch(line, card);
    }
    if (!inCard) return false;
    ++m_stats.cardsWithoutEnd;
    card.version = m_version;
    Problem(card, VCardProblemKind::kCardWithoutEnd, card.line, "BEGIN");
    if (!m_countOnly) Finish(card);
    return true;
}

void CvCardReader::ClearPeer() {
    if (!m_peerUsed) return;
    ClearContactRecord(m_peer);
    m_peerUsed = false;
}

std::string CvCardReader::CardName(const VCardCard& card) {
    const ContactRecord& c = card.contact;
    std::u16string name = c.FullName;
    if (name.empty()) {
        for (const std::u16string* part : {&c.Title, &c.FirstName, &c.MiddleName, &c.LastName, &c.Suffix}) {
            if (part->empty()) continue;
            if (!name.empty()) name += u' ';
            name += *part;
        }
    }
    if (name.empty()) name = c.CompanyName;
    if (name.empty()) return "(no name)";
    return "\"" + utf::Utf16ToUtf8(name.substr(0, 200)) + "\"";
}

// A card the import must not take as it is: cut off, or beyond a limit of the reader.
void CvCardReader::SetFault(VCardCard& card) {
    const char* what = nullptr;
    int line = card.line;
    for (const VCardProblem& p : card.problems) {
        if (p.kind == VCardProblemKind::kCardWithoutEnd) {
            what = "Card without END:VCARD";
        } else if (p.kind == VCardProblemKind::kCardTooLong && what == nullptr) {
            what = "Card too long";
        } else if (p.kind == VCardProblemKind::kLineTooLong && what == nullptr) {
            what = "Property too long";
            line = p.line;
        } else {
            continue;
        }
        if (p.kind == VCardProblemKind::kCardWithoutEnd) break;
    }
    if (what == nullptr) return;
    card.fault = std::string(what) + ", not imported: " + CardName(card) + " (" + m_fileName + ", line " +
                 std::to_string(line) + ")";
}

std::vector<VCardCard> CvCardReader::ReadAll(std::string_view bytes, std::string fileName) {
    Open(bytes, std::move(fileName));
    std::vector<VCardCard> cards;
    VCardCard card;
    while (Next(card)) cards.push_back(std::move(card));
    return cards;
}

int CvCardReader::CountCards(std::string_view bytes, const VCardReaderOptions& options) {
    // Most files are counted by the starts of their lines alone; only a file where a
    // soft break or a fold could make or hide a BEGIN line is read line by line.
    std::string converted;
    const FileText file = PrepareFileText(bytes, converted);
    if (const auto begins = CountBeginLines(file.text, "VCARD", LineOptions(options), kImplicitQuotedPrintable21))
        return static_cast<int>(*begins);
    VCardReaderOptions limits;
    limits.maxLineBytes = options.maxLineBytes;
    limits.maxCardBytes = options.maxCardBytes;
    CvCardReader reader(nullptr, std::move(limits));
    reader.m_countOnly = true;
    reader.Open(bytes, {});
    VCardCard card;
    int count = 0;
    while (reader.Next(card)) ++count;
    return count;
}

}  // namespace mireo
