#pragma once
// Conversion between UTF-16 and Windows code pages, as WideCharToMultiByte and
// MultiByteToWideChar do it with no flags and no default character: characters the
// code page lacks become its default character ('?'), invalid input decodes to U+FFFD.
#include <string>
#include <string_view>

namespace mireo {

class ICodePages {
public:
    virtual ~ICodePages() = default;
    // GetACP: the system ANSI code page.
    virtual int AnsiCodePage() const = 0;
    // Number of bytes written to out, or 0 when the code page is unknown or the input is
    // empty (out is then left as it was).
    virtual int WideToMulti(int codePage, std::u16string_view text, std::string& out) const = 0;
    // Number of UTF-16 units written to out, or 0 as above.
    virtual int MultiToWide(int codePage, std::string_view bytes, std::u16string& out) const = 0;
    virtual bool IsValidCodePage(int codePage) const = 0;
};

// Windows: the system's converters. Linux: glibc iconv with a table from code page
// numbers to iconv names; the ANSI code page is 1252 unless $MIREO_ANSI_CODEPAGE says
// otherwise.
const ICodePages& SystemCodePages();

}  // namespace mireo
