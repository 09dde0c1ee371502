// Output files by UTF-8 path through the wide Win32 functions.
#include <windows.h>

#include "platform/output_files.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"

namespace mireo {
namespace {

class CWin32OutputFile : public IOutputFile {
public:
    explicit CWin32OutputFile(UniqueFile file) : m_file(std::move(file)) {}

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
    bool Close() override { return m_file.Close(); }

private:
    UniqueFile m_file;
};

class CWin32OutputFiles : public IOutputFiles {
public:
    bool Exists(const std::string& path) override {
        const std::wstring wide = widepath::FromUtf8(path);
        return !wide.empty() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Open(path, CREATE_NEW, file);
    }

    CreateResult CreateAlways(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Open(path, CREATE_ALWAYS, file);
    }

    bool Remove(const std::string& path) override {
        const std::wstring wide = widepath::FromUtf8(path);
        return !wide.empty() && ::DeleteFileW(wide.c_str()) != FALSE;
    }

private:
    static CreateResult Open(const std::string& path, DWORD disposition, std::unique_ptr<IOutputFile>& file) {
        const std::wstring wide = widepath::FromUtf8(path);
        if (wide.empty()) return CreateResult::kFailed;
        // Share-write as the add-in always opened its output; a reader may look in.
        UniqueFile h(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::kExists
                                                                                 : CreateResult::kFailed;
        }
        file = std::make_unique<CWin32OutputFile>(std::move(h));
        return CreateResult::kCreated;
    }
};

}  // namespace

std::unique_ptr<IOutputFiles> CreateSystemOutputFiles() { return std::make_unique<CWin32OutputFiles>(); }

}  // namespace mireo
