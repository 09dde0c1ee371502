#pragma once
// The filter page of the event export (template 268) and its label picker (270).
#include <cstdint>
#include <string>
#include <vector>

#include "engine/date_time.h"
#include "vcal/export/event_export.h"

namespace mireo {

class CSettingsStore;
class IApplication;
class IMessageBox;

// Control ids the checks put the focus on.
constexpr int kCtlFilterCategories = 290;
constexpr int kCtlFilterLabelsButton = 11;
constexpr int kCtlFilterPeriodEnd = 293;

// Strings 115..124: the names of labels 1..10.
std::string LabelName(int label);

// CDlgLabels: ten check boxes for labels 1..10, checked by the given mask.
class CDlgLabels {
public:
    explicit CDlgLabels(std::uint32_t mask) : m_mask(mask & kAllLabelsMask) {}
    bool Checked(int label) const { return label >= 1 && label <= kLabelCount && (m_mask >> (label - 1)) & 1u; }
    void SetChecked(int label, bool on);
    // OK: the mask of the checked boxes.
    std::uint32_t OnOk() const { return m_mask; }

private:
    std::uint32_t m_mask;
};

class CDlgVCalExportFilter {
public:
    // Reads the stored filter; the period is always today 00:00 minus 14 days to today
    // 00:00 plus 60 days (`today` is the computer's local date). Below host version 10
    // the label controls are disabled and the label bits and mask are cleared.
    CDlgVCalExportFilter(CSettingsStore& settings, IMessageBox& messages, int hostMajorVersion, LocalTime today,
                         std::string listSeparator);
    virtual ~CDlgVCalExportFilter() = default;

    bool SkipAllDay() const { return m_skipAllDay; }               // 285
    void SetSkipAllDay(bool on) { m_skipAllDay = on; }
    bool SkipPrivate() const { return m_skipPrivate; }             // 286
    void SetSkipPrivate(bool on) { m_skipPrivate = on; }
    bool CategoryFilter() const { return m_categoryFilter; }       // 284
    void SetCategoryFilter(bool on) { m_categoryFilter = on; }
    bool IncludeCategories() const { return m_includeCategories; }  // combo 220: exclude / include
    void SetIncludeCategories(bool on) { m_includeCategories = on; }
    const std::string& Categories() const { return m_categories; }  // 290
    void SetCategories(std::string text) { m_categories = std::move(text); }
    bool LabelsEnabled() const { return m_hostMajor >= 10; }
    bool LabelFilter() const { return m_labelFilter; }             // 287
    void SetLabelFilter(bool on) { if (LabelsEnabled()) m_labelFilter = on; }
    bool IncludeLabels() const { return m_includeLabels; }         // combo 221
    void SetIncludeLabels(bool on) { m_includeLabels = on; }
    std::uint32_t LabelMask() const { return m_labelMask; }
    // 291: the names of the selected labels joined by the list separator and a space.
    std::string LabelsText() const;
    // "Labels...": CDlgLabels with the current mask; its OK result replaces the mask
    // and checks 287 when not 0.
    CDlgLabels MakeLabelsPage() const { return CDlgLabels(m_labelMask); }
    void ApplyLabels(std::uint32_t mask);
    bool PeriodFilter() const { return m_period; }                 // 288
    void SetPeriodFilter(bool on) { m_period = on; }
    LocalTime PeriodStart() const { return m_periodStart; }        // 292
    LocalTime PeriodEnd() const { return m_periodEnd; }            // 293
    void SetPeriod(LocalTime start, LocalTime end);
    // "Categories...": the host's category chooser on a temporary appointment.
    bool ChooseCategories(IApplication& app);
    // "Set filters to default...".
    void SetDefaults();

    // The mask the controls give.
    std::uint32_t Mask() const;
    // "Export": checks 127, 128, 129 in this order (the message shown, the focus on the
    // control FocusControl() names, false); then stores and fills the filter.
    bool OnExport(EventFilter& filter);
    // "< Back": stores mask, categories and labels without checks.
    void OnBack();
    int FocusControl() const { return m_focus; }

private:
    void Store();
    void ReadMask(std::uint32_t mask);

    CSettingsStore& m_settings;
    IMessageBox& m_messages;
    int m_hostMajor;
    LocalTime m_today;
    std::string m_separator;
    bool m_skipAllDay = false, m_skipPrivate = false, m_categoryFilter = false, m_includeCategories = false;
    bool m_labelFilter = false, m_includeLabels = false, m_period = false;
    std::string m_categories;
    std::uint32_t m_labelMask = 0;
    LocalTime m_periodStart{}, m_periodEnd{};
    int m_focus = 0;
};

// The computer's local date today, midnight.
LocalTime TodayLocal();

}  // namespace mireo
