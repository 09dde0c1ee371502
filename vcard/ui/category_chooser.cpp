#include "vcard/ui/category_chooser.h"

#include <memory>

#include "engine/host_value.h"
#include "engine/item_store.h"
#include "platform/hresult.h"

namespace mireo {

bool ChooseContactCategories(IApplication& app, std::string& categories) {
    std::unique_ptr<IItem> item;
    try {
        // A temporary contact outside any folder, discarded whatever happens.
        item = app.CreateItem(ItemType::Contact);
        if (!item) return false;
        item->Put("Categories", Value::Text(ToHostText(categories)));
        const bool chosen = item->ShowCategoriesDialog();
        if (chosen) categories = FromHostText(item->Get("Categories").AsText());
        item->Discard();
        return chosen;
    } catch (const HostError&) {
        if (item) {
            try {
                item->Discard();
            } catch (const HostError&) {
            }
        }
        return false;
    }
}

}  // namespace mireo
