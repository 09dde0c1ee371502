// The helper library on Linux: the log is a text file, help and about go to the terminal.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "helperlib/libkelvo.h"
#include "helperlib/libkelvo_common.h"
#include "mireo_version.h"

namespace kelvo {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

// $MIREO_LOG, else $XDG_STATE_HOME/mireo/mireo.log, else ~/.local/state/mireo/mireo.log.
std::string LogPath() {
    std::string path = Env("MIREO_LOG");
    if (!path.empty()) return path;
    std::string state = Env("XDG_STATE_HOME");
    if (state.empty() || state[0] != '/') {  // relative values are to be ignored
        const std::string home = Env("HOME");
        if (home.empty()) return {};
        state = home + "/.local/state";
    }
    return state + "/mireo/mireo.log";
}

void MakeParentFolders(const std::string& path) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/') continue;
        const std::string folder = path.substr(0, i);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

bool AppendToFile(const std::string& path, const std::string& line) {
    MakeParentFolders(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // One write per line: with O_APPEND, lines of several writers do not interleave.
    std::size_t done = 0;
    bool ok = true;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

// Folder of this library itself, whoever loaded it and from where.
std::string LibraryFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibKelvoShowContextHelp), &info) == 0 || info.dli_fname == nullptr)
        return {};
    const std::string file = info.dli_fname;
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

bool ReadFile(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char buf[4096];
    std::size_t n;
    // Help pages are small; a cap keeps a stray huge file from filling memory.
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && out.size() < (4u << 20)) out.append(buf, n);
    std::fclose(f);
    return true;
}

}  // namespace
}  // namespace kelvo

extern "C" {

std::int32_t LibKelvoInit(std::intptr_t, std::int32_t, void*, std::int32_t, std::int32_t) { return kelvo::kOk; }

std::int32_t LibKelvoLogMsg(std::intptr_t context, const char* message, std::int32_t code, const char* function,
                            std::int32_t level, std::int32_t) {
    if (context == 0) return kelvo::kBadArgument;
    const std::string path = kelvo::LogPath();
    if (path.empty()) return kelvo::kFailed;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    const kelvo::LocalTime t{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    const std::string line = kelvo::FormatLogLine(t, level, code, function, message, "\n");
    return kelvo::AppendToFile(path, line) ? kelvo::kOk : kelvo::kFailed;
}

std::int32_t LibKelvoShowContextHelp(std::intptr_t context, const char* topic) {
    if (context == 0 || !kelvo::IsSafeTopic(topic)) return kelvo::kBadArgument;
    const std::string page = kelvo::LibraryFolder() + "/help/" + topic;
    struct stat st {};
    if (::stat(page.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kelvo::kNotFound;
    if (::isatty(STDOUT_FILENO)) {
        std::string html;
        if (!kelvo::ReadFile(page, html)) return kelvo::kNotFound;
        std::fputs(kelvo::WrapText(kelvo::HtmlToText(html), 78).c_str(), stdout);
    } else {
        // Not a terminal: a script or a test wants to know which page it was.
        std::printf("%s\n", page.c_str());
    }
    std::fflush(stdout);
    return kelvo::kOk;
}

std::int32_t LibKelvoAddAboutMenu(std::intptr_t context, void*) {
    return context == 0 ? kelvo::kBadArgument : kelvo::kOk;
}

std::int32_t LibKelvoShowAbout(std::intptr_t context) {
    if (context == 0) return kelvo::kBadArgument;
    std::printf("%s %s\nvCard and vCalendar import and export\n", kelvo::kProductName, MIREO_VERSION_TEXT);
    std::fflush(stdout);
    return kelvo::kOk;
}

}  // extern "C"
