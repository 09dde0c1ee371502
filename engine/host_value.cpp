#include "engine/host_value.h"

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

}  // namespace mireo
