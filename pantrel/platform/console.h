#pragma once
// Seam over the standard streams of the console program.
#include <cstddef>
#include <cstdint>

namespace pantrel {

class Console {
 public:
  virtual ~Console() = default;
  // One read from standard input, as the C library's stream buffer would make it:
  // a console returns the typed line, a pipe what is waiting. 0 at end of input.
  virtual std::size_t ReadInput(std::uint8_t* buffer, std::size_t capacity) = 0;
  // Standard output through the C library's stream, in its default mode.
  virtual void WriteOutput(const char* data, std::size_t length) = 0;
  virtual void FlushOutput() = 0;
  virtual void WriteError(const char* data, std::size_t length) = 0;
};

}  // namespace pantrel
