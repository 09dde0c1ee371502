#pragma once
// The options page of the contact export (template 225): private contacts, the
// category filter, overwrite, the vCard version and the encoding.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/wizard_pages.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IMessageBox;

// Values of the contact export settings.
inline constexpr const char* kSetExportFolder = "Contacts.Export.Folder";
inline constexpr const char* kSetExportOneFile = "Contacts.Export.OneFile";
inline constexpr const char* kSetExportFormat = "Contacts.Export.Format";
inline constexpr const char* kSetExportEncoding = "Contacts.Export.Encoding";
inline constexpr const char* kSetExportOverwrite = "Contacts.Export.Overwrite";
inline constexpr const char* kSetExportFilter = "Contacts.Export.Filter";
inline constexpr const char* kSetExportFilterCategories = "Contacts.Export.Filter.Categories";
inline constexpr const char* kSetExportOpenFolder = "Contacts.Export.OpenFolder";
inline constexpr const char* kSetExportOpenMail = "Contacts.Export.OpenMail";

// User strings of the contact pages; the strings, captions and format codes the
// calendar pages share are in ui/wizard_pages.h.
// What the options page shows and stores; the start page keeps a copy for its summary.
struct ContactExportOptionValues {
    bool skipPrivate = false;      // "Do not export private contacts" (mask bit 2)
    bool categoryFilter = false;   // "Export contacts with category(-ies) that"
    bool includeCategories = false;  // the drop-down: false "exclude" (bit 4), true "include" (bit 8)
    std::string categories = "Personal";
    bool overwrite = false;
    int format = kVCardFormat21;   // 21 or 30
    std::string encoding;          // display name; empty only with an empty encodings list

    std::uint32_t FilterMask() const;
    void SetFilterMask(std::uint32_t mask);

    bool operator==(const ContactExportOptionValues&) const = default;
};

// The values as the pages read them when they are created: stored values with their
// defaults; a format other than 30 is 2.1, an encoding the list does not hold is its
// first entry.
ContactExportOptionValues ReadContactExportOptions(const CSettingsStore& settings,
                                                   const std::vector<std::string>& encodings);
// Writes "Format", "Encoding", "Overwrite", "Filter" and "Filter.Categories".
void StoreContactExportOptions(CSettingsStore& settings, const ContactExportOptionValues& values);

class CDlgVCardExportOptions {
public:
    // Opens with the values the start page holds. Its messages go to `messages`.
    CDlgVCardExportOptions(CSettingsStore& settings, IMessageBox& messages, std::vector<std::string> encodings,
                           ContactExportOptionValues current);
    // Opens with the stored values.
    CDlgVCardExportOptions(CSettingsStore& settings, IMessageBox& messages, std::vector<std::string> encodings);
    virtual ~CDlgVCardExportOptions() = default;

    const ContactExportOptionValues& Values() const { return m_values; }

    void SetSkipPrivate(bool on) { m_values.skipPrivate = on; }
    void SetCategoryFilter(bool on) { m_values.categoryFilter = on; }
    // The drop-down, the categories text and "Categories..." follow the check box.
    bool CategoryControlsEnabled() const { return m_values.categoryFilter; }
    void SetIncludeCategories(bool include) { m_values.includeCategories = include; }
    void SetCategories(std::string text) { m_values.categories = std::move(text); }
    void SetOverwrite(bool on) { m_values.overwrite = on; }
    // The radio buttons: "vCard 2.1 (Recommended)" and "vCard 3.0".
    void SetVersion30(bool on) { m_values.format = on ? kVCardFormat30 : kVCardFormat21; }
    bool Version30() const { return m_values.format == kVCardFormat30; }

    // The encoding drop-down: display names in file order and the selected index
    // (-1 when the list is empty).
    const std::vector<std::string>& EncodingNames() const { return m_encodings; }
    int EncodingIndex() const;
    // False (nothing changes) for an index outside the list.
    bool SelectEncoding(int index);

    // "Categories...": the host's category chooser on a temporary contact holding the
    // current text; the chosen categories replace the text. The contact is never saved.
    // False when the chooser was cancelled or a host call failed (the text stays).
    bool ChooseCategories(IApplication& app);

    // Shows string 127 (caption "Mireo") and answers false when the category filter is
    // on and its text is empty; the page then stays open. Nothing is written.
    bool Validate();
    // OK: validates, then writes the five values. False: the page stays open.
    bool OnOk();

private:
    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    std::vector<std::string> m_encodings;
    ContactExportOptionValues m_values;
};

}  // namespace mireo
