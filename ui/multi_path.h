#pragma once
// The list of paths chosen on an import page, and its text in the path box
// (control 229). One path is shown as it is; several are each put between double
// quotation marks and separated by single spaces, which SetText reads back.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mireo {

class CMultiPath {
public:
    // Existence test for the checking mode (on Windows GetFileAttributesW succeeds).
    using ExistsFn = std::function<bool(const std::string& path)>;

    CMultiPath() = default;
    // The checking mode: from now on a path is added only when exists(path) holds.
    // An empty function turns the check off.
    explicit CMultiPath(ExistsFn exists) : m_exists(std::move(exists)) {}
    virtual ~CMultiPath() = default;

    // Replaces the list by the paths of the text (UTF-8).
    void SetText(std::string_view text);
    // Adds one path after removing quotation marks at its start and end; an empty
    // result, or a missing path in the checking mode, is not added. True when added.
    bool Add(std::string_view path);
    void Clear() { m_paths.clear(); }

    void SetExistenceCheck(ExistsFn exists) { m_exists = std::move(exists); }

    int Count() const { return static_cast<int>(m_paths.size()); }
    // Path by 0-based index; empty past the end.
    const std::string& Path(int index) const;
    const std::vector<std::string>& Paths() const { return m_paths; }
    // The joined text, built anew on each call.
    std::string Text() const;

private:
    std::vector<std::string> m_paths;
    ExistsFn m_exists;
};

}  // namespace mireo
