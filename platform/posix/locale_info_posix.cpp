#include <cstdint>
#include <string>

#include "platform/locale_info.h"
#include "platform/registry.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

constexpr const char* kInternationalKey = "Control Panel\\International";

// The user's choices live where Windows keeps them, in the registry substitute, so a
// test or the command line can set them; each call reads them afresh.
class CRegistryLocaleInfo : public ILocaleInfo {
public:
    std::string ListSeparator() override { return Read("sList", ","); }
    std::string ShortDateFormat() override { return Read("sShortDate", "M/d/yyyy"); }

private:
    static std::string Read(const char* name, const char* fallback) {
        IRegistry& reg = SystemRegistry();
        IRegistry::Key key = 0;
        if (reg.OpenKey(RegRoot::CurrentUser, kInternationalKey, false, false, key) != kErrorSuccess) return fallback;
        UniqueRegKey owner(&reg, key);
        std::uint32_t type = 0;
        std::uint8_t buf[512];
        std::uint32_t size = sizeof buf;
        std::string text;
        if (reg.QueryValue(key, name, &type, buf, &size) != kErrorSuccess) return fallback;
        if ((type != kRegSz && type != kRegExpandSz) || !regtext::SzText(buf, size, text) || text.empty())
            return fallback;
        return text;
    }
};

}  // namespace

ILocaleInfo& SystemLocaleInfo() {
    static CRegistryLocaleInfo info;
    return info;
}

}  // namespace mireo
