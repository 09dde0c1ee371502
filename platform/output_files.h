#pragma once
// The file system as the exporters need it: create a file new, or to replace another,
// write, close, abandon, remove. Paths are UTF-8; the Windows implementation opens them
// with the wide functions.
//
// A file is there, under its name, only once Close has succeeded: a file that replaces
// another is written beside it and renamed over it when complete, so that a full disk
// or a failed run leaves the old file as it was; a file that is abandoned (or dropped
// without Close) is removed. Names held by links are never followed.
#include <memory>
#include <string>
#include <string_view>

namespace mireo {

enum class CreateResult {
    kCreated,
    kExists,    // create-new only: something of that name is already there
    kFailed,
    kNotAFile,  // replace only: the name is a link, folder or device; neither followed nor replaced
};

class IOutputFile {
public:
    virtual ~IOutputFile() = default;  // abandons the file unless it was closed
    // Writes all the bytes; false when any could not be written (a full disk).
    virtual bool Write(std::string_view bytes) = 0;
    // Completes the file (and puts it in the place of the one it replaces). False when
    // it could not be completed: then it is removed and a file it was to replace stays.
    virtual bool Close() = 0;
    // Drops the file: what was written is removed, a file it was to replace stays.
    virtual void Abandon() = 0;
};

class IOutputFiles {
public:
    virtual ~IOutputFiles() = default;
    // Whether anything of that name is there (a link, even a dangling one, is).
    virtual bool Exists(const std::string& path) = 0;
    // Creates the file only when nothing of that name exists (O_EXCL / CREATE_NEW).
    virtual CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) = 0;
    // Creates the file that replaces a regular file of that name, if there is one, when
    // it is closed complete; kNotAFile when the name is held by anything else.
    virtual CreateResult CreateReplacing(const std::string& path, std::unique_ptr<IOutputFile>& file) = 0;
    // Deletes a file; false when it could not be removed.
    virtual bool Remove(const std::string& path) = 0;
};

// The platform's own file system.
std::unique_ptr<IOutputFiles> CreateSystemOutputFiles();

// The name of the file written beside `path` until it replaces it: hidden (a leading
// "."), ending in ".tmp" so no import takes it for a card file, numbered by `attempt`.
std::string ReplacementPath(const std::string& path, int attempt);

}  // namespace mireo
