// The send field's hexadecimal parser on arbitrary UTF-16 text. Checks the
// result against a plain model of the rules: lower case, every "0x" out, only
// hex digits kept, an odd count padded with 0, at most `capacity` bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/hex_to_bytes.h"

namespace {

constexpr std::size_t kCapacity = 4096;

int Nibble(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::vector<std::uint8_t> Model(const std::u16string& text, std::size_t capacity) {
  std::u16string rest;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool zero = text[i] == u'0';
    const bool x = i + 1 < text.size() && (text[i + 1] == u'x' || text[i + 1] == u'X');
    if (zero && x) {
      ++i;
      continue;
    }
    rest += text[i];
  }
  std::vector<int> digits;
  for (char16_t c : rest)
    if (Nibble(c) >= 0) digits.push_back(Nibble(c));
  if (digits.size() % 2) digits.push_back(0);
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < digits.size() && bytes.size() < capacity; i += 2)
    bytes.push_back(static_cast<std::uint8_t>(digits[i] * 16 + digits[i + 1]));
  return bytes;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each unit is one input byte (mostly ASCII, where the rules live) or, after
  // a 0xFF byte, a whole UTF-16 unit from the next two bytes.
  std::u16string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
      i += 2;
    } else {
      text += static_cast<char16_t>(data[i]);
    }
  }
  // Long inputs also run past the capacity: the text is repeated to over 8192 units.
  if (!text.empty() && size % 7 == 0)
    while (text.size() < 9000) text += text;

  // Exactly `capacity` bytes, so AddressSanitizer sees any write past the end.
  std::vector<std::uint8_t> out(kCapacity);
  const std::int32_t written = quillet::HexToBytes(text, out.data(), out.size());
  const std::vector<std::uint8_t> expected = Model(text, kCapacity);
  Check(written >= 0 && static_cast<std::size_t>(written) <= kCapacity);
  Check(static_cast<std::size_t>(written) == expected.size());
  Check(std::equal(expected.begin(), expected.end(), out.begin()));

  // A small capacity gives a prefix of the same bytes.
  const std::size_t small = size % 17;
  std::vector<std::uint8_t> few(small);
  const std::int32_t fewWritten = quillet::HexToBytes(text, few.data(), few.size());
  Check(static_cast<std::size_t>(fewWritten) == std::min(small, expected.size()));
  Check(std::equal(few.begin(), few.begin() + fewWritten, expected.begin()));
  return 0;
}
