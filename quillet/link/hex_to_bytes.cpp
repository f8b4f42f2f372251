#include "link/hex_to_bytes.h"

namespace quillet {
namespace {

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

std::int32_t HexToBytes(const std::u16string& text, std::uint8_t* out, std::size_t capacity) {
  std::u16string lower = text;
  for (auto& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');

  // All "0x" go first, so "10x5" reads as the digits 1 and 5.
  std::u16string stripped;
  for (std::size_t i = 0; i < lower.size();) {
    if (lower[i] == u'0' && i + 1 < lower.size() && lower[i + 1] == u'x') {
      i += 2;
      continue;
    }
    stripped += lower[i++];
  }

  std::u16string digits;
  for (char16_t c : stripped)
    if (DigitValue(c) >= 0) digits += c;
  if (digits.empty()) return 0;
  if (digits.size() % 2 != 0) digits += u'0';

  std::size_t written = 0;
  for (std::size_t i = 0; i + 1 < digits.size() && written < capacity; i += 2)
    out[written++] = static_cast<std::uint8_t>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1]));
  return static_cast<std::int32_t>(written);
}

}  // namespace quillet
