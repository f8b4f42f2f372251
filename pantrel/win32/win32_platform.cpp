#include "win32/win32_platform.h"

// initguid.h first: the Ports class GUID is defined here, not only declared.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace pantrel {
namespace {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "version record size");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "device record size");
static_assert(sizeof(PROCESSENTRY32) == 296, "process entry size");
#endif
static_assert(sizeof(SP_DEVINFO_DATA) <= sizeof(DeviceRecord::native), "device record fits");
static_assert(sizeof(DCB) == sizeof(CommState::driverBlock), "control block fits");

HANDLE ToNative(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromNative(HANDLE h) { return reinterpret_cast<Handle>(h); }

SP_DEVINFO_DATA ToNative(const DeviceRecord& record) {
  SP_DEVINFO_DATA data;
  std::memcpy(&data, record.native.data(), sizeof data);
  return data;
}

DWORD WINAPI RunRoutine(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> routine(static_cast<std::function<void()>*>(parameter));
  (*routine)();
  return 0;
}

}  // namespace

std::size_t Win32Console::ReadInput(std::uint8_t* buffer, std::size_t capacity) {
  DWORD read = 0;
  if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(capacity), &read, nullptr))
    return 0;
  return read;
}

void Win32Console::WriteOutput(const char* data, std::size_t length) { std::fwrite(data, 1, length, stdout); }

void Win32Console::FlushOutput() { std::fflush(stdout); }

void Win32Console::WriteError(const char* data, std::size_t length) {
  std::fwrite(data, 1, length, stderr);
  std::fflush(stderr);
}

bool Win32PortDevices::GetVersionExA(std::uint32_t& majorVersion) {
  // The extended record: its size tells the system to fill the service-pack fields too.
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  majorVersion = info.dwMajorVersion;
  return true;
}

Handle Win32PortDevices::SetupDiGetClassDevsA() {
  return FromNative(::SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
}

bool Win32PortDevices::SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceRecord& record) {
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  if (!::SetupDiEnumDeviceInfo(ToNative(set), index, &data)) return false;
  std::memcpy(record.native.data(), &data, sizeof data);
  return true;
}

bool Win32PortDevices::SetupDiGetDeviceRegistryPropertyA(Handle set, const DeviceRecord& record,
                                                         unsigned char* buffer, std::uint32_t size) {
  SP_DEVINFO_DATA data = ToNative(record);
  return ::SetupDiGetDeviceRegistryPropertyA(ToNative(set), &data, SPDRP_FRIENDLYNAME, nullptr, buffer, size,
                                             nullptr) != FALSE;
}

bool Win32PortDevices::SetupDiDestroyDeviceInfoList(Handle set) {
  return ::SetupDiDestroyDeviceInfoList(ToNative(set)) != FALSE;
}

Handle Win32CommPort::CreateFileA(const std::string& path) {
  return FromNative(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
}

bool Win32CommPort::SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) {
  return ::SetupComm(ToNative(port), inQueue, outQueue) != FALSE;
}

bool Win32CommPort::PurgeComm(Handle port, std::uint32_t flags) {
  return ::PurgeComm(ToNative(port), flags) != FALSE;
}

bool Win32CommPort::GetCommState(Handle port, CommState& state) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(ToNative(port), &dcb)) return false;
  std::memcpy(state.driverBlock.data(), &dcb, sizeof dcb);
  state.BaudRate = dcb.BaudRate;
  state.ByteSize = dcb.ByteSize;
  state.Parity = dcb.Parity;
  return true;
}

bool Win32CommPort::SetCommState(Handle port, const CommState& state) {
  DCB dcb;
  std::memcpy(&dcb, state.driverBlock.data(), sizeof dcb);
  dcb.BaudRate = state.BaudRate;
  dcb.ByteSize = state.ByteSize;
  dcb.Parity = state.Parity;
  return ::SetCommState(ToNative(port), &dcb) != FALSE;
}

bool Win32CommPort::SetCommTimeouts(Handle port, const CommTimeouts& timeouts) {
  COMMTIMEOUTS native{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                      timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                      timeouts.WriteTotalTimeoutConstant};
  return ::SetCommTimeouts(ToNative(port), &native) != FALSE;
}

bool Win32CommPort::WriteFile(Handle port, const std::uint8_t* data, std::uint32_t length) {
  DWORD written = 0;
  return ::WriteFile(ToNative(port), data, length, &written, nullptr) != FALSE;
}

bool Win32CommPort::CloseHandle(Handle handle) { return ::CloseHandle(ToNative(handle)) != FALSE; }

Handle Win32ProcessApi::CreateToolhelp32Snapshot() {
  return FromNative(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
}

bool Win32ProcessApi::Process32First(Handle snapshot, std::string& exeFile) {
  entry_ = PROCESSENTRY32{};
  entry_.dwSize = sizeof entry_;
  if (!::Process32First(ToNative(snapshot), &entry_)) return false;
  exeFile = entry_.szExeFile;
  return true;
}

bool Win32ProcessApi::Process32Next(Handle snapshot, std::string& exeFile) {
  if (!::Process32Next(ToNative(snapshot), &entry_)) return false;
  exeFile = entry_.szExeFile;
  return true;
}

bool Win32ProcessApi::CloseHandle(Handle handle) { return ::CloseHandle(ToNative(handle)) != FALSE; }

void Win32ProcessApi::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32ProcessApi::CreateThread(std::function<void()> routine) {
  auto* parameter = new std::function<void()>(std::move(routine));
  HANDLE thread = ::CreateThread(nullptr, 0, RunRoutine, parameter, 0, nullptr);
  if (thread) {
    ::CloseHandle(thread);
  } else {
    delete parameter;
  }
}

void Win32ProcessApi::ExitProcess(std::uint32_t exitCode) { ::ExitProcess(exitCode); }

}  // namespace pantrel
