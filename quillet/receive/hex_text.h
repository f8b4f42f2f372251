#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// "%02X " per byte, "\r\n" after every 16th.
std::u16string BytesToHex(const std::uint8_t* data, std::size_t count);

// The byte-count rule over a hex pane's text: trim white space at both ends,
// drop CR and LF, then (length + 1) / 3.
std::int64_t CountHexBytes(const std::u16string& paneText);

}  // namespace quillet
