// The scanner both wizard commands parse with: what is an operand, where a value comes
// from, and the exact messages the commands print.
#include "cli/option_scanner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace mireo::cli {
namespace {

// Scans args the way the commands do, with one value option (--to) and one flag
// (--flag); the trace lists what was seen: "op:X", "to:X", "flag", or "stop".
std::string Scan(const std::vector<std::string>& args, std::string& err) {
    std::ostringstream errStream;
    COptionScanner scan(args, "mireo test: ", errStream);
    std::string trace;
    bool flag = false;
    while (scan.Next()) {
        std::string value;
        if (scan.IsOperand()) {
            trace += "op:" + scan.Arg() + " ";
        } else if (scan.Name() == "--to") {
            trace += scan.Value(value) ? "to:" + value + " " : "stop";
        } else if (scan.Name() == "--flag") {
            trace += scan.Flag(flag, true) ? "flag " : "stop";
        } else {
            scan.Unknown();
            trace += "stop";
        }
        if (trace.ends_with("stop")) break;
    }
    err = errStream.str();
    return trace;
}

TEST(OptionScanner, OperandsValuesAndMessages) {
    struct Case {
        std::vector<std::string> args;
        const char* trace;
        const char* err;
    } cases[] = {
        {{"a", "-", "", "--flag", "b"}, "op:a op:- op: flag op:b ", ""},
        {{"--to", "--flag", "--to=x=y", "--to="}, "to:--flag to:x=y to: ", ""},
        {{"--", "--flag", "--", "-x"}, "op:--flag op:-- op:-x ", ""},
        {{"a", "--to"}, "op:a stop", "mireo test: --to needs a value\n"},
        {{"--flag=yes"}, "stop", "mireo test: --flag takes no value\n"},
        {{"--other=1"}, "stop", "mireo test: unknown option --other=1\n"},
        {{"-t=1"}, "stop", "mireo test: unknown option -t=1\n"},  // '=' splits long options only
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(Scan(c.args, err), c.trace);
        EXPECT_EQ(err, c.err);
    }
}

}  // namespace
}  // namespace mireo::cli
