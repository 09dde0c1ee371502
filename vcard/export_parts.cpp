#include "vcard/export_parts.h"

#include <algorithm>

#include "encoding/mireo_char_converter.h"
#include "platform/ascii.h"
#include "textformat/text_escape.h"

namespace mireo {

CConverterValueEncoder::CConverterValueEncoder(MireoCharConverter& converter)
    : m_converter(converter),
      m_charset(converter.CurrentCharsetName()),
      m_utf8(ascii::EqualsNoCase(m_charset, "UTF-8")) {}

int CConverterValueEncoder::Encode(std::u16string_view text, std::string& out) {
    if (m_utf8 && !text.empty()) {
        out.clear();
        if (AppendUtf16AsUtf8(text, out)) return static_cast<int>(out.size());
    }
    const int n = m_converter.EncodeByCharset(m_charset, text, out);
    // The converter leaves the output as it was when it fails.
    if (n < 0) {
        out.clear();
        return n;
    }
    // A character the code page cannot hold becomes "?": more of them than the text has
    // means a loss, which decoding back confirms (a multi-byte code page may hold the
    // byte of "?" inside a character).
    if (!m_lossy && out.find('?') != std::string::npos &&
        std::count(out.begin(), out.end(), '?') > std::count(text.begin(), text.end(), u'?')) {
        m_back.clear();
        m_lossy = m_converter.DecodeByCharset(m_charset, out, m_back) < 0 || m_back != text;
    }
    return n;
}

namespace {

Value Read(IItem& item, ISafeItem& safe, const ContactPropertyInfo& p) {
    return p.access == ContactAccess::kSafeItem ? safe.Get(p.name) : item.Get(p.name);
}

void Store(const ContactPropertyInfo& p, Value&& v, ContactRecord& record) {
    switch (p.kind) {
    case ContactValueKind::kText:
        record.*p.text = std::move(v).TakeText();
        break;
    case ContactValueKind::kDate:
        record.*p.date = v.IsEmpty() ? std::nullopt : LocalFromOle(v.AsDate());
        break;
    case ContactValueKind::kInteger:
        record.*p.integer = v.AsInt();
        break;
    }
}

}  // namespace

int ReadContactRecord(IItem& item, ISafeItem& safe, int hostMajorVersion, ContactRecord& record) {
    return CContactReader(hostMajorVersion).Read(item, safe, record);
}

CContactReader::CContactReader(int hostMajorVersion) {
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        const bool read = (p.usedBy & kUsedByExport) != 0 && (!p.needsMajor10 || hostMajorVersion >= 10);
        if (!read) {
            m_unread.push_back(&p);
            continue;
        }
        const bool text = p.kind == ContactValueKind::kText;
        const Entry::Way way = !text                                       ? Entry::Way::kValue
                               : p.access == ContactAccess::kSafeItem      ? Entry::Way::kSafeText
                                                                           : Entry::Way::kItemText;
        m_read.push_back(Entry{&p, PropertyRef(p.name), text ? p.text : nullptr, way, p.failReadFailsCard});
    }
}

namespace {

// A property other than a text, as a Value.
[[gnu::noinline]] void ReadValue(IItem& item, ISafeItem& safe, const ContactPropertyInfo& p, ContactRecord& record) {
    Store(p, Read(item, safe, p), record);
}

}  // namespace

inline void CContactReader::ReadEntry(IItem& item, ISafeItem& safe, Entry& e, ContactRecord& record) {
    switch (e.way) {
    case Entry::Way::kItemText: item.GetText(e.ref, record.*e.text); break;
    case Entry::Way::kSafeText: safe.GetText(e.ref, record.*e.text); break;
    case Entry::Way::kValue: ReadValue(item, safe, *e.info, record); break;
    }
}

int CContactReader::Read(IItem& item, ISafeItem& safe, ContactRecord& record) {
    for (const ContactPropertyInfo* p : m_unread) {
        if (p->text) (record.*p->text).clear();
        if (p->date) record.*p->date = std::nullopt;
        if (p->integer) record.*p->integer = 0;
    }
    for (Entry& e : m_read) {
        if (!e.failsCard) {
            ReadEntry(item, safe, e, record);
            continue;
        }
        try {
            ReadEntry(item, safe, e, record);
        } catch (const HostError&) {
            return kContactCannotBuild;
        }
    }
    return kContactRead;
}

}  // namespace mireo
