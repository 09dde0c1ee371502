// Code-page conversion through the system's own converters, called exactly as the
// add-in always has: no flags and no default character, so the code page's default
// character ('?') stands in for what it cannot represent.
#include "platform/code_pages.h"

#include <windows.h>

#include <climits>

namespace mireo {
namespace {

class CWin32CodePages final : public ICodePages {
public:
    int AnsiCodePage() const override { return static_cast<int>(::GetACP()); }

    int WideToMulti(int codePage, std::u16string_view text, std::string& out) const override {
        if (text.empty() || text.size() > INT_MAX / 4 || codePage <= 0) return 0;
        const auto* src = reinterpret_cast<const wchar_t*>(text.data());
        const int srcLen = static_cast<int>(text.size());
        const UINT cp = static_cast<UINT>(codePage);
        const int n = ::WideCharToMultiByte(cp, 0, src, srcLen, nullptr, 0, nullptr, nullptr);
        if (n < 1) return 0;
        std::string buf(static_cast<std::size_t>(n), '\0');
        const int written = ::WideCharToMultiByte(cp, 0, src, srcLen, buf.data(), n, nullptr, nullptr);
        if (written < 1) return 0;
        buf.resize(static_cast<std::size_t>(written));
        out = std::move(buf);
        return written;
    }

    int MultiToWide(int codePage, std::string_view bytes, std::u16string& out) const override {
        if (bytes.empty() || bytes.size() > INT_MAX / 2 || codePage <= 0) return 0;
        const int srcLen = static_cast<int>(bytes.size());
        const UINT cp = static_cast<UINT>(codePage);
        const int n = ::MultiByteToWideChar(cp, 0, bytes.data(), srcLen, nullptr, 0);
        if (n < 1) return 0;
        std::u16string buf(static_cast<std::size_t>(n), u'\0');
        const int written =
            ::MultiByteToWideChar(cp, 0, bytes.data(), srcLen, reinterpret_cast<wchar_t*>(buf.data()), n);
        if (written < 1) return 0;
        buf.resize(static_cast<std::size_t>(written));
        out = std::move(buf);
        return written;
    }

    bool IsValidCodePage(int codePage) const override {
        return codePage > 0 && ::IsValidCodePage(static_cast<UINT>(codePage)) != FALSE;
    }
};

}  // namespace

const ICodePages& SystemCodePages() {
    static const CWin32CodePages instance;
    return instance;
}

}  // namespace mireo
