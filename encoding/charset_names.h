#pragma once
// Charset names as files write them in CHARSET parameters, resolved to the code pages
// of the supported encodings list.
#include <string_view>

namespace mireo {

class MireoCharConverter;

// The code page of a charset name that files use for a code page of the list
// ("utf8", "latin1", "cp1251", "Shift-JIS", ...), compared after lower casing and
// dropping "-", "_" and spaces; kUnknownCodePage when it is none of them.
int CodePageOfCharsetAlias(std::string_view name);

// The code page of a CHARSET parameter's value: kSystemCodePage for an empty name; the
// list's charset name as it is, then without regard to ASCII case, then the aliases;
// kUnknownCodePage when nothing matches.
int ResolveCharset(MireoCharConverter& converter, std::string_view name);

}  // namespace mireo
