#include "vcard/ui/dlg_vcard_import_options.h"

#include "engine/settings_store.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "vcard/contact_import.h"
#include "vcard/ui/category_chooser.h"
#include "vcard/ui/dlg_vcard_export_options.h"

namespace mireo {

std::uint32_t ContactImportOptionValues::FilterMask() const {
    std::uint32_t mask = skipPrivate ? kFilterSkipPrivate : 0;
    if (categoryFilter) mask |= includeCategories ? kFilterIncludeCategories : kFilterExcludeCategories;
    return mask;
}

void ContactImportOptionValues::SetFilterMask(std::uint32_t mask) {
    skipPrivate = (mask & kFilterSkipPrivate) != 0;
    categoryFilter = (mask & (kFilterExcludeCategories | kFilterIncludeCategories)) != 0;
    includeCategories = (mask & kFilterIncludeCategories) != 0;
}

ContactImportOptionValues ReadContactImportOptions(const CSettingsStore& settings) {
    ContactImportOptionValues v;
    const std::uint32_t rule = settings.GetNumber(kSetImportConflict);
    v.conflict = rule <= static_cast<std::uint32_t>(kConflictKeepExisting) ? static_cast<int>(rule) : kConflictKeepBoth;
    v.SetFilterMask(settings.GetNumber(kSetImportFilter));
    v.categories = settings.GetText(kSetImportFilterCategories);
    return v;
}

void StoreContactImportOptions(CSettingsStore& settings, const ContactImportOptionValues& values) {
    settings.WriteNumber(kSetImportConflict, static_cast<std::uint32_t>(values.conflict));
    settings.WriteNumber(kSetImportFilter, values.FilterMask());
    settings.WriteText(kSetImportFilterCategories, values.categories);
}

CDlgVCardImportOptions::CDlgVCardImportOptions(CSettingsStore& settings, IMessageBox& messages)
    : m_settings(settings), m_messages(messages), m_values(ReadContactImportOptions(settings)) {}

bool CDlgVCardImportOptions::SetConflict(int rule) {
    if (rule < kConflictKeepBoth || rule > kConflictKeepExisting) return false;
    m_values.conflict = rule;
    return true;
}

bool CDlgVCardImportOptions::Validate() {
    if (m_values.categoryFilter && CategoriesTextEmpty(m_values.categories)) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEnterCategories), MbIcon::Exclamation, MbButtons::Ok);
        return false;
    }
    return true;
}

bool CDlgVCardImportOptions::OnOk() {
    if (!Validate()) return false;
    StoreContactImportOptions(m_settings, m_values);
    return true;
}

bool CDlgVCardImportOptions::ChooseCategories(IApplication& app) {
    return ChooseContactCategories(app, m_values.categories);
}

}  // namespace mireo
