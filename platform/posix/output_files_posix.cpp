// Output files on a POSIX file system (the Linux build).
#include "platform/output_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mireo {
namespace {

class CPosixOutputFile : public IOutputFile {
public:
    explicit CPosixOutputFile(int fd) : m_fd(fd) {}
    ~CPosixOutputFile() override { Close(); }

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
        if (m_fd < 0) return true;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0;
    }

private:
    int m_fd;
};

class CPosixOutputFiles : public IOutputFiles {
public:
    bool Exists(const std::string& path) override {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0;
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Open(path, O_CREAT | O_EXCL, file);
    }

    CreateResult CreateAlways(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Open(path, O_CREAT | O_TRUNC, file);
    }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

private:
    static CreateResult Open(const std::string& path, int flags, std::unique_ptr<IOutputFile>& file) {
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
        file = std::make_unique<CPosixOutputFile>(fd);
        return CreateResult::kCreated;
    }
};

}  // namespace

std::unique_ptr<IOutputFiles> CreateSystemOutputFiles() { return std::make_unique<CPosixOutputFiles>(); }

}  // namespace mireo
