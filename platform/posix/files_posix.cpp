// Files by UTF-8 path, Linux substitute.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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
    // O_NONBLOCK: opening a FIFO does not wait for a writer (it is refused below).
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
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

bool CMappedFile::Open(const std::string& path, std::string& reason) {
    Close();
    // O_NONBLOCK: opening a FIFO does not wait for a writer.
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file (a FIFO, socket or device)";
        return false;
    }
    if (st.st_size == 0) return true;
    if (static_cast<unsigned long long>(st.st_size) > static_cast<unsigned long long>(PTRDIFF_MAX)) {
        reason = "the file is too large to be read";
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (view == MAP_FAILED) {
        reason = errno == ENOMEM ? "the file is too large to be read" : std::strerror(errno);
        return false;
    }
    // Read once from start to end: pages already read may go.
    ::madvise(view, size, MADV_SEQUENTIAL);
    m_view = view;
    m_size = size;
    return true;
}

void CMappedFile::Release(std::size_t offset) {
    if (m_view == nullptr) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = page == 0 ? 0 : std::min(offset, m_size) / page * page;
    // A private mapping never written to: its pages are dropped, not written anywhere.
    if (end > 0) ::madvise(m_view, end, MADV_DONTNEED);
}

void CMappedFile::Close() {
    if (m_view != nullptr) ::munmap(m_view, m_size);
    m_view = nullptr;
    m_size = 0;
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
