#include "ui/wizard_pages.h"

#include "platform/ascii.h"
#include "platform/user_strings.h"

namespace mireo {

std::string NameNotAccessible(const std::string& path) {
    std::string text = LoadUserString(kStrNameNotAccessible);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
    return text;
}

std::string CategoryFilterText(bool on, bool include, const std::string& categories) {
    if (!on) return "any";
    return std::string(LoadUserString(include ? kStrInclude : kStrExclude)) + " \"" + categories + "\"";
}

bool CategoriesTextEmpty(const std::string& text) { return ascii::IsBlank(text); }

}  // namespace mireo
