#pragma once
// Thin pass-throughs from the seams to the Win32 calls.
#include "platform/comm.h"
#include "platform/files.h"
#include "platform/port_devices.h"
#include "platform/sockets.h"
#include "platform/system.h"

namespace quillet::win32 {

class Win32Comm : public Comm {
 public:
  Handle CreateFileW(const std::u16string& name) override;
  bool GetCommState(Handle port, CommState& state) override;
  bool SetCommState(Handle port, const CommState& state) override;
  bool SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) override;
  bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) override;
  bool EscapeCommFunction(Handle port, std::uint32_t function) override;
  bool PurgeComm(Handle port, std::uint32_t flags) override;
  bool ClearCommError(Handle port, std::uint32_t& inQueue) override;
  bool SetCommMask(Handle port, std::uint32_t mask) override;
  bool ReadFile(Handle port, std::uint8_t* buffer, std::uint32_t count, std::uint32_t& moved) override;
  bool WriteFile(Handle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& moved) override;
  bool CloseHandle(Handle handle) override;
  void Sleep(std::uint32_t milliseconds) override;
};

class Win32Sockets : public Sockets {
 public:
  int WSAStartup(std::uint16_t version, std::uint16_t& granted) override;
  int WSACleanup() override;
  Socket socket() override;
  int connect(Socket socket, const char* address, std::uint16_t port) override;
  int send(Socket socket, const std::uint8_t* data, int count) override;
  int closesocket(Socket socket) override;
};

class Win32Files : public Files {
 public:
  bool CreateDirectoryW(const std::u16string& path) override;
  bool DeleteFileW(const std::u16string& path) override;
  Handle fopen(const char* path, const char* mode) override;
  std::size_t fwrite(const std::uint8_t* data, std::size_t size, std::size_t count, Handle file) override;
  int fclose(Handle file) override;
};

class Win32System : public System {
 public:
  void ExitProcess(std::uint32_t status) override;
  int WideCharToMultiByte(const char16_t* text, int length, char* out, int capacity) override;
  int MultiByteToWideChar(const char* bytes, int length, char16_t* out, int capacity) override;
  Handle LoadIconW(std::uint32_t id) override;
};

class Win32PortDevices : public PortDevices {
 public:
  Handle SetupDiGetClassDevsW(std::uint32_t flags) override;
  bool SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceInfoData& data) override;
  bool SetupDiGetDeviceRegistryPropertyW(Handle set, DeviceInfoData& data, std::uint32_t property,
                                         std::uint8_t* buffer, std::uint32_t size) override;
  bool SetupDiDestroyDeviceInfoList(Handle set) override;
};

// The executable's base name: the title of every message box.
std::wstring ProgramTitle();

}  // namespace quillet::win32
