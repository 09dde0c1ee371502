// Files by UTF-8 path, Linux substitute.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/files.h"

namespace mireo {

namespace {

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // Read no more than the size seen at open: a file that grows meanwhile (a log)
    // cannot make the read unbounded.
    const auto size = static_cast<std::size_t>(st.st_size);
    std::string data(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd.Get(), data.data() + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;  // shrank meanwhile
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    out = std::move(data);
    return true;
}

bool FileCanBeOpened(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PathIsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace mireo
