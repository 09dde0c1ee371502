#include "platform/file_naming.h"

#include <algorithm>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/case_fold.h"
#include "platform/utf.h"

namespace mireo {
namespace {

using utf::IsHighSurrogate;
using utf::IsLowSurrogate;

// Length of one code point starting at s[i], in UTF-16 units (1 or 2).
std::size_t CodePointUnits(std::u16string_view s, std::size_t i) {
    return IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1]) ? 2 : 1;
}

// UTF-8 bytes of the code point at s[i] (a lone surrogate is written as U+FFFD).
std::size_t Utf8Bytes(std::u16string_view s, std::size_t i) {
    const char16_t c = s[i];
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) return 4;
    return 3;
}

// Length of the device part of name when it is a reserved device name, else 0.
std::size_t ReservedStemLength(std::u16string_view name) {
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (ascii::EqualsNoCase(stem, device)) return stem.size();
    }
    if (stem.size() == 4 &&
        (ascii::EqualsNoCase(stem.substr(0, 3), "COM") || ascii::EqualsNoCase(stem.substr(0, 3), "LPT"))) {
        const char16_t d = stem[3];
        // COM0..9, LPT0..9 and the superscript digits 1..3, which Windows also maps.
        if ((d >= u'0' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3') return stem.size();
    }
    return 0;
}

}  // namespace

std::string PathToUtf8(std::u16string_view s) { return utf::Utf16ToUtf8(s); }

std::u16string PathFromUtf8(std::string_view s) { return utf::Utf8ToUtf16(s, utf::BadUtf8::kWholeSequence); }

bool IsReservedDeviceName(std::u16string_view name) { return ReservedStemLength(name) > 0; }

std::u16string CleanBaseName(std::u16string_view raw) {
    std::u16string name(raw);
    const std::size_t crlf = name.find(u"\r\n");
    if (crlf != std::u16string::npos) {
        name.replace(crlf, 2, u" (");
        name += u')';
    }
    for (char16_t& c : name) {
        switch (c) {
            case u'\\': case u'/': case u':': case u'*': case u'?':
            case u'"': case u'<': case u'>': case u'|':
                c = u'_';
                break;
            default:
                // Controls, DEL and the bidirectional overrides: a name that shows as
                // something else in a folder list ("exe.vcf" spelt backwards).
                if (utf::IsDisplayControl(c)) c = u'_';
        }
    }
    // Never a hidden file.
    if (!name.empty() && name.front() == u'.') name.front() = u'_';
    if (const std::size_t stem = ReservedStemLength(name)) name.insert(stem, 1, u'_');
    return name;
}

PathLimits NativePathLimits() {
#ifdef _WIN32
    return kWindowsPathLimits;
#else
    return kPosixPathLimits;
#endif
}

COutputNamer::COutputNamer(IOutputFiles& files, std::string folder, std::u16string extension, bool overwrite,
                           PathLimits limits)
    : m_files(files), m_folder(std::move(folder)), m_extension(std::move(extension)), m_overwrite(overwrite),
      m_limits(limits) {
    const bool endsWithSeparator =
        !m_folder.empty() && (m_folder.back() == m_limits.separator || m_folder.back() == '/');
    if (!m_folder.empty() && !endsWithSeparator) m_folder += m_limits.separator;
    m_folderLength = m_limits.utf16Units ? PathFromUtf8(m_folder).size() : m_folder.size();
}

void COutputNamer::Reset() {
    m_nextNumber.clear();
    m_written.clear();
}

std::u16string COutputNamer::Key(std::u16string_view name) const {
    std::u16string key(name);
    if (m_limits.caseInsensitive) FoldCaseInPlace(key);
    return key;
}

std::string COutputNamer::MakePath(const std::u16string& base, int n, std::u16string& fileName) const {
    std::u16string tail;
    if (n > 0) {
        char number[16];
        std::snprintf(number, sizeof number, "(%d)", n);
        for (const char* p = number; *p != '\0'; ++p) tail += static_cast<char16_t>(*p);
    }
    tail += m_extension;
    auto units = [this](std::u16string_view s) {
        if (m_limits.utf16Units) return s.size();
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < s.size(); i += CodePointUnits(s, i)) bytes += Utf8Bytes(s, i);
        return bytes;
    };
    const std::size_t tailLength = units(tail);
    if (tailLength > m_limits.maxComponent || m_folderLength + tailLength > m_limits.maxPath) return {};
    const std::size_t budget =
        std::min(m_limits.maxComponent - tailLength, m_limits.maxPath - m_folderLength - tailLength);

    // Keep whole code points of the base name while they fit.
    std::size_t keep = 0;
    std::size_t used = 0;
    while (keep < base.size()) {
        const std::size_t step = CodePointUnits(base, keep);
        const std::size_t cost = m_limits.utf16Units ? step : Utf8Bytes(base, keep);
        if (used + cost > budget) break;
        used += cost;
        keep += step;
    }
    fileName.assign(base, 0, keep);
    if (keep < base.size()) {
        // A cut name can turn into a device name ("CONTACTS" cut to "CON").
        if (const std::size_t stem = ReservedStemLength(fileName)) {
            fileName.resize(stem - 1);
            fileName += u'_';
        }
    }
    fileName += tail;
    return m_folder + PathToUtf8(fileName);
}

int COutputNamer::Create(std::u16string_view rawBaseName, std::unique_ptr<IOutputFile>& file, std::string& path) {
    const std::u16string base = CleanBaseName(rawBaseName);
    const std::u16string baseKey = Key(base);
    int& next = m_nextNumber[baseKey];
    std::u16string fileName;
    for (; next <= kMaxNumber; ++next) {
        std::string candidate = MakePath(base, next, fileName);
        if (candidate.empty()) return kNameCannotCreateFile;
        std::u16string nameKey = Key(fileName);
        if (m_written.count(nameKey) != 0) continue;  // never replace a file of this run
        std::unique_ptr<IOutputFile> created;
        const CreateResult result =
            m_overwrite ? m_files.CreateReplacing(candidate, created) : m_files.CreateNew(candidate, created);
        if (result == CreateResult::kExists && !m_overwrite) continue;
        if (result == CreateResult::kNotAFile) {
            path = std::move(candidate);
            return kNameNotAFile;
        }
        if (result != CreateResult::kCreated || !created) return kNameCannotCreateFile;
        m_written.insert(std::move(nameKey));
        ++next;
        file = std::move(created);
        path = std::move(candidate);
        return 0;
    }
    return kNameCannotCreateFile;
}

}  // namespace mireo
