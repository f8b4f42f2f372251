#include "receive/hex_text.h"

namespace quillet {

std::u16string BytesToHex(const std::uint8_t* data, std::size_t count) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  text.reserve(count * 3 + (count / 16) * 2);
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
    text += u' ';
    if ((i + 1) % 16 == 0) text += u"\r\n";
  }
  return text;
}

std::int64_t CountHexBytes(const std::u16string& paneText) {
  auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; };
  std::size_t first = 0;
  std::size_t last = paneText.size();
  while (last > first && isSpace(paneText[last - 1])) --last;
  while (first < last && isSpace(paneText[first])) ++first;
  std::int64_t length = 0;
  for (std::size_t i = first; i < last; ++i)
    if (paneText[i] != u'\r' && paneText[i] != u'\n') ++length;
  return (length + 1) / 3;
}

}  // namespace quillet
