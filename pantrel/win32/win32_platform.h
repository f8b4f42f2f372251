#pragma once
// The real platform: one thin pass-through per call.
#include <windows.h>
#include <tlhelp32.h>

#include "core/controller.h"

namespace pantrel {

class Win32Console final : public Console {
 public:
  std::size_t ReadInput(std::uint8_t* buffer, std::size_t capacity) override;
  void WriteOutput(const char* data, std::size_t length) override;
  void FlushOutput() override;
  void WriteError(const char* data, std::size_t length) override;
};

class Win32PortDevices final : public PortDevices {
 public:
  bool GetVersionExA(std::uint32_t& majorVersion) override;
  Handle SetupDiGetClassDevsA() override;
  bool SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceRecord& record) override;
  bool SetupDiGetDeviceRegistryPropertyA(Handle set, const DeviceRecord& record, unsigned char* buffer,
                                         std::uint32_t size) override;
  bool SetupDiDestroyDeviceInfoList(Handle set) override;
};

class Win32CommPort final : public CommPort {
 public:
  Handle CreateFileA(const std::string& path) override;
  bool SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool PurgeComm(Handle port, std::uint32_t flags) override;
  bool GetCommState(Handle port, CommState& state) override;
  bool SetCommState(Handle port, const CommState& state) override;
  bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) override;
  bool WriteFile(Handle port, const std::uint8_t* data, std::uint32_t length) override;
  bool CloseHandle(Handle handle) override;
};

class Win32ProcessApi final : public ProcessApi {
 public:
  Handle CreateToolhelp32Snapshot() override;
  bool Process32First(Handle snapshot, std::string& exeFile) override;
  bool Process32Next(Handle snapshot, std::string& exeFile) override;
  bool CloseHandle(Handle handle) override;
  void Sleep(std::uint32_t milliseconds) override;
  void CreateThread(std::function<void()> routine) override;
  void ExitProcess(std::uint32_t exitCode) override;

 private:
  PROCESSENTRY32 entry_{};
};

}  // namespace pantrel
