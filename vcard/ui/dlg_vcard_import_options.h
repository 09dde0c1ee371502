#pragma once
// The options page of the contact import (template 230): the conflict rule, private
// contacts and the category filter.
#include <cstdint>
#include <string>

namespace mireo {

class CSettingsStore;
class IApplication;
class IMessageBox;

// Values of the contact import settings.
inline constexpr const char* kSetImportFolder = "Contacts.Import.Folder";
inline constexpr const char* kSetImportConflict = "Contacts.Import.ConflictResolution";
inline constexpr const char* kSetImportFilter = "Contacts.Import.Filter";
inline constexpr const char* kSetImportFilterCategories = "Contacts.Import.Filter.Categories";
inline constexpr const char* kSetImportOpenFolder = "Contacts.Import.OpenFolder";

// The conflict choices' texts.
constexpr int kStrKeepBoth = 101;
constexpr int kStrReplace = 102;
constexpr int kStrKeepExisting = 103;

struct ContactImportOptionValues {
    int conflict = 0;                // 0 keep both, 1 replace, 2 keep the existing contact
    bool skipPrivate = false;        // mask bit 2
    bool categoryFilter = false;
    bool includeCategories = false;  // false: exclude (bit 4), true: include only (bit 8)
    std::string categories = "Personal";

    std::uint32_t FilterMask() const;
    void SetFilterMask(std::uint32_t mask);

    bool operator==(const ContactImportOptionValues&) const = default;
};

// The stored values with their defaults; a conflict rule out of 0..2 reads as 0.
ContactImportOptionValues ReadContactImportOptions(const CSettingsStore& settings);
// Writes "ConflictResolution", "Filter" and "Filter.Categories".
void StoreContactImportOptions(CSettingsStore& settings, const ContactImportOptionValues& values);

class CDlgVCardImportOptions {
public:
    // Its messages go to `messages`.
    CDlgVCardImportOptions(CSettingsStore& settings, IMessageBox& messages);
    virtual ~CDlgVCardImportOptions() = default;

    const ContactImportOptionValues& Values() const { return m_values; }
    // False for a rule out of 0..2.
    bool SetConflict(int rule);
    void SetSkipPrivate(bool on) { m_values.skipPrivate = on; }
    void SetCategoryFilter(bool on) { m_values.categoryFilter = on; }
    void SetIncludeCategories(bool include) { m_values.includeCategories = include; }
    void SetCategories(std::string text) { m_values.categories = std::move(text); }
    // "Categories...": the host's category chooser on the current text; false when it
    // was cancelled or failed (the text stays).
    bool ChooseCategories(IApplication& app);

    // With the category filter on, an empty list shows string 127 and answers false.
    bool Validate();
    // OK: validates and stores.
    bool OnOk();

private:
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    ContactImportOptionValues m_values;
};

}  // namespace mireo
