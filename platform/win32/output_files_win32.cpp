// Output files by UTF-8 path through the wide Win32 functions.
#include <windows.h>

#include "platform/output_files.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo {
namespace {

class CWin32OutputFile : public IOutputFile {
public:
    // written: the file's own name; target: the name it takes when complete (empty: the same).
    CWin32OutputFile(UniqueFile file, std::wstring written, std::wstring target)
        : m_file(std::move(file)), m_written(std::move(written)), m_target(std::move(target)) {}
    ~CWin32OutputFile() override { Abandon(); }

    bool Write(std::string_view bytes) override {
        if (!m_file) return false;
        while (!bytes.empty()) {
            const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!::WriteFile(m_file.Get(), bytes.data(), chunk, &written, nullptr)) return false;
            // A disk that is full may take part of the chunk and report no error.
            if (written == 0) return false;
            bytes.remove_prefix(written);
        }
        return true;
    }

    // The last data may be refused only when the handle closes (a full network disk).
    bool Close() override {
        if (!m_file) return m_done;
        const bool closed = m_file.Close();
        if (!closed || (!m_target.empty() &&
                        !::MoveFileExW(m_written.c_str(), m_target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
            ::DeleteFileW(m_written.c_str());
            return false;
        }
        m_done = true;
        return true;
    }

    void Abandon() override {
        if (!m_file) return;
        m_file.Close();
        ::DeleteFileW(m_written.c_str());
    }

private:
    UniqueFile m_file;
    bool m_done = false;
    std::wstring m_written;
    std::wstring m_target;
};

class CWin32OutputFiles : public IOutputFiles {
public:
    bool Exists(const std::string& path) override {
        const std::wstring wide = widepath::FromUtf8(path);
        return !wide.empty() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        const std::wstring wide = widepath::FromUtf8(path);
        if (wide.empty()) return CreateResult::kFailed;
        return Open(wide, std::wstring(), file);
    }

    CreateResult CreateReplacing(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        const std::wstring wide = widepath::FromUtf8(path);
        if (wide.empty()) return CreateResult::kFailed;
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
            return CreateResult::kNotAFile;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring beside = widepath::FromUtf8(ReplacementPath(path, attempt));
            if (beside.empty()) return CreateResult::kFailed;
            const CreateResult r = Open(beside, wide, file);
            if (r != CreateResult::kExists) return r;
        }
        return CreateResult::kFailed;
    }

    bool Remove(const std::string& path) override {
        const std::wstring wide = widepath::FromUtf8(path);
        return !wide.empty() && ::DeleteFileW(wide.c_str()) != FALSE;
    }

private:
    // Created new (CREATE_NEW does not follow a link of that name: the name exists).
    static CreateResult Open(const std::wstring& wide, const std::wstring& target, std::unique_ptr<IOutputFile>& file) {
        // Share-write as the add-in always opened its output; a reader may look in.
        UniqueFile h(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::kExists
                                                                                 : CreateResult::kFailed;
        }
        file = std::make_unique<CWin32OutputFile>(std::move(h), wide, target);
        return CreateResult::kCreated;
    }
};

}  // namespace

std::unique_ptr<IOutputFiles> CreateSystemOutputFiles() { return std::make_unique<CWin32OutputFiles>(); }

}  // namespace mireo
