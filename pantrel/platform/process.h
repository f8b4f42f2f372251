#pragma once
// Seam over threads, timing, the process list and the process's own end.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/handle.h"

namespace pantrel {

class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  // CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0).
  virtual Handle CreateToolhelp32Snapshot() = 0;
  // Process32First / Process32Next on the 8-bit entry; exeFile receives szExeFile whole.
  virtual bool Process32First(Handle snapshot, std::string& exeFile) = 0;
  virtual bool Process32Next(Handle snapshot, std::string& exeFile) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // CreateThread running routine beside the caller; the handle is not kept.
  virtual void CreateThread(std::function<void()> routine) = 0;
  // Ends every thread of the program at once.
  virtual void ExitProcess(std::uint32_t exitCode) = 0;
};

}  // namespace pantrel
