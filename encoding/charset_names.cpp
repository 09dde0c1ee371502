#include "encoding/charset_names.h"

#include <string>

#include "encoding/mireo_char_converter.h"
#include "platform/ascii.h"

namespace mireo {
namespace {

using ascii::EqualsNoCase;

struct Alias {
    const char* name;
    int codePage;
};
constexpr Alias kAliases[] = {
    {"utf8", 65001},         {"unicode11utf8", 65001}, {"latin1", 28591},     {"iso88591", 28591},
    {"l1", 28591},           {"iso885915", 28605},     {"latin9", 28605},     {"iso88592", 28592},
    {"latin2", 28592},       {"iso88595", 28595},      {"usascii", 20127},    {"ascii", 20127},
    {"windows1250", 1250},   {"cp1250", 1250},         {"windows1251", 1251}, {"cp1251", 1251},
    {"windows1252", 1252},   {"cp1252", 1252},         {"windows1253", 1253}, {"cp1253", 1253},
    {"windows1254", 1254},   {"cp1254", 1254},         {"windows1255", 1255}, {"cp1255", 1255},
    {"windows1256", 1256},   {"cp1256", 1256},         {"windows1257", 1257}, {"cp1257", 1257},
    {"windows1258", 1258},   {"cp1258", 1258},         {"windows874", 874},   {"cp874", 874},
    {"tis620", 874},         {"shiftjis", 932},        {"sjis", 932},         {"cp932", 932},
    {"windows31j", 932},     {"mskanji", 932},         {"gb2312", 936},       {"gbk", 936},
    {"cp936", 936},          {"euckr", 949},           {"cp949", 949},        {"ksc56011987", 949},
    {"big5", 950},           {"cp950", 950},           {"koi8r", 20866},      {"koi8u", 21866},
};

std::string AliasKey(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == '-' || c == '_' || c == ' ') continue;
        key += ascii::ToLower(c);
    }
    return key;
}

}  // namespace

int CodePageOfCharsetAlias(std::string_view name) {
    const std::string key = AliasKey(name);
    for (const Alias& a : kAliases) {
        if (key == a.name) return a.codePage;
    }
    return kUnknownCodePage;
}

int ResolveCharset(MireoCharConverter& converter, std::string_view name) {
    if (name.empty()) return kSystemCodePage;
    const int cp = converter.CodePageOfCharset(name);
    if (cp != kUnknownCodePage) return cp;
    for (const EncodingRecord& r : converter.Encodings()) {
        if (EqualsNoCase(r.charsetName, name)) return r.codePage;
    }
    return CodePageOfCharsetAlias(name);
}

}  // namespace mireo
