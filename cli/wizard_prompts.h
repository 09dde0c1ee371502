#pragma once
// The prompts of the interactive wizard commands (-i): each question shows the current
// value in brackets and Enter keeps it. Every Ask* answers false at the end of the
// input, which the commands take as the user cancelling.
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "encoding/supported_encodings_list.h"
#include "engine/item_store.h"

namespace mireo::cli {

class CWizardPrompts {
public:
    CWizardPrompts(std::istream& in, std::ostream& out) : m_in(in), m_out(out) {}

    // One line, trimmed; empty for Enter.
    bool Ask(const std::string& question, const std::string& current, std::string& answer);
    // yes/y or no/n in any case; Enter keeps `current`.
    bool AskYesNo(const std::string& question, bool current, bool& answer);
    // One of `words` (any case), answered in lower case; Enter keeps `current`. Anything
    // else asks again with "Please answer a, b or c.".
    bool AskWord(const std::string& question, const std::vector<std::string>& words, const std::string& current,
                 std::string& answer);
    // An Outlook folder by path ("Calendar/Team"). Enter keeps the current folder when
    // there is one (`noneText` is said when there is not); `choose` takes the folder
    // as the page does and may refuse it (the page's message was shown).
    bool AskFolder(IApplication& app, const std::string& current, bool haveCurrent, const std::string& noneText,
                   const std::function<bool(std::unique_ptr<IFolder>)>& choose);
    // An encoding of the page's list, printed numbered first: its number, or a display
    // or charset name of `encodings`. Enter keeps `current`; `select` takes an index.
    bool AskEncoding(const std::vector<std::string>& names, const SupportedEncodingsList& encodings,
                     const std::string& current, const std::function<bool(int)>& select);

    std::ostream& Out() { return m_out; }

private:
    std::istream& m_in;
    std::ostream& m_out;
};

}  // namespace mireo::cli
