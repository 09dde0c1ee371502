#include "cli/progress_view.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace mireo::cli {
namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

TEST(ProgressBarLine, Layouts) {
    struct Case {
        const char* name;
        ProgressLineState state;
        int width;
        const char* want;
    };
    const Case kCases[] = {
        {"everything fits", {"Exporting...", 12, 40, 4.0}, 80,
         "Exporting...  12 of 40  30%  [#########---------------------]  3.0/s  0:10 left"},
        {"too early for a rate", {"Exporting...", 1, 40, 0.1}, 80,
         "Exporting...  1 of 40  2%  [------------------------------]"},
        {"done: no time left", {"Importing...", 40, 40, 2.0}, 80,
         "Importing...  40 of 40  100%  [##############################]  20/s"},
        {"narrower bar", {"Exporting...", 20, 40, 4.0}, 60,
         "Exporting...  20 of 40  50%  [#####-----]  5.0/s  0:04 left"},
        {"no room for the time left", {"Exporting...", 20, 40, 4.0}, 50,
         "Exporting...  20 of 40  50%  [#####------]  5.0/s"},
        {"bar dropped before the rate", {"Exporting...", 20, 40, 4.0}, 40, "Exporting...  20 of 40  50%  5.0/s"},
        {"cut to the width", {"Exporting...", 20, 40, 4.0}, 20, "Exporting...  20 of"},
        {"hours left", {"Exporting...", 1, 100000, 2.0}, 100,
         "Exporting...  1 of 100000  0%  [------------------------------]  0.5/s  55:33:18 left"},
        {"empty range", {"Exporting...", 0, 0, 1.0}, 80, "Exporting...  0 of 0"},
        {"no label", {"", 3, 4, 0.0}, 80, "3 of 4  75%  [######################--------]"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatProgressBarLine(c.state, c.width), c.want);
    }
}

TEST(ProgressBarLine, NeverReachesTheLastColumn) {
    const ProgressLineState s{"Wait... (Ctrl-C again to abort)", 1234, 99999, 7.5};
    for (int width = 0; width <= 140; ++width) {
        SCOPED_TRACE(width);
        EXPECT_LE(static_cast<int>(FormatProgressBarLine(s, width).size()), std::max(width - 1, 0));
    }
    // A label is never cut inside a UTF-8 sequence.
    const ProgressLineState utf8{"\xc3\xa9\xc3\xa9\xc3\xa9", 1, 2, 0.0};
    EXPECT_EQ(FormatProgressBarLine(utf8, 5), "\xc3\xa9\xc3\xa9");
}

TEST(ProgressPlainLine, Forms) {
    EXPECT_EQ(FormatProgressPlainLine({"Exporting...", 12, 40, 0}), "Exporting... 12 of 40 (30%)");
    EXPECT_EQ(FormatProgressPlainLine({"Importing...", 0, 0, 0}), "Importing... 0 of 0");
    EXPECT_EQ(FormatProgressPlainLine({"", 7, 7, 0}), "7 of 7 (100%)");
}

// Reads what the view wrote to the pipe.
class Pipe {
public:
    Pipe() {
        EXPECT_EQ(::pipe(m_fd), 0);
        ::fcntl(m_fd[0], F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        ::close(m_fd[0]);
        if (m_fd[1] >= 0) ::close(m_fd[1]);
    }
    int WriteEnd() const { return m_fd[1]; }
    int ReadEnd() const { return m_fd[0]; }
    std::string Drain() {
        std::string out;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(m_fd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        return out;
    }

private:
    int m_fd[2] = {-1, -1};
};

struct FakeClock {
    TimePoint now{};
    CTerminalProgressView::Clock Fn() {
        return [this] { return now; };
    }
};

TEST(TerminalProgressView, PipeGetsAPlainLineEveryFewSecondsAndOneAtTheEnd) {
    Pipe pipe;
    FakeClock clock;
    CTerminalProgressView::Options o;
    o.fd = pipe.WriteEnd();  // not a terminal: plain lines
    o.handleInterrupt = false;
    o.clock = clock.Fn();
    CTerminalProgressView view(o);
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    progress.SetLabel(kStrExporting);
    progress.SetRange(12);
    for (int i = 0; i < 12; ++i) {
        clock.now += 1s;
        progress.Step();
    }
    EXPECT_EQ(pipe.Drain(), "Exporting... 5 of 12 (41%)\nExporting... 10 of 12 (83%)\n");
    progress.Close();
    EXPECT_EQ(pipe.Drain(), "Exporting... 12 of 12 (100%)\n");
}

TEST(TerminalProgressView, PipeLastLineNotRepeated) {
    Pipe pipe;
    FakeClock clock;
    CTerminalProgressView::Options o;
    o.fd = pipe.WriteEnd();
    o.handleInterrupt = false;
    o.clock = clock.Fn();
    CTerminalProgressView view(o);
    {
        CDlgProgress progress(view);
        ASSERT_TRUE(progress.Start(nullptr, kProgressImportContacts));
        progress.SetLabel(kStrImporting);
        progress.SetRange(2);
        progress.Step();
        progress.Step();
        clock.now += 6s;
        progress.SetPos(2);  // due, printed here; the end adds nothing new
    }
    EXPECT_EQ(pipe.Drain(), "Importing... 2 of 2 (100%)\n");
}

TEST(TerminalProgressView, StartThenCloseWithoutStatusWritesNothing) {
    Pipe pipe;
    CTerminalProgressView::Options o;
    o.fd = pipe.WriteEnd();
    o.handleInterrupt = false;
    CTerminalProgressView view(o);
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportEvents));
    progress.Close();
    EXPECT_EQ(pipe.Drain(), "");
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(TerminalProgressView, TerminalLineIsThrottledAndFinishedWithANewline) {
    Pipe pipe;
    FakeClock clock;
    CTerminalProgressView::Options o;
    o.fd = pipe.WriteEnd();
    o.terminal = true;
    o.width = 80;
    o.handleInterrupt = false;
    o.clock = clock.Fn();
    CTerminalProgressView view(o);
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    progress.SetLabel(kStrExporting);
    progress.SetRange(1000);  // first draw
    for (int i = 0; i < 999; ++i) progress.Step();  // no time passes: no redraw
    std::string out = pipe.Drain();
    EXPECT_EQ(Count(out, "\r"), 1);
    EXPECT_EQ(out, "\rExporting...  0 of 1000  0%  [------------------------------]\x1b[K");

    clock.now += 50ms;
    progress.Step();  // the last one is always drawn
    clock.now += 50ms;
    progress.Close();
    out = pipe.Drain();
    EXPECT_EQ(Count(out, "\r"), 2);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out.substr(out.size() - 4), "\x1b[K\n");
    EXPECT_NE(out.find("1000 of 1000  100%  [##############################]"), std::string::npos);
}

TEST(TerminalProgressView, TerminalRedrawsAtMostTenTimesASecond) {
    Pipe pipe;
    FakeClock clock;
    CTerminalProgressView::Options o;
    o.fd = pipe.WriteEnd();
    o.terminal = true;
    o.width = 80;
    o.handleInterrupt = false;
    o.clock = clock.Fn();
    CTerminalProgressView view(o);
    CDlgProgress progress(view);
    ASSERT_TRUE(progress.Start(nullptr, kProgressExportContacts));
    progress.SetRange(100000);
    // Two simulated seconds, a step every 10 ms.
    for (int i = 0; i < 200; ++i) {
        clock.now += 10ms;
        progress.Step();
    }
    const int draws = Count(pipe.Drain(), "\r");
    EXPECT_GE(draws, 19);
    EXPECT_LE(draws, 21);
    progress.Close();
}

// Runs body in a child process; returns the child's wait status and what it wrote.
template <class Body>
int InChild(Body body, std::string& output) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::_exit(body(fds[1]));
    }
    ::close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(TerminalProgressInterrupt, FirstCtrlCCancelsSecondEndsTheProcess) {
    std::string output;
    const int status = InChild(
        [](int out) {
            CTerminalProgressView::Options o;
            o.fd = out;
            CTerminalProgressView view(o);
            CDlgProgress progress(view);
            if (!progress.Start(nullptr, kProgressExportContacts)) return 10;
            progress.SetLabel(kStrExporting);
            progress.SetRange(10);
            progress.Step();
            ::kill(::getpid(), SIGINT);
            // Seen at the run's next look, without a SetPos in between.
            if (!progress.CancelPressed()) return 11;
            if (view.CancelText() != "Wait...") return 12;
            (void)!::write(out, "cancelled\n", 10);
            ::kill(::getpid(), SIGINT);
            return 13;  // the second Ctrl-C does not come back
        },
        output);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_EQ(output, "Wait... (Ctrl-C again to abort) 1 of 10 (10%)\ncancelled\n");
}

std::atomic<int> g_ownInterrupts{0};
extern "C" void CountInterrupt(int) { g_ownInterrupts.fetch_add(1); }

TEST(TerminalProgressInterrupt, CloseRestoresThePreviousHandler) {
    std::string output;
    const int status = InChild(
        [](int out) {
            std::signal(SIGINT, CountInterrupt);
            CTerminalProgressView::Options o;
            o.fd = out;
            CTerminalProgressView view(o);
            {
                CDlgProgress progress(view);
                if (!progress.Start(nullptr, kProgressExportContacts)) return 10;
                ::kill(::getpid(), SIGINT);
                if (g_ownInterrupts.load() != 0) return 11;  // the view's handler took it
                if (!progress.CancelPressed()) return 12;
            }
            ::kill(::getpid(), SIGINT);
            ::kill(::getpid(), SIGINT);
            if (g_ownInterrupts.load() != 2) return 13;
            // A new run starts without the old cancel.
            CDlgProgress again(view);
            if (!again.Start(nullptr, kProgressExportContacts)) return 14;
            if (again.CancelPressed()) return 15;
            again.Close();
            return 0;
        },
        output);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TerminalProgressInterrupt, WithoutHandlingCtrlCIsLeftAlone) {
    std::string output;
    const int status = InChild(
        [](int out) {
            std::signal(SIGINT, CountInterrupt);
            CTerminalProgressView::Options o;
            o.fd = out;
            o.handleInterrupt = false;
            CTerminalProgressView view(o);
            CDlgProgress progress(view);
            if (!progress.Start(nullptr, kProgressExportContacts)) return 10;
            ::kill(::getpid(), SIGINT);
            if (g_ownInterrupts.load() != 1) return 11;
            if (progress.CancelPressed()) return 12;
            return 0;
        },
        output);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace mireo::cli
