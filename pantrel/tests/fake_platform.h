#pragma once
// A scripted world for the controller: present ports, a camera port that
// records what it is told, a process list, and the standard streams.
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/controller.h"

namespace pantrel::testing {

// Thrown by the fake ExitProcess so a test sees the end of the process.
struct ProcessExit {
  std::uint32_t code;
};

struct Written {
  Handle port;
  std::vector<std::uint8_t> bytes;
  std::size_t callIndex;  // position in the call log
};

class FakeWorld final : public Console, public PortDevices, public CommPort, public ProcessApi {
 public:
  // --- script ---
  std::uint32_t majorVersion = 10;
  bool classDevsFail = false;
  struct PresentPort {
    std::string friendlyName;  // bytes as the system's code page gives them
    bool readable = true;
  };
  std::vector<PresentPort> presentPorts;
  std::string failingCommCall;  // name of the comm call that fails, if any
  std::vector<std::string> openablePaths{"\\\\.\\COM3"};
  std::size_t opensAllowed = SIZE_MAX;  // CreateFileA calls that may succeed
  std::deque<std::string> inputReads;  // each element is one read's result
  std::vector<std::vector<std::string>> snapshots;  // process names per pass; empty pass = unreadable
  std::size_t snapshotLimit = 0;  // passes after which ExitProcess(99) stops the test loop

  // --- record ---
  std::vector<std::string> calls;
  std::string output;
  std::string error;
  std::vector<Written> writes;
  std::vector<CommState> statesSet;
  std::vector<CommTimeouts> timeoutsSet;
  std::vector<std::uint32_t> sleeps;
  std::vector<std::function<void()>> threads;
  std::size_t flushedUpTo = 0;     // output length at the last flush
  std::vector<std::size_t> flushesBeforeReads;  // output flushed when each read began
  Handle nextHandle = 100;
  std::vector<Handle> openHandles;

  Platform platform() { return Platform{*this, *this, *this, *this}; }

  int Run(std::vector<std::string> args) {
    std::vector<const char*> argv;
    for (auto& a : args) argv.push_back(a.c_str());
    auto p = platform();
    return RunController(static_cast<int>(argv.size()), argv.data(), p);
  }

  // Bytes written to the port, joined.
  std::vector<std::uint8_t> AllWritten() const {
    std::vector<std::uint8_t> all;
    for (auto& w : writes) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
    return all;
  }

  // --- Console ---
  std::size_t ReadInput(std::uint8_t* buffer, std::size_t capacity) override {
    calls.push_back("ReadInput");
    flushesBeforeReads.push_back(flushedUpTo);
    if (inputReads.empty()) return 0;
    std::string chunk = inputReads.front();
    inputReads.pop_front();
    std::size_t n = std::min(chunk.size(), capacity);
    std::memcpy(buffer, chunk.data(), n);
    return n;
  }
  void WriteOutput(const char* data, std::size_t length) override { output.append(data, length); }
  void FlushOutput() override { flushedUpTo = output.size(); }
  void WriteError(const char* data, std::size_t length) override { error.append(data, length); }

  // --- PortDevices ---
  bool GetVersionExA(std::uint32_t& major) override {
    calls.push_back("GetVersionExA");
    major = majorVersion;
    return true;
  }
  Handle SetupDiGetClassDevsA() override {
    calls.push_back("SetupDiGetClassDevsA");
    return classDevsFail ? kInvalidHandle : Handle{7};
  }
  bool SetupDiEnumDeviceInfo(Handle, std::uint32_t index, DeviceRecord& record) override {
    calls.push_back("SetupDiEnumDeviceInfo " + std::to_string(index));
    if (index >= presentPorts.size()) return false;
    record.native[0] = static_cast<unsigned char>(index);
    return true;
  }
  bool SetupDiGetDeviceRegistryPropertyA(Handle, const DeviceRecord& record, unsigned char* buffer,
                                         std::uint32_t size) override {
    calls.push_back("SetupDiGetDeviceRegistryPropertyA " + std::to_string(record.native[0]));
    const PresentPort& port = presentPorts[record.native[0]];
    if (!port.readable || port.friendlyName.size() + 1 > size) return false;
    std::memcpy(buffer, port.friendlyName.c_str(), port.friendlyName.size() + 1);
    return true;
  }
  bool SetupDiDestroyDeviceInfoList(Handle) override {
    calls.push_back("SetupDiDestroyDeviceInfoList");
    return true;
  }

  // --- CommPort ---
  Handle CreateFileA(const std::string& path) override {
    calls.push_back("CreateFileA " + path);
    if (failingCommCall == "CreateFileA" || opensAllowed == 0) return kInvalidHandle;
    --opensAllowed;
    for (auto& p : openablePaths)
      if (p == path) {
        openHandles.push_back(nextHandle);
        return nextHandle++;
      }
    return kInvalidHandle;
  }
  bool SetupComm(Handle, std::uint32_t in, std::uint32_t out) override {
    calls.push_back("SetupComm " + std::to_string(in) + " " + std::to_string(out));
    return failingCommCall != "SetupComm";
  }
  bool PurgeComm(Handle, std::uint32_t flags) override {
    calls.push_back("PurgeComm " + std::to_string(flags));
    return failingCommCall != "PurgeComm";
  }
  bool GetCommState(Handle, CommState& state) override {
    calls.push_back("GetCommState");
    state.BaudRate = 110;
    state.ByteSize = 7;
    state.Parity = 2;
    for (std::size_t i = 0; i < state.driverBlock.size(); ++i)
      state.driverBlock[i] = static_cast<unsigned char>(0xA0 + i);
    return failingCommCall != "GetCommState";
  }
  bool SetCommState(Handle, const CommState& state) override {
    calls.push_back("SetCommState " + std::to_string(state.BaudRate));
    statesSet.push_back(state);
    return failingCommCall != "SetCommState";
  }
  bool SetCommTimeouts(Handle, const CommTimeouts& timeouts) override {
    calls.push_back("SetCommTimeouts");
    timeoutsSet.push_back(timeouts);
    return failingCommCall != "SetCommTimeouts";
  }
  bool WriteFile(Handle port, const std::uint8_t* data, std::uint32_t length) override {
    calls.push_back("WriteFile");
    writes.push_back({port, std::vector<std::uint8_t>(data, data + length), calls.size() - 1});
    return port != kInvalidHandle;
  }
  bool CloseHandle(Handle handle) override {
    calls.push_back("CloseHandle " + std::to_string(handle));
    std::erase(openHandles, handle);
    return true;
  }

  // --- ProcessApi ---
  std::size_t snapshotIndex = 0;
  std::size_t entryIndex = 0;
  Handle CreateToolhelp32Snapshot() override {
    calls.push_back("CreateToolhelp32Snapshot");
    if (snapshotIndex >= snapshotLimit) throw ProcessExit{99};
    entryIndex = 0;
    return snapshots[snapshotIndex++].empty() ? kInvalidHandle : Handle{55};
  }
  bool Process32First(Handle snapshot, std::string& exeFile) override {
    calls.push_back("Process32First");
    if (snapshot == kInvalidHandle) return false;
    exeFile = snapshots[snapshotIndex - 1][entryIndex++];
    return true;
  }
  bool Process32Next(Handle, std::string& exeFile) override {
    calls.push_back("Process32Next");
    auto& list = snapshots[snapshotIndex - 1];
    if (entryIndex >= list.size()) return false;
    exeFile = list[entryIndex++];
    return true;
  }
  void Sleep(std::uint32_t ms) override {
    calls.push_back("Sleep " + std::to_string(ms));
    sleeps.push_back(ms);
  }
  void CreateThread(std::function<void()> routine) override {
    calls.push_back("CreateThread");
    threads.push_back(std::move(routine));
  }
  void ExitProcess(std::uint32_t code) override {
    calls.push_back("ExitProcess " + std::to_string(code));
    throw ProcessExit{code};
  }
};

}  // namespace pantrel::testing
