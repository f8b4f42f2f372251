#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// The send field's text read as hexadecimal: "0x" prefixes and every character
// that is no hex digit are dropped, an odd digit count gets a trailing 0.
// Returns the bytes written (at most `capacity`), 0 when no digit is left.
std::int32_t HexToBytes(const std::u16string& text, std::uint8_t* out, std::size_t capacity);

}  // namespace quillet
