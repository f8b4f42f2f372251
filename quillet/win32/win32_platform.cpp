#include <winsock2.h>
#include <windows.h>
// clang-format off
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include <cstdio>
#include <cstring>

#include "win32/win32_platform.h"

namespace quillet::win32 {
namespace {

HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DCB) == 28, "DCB of the 32-bit target");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA of the 32-bit target");
#endif
static_assert(sizeof(DCB) <= sizeof(CommState::driverBlock), "DCB fits the carried block");
static_assert(sizeof(SP_DEVINFO_DATA) <= sizeof(DeviceInfoData::block), "SP_DEVINFO_DATA fits");

}  // namespace

Handle Win32Comm::CreateFileW(const std::u16string& name) {
  return reinterpret_cast<Handle>(::CreateFileW(Wide(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
}

bool Win32Comm::GetCommState(Handle port, CommState& state) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!::GetCommState(ToHandle(port), &dcb)) return false;
  std::memcpy(state.driverBlock.data(), &dcb, sizeof dcb);
  state.fBinary = dcb.fBinary != 0;
  state.BaudRate = dcb.BaudRate;
  state.ByteSize = dcb.ByteSize;
  state.Parity = dcb.Parity;
  state.StopBits = dcb.StopBits;
  return true;
}

bool Win32Comm::SetCommState(Handle port, const CommState& state) {
  DCB dcb{};
  std::memcpy(&dcb, state.driverBlock.data(), sizeof dcb);
  dcb.fBinary = state.fBinary ? 1 : 0;
  dcb.BaudRate = state.BaudRate;
  dcb.ByteSize = state.ByteSize;
  dcb.Parity = state.Parity;
  dcb.StopBits = state.StopBits;
  return ::SetCommState(ToHandle(port), &dcb) != 0;
}

bool Win32Comm::SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) {
  return ::SetupComm(ToHandle(port), inQueue, outQueue) != 0;
}

bool Win32Comm::SetCommTimeouts(Handle port, const CommTimeouts& timeouts) {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
  t.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
  t.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
  t.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
  t.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
  return ::SetCommTimeouts(ToHandle(port), &t) != 0;
}

bool Win32Comm::EscapeCommFunction(Handle port, std::uint32_t function) {
  return ::EscapeCommFunction(ToHandle(port), function) != 0;
}

bool Win32Comm::PurgeComm(Handle port, std::uint32_t flags) { return ::PurgeComm(ToHandle(port), flags) != 0; }

bool Win32Comm::ClearCommError(Handle port, std::uint32_t& inQueue) {
  DWORD errors = 0;
  COMSTAT status{};
  const bool ok = ::ClearCommError(ToHandle(port), &errors, &status) != 0;
  inQueue = ok ? status.cbInQue : 0;
  return ok;
}

bool Win32Comm::SetCommMask(Handle port, std::uint32_t mask) { return ::SetCommMask(ToHandle(port), mask) != 0; }

bool Win32Comm::ReadFile(Handle port, std::uint8_t* buffer, std::uint32_t count, std::uint32_t& moved) {
  DWORD done = 0;
  const bool ok = ::ReadFile(ToHandle(port), buffer, count, &done, nullptr) != 0;
  moved = done;
  return ok;
}

bool Win32Comm::WriteFile(Handle port, const std::uint8_t* data, std::uint32_t count, std::uint32_t& moved) {
  DWORD done = 0;
  const bool ok = ::WriteFile(ToHandle(port), data, count, &done, nullptr) != 0;
  moved = done;
  return ok;
}

bool Win32Comm::CloseHandle(Handle handle) { return ::CloseHandle(ToHandle(handle)) != 0; }

void Win32Comm::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

int Win32Sockets::WSAStartup(std::uint16_t version, std::uint16_t& granted) {
  WSADATA data{};
  const int result = ::WSAStartup(version, &data);
  granted = data.wVersion;
  return result;
}

int Win32Sockets::WSACleanup() { return ::WSACleanup(); }

Socket Win32Sockets::socket() { return static_cast<Socket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

int Win32Sockets::connect(Socket socket, const char* address, std::uint16_t port) {
  sockaddr_in host{};
  host.sin_family = AF_INET;
  host.sin_addr.s_addr = ::inet_addr(address);
  host.sin_port = ::htons(port);
  return ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&host), sizeof host);
}

int Win32Sockets::send(Socket socket, const std::uint8_t* data, int count) {
  return ::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(data), count, 0);
}

int Win32Sockets::closesocket(Socket socket) { return ::closesocket(static_cast<SOCKET>(socket)); }

bool Win32Files::CreateDirectoryW(const std::u16string& path) { return ::CreateDirectoryW(Wide(path), nullptr) != 0; }

bool Win32Files::DeleteFileW(const std::u16string& path) { return ::DeleteFileW(Wide(path)) != 0; }

Handle Win32Files::fopen(const char* path, const char* mode) {
  return reinterpret_cast<Handle>(std::fopen(path, mode));
}

std::size_t Win32Files::fwrite(const std::uint8_t* data, std::size_t size, std::size_t count, Handle file) {
  return std::fwrite(data, size, count, reinterpret_cast<FILE*>(file));
}

int Win32Files::fclose(Handle file) { return std::fclose(reinterpret_cast<FILE*>(file)); }

void Win32System::ExitProcess(std::uint32_t status) { ::ExitProcess(status); }

int Win32System::WideCharToMultiByte(const char16_t* text, int length, char* out, int capacity) {
  return ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), length, out, capacity, nullptr,
                               nullptr);
}

int Win32System::MultiByteToWideChar(const char* bytes, int length, char16_t* out, int capacity) {
  return ::MultiByteToWideChar(CP_ACP, 0, bytes, length, reinterpret_cast<wchar_t*>(out), capacity);
}

Handle Win32System::LoadIconW(std::uint32_t id) {
  return reinterpret_cast<Handle>(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id)));
}

Handle Win32PortDevices::SetupDiGetClassDevsW(std::uint32_t flags) {
  return reinterpret_cast<Handle>(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, flags));
}

bool Win32PortDevices::SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceInfoData& data) {
  SP_DEVINFO_DATA device{};
  std::memcpy(&device, data.block, sizeof device);
  device.cbSize = sizeof(SP_DEVINFO_DATA);
  const bool ok = ::SetupDiEnumDeviceInfo(reinterpret_cast<HDEVINFO>(set), index, &device) != 0;
  std::memcpy(data.block, &device, sizeof device);
  return ok;
}

bool Win32PortDevices::SetupDiGetDeviceRegistryPropertyW(Handle set, DeviceInfoData& data, std::uint32_t property,
                                                         std::uint8_t* buffer, std::uint32_t size) {
  SP_DEVINFO_DATA device{};
  std::memcpy(&device, data.block, sizeof device);
  return ::SetupDiGetDeviceRegistryPropertyW(reinterpret_cast<HDEVINFO>(set), &device, property, nullptr, buffer,
                                             size, nullptr) != 0;
}

bool Win32PortDevices::SetupDiDestroyDeviceInfoList(Handle set) {
  return ::SetupDiDestroyDeviceInfoList(reinterpret_cast<HDEVINFO>(set)) != 0;
}

std::wstring ProgramTitle() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path);
  const auto slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

}  // namespace quillet::win32
