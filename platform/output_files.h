#pragma once
// The file system as the exporters need it: create a file new or always, write, close,
// remove. Paths are UTF-8; the Windows implementation opens them with the wide functions.
#include <memory>
#include <string>
#include <string_view>

namespace mireo {

enum class CreateResult {
    kCreated,
    kExists,  // create-new only: something of that name is already there
    kFailed,
};

class IOutputFile {
public:
    virtual ~IOutputFile() = default;  // closes the file if still open
    // Writes all the bytes; false when any could not be written (a full disk).
    virtual bool Write(std::string_view bytes) = 0;
    // False when the data could not be flushed.
    virtual bool Close() = 0;
};

class IOutputFiles {
public:
    virtual ~IOutputFiles() = default;
    virtual bool Exists(const std::string& path) = 0;
    // Creates the file only when nothing of that name exists (O_EXCL / CREATE_NEW).
    virtual CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) = 0;
    // Creates the file or truncates the existing one (O_TRUNC / CREATE_ALWAYS).
    virtual CreateResult CreateAlways(const std::string& path, std::unique_ptr<IOutputFile>& file) = 0;
    // Deletes a file (one whose writing failed); false when it could not be removed.
    virtual bool Remove(const std::string& path) = 0;
};

// The platform's own file system.
std::unique_ptr<IOutputFiles> CreateSystemOutputFiles();

}  // namespace mireo
