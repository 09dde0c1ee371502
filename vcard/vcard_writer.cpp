#include "vcard/vcard_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textformat/date_text.h"
#include "textformat/quoted_printable.h"
#include "textformat/text_escape.h"
#include "platform/utf.h"

namespace mireo {
namespace {

constexpr char kCrLf[] = "\r\n";

bool HasLineBreak(std::string_view bytes) { return bytes.find_first_of("\r\n") != std::string_view::npos; }

// Which characters a 3.0 value escapes: those of a text, of a component of a
// structured value (";" too), or only the line breaks (a plain value).
enum class Escapes { kText, kComponent, kLineBreaks };

// What a 3.0 value escapes among the ASCII characters, one bit a kind of value:
// line breaks in every value, "\\" and "," in texts and components, ";" in components.
constexpr std::uint8_t kBreakBit = 1, kTextBit = 2, kComponentBit = 4;
constexpr std::array<std::uint8_t, 128> kEscaped = [] {
    std::array<std::uint8_t, 128> a{};
    a['\r'] = a['\n'] = kBreakBit;
    a['\\'] = a[','] = kTextBit;
    a[';'] = kComponentBit;
    return a;
}();

#if defined(__SSE2__)
// The eight units at `units` as bytes onto `o` (room for eight), and how many of them
// from the first on are printable ASCII without a character that any 3.0 value
// escapes: those bytes are the text's own.
unsigned CopyPlainAscii8(const char16_t* units, char* o) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    // Saturated to bytes, a unit beyond ASCII becomes 0x00 or at least 0x80: below
    // 0x20 as a signed byte, as the control characters are.
    const __m128i bytes = _mm_packus_epi16(v, v);
    const __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))),
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(';'))));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), bytes);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special)) & 0xFFu;
    return mask == 0 ? 8u : static_cast<unsigned>(std::countr_zero(mask));
}
#endif

// The 3.0 escapes of `text` written as UTF-8 onto out in one pass: the bytes that
// escaping the text and then encoding it as UTF-8 give (every escape is ASCII, and
// a line break's bytes are never part of a longer character). False, with out as it
// was, for a text with an unpaired surrogate, which UTF-8 cannot hold.
bool AppendEscapedUtf8(std::u16string_view text, Escapes escapes, std::string& out) {
    const std::size_t begin = out.size();
    const std::size_t n = text.size();
    const std::uint8_t mask = escapes == Escapes::kLineBreaks ? kBreakBit
                              : escapes == Escapes::kText     ? kBreakBit | kTextBit
                                                              : kBreakBit | kTextBit | kComponentBit;
    // Room for the longest result (a unit gives at most three bytes; an escape two
    // bytes for one unit), cut to what was written at the end.
    out.resize(begin + 3 * n);
    char* o = out.data() + begin;
    std::size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Most text is plain ASCII: eight units at a time up to the next other one.
        // (Eight bytes fit: at most 3 * i were written for i units.)
        if (n - i >= 8) {
            const unsigned plain = CopyPlainAscii8(text.data() + i, o);
            i += plain;
            o += plain;
            if (plain == 8) continue;
        }
#endif
        char32_t c = text[i++];
        if (c < 0x80) {
            const std::uint8_t kind = kEscaped[c] & mask;
            if (kind == 0) {
                *o++ = static_cast<char>(c);
            } else if (kind == kBreakBit) {
                // CR LF is one line break; a lone CR or LF is one too.
                if (c == u'\r' && i < n && text[i] == u'\n') ++i;
                *o++ = '\\';
                *o++ = 'n';
            } else {
                *o++ = '\\';
                *o++ = static_cast<char>(c);
            }
            continue;
        }
        if (utf::IsSurrogate(c)) {
            if (!utf::IsHighSurrogate(c) || i == n || !utf::IsLowSurrogate(text[i])) {
                out.resize(begin);
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i] - 0xDC00);
            ++i;
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return true;
}

}  // namespace

CvCardWriter::CvCardWriter(IValueEncoder& encoder, VCardWriterOptions options)
    : m_encoder(encoder), m_options(std::move(options)) {
    if (m_options.listSeparator.empty()) m_options.listSeparator.push_back(u';');
    // The lines every card starts with, made once for the writer's cards.
    m_start = "BEGIN:VCARD\r\n";
    if (m_options.version == kVCard30) {
        char prodid[96];
        std::snprintf(prodid, sizeof prodid, "PRODID:-//Kelvo Corporation//MIREO %d.%d//EN\r\n",
                      m_options.productMajor, m_options.productMinor);
        m_start += prodid;
        m_start += "VERSION:3.0\r\n";
    } else {
        m_start += "VERSION:2.1\r\n";
    }
}

void CvCardWriter::EncodeValue(std::u16string_view text) {
    m_bytes.clear();
    if (text.empty()) return;
    if (m_encoder.Encode(text, m_bytes) < 0) m_bytes.clear();  // unknown code page: value empty
}

void CvCardWriter::Head(std::string_view name, VCardTypes types, bool quotedPrintable) {
    // A card has some twenty lines, most of them with the heads of the card before:
    // each head is made once and kept by the addresses of its (literal) name and types.
    const auto key = reinterpret_cast<std::uintptr_t>(name.data()) ^
                     (reinterpret_cast<std::uintptr_t>(types.first) * 31) ^
                     (reinterpret_cast<std::uintptr_t>(types.second) * 131) ^ (quotedPrintable ? 1 : 0);
    HeadEntry& e = m_heads[(key ^ (key >> 6) ^ (key >> 12)) % m_heads.size()];
    if (e.name != name.data() || e.nameSize != name.size() || e.first != types.first || e.second != types.second ||
        e.quotedPrintable != quotedPrintable) {
        e.name = name.data();
        e.nameSize = name.size();
        e.first = types.first;
        e.second = types.second;
        e.quotedPrintable = quotedPrintable;
        e.text.assign(name);
        e.text += m_charsetParam;
        for (const char* type : {types.first, types.second}) {
            if (type == nullptr) continue;
            e.text += m_options.version == kVCard30 ? ";TYPE=" : ";";
            e.text += type;
        }
        if (quotedPrintable) e.text += ";ENCODING=QUOTED-PRINTABLE";
        e.text += ':';
    }
    *m_out += e.text;
}

void CvCardWriter::AppendEscaped30(std::u16string_view text, bool component, std::string& out) {
    if (m_utf8 && AppendEscapedUtf8(text, component ? Escapes::kComponent : Escapes::kText, out)) return;
    m_escaped.clear();
    mireo::AppendEscaped30(text, component, m_escaped);
    EncodeValue(m_escaped);
    out += m_bytes;
}

void CvCardWriter::AppendPlain30(std::u16string_view text, std::string& out) {
    if (m_utf8 && AppendEscapedUtf8(text, Escapes::kLineBreaks, out)) return;
    EncodeValue(text);
    // Plain values are not escaped, but a line break must not end the line.
    AppendLineBreaksEscaped(m_bytes, out);
}

void CvCardWriter::TextLine(std::string_view name, VCardTypes types,
                            std::u16string_view value, Kind kind) {
    std::string& out = *m_out;
    if (m_options.version == kVCard30 && kind == Kind::kText) {
        Head(name, types, false);
        AppendEscaped30(value, false, out);
        out += kCrLf;
        return;
    }
    if (m_options.version == kVCard30) {
        Head(name, types, false);
        AppendPlain30(value, out);
        out += kCrLf;
        return;
    }
    EncodeValue(value);
    // 2.1 has no escapes: a value with a line break goes quoted-printable.
    const bool qp = HasLineBreak(m_bytes);
    Head(name, types, qp);
    if (qp) {
        AppendQuotedPrintable(m_bytes, out, true);
    } else {
        out += m_bytes;
        out += kCrLf;
    }
}

void CvCardWriter::StructuredLine(std::string_view name, VCardTypes types,
                                  std::initializer_list<std::u16string_view> components, bool dropEmptyTail) {
    std::size_t count = components.size();
    if (dropEmptyTail) {
        while (count > 1 && components.begin()[count - 1].empty()) --count;
    }
    std::string& out = *m_out;
    if (m_options.version == kVCard30) {
        // 3.0 escapes what would end a line: the value goes on the line as it is built.
        Head(name, types, false);
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) out += ';';
            AppendEscaped30(components.begin()[i], true, out);
        }
        out += kCrLf;
        return;
    }
    m_value.clear();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) m_value += ';';
        // "\;" for a semicolon, and "\\" for a backslash that would otherwise
        // join what follows it (a ";", a "\", the end of the part): the reader undoes
        // both in one pass, so C:\ and x stay two parts, not "C:;x". Any other
        // backslash (C:\new) is written as it is, as earlier versions wrote it.
        m_escaped.clear();
        const std::u16string_view part = components.begin()[i];
        for (std::size_t k = 0; k < part.size(); ++k) {
            const char16_t ch = part[k];
            const bool joins = k + 1 == part.size() || part[k + 1] == u';' || part[k + 1] == u'\\';
            if (ch == u';' || (ch == u'\\' && joins)) m_escaped += u'\\';
            m_escaped += ch;
        }
        EncodeValue(m_escaped);
        m_value += m_bytes;
    }
    const bool qp = HasLineBreak(m_value);
    Head(name, types, qp);
    if (qp) {
        AppendQuotedPrintable(m_value, out, true);
    } else {
        out += m_value;
        out += kCrLf;
    }
}

void CvCardWriter::NoteLine(std::u16string_view body) {
    if (m_options.version == kVCard30) {
        TextLine("NOTE", {}, body);
        return;
    }
    EncodeValue(body);
    Head("NOTE", {}, true);
    AppendQuotedPrintable(m_bytes, *m_out, true);
}

void CvCardWriter::DateLine(std::string_view name, LocalTime date, bool withTime) {
    Head(name, {}, false);
    *m_out += withTime ? FormatDateTime(date) : FormatBasicDate(date);
    *m_out += kCrLf;
}

void CvCardWriter::CategoriesLine(std::u16string_view categories) {
    if (m_options.version != kVCard30) {
        TextLine("X-OUTL-CATEGORIES", {}, categories);
        return;
    }
    const std::u16string& sep = m_options.listSeparator;
    if (!m_options.categoriesAsList) {
        // Every separator becomes ",", which the escaping then writes as "\,".
        std::u16string joined;
        joined.reserve(categories.size());
        std::size_t pos = 0;
        for (;;) {
            const std::size_t hit = categories.find(sep, pos);
            if (hit == std::u16string_view::npos) break;
            joined.append(categories.substr(pos, hit - pos));
            joined += u',';
            pos = hit + sep.size();
        }
        joined.append(categories.substr(pos));
        TextLine("CATEGORIES", {}, joined);
        return;
    }
    std::string& out = *m_out;
    Head("CATEGORIES", {}, false);
    bool first = true;
    std::size_t pos = 0;
    while (pos <= categories.size()) {
        std::size_t hit = categories.find(sep, pos);
        if (hit == std::u16string_view::npos) hit = categories.size();
        const std::u16string_view name = TrimText(categories.substr(pos, hit - pos));
        if (!name.empty()) {
            if (!first) out += ',';
            first = false;
            AppendEscaped30(name, false, out);
        }
        pos = hit + sep.size();
    }
    out += kCrLf;
}

void CvCardWriter::BuildCard(const ContactRecord& c, std::string& out) {
    out.clear();
    m_out = &out;
    const std::string charset = m_encoder.CharsetName();
    const bool sameCharset = charset.empty() ? m_charsetParam.empty()
                                             : m_charsetParam.size() == charset.size() + 9 &&
                                                   m_charsetParam.compare(9, std::string::npos, charset) == 0;
    if (!sameCharset) {
        m_charsetParam = charset.empty() ? std::string() : ";CHARSET=" + charset;
        for (HeadEntry& e : m_heads) e.name = nullptr;  // made with the charset before
    }
    m_utf8 = m_encoder.EncodesAsUtf8();
    const bool v30 = m_options.version == kVCard30;

    out += m_start;

    StructuredLine("N", {}, {c.LastName, c.FirstName, c.MiddleName, c.Title, c.Suffix});

    std::u16string fullName;
    for (const std::u16string* part : {&c.FirstName, &c.MiddleName, &c.LastName, &c.Suffix}) {
        if (part->empty()) continue;
        if (!fullName.empty()) fullName += u' ';
        fullName += *part;
    }
    // A contact without name parts (a nickname-like "Grandma", a company) is named by
    // its full name, else its file-as name: peers show the FN and need one.
    if (fullName.empty()) fullName = c.FullName.empty() ? c.FileAs : c.FullName;
    TextLine("FN", {}, fullName);

    if (!c.NickName.empty()) TextLine("NICKNAME", {}, c.NickName);
    if (!c.CompanyName.empty() || !c.Department.empty()) {
        StructuredLine("ORG", {}, {c.CompanyName, c.Department}, true);
    }
    if (!c.JobTitle.empty()) TextLine("TITLE", {}, c.JobTitle);
    if (!c.Body.empty()) NoteLine(c.Body);

    struct Tel {
        const std::u16string& number;
        VCardTypes types;
    };
    const Tel tels[] = {
        {c.BusinessTelephoneNumber, {"WORK"}},  {c.Business2TelephoneNumber, {"WORK"}},
        {c.BusinessFaxNumber, {"WORK", "FAX"}}, {c.HomeTelephoneNumber, {"HOME"}},
        {c.Home2TelephoneNumber, {"HOME"}},     {c.HomeFaxNumber, {"HOME", "FAX"}},
        {c.MobileTelephoneNumber, {"CELL"}},    {c.CarTelephoneNumber, {"CAR"}},
        {c.OtherTelephoneNumber, {"VOICE"}},    {c.OtherFaxNumber, {"FAX"}},
        {c.PagerNumber, {"PAGER"}},             {c.ISDNNumber, {"ISDN"}},
        {c.PrimaryTelephoneNumber, {"PREF"}},
    };
    for (const Tel& t : tels) {
        if (!t.number.empty()) TextLine("TEL", t.types, t.number, Kind::kPlain);
    }

    const std::u16string_view none;
    auto anySet = [](std::initializer_list<std::u16string_view> parts) {
        for (std::u16string_view p : parts) {
            if (!p.empty()) return true;
        }
        return false;
    };
    if (anySet({c.BusinessAddressPostOfficeBox, c.OfficeLocation, c.BusinessAddressStreet, c.BusinessAddressCity,
                c.BusinessAddressState, c.BusinessAddressPostalCode, c.BusinessAddressCountry})) {
        StructuredLine("ADR", {"WORK"},
                       {c.BusinessAddressPostOfficeBox, c.OfficeLocation, c.BusinessAddressStreet,
                        c.BusinessAddressCity, c.BusinessAddressState, c.BusinessAddressPostalCode,
                        c.BusinessAddressCountry});
    }
    if (anySet({c.HomeAddressPostOfficeBox, c.HomeAddressStreet, c.HomeAddressCity, c.HomeAddressState,
                c.HomeAddressPostalCode, c.HomeAddressCountry})) {
        StructuredLine("ADR", {"HOME"},
                       {c.HomeAddressPostOfficeBox, none, c.HomeAddressStreet, c.HomeAddressCity,
                        c.HomeAddressState, c.HomeAddressPostalCode, c.HomeAddressCountry});
    }
    if (anySet({c.OtherAddressPostOfficeBox, c.OtherAddressStreet, c.OtherAddressCity, c.OtherAddressState,
                c.OtherAddressPostalCode, c.OtherAddressCountry})) {
        StructuredLine("ADR", {"POSTAL"},
                       {c.OtherAddressPostOfficeBox, none, c.OtherAddressStreet, c.OtherAddressCity,
                        c.OtherAddressState, c.OtherAddressPostalCode, c.OtherAddressCountry});
    }

    if (!c.PersonalHomePage.empty()) TextLine("URL", {"HOME"}, c.PersonalHomePage, Kind::kPlain);
    if (!c.BusinessHomePage.empty()) TextLine("URL", {"WORK"}, c.BusinessHomePage, Kind::kPlain);
    if (!c.Profession.empty()) TextLine("ROLE", {}, c.Profession);
    if (c.Birthday) DateLine("BDAY", *c.Birthday, false);

    const std::u16string* emails[3][2] = {{&c.Email1Address, &c.Email1AddressType},
                                          {&c.Email2Address, &c.Email2AddressType},
                                          {&c.Email3Address, &c.Email3AddressType}};
    for (int i = 0; i < 3; ++i) {
        const std::u16string& address = *emails[i][0];
        if (address.empty()) continue;
        const bool smtp = *emails[i][1] == u"SMTP";  // exact, case-sensitive
        if (i == 0) {
            if (smtp) {
                TextLine("EMAIL", {"PREF", "INTERNET"}, address, Kind::kPlain);
            } else {
                TextLine("EMAIL", {"PREF"}, address, Kind::kPlain);
            }
        } else if (smtp) {
            TextLine("EMAIL", {"INTERNET"}, address, Kind::kPlain);
        } else {
            TextLine("EMAIL", {}, address, Kind::kPlain);
        }
    }

    if (m_options.hostMajorVersion > 9) TextLine("X-OUTL-IMADDRESS", {}, c.IMAddress);
    if (!c.ManagerName.empty()) TextLine("X-OUTL-MANAGERNAME", {}, c.ManagerName);
    if (!c.AssistantName.empty()) TextLine("X-OUTL-ASSISTANTNAME", {}, c.AssistantName);
    if (!c.Spouse.empty()) TextLine("X-OUTL-SPOUSE", {}, c.Spouse);
    if (c.Anniversary) DateLine("X-OUTL-ANNIVERSARY", *c.Anniversary, false);
    if (!c.NetMeetingServer.empty()) TextLine("X-OUTL-NMSERVER", {}, c.NetMeetingServer);
    if (!c.NetMeetingAlias.empty()) TextLine("X-OUTL-NMALIAS", {}, c.NetMeetingAlias);
    if (!c.InternetFreeBusyAddress.empty()) TextLine("X-OUTL-IFBADDRESS", {}, c.InternetFreeBusyAddress);

    CategoriesLine(c.Categories);
    // REV is written for every contact: one without a modification time gets the
    // host's none date, 4501-01-01, as the host gives it.
    DateLine("REV", c.LastModificationTime.value_or(kNoDateLocal), true);

    if (c.Sensitivity == kSensitivityPrivate || c.Sensitivity == kSensitivityConfidential) {
        out += v30 ? "CLASS:" : "X-OUTL-CLASS:";
        out += c.Sensitivity == kSensitivityPrivate ? "PRIVATE" : "CONFIDENTIAL";
        out += kCrLf;
    }
    out += "END:VCARD\r\n";
    m_out = nullptr;
}

}  // namespace mireo
