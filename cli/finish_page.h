#pragma once
// The finish pages printed: the status line, then the counts with their labels
// aligned. The links of the window ("Why?") have no meaning here and are left out.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "ui/wizard_pages.h"

namespace mireo::cli {

inline void PrintFinishPage(std::ostream& out, const std::string& status, const std::vector<FinishCount>& counts) {
    out << status << "\n";
    std::vector<std::string> labels;
    std::size_t width = 0;
    for (const FinishCount& c : counts) {
        std::string label = c.label;
        if (const std::size_t why = label.find(" (Why?)"); why != std::string::npos) label.erase(why, 7);
        width = std::max(width, label.size());
        labels.push_back(std::move(label));
    }
    for (std::size_t i = 0; i < counts.size(); ++i) {
        out << "  " << labels[i] << std::string(width + 2 - labels[i].size(), ' ') << counts[i].Shown() << "\n";
    }
}

}  // namespace mireo::cli
