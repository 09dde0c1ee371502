#include "platform/posix/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/ascii.h"
#include "platform/registry_text.h"

namespace mireo {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
// regedit breaks hex data after this many columns.
constexpr std::size_t kHexLineWidth = 76;

using ascii::EqualsNoCase;
using ascii::StartsWithNoCase;

// Lines of the file are trimmed of blanks (spaces and tabs) only.
std::string_view TrimLeft(std::string_view s) { return ascii::TrimLeft(s, ascii::kBlanks); }
std::string_view TrimRight(std::string_view s) { return ascii::TrimRight(s, ascii::kBlanks); }
std::string_view Trim(std::string_view s) { return ascii::Trim(s, ascii::kBlanks); }

// Builds "ROOT\a\b" from a root name and a backslash-separated path; empty
// components are dropped. False when a component holds a character the file cannot
// keep on one line.
bool JoinKeyPath(std::string_view root, std::string_view path, std::string& out) {
    out.assign(root);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.find_first_of("\r\n", 0) != std::string_view::npos) return false;
        if (!part.empty()) {
            out += '\\';
            out += part;
        }
        start = end + 1;
    }
    return true;
}

// "HKEY_CURRENT_USER\..." or "HKCU\..." (either root, any case) to the display path.
bool NormaliseSectionPath(std::string_view section, std::string& out) {
    const std::size_t slash = section.find('\\');
    const std::string_view root = section.substr(0, slash);
    const std::string_view rest = slash == std::string_view::npos ? std::string_view{} : section.substr(slash + 1);
    std::string_view canonical;
    if (EqualsNoCase(root, kCurrentUser) || EqualsNoCase(root, "HKCU")) canonical = kCurrentUser;
    else if (EqualsNoCase(root, kLocalMachine) || EqualsNoCase(root, "HKLM")) canonical = kLocalMachine;
    else return false;
    return JoinKeyPath(canonical, rest, out);
}

// Reads a quoted string starting at s[0] == '"', undoing \\ and \" (any other
// backslash stays as written). Returns the length consumed, 0 when unterminated.
std::size_t ReadQuoted(std::string_view s, std::string& out) {
    out.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') return i + 1;
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else {
            out += c;
        }
    }
    return 0;
}

// "01,02, ff" to bytes; false on anything else. An empty list is no bytes.
bool ReadHexList(std::string_view s, std::vector<std::uint8_t>& out) {
    out.clear();
    s = Trim(s);
    if (s.empty()) return true;
    out.reserve(s.size() / 3 + 1);
    while (true) {
        const std::size_t comma = s.find(',');
        const std::string_view digits = Trim(s.substr(0, comma));
        std::uint8_t value = 0;
        if (digits.size() > 2 || !ascii::ParseHex(digits, value)) return false;
        out.push_back(value);
        if (comma == std::string_view::npos) return true;
        s = TrimLeft(s.substr(comma + 1));
        // A trailing comma (as a continuation leaves it) ends the list.
        if (s.empty()) return true;
    }
}

// Parses the data part of a value line; false when it is not understood.
bool ReadValueData(std::string_view s, RegFileValue& value) {
    if (!s.empty() && s.front() == '"') {
        std::string text;
        if (ReadQuoted(s, text) == 0) return false;
        value.type = kRegSz;
        value.data = regtext::SzBytes(text);
        return true;
    }
    if (StartsWithNoCase(s, "dword:")) {
        const std::string_view digits = Trim(s.substr(6));
        std::uint32_t v = 0;
        if (digits.size() > 8 || !ascii::ParseHex(digits, v)) return false;
        value.type = kRegDword;
        value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (StartsWithNoCase(s, "hex:")) {
        value.type = kRegBinary;
        return ReadHexList(s.substr(4), value.data);
    }
    if (StartsWithNoCase(s, "hex(")) {
        const std::size_t close = s.find(')');
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        std::uint32_t type = 0;
        if (!ascii::ParseHex(s.substr(4, close - 4), type)) return false;
        if (close + 1 >= s.size() || s[close + 1] != ':') return false;
        value.type = type;
        return ReadHexList(s.substr(close + 2), value.data);
    }
    return false;
}

void ParseLine(std::string_view line, RegFileData& data, RegFileKey*& current) {
    line = TrimLeft(line);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
        current = nullptr;
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos || close < 1) return;
        std::string_view section = line.substr(1, close - 1);
        if (!section.empty() && section.front() == '-') return;  // a deletion request: nothing to keep
        std::string path;
        if (!NormaliseSectionPath(section, path)) return;
        RegFileKey& key = data.keys[regtext::FoldCase(path)];
        if (key.path.empty()) key.path = std::move(path);
        current = &key;
        return;
    }
    if (current == nullptr) return;
    RegFileValue value;
    std::size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else if (line.front() == '"') {
        pos = ReadQuoted(line, value.name);
        if (pos == 0) return;
    } else {
        return;
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return;
    rest = TrimLeft(rest.substr(1));
    if (!ReadValueData(rest, value)) return;
    std::string folded = regtext::FoldCase(value.name);
    current->values[std::move(folded)] = std::move(value);
}

void AppendEscaped(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// The quoted form is used only when it reads back to exactly the same bytes.
bool CleanSzText(const std::vector<std::uint8_t>& data, std::string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    if (data[data.size() - 1] != 0 || data[data.size() - 2] != 0) return false;
    text = regtext::LeBytesToUtf8(data.data(), data.size() - 2);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) return false;
    return regtext::SzBytes(text) == data;
}

void AppendHex(std::string& out, std::string_view prefix, const std::vector<std::uint8_t>& data) {
    static const char kDigits[] = "0123456789abcdef";
    std::size_t column = out.size() - (out.rfind('\n') + 1);
    out += prefix;
    column += prefix.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column > kHexLineWidth) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
}

void AppendValue(std::string& out, const RegFileValue& v) {
    if (v.name.empty()) out += '@';
    else AppendEscaped(out, v.name);
    out += '=';
    std::string text;
    if (v.type == kRegSz && CleanSzText(v.data, text)) {
        AppendEscaped(out, text);
    } else if (v.type == kRegDword && v.data.size() == 4) {
        char buf[16];
        const std::uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                                (static_cast<std::uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else if (v.type == kRegBinary) {
        AppendHex(out, "hex:", v.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        AppendHex(out, buf, v.data);
    }
    out += "\r\n";
}

long ErrorFromErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return kErrorAccessDenied;
        default:
            return kErrorWriteFault;
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadFile(const std::string& path, std::string& out, int& err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    out.clear();
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

RegFileData ParseRegFile(std::string_view bytes) {
    std::string converted;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        converted = regtext::LeBytesToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2,
                                           bytes.size() - 2);
        bytes = converted;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }

    RegFileData data;
    RegFileKey* current = nullptr;
    std::string logical;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        logical.clear();
        // Gather one logical line: physical lines joined while they end in "\".
        while (true) {
            std::size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string_view::npos) end = bytes.size();
            std::string_view physical = bytes.substr(pos, end - pos);
            pos = end;
            if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
            if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
            if (!logical.empty()) physical = TrimLeft(physical);
            const std::string_view trimmed = TrimRight(physical);
            const bool continued = !trimmed.empty() && trimmed.back() == '\\' && pos < bytes.size() &&
                                   TrimLeft(trimmed).front() != '[';
            if (continued) {
                logical.append(trimmed.substr(0, trimmed.size() - 1));
                continue;
            }
            logical.append(physical);
            break;
        }
        ParseLine(logical, data, current);
    }
    return data;
}

std::string SerializeRegFile(const RegFileData& data) {
    std::string out;
    out += kHeader;
    out += "\r\n\r\n";
    for (const auto& [folded, key] : data.keys) {
        out += '[';
        out += key.path;
        out += "]\r\n";
        for (const auto& [name, value] : key.values) AppendValue(out, value);
        out += "\r\n";
    }
    return out;
}

CRegistryFile::CRegistryFile(std::string path) : m_path(std::move(path)) {}

void CRegistryFile::SetPath(std::string path) {
    m_path = std::move(path);
    m_data = {};
    m_stamp = {};
    m_loaded = false;
}

CRegistryFile::Stamp CRegistryFile::CurrentStamp() const {
    Stamp stamp;
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.dev = static_cast<std::uint64_t>(st.st_dev);
        stamp.ino = static_cast<std::uint64_t>(st.st_ino);
        stamp.size = static_cast<std::uint64_t>(st.st_size);
        stamp.sec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        stamp.nsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    }
    return stamp;
}

void CRegistryFile::Refresh() {
    const Stamp stamp = CurrentStamp();
    if (m_loaded && stamp == m_stamp) return;
    m_stamp = stamp;
    m_loaded = true;
    if (!stamp.exists) {
        m_data = {};
        return;
    }
    std::string bytes;
    int err = 0;
    // A file that exists but cannot be read (a folder, say) leaves the values as they were.
    if (ReadFile(m_path, bytes, err)) m_data = ParseRegFile(bytes);
}

long CRegistryFile::Save() {
    const std::string text = SerializeRegFile(m_data);
    const std::string folder = ParentFolder(m_path);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return ErrorFromErrno(ec.value());

    std::string temp = m_path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return ErrorFromErrno(errno);
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), m_path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return ErrorFromErrno(err);
    }
    // Make the rename itself durable; a failure here does not undo the write.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    m_stamp = CurrentStamp();  // what is in memory is what the file now holds
    return kErrorSuccess;
}

bool CRegistryFile::KeyExists(const std::string& folded) const {
    if (folded.find('\\') == std::string::npos) return true;  // a root
    if (m_data.keys.count(folded) != 0) return true;
    const std::string prefix = folded + '\\';
    const auto it = m_data.keys.lower_bound(prefix);
    return it != m_data.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

const CRegistryFile::Handle* CRegistryFile::Find(Key key) const {
    const auto it = m_handles.find(key);
    return it == m_handles.end() ? nullptr : &it->second;
}

long CRegistryFile::OpenPath(const std::string& display, bool write, bool create, Key& out) {
    out = 0;
    Refresh();
    std::string folded = regtext::FoldCase(display);
    if (!KeyExists(folded)) {
        if (!create) return kErrorFileNotFound;
        RegFileKey& key = m_data.keys[folded];
        key.path = display;
        if (const long rc = Save(); rc != kErrorSuccess) {
            m_data.keys.erase(folded);
            return rc;
        }
    }
    out = m_nextKey++;
    m_handles[out] = Handle{display, std::move(folded), write};
    return kErrorSuccess;
}

long CRegistryFile::OpenKey(RegRoot root, std::string_view path, bool write, bool create, Key& out) {
    std::string display;
    out = 0;
    if (!JoinKeyPath(root == RegRoot::CurrentUser ? kCurrentUser : kLocalMachine, path, display))
        return kErrorInvalidParameter;
    return OpenPath(display, write, create, out);
}

long CRegistryFile::OpenSubKey(Key parent, std::string_view name, bool write, Key& out) {
    out = 0;
    const Handle* h = Find(parent);
    if (h == nullptr) return kErrorInvalidHandle;
    std::string display;
    if (!JoinKeyPath(h->path, name, display)) return kErrorInvalidParameter;
    return OpenPath(display, write, false, out);
}

void CRegistryFile::CloseKey(Key key) { m_handles.erase(key); }

long CRegistryFile::QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
    const Handle* h = Find(key);
    if (h == nullptr) return kErrorInvalidHandle;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    Refresh();
    const auto k = m_data.keys.find(h->folded);
    if (k == m_data.keys.end()) return kErrorFileNotFound;
    const auto v = k->second.values.find(regtext::FoldCase(name));
    if (v == k->second.values.end()) return kErrorFileNotFound;
    const RegFileValue& value = v->second;
    if (type != nullptr) *type = value.type;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (size == nullptr) return kErrorSuccess;
    if (data == nullptr) {
        *size = needed;
        return kErrorSuccess;
    }
    if (*size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    if (needed != 0) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return kErrorSuccess;
}

long CRegistryFile::SetValue(Key key, std::string_view name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) {
    const Handle* h = Find(key);
    if (h == nullptr) return kErrorInvalidHandle;
    if (!h->write) return kErrorAccessDenied;
    if (data == nullptr && size != 0) return kErrorInvalidParameter;
    // The file keeps one value per line; a name with a line break cannot be stored.
    if (name.find_first_of("\r\n") != std::string_view::npos) return kErrorInvalidParameter;
    Refresh();

    const bool keyListed = m_data.keys.count(h->folded) != 0;
    RegFileKey& k = m_data.keys[h->folded];
    if (!keyListed) k.path = h->path;
    std::string folded = regtext::FoldCase(name);
    const auto old = k.values.find(folded);
    const bool hadOld = old != k.values.end();
    RegFileValue previous;
    if (hadOld) previous = old->second;

    RegFileValue& value = k.values[folded];
    value.name = hadOld ? previous.name : std::string(name);
    value.type = type;
    value.data.assign(data, data + size);

    if (const long rc = Save(); rc != kErrorSuccess) {
        if (!keyListed) {
            m_data.keys.erase(h->folded);
        } else if (hadOld) {
            k.values[folded] = std::move(previous);
        } else {
            k.values.erase(folded);
        }
        return rc;
    }
    return kErrorSuccess;
}

long CRegistryFile::DeleteValue(Key key, std::string_view name) {
    const Handle* h = Find(key);
    if (h == nullptr) return kErrorInvalidHandle;
    if (!h->write) return kErrorAccessDenied;
    Refresh();
    const auto k = m_data.keys.find(h->folded);
    if (k == m_data.keys.end()) return kErrorFileNotFound;
    const std::string folded = regtext::FoldCase(name);
    const auto v = k->second.values.find(folded);
    if (v == k->second.values.end()) return kErrorFileNotFound;
    RegFileValue previous = std::move(v->second);
    k->second.values.erase(v);
    if (const long rc = Save(); rc != kErrorSuccess) {
        // Refresh cannot have run in between, so k is still valid.
        k->second.values[folded] = std::move(previous);
        return rc;
    }
    return kErrorSuccess;
}

long CRegistryFile::EnumSubKey(Key key, std::uint32_t index, std::string& name) {
    const Handle* h = Find(key);
    if (h == nullptr) return kErrorInvalidHandle;
    Refresh();
    const std::string prefix = h->folded + '\\';
    // Children by folded name; a child may be listed itself or only through its descendants.
    std::map<std::string, std::string> children;
    for (auto it = m_data.keys.lower_bound(prefix);
         it != m_data.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::size_t end = it->first.find('\\', prefix.size());
        std::string folded = it->first.substr(prefix.size(), end - prefix.size());
        if (children.count(folded) != 0) continue;
        // The display path has the same component structure as the folded one.
        const std::string& display = it->second.path;
        std::size_t start = 0;
        const std::size_t depth = static_cast<std::size_t>(
            std::count(prefix.begin(), prefix.end(), '\\'));
        for (std::size_t d = 0; d < depth && start != std::string::npos; ++d) {
            start = display.find('\\', start);
            if (start != std::string::npos) ++start;
        }
        std::string shown = start == std::string::npos ? folded : display.substr(start, display.find('\\', start) - start);
        children.emplace(std::move(folded), std::move(shown));
    }
    if (index >= children.size()) return kErrorNoMoreItems;
    auto it = children.begin();
    std::advance(it, index);
    name = it->second;
    return kErrorSuccess;
}

long CRegistryFile::AddKeysIfMissing(std::string_view guard, const RegFileData& keys) {
    std::string display;
    if (!NormaliseSectionPath(guard, display)) return kErrorInvalidParameter;
    Refresh();
    if (KeyExists(regtext::FoldCase(display))) return kErrorSuccess;
    const RegFileData before = m_data;
    for (const auto& [folded, key] : keys.keys) {
        std::string path;
        if (!NormaliseSectionPath(key.path, path)) continue;
        RegFileKey& target = m_data.keys[regtext::FoldCase(path)];
        if (target.path.empty()) target.path = path;
        for (const auto& [name, value] : key.values) target.values[name] = value;
    }
    if (const long rc = Save(); rc != kErrorSuccess) {
        m_data = before;
        return rc;
    }
    return kErrorSuccess;
}

// ---------------------------------------------------------------------------
// The process's registry.

namespace {

std::string DefaultRegistryPath() {
    if (const char* env = std::getenv("MIREO_REGISTRY"); env != nullptr && *env != '\0') return env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        return std::string(xdg) + "/mireo/registry.reg";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config/mireo/registry.reg";
    return ".config/mireo/registry.reg";
}

std::string& ChosenRegistryPath() {
    static std::string path;
    return path;
}

CRegistryFile*& SystemRegistryInstance() {
    static CRegistryFile* instance = nullptr;
    return instance;
}

}  // namespace

IRegistry& SystemRegistry() {
    CRegistryFile*& instance = SystemRegistryInstance();
    if (instance == nullptr) {
        const std::string& chosen = ChosenRegistryPath();
        static CRegistryFile registry(chosen.empty() ? DefaultRegistryPath() : chosen);
        instance = &registry;
    }
    return *instance;
}

void SetRegistryFile(const std::string& path) {
    ChosenRegistryPath() = path;
    if (CRegistryFile* instance = SystemRegistryInstance(); instance != nullptr)
        instance->SetPath(path.empty() ? DefaultRegistryPath() : path);
}

}  // namespace mireo
