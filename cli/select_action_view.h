#pragma once
// The select-action dialog on the command line: a numbered menu read from a stream.
#include <iosfwd>

#include "ui/select_action.h"

namespace mireo::cli {

class CTerminalSelectActionView : public ISelectActionView {
public:
    CTerminalSelectActionView(std::istream& in, std::ostream& out) : m_in(in), m_out(out) {}
    // "1".."4" choose, "h" or "?" is Help, "q", "c" or the end of the input is Cancel;
    // anything else asks again. kSelectCannotShow when the input is unusable from the start.
    int Run(CDlgSelectAction& dialog, void* parent) override;

private:
    std::istream& m_in;
    std::ostream& m_out;
};

}  // namespace mireo::cli
