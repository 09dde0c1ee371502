#pragma once
// Files by UTF-8 path. Windows uses the wide functions, so any name the file system
// allows can be opened whatever the ANSI code page.
#include <cstdint>
#include <string>

namespace mireo {

// Reads the whole file, shared for reading. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// True when the path opens as an existing file with no access rights requested and
// read and write sharing allowed (a folder does not).
bool FileCanBeOpened(const std::string& path);

bool PathIsDirectory(const std::string& path);

}  // namespace mireo
