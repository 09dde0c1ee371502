#include "vcard/export_parts.h"

#include "encoding/mireo_char_converter.h"

namespace mireo {

CConverterValueEncoder::CConverterValueEncoder(MireoCharConverter& converter)
    : m_converter(converter), m_charset(converter.CurrentCharsetName()) {}

int CConverterValueEncoder::Encode(std::u16string_view text, std::string& out) {
    const int n = m_converter.EncodeByCharset(m_charset, text, out);
    // The converter leaves the output as it was when it fails.
    if (n < 0) out.clear();
    return n;
}

namespace {

Value Read(IItem& item, ISafeItem& safe, const ContactPropertyInfo& p) {
    return p.access == ContactAccess::kSafeItem ? safe.Get(p.name) : item.Get(p.name);
}

void Store(const ContactPropertyInfo& p, const Value& v, ContactRecord& record) {
    switch (p.kind) {
    case ContactValueKind::kText:
        record.*p.text = v.GetKind() == Value::Kind::Text ? v.AsText() : std::u16string();
        break;
    case ContactValueKind::kDate:
        record.*p.date = v.IsEmpty() ? std::nullopt : LocalFromOle(v.AsDate());
        break;
    case ContactValueKind::kInteger:
        record.*p.integer = v.AsInt();
        break;
    }
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == 0x3000; }

char16_t Fold(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    // Latin Extended-A and the Cyrillic supplement pair capitals with the next code.
    if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x4BF)) && c % 2 == 0)
        return static_cast<char16_t>(c + 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return static_cast<char16_t>(c + 1);
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);
    return c;
}

}  // namespace

int ReadContactRecord(IItem& item, ISafeItem& safe, int hostMajorVersion, ContactRecord& record) {
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if ((p.usedBy & kUsedByExport) == 0) continue;
        if (p.needsMajor10 && hostMajorVersion < 10) continue;
        if (p.failReadFailsCard) {
            try {
                Store(p, Read(item, safe, p), record);
            } catch (const HostError&) {
                return kContactCannotBuild;
            }
        } else {
            Store(p, Read(item, safe, p), record);
        }
    }
    return kContactRead;
}

std::vector<std::u16string> SplitCategories(std::u16string_view list, std::u16string_view separator) {
    if (separator.empty()) separator = u";";
    std::vector<std::u16string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(separator, start);
        if (end == std::u16string_view::npos) end = list.size();
        std::u16string_view name = list.substr(start, end - start);
        while (!name.empty() && IsSpace(name.front())) name.remove_prefix(1);
        while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
        if (!name.empty()) names.emplace_back(name);
        start = end + separator.size();
    }
    return names;
}

bool SameCategory(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

}  // namespace mireo
