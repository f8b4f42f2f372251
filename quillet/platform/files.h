#pragma once
// Seam over the file calls: the capture file and the stale file on drive D:.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace quillet {

class Files {
 public:
  virtual ~Files() = default;
  virtual bool CreateDirectoryW(const std::u16string& path) = 0;
  virtual bool DeleteFileW(const std::u16string& path) = 0;
  // The C library's fopen with an 8-bit path and mode; 0 on failure.
  virtual Handle fopen(const char* path, const char* mode) = 0;
  virtual std::size_t fwrite(const std::uint8_t* data, std::size_t size, std::size_t count, Handle file) = 0;
  virtual int fclose(Handle file) = 0;
};

}  // namespace quillet
