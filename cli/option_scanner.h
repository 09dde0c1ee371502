#pragma once
// The argument scanner of the subcommands. An option is "--name VALUE", "--name=VALUE"
// or a flag ("-h", "--help"); everything else is an operand: a word not starting with
// '-', "-" alone and every argument after "--". Messages go to err behind the
// command's prefix ("mireo import-contacts: ").
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mireo::cli {

class COptionScanner {
public:
    COptionScanner(const std::vector<std::string>& args, std::string_view prefix, std::ostream& err)
        : m_args(args), m_prefix(prefix), m_err(err) {}

    // Moves to the next argument, passing over the "--" that ends the options; false
    // when none is left.
    bool Next();
    // The argument is an operand (Arg() is it) rather than an option.
    bool IsOperand() const { return m_operand; }
    // The argument as given.
    const std::string& Arg() const { return m_args[m_index]; }
    // The option's name: the argument without its "=VALUE".
    const std::string& Name() const { return m_name; }

    // The option's value, after '=' or else the next argument. False, with "NAME needs
    // a value", when there is none.
    bool Value(std::string& slot);
    // A flag sets slot to v. False, with "NAME takes no value", when given "=VALUE".
    template <typename Slot, typename V>
    bool Flag(Slot& slot, V v) {
        if (m_inlineValue) {
            Error() << m_name << " takes no value\n";
            return false;
        }
        slot = v;
        return true;
    }
    // Reports "unknown option ARG"; false.
    bool Unknown();
    // err behind the prefix, for the command's own messages.
    std::ostream& Error() { return m_err << m_prefix; }

private:
    const std::vector<std::string>& m_args;
    std::string_view m_prefix;
    std::ostream& m_err;
    std::size_t m_next = 0;
    std::size_t m_index = 0;
    bool m_optionsEnded = false;
    bool m_operand = false;
    std::string m_name;
    std::optional<std::string> m_inlineValue;
};

}  // namespace mireo::cli
