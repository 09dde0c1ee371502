#include "vcard/ui/category_chooser.h"

#include "engine/host_folders.h"

namespace mireo {

bool ChooseContactCategories(IApplication& app, std::string& categories) {
    return ChooseItemCategories(app, ItemType::Contact, categories);
}

}  // namespace mireo
