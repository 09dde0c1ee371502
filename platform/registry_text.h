#pragma once
// Text conversions at the registry boundary: names and texts are UTF-8 in Mireo,
// UTF-16 in the registry (REG_SZ data is UTF-16LE bytes with a terminating NUL).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mireo::regtext {

// UTF-8 to UTF-16; each byte of ill-formed input becomes U+FFFD (BadUtf8::kEachByte).
std::u16string ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

// UTF-16LE bytes to UTF-8 (an odd last byte is ignored); the whole span, NULs included.
std::string LeBytesToUtf8(const std::uint8_t* data, std::size_t size);
// The REG_SZ data of a text: UTF-16LE with the terminating NUL.
std::vector<std::uint8_t> SzBytes(std::string_view utf8);
// The text of REG_SZ data up to its first NUL; false when no NUL lies inside the data.
bool SzText(const std::uint8_t* data, std::size_t size, std::string& utf8);

// Folds a name for case-insensitive comparison with the platform's case fold
// (platform/case_fold.h); bytes that are not UTF-8 stay as they are.
std::string FoldCase(std::string_view utf8);

}  // namespace mireo::regtext
