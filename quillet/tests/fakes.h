#pragma once
// Scripted fakes of the seams. Each records its calls; the comm fake and the
// socket fake are thread-safe, since the link worker uses them.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "platform/files.h"
#include "platform/port_devices.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "shell/platform_set.h"
#include "tests/bluetooth_fakes.h"
#include "tests/control_model.h"

namespace quillet::testing {

inline std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }
inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Polls until the condition holds or the time is up.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return condition();
}

class FakeComm : public Comm {
 public:
  static constexpr Handle kPortHandle = 0x70;

  // Script.
  std::vector<std::u16string> existingDevices{u"COM1", u"COM5", u"\\\\.\\COM12"};
  bool getStateFails = false;
  bool setTimeoutsFails = false;
  int readFailures = 0;   // the next N reads fail
  int writeFailures = 0;  // the next N writes fail
  std::optional<std::uint32_t> writeLimit;  // a write moves at most this many bytes

  // Bytes that arrive at the port: the receiver's side.
  void Arrive(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
  }
  // Holds the next ClearCommError until Release(); tells when it is held.
  void HoldNextQuery() {
    std::lock_guard<std::mutex> lock(mutex_);
    holdArmed_ = true;
  }
  bool Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holdArmed_ = false;
      held_ = false;
    }
    changed_.notify_all();
  }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<std::vector<std::uint8_t>> Writes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
  }
  int CountCalls(const std::string& prefix) {
    int count = 0;
    for (const auto& call : Calls())
      if (call.rfind(prefix, 0) == 0) ++count;
    return count;
  }
  CommState lastState;
  CommTimeouts lastTimeouts;
  std::vector<std::uint32_t> readSizes;

  Handle CreateFileW(const std::u16string& name) override {
    Log("CreateFileW " + Narrow(name));
    for (const auto& device : existingDevices)
      if (device == name) return kPortHandle;
    return kInvalidHandle;
  }
  bool GetCommState(Handle, CommState& state) override {
    Log("GetCommState");
    if (getStateFails) return false;
    state.driverBlock.fill(0x5A);
    state.BaudRate = 9600;
    state.ByteSize = 7;
    state.Parity = 2;
    state.StopBits = 1;
    return true;
  }
  bool SetCommState(Handle, const CommState& state) override {
    Log("SetCommState");
    lastState = state;
    return state.BaudRate != 0;
  }
  bool SetupComm(Handle, std::uint32_t in, std::uint32_t out) override {
    Log("SetupComm " + std::to_string(in) + " " + std::to_string(out));
    return true;
  }
  bool SetCommTimeouts(Handle, const CommTimeouts& timeouts) override {
    Log("SetCommTimeouts");
    lastTimeouts = timeouts;
    return !setTimeoutsFails;
  }
  bool EscapeCommFunction(Handle, std::uint32_t function) override {
    Log("EscapeCommFunction " + std::to_string(function));
    return false;  // as on a pty under Wine
  }
  bool PurgeComm(Handle, std::uint32_t flags) override {
    Log("PurgeComm " + std::to_string(flags));
    return true;
  }
  bool ClearCommError(Handle, std::uint32_t& inQueue) override {
    std::unique_lock<std::mutex> lock(mutex_);
    calls_.push_back("ClearCommError");
    if (holdArmed_) {
      held_ = true;
      changed_.wait(lock, [this] { return !holdArmed_; });
    }
    inQueue = static_cast<std::uint32_t>(input_.size());
    return true;
  }
  bool SetCommMask(Handle, std::uint32_t mask) override {
    Log("SetCommMask " + std::to_string(mask));
    return true;
  }
  bool ReadFile(Handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t& moved) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("ReadFile " + std::to_string(count));
    readSizes.push_back(count);
    if (readFailures > 0) {
      --readFailures;
      return false;
    }
    moved = 0;
    while (moved < count && !input_.empty()) {
      buffer[moved++] = input_.front();
      input_.pop_front();
    }
    return true;
  }
  bool WriteFile(Handle, const std::uint8_t* data, std::uint32_t count, std::uint32_t& moved) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("WriteFile " + std::to_string(count));
    if (writeFailures > 0) {
      --writeFailures;
      return false;
    }
    moved = writeLimit ? std::min(*writeLimit, count) : count;
    writes_.emplace_back(data, data + moved);
    return true;
  }
  bool CloseHandle(Handle handle) override {
    Log("CloseHandle " + std::to_string(handle));
    return true;
  }
  void Sleep(std::uint32_t milliseconds) override { Log("Sleep " + std::to_string(milliseconds)); }

 private:
  void Log(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
  std::deque<std::uint8_t> input_;
  std::vector<std::vector<std::uint8_t>> writes_;
  bool holdArmed_ = false;
  bool held_ = false;
};

class FakeSockets : public Sockets {
 public:
  static constexpr Socket kSocket = 0x33;
  int startupResult = 0;
  std::uint16_t grantedVersion = 0;  // 0: grants what is asked

  std::vector<std::vector<std::uint8_t>> Sends() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sends_;
  }
  std::string Received() {
    std::string all;
    for (const auto& piece : Sends()) all.append(piece.begin(), piece.end());
    return all;
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

  int WSAStartup(std::uint16_t version, std::uint16_t& granted) override {
    Log("WSAStartup " + std::to_string(version));
    granted = grantedVersion ? grantedVersion : version;
    return startupResult;
  }
  int WSACleanup() override {
    Log("WSACleanup");
    return 0;
  }
  Socket socket() override {
    Log("socket");
    return kSocket;
  }
  int connect(Socket, const char* address, std::uint16_t port) override {
    Log(std::string("connect ") + address + ":" + std::to_string(port));
    return -1;
  }
  int send(Socket socket, const std::uint8_t* data, int count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("send " + std::to_string(socket));
    sends_.emplace_back(data, data + count);
    return count;
  }
  int closesocket(Socket) override {
    Log("closesocket");
    return 0;
  }

 private:
  void Log(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<std::vector<std::uint8_t>> sends_;
};

class FakeFiles : public Files {
 public:
  bool openFails = false;
  bool writeFails = false;

  std::map<std::string, std::vector<std::uint8_t>> Contents() {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_;
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

  bool CreateDirectoryW(const std::u16string& path) override {
    Log("CreateDirectoryW " + Narrow(path));
    return false;
  }
  bool DeleteFileW(const std::u16string& path) override {
    Log("DeleteFileW " + Narrow(path));
    return false;
  }
  Handle fopen(const char* path, const char* mode) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::string("fopen ") + path + " " + mode);
    if (openFails) return 0;
    open_ = path;
    files_[open_].clear();  // "wb+" truncates
    return 0x99;
  }
  std::size_t fwrite(const std::uint8_t* data, std::size_t size, std::size_t count, Handle) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("fwrite " + std::to_string(size) + " " + std::to_string(count));
    if (writeFails) return 0;
    files_[open_].insert(files_[open_].end(), data, data + size * count);
    return count;
  }
  int fclose(Handle) override {
    Log("fclose");
    return 0;
  }

 private:
  void Log(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::map<std::string, std::vector<std::uint8_t>> files_;
  std::string open_;
};

// Code page: Latin-1, one byte per unit.
class FakeSystem : public System {
 public:
  std::vector<std::uint32_t> Exits() {
    std::lock_guard<std::mutex> lock(mutex_);
    return exits_;
  }
  void ExitProcess(std::uint32_t status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    exits_.push_back(status);
  }
  int WideCharToMultiByte(const char16_t* text, int length, char* out, int capacity) override {
    if (length > capacity) return 0;
    for (int i = 0; i < length; ++i) out[i] = text[i] < 256 ? static_cast<char>(text[i]) : '?';
    return length;
  }
  int MultiByteToWideChar(const char* bytes, int length, char16_t* out, int capacity) override {
    if (length > capacity) return 0;
    for (int i = 0; i < length; ++i) out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
    return length;
  }
  Handle LoadIconW(std::uint32_t id) override { return 0x1000 + id; }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> exits_;
};

class FakePortDevices : public PortDevices {
 public:
  static constexpr Handle kSet = 0x5E7;
  bool classDevsFails = false;
  // Present ports in the system's order; nothing = the friendly name cannot be read.
  std::vector<std::optional<std::u16string>> friendlyNames;
  int destroyed = 0;
  int propertyReads = 0;

  Handle SetupDiGetClassDevsW(std::uint32_t flags) override {
    lastFlags = flags;
    return classDevsFails ? kInvalidHandle : kSet;
  }
  bool SetupDiEnumDeviceInfo(Handle, std::uint32_t index, DeviceInfoData& data) override {
    if (index >= friendlyNames.size()) return false;
    data.block[0] = static_cast<std::uint8_t>(index);
    return true;
  }
  bool SetupDiGetDeviceRegistryPropertyW(Handle, DeviceInfoData& data, std::uint32_t property,
                                         std::uint8_t* buffer, std::uint32_t size) override {
    ++propertyReads;
    if (property != kSpdrpFriendlyName) return false;
    const auto& name = friendlyNames[data.block[0]];
    if (!name || (name->size() + 1) * 2 > size) return false;
    for (std::size_t i = 0; i < name->size(); ++i) {
      buffer[2 * i] = static_cast<std::uint8_t>((*name)[i] & 0xFF);
      buffer[2 * i + 1] = static_cast<std::uint8_t>((*name)[i] >> 8);
    }
    buffer[2 * name->size()] = buffer[2 * name->size() + 1] = 0;
    return true;
  }
  bool SetupDiDestroyDeviceInfoList(Handle) override {
    ++destroyed;
    return true;
  }
  std::uint32_t lastFlags = 0;
};

// Every fake, wired into one platform set.
struct World {
  ControlModel controls;
  FakeComm comm;
  FakeSockets sockets;
  FakeFiles files;
  FakeSystem system;
  FakePortDevices ports;
  CallLog bluetoothCalls;
  FakeBluetooth bluetooth{bluetoothCalls};

  PlatformSet Platform() {
    PlatformSet set;
    set.controls = &controls;
    set.comm = &comm;
    set.sockets = &sockets;
    set.files = &files;
    set.system = &system;
    set.portDevices = &ports;
    set.bluetooth = &bluetooth;
    set.systemMessages = &bluetooth;
    return set;
  }
};

}  // namespace quillet::testing
