#include "cli/progress_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace mireo::cli {

namespace {

// Ctrl-C while a display is up. The handler only counts (a lock-free atomic is
// safe to touch from a handler); the run takes the count in at its next look.
std::atomic<int> g_interrupts{0};
std::atomic<int> g_newlineFd{-1};  // a terminal line to finish before the process ends
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction g_previous;

extern "C" void OnInterrupt(int) {
    if (g_interrupts.fetch_add(1) >= 1) {
        // Second Ctrl-C: end as an interrupted process, exit status 130 in the shell.
        const int fd = g_newlineFd.load();
        if (fd >= 0) (void)!::write(fd, "\n", 1);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        sigaction(SIGINT, &dfl, nullptr);
        // Blocked while this handler runs; delivered, and fatal, when it returns.
        raise(SIGINT);
    }
}

bool InstallInterruptHandler() {
    g_interrupts.store(0);
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &sa, &g_previous) == 0;
}

void RestoreInterruptHandler() {
    sigaction(SIGINT, &g_previous, nullptr);
    g_newlineFd.store(-1);
}

// Only one display at a time owns the handler.
std::atomic<bool> g_handlerOwned{false};

constexpr int kMaxBar = 30;
constexpr int kMinBar = 10;
constexpr const char* kAbortHint = " (Ctrl-C again to abort)";

std::string Percent(const ProgressLineState& s) {
    if (s.range <= 0) return {};
    long long p = static_cast<long long>(s.pos) * 100 / s.range;
    if (p < 0) p = 0;
    if (p > 100) p = 100;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%lld%%", p);
    return buf;
}

std::string Count(const ProgressLineState& s) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d of %d", static_cast<int>(s.pos), static_cast<int>(s.range));
    return buf;
}

// Items per second; 0 until there is something to measure.
double Rate(const ProgressLineState& s) {
    if (s.pos <= 0 || s.elapsedSeconds < 0.5) return 0;
    return s.pos / s.elapsedSeconds;
}

std::string RateText(double rate) {
    if (rate <= 0) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, rate < 10 ? "%.1f/s" : "%.0f/s", rate);
    return buf;
}

std::string TimeLeftText(const ProgressLineState& s, double rate) {
    if (rate <= 0 || s.pos >= s.range) return {};
    const double secs = std::ceil((s.range - s.pos) / rate);
    if (secs > 359999) return {};  // 99:59:59
    const long t = static_cast<long>(secs);
    char buf[32];
    if (t >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld left", t / 3600, t / 60 % 60, t % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld left", t / 60, t % 60);
    return buf;
}

std::string Bar(const ProgressLineState& s, int width) {
    long long filled = s.range > 0 ? static_cast<long long>(s.pos) * width / s.range : 0;
    if (filled < 0) filled = 0;
    if (filled > width) filled = width;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    bar += ']';
    return bar;
}

// Cuts to at most n bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t n) {
    if (text.size() <= n) return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

}  // namespace

std::string FormatProgressBarLine(const ProgressLineState& s, int width) {
    const int avail = width - 1;
    std::string head = s.label.empty() ? Count(s) : s.label + "  " + Count(s);
    const std::string pct = Percent(s);
    if (!pct.empty()) head += "  " + pct;
    const double rate = Rate(s);
    const std::string rateText = RateText(rate);
    const std::string leftText = TimeLeftText(s, rate);
    auto tail = [&](bool withRate, bool withLeft) {
        std::string t;
        if (withRate && !rateText.empty()) t += "  " + rateText;
        if (withLeft && !leftText.empty()) t += "  " + leftText;
        return t;
    };
    // What goes first when the line is too narrow: the time left, the rate, then the bar.
    if (s.range > 0) {
        for (const std::string& t : {tail(true, true), tail(true, false), std::string()}) {
            const int barWidth = std::min(kMaxBar, avail - static_cast<int>(head.size() + t.size()) - 4);
            if (barWidth >= kMinBar) return head + "  " + Bar(s, barWidth) + t;
        }
    }
    for (const std::string& t : {tail(true, true), tail(true, false)}) {
        if (static_cast<int>(head.size() + t.size()) <= avail) return head + t;
    }
    return CutUtf8(head, avail > 0 ? static_cast<std::size_t>(avail) : 0);
}

std::string FormatProgressPlainLine(const ProgressLineState& s) {
    std::string line = s.label.empty() ? Count(s) : s.label + " " + Count(s);
    const std::string pct = Percent(s);
    if (!pct.empty()) line += " (" + pct + ")";
    return line;
}

CTerminalProgressView::CTerminalProgressView(Options options) : m_options(std::move(options)) {
    m_terminal = m_options.terminal.value_or(::isatty(m_options.fd) == 1);
}

CTerminalProgressView::~CTerminalProgressView() {
    if (m_model != nullptr) Close();
}

std::chrono::steady_clock::time_point CTerminalProgressView::Now() const {
    return m_options.clock ? m_options.clock() : std::chrono::steady_clock::now();
}

int CTerminalProgressView::Width() const {
    if (m_options.width > 0) return m_options.width;
    struct winsize ws {};
    if (::ioctl(m_options.fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    if (const char* c = std::getenv("COLUMNS")) {
        const int n = std::atoi(c);
        if (n > 0) return n;
    }
    return 80;
}

bool CTerminalProgressView::Start(CDlgProgress& model, void* owner, std::uint16_t templateId) {
    if (m_model != nullptr) return false;
    m_model = &model;
    m_label.clear();
    m_cancelText.clear();
    m_pos = m_range = 0;
    m_haveStatus = m_drawn = false;
    m_lastPlain.clear();
    m_interruptsSeen = 0;
    m_start = m_lastDraw = Now();
    m_ownsInterrupt = false;
    if (m_options.handleInterrupt && !g_handlerOwned.exchange(true)) {
        m_ownsInterrupt = InstallInterruptHandler();
        if (!m_ownsInterrupt) {
            g_handlerOwned.store(false);
        } else if (m_terminal) {
            g_newlineFd.store(m_options.fd);
        }
    }
    return true;
}

void CTerminalProgressView::ShowLabel(const std::string& text) {
    m_label = text;
    if (m_terminal && m_haveStatus) Draw(true);
}

void CTerminalProgressView::ShowStatus(std::int32_t pos, std::int32_t range, const std::string&) {
    m_pos = pos;
    m_range = range;
    m_haveStatus = true;
    Poll();
    Draw(m_terminal && pos >= range);
}

void CTerminalProgressView::Poll() {
    if (!m_ownsInterrupt || m_model == nullptr) return;
    const int n = g_interrupts.load();
    if (n <= m_interruptsSeen) return;
    m_interruptsSeen = n;
    if (m_cancelText.empty()) {
        m_cancelText = m_model->PressCancel();
        if (m_haveStatus) Draw(true);
    }
}

void CTerminalProgressView::Close() {
    if (m_model == nullptr) return;
    if (m_haveStatus) Draw(true);
    if (m_terminal && m_drawn) Write("\n");
    if (m_ownsInterrupt) {
        RestoreInterruptHandler();
        g_handlerOwned.store(false);
        m_ownsInterrupt = false;
    }
    m_model = nullptr;
}

void CTerminalProgressView::Draw(bool force) {
    const auto now = Now();
    ProgressLineState s;
    s.label = m_label;
    if (!m_cancelText.empty()) s.label = m_cancelText + kAbortHint;
    s.pos = m_pos;
    s.range = m_range;
    s.elapsedSeconds = std::chrono::duration<double>(now - m_start).count();
    if (m_terminal) {
        if (!force && m_drawn && now - m_lastDraw < m_options.redrawInterval) return;
        Write("\r" + FormatProgressBarLine(s, Width()) + "\x1b[K");
        m_drawn = true;
    } else {
        if (!force && now - m_lastDraw < m_options.plainInterval) return;
        std::string line = FormatProgressPlainLine(s);
        if (line == m_lastPlain) return;
        Write(line + "\n");
        m_lastPlain = std::move(line);
    }
    m_lastDraw = now;
}

void CTerminalProgressView::Write(const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(m_options.fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // a closed or full output must not stop the run
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace mireo::cli
