#pragma once
// Values that cross the boundary to the host: a small variant as the host's
// automation VARIANTs carry them, and the host's OLE automation dates.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "engine/date_time.h"

namespace mireo {

using Bytes = std::vector<std::uint8_t>;

// A property value: empty, boolean, 32-bit integer, date, text (UTF-16) or bytes.
class Value {
public:
    enum class Kind { Empty, Bool, Int, Date, Text, Binary };

    Value() = default;
    static Value Bool(bool b) { Value v; v.m_data = b; return v; }
    static Value Int(std::int32_t i) { Value v; v.m_data = i; return v; }
    static Value Date(OleDate d) { Value v; v.m_data = DateBox{d}; return v; }
    static Value Text(std::u16string s) { Value v; v.m_data = std::move(s); return v; }
    static Value Binary(Bytes b) { Value v; v.m_data = std::move(b); return v; }

    Kind GetKind() const { return static_cast<Kind>(m_data.index()); }
    bool IsEmpty() const { return GetKind() == Kind::Empty; }

    // Typed reads are lenient the way a VARIANT coercion is: a bool reads as
    // 0/-1, an integer as a bool when non-zero, an empty value as 0/false/"".
    bool AsBool() const;
    std::int32_t AsInt() const;
    OleDate AsDate() const;
    const std::u16string& AsText() const;
    // The text of a value about to go away, moved out rather than copied; empty when the
    // value is not text.
    std::u16string TakeText() &&;
    // Makes the value an empty text and gives its string, to be filled in place (a
    // decoder's way to make a text value without moving it).
    std::u16string& EmplaceText() { return m_data.emplace<std::u16string>(); }
    const Bytes& AsBinary() const;

    friend bool operator==(const Value& a, const Value& b) { return a.m_data == b.m_data; }

private:
    struct DateBox {
        OleDate days;
        friend bool operator==(const DateBox&, const DateBox&) = default;
    };
    std::variant<std::monostate, bool, std::int32_t, DateBox, std::u16string, Bytes> m_data;
};

// Host text from UTF-8 and back. Each byte of ill-formed UTF-8 and each unpaired
// surrogate becomes U+FFFD.
std::u16string ToHostText(std::string_view utf8);
std::string FromHostText(std::u16string_view text);

// The outside MAPI library's plain conversions, which the hosts do themselves: bytes as
// pairs of upper-case hexadecimal digits; and back, up to the first pair that is not
// two hexadecimal digits (either case), an odd last digit dropped.
std::string BytesToHexText(const Bytes& bytes);
Bytes HexTextToBytes(std::string_view text);

}  // namespace mireo
