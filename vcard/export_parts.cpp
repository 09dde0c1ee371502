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

}  // namespace mireo
