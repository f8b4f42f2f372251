#pragma once
// Cuts the received byte stream into lines by the text-mode reading rules and
// hands on each line that holds "GPGGA".
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace quillet {

class GgaLineReader {
 public:
  using Sink = std::function<void(std::string_view line)>;

  // Reads one chunk: CR LF becomes LF, a 0x1A byte ends the chunk's readable
  // data, a line ends after its LF or at 255 bytes. The piece after the last
  // line end is held and continued by the next chunk, so a sentence cut by a
  // read still goes out once and whole.
  void Feed(const std::uint8_t* data, std::size_t count, const Sink& sink);
  // Forgets a held piece (a new link starts a new stream).
  void Reset();

  static constexpr std::size_t kMaxLine = 255;

 private:
  void Put(std::uint8_t byte, const Sink& sink);
  void EndLine(const Sink& sink);

  std::array<std::uint8_t, kMaxLine> line_{};
  std::size_t length_ = 0;
  bool heldCr_ = false;
};

}  // namespace quillet
