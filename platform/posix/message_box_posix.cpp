// Message boxes of the Linux substitute: the text goes to stderr; a question is asked
// on the terminal, and answered OK when there is no terminal to ask.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "platform/ascii.h"
#include "platform/message_box.h"

namespace mireo {

namespace {

class CTerminalMessageBox final : public IMessageBox {
public:
    MbResult Show(const std::string& caption, const std::string& text, MbIcon, MbButtons buttons) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (buttons != MbButtons::OkCancel) {
            std::fflush(stderr);
            return MbResult::Ok;
        }
        if (!::isatty(STDIN_FILENO) || !::isatty(STDERR_FILENO)) return MbResult::Ok;
        for (;;) {
            std::fputs("[OK/cancel] ", stderr);
            std::fflush(stderr);
            std::string answer;
            int c;
            while ((c = std::fgetc(stdin)) != EOF && c != '\n') answer.push_back(static_cast<char>(c));
            if (c == EOF && answer.empty()) return MbResult::Cancel;  // input closed: don't go on blindly
            std::string word;
            for (char ch : answer) {
                if (!std::isspace(static_cast<unsigned char>(ch)))
                    word.push_back(ascii::ToLower(ch));
            }
            if (word.empty() || word == "ok" || word == "o" || word == "y" || word == "yes") return MbResult::Ok;
            if (word == "cancel" || word == "c" || word == "n" || word == "no") return MbResult::Cancel;
        }
    }
};

}  // namespace

IMessageBox& SystemMessageBox() {
    static CTerminalMessageBox box;
    return box;
}

}  // namespace mireo
