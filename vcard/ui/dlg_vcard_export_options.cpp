#include "vcard/ui/dlg_vcard_export_options.h"

#include <algorithm>
#include <memory>

#include "engine/item_store.h"
#include "engine/settings_store.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "vcard/contact_export.h"
#include "vcard/ui/category_chooser.h"

namespace mireo {

std::uint32_t ContactExportOptionValues::FilterMask() const {
    std::uint32_t mask = skipPrivate ? kFilterSkipPrivate : 0;
    if (categoryFilter) mask |= includeCategories ? kFilterIncludeCategories : kFilterExcludeCategories;
    return mask;
}

void ContactExportOptionValues::SetFilterMask(std::uint32_t mask) {
    skipPrivate = (mask & kFilterSkipPrivate) != 0;
    categoryFilter = (mask & (kFilterExcludeCategories | kFilterIncludeCategories)) != 0;
    // A mask with both bits (written by hand) reads as "include", the narrower filter.
    includeCategories = (mask & kFilterIncludeCategories) != 0;
}

ContactExportOptionValues ReadContactExportOptions(const CSettingsStore& settings,
                                                   const std::vector<std::string>& encodings) {
    ContactExportOptionValues v;
    v.SetFilterMask(settings.GetNumber(kSetExportFilter));
    v.categories = settings.GetText(kSetExportFilterCategories);
    v.overwrite = settings.GetFlag(kSetExportOverwrite);
    v.format = settings.GetNumber(kSetExportFormat) == kVCardFormat30 ? kVCardFormat30 : kVCardFormat21;
    v.encoding = settings.GetEncoding(kSetExportEncoding, encodings);
    return v;
}

void StoreContactExportOptions(CSettingsStore& settings, const ContactExportOptionValues& values) {
    settings.WriteNumber(kSetExportFormat, static_cast<std::uint32_t>(values.format));
    settings.WriteText(kSetExportEncoding, values.encoding);
    settings.WriteFlag(kSetExportOverwrite, values.overwrite);
    settings.WriteNumber(kSetExportFilter, values.FilterMask());
    settings.WriteText(kSetExportFilterCategories, values.categories);
}

CDlgVCardExportOptions::CDlgVCardExportOptions(CSettingsStore& settings, IMessageBox& messages,
                                               std::vector<std::string> encodings, ContactExportOptionValues current)
    : m_settings(settings), m_messages(messages), m_encodings(std::move(encodings)), m_values(std::move(current)) {
    // The drop-down can only show a name of the list.
    if (EncodingIndex() < 0) m_values.encoding = m_encodings.empty() ? std::string() : m_encodings.front();
}

CDlgVCardExportOptions::CDlgVCardExportOptions(CSettingsStore& settings, IMessageBox& messages,
                                               std::vector<std::string> encodings)
    : CDlgVCardExportOptions(settings, messages, encodings, ReadContactExportOptions(settings, encodings)) {}

int CDlgVCardExportOptions::EncodingIndex() const {
    const auto it = std::find(m_encodings.begin(), m_encodings.end(), m_values.encoding);
    return it == m_encodings.end() ? -1 : static_cast<int>(it - m_encodings.begin());
}

bool CDlgVCardExportOptions::SelectEncoding(int index) {
    if (index < 0 || index >= static_cast<int>(m_encodings.size())) return false;
    m_values.encoding = m_encodings[static_cast<std::size_t>(index)];
    return true;
}

bool CDlgVCardExportOptions::ChooseCategories(IApplication& app) {
    return ChooseContactCategories(app, m_values.categories);
}

bool CDlgVCardExportOptions::Validate() {
    if (m_values.categoryFilter && CategoriesTextEmpty(m_values.categories)) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEnterCategories), MbIcon::Exclamation, MbButtons::Ok);
        return false;
    }
    return true;
}

bool CDlgVCardExportOptions::OnOk() {
    if (!Validate()) return false;
    StoreContactExportOptions(m_settings, m_values);
    return true;
}

}  // namespace mireo
