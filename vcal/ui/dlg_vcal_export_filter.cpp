#include "vcal/ui/dlg_vcal_export_filter.h"

#include <chrono>

#include "engine/host_folders.h"
#include "engine/item_store.h"
#include "engine/settings_store.h"
#include "platform/ascii.h"
#include "platform/message_box.h"
#include "platform/user_strings.h"
#include "ui/wizard_pages.h"
#include "vcal/common/system_zone.h"
#include "vcal/ui/dlg_vcal_export.h"

namespace mireo {
namespace {

constexpr int kStrFirstLabel = 115;
constexpr int kStrSelectLabels = 128;
constexpr int kStrEndBeforeStart = 129;
constexpr std::uint32_t kDefaultMask = 0x55;
constexpr std::uint32_t kDefaultLabels = 0x180;
constexpr const char* kDefaultCategories = "Holiday";

}  // namespace

std::string LabelName(int label) {
    if (label < 1 || label > kLabelCount) return {};
    return LoadUserString(kStrFirstLabel + label - 1);
}

void CDlgLabels::SetChecked(int label, bool on) {
    if (label < 1 || label > kLabelCount) return;
    const std::uint32_t bit = 1u << (label - 1);
    m_mask = on ? (m_mask | bit) : (m_mask & ~bit);
}

LocalTime TodayLocal() {
    const UtcTime now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::optional<ZoneRule> zone = SystemZone();
    return StartOfDay(zone ? UtcToLocal(*zone, now) : AsLocal(now));
}

CDlgVCalExportFilter::CDlgVCalExportFilter(CSettingsStore& settings, IMessageBox& messages, int hostMajorVersion,
                                           LocalTime today, std::string listSeparator)
    : m_settings(settings),
      m_messages(messages),
      m_hostMajor(hostMajorVersion),
      m_today(StartOfDay(today)),
      m_separator(listSeparator.empty() ? ";" : std::move(listSeparator)) {
    ReadMask(m_settings.GetNumberForHost(kSetEventExportFilter, m_hostMajor));
    m_categories = m_settings.GetText(kSetEventExportCategories);
    m_labelMask = m_settings.GetNumberForHost(kSetEventExportLabels, m_hostMajor) & kAllLabelsMask;
    if (!LabelsEnabled()) {
        m_labelMask = 0;
        m_labelFilter = false;
    }
    // The period is never stored: every page starts from the default one.
    m_periodStart = m_today - std::chrono::days(14);
    m_periodEnd = m_today + std::chrono::days(60);
}

void CDlgVCalExportFilter::ReadMask(std::uint32_t mask) {
    m_skipAllDay = (mask & kEventFilterSkipAllDay) != 0;
    m_skipPrivate = (mask & kFilterSkipPrivate) != 0;
    m_categoryFilter = (mask & (kFilterExcludeCategories | kFilterIncludeCategories)) != 0;
    m_includeCategories = (mask & kFilterIncludeCategories) != 0;
    m_labelFilter = LabelsEnabled() && (mask & (kEventFilterExcludeLabels | kEventFilterIncludeLabels)) != 0;
    m_includeLabels = (mask & kEventFilterIncludeLabels) != 0;
    m_period = (mask & kEventFilterPeriod) != 0;
}

std::string CDlgVCalExportFilter::LabelsText() const {
    std::string text;
    for (int n = 1; n <= kLabelCount; ++n) {
        if (((m_labelMask >> (n - 1)) & 1u) == 0) continue;
        if (!text.empty()) text += m_separator + " ";
        text += LabelName(n);
    }
    return text;
}

void CDlgVCalExportFilter::ApplyLabels(std::uint32_t mask) {
    if (!LabelsEnabled()) return;
    m_labelMask = mask & kAllLabelsMask;
    if (m_labelMask != 0) m_labelFilter = true;
}

void CDlgVCalExportFilter::SetPeriod(LocalTime start, LocalTime end) {
    m_periodStart = start;
    m_periodEnd = end;
}

bool CDlgVCalExportFilter::ChooseCategories(IApplication& app) {
    return ChooseItemCategories(app, ItemType::Appointment, m_categories);
}

void CDlgVCalExportFilter::SetDefaults() {
    m_categories = kDefaultCategories;
    m_labelMask = LabelsEnabled() ? kDefaultLabels : 0;
    ReadMask(LabelsEnabled() ? kDefaultMask : kDefaultMask & ~(kEventFilterExcludeLabels | kEventFilterIncludeLabels));
    m_periodStart = m_today - std::chrono::days(14);
    m_periodEnd = m_today + std::chrono::days(60);
}

std::uint32_t CDlgVCalExportFilter::Mask() const {
    std::uint32_t mask = 0;
    if (m_skipAllDay) mask |= kEventFilterSkipAllDay;
    if (m_skipPrivate) mask |= kFilterSkipPrivate;
    if (m_categoryFilter) mask |= m_includeCategories ? kFilterIncludeCategories : kFilterExcludeCategories;
    if (m_labelFilter && LabelsEnabled()) mask |= m_includeLabels ? kEventFilterIncludeLabels : kEventFilterExcludeLabels;
    if (m_period) mask |= kEventFilterPeriod;
    return mask;
}

void CDlgVCalExportFilter::Store() {
    m_categories = std::string(ascii::Trim(m_categories));
    m_settings.WriteNumber(kSetEventExportFilter, Mask());
    m_settings.WriteText(kSetEventExportCategories, m_categories);
    m_settings.WriteNumber(kSetEventExportLabels, m_labelMask);
}

void CDlgVCalExportFilter::OnBack() { Store(); }

bool CDlgVCalExportFilter::OnExport(EventFilter& filter) {
    m_focus = 0;
    if (m_categoryFilter && CategoriesTextEmpty(m_categories)) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEnterCategories), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlFilterCategories;
        return false;
    }
    if (LabelsEnabled() && m_labelFilter && m_labelMask == 0) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrSelectLabels), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlFilterLabelsButton;
        return false;
    }
    if (m_period && m_periodEnd <= m_periodStart) {
        m_messages.Show(kCaptionMireo, LoadUserString(kStrEndBeforeStart), MbIcon::Exclamation, MbButtons::Ok);
        m_focus = kCtlFilterPeriodEnd;
        return false;
    }
    Store();
    filter.mask = Mask();
    filter.categories = m_categories;
    filter.labelMask = m_labelMask;
    filter.periodStart.reset();
    filter.periodEnd.reset();
    if (m_period) {
        filter.periodStart = m_periodStart;
        filter.periodEnd = m_periodEnd;
    }
    return true;
}

}  // namespace mireo
