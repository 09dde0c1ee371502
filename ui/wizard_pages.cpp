#include "ui/wizard_pages.h"

#include "mireo_strings.h"
#include "platform/ascii.h"
#include "platform/user_strings.h"

namespace mireo {

std::string NameNotAccessible(const std::string& path) {
    std::string text = LoadUserString(kStrNameNotAccessible);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
    return text;
}

std::string CategoryFilterText(bool on, bool include, const std::string& categories) {
    if (!on) return LoadUserString(IDS_ANY);
    return std::string(LoadUserString(include ? kStrInclude : kStrExclude)) + " \"" + categories + "\"";
}

const char* YesNo(bool yes) { return LoadUserString(yes ? IDS_YES : IDS_NO); }

bool CategoriesTextEmpty(const std::string& text) { return ascii::IsBlank(text); }

}  // namespace mireo
