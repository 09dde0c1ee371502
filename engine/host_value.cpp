#include "engine/host_value.h"

#include "platform/ascii.h"
#include "platform/utf.h"

namespace mireo {

bool Value::AsBool() const {
    switch (GetKind()) {
    case Kind::Bool: return std::get<bool>(m_data);
    case Kind::Int: return std::get<std::int32_t>(m_data) != 0;
    case Kind::Date: return std::get<DateBox>(m_data).days != 0.0;
    default: return false;
    }
}

std::int32_t Value::AsInt() const {
    switch (GetKind()) {
    case Kind::Bool: return std::get<bool>(m_data) ? -1 : 0;
    case Kind::Int: return std::get<std::int32_t>(m_data);
    case Kind::Date: return static_cast<std::int32_t>(std::get<DateBox>(m_data).days);
    default: return 0;
    }
}

OleDate Value::AsDate() const {
    switch (GetKind()) {
    case Kind::Date: return std::get<DateBox>(m_data).days;
    case Kind::Int: return std::get<std::int32_t>(m_data);
    default: return 0.0;
    }
}

std::u16string Value::TakeText() && {
    if (GetKind() != Kind::Text) return {};
    return std::move(std::get<std::u16string>(m_data));
}

const std::u16string& Value::AsText() const {
    static const std::u16string kEmpty;
    return GetKind() == Kind::Text ? std::get<std::u16string>(m_data) : kEmpty;
}

const Bytes& Value::AsBinary() const {
    static const Bytes kEmpty;
    return GetKind() == Kind::Binary ? std::get<Bytes>(m_data) : kEmpty;
}

std::u16string ToHostText(std::string_view s) { return utf::Utf8ToUtf16(s, utf::BadUtf8::kEachByte); }

std::string FromHostText(std::u16string_view s) { return utf::Utf16ToUtf8(s); }

std::string BytesToHexText(const Bytes& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s(bytes.size() * 2, '\0');
    char* p = s.data();
    for (std::uint8_t b : bytes) {
        *p++ = kHex[b >> 4];
        *p++ = kHex[b & 15];
    }
    return s;
}

Bytes HexTextToBytes(std::string_view text) {
    Bytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        std::uint8_t byte = 0;
        if (!ascii::ParseHex(text.substr(i, 2), byte)) break;
        out.push_back(byte);
    }
    return out;
}

}  // namespace mireo
