#include <windows.h>

#include <string>

#include "platform/locale_info.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

class CWin32LocaleInfo : public ILocaleInfo {
public:
    std::string ListSeparator() override { return Read(LOCALE_SLIST, ","); }
    std::string ShortDateFormat() override { return Read(LOCALE_SSHORTDATE, "M/d/yyyy"); }

private:
    static std::string Read(LCTYPE type, const char* fallback) {
        wchar_t buf[96];
        const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, static_cast<int>(sizeof buf / sizeof buf[0]));
        if (n <= 1) return fallback;  // n counts the terminating NUL
        return regtext::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buf), static_cast<std::size_t>(n - 1)));
    }
};

}  // namespace

ILocaleInfo& SystemLocaleInfo() {
    static CWin32LocaleInfo info;
    return info;
}

}  // namespace mireo
