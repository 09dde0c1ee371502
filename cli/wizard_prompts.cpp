// The interactive wizards' prompts.
#include "cli/wizard_prompts.h"

#include "cli/export_contacts_command.h"
#include "engine/host_folders.h"
#include "platform/ascii.h"

namespace mireo::cli {

bool CWizardPrompts::Ask(const std::string& question, const std::string& current, std::string& answer) {
    m_out << question << " [" << current << "]: " << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) {
        m_out << "\n";
        return false;
    }
    answer = std::string(ascii::Trim(line));
    return true;
}

bool CWizardPrompts::AskYesNo(const std::string& question, bool current, bool& answer) {
    std::string word;
    if (!AskWord(question, {"yes", "no"}, current ? "yes" : "no", word)) return false;
    answer = word == "yes";
    return true;
}

bool CWizardPrompts::AskWord(const std::string& question, const std::vector<std::string>& words,
                             const std::string& current, std::string& answer) {
    for (;;) {
        std::string text;
        if (!Ask(question, current, text)) return false;
        const std::string word = ascii::Lower(text);
        if (word.empty()) {
            answer = current;
            return true;
        }
        for (const std::string& w : words) {
            // yes and no also take their first letter.
            if (word == w || (words.size() == 2 && words[0] == "yes" && word.size() == 1 && word[0] == w[0])) {
                answer = w;
                return true;
            }
        }
        m_out << "Please answer ";
        for (std::size_t i = 0; i < words.size(); ++i)
            m_out << (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") << words[i];
        m_out << ".\n";
    }
}

bool CWizardPrompts::AskFolder(IApplication& app, const std::string& current, bool haveCurrent,
                               const std::string& noneText,
                               const std::function<bool(std::unique_ptr<IFolder>)>& choose) {
    for (;;) {
        std::string answer;
        if (!Ask("Outlook folder", current, answer)) return false;
        if (answer.empty()) {
            if (haveCurrent) return true;
            m_out << noneText << "\n";
            continue;
        }
        std::unique_ptr<IFolder> folder = FindFolderByPath(app, answer);
        if (!folder) {
            m_out << "There is no Outlook folder \"" << answer << "\".\n";
            continue;
        }
        if (choose(std::move(folder))) return true;
    }
}

bool CWizardPrompts::AskEncoding(const std::vector<std::string>& names, const SupportedEncodingsList& encodings,
                                 const std::string& current, const std::function<bool(int)>& select) {
    if (names.empty()) return true;
    for (std::size_t i = 0; i < names.size(); ++i) m_out << "  " << i + 1 << ") " << names[i] << "\n";
    for (;;) {
        std::string answer;
        if (!Ask("Encoding", current, answer)) return false;
        if (answer.empty()) return true;
        const bool digits = answer.find_first_not_of("0123456789") == std::string::npos;
        if (digits && answer.size() < 6 && select(std::stoi(answer) - 1)) return true;
        if (const std::optional<std::string> name = ResolveEncodingName(answer, encodings))
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == *name && select(static_cast<int>(i))) return true;
        m_out << "Please give a number of the list or an encoding's name.\n";
    }
}

}  // namespace mireo::cli
