#pragma once
// What the wizard pages of every action share: the captions of their message boxes,
// the user strings they have in common, the file format codes the settings keep, the
// lines of a summary group and of a finish page, and small helpers on the pages' texts.
#include <cstdint>
#include <string>

namespace mireo {

inline constexpr const char* kCaptionMireo = "Mireo";
inline constexpr const char* kCaptionMireoError = "Mireo - Error";

// User strings of the pages.
constexpr int kStrNameNotAccessible = 114;  // "The name '%s' isn't accessible."
constexpr int kStrExclude = 125;            // "exclude"
constexpr int kStrInclude = 126;            // "include"
constexpr int kStrEnterCategories = 127;    // "Please, enter categories"
constexpr int kStrChooseImportFolder = 143;
constexpr int kStrChooseExportFolder = 144;
constexpr int kStrNotContactsFolder = 145;      // "Chosen folder is not Contact's folder"
constexpr int kStrNotAppointmentsFolder = 146;  // "Chosen folder is not Appointment's folder"

// File formats as "...Export.Format" keeps them.
constexpr int kVCardFormat21 = 21;
constexpr int kVCardFormat30 = 30;
constexpr int kVCalendarFormat10 = 10;
constexpr int kICalendarFormat20 = 20;

// One line of a summary group: the label and its value.
struct SummaryLine {
    std::string label;
    std::string value;
    bool operator==(const SummaryLine&) const = default;
};

// One count of a finish page: "Failures:" and "Skipped (Why?):" are drawn in red
// when not zero.
struct FinishCount {
    std::string label;
    std::int32_t value = 0;
    bool highlighted = false;
    std::string text;  // when not empty, shown instead of the value ("3/120")

    std::string Shown() const { return text.empty() ? std::to_string(value) : text; }
};

// "yes" or "no", from the string table.
const char* YesNo(bool yes);

// String 114 with the path in place of "%s".
std::string NameNotAccessible(const std::string& path);

// A category filter as a summary shows it: "any" when it is off, else string 125
// "exclude" or 126 "include" and the categories in double quotes.
std::string CategoryFilterText(bool on, bool include, const std::string& categories);

// The categories text holds nothing but white space (space, tab, CR, LF).
bool CategoriesTextEmpty(const std::string& text);

}  // namespace mireo
