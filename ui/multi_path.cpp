#include "ui/multi_path.h"

namespace mireo {

void CMultiPath::SetText(std::string_view text) {
    m_paths.clear();
    if (text.empty()) return;
    if (text.find('"') == std::string_view::npos) {
        // A single path may hold spaces; only quotation marks make a list.
        Add(text);
        return;
    }
    std::size_t start = 0;  // start of the current token
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                // The closing mark belongs to the token; Add strips it.
                Add(text.substr(start, i + 1 - start));
                start = i + 1;
                quoted = false;
            }
        } else if (c == '"' || c == ' ' || c == '\t') {
            if (i > start) Add(text.substr(start, i - start));
            if (c == '"') {
                start = i;
                quoted = true;
            } else {
                start = i + 1;
            }
        }
    }
    // A token still open at the end (an unclosed quotation mark) is taken as it is.
    if (start < text.size()) Add(text.substr(start));
}

bool CMultiPath::Add(std::string_view path) {
    while (!path.empty() && path.front() == '"') path.remove_prefix(1);
    while (!path.empty() && path.back() == '"') path.remove_suffix(1);
    if (path.empty()) return false;
    std::string p(path);
    if (m_exists && !m_exists(p)) return false;
    m_paths.push_back(std::move(p));
    return true;
}

const std::string& CMultiPath::Path(int index) const {
    static const std::string kEmpty;
    if (index < 0 || index >= Count()) return kEmpty;
    return m_paths[static_cast<std::size_t>(index)];
}

std::string CMultiPath::Text() const {
    if (m_paths.size() == 1) return m_paths.front();
    std::string out;
    for (const std::string& p : m_paths) {
        if (!out.empty()) out += ' ';
        out += '"';
        out += p;
        out += '"';
    }
    return out;
}

}  // namespace mireo
