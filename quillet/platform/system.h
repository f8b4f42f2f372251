#pragma once
// Seam over process-wide calls: code-page conversion and the end of the process.
#include <cstdint>

#include "platform/handle.h"

namespace quillet {

class System {
 public:
  virtual ~System() = default;
  // Ends the process at once. The core returns right after the call, so a test
  // double may simply record it.
  virtual void ExitProcess(std::uint32_t status) = 0;
  // WideCharToMultiByte / MultiByteToWideChar with CP_ACP, no flags, no
  // default-character override. Counts are in units; results as the API gives them.
  virtual int WideCharToMultiByte(const char16_t* text, int length, char* out, int capacity) = 0;
  virtual int MultiByteToWideChar(const char* bytes, int length, char16_t* out, int capacity) = 0;
  // LoadIconW on the program's resource module.
  virtual Handle LoadIconW(std::uint32_t id) = 0;
};

}  // namespace quillet
