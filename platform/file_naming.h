#pragma once
// Output file names of the exporters: one file per item named after the item, or one
// file named after the folder.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/output_files.h"

namespace mireo {

constexpr int kNameCannotCreateFile = -2;
constexpr int kNameNotAFile = -3;  // overwrite: the name is a link, folder or device

// How long a path may be, and in what units.
struct PathLimits {
    std::size_t maxPath;       // whole path, without the terminating zero
    std::size_t maxComponent;  // one file name
    bool utf16Units;           // lengths in UTF-16 units (Windows) or UTF-8 bytes (Linux)
    bool caseInsensitive;      // two names that differ in case are the same file
    char separator;
};

inline constexpr PathLimits kWindowsPathLimits{259, 255, true, true, '\\'};
inline constexpr PathLimits kPosixPathLimits{4095, 255, false, false, '/'};

// The limits of the platform this is built for.
PathLimits NativePathLimits();

// Makes a base name usable as a file name: the first CR LF becomes " (" with ")"
// appended ("Smith, John" CR LF "Acme" -> "Smith, John (Acme)"); \ / : * ? " < > |,
// the controls (0..31, DEL, 128..159) and the bidirectional marks and overrides
// become "_", and so does a leading "." (no hidden files); a reserved device name
// (CON, PRN, AUX, NUL, COM1..9, LPT1..9, any case, with or without an extension) gets
// "_" after the device part ("con.txt" -> "con_.txt").
std::u16string CleanBaseName(std::u16string_view raw);

// True when the part of name before its first "." (trailing spaces ignored) is a
// reserved device name.
bool IsReservedDeviceName(std::u16string_view name);

// Picks and creates the output files of one run. Without overwrite it creates with
// create-new semantics and, when the name is taken (by anything, a link included),
// tries "Name(1).vcf", "Name(2).vcf", ... so an existing file is never replaced, not
// even one that appears between two tries. With overwrite an existing regular file is
// replaced when the new one is complete, except one this run has written itself: a
// second item of the same name takes the next "(n)" so that no item is lost. A name
// held by a link, folder or device is neither followed nor replaced.
// The next number to try is remembered per base name, so many items of one name cost
// linear time.
class COutputNamer {
public:
    // folder: UTF-8, with or without a trailing separator; extension with its dot.
    COutputNamer(IOutputFiles& files, std::string folder, std::u16string extension, bool overwrite,
                 PathLimits limits = NativePathLimits());

    // Cleans the base name, fits it into the path limits (shortening the base name
    // only) and creates the file. Returns 0 with file and path set,
    // kNameCannotCreateFile (a creation failure, a folder too long for any name, or no
    // free number up to kMaxNumber), or kNameNotAFile with path set.
    int Create(std::u16string_view rawBaseName, std::unique_ptr<IOutputFile>& file, std::string& path);

    // Forgets the names of this run.
    void Reset();

    static constexpr int kMaxNumber = 100000;

private:
    // The path for base (already clean) with number n (0 = none); empty when even an
    // empty base name would not fit.
    std::string MakePath(const std::u16string& base, int n, std::u16string& fileName) const;
    std::u16string Key(std::u16string_view name) const;

    IOutputFiles& m_files;
    std::string m_folder;
    std::u16string m_extension;
    bool m_overwrite;
    PathLimits m_limits;
    std::size_t m_folderLength = 0;          // in limit units, separator included
    // Hashed: a run over a large folder looks a name up in each for every item.
    std::unordered_map<std::u16string, int> m_nextNumber;  // base name key -> next n to try
    std::unordered_set<std::u16string> m_written;          // file name keys created in this run
};

// UTF-8 <-> UTF-16 for file names; an unpaired surrogate becomes U+FFFD, and so does
// each ill-formed UTF-8 sequence as a whole (utf::BadUtf8::kWholeSequence).
std::string PathToUtf8(std::u16string_view text);
std::u16string PathFromUtf8(std::string_view text);

}  // namespace mireo
