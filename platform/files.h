#pragma once
// Files by UTF-8 path. Windows uses the wide functions, so any name the file system
// allows can be opened whatever the ANSI code page.
#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

namespace mireo {

// Reads the whole file, shared for reading. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// True when the path opens as an existing file with no access rights requested and
// read and write sharing allowed (a folder does not).
bool FileCanBeOpened(const std::string& path);

bool PathIsDirectory(const std::string& path);

// A file's bytes mapped into memory for reading, not copied: what a run holds does not
// grow with the file (the system pages it in and out), and a file too large for the
// address space fails with a message instead of running out of memory.
class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile() { Close(); }
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Maps the file (shared for reading). False, with the system's words in `reason`,
    // when it cannot be read: missing, no permission, too large, or not a regular file
    // (a folder, a FIFO or a device is refused at once, without waiting for a writer).
    bool Open(const std::string& path, std::string& reason);
    std::string_view Bytes() const { return {static_cast<const char*>(m_view), m_size}; }
    // The bytes before `offset` were read and are not needed soon: their pages leave the
    // process's memory (they are read from the file again should they be touched), so
    // that reading a large file from start to end holds little of it at a time.
    void Release(std::size_t offset);
    void Close();

private:
    void* m_view = nullptr;
    std::size_t m_size = 0;
};

}  // namespace mireo
