// Output files on a POSIX file system (the Linux build).
#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mireo {
namespace {

int OpenExclusive(const std::string& path) {
    int fd;
    do {
        // O_NOFOLLOW: a link planted at the name is never written through.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

class CPosixOutputFile : public IOutputFile {
public:
    // written: the file's own name; target: the name it takes when complete (empty: the same).
    CPosixOutputFile(int fd, std::string written, std::string target)
        : m_fd(fd), m_written(std::move(written)), m_target(std::move(target)) {}
    ~CPosixOutputFile() override { Abandon(); }

    bool Write(std::string_view bytes) override {
        if (m_fd < 0) return false;
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    bool Close() override {
        if (m_fd < 0) return m_done;
        const int rc = ::close(m_fd);
        m_fd = -1;
        if (rc != 0 || (!m_target.empty() && ::rename(m_written.c_str(), m_target.c_str()) != 0)) {
            ::unlink(m_written.c_str());
            return false;
        }
        m_done = true;
        return true;
    }

    void Abandon() override {
        if (m_fd < 0) return;
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_written.c_str());
    }

private:
    int m_fd;
    bool m_done = false;
    std::string m_written;
    std::string m_target;
};

class CPosixOutputFiles : public IOutputFiles {
public:
    bool Exists(const std::string& path) override {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0;
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        const int fd = OpenExclusive(path);
        if (fd < 0) return errno == EEXIST || errno == ELOOP ? CreateResult::kExists : CreateResult::kFailed;
        file = std::make_unique<CPosixOutputFile>(fd, path, std::string());
        return CreateResult::kCreated;
    }

    CreateResult CreateReplacing(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) return CreateResult::kNotAFile;
        } else if (errno != ENOENT) {
            return CreateResult::kFailed;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string beside = ReplacementPath(path, attempt);
            const int fd = OpenExclusive(beside);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return CreateResult::kFailed;
            }
            file = std::make_unique<CPosixOutputFile>(fd, beside, path);
            return CreateResult::kCreated;
        }
        return CreateResult::kFailed;
    }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
};

}  // namespace

std::unique_ptr<IOutputFiles> CreateSystemOutputFiles() { return std::make_unique<CPosixOutputFiles>(); }

}  // namespace mireo
