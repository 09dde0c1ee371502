#pragma once
// A progress view for tests of runs: records what the run shows and presses Cancel
// or Help when the status reaches a chosen position, as a user watching the bar would.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/progress.h"

namespace mireo {

class CScriptedProgressView : public IProgressView {
public:
    struct Event {
        enum Kind { kStart, kLabel, kStatus, kClose } kind;
        std::int32_t pos = 0;
        std::int32_t range = 0;
        std::string text;  // label or status text
    };

    // Start answers false (the dialog cannot be shown).
    void FailStart(bool fail = true) { m_failStart = fail; }
    // Press Cancel right after the status shows pos.
    void PressCancelAt(std::int32_t pos) { m_cancelAt[pos] += 1; }
    // Press Help `times` times right after the status shows pos.
    void PressHelpAt(std::int32_t pos, int times = 1) { m_helpAt[pos] += times; }

    // Presses now, as the dialog thread would.
    void PressCancel();
    void PressHelp();

    bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) override;
    void ShowLabel(const std::string& text) override;
    void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) override;
    void Close() override;

    const std::vector<Event>& Events() const { return m_events; }
    int StartCount() const { return m_starts; }
    int CloseCount() const { return m_closes; }
    bool IsOpen() const { return m_model != nullptr; }
    std::uint16_t TemplateId() const { return m_templateId; }
    const std::string& Label() const { return m_label; }
    const std::string& StatusText() const { return m_status; }
    // Text of the Cancel button: empty until Cancel is pressed.
    const std::string& CancelText() const { return m_cancelText; }
    std::int32_t LastPos() const { return m_lastPos; }
    // The positions shown, in order.
    std::vector<std::int32_t> Positions() const;

private:
    CDlgProgress* m_model = nullptr;
    bool m_failStart = false;
    int m_starts = 0;
    int m_closes = 0;
    std::uint16_t m_templateId = 0;
    std::string m_label;
    std::string m_status;
    std::string m_cancelText;
    std::int32_t m_lastPos = 0;
    std::map<std::int32_t, int> m_cancelAt;
    std::map<std::int32_t, int> m_helpAt;
    std::vector<Event> m_events;
};

}  // namespace mireo
