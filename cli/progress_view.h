#pragma once
// The progress display of the command line. On a terminal: one line redrawn in
// place (label, "n of m", percent, a bar, items per second, time left), at most ten
// times a second. Otherwise (a pipe, a log file): a plain line every few seconds and
// one at the end. Ctrl-C presses Cancel; a second Ctrl-C ends the process the way
// an interrupt does. Help has no key here.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/progress.h"

namespace mireo::cli {

struct ProgressLineState {
    std::string label;
    std::int32_t pos = 0;
    std::int32_t range = 0;
    double elapsedSeconds = 0;  // since the display started
};

// The terminal line, at most width - 1 columns (the last column would wrap). Parts
// are left out right to left when the line would not fit: time left, rate, bar.
std::string FormatProgressBarLine(const ProgressLineState& s, int width);
// The plain line: "Exporting... 12 of 40 (30%)".
std::string FormatProgressPlainLine(const ProgressLineState& s);

class CTerminalProgressView : public IProgressView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    struct Options {
        int fd = 2;
        // Draw the redrawn line (true) or plain lines (false); unset: isatty(fd).
        std::optional<bool> terminal;
        // Terminal width; 0: asked of the terminal, else $COLUMNS, else 80.
        int width = 0;
        std::chrono::milliseconds redrawInterval{100};
        std::chrono::milliseconds plainInterval{5000};
        // Install the Ctrl-C handler while the display is up.
        bool handleInterrupt = true;
        Clock clock;  // steady_clock::now when empty
    };

    CTerminalProgressView() : CTerminalProgressView(Options{}) {}
    explicit CTerminalProgressView(Options options);
    ~CTerminalProgressView() override;

    bool Start(CDlgProgress& model, void* owner, std::uint16_t templateId) override;
    void ShowLabel(const std::string& text) override;
    void ShowStatus(std::int32_t pos, std::int32_t range, const std::string& text) override;
    void Poll() override;
    void Close() override;

    // Text of the Cancel "button": empty until Ctrl-C, then string 139.
    const std::string& CancelText() const { return m_cancelText; }

private:
    std::chrono::steady_clock::time_point Now() const;
    void Draw(bool force);
    void Write(const std::string& text);
    int Width() const;

    Options m_options;
    bool m_terminal = false;
    CDlgProgress* m_model = nullptr;
    bool m_ownsInterrupt = false;
    int m_interruptsSeen = 0;
    std::string m_label;
    std::string m_cancelText;
    std::int32_t m_pos = 0;
    std::int32_t m_range = 0;
    bool m_haveStatus = false;
    bool m_drawn = false;        // something is on the terminal line
    std::string m_lastPlain;     // the last plain line written
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace mireo::cli
