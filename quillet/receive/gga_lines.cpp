#include "receive/gga_lines.h"

#include <algorithm>

namespace quillet {

void GgaLineReader::Feed(const std::uint8_t* data, std::size_t count, const Sink& sink) {
  const std::uint8_t* end = std::find(data, data + count, std::uint8_t{0x1A});
  for (const std::uint8_t* p = data; p != end; ++p) {
    const std::uint8_t byte = *p;
    if (heldCr_) {
      heldCr_ = false;
      if (byte == '\n') {
        Put('\n', sink);
        continue;
      }
      Put('\r', sink);
    }
    if (byte == '\r') {
      heldCr_ = true;  // decided by the byte that follows, maybe in the next chunk
      continue;
    }
    Put(byte, sink);
  }
}

void GgaLineReader::Reset() {
  length_ = 0;
  heldCr_ = false;
}

void GgaLineReader::Put(std::uint8_t byte, const Sink& sink) {
  line_[length_++] = byte;
  if (byte == '\n' || length_ == kMaxLine) EndLine(sink);
}

void GgaLineReader::EndLine(const Sink& sink) {
  std::string_view line(reinterpret_cast<const char*>(line_.data()), length_);
  length_ = 0;
  // A line is taken up to its first zero byte, as a C string.
  line = line.substr(0, line.find('\0'));
  if (line.find("GPGGA") != std::string_view::npos) sink(line);
}

}  // namespace quillet
