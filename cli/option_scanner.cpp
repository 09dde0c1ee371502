#include "cli/option_scanner.h"

namespace mireo::cli {

bool COptionScanner::Next() {
    while (m_next < m_args.size()) {
        m_index = m_next++;
        const std::string& a = m_args[m_index];
        m_operand = m_optionsEnded || a.empty() || a[0] != '-' || a == "-";
        if (m_operand) return true;
        if (a == "--") {
            m_optionsEnded = true;
            continue;
        }
        m_name = a;
        m_inlineValue.reset();
        if (const std::size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            m_inlineValue = a.substr(eq + 1);
            m_name.erase(eq);
        }
        return true;
    }
    return false;
}

bool COptionScanner::Value(std::string& slot) {
    if (m_inlineValue) {
        slot = *m_inlineValue;
        return true;
    }
    if (m_next >= m_args.size()) {
        Error() << m_name << " needs a value\n";
        return false;
    }
    slot = m_args[m_next++];
    return true;
}

bool COptionScanner::Unknown() {
    Error() << "unknown option " << Arg() << "\n";
    return false;
}

}  // namespace mireo::cli
