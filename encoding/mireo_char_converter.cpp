#include "encoding/mireo_char_converter.h"

namespace mireo {

MireoCharConverter::MireoCharConverter(SupportedEncodingsList list, const ICodePages& codePages)
    : m_codePages(codePages), m_list(std::move(list)) {
    for (const EncodingRecord& r : m_list) {
        m_byCodePage[r.codePage] = &r;
        m_byDisplayName[r.displayName] = r.codePage;
        m_byCharsetName[r.charsetName] = r.codePage;
    }
}

MireoCharConverter::~MireoCharConverter() = default;

int MireoCharConverter::EncodeByCharset(std::string_view charsetName, std::u16string_view text, std::string& out) {
    return Encode(CodePageOfCharset(charsetName), text, out);
}

int MireoCharConverter::Encode(int codePage, std::u16string_view text, std::string& out) {
    if (codePage == kUnknownCodePage) return kConversionFailed;
    const int n = m_codePages.WideToMulti(ResolveCodePage(codePage), text, out);
    return n < 1 ? kConversionFailed : n;
}

int MireoCharConverter::DecodeByCharset(std::string_view charsetName, std::string_view bytes, std::u16string& out) {
    return Decode(CodePageOfCharset(charsetName), bytes, out);
}

int MireoCharConverter::Decode(int codePage, std::string_view bytes, std::u16string& out) {
    DecodeText(codePage, bytes, out);
    return kDecodeResult;
}

int MireoCharConverter::DecodeText(int codePage, std::string_view bytes, std::u16string& out) {
    if (codePage == kUnknownCodePage) return kConversionFailed;
    const int n = m_codePages.MultiToWide(ResolveCodePage(codePage), bytes, out);
    return n < 1 ? kConversionFailed : n;
}

std::string MireoCharConverter::CurrentCharsetName() { return CharsetName(m_currentCodePage); }

int MireoCharConverter::SetCurrentByCharsetName(std::string_view charsetName) {
    m_currentCodePage = CodePageOfCharset(charsetName);
    return m_currentCodePage;
}

int MireoCharConverter::SetCurrentByDisplayName(std::string_view displayName) {
    m_currentCodePage = CodePageOfDisplayName(displayName);
    return m_currentCodePage;
}

bool MireoCharConverter::IsEmptyName(std::string_view name) { return name.empty(); }

std::string MireoCharConverter::CharsetName(int codePage) {
    if (codePage == kSystemCodePage) return {};
    const auto it = m_byCodePage.find(codePage);
    return it == m_byCodePage.end() ? std::string() : it->second->charsetName;
}

int MireoCharConverter::CodePageOfCharset(std::string_view charsetName) {
    return IsEmptyName(charsetName) ? kSystemCodePage : Lookup(m_byCharsetName, charsetName);
}

int MireoCharConverter::CodePageOfDisplayName(std::string_view displayName) {
    return IsEmptyName(displayName) ? kSystemCodePage : Lookup(m_byDisplayName, displayName);
}

int MireoCharConverter::ResolveCodePage(int codePage) const {
    return codePage == kSystemCodePage ? m_codePages.AnsiCodePage() : codePage;
}

int MireoCharConverter::Lookup(const std::map<std::string, int, std::less<>>& map, std::string_view name) {
    const auto it = map.find(name);
    return it == map.end() ? kUnknownCodePage : it->second;
}

}  // namespace mireo
