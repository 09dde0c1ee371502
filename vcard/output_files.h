#pragma once
// The file system as the exporters need it: create a file new or always, write, close.
// Paths are UTF-8; the Windows implementation opens them with the wide functions.
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
};

}  // namespace mireo
