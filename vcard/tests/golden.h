#pragma once
// Golden-file comparison: line by line, naming the first line that differs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mireo::test {

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Lines with their CR LF kept, so a missing CR shows as a difference too.
inline std::vector<std::string> SplitKeepingEnds(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

inline std::string Visible(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32 || c >= 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

inline ::testing::AssertionResult MatchesGolden(const std::string& got, const std::string& refName) {
    const std::string path = std::string(MIREO_TESTDATA_DIR) + "/vcard/" + refName;
    // MIREO_UPDATE_GOLDEN=1 writes the output as the new golden file (review the diff).
    if (const char* update = std::getenv("MIREO_UPDATE_GOLDEN"); update != nullptr && *update == '1') {
        std::ofstream(path, std::ios::binary) << got;
    }
    const std::string want = ReadFileBytes(path);
    if (want.empty()) return ::testing::AssertionFailure() << "missing or empty golden file " << path;
    const auto a = SplitKeepingEnds(got);
    const auto b = SplitKeepingEnds(want);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "<end of output>";
        const std::string y = i < b.size() ? b[i] : "<end of golden file>";
        if (x != y) {
            return ::testing::AssertionFailure() << refName << " line " << (i + 1) << " differs:\n  got:  "
                                                 << Visible(x) << "\n  want: " << Visible(y);
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace mireo::test
