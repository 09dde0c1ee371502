#include "textformat/quoted_printable.h"

#include <cstdint>

#include "platform/ascii.h"

namespace mireo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (ascii::ToUpper(c) >= 'A' && ascii::ToUpper(c) <= 'Z');
}

}  // namespace

bool DecodeQuotedPrintable(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=') {
            if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') {
                i += 2;
                continue;
            }
            if (i + 1 < in.size() && in[i + 1] == '\n') {
                i += 1;
                continue;
            }
            std::uint8_t b = 0;
            if (i + 2 < in.size() && ascii::ParseHex(in.substr(i + 1, 2), b)) {
                if (b != 0) out += static_cast<char>(b);
                i += 2;
                continue;
            }
            return false;
        }
        if (c == '\r' || c == '\n') continue;
        out += c;
    }
    return true;
}

std::string RepairQuotedPrintable(std::string_view in) {
    std::string out;
    out.reserve(in.size() + 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        out += in[i];
        if (in[i] != '=') continue;
        const bool nearEnd = i + 2 >= in.size();
        const bool startsEscape = !nearEnd && (IsAlnum(in[i + 1]) || in[i + 1] == '\r');
        if (nearEnd || !startsEscape) out += "3D";
    }
    return out;
}

QuotedPrintableResult DecodeQuotedPrintableOrKeep(std::string_view in, std::string& out) {
    if (DecodeQuotedPrintable(in, out)) return QuotedPrintableResult::kDecoded;
    if (DecodeQuotedPrintable(RepairQuotedPrintable(in), out)) return QuotedPrintableResult::kRepaired;
    out.assign(in);
    return QuotedPrintableResult::kUndecoded;
}

void AppendQuotedPrintable(std::string_view bytes, std::string& out, bool blankSafeContinuations) {
    int lineLength = 0;  // counts the encoded value only, not the head before it
    bool continuation = false;  // after a soft break, before the line's first character
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char ch = bytes[i];
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 33 && b <= 60) || (b >= 62 && b <= 126)) {
            out += ch;
            lineLength += 1;
        } else if ((b == ' ' || b == '\t') && lineLength < 64 && !(continuation && blankSafeContinuations)) {
            out += ch;
            lineLength += 1;
        } else {
            out += '=';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
            lineLength += 3;
        }
        continuation = false;
        // Never after the last byte: the value ends with the line.
        if (lineLength >= 65 && i + 1 < bytes.size()) {
            out += "=\r\n";
            lineLength = 0;
            continuation = true;
        }
    }
    out += "\r\n";
}

}  // namespace mireo
